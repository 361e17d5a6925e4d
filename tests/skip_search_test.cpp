// Skip Search through its library: the worked examples, the host's bound and
// window, the byte after the text, bytes outside the alphabet, an exhausted
// heap, and its probes and windows on generated inputs.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/algorithm.h"

namespace sm_test {

// The worked examples, checked by the suite over the routine table
// (every_routine_test.cpp) through both ways in.
const std::vector<TraceCase>& skip_search_examples() {
  static const std::vector<TraceCase> cases = {
      // Lists a: 2 0, b: 3 1; probes at 3 and 7.
      {"abab", "ccabaabab", {3, 0, 2, 3, 4, 5, 7, 5, 6, 7, 8}},
      // Cell 2 fails at once at 0; cell 0 compares only 3 and 4.
      {"aba", "cbabaaba", {2, 0, 3, 4}},
      // The probe 1 is read again by the window at 0.
      {"aa", "aaa", {1, 0, 1}},
      // Empty list at 1; at 3, b is compared with the zero byte at n = 4.
      {"ab", "ccca", {1, 3, 4}},
      {"bb", "ab", {1, 0, 2}},
      {"a", "bba", {0, 1, 2}},
      {"abc", "ab", {}},
      {"ab", "a", {}},
      {"abc", "", {}},
      {"", "abc", {}},
      {"abc", "abc", {2, 0, 1, 2}},
      {"ab", "xyz", {1}},
      {"abcdefghijklmnopqrs", "xabcdefghijklmnopqrs",
       {18, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}},
  };
  return cases;
}

namespace {

class SkipSearch : public AlgorithmTest {
 protected:
  SkipSearch() : AlgorithmTest("skip_search") {}

