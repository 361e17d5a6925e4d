// Tuned Boyer-Moore through its library: the table it shares with Raita, the
// worked examples and the full check on generated inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/algorithm.h"

namespace sm_test {

// The worked examples, checked by the suite over the routine table
// (every_routine_test.cpp) through both ways in, the sentinel left past the
// text among them.
const std::vector<TraceCase>& tuned_bm_examples() {
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

namespace {

using PreBmBcFn = void (*)(const char*, int32_t, int32_t*);

class TunedBm : public AlgorithmTest {
 protected:
  TunedBm() : AlgorithmTest("tuned_bm") {}
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

TEST_F(TunedBm, FullCheckOnGeneratedInputs) {
  // Beyond the properties every routine has (every_routine_test.cpp): when x
  // occurs at p, after the last read of p + m - 1 (the final alignment's
  // fast-loop read) come only the full check's positions, rising within
  // p .. p + m - 2.
  for_each_generated_search([](const Generated& g, const std::vector<int32_t>& trace) {
    if (g.p < 0) return;
    const int32_t p = g.p, m = g.m;
    auto check = std::find(trace.rbegin(), trace.rend(), p + m - 1).base();
    for (int32_t previous = p - 1; check != trace.end(); previous = *check++) {
      ASSERT_TRUE(*check > previous && *check <= p + m - 2) << g.what() << ": " << printed(trace);
    }
  });
}

}  // namespace
}  // namespace sm_test
