// The explain_road fuzz target's checks, run over its seed corpus (the worked
// examples) and over the inputs of past findings (fuzz/regressions/), in the
// normal suite, as tests/fuzz_replay_test.cpp does for the other targets.
// (The public header and the other targets' harness both define trace_node,
// so this replay has a translation unit of its own.)
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/explain_road.h"
#include "support/process.h"

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

// A violated property aborts with its description on standard error, so the
// inputs run in a child process.
TEST(FuzzReplay, ExplainRoadOverTheCorpusAndRegressions) {
  std::vector<std::string> inputs =
      files_in(std::string(SM_SOURCE_DIR) + "/fuzz/corpus/fuzz_explain_road");
  for (const auto& file :
       files_in(std::string(SM_SOURCE_DIR) + "/fuzz/regressions/fuzz_explain_road")) {
    inputs.push_back(file);
  }
  ASSERT_FALSE(inputs.empty());
  const Outcome got = run_child([&] {
    const sm_fuzz::explain_road::Libraries libraries = sm_fuzz::explain_road::load();
    for (const auto& file : inputs) {
      sm_fuzz::explain_road::current_input() = file;
      std::ifstream in(file, std::ios::binary);
      const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
      sm_fuzz::explain_road::check_input(libraries, data.data(), data.size());
    }
    return 0;
  });
  EXPECT_EQ(got.status, 0) << "the violated property and its input are above";
}

}  // namespace
}  // namespace sm_test
