// Raita through its library: the bad-character table, the worked examples
// (text bytes outside the alphabet among them) and the last attempt on
// generated inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/algorithm.h"

namespace sm_test {

// The worked examples, checked by the suite over the routine table
// (every_routine_test.cpp) through both ways in.
const std::vector<TraceCase>& raita_examples() {
  static const std::vector<TraceCase> cases = {
      {"abab", "ccabaabab", {3, 0, 5, 6, 3, 8, 5, 7, 6}},  // occurrence at n - m
      {"a", "bba", {0, 1, 2}},
      {"a", "bbb", {0, 1, 2}},
      {"ab", "cab", {1, 2, 1}},  // m = 2: the middle test re-reads the last position
      {"aaa", "aaaa", {2, 0, 1}},
      {"aba", "aaaaba", {2, 0, 1, 4, 5, 3, 4}},              // middle mismatch
      {"abcde", "axcdeabcde", {4, 0, 2, 1, 9, 5, 7, 6, 8}},  // inner mismatch
      {"abc", "ab", {}},
      {"ab", "", {}},
      {"xy", "ab", {1}},
      {"abcdefghijklmnopqrs", "abcdefghijklmnopqrs",
       {18, 0, 9, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16, 17}},
      // A text byte outside the alphabet at a window's last position occurs
      // nowhere in the pattern: shift m. Elsewhere it is compared as a byte.
      {"ab", "\xe1\xe1" "ab", {1, 3, 2}},  // 0xe1 is a with the high bit set
      {"abc", "a\xff" "cabc", {2, 0, 1, 5, 3, 4}},
      {"ab", "\xff\xff\xff", {1}},
      {"b", "\x80\x81\x82", {0, 1, 2}},
  };
  return cases;
}

namespace {

using PreBmBcFn = void (*)(const char*, int32_t, int32_t*);

// The table by its rule: scanning x[m-2] down to x[0], the first index i
// holding c gives m - 1 - i; a character absent there gives m.
std::vector<int32_t> bmbc_by_rule(const std::string& x) {
  const auto m = static_cast<int32_t>(x.size());
  std::vector<int32_t> table(128, m);
  for (int c = 0; c < 128; ++c) {
    for (int32_t i = m - 2; i >= 0; --i) {
      if (static_cast<unsigned char>(x[static_cast<size_t>(i)]) == c) {
        table[static_cast<size_t>(c)] = m - 1 - i;
        break;
      }
    }
  }
  return table;
}

class Raita : public AlgorithmTest {
 protected:
  Raita() : AlgorithmTest("raita") {}
  // The table preBmBc fills; two guard entries after it must stay untouched.
  std::vector<int32_t> bmbc(const char* x, int32_t m) {
    std::vector<int32_t> out(130, 777);
    lib_.fn<PreBmBcFn>("preBmBc")(x, m, out.data());
    EXPECT_EQ(out[128], 777) << "preBmBc wrote past 128 entries";
    EXPECT_EQ(out[129], 777) << "preBmBc wrote past 128 entries";
    out.resize(128);
    return out;
  }
};

TEST_F(Raita, BadCharacterTables) {
  struct Case {
    std::string pattern;
    std::map<char, int32_t> entries;  // every other character maps to m
  };
  const std::vector<Case> cases = {
      {"abab", {{'a', 1}, {'b', 2}}},
      {"abcab", {{'a', 1}, {'b', 3}, {'c', 2}}},  // rightmost before the last position wins
      {"xyz", {{'x', 2}, {'y', 1}}},              // the last character counts only earlier
      {"aaa", {{'a', 1}}},
      {"a", {}},                                  // m = 1: every entry is 1
      {std::string("\x7f\0q", 3), {{'\x7f', 2}, {'\0', 1}}},  // both ends of the alphabet
  };
  for (const auto& c : cases) {
    const auto m = static_cast<int32_t>(c.pattern.size());
    std::vector<int32_t> expected(128, m);
    for (const auto& [ch, shift] : c.entries) expected[static_cast<unsigned char>(ch)] = shift;
    EXPECT_EQ(bmbc(c.pattern.data(), m), expected) << c.pattern;
    EXPECT_EQ(bmbc_by_rule(c.pattern), expected) << c.pattern;
  }
}

TEST_F(Raita, BadCharacterTableMatchesItsRuleOnGeneratedPatterns) {
  RandomWords words(7);
  for (int round = 0; round < 300; ++round) {
    const std::string x = words.word(1 + words.below(19), 128, '\0');
    ASSERT_EQ(bmbc(x.data(), static_cast<int32_t>(x.size())), bmbc_by_rule(x));
  }
}

TEST_F(Raita, BadCharacterTableOfAnEmptyPatternReadsNoByte) {
  EXPECT_EQ(bmbc(nullptr, 0), std::vector<int32_t>(128, 0));
  EXPECT_EQ(bmbc(nullptr, -3), std::vector<int32_t>(128, -3));
}

TEST_F(Raita, BadCharacterTableRefusesPatternBytesOutsideTheAlphabet) {
  // The search refuses them too (every_routine_test.cpp).
  const Outcome got = run_child([&] {
    int32_t table[128];
    lib_.fn<PreBmBcFn>("preBmBc")("a\xc8", 2, table);
    return 0;
  });
  EXPECT_EQ(got.out, kPatternRefusal);
  EXPECT_EQ(got.status, 1);
}

TEST_F(Raita, LastAttemptOnGeneratedInputs) {
  // Beyond the properties every routine has (every_routine_test.cpp): where
  // x occurs first at p the trace ends with the attempt at p: p + m - 1, p,
  // p + m / 2, then p + 1 .. p + m - 2, each position once.
  for_each_generated_search([](const Generated& g, const std::vector<int32_t>& trace) {
    if (g.p < 0) return;
    const int32_t p = g.p, m = g.m;
    std::vector<int32_t> last_attempt;
    for (int32_t position : {p + m - 1, p, p + m / 2}) {
      if (std::find(last_attempt.begin(), last_attempt.end(), position) == last_attempt.end()) {
        last_attempt.push_back(position);
      }
    }
    for (int32_t k = 1; k <= m - 2; ++k) {
      if (p + k != p + m / 2) last_attempt.push_back(p + k);
    }
    ASSERT_TRUE(ends_with(trace, last_attempt)) << g.what() << ": " << printed(trace);
  });
}

}  // namespace
}  // namespace sm_test
