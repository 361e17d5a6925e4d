// Not So Naive through its library: the traces, the settings a search leaves
// behind, one-character and empty patterns, and a cross-check against the
// real first occurrence.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/algorithm.h"

namespace sm_test {
namespace {

class NotSoNaive : public AlgorithmTest {
 protected:
  NotSoNaive() : AlgorithmTest("not_so_naive") {}
};

const std::vector<TraceCase>& traces() {
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

TEST_F(NotSoNaive, TracesThroughTheEntry) {
  expect_traces_through_entry(traces(), [this](const TraceCase& c) {
    EXPECT_EQ(txt_length(), static_cast<int32_t>(c.text.size())) << describe(c);
  });
}

TEST_F(NotSoNaive, TracesThroughMain) { expect_traces_through_command_line(traces()); }

TEST_F(NotSoNaive, ReadsNothingPastTheTextOrThePattern) { expect_traces_in_exact_buffers(traces()); }

TEST_F(NotSoNaive, WindowLeftOpenOnlyAfterAnOccurrence) {
  expect_window_left_open_only_after_an_occurrence({{"abc", "xabxabc", 1},
                                                    {"a", "bba", 1},
                                                    {"abc", "aaaa", 0},
                                                    {"a", "bbb", 0},
                                                    {"ba", "ab", 0},
                                                    {"ab", "b", -1},
                                                    {"a", "", -1}});
}

TEST_F(NotSoNaive, EmptyOrNegativeLengthsTouchNothing) {
  expect_nothing_touched({{nullptr, 0, 3}, {nullptr, -1, 3}, {"ab", 2, -1}, {"ab", 1, -4},
                          {nullptr, 0, 0}, {nullptr, -3, -3}});
  expect_traces_through_command_line({{"", "abc", {}}});
}

TEST_F(NotSoNaive, AgreesWithTheFirstOccurrenceOnGeneratedInputs) {
  // Besides the shared properties: the trace is empty exactly when n < m;
  // for m = 1 it is 0, 1, ..., p (0 .. n - 1 without an occurrence); for a
  // longer x occurring at p it ends with the attempt at p: p + 1, ...,
  // p + m - 1, then p.
  expect_stops_at_the_first_occurrence(
      20261207, 4000, [](const Generated& g, const std::vector<int32_t>& trace) {
        ASSERT_EQ(trace.empty(), g.n < g.m) << g.what();
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
