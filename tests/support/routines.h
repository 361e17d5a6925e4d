// What a host may rely on from each library's routine, as one table: the rows
// of the public header's SMTRACE_ALGORITHM_TABLE, plus the few facts about a
// routine that the tests need and the header states only in prose (or not at
// all). The tests, the fuzz targets and the replay of their corpora are
// written once over this table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "include/smtrace.h"

namespace sm_test {

// The shape of a trace that a routine's rules guarantee beyond the search
// property (checked in support/trace_properties.h).
enum class Shape {
  kAny,          // nothing beyond the search property
  kForwardScan,  // one left-to-right scan that never moves back
  kReverseRuns,  // each attempt reads its window from right to left
  kProbes,       // every m-th position is probed, from m - 1 on
};

// The facts beyond the header's row, one set per row, named after the row's
// routine: a row added to the header without its set does not compile.
struct Quirks {
  // An empty pattern in a non-empty text records position 0 once (the
  // header's exception to "an empty pattern gives an empty trace").
  bool empty_pattern_reads_first;
  // A text shorter than the pattern is still read (the others record
  // nothing then).
  bool reads_short_texts;
  // For a routine that sets txt_length: it does so for any pattern length of
  // 0 or more, whatever the text length, 0 and negative ones included (the
  // others set it only for a pattern of one byte or more in a text of 0
  // bytes or more, and touch nothing otherwise).
  bool sets_txt_length_for_any_text;
  Shape shape;
  // The exported preprocessing that fills a table of int32_t from the
  // pattern: void (const char* x, int32_t m, int32_t* table).
  std::vector<const char*> tables;
  // The other exported preprocessing.
  std::vector<const char*> other_preprocessing;
};

namespace quirks {
// clang-format off
//                           empty   short   any     shape                tables       other preprocessing
inline const Quirks TRF     = {false,  false,  false,  Shape::kReverseRuns, {"preMp"},   {"reverse", "buildSuffixAutomaton"}};
inline const Quirks MP      = {true,   true,   true,   Shape::kForwardScan, {"preMp"},   {}};
inline const Quirks NSN     = {false,  false,  false,  Shape::kAny,         {},          {}};
inline const Quirks RAITA   = {false,  false,  false,  Shape::kAny,         {"preBmBc"}, {}};
inline const Quirks TUNEDBM = {false,  true,   false,  Shape::kAny,         {"preBmBc"}, {}};
inline const Quirks BR      = {false,  false,  false,  Shape::kAny,         {"preBrBc"}, {}};
inline const Quirks SKIP    = {false,  false,  false,  Shape::kProbes,      {},          {}};
// clang-format on
}  // namespace quirks

// One row: the header's facts under the header's names (see the comment on
// SMTRACE_ALGORITHM_TABLE), then the quirks.
struct Routine {
  const char* library;  // lib<library>.so, whose entry function has the same name
  const char* routine;  // the exported search routine
  const char* title;
  bool program;  // also built as the program bin/<library>
  bool refuses_8bit;
  int32_t room_fixed;
  bool room_per_pattern_byte;
  int32_t min_m;
  bool sets_txt_length;
  bool windows;
  bool may_record_n;
  int32_t look_ahead;
  const Quirks* quirks;

  bool empty_pattern_reads_first() const { return quirks->empty_pattern_reads_first; }
  bool reads_short_texts() const { return quirks->reads_short_texts; }
  Shape shape() const { return quirks->shape; }
  // Whether the routine reads or writes y[n] or beyond: tuned_bm writes its
  // sentinel there, berry_ravindran reads y[n] and writes y[n + 1],
  // skip_search reads y[n] (the header's account of the text buffer); the
  // others, whose room is the zero byte alone, touch nothing past the text.
  bool touches_zero_byte() const { return room_per_pattern_byte || room_fixed > 1 || may_record_n; }
  // Whether a call with these lengths leaves txt_length at n.
  bool sets_txt_length_for(int32_t m, int32_t n) const {
    if (!sets_txt_length) return false;
    return quirks->sets_txt_length_for_any_text ? m >= 0 : m >= 1 && n >= 0;
  }
};

// Every library a host can load, in the header's order.
inline const std::vector<Routine>& routines() {
#define SM_TEST_ROUTINE_ROW(name, routine, title, program, refuses_8bit, room_fixed,             \
                            room_per_pattern_byte, min_m, sets_txt_length, windows, may_record_n, \
                            look_ahead)                                                           \
  Routine{#name,                                                                                  \
          #routine,                                                                               \
          title,                                                                                  \
          (program) != 0,                                                                         \
          (refuses_8bit) != 0,                                                                    \
          room_fixed,                                                                             \
          (room_per_pattern_byte) != 0,                                                           \
          min_m,                                                                                  \
          (sets_txt_length) != 0,                                                                 \
          (windows) != 0,                                                                         \
          (may_record_n) != 0,                                                                    \
          look_ahead,                                                                             \
          &quirks::routine},
  static const std::vector<Routine> table = {SMTRACE_ALGORITHM_TABLE(SM_TEST_ROUTINE_ROW)};
#undef SM_TEST_ROUTINE_ROW
  return table;
}

// The row of a library, or null.
inline const Routine* find_routine(const std::string& library) {
  for (const auto& r : routines()) {
    if (library == r.library) return &r;
  }
  return nullptr;
}

// The size of a text buffer that meets the routine's contract exactly: the
// text, the zero byte at n, and the room the routine uses past it.
inline size_t buffer_size(const Routine& r, int32_t m, int32_t n) {
  return smtrace_buffer_size(n, m, r.room_fixed, r.room_per_pattern_byte ? 1 : 0);
}

// True when the routine refuses this pattern (ends the process instead of
// searching it).
inline bool refuses(const Routine& r, const std::string& pattern) {
  return smtrace_refused_byte(pattern.data(), static_cast<int32_t>(pattern.size()),
                              r.refuses_8bit ? 1 : 0) >= 0;
}

}  // namespace sm_test
