// What the explainer collects during one search: the reads, the attempts,
// the window moves, the routine's remarks and tables, or only their counts.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "include/smtrace_explain.h"

namespace sm_explain {

struct Attempt {
  int32_t window = 0;
  int64_t first_read = 0;
  int64_t read_count = 0;
  int64_t first_move = 0;
  int64_t move_count = 0;
  int64_t first_note = 0;
  int64_t note_count = 0;
  std::string outcome;
  bool has_shift = false;
  int32_t shift = 0;
  std::string source;
  std::string table;  // empty: no table
  std::string key;
  // What the outcome is inferred from when the routine names none.
  bool found = false;
  bool edges = false;
  unsigned char last_result = SMTRACE_RESULT_NONE;
  bool compared = false;
};

struct Move {
  int64_t after_read = -1;
  int32_t window = 0;
  int32_t shift = 0;
  std::string source;
  std::string table;
  std::string key;
};

struct Note {
  int64_t after_read = -1;
  std::string text;
};

struct TableEntry {
  std::string key;
  std::vector<int32_t> values;
};

struct Table {
  std::string name;
  std::string about;
  std::vector<TableEntry> entries;
};

// One search being explained. Everything but the counts is kept only when
// keep_events is set.
struct Recording {
  bool keep_events = true;
  const char* x = nullptr;
  int32_t m = 0;
  int32_t n = 0;

  std::vector<smtrace_read> reads;
  std::vector<Attempt> attempts;
  std::vector<Move> moves;
  std::vector<Note> notes;
  std::vector<Table> tables;
  smtrace_counts counts{};
  int32_t occurrence = -1;

  // The read being made, and the state between announcements.
  smtrace_read last{};
  bool has_last = false;
  unsigned char pending_drop = SMTRACE_RECORDED;
  Attempt current;
  bool attempt_open = false;
  bool attempt_pending = false;
  int32_t window = 0;
  Move source;  // where the next move or shift comes from
  bool has_source = false;
  bool shift_from_d = false;
};

// The recording announcements go to while a search is explained.
extern Recording* active;

// Closes the current attempt; called once the routine has returned.
void finish(Recording& recording);

}  // namespace sm_explain
