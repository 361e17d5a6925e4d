// Morris-Pratt through its library: the border table, the worked examples
// and a pattern beyond the command line's limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/algorithm.h"

namespace sm_test {

// The worked examples, checked by the suite over the routine table
// (every_routine_test.cpp) through both ways in.
const std::vector<TraceCase>& morris_pratt_examples() {
  static const std::vector<TraceCase> cases = {
      {"aab", "aaab", {0, 1, 2, 2, 3}},
      {"abab", "abacabab", {0, 1, 2, 3, 3, 3, 4, 5, 6, 7}},
      {"aaa", "aabaaa", {0, 1, 2, 2, 2, 3, 4, 5}},
      {"abcabd", "abcabcabd", {0, 1, 2, 3, 4, 5, 5, 6, 7, 8}},
      {"ab", "xyz", {0, 1, 2}},
      {"abcd", "ab", {0, 1}},
      {"aa", "aaaa", {0, 1}},
      {"abc", "abc", {0, 1, 2}},
      {"", "xyz", {0}},
      {"abc", "", {}},
      {"\xc8\xc9", "a\xc8\xc8\xc9", {0, 1, 2, 2, 3}},  // any byte compares correctly
      {"abcdefghijklmnopqrs", "abcdefghijklmnopqrs", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
                                                      12, 13, 14, 15, 16, 17, 18}},
  };
  return cases;
}

namespace {

struct TableCase {
  std::string pattern;
  std::vector<int32_t> table;
};

class MorrisPratt : public AlgorithmTest {
 protected:
  MorrisPratt() : AlgorithmTest("morris_pratt") {}
  std::vector<int32_t> table(const std::string& pattern) {
    std::vector<int32_t> out(pattern.size() + 2, 777);
    lib_.fn<void (*)(const char*, int32_t, int32_t*)>("preMp")(
        pattern.data(), static_cast<int32_t>(pattern.size()), out.data());
    EXPECT_EQ(out.back(), 777) << "preMp wrote past m + 1 entries";
    out.pop_back();
    return out;
  }
};

TEST_F(MorrisPratt, BorderTables) {
  const std::vector<TableCase> cases = {
      {"aab", {-1, 0, 1, 0}},
      {"abab", {-1, 0, 0, 1, 2}},
      {"aaa", {-1, 0, 1, 2}},
      {"abcabd", {-1, 0, 0, 0, 1, 2, 0}},
      {"ab", {-1, 0, 0}},
      {"abcd", {-1, 0, 0, 0, 0}},
      {"", {-1}},
      {"a", {-1, 0}},
      {"abacabab", {-1, 0, 0, 1, 0, 1, 2, 3, 2}},
  };
  for (const auto& c : cases) EXPECT_EQ(table(c.pattern), c.table) << c.pattern;
}

TEST_F(MorrisPratt, EmptyPatternReadsNoPatternByte) {
  int32_t out[2] = {5, 5};
  lib_.fn<void (*)(const char*, int32_t, int32_t*)>("preMp")(nullptr, 0, out);
  EXPECT_EQ(out[0], -1);
  EXPECT_EQ(out[1], 5);
}

TEST_F(MorrisPratt, LongPatternsUseATableSizedToThem) {
  // Beyond the command line's 19 characters the entry still searches exactly.
  const std::string pattern = std::string(40, 'a') + "b";
  const std::string text = std::string(60, 'a') + "b";
  std::vector<int32_t> expected;
  for (int32_t j = 0; j < 40; ++j) expected.push_back(j);
  // From 40 on, x[40] = b mismatches and the border of length 39 takes over:
  // two comparisons per position, then the b at 60 completes the occurrence.
  for (int32_t j = 40; j < 60; ++j) expected.insert(expected.end(), {j, j});
  expected.push_back(60);
  EXPECT_EQ(search(pattern, text), expected);
}

}  // namespace
}  // namespace sm_test
