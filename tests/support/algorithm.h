// The checks every matching algorithm's tests share: a fixture holding the
// algorithm's library and the settings it keeps, the worked examples through
// both roads (the entry function and the command line), the refusal of
// pattern bytes outside the alphabet, calls with nothing to search, and the
// cross-check of a search that stops at the first occurrence.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/cases.h"
#include "support/generate.h"
#include "support/library.h"
#include "support/process.h"

namespace sm_test {

// What the routines print before ending the process on such a pattern.
inline const std::string kPatternRefusal = "Error: Pattern character out of range.\n";

// A call with nothing to search: a pattern (null where none may be read) and
// the two lengths.
struct LengthCase {
  const char* pattern;
  int32_t m, n;
};

inline std::string describe(const LengthCase& c) {
  return std::string("pattern ") + (c.pattern == nullptr ? "null" : "\"" + std::string(c.pattern) + "\"") +
         ", m " + std::to_string(c.m) + ", n " + std::to_string(c.n);
}

// A search and the pruning window it leaves: open (1) or closed (0) after an
// attempt, or -1 where no attempt is made and the window stays as it was.
struct WindowCase {
  std::string pattern, text;
  int after;
};

inline bool ends_with(const std::vector<int32_t>& trace, const std::vector<int32_t>& tail) {
  return trace.size() >= tail.size() &&
         std::equal(tail.begin(), tail.end(), trace.end() - static_cast<ptrdiff_t>(tail.size()));
}

namespace detail {

// What a refused call left behind, printed by an exit handler of the child
// that the refusal ends.
inline const Library* refused_lib = nullptr;
inline const std::vector<char>* refused_buffer = nullptr;
inline void report_what_was_left() {
  std::printf("txt_length %d, trace %s, text %s\n", refused_lib->global<int32_t>("txt_length"),
              refused_lib->global<Node*>("trace_first") == nullptr ? "empty" : "recorded",
              std::string(refused_buffer->begin(), refused_buffer->end()).c_str());
}

}  // namespace detail

// The fixture of one algorithm: its library loaded as a host loads it, whose
// name is the entry function's and the command line's too.
class AlgorithmTest : public ::testing::Test {
 protected:
  enum class CommandLine { kLibraryMain, kProgram };

  explicit AlgorithmTest(std::string name, CommandLine road = CommandLine::kLibraryMain)
      : name_(std::move(name)), road_(road), lib_(library_path(name_)) {}
  ~AlgorithmTest() override {
    // The settings are the library's for the whole process: leave them as found.
    set_txt_length(-1);
    set_window(false);
  }

  EntryFn entry() const { return lib_.fn<EntryFn>(name_); }
  std::vector<int32_t> search(const std::string& pattern, const std::string& text) const {
    return lib_.search(name_, pattern, text);
  }
  // `name pattern text` on the command line: the library's main called by
  // the test host, or the deliverable's own program.
  Outcome command_line(const std::string& pattern, const std::string& text) const {
    if (road_ == CommandLine::kProgram) return run({program_path(name_), pattern, text});
    return run_main(name_, {name_, pattern, text});
  }

  int32_t& txt_length() const { return lib_.global<int32_t>("txt_length"); }
  int& prune_duplicates() const { return lib_.global<int>("prune_duplicates"); }
  void set_txt_length(int32_t value) const { lib_.fn<void (*)(int32_t)>("set_txt_length")(value); }
  void set_window(bool open) const {
    lib_.fn<void (*)()>(open ? "start_pruning_duplicates" : "stop_pruning_duplicates")();
  }

  // Each worked example through the entry function; `after` checks what the
  // search left behind.
  void expect_traces_through_entry(
      const std::vector<TraceCase>& cases,
      const std::function<void(const TraceCase&)>& after = nullptr) const {
    for (const auto& c : cases) {
      EXPECT_EQ(search(c.pattern, c.text), c.trace) << describe(c);
      if (after) after(c);
    }
  }

  // Each worked example on the command line: the printed trace, exit status 0.
  void expect_traces_through_command_line(const std::vector<TraceCase>& cases) const {
    for (const auto& c : cases) {
      Outcome got = command_line(c.pattern, c.text);
      EXPECT_EQ(got.out, printed(c.trace)) << describe(c);
      EXPECT_EQ(got.status, 0) << describe(c);
    }
  }

  // Each worked example with the pattern in a block of exactly m bytes and
  // the text in a block exactly as long as what it must hold after the
  // search, `left(c)` (by default the text as it was): the text, then '#'
  // bytes as room. Under AddressSanitizer any access past either fails the run.
  void expect_traces_in_exact_buffers(
      const std::vector<TraceCase>& cases,
      const std::function<std::string(const TraceCase&)>& left = nullptr) const {
    for (const auto& c : cases) {
      const std::string expected = left ? left(c) : c.text;
      std::vector<char> x(c.pattern.begin(), c.pattern.end());
      std::vector<char> y(c.text.begin(), c.text.end());
      y.resize(std::max(c.text.size(), expected.size()), '#');
      EXPECT_EQ(walk(entry()(x.data(), static_cast<int32_t>(x.size()), y.data(),
                             static_cast<int32_t>(c.text.size()))),
                c.trace)
          << describe(c);
      EXPECT_EQ(std::string(y.begin(), y.end()), expected)
          << describe(c) << ": the text block after the search";
    }
  }

