// Tuned Boyer-Moore through its library: the traces, the sentinel left in the
// caller's buffer, the settings a search leaves behind, bytes outside the
// alphabet, empty lengths, and a cross-check against the real first occurrence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/algorithm.h"

namespace sm_test {
namespace {

using PreBmBcFn = void (*)(const char*, int32_t, int32_t*);

class TunedBm : public AlgorithmTest {
 protected:
  TunedBm() : AlgorithmTest("tuned_bm") {}
  // After a search through Library::search: the text is unchanged, the m bytes
  // after it hold the pattern's last character, and nothing further was written.
  void expect_sentinel(const std::string& x, const std::string& y) {
    const std::vector<char>& buffer = lib_.buffer();
    ASSERT_EQ(buffer.size(), y.size() + x.size() + 2);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(y.size())), y);
    for (size_t i = y.size(); i < y.size() + x.size(); ++i) {
      EXPECT_EQ(buffer[i], x.back()) << x << " in " << y << ": byte " << i;
    }
    EXPECT_EQ(buffer[y.size() + x.size()], '\0') << x << " in " << y;
  }
};

TEST_F(TunedBm, SharesRaitasBadCharacterTable) {
  Library raita(library_path("raita"));
  for (const std::string x : {"abab", "abcab", "a", "xyz", "abcdefghijklmnopqrs"}) {
    int32_t own[128], shared[128];
    lib_.fn<PreBmBcFn>("preBmBc")(x.data(), static_cast<int32_t>(x.size()), own);
    raita.fn<PreBmBcFn>("preBmBc")(x.data(), static_cast<int32_t>(x.size()), shared);
    EXPECT_TRUE(std::equal(own, own + 128, shared)) << x;
  }
}

const std::vector<TraceCase>& traces() {
  static const std::vector<TraceCase> cases = {
      {"abab", "ccabaabab", {3, 0, 5, 6, 3, 8, 5, 6, 7}},  // occurrence at n - m
      {"abcd", "abcabcabcd", {3, 6, 9, 7, 8}},  // one attempt passes windows 0, 3 and 6
      {"a", "bba", {0, 1, 2}},
      {"a", "bbb", {0, 1, 2}},          // the fast loop ends in the sentinel
      {"abb", "xab", {2, 0, 1, 2, 2}},  // a window reaching into the sentinel is refused
      {"abc", "ab", {0, 1}},            // n < m: the full check still runs
      {"abc", "", {}},
      {"abcdefghijklmnopqrs", "abcdefghijklmnopqrs",
       {18, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}},
      // A text byte outside the alphabet at a window's last position occurs
      // nowhere in the pattern: the fast loop moves by m. Elsewhere it is
      // compared as a byte.
      {"ab", "\xe1\xe1" "ab", {1, 3, 2}},  // 0xe1 is a with the high bit set
      {"ab", "\xff\xff\xff", {1, 2}},
      {"b", "\x80\x81\x82", {0, 1, 2}},
      {"abc", "\xe0" "bcabc", {2, 0, 5, 3, 4}},
  };
  return cases;
}

TEST_F(TunedBm, TracesThroughTheEntry) {
  expect_traces_through_entry(traces(), [this](const TraceCase& c) {
    EXPECT_EQ(txt_length(), static_cast<int32_t>(c.text.size())) << describe(c);
    expect_sentinel(c.pattern, c.text);
  });
}

TEST_F(TunedBm, TracesThroughMain) { expect_traces_through_command_line(traces()); }

TEST_F(TunedBm, StaysInsideABufferOfNPlusMBytes) {
  // The m bytes after the text receive the sentinel.
  expect_traces_in_exact_buffers(traces(), [](const TraceCase& c) {
    return c.text + std::string(c.pattern.size(), c.pattern.back());
  });
}

TEST_F(TunedBm, WindowLeftOpenOnlyAfterAnOccurrence) {
  expect_window_left_open_only_after_an_occurrence({{"abab", "ccabaabab", 1},
                                                    {"a", "bba", 1},
                                                    {"a", "bbb", 0},
                                                    {"abb", "xab", 0},
                                                    {"abc", "ab", 0},
                                                    {"abc", "", -1}});
}

TEST_F(TunedBm, PatternBytesOutsideTheAlphabetAreRefused) {
  // Refused before anything is read or written: no sentinel either.
  expect_refuses_patterns({"\xc8", "a\x80", "\xff" "bc", "abcdefghijklmnopqr\x90"},
                          "abcdefghijklmnopqrstuvwxyz");
}

TEST_F(TunedBm, EmptyOrNegativeLengthsTouchNothing) {
  // No sentinel is written either.
  expect_nothing_touched({{nullptr, 0, 3}, {nullptr, -1, 3}, {"ab", 2, -1}, {nullptr, 0, 0},
                          {nullptr, -3, -3}});
  expect_traces_through_command_line({{"", "abc", {}}});
}

TEST_F(TunedBm, AgreesWithTheFirstOccurrenceOnGeneratedInputs) {
  // Besides the shared properties:
  // - the trace is empty exactly when n is 0;
  // - the m bytes after the text hold the sentinel;
  // - when x occurs at p: every position p .. p + m - 1 is recorded, and
  //   after the last p + m - 1 (the final alignment's fast-loop read) come
  //   only the full check's positions, rising within p .. p + m - 2.
  expect_stops_at_the_first_occurrence(
      20261207, 4000, [this](const Generated& g, const std::vector<int32_t>& trace) {
        expect_sentinel(g.x, g.y);
        ASSERT_EQ(trace.empty(), g.n == 0) << g.what();
        if (g.p < 0) return;
        const int32_t p = g.p, m = g.m;
        for (int32_t k = 0; k < m; ++k) {
          ASSERT_NE(std::find(trace.begin(), trace.end(), p + k), trace.end()) << g.what();
        }
        auto check = std::find(trace.rbegin(), trace.rend(), p + m - 1).base();
        for (int32_t previous = p - 1; check != trace.end(); previous = *check++) {
          ASSERT_TRUE(*check > previous && *check <= p + m - 2)
              << g.what() << ": " << printed(trace);
        }
      });
}

}  // namespace
}  // namespace sm_test
