// What the tests of the matching algorithms share: a routine's row of the
// table with its library loaded as a host loads it, both ways in (the entry
// function and the command line), and the worked examples of every routine.
//
// Two fixtures use it: AlgorithmTest, for the tests of one algorithm in its
// own file, and EveryRoutine (every_routine_test.cpp), the one suite over the
// whole routine table.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/cases.h"
#include "support/generate.h"
#include "support/library.h"
#include "support/process.h"
#include "support/routines.h"

namespace sm_test {

// What the refusing routines print before ending the process on a pattern
// byte of 128 or more.
inline const std::string kPatternRefusal = "Error: Pattern character out of range.\n";

// The worked examples of each routine, written out in the routine's own test
// file as <library>_examples(): a pattern, a text and the exact trace. A row
// of the table without them does not link.
#define SM_TEST_DECLARE_EXAMPLES(name, ...) const std::vector<TraceCase>& name##_examples();
SMTRACE_ALGORITHM_TABLE(SM_TEST_DECLARE_EXAMPLES)
#undef SM_TEST_DECLARE_EXAMPLES

inline const std::vector<TraceCase>& worked_examples(const Routine& r) {
  using Examples = const std::vector<TraceCase>& (*)();
#define SM_TEST_EXAMPLES_OF(name, ...) {#name, &name##_examples},
  static const std::pair<const char*, Examples> all[] = {SMTRACE_ALGORITHM_TABLE(SM_TEST_EXAMPLES_OF)};
#undef SM_TEST_EXAMPLES_OF
  for (const auto& [library, examples] : all) {
    if (std::string(library) == r.library) return examples();
  }
  throw std::logic_error(std::string("no worked examples for ") + r.library);
}

// The row of a library; a name outside the table is an error of the test.
inline const Routine& routine_row(const std::string& library) {
  const Routine* r = find_routine(library);
  if (r == nullptr) throw std::logic_error("no row of the routine table for " + library);
  return *r;
}

inline bool ends_with(const std::vector<int32_t>& trace, const std::vector<int32_t>& tail) {
  return trace.size() >= tail.size() &&
         std::equal(tail.begin(), tail.end(), trace.end() - static_cast<ptrdiff_t>(tail.size()));
}

// The trace with every repeated position left out: what a search records
// inside one pruning window that lasts the whole search.
inline std::vector<int32_t> without_repeats(const std::vector<int32_t>& trace) {
  std::vector<int32_t> once;
  for (int32_t p : trace) {
    if (std::find(once.begin(), once.end(), p) == once.end()) once.push_back(p);
  }
  return once;
}

// One routine as a host sees it: its row, and its library, loaded (or the
// test fails) and left as it was found.
class RoutineHost {
 public:
  explicit RoutineHost(const Routine& r) : r_(r), lib_(library_path(r.library)) {}
  virtual ~RoutineHost() {
    // The settings are the library's for the whole process: leave them as found.
    lib_.set_txt_length(-1);
    lib_.set_window(false);
  }
  RoutineHost(const RoutineHost&) = delete;
  RoutineHost& operator=(const RoutineHost&) = delete;

  smtrace_entry_fn entry() const { return lib_.fn<smtrace_entry_fn>(r_.library); }
  std::vector<int32_t> search(const std::string& pattern, const std::string& text) const {
    return lib_.search(r_.library, pattern, text);
  }

  // `name pattern text` on every command line the deliverable has: its
  // library's main called by the test host, and its own program where it is
  // one too. Each outcome comes with the road's name.
  std::vector<std::pair<std::string, Outcome>> command_lines(const std::string& pattern,
                                                             const std::string& text) const {
    std::vector<std::pair<std::string, Outcome>> out;
    out.emplace_back("main", run_main(r_.library, {r_.library, pattern, text}));
    if (r_.program) out.emplace_back("program", run({program_path(r_.library), pattern, text}));
    return out;
  }

  smtrace_txt_length_t& txt_length() const { return lib_.txt_length(); }
  smtrace_prune_duplicates_t& prune_duplicates() const { return lib_.prune_duplicates(); }
  void set_txt_length(int32_t value) const { lib_.set_txt_length(value); }
  void set_window(bool open) const { lib_.set_window(open); }

  // Each worked example on every command line: the printed trace, exit status 0.
  void expect_traces_through_command_line(const std::vector<TraceCase>& cases) const {
    for (const auto& c : cases) {
      for (const auto& [road, got] : command_lines(c.pattern, c.text)) {
        EXPECT_EQ(got.out, printed(c.trace)) << describe(c) << " (" << road << ")";
        EXPECT_EQ(got.status, 0) << describe(c) << " (" << road << ")";
      }
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

 protected:
  const Routine& r_;
  Library lib_;
};

// The fixture of one algorithm's own tests, named by its library.
class AlgorithmTest : public ::testing::Test, public RoutineHost {
 protected:
  explicit AlgorithmTest(const std::string& library) : RoutineHost(routine_row(library)) {}

  // Every generated input (support/generate.h) searched from the settings of
  // a fresh process, then `check(input, trace)`, until a fatal failure.
  template <typename Check>
  void for_each_generated_search(Check check) {
    for (const Generated& g : generated_inputs()) {
      lib_.fresh();
      check(g, search(g.x, g.y));
      if (HasFatalFailure()) return;
    }
  }
};

}  // namespace sm_test