  // Searches a text held in a heap block of exactly n + 1 bytes, the last
  // one given: a read past y[n] is a heap overflow that ASan reports.
  std::vector<int32_t> search_exact(const std::string& pattern, const std::string& text,
                                    char at_n) const {
    auto* y = static_cast<char*>(std::malloc(text.size() + 1));
    std::memcpy(y, text.data(), text.size());
    y[text.size()] = at_n;
    trace_node* head = entry()(pattern.data(), static_cast<int32_t>(pattern.size()), y,
                         static_cast<int32_t>(text.size()));
    std::free(y);
    return walk(head);
  }
};

TEST_F(SkipSearch, PatternsBeyondTheCommandLineLimit) {
  const std::string pattern = std::string(30, 'a') + "b";
  const std::string text = "c" + pattern;
  // Probe 30 is an a: cells 29 ... 0 put windows at 1 ... 30. The window at 1
  // is the occurrence.
  std::vector<int32_t> expected = {30};
  for (int32_t p = 1; p <= 31; ++p) expected.push_back(p);
  EXPECT_EQ(search(pattern, text), expected);
}

struct BoundCase {
  int32_t txt_length;
  std::string pattern;
  std::string text;
  std::vector<int32_t> trace;
};

TEST_F(SkipSearch, RunsUnderTheHostsTextLength) {
  // The routine never sets txt_length: what the host set bounds every search.
  const std::vector<BoundCase> cases = {
      {-1, "ab", "ccca", {1, 3, 4}},
      {0, "ab", "ccca", {1, 3, 4}},
      {4, "ab", "ccca", {1, 3}},
      {3, "ab", "ccca", {1}},
      {4, "abab", "ccabaabab", {3, 0, 2, 3}},
      {100, "abab", "ccabaabab", {3, 0, 2, 3, 4, 5, 7, 5, 6, 7, 8}},
  };
  for (const auto& c : cases) {
    set_txt_length(c.txt_length);
    EXPECT_EQ(search(c.pattern, c.text), c.trace) << c.txt_length;
    EXPECT_EQ(txt_length(), c.txt_length);
    // A second search runs under the same bound.
    EXPECT_EQ(search(c.pattern, c.text), c.trace) << c.txt_length;
  }
}

TEST_F(SkipSearch, LeavesThePruningWindowAsItFoundIt) {
  EXPECT_EQ(search("aa", "aaa"), (std::vector<int32_t>{1, 0, 1}));
  EXPECT_EQ(prune_duplicates(), 0);
  // A window the host opened stays open, and prunes the repeated probe.
  set_window(true);
  EXPECT_EQ(search("aa", "aaa"), (std::vector<int32_t>{1, 0}));
  EXPECT_EQ(prune_duplicates(), 1);
}

// A text byte of 128 or more occurs nowhere in the pattern: a probe on it has
// an empty list, a comparison on it fails, and the trace is the one of the
// same text with that byte replaced by an absent 7-bit character.
TEST_F(SkipSearch, TextBytesOutsideTheAlphabet) {
  expect_high_text_bytes_read_as('q', {
      {"ab", "x\xc8" "ab", {1, 3, 2, 3}},
      {"ab", "\xc8" "b", {1, 0}},
      {"ab", "\xc8\xc8\xc8" "b", {1, 3, 2}},
      {"aba", "\xff" "ab\xfe" "aba", {2, 1, 2, 3, 5, 4, 5, 6}},
      // 0xe2 is b with the high bit set: still no pattern character.
      {"ab", "c\xe2" "ab", {1, 3, 2, 3}},
  });
}

struct AfterTextCase {
  std::string pattern;
  std::string text;
  char at_n;
  std::vector<int32_t> trace;
};

TEST_F(SkipSearch, TheByteAfterTheText) {
  const std::vector<AfterTextCase> cases = {
      // Outside the alphabet: a mismatch like any absent character.
      {"ab", "ca", '\xc8', {1, 2}},
      {"ab", "ca", '\0', {1, 2}},
      // Equal to a pattern character: position n is recorded and fails, so
      // the window at 1 (aab over a a | b) is no occurrence and the window at
      // the probe is tried after it.
      {"aab", "caa", 'b', {2, 1, 2, 3, 3}},
      {"aab", "caa", 'z', {2, 1, 2, 3, 3}},
      {"aaa", "baa", 'a', {2, 0, 1, 2, 3, 3}},
      {"ab", "a", 'b', {}},
      {"ab", "ca", 'b', {1, 2}},
      // The window at 5 (abab over aba | b) fails at n; the one at 7 too.
      {"abab", "xxxxxaba", 'b', {3, 7, 5, 6, 7, 8, 8}},
      // The window at the probe 3 would go on past n, reading y[5].
      {"aaab", "xxxa", 'a', {3, 1, 2, 4}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(search_exact(c.pattern, c.text, c.at_n), c.trace)
        << c.pattern << " in " << c.text << " then " << c.at_n;
  }
}

#if !SM_SANITIZED
TEST_F(SkipSearch, ExhaustedHeapWhileBuildingTheLists) {
  // Sixteen million cells do not fit in 256 MiB of address space.
  const smtrace_entry_fn skip_search = entry();
  Outcome got = run_child([skip_search] {
    const size_t m = 16u << 20;
    auto* pattern = static_cast<char*>(std::malloc(m));
    if (pattern == nullptr) return 72;
    std::memset(pattern, 'a', m);
    char text[] = "b";
    struct rlimit limit = {256u << 20, 256u << 20};
    if (setrlimit(RLIMIT_AS, &limit) != 0) return 75;
    skip_search(pattern, static_cast<int32_t>(m), text, 1);
    return 76;
  });
  EXPECT_EQ(got.out, "Error: SKIP\n");
  EXPECT_EQ(got.status, 1);
}
#endif

// The probes and windows on generated inputs. Property: the trace is a run of probes
// at m - 1, 2m - 1, ... (every occurrence covers exactly one of them). After
// the probe j come the windows that put the probed character of the pattern
// at j, left to right: each records its positions from its start (from j + 1
// for the window starting at j) up to its first mismatch. The first window
// that matches is the first occurrence p (std::string::find) and ends the
// trace, which then ends with the reads of the window at p; no window past p
// is read. Without an occurrence every probe below n is made and nothing past
// n is recorded.
TEST_F(SkipSearch, ProbesAndWindowsOnGeneratedInputs) {
  int32_t found_cases = 0;
  for_each_generated_search([&](const Generated& g, const std::vector<int32_t>& trace) {
    const std::string &x = g.x, &y = g.y;
    const int32_t m = g.m, n = g.n, p = g.p;
    const std::string what = g.what();
    if (p >= 0) {
      ++found_cases;
      // The window at p reads p ... p + m - 1, or p + 1 ... when p is a probe.
      const int32_t from = (p + 1) % m == 0 ? p + 1 : p;
      ASSERT_GE(trace.size(), static_cast<size_t>(p + m - from)) << what;
      for (int32_t q = from; q < p + m; ++q) {
        ASSERT_EQ(trace[trace.size() - (p + m - q)], q) << what;
      }
    }

    size_t i = 0;
    bool done = false;
    for (int32_t j = m - 1; j < n && !done; j += m) {
      ASSERT_LT(i, trace.size()) << what;
      ASSERT_EQ(trace[i++], j) << what << ": probe";
      for (int32_t s = j - m + 1; s <= j && !done; ++s) {
        if (s < 0 || x[j - s] != y[j]) continue;
        bool match = true;
        for (int32_t q = s == j ? j + 1 : s; q < s + m; ++q) {
          ASSERT_LT(i, trace.size()) << what;
          ASSERT_EQ(trace[i++], q) << what << ": window at " << s;
          if (q == n || y[q] != x[q - s]) {
            match = false;
            break;
          }
        }
        if (match) {
          ASSERT_EQ(s, p) << what;
          done = true;
        }
      }
    }
    ASSERT_EQ(i, trace.size()) << what;
    if (!done) {
      ASSERT_EQ(p, -1) << what;
    }
  });
  EXPECT_GT(found_cases, 500);
}

}  // namespace
}  // namespace sm_test