  // Text bytes of 128 or more occur nowhere in the pattern: each example's
  // trace is the same with every such byte replaced by `absent`, a 7-bit
  // character the pattern lacks, and the command line prints it.
  void expect_high_text_bytes_read_as(char absent, const std::vector<TraceCase>& cases) const {
    for (const auto& c : cases) {
      std::string plain = c.text;
      for (char& ch : plain) {
        if (static_cast<unsigned char>(ch) >= 128) ch = absent;
      }
      EXPECT_EQ(search(c.pattern, c.text), c.trace) << describe(c);
      EXPECT_EQ(search(c.pattern, plain), c.trace) << describe(c) << " read as \"" << plain << "\"";
    }
    expect_traces_through_command_line(cases);
  }

  // A pattern byte of 128 or more ends the process with the refusal and exit
  // status 1, on the command line and through the entry function, before
  // anything is read or written: the entry's child process, at its exit,
  // still sees the text length it set, no trace, and its text untouched.
  void expect_refuses_patterns(const std::vector<std::string>& patterns,
                               const std::string& text) const {
    for (const auto& x : patterns) {
      const std::string what = "pattern \"" + x + "\", text \"" + text + "\"";
      Outcome got = command_line(x, text);
      EXPECT_EQ(got.out, kPatternRefusal) << what;
      EXPECT_EQ(got.status, 1) << what;

      // Room after the text for every routine's writes past it.
      std::vector<char> buffer(text.begin(), text.end());
      buffer.resize(text.size() + x.size() + 24, '#');
      got = run_child([&] {
        set_txt_length(55);
        detail::refused_lib = &lib_;
        detail::refused_buffer = &buffer;
        std::atexit(detail::report_what_was_left);
        entry()(x.data(), static_cast<int32_t>(x.size()), buffer.data(),
                static_cast<int32_t>(text.size()));
        return 0;
      });
      EXPECT_EQ(got.out, kPatternRefusal + "txt_length 55, trace empty, text " +
                             std::string(buffer.begin(), buffer.end()) + "\n")
          << what;
      EXPECT_EQ(got.status, 1) << what;
    }
  }

  // An empty pattern or a negative length: no trace, no byte read (a null
  // pattern or text would fault), none written around the text, and the text
  // length and the pruning window stay as they were.
  void expect_nothing_touched(const std::vector<LengthCase>& cases) const {
    for (const auto& c : cases) {
      set_txt_length(55);
      set_window(true);
      const std::string before = "##abc######";
      std::string buffer = before;
      EXPECT_EQ(entry()(c.pattern, c.m, &buffer[2], c.n), nullptr) << describe(c);
      EXPECT_EQ(buffer, before) << describe(c);
      EXPECT_EQ(entry()(c.pattern, c.m, nullptr, c.n), nullptr) << describe(c) << ", null text";
      EXPECT_EQ(txt_length(), 55) << describe(c);
      EXPECT_EQ(prune_duplicates(), 1) << describe(c);
    }
  }

  // The window an attempt opens stays open only where it found the pattern,
  // whether the window was open or closed before the search.
  void expect_window_left_open_only_after_an_occurrence(const std::vector<WindowCase>& cases) const {
    for (const auto& c : cases) {
      for (bool open_before : {false, true}) {
        set_window(open_before);
        search(c.pattern, c.text);
        EXPECT_EQ(prune_duplicates(), c.after < 0 ? int{open_before} : c.after)
            << "pattern \"" << c.pattern << "\", text \"" << c.text
            << "\", window open before: " << open_before;
        EXPECT_EQ(txt_length(), static_cast<int32_t>(c.text.size())) << c.pattern << " in " << c.text;
      }
    }
  }

  // The cross-check of a search that stops at the first occurrence p that
  // std::string::find reports, on `rounds` generated inputs drawn from
  // `seed`: with the window closed before each search, every recorded
  // position lies in [0, n), and below p + m where the pattern occurs; the
  // window is left open exactly where it occurs. `own` checks the rest.
  void expect_stops_at_the_first_occurrence(
      uint32_t seed, int rounds,
      const std::function<void(const Generated&, const std::vector<int32_t>&)>& own) {
    RandomWords words(seed);
    for (int round = 0; round < rounds; ++round) {
      const Generated g = draw_word_by_word(words, 3);
      set_window(false);
      const std::vector<int32_t> trace = search(g.x, g.y);
      const int32_t limit = g.p < 0 ? g.n : g.p + g.m;
      for (int32_t position : trace) {
        ASSERT_TRUE(position >= 0 && position < limit) << g.what() << ": " << position;
      }
      ASSERT_EQ(prune_duplicates(), g.p >= 0 ? 1 : 0) << g.what();
      own(g, trace);
      if (HasFatalFailure()) return;
    }
  }

  const std::string name_;
  const CommandLine road_;
  Library lib_;
};

}  // namespace sm_test
