// Not So Naive through its library: the worked examples (one-character and
// 8-bit patterns among them) and the last attempt on generated inputs.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/algorithm.h"

namespace sm_test {

// The worked examples, checked by the suite over the routine table
// (every_routine_test.cpp) through both ways in.
const std::vector<TraceCase>& not_so_naive_examples() {
  static const std::vector<TraceCase> cases = {
      // x[0] != x[1]: miss shift 1, hit shift 2.
      {"abc", "xabxabc", {1, 2, 3, 4, 5, 6, 4}},
      {"abc", "xbcabc", {1, 2, 0, 3, 4, 5, 3}},  // first character read last, then hit shift
      {"abc", "aaaa", {1, 2}},
      {"ab", "ab", {1, 0}},
      {"ab", "xxab", {1, 2, 3, 2}},  // the window ending on the last character is tried
      {"ba", "ab", {1}},
      // x[0] == x[1]: miss shift 2, hit shift 1; repeated positions belong to different attempts.
      {"aab", "aaaab", {1, 2, 2, 3, 3, 4, 2}},
      {"aab", "abaab", {1, 3, 4, 2}},
      {"aa", "baaa", {1, 0, 2, 1}},
      // Nothing to read: the text is shorter than the pattern.
      {"ab", "b", {}},
      {"abc", "", {}},
      // One-character patterns: each attempt reads its own position, inside the text.
      {"a", "bba", {0, 1, 2}},
      {"a", "abc", {0}},
      {"a", "bbb", {0, 1, 2}},
      {"a", "", {}},
      // Bytes are compared as bytes, whatever their value.
      {"\xc8\xc9", "a\xc8\xc9", {1, 2, 1}},
      {"\xff\xff", "a\xff\xff", {1, 0, 2, 1}},
      {"\x80", "a\x80", {0, 1}},
      {"abcdefghijklmnopqrs", "xabcdefghijklmnopqrs",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 1}},
  };
  return cases;
}

namespace {

class NotSoNaive : public AlgorithmTest {
 protected:
  NotSoNaive() : AlgorithmTest("not_so_naive") {}
};

TEST_F(NotSoNaive, LastAttemptOnGeneratedInputs) {
  // Beyond the properties every routine has (every_routine_test.cpp): for
  // m = 1 the trace is 0, 1, ..., p (0 .. n - 1 without an occurrence); for
  // a longer x occurring at p it ends with the attempt at p: p + 1, ...,
  // p + m - 1, then p.
  for_each_generated_search([](const Generated& g, const std::vector<int32_t>& trace) {
    if (g.m == 1) {
      std::vector<int32_t> scan;
      for (int32_t j = 0; j < (g.p < 0 ? g.n : g.p + 1); ++j) scan.push_back(j);
      ASSERT_EQ(trace, scan) << g.what();
    } else if (g.p >= 0) {
      std::vector<int32_t> last_attempt;
      for (int32_t k = 1; k < g.m; ++k) last_attempt.push_back(g.p + k);
      last_attempt.push_back(g.p);
      ASSERT_TRUE(ends_with(trace, last_attempt)) << g.what() << ": " << printed(trace);
    }
  });
}

}  // namespace
}  // namespace sm_test
