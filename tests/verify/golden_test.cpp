// The golden files in tests/golden: scripts/golden.sh writes them again byte
// for byte, and every deliverable replays them without a difference.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"

namespace sm_test {
namespace {

const std::vector<std::string> kAlgorithms = {
    "turbo_reverse_factor", "morris_pratt", "not_so_naive", "raita",
    "tuned_bm", "berry_ravindran", "skip_search"};

std::string golden_file(const std::string& algorithm) {
  return std::string(SM_SOURCE_DIR) + "/tests/golden/" + algorithm + ".jsonl";
}

std::string contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream out;
  out << file.rdbuf();
  return out.str();
}

Outcome smtrace(std::vector<std::string> args) {
  args.insert(args.begin(), SMTRACE_TOOL);
  return run_with_stderr(args);
}

class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/smtrace_golden_test.XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~Scratch() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(Golden, TheScriptWritesTheShippedFilesAgainByteForByte) {
  const Scratch scratch;
  const Outcome got = run_with_stderr({"/usr/bin/env", std::string("SMTRACE=") + SMTRACE_TOOL,
                                       "bash", std::string(SM_SOURCE_DIR) + "/scripts/golden.sh",
                                       scratch.path()});
  ASSERT_EQ(got.status, 0) << got.out << got.err;
  for (const std::string& algorithm : kAlgorithms) {
    const std::string shipped = contents(golden_file(algorithm));
    ASSERT_NE(shipped, "") << golden_file(algorithm);
    EXPECT_EQ(contents(scratch.path() + "/" + algorithm + ".jsonl"), shipped)
        << algorithm << ": the reference's traces, or the cases, are not those of the golden file "
        << "(scripts/golden.sh writes it again)";
  }
}

TEST(Golden, EveryDeliverableReplaysItsFileThroughItsEntryAndItsCommandLine) {
  for (const std::string& algorithm : kAlgorithms) {
    const std::string library = std::string(SM_LIB_DIR) + "/lib" + algorithm + ".so";
    const std::vector<std::vector<std::string>> ways = {
        {"--library", library},
        algorithm == "turbo_reverse_factor"
            ? std::vector<std::string>{"--", std::string(SM_BIN_DIR) + "/" + algorithm}
            : std::vector<std::string>{"--", SM_HOST, library, "main", algorithm},
    };
    for (const auto& way : ways) {
      std::vector<std::string> args = {"verify", algorithm, "--cases-file", golden_file(algorithm)};
      args.insert(args.end(), way.begin(), way.end());
      const Outcome got = smtrace(args);
      EXPECT_EQ(got.status, 0) << algorithm << "\n" << got.out << got.err;
      EXPECT_NE(got.out.find("\nall 100 cases agree\n"), std::string::npos) << got.out;
    }
  }
}

TEST(Golden, TheSameSeedWritesTheSameFileAnotherSeedAnother) {
  const Outcome once = smtrace({"golden", "berry_ravindran", "--cases", "50", "--seed", "7"});
  const Outcome again = smtrace({"golden", "berry_ravindran", "--cases", "50", "--seed", "7"});
  const Outcome other = smtrace({"golden", "berry_ravindran", "--cases", "50", "--seed", "8"});
  ASSERT_EQ(once.status, 0) << once.err;
  EXPECT_EQ(again.out, once.out);
  EXPECT_NE(other.out, once.out);
  // One line per case, each an object of family, pattern, text and trace.
  std::istringstream lines(once.out);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    EXPECT_EQ(line.rfind("{\"family\":\"", 0), 0u) << line;
    EXPECT_NE(line.find("\",\"pattern\":\""), std::string::npos) << line;
    EXPECT_NE(line.find("\",\"text\":\""), std::string::npos) << line;
    EXPECT_NE(line.find("\",\"trace\":["), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - 2), "]}") << line;
    for (const char c : line) {
      EXPECT_TRUE(c >= 0x20 && c < 0x7f) << "a byte outside printable ASCII in " << line;
    }
  }
  EXPECT_EQ(count, 50);
}

TEST(Golden, OutputGoesToTheFileAndOnlyThere) {
  const Scratch scratch;
  const std::string path = scratch.path() + "/raita.jsonl";
  const Outcome written = smtrace({"golden", "raita", "--cases", "20", "--output", path});
  ASSERT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(written.out, "");
  EXPECT_EQ(contents(path), smtrace({"golden", "raita", "--cases", "20"}).out);
  // Replayed against itself, through the file.
  const Outcome replayed = smtrace({"verify", "raita", "--cases-file", path, "--library",
                                    std::string(SM_LIB_DIR) + "/libraita.so"});
  EXPECT_EQ(replayed.status, 0) << replayed.out;
  EXPECT_NE(replayed.out.find("\nall 20 cases agree\n"), std::string::npos);
}

}  // namespace
}  // namespace sm_test
