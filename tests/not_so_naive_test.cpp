// Not So Naive through its library: the traces, the settings a search leaves
// behind, one-character and empty patterns, and a cross-check against the
// real first occurrence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/cases.h"
#include "support/library.h"
#include "support/process.h"

namespace sm_test {
namespace {

class NotSoNaive : public ::testing::Test {
 protected:
  NotSoNaive() : lib_(library_path("not_so_naive")) {}
  int32_t& txt_length() { return lib_.global<int32_t>("txt_length"); }
  int& prune_duplicates() { return lib_.global<int>("prune_duplicates"); }
  void set_window(bool open) {
    lib_.fn<void (*)()>(open ? "start_pruning_duplicates" : "stop_pruning_duplicates")();
  }
  Library lib_;
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
  for (const auto& c : traces()) {
    EXPECT_EQ(lib_.search("not_so_naive", c.pattern, c.text), c.trace) << describe(c);
    EXPECT_EQ(txt_length(), static_cast<int32_t>(c.text.size())) << describe(c);
  }
}

TEST_F(NotSoNaive, TracesThroughMain) {
  for (const auto& c : traces()) {
    Outcome got = run_main("not_so_naive", {"not_so_naive", c.pattern, c.text});
    EXPECT_EQ(got.out, printed(c.trace)) << describe(c);
    EXPECT_EQ(got.status, 0) << describe(c);
  }
}

TEST_F(NotSoNaive, ReadsNothingPastTheTextOrThePattern) {
  // Buffers of exactly m and n bytes: under AddressSanitizer any read past
  // either of them fails the run.
  auto entry = lib_.fn<EntryFn>("not_so_naive");
  for (const auto& c : traces()) {
    std::vector<char> x(c.pattern.begin(), c.pattern.end());
    std::vector<char> y(c.text.begin(), c.text.end());
    EXPECT_EQ(walk(entry(x.data(), static_cast<int32_t>(x.size()), y.data(),
                         static_cast<int32_t>(y.size()))),
              c.trace)
        << describe(c);
    EXPECT_EQ(std::string(y.begin(), y.end()), c.text) << "the text was written";
  }
}

TEST_F(NotSoNaive, WindowLeftOpenOnlyAfterAnOccurrence) {
  struct Case {
    std::string pattern, text;
    int after;  // prune_duplicates after the search; -1: as before it (no attempt)
  };
  const std::vector<Case> cases = {
      {"abc", "xabxabc", 1}, {"a", "bba", 1}, {"abc", "aaaa", 0},
      {"a", "bbb", 0},       {"ba", "ab", 0},  {"ab", "b", -1}, {"a", "", -1},
  };
  for (const auto& c : cases) {
    for (bool open_before : {false, true}) {
      set_window(open_before);
      lib_.search("not_so_naive", c.pattern, c.text);
      EXPECT_EQ(prune_duplicates(), c.after < 0 ? int{open_before} : c.after)
          << c.pattern << " in " << c.text << ", window open before: " << open_before;
      EXPECT_EQ(txt_length(), static_cast<int32_t>(c.text.size()));
    }
  }
}

TEST_F(NotSoNaive, EmptyOrNegativeLengthsTouchNothing) {
  // No byte is read (a null pattern would fault), none is written, and the
  // settings stay as they were: set_txt_length is not called.
  struct Case {
    const char* what;
    int32_t m, n;
  };
  const std::vector<Case> cases = {{"empty pattern", 0, 3},   {"negative pattern", -1, 3},
                                   {"negative text", 2, -1},  {"negative text, m 1", 1, -4},
                                   {"both empty", 0, 0},      {"both negative", -3, -3}};
  auto entry = lib_.fn<EntryFn>("not_so_naive");
  for (const auto& c : cases) {
    lib_.fn<void (*)(int32_t)>("set_txt_length")(55);
    std::vector<char> buffer(8, '#');
    EXPECT_EQ(entry(c.m > 0 ? "ab" : nullptr, c.m, buffer.data(), c.n), nullptr) << c.what;
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "########") << c.what;
    EXPECT_EQ(txt_length(), 55) << c.what;
  }
  Outcome got = run_main("not_so_naive", {"not_so_naive", "", "abc"});
  EXPECT_EQ(got.out, "\n");
  EXPECT_EQ(got.status, 0);
}

bool ends_with(const std::vector<int32_t>& trace, const std::vector<int32_t>& tail) {
  return trace.size() >= tail.size() &&
         std::equal(tail.begin(), tail.end(), trace.end() - static_cast<ptrdiff_t>(tail.size()));
}

TEST_F(NotSoNaive, AgreesWithTheFirstOccurrenceOnGeneratedInputs) {
  // For every input, with p the first occurrence that std::string::find reports:
  // - every recorded position lies below n, and the trace is empty exactly when n < m;
  // - when x occurs at p: nothing at or beyond p + m is recorded, the trace ends
  //   with the attempt at p (p + 1, ..., p + m - 1, then p; for m = 1 the whole
  //   trace is 0, 1, ..., p), and that attempt's window is still open;
  // - when x does not occur: the window is closed (for m = 1 the trace is 0 .. n - 1).
  std::mt19937 rng(20261207);
  for (int round = 0; round < 4000; ++round) {
    const uint32_t letters = 2 + rng() % 2;
    const auto word = [&](uint32_t length) {
      std::string s;
      for (uint32_t i = 0; i < length; ++i) s += static_cast<char>('a' + rng() % letters);
      return s;
    };
    const std::string x = word(1 + rng() % 6);
    const std::string y = word(rng() % 31);
    const auto m = static_cast<int32_t>(x.size());
    const auto n = static_cast<int32_t>(y.size());
    set_window(false);
    const std::vector<int32_t> trace = lib_.search("not_so_naive", x, y);
    const std::string what = x + " in " + y;
    const size_t found = y.find(x);
    const int32_t limit = found == std::string::npos ? n : static_cast<int32_t>(found) + m;
    for (int32_t position : trace) {
      ASSERT_TRUE(position >= 0 && position < limit) << what << ": " << position;
    }
    ASSERT_EQ(trace.empty(), n < m) << what;
    ASSERT_EQ(prune_duplicates(), found != std::string::npos ? 1 : 0) << what;
    if (m == 1) {
      std::vector<int32_t> scan;
      for (int32_t j = 0; j < limit; ++j) scan.push_back(j);
      ASSERT_EQ(trace, scan) << what;
    } else if (found != std::string::npos) {
      const auto p = static_cast<int32_t>(found);
      std::vector<int32_t> last_attempt;
      for (int32_t k = 1; k < m; ++k) last_attempt.push_back(p + k);
      last_attempt.push_back(p);
      ASSERT_TRUE(ends_with(trace, last_attempt)) << what << ": " << printed(trace);
    }
  }
}

}  // namespace
}  // namespace sm_test
