// Raita through its library: the bad-character table, the traces, the
// settings a search leaves behind, bytes outside the alphabet, empty lengths,
// and a cross-check against the real first occurrence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/cases.h"
#include "support/library.h"
#include "support/process.h"

namespace sm_test {
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

class Raita : public ::testing::Test {
 protected:
  Raita() : lib_(library_path("raita")) {}
  // The table preBmBc fills; two guard entries after it must stay untouched.
  std::vector<int32_t> bmbc(const char* x, int32_t m) {
    std::vector<int32_t> out(130, 777);
    lib_.fn<PreBmBcFn>("preBmBc")(x, m, out.data());
    EXPECT_EQ(out[128], 777) << "preBmBc wrote past 128 entries";
    EXPECT_EQ(out[129], 777) << "preBmBc wrote past 128 entries";
    out.resize(128);
    return out;
  }
  int32_t& txt_length() { return lib_.global<int32_t>("txt_length"); }
  int& prune_duplicates() { return lib_.global<int>("prune_duplicates"); }
  void set_window(bool open) {
    lib_.fn<void (*)()>(open ? "start_pruning_duplicates" : "stop_pruning_duplicates")();
  }
  Library lib_;
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
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string x;
    for (uint32_t i = 0, m = 1 + rng() % 19; i < m; ++i) x += static_cast<char>(rng() % 128);
    ASSERT_EQ(bmbc(x.data(), static_cast<int32_t>(x.size())), bmbc_by_rule(x));
  }
}

TEST_F(Raita, BadCharacterTableOfAnEmptyPatternReadsNoByte) {
  EXPECT_EQ(bmbc(nullptr, 0), std::vector<int32_t>(128, 0));
  EXPECT_EQ(bmbc(nullptr, -3), std::vector<int32_t>(128, -3));
}

