// Tuned Boyer-Moore through its library: the traces, the sentinel left in the
// caller's buffer, the settings a search leaves behind, bytes outside the
// alphabet, empty lengths, and a cross-check against the real first occurrence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "support/cases.h"
#include "support/library.h"
#include "support/process.h"

namespace sm_test {
namespace {

using PreBmBcFn = void (*)(const char*, int32_t, int32_t*);

class TunedBm : public ::testing::Test {
 protected:
  TunedBm() : lib_(library_path("tuned_bm")) {}
  int32_t& txt_length() { return lib_.global<int32_t>("txt_length"); }
  int& prune_duplicates() { return lib_.global<int>("prune_duplicates"); }
  void set_window(bool open) {
    lib_.fn<void (*)()>(open ? "start_pruning_duplicates" : "stop_pruning_duplicates")();
  }
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
  Library lib_;
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
  for (const auto& c : traces()) {
    EXPECT_EQ(lib_.search("tuned_bm", c.pattern, c.text), c.trace) << describe(c);
    EXPECT_EQ(txt_length(), static_cast<int32_t>(c.text.size())) << describe(c);
    expect_sentinel(c.pattern, c.text);
  }
}

TEST_F(TunedBm, TracesThroughMain) {
  for (const auto& c : traces()) {
    Outcome got = run_main("tuned_bm", {"tuned_bm", c.pattern, c.text});
    EXPECT_EQ(got.out, printed(c.trace)) << describe(c);
    EXPECT_EQ(got.status, 0) << describe(c);
  }
}

TEST_F(TunedBm, StaysInsideABufferOfNPlusMBytes) {
  // A text buffer of exactly n + m bytes and a pattern of exactly m: under
  // AddressSanitizer any access past either of them fails the run.
  auto entry = lib_.fn<EntryFn>("tuned_bm");
  for (const auto& c : traces()) {
    std::vector<char> x(c.pattern.begin(), c.pattern.end());
    std::vector<char> y(c.text.begin(), c.text.end());
    y.resize(c.text.size() + c.pattern.size(), '#');
    EXPECT_EQ(walk(entry(x.data(), static_cast<int32_t>(x.size()), y.data(),
                         static_cast<int32_t>(c.text.size()))),
              c.trace)
        << describe(c);
    EXPECT_EQ(std::string(y.begin(), y.end()),
              c.text + std::string(c.pattern.size(), c.pattern.back()))
        << describe(c);
  }
}

TEST_F(TunedBm, WindowLeftOpenOnlyAfterAnOccurrence) {
  struct Case {
    std::string pattern, text;
    int after;  // prune_duplicates after the search; -1: as before it (no attempt)
  };
  const std::vector<Case> cases = {{"abab", "ccabaabab", 1}, {"a", "bba", 1},
                                   {"a", "bbb", 0},          {"abb", "xab", 0},
                                   {"abc", "ab", 0},         {"abc", "", -1}};
  for (const auto& c : cases) {
    for (bool open_before : {false, true}) {
      set_window(open_before);
      lib_.search("tuned_bm", c.pattern, c.text);
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

TEST_F(TunedBm, PatternBytesOutsideTheAlphabetAreRefused) {
  const std::string refusal = "Error: Pattern character out of range.\n";
  const std::vector<std::string> patterns = {"\xc8", "a\x80", "\xff" "bc", "abcdefghijklmnopqr\x90"};
  auto entry = lib_.fn<EntryFn>("tuned_bm");
  for (const auto& x : patterns) {
    Outcome got = run_main("tuned_bm", {"tuned_bm", x, "abcdefghijklmnopqrstuvwxyz"});
    EXPECT_EQ(got.out, refusal) << x;
    EXPECT_EQ(got.status, 1) << x;

    got = run_child([&] {
      char text[64] = "abcdefghijklmnopqrstuvwxyz";
      entry(x.data(), static_cast<int32_t>(x.size()), text, 26);
      return 0;
    });
    EXPECT_EQ(got.out, refusal) << x;
    EXPECT_EQ(got.status, 1) << x;

    // Refused before anything is read or written: no sentinel either.
    got = run_child([&] {
      lib_.fn<void (*)(int32_t)>("set_txt_length")(55);
      static std::vector<char> buffer;
      buffer.assign(50, '#');
      refused_lib = &lib_;
      refused_buffer = &buffer;
      std::atexit(report_what_was_left);
      entry(x.data(), static_cast<int32_t>(x.size()), buffer.data(), 26);
      return 0;
    });
    EXPECT_EQ(got.out, refusal + "txt_length 55, trace empty, text " + std::string(50, '#') + "\n")
        << x;
    EXPECT_EQ(got.status, 1) << x;
  }
}

TEST_F(TunedBm, EmptyOrNegativeLengthsTouchNothing) {
  // No byte is read (a null pattern would fault), none is written (no
  // sentinel), and the settings stay as they were: set_txt_length is not called.
  struct Case {
    const char* what;
    int32_t m, n;
  };
  const std::vector<Case> cases = {{"empty pattern", 0, 3},   {"negative pattern", -1, 3},
                                   {"negative text", 2, -1},  {"empty pattern and text", 0, 0},
                                   {"both negative", -3, -3}};
  auto entry = lib_.fn<EntryFn>("tuned_bm");
  for (const auto& c : cases) {
    lib_.fn<void (*)(int32_t)>("set_txt_length")(55);
    std::vector<char> buffer(8, '#');
    EXPECT_EQ(entry(c.m > 0 ? "ab" : nullptr, c.m, buffer.data(), c.n), nullptr) << c.what;
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "########") << c.what;
    EXPECT_EQ(txt_length(), 55) << c.what;
  }
  Outcome got = run_main("tuned_bm", {"tuned_bm", "", "abc"});
  EXPECT_EQ(got.out, "\n");
  EXPECT_EQ(got.status, 0);
}

TEST_F(TunedBm, AgreesWithTheFirstOccurrenceOnGeneratedInputs) {
  // For every input, with p the first occurrence that std::string::find reports:
  // - every recorded position lies below n, and the trace is empty exactly when n is 0;
  // - the m bytes after the text hold the sentinel;
  // - when x occurs at p: nothing at or beyond p + m is recorded, every position
  //   p .. p + m - 1 is, and after the last p + m - 1 (the final alignment's
  //   fast-loop read) come only the full check's positions, rising within
  //   p .. p + m - 2; that attempt's window is still open;
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
    const std::vector<int32_t> trace = lib_.search("tuned_bm", x, y);
    const std::string what = x + " in " + y;
    expect_sentinel(x, y);
    const size_t found = y.find(x);
    const int32_t limit = found == std::string::npos ? n : static_cast<int32_t>(found) + m;
    for (int32_t position : trace) {
      ASSERT_TRUE(position >= 0 && position < limit) << what << ": " << position;
    }
    ASSERT_EQ(trace.empty(), n == 0) << what;
    ASSERT_EQ(prune_duplicates(), found != std::string::npos ? 1 : 0) << what;
    if (found != std::string::npos) {
      const auto p = static_cast<int32_t>(found);
      for (int32_t k = 0; k < m; ++k) {
        ASSERT_NE(std::find(trace.begin(), trace.end(), p + k), trace.end()) << what;
      }
      auto check = std::find(trace.rbegin(), trace.rend(), p + m - 1).base();
      for (int32_t previous = p - 1; check != trace.end(); previous = *check++) {
        ASSERT_TRUE(*check > previous && *check <= p + m - 2) << what << ": " << printed(trace);
      }
    }
  }
}

}  // namespace
}  // namespace sm_test
