// The fuzz targets' checks, run over their seed corpora (the worked examples)
// and over the inputs of past findings (fuzz/regressions/), in the normal
// suite: every build, with and without sanitizers, checks the same
// properties the fuzzers check.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/command_line.h"
#include "fuzz/library_road.h"
#include "support/process.h"
#include "support/routines.h"

namespace sm_test {
namespace {

std::vector<std::string> files_in(const std::string& directory) {
  std::vector<std::string> files;
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return files;
  for (dirent* entry; (entry = readdir(dir)) != nullptr;) {
    if (entry->d_name[0] != '.') files.push_back(directory + "/" + entry->d_name);
  }
  closedir(dir);
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> contents(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> inputs_of(const std::string& target) {
  std::vector<std::string> all = files_in(std::string(SM_SOURCE_DIR) + "/fuzz/corpus/" + target);
  for (const auto& file : files_in(std::string(SM_SOURCE_DIR) + "/fuzz/regressions/" + target)) all.push_back(file);
  return all;
}

// A violated property aborts with its description on standard error, so each
// target's inputs run in a child process.
TEST(FuzzReplay, LibraryRoadOverTheCorporaAndRegressions) {
  for (const Routine& routine : routines()) {
    const auto inputs = inputs_of(std::string("fuzz_") + routine.library);
    EXPECT_FALSE(inputs.empty()) << routine.library;
    Outcome got = run_child([&] {
      // A library that does not load is a violation too.
      const sm_fuzz::Library lib = sm_fuzz::load(routine);
      for (const auto& file : inputs) {
        sm_fuzz::current_input() = file;
        const auto data = contents(file);
        sm_fuzz::library_road::check_input(lib, data.data(), data.size());
      }
      return 0;
    });
    EXPECT_EQ(got.status, 0) << routine.library << " (the violated property and its input are above)";
  }
}

TEST(FuzzReplay, CommandLineOverTheCorpusAndRegressions) {
  const auto inputs = inputs_of("fuzz_command_line");
  ASSERT_FALSE(inputs.empty());
  Outcome got = run_child([&] {
    const auto libraries = sm_fuzz::command_line::load_all();
    const int captured = memfd_create("stdout", 0);
    if (captured < 0) return 90;
    for (const auto& file : inputs) {
      sm_fuzz::current_input() = file;
      const auto data = contents(file);
      sm_fuzz::command_line::check_input(libraries, captured, data.data(), data.size());
    }
    return 0;
  });
  EXPECT_EQ(got.status, 0) << "the violated property and its input are above";
}

}  // namespace
}  // namespace sm_test
