// Berry-Ravindran through its library: the two-character shift table, the
// worked examples, bytes outside the alphabet in the text and after it, and
// its attempts on generated inputs.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/algorithm.h"

namespace sm_test {

// The worked examples, checked by the suite over the routine table
// (every_routine_test.cpp) through both ways in, the zero written at n + 1
// among them.
const std::vector<TraceCase>& berry_ravindran_examples() {
  static const std::vector<TraceCase> cases = {
      {"abcab", "cabdcabcab", {0, 5, 6, 2, 7, 8, 5, 6, 7, 8, 9}},
      // Shift 1 (look-ahead starts with the last character a), then 2 (pair ba).
      {"aba", "cbbabaxaba", {0, 3, 4, 1, 4, 5, 3, 4, 5}},
      // The pair bc gets the default m + 2 = 6.
      {"abac", "abaabcabac", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      // The pair da gets m + 1 = 5: a is the first pattern character.
      {"abca", "bcabdabcaa", {0, 4, 5, 5, 6, 7, 8}},
      // Position 2 is look-ahead of one attempt and compared by the next.
      {"a", "bba", {0, 1, 2, 2}},
      {"ab", "ab", {0, 1}},
      {"abc", "ab", {}},
      {"abc", "", {}},
      {"a", "", {}},
      // Look-ahead at 2 and at the unrecorded 3 (the zero byte); shift 4 ends it.
      {"ab", "xyz", {0, 2}},
      // A failing last attempt: its look-ahead lies past the text.
      {"ab", "ba", {0}},
      {"aa", "aaaa", {0, 1}},
      {"", "abc", {}},
      {"abcdefghijklmnopqrs", "xabcdefghijklmnopqrs",
       {0, 19, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}},
  };
  return cases;
}

namespace {

constexpr int32_t kSigma = 128;
using PreBrBcFn = void (*)(const char*, int32_t, int32_t*);

struct Entry {
  char a;
  char b;
  int32_t shift;
};

struct TableCase {
  std::string pattern;
  std::vector<Entry> entries;
  int32_t changed;  // entries that differ from the default m + 2
};

class BerryRavindran : public AlgorithmTest {
 protected:
  BerryRavindran() : AlgorithmTest("berry_ravindran") {}

  // The table as preBrBc leaves it, with a guard entry after its 128 x 128.
  std::vector<int32_t> table(const char* pattern, int32_t m) {
    std::vector<int32_t> out(kSigma * kSigma + 1, -777);
    lib_.fn<PreBrBcFn>("preBrBc")(pattern, m, out.data());
    EXPECT_EQ(out.back(), -777) << "preBrBc wrote past its table";
    out.pop_back();
    return out;
  }
};

int32_t at(const std::vector<int32_t>& table, char a, char b) {
  return table[static_cast<unsigned char>(a) * kSigma + static_cast<unsigned char>(b)];
}

TEST_F(BerryRavindran, ShiftTables) {
  const std::vector<TableCase> cases = {
      // Default 7, 6 under a; pattern pairs ab (5, then 2 for the later one),
      // bc (4), ca (3); row b, the last character, all 1.
      {"abcab", {{'a', 'b', 2}, {'b', 'c', 1}, {'c', 'a', 3}, {'a', 'a', 6}, {'z', 'a', 6},
                 {'b', 'a', 1}, {'b', '\0', 1}, {'a', 'c', 7}, {'z', 'z', 7}, {'\0', 'a', 6}},
       128 + 127 + 1},
      {"a", {{'a', 'a', 1}, {'b', 'a', 2}, {'b', 'b', 3}, {'\x7f', 'a', 2}}, 128 + 127},
      {"aba", {{'a', 'b', 1}, {'b', 'a', 2}, {'c', 'a', 4}, {'b', 'b', 5}}, 128 + 127},
      {"abac", {{'a', 'b', 4}, {'b', 'a', 3}, {'a', 'c', 2}, {'c', 'a', 1}, {'b', 'c', 6}},
       128 + 127 + 2},
      // The pair ab occurs at 0 and 2: the rightmost one gives 2.
      {"abab", {{'a', 'b', 2}, {'b', 'a', 1}, {'c', 'a', 5}}, 128 + 127 + 1},
      // The pair aa occurs at 0 and 1: 3 wins over 4 and over the 5 of column a.
      {"aaab", {{'a', 'a', 3}, {'a', 'b', 2}, {'b', 'a', 1}, {'c', 'a', 5}}, 128 + 127 + 1},
      {"abcd", {{'a', 'b', 4}, {'b', 'c', 3}, {'c', 'd', 2}, {'d', 'd', 1}, {'c', 'b', 6}},
       128 + 127 + 3},
  };
  for (const auto& c : cases) {
    const auto m = static_cast<int32_t>(c.pattern.size());
    const auto got = table(c.pattern.data(), m);
    for (const auto& e : c.entries) {
      EXPECT_EQ(at(got, e.a, e.b), e.shift) << c.pattern << " [" << e.a << "][" << e.b << "]";
    }
    int32_t changed = 0;
    for (int32_t v : got) changed += v != m + 2;
    EXPECT_EQ(changed, c.changed) << c.pattern;
    for (int32_t b = 0; b < kSigma; ++b) {
      EXPECT_EQ(at(got, c.pattern.back(), static_cast<char>(b)), 1) << c.pattern << " row of last";
    }
  }
}

TEST_F(BerryRavindran, EmptyPatternTableHoldsOnlyTheDefault) {
  // No pattern byte exists to read: a null pattern proves none is read.
  for (int32_t v : table(nullptr, 0)) ASSERT_EQ(v, 2);
}

TEST_F(BerryRavindran, PatternsBeyondTheCommandLineLimit) {
  // The routine has no pattern-sized storage: a library caller may go past 19.
  const std::string pattern = std::string(30, 'a') + "b";
  const std::string text = "c" + pattern;
  std::vector<int32_t> expected = {0, 31};  // mismatch at 0; look-ahead 31, 32 (= n)
  for (int32_t p = 1; p <= 31; ++p) expected.push_back(p);
  EXPECT_EQ(search(pattern, text), expected);
}

TEST_F(BerryRavindran, ShiftTableRefusesPatternBytesOutsideTheAlphabet) {
  // The search refuses them too (every_routine_test.cpp).
  for (const std::string pattern : {"a\xc8", "\x80", "ab\xff"}) {
    Outcome got = run_child([&] {
      std::vector<int32_t> table(kSigma * kSigma);
      lib_.fn<PreBrBcFn>("preBrBc")(pattern.data(), static_cast<int32_t>(pattern.size()),
                                    table.data());
      return 0;
    });
    EXPECT_EQ(got.out, kPatternRefusal) << pattern;
    EXPECT_EQ(got.status, 1) << pattern;
  }
}

// A text byte of 128 or more occurs nowhere in the pattern: the trace is the
// one of the same text with that byte replaced by an absent 7-bit character.
TEST_F(BerryRavindran, TextBytesOutsideTheAlphabet) {
  expect_high_text_bytes_read_as('q', {
      {"ab", "\xc8\xc8" "ab", {0, 2, 3, 2, 3}},
      // a outside, b = x[0]: m + 1.
      {"ab", "xx\xc8" "abab", {0, 2, 3, 3, 4}},
      // b outside after the last pattern character: 1; then a outside: m + 1.
      {"ab", "xxb\xc8" "ab", {0, 2, 3, 1, 3, 4, 4, 5}},
      // both outside: m + 2.
      {"ab", "xy\xff\xfe" "ab", {0, 2, 3, 4, 5}},
      {"abc", "\xff\xfe\xfd\xfc\xfb\xfa", {0, 3, 4}},
      // 0xe2 and 0xe1 are b and a with the high bit set: still absent.
      {"ab", "xx\xe2" "ab", {0, 2, 3, 3, 4}},
      {"ab", "xxa\xe2" "xab", {0, 2, 3, 4, 6, 5, 6}},
      {"ab", "xx\xe1\xe1" "ab", {0, 2, 3, 4, 5}},
  });
}

TEST_F(BerryRavindran, BytesOutsideTheAlphabetAfterTheText) {
  // y[n] is read as look-ahead; y[n + 1] is zeroed before it is read.
  struct Case {
    std::string pattern;
    std::string text;
    char at_n;
    std::vector<int32_t> trace;
  };
  const std::vector<Case> cases = {
      {"ab", "xy", '\xc8', {0}},
      {"ab", "xxb", '\xc8', {0, 2, 1}},
      {"ab", "xxb", 'q', {0, 2, 1}},
      // b = y[n] outside after a character other than the last: m + 2.
      {"ab", "xxa", '\xff', {0, 2}},
  };
  for (const auto& c : cases) {
    std::vector<char> buffer(c.text.begin(), c.text.end());
    buffer.insert(buffer.end(), {c.at_n, '\xc9', '#'});
    trace_node* head = entry()(c.pattern.data(), static_cast<int32_t>(c.pattern.size()),
                               buffer.data(), static_cast<int32_t>(c.text.size()));
    EXPECT_EQ(walk(head), c.trace) << c.pattern << " in " << c.text;
    EXPECT_EQ(buffer[c.text.size()], c.at_n);
    EXPECT_EQ(buffer[c.text.size() + 1], '\0');
    EXPECT_EQ(buffer[c.text.size() + 2], '#');
  }
}

// The shift after an attempt at s, from what it means rather than from the
// table: the smallest d >= 1 that aligns the pattern at s + d consistently
// with the two look-ahead bytes at s + m and s + m + 1 (a byte that falls
// outside the shifted pattern constrains nothing), hence at most m + 2.
int32_t shift_after(const std::string& x, const std::vector<char>& y, int32_t s) {
  const auto m = static_cast<int32_t>(x.size());
  for (int32_t d = 1;; ++d) {
    bool fits = true;
    for (int32_t t = s + m; t <= s + m + 1; ++t) {
      const int32_t k = t - (s + d);
      if (k >= 0 && k < m && x[k] != y[t]) fits = false;
    }
    if (fits) return d;
  }
}

// The attempts on generated inputs. Property: the trace splits into attempts
// at s0 = 0 < s1 < ...; attempt s records s, s + 1, ... up to its first
// mismatch, then its look-ahead s + m and s + m + 1 where below n, and the next
// attempt starts at s + shift_after(s). Every attempt starts at or before the
// first occurrence p (std::string::find); when there is one the trace ends
// with the attempt at p, otherwise with the first attempt whose next
// start would pass n - m.
TEST_F(BerryRavindran, AttemptsOnGeneratedInputs) {
  int32_t checked = 0;
  for_each_generated_search([&](const Generated& g, const std::vector<int32_t>& trace) {
    const std::string& x = g.x;
    const int32_t m = g.m, n = g.n, p = g.p;
    const std::vector<char>& y = lib_.buffer();
    const std::string what = g.what();
    // No attempt fits: the trace is empty (every_routine_test.cpp).
    if (n < m) return;
    size_t i = 0;
    int32_t s = 0;
    for (;;) {
      ASSERT_TRUE(p < 0 || s <= p) << what << ": the attempt at " << s << " passed " << p;
      bool match = true;
      for (int32_t k = 0; k < m; ++k) {
        ASSERT_LT(i, trace.size()) << what;
        ASSERT_EQ(trace[i++], s + k) << what;
        if (y[s + k] != x[k]) {
          match = false;
          break;
        }
      }
      if (match) {
        ASSERT_EQ(s, p) << what;
        ASSERT_EQ(i, trace.size()) << what;
        break;
      }
      for (int32_t t = s + m; t <= s + m + 1 && t < n; ++t) {
        ASSERT_LT(i, trace.size()) << what;
        ASSERT_EQ(trace[i++], t) << what;
      }
      s += shift_after(x, y, s);
      if (s > n - m) {
        ASSERT_EQ(i, trace.size()) << what;
        ASSERT_EQ(p, -1) << what;
        break;
      }
    }
    ++checked;
  });
  EXPECT_GT(checked, 2000);
}

}  // namespace
}  // namespace sm_test