const std::vector<TraceCase>& traces() {
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

TEST_F(Raita, TracesThroughTheEntry) {
  for (const auto& c : traces()) {
    EXPECT_EQ(lib_.search("raita", c.pattern, c.text), c.trace) << describe(c);
    EXPECT_EQ(txt_length(), static_cast<int32_t>(c.text.size())) << describe(c);
  }
}

TEST_F(Raita, TracesThroughMain) {
  for (const auto& c : traces()) {
    Outcome got = run_main("raita", {"raita", c.pattern, c.text});
    EXPECT_EQ(got.out, printed(c.trace)) << describe(c);
    EXPECT_EQ(got.status, 0) << describe(c);
  }
}

TEST_F(Raita, ReadsNothingPastTheTextOrThePattern) {
  // Buffers of exactly m and n bytes: under AddressSanitizer any read past
  // either of them fails the run.
  auto entry = lib_.fn<EntryFn>("raita");
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

TEST_F(Raita, WindowLeftOpenOnlyAfterAnOccurrence) {
  struct Case {
    std::string pattern, text;
    int after;  // prune_duplicates after the search; -1: as before it (no attempt)
  };
  const std::vector<Case> cases = {{"abab", "ccabaabab", 1}, {"a", "bba", 1}, {"a", "bbb", 0},
                                   {"xy", "ab", 0},          {"abc", "ab", -1}, {"ab", "", -1}};
  for (const auto& c : cases) {
    for (bool open_before : {false, true}) {
      set_window(open_before);
      lib_.search("raita", c.pattern, c.text);
      EXPECT_EQ(prune_duplicates(), c.after < 0 ? int{open_before} : c.after)
          << c.pattern << " in " << c.text << ", window open before: " << open_before;
      EXPECT_EQ(txt_length(), static_cast<int32_t>(c.text.size()));
    }
  }
}

// What a refused call left behind, reported by an exit handler of the child
// that the refusal ends.
Library* refused_lib = nullptr;
std::vector<char>* refused_buffer = nullptr;
void report_what_was_left() {
  std::printf("txt_length %d, trace %s, text %s\n", refused_lib->global<int32_t>("txt_length"),
              refused_lib->global<Node*>("trace_first") == nullptr ? "empty" : "recorded",
              std::string(refused_buffer->begin(), refused_buffer->end()).c_str());
}

TEST_F(Raita, PatternBytesOutsideTheAlphabetAreRefused) {
  const std::string refusal = "Error: Pattern character out of range.\n";
  const std::vector<std::string> patterns = {"\xc8", "a\x80", "\xff" "bc", "abcdefghijklmnopqr\x90"};
  auto entry = lib_.fn<EntryFn>("raita");
  for (const auto& x : patterns) {
    Outcome got = run_main("raita", {"raita", x, "abcdefghijklmnopqrstuvwxyz"});
    EXPECT_EQ(got.out, refusal) << x;
    EXPECT_EQ(got.status, 1) << x;

    got = run_child([&] {
      char text[] = "abcdefghijklmnopqrstuvwxyz";
      entry(x.data(), static_cast<int32_t>(x.size()), text, 26);
      return 0;
    });
    EXPECT_EQ(got.out, refusal) << x;
    EXPECT_EQ(got.status, 1) << x;

    // Refused before anything is read or written.
    got = run_child([&] {
      lib_.fn<void (*)(int32_t)>("set_txt_length")(55);
      static std::vector<char> buffer;
      buffer.assign(30, '#');
      refused_lib = &lib_;
      refused_buffer = &buffer;
      std::atexit(report_what_was_left);
      entry(x.data(), static_cast<int32_t>(x.size()), buffer.data(), 26);
      return 0;
    });
    EXPECT_EQ(got.out, refusal + "txt_length 55, trace empty, text " + std::string(30, '#') + "\n")
        << x;
    EXPECT_EQ(got.status, 1) << x;
  }
  EXPECT_EQ(run_child([&] {
              int32_t table[128];
              lib_.fn<PreBmBcFn>("preBmBc")("a\xc8", 2, table);
              return 0;
            }).out,
            refusal);
}

TEST_F(Raita, EmptyOrNegativeLengthsTouchNothing) {
  // No byte is read (a null pattern would fault), none is written, and the
  // settings stay as they were: set_txt_length is not called.
  struct Case {
    const char* what;
    int32_t m, n;
  };
  const std::vector<Case> cases = {{"empty pattern", 0, 3},   {"negative pattern", -1, 3},
                                   {"negative text", 2, -1},  {"both empty", 0, 0},
                                   {"both negative", -3, -3}};
  auto entry = lib_.fn<EntryFn>("raita");
  for (const auto& c : cases) {
    lib_.fn<void (*)(int32_t)>("set_txt_length")(55);
    std::vector<char> buffer(8, '#');
    EXPECT_EQ(entry(c.m > 0 ? "ab" : nullptr, c.m, buffer.data(), c.n), nullptr) << c.what;
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "########") << c.what;
    EXPECT_EQ(txt_length(), 55) << c.what;
  }
  Outcome got = run_main("raita", {"raita", "", "abc"});
  EXPECT_EQ(got.out, "\n");
  EXPECT_EQ(got.status, 0);
}

bool ends_with(const std::vector<int32_t>& trace, const std::vector<int32_t>& tail) {
  return trace.size() >= tail.size() &&
         std::equal(tail.begin(), tail.end(), trace.end() - static_cast<ptrdiff_t>(tail.size()));
}

TEST_F(Raita, AgreesWithTheFirstOccurrenceOnGeneratedInputs) {
  // For every input, with p the first occurrence that std::string::find reports:
  // - every recorded position lies below n, and the trace is empty exactly when n < m;
  // - when x occurs at p: nothing at or beyond p + m is recorded, the trace ends
  //   with the attempt at p (p + m - 1, p, p + m / 2, then p + 1 .. p + m - 2,
  //   each position once), and that attempt's window is still open;
  // - when x does not occur: the window is closed.
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
    const std::vector<int32_t> trace = lib_.search("raita", x, y);
    const std::string what = x + " in " + y;
    const size_t found = y.find(x);
    const int32_t limit = found == std::string::npos ? n : static_cast<int32_t>(found) + m;
    for (int32_t position : trace) {
      ASSERT_TRUE(position >= 0 && position < limit) << what << ": " << position;
    }
    ASSERT_EQ(trace.empty(), n < m) << what;
    ASSERT_EQ(prune_duplicates(), found != std::string::npos ? 1 : 0) << what;
    if (found != std::string::npos) {
      const auto p = static_cast<int32_t>(found);
      std::vector<int32_t> last_attempt;
      for (int32_t position : {p + m - 1, p, p + m / 2}) {
        if (std::find(last_attempt.begin(), last_attempt.end(), position) == last_attempt.end()) {
          last_attempt.push_back(position);
        }
      }
      for (int32_t k = 1; k <= m - 2; ++k) {
        if (p + k != p + m / 2) last_attempt.push_back(p + k);
      }
      ASSERT_TRUE(ends_with(trace, last_attempt)) << what << ": " << printed(trace);
    }
  }
}

}  // namespace
}  // namespace sm_test
