// The explaining host library's C interface (include/smtrace_explain.h).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/linkedlist.h"
#include "explain/json.h"
#include "explain/page.h"
#include "explain/recording.h"
#include "include/smtrace_explain.h"

// The routines of the table, compiled into this library with their
// announcements on.
#define SM_DECLARE_ROUTINE(name, routine, ...) \
  extern "C" void routine(const char* x, int32_t m, char* y, int32_t n);
SMTRACE_ALGORITHM_TABLE(SM_DECLARE_ROUTINE)
#undef SM_DECLARE_ROUTINE

#define SM_EXPORT_API extern "C" __attribute__((visibility("default")))

namespace sm_explain {
namespace {

struct Row {
  const char* name;
  const char* title;
  void (*routine)(const char*, int32_t, char*, int32_t);
  bool refuses_8bit;
  int room_fixed;
  int room_per_pattern_byte;
};

#define SM_ROW(name, routine, title, program, refuses_8bit, room_fixed, room_per_pattern_byte, \
               ...)                                                                          \
  Row{#name, title, routine, (refuses_8bit) != 0, room_fixed, room_per_pattern_byte},
const Row kRows[] = {SMTRACE_ALGORITHM_TABLE(SM_ROW)};
#undef SM_ROW

// Turbo Reverse Factor's automaton counts fit the store's 32-bit fields up
// to this pattern length.
constexpr int32_t kLongestAutomatonPattern = INT32_MAX / 256 - 2;

const Row* find_row(const char* name) {
  if (name == nullptr) return nullptr;
  for (const Row& row : kRows) {
    if (std::strcmp(row.name, name) == 0) return &row;
  }
  return nullptr;
}

// An explanation as the C interface shows it, with the storage it points to.
struct Owned : smtrace_explanation {
  std::string pattern_copy;
  std::string text_copy;
  Recording recording;
  std::vector<smtrace_attempt> attempts_c;
  std::vector<smtrace_move> moves_c;
  std::vector<smtrace_note> notes_c;
  std::vector<smtrace_table> tables_c;
  std::deque<std::vector<smtrace_table_entry>> entries_c;
};

const char* or_null(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

int search(const char* algorithm, const char* x, int32_t m, const char* y, int32_t n,
           Recording& recording, std::string& pattern, const Row** chosen) {
  const Row* row = find_row(algorithm);
  if (row == nullptr) return SMTRACE_UNKNOWN_ALGORITHM;
  if (m < 0 || n < 0 || (m > 0 && x == nullptr) || (n > 0 && y == nullptr)) {
    return SMTRACE_BAD_LENGTH;
  }
  if (row->refuses_8bit) {
    if (smtrace_refused_byte(x, m, 1) >= 0) return SMTRACE_REFUSED;
    if (row->routine == &TRF && m > kLongestAutomatonPattern) return SMTRACE_BAD_LENGTH;
  }
  *chosen = row;
  pattern.assign(x == nullptr ? "" : x, static_cast<size_t>(m));
  // The routine works on a zeroed buffer of the size its contract asks for:
  // the zero byte at n and its room past the text.
  std::vector<char> buffer(smtrace_buffer_size(n, m, row->room_fixed, row->room_per_pattern_byte) +
                           1);
  if (n > 0) std::memcpy(buffer.data(), y, static_cast<size_t>(n));
  // As a freshly loaded deliverable: an empty trace, no bound, no window.
  trace_new();
  txt_length = -1;
  prune_duplicates = 0;
  prune_from_trace = nullptr;
  recording.x = pattern.data();
  recording.m = m;
  recording.n = n;
  active = &recording;
  row->routine(pattern.data(), m, buffer.data(), n);
  active = nullptr;
  finish(recording);
  trace_new();
  return SMTRACE_OK;
}

void expose(Owned& e, const Row& row) {
  Recording& r = e.recording;
  e.algorithm = row.name;
  e.title = row.title;
  e.pattern = e.pattern_copy.c_str();
  e.text = e.text_copy.c_str();
  e.pattern_length = r.m;
  e.text_length = r.n;
  e.occurrence = r.occurrence;
  e.counts = r.counts;
  e.read_count = static_cast<int64_t>(r.reads.size());
  e.reads = r.reads.data();
  for (const Attempt& a : r.attempts) {
    smtrace_attempt c{};
    c.window = a.window;
    c.first_read = a.first_read;
    c.read_count = a.read_count;
    c.first_move = a.first_move;
    c.move_count = a.move_count;
    c.first_note = a.first_note;
    c.note_count = a.note_count;
    c.outcome = a.outcome.c_str();
    c.shift = a.has_shift ? a.shift : 0;
    c.shift_source = a.has_shift ? a.source.c_str() : nullptr;
    c.shift_table = a.has_shift ? or_null(a.table) : nullptr;
    c.shift_key = a.has_shift ? or_null(a.key) : nullptr;
    e.attempts_c.push_back(c);
  }
  e.attempt_count = static_cast<int64_t>(e.attempts_c.size());
  e.attempts = e.attempts_c.data();
  for (const Move& m : r.moves) {
    e.moves_c.push_back(smtrace_move{m.after_read, m.window, m.shift, m.source.c_str(),
                                     or_null(m.table), or_null(m.key)});
  }
  e.move_count = static_cast<int64_t>(e.moves_c.size());
  e.moves = e.moves_c.data();
  for (const Note& n : r.notes) e.notes_c.push_back(smtrace_note{n.after_read, n.text.c_str()});
  e.note_count = static_cast<int64_t>(e.notes_c.size());
  e.notes = e.notes_c.data();
  for (const Table& t : r.tables) {
    std::vector<smtrace_table_entry>& entries = e.entries_c.emplace_back();
    for (const TableEntry& entry : t.entries) {
      entries.push_back(smtrace_table_entry{entry.key.c_str(),
                                            static_cast<int32_t>(entry.values.size()),
                                            entry.values.data()});
    }
    e.tables_c.push_back(smtrace_table{t.name.c_str(), t.about.c_str(),
                                       static_cast<int32_t>(entries.size()), entries.data()});
  }
  e.table_count = static_cast<int32_t>(e.tables_c.size());
  e.tables = e.tables_c.data();
}

}  // namespace
}  // namespace sm_explain

using sm_explain::Owned;

SM_EXPORT_API int smtrace_explain(const char* algorithm, const char* x, int32_t m, const char* y,
                                  int32_t n, smtrace_explanation** out) {
  if (out == nullptr) return SMTRACE_BAD_LENGTH;
  *out = nullptr;
  try {
    auto owned = std::make_unique<Owned>();
    const sm_explain::Row* row = nullptr;
    const int status = sm_explain::search(algorithm, x, m, y, n, owned->recording,
                                          owned->pattern_copy, &row);
    if (status != SMTRACE_OK) return status;
    owned->text_copy.assign(y == nullptr ? "" : y, static_cast<size_t>(n));
    sm_explain::expose(*owned, *row);
    *out = owned.release();
    return SMTRACE_OK;
  } catch (const std::bad_alloc&) {
    sm_explain::active = nullptr;
    return SMTRACE_NO_MEMORY;
  }
}

SM_EXPORT_API void smtrace_explanation_free(smtrace_explanation* explanation) {
  delete static_cast<Owned*>(explanation);
}

SM_EXPORT_API int smtrace_summarize(const char* algorithm, const char* x, int32_t m, const char* y,
                                    int32_t n, smtrace_counts* counts, int32_t* occurrence) {
  try {
    sm_explain::Recording recording;
    recording.keep_events = false;
    std::string pattern;
    const sm_explain::Row* row = nullptr;
    const int status = sm_explain::search(algorithm, x, m, y, n, recording, pattern, &row);
    if (status != SMTRACE_OK) return status;
    if (counts != nullptr) *counts = recording.counts;
    if (occurrence != nullptr) *occurrence = recording.occurrence;
    return SMTRACE_OK;
  } catch (const std::bad_alloc&) {
    sm_explain::active = nullptr;
    return SMTRACE_NO_MEMORY;
  }
}

namespace {

// A string in a new malloc'd buffer for smtrace_free, or NULL.
char* handed_over(const std::string& text) {
  auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace

SM_EXPORT_API char* smtrace_explanation_json(const smtrace_explanation* explanation) {
  if (explanation == nullptr) return nullptr;
  try {
    return handed_over(sm_explain::to_json(*explanation));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

SM_EXPORT_API char* smtrace_explanation_html(const smtrace_explanation* explanation) {
  if (explanation == nullptr) return nullptr;
  try {
    return handed_over(sm_explain::explain_page(*explanation));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

SM_EXPORT_API char* smtrace_compare_html(const smtrace_explanation* const* explanations,
                                         int32_t count, const char* const* refused_names,
                                         const char* const* refused_reasons,
                                         int32_t refused_count) {
  if (count < 0 || refused_count < 0) return nullptr;
  if (count > 0 && explanations == nullptr) return nullptr;
  if (refused_count > 0 && (refused_names == nullptr || refused_reasons == nullptr)) return nullptr;
  try {
    std::vector<const smtrace_explanation*> shown;
    for (int32_t i = 0; i < count; ++i) {
      if (explanations[i] == nullptr) return nullptr;
      shown.push_back(explanations[i]);
    }
    std::vector<sm_explain::PageRefusal> refused;
    for (int32_t i = 0; i < refused_count; ++i) {
      if (refused_names[i] == nullptr || refused_reasons[i] == nullptr) return nullptr;
      refused.push_back({refused_names[i], refused_reasons[i]});
    }
    return handed_over(sm_explain::compare_page(shown, refused));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

SM_EXPORT_API void smtrace_free(void* memory) { std::free(memory); }

SM_EXPORT_API const char* smtrace_role_name(int role) {
  switch (role) {
    case SMTRACE_ROLE_COMPARE:
      return "compare";
    case SMTRACE_ROLE_LOOK_AHEAD:
      return "look-ahead";
    case SMTRACE_ROLE_PROBE:
      return "probe";
    case SMTRACE_ROLE_EDGE:
      return "edge";
    default:
      return nullptr;
  }
}

SM_EXPORT_API const char* smtrace_dropped_name(int dropped) {
  switch (dropped) {
    case SMTRACE_DROPPED_REPEAT:
      return "repeat";
    case SMTRACE_DROPPED_BOUND:
      return "bound";
    default:
      return nullptr;
  }
}

SM_EXPORT_API const char* smtrace_result_name(int result) {
  switch (result) {
    case SMTRACE_RESULT_MATCH:
      return "match";
    case SMTRACE_RESULT_MISMATCH:
      return "mismatch";
    case SMTRACE_RESULT_EDGE:
      return "edge";
    case SMTRACE_RESULT_NO_EDGE:
      return "no edge";
    default:
      return nullptr;
  }
}

SM_EXPORT_API int64_t smtrace_trace_length(const trace_node* head) {
  int64_t length = 0;
  for (; head != nullptr; head = head->next) ++length;
  return length;
}

SM_EXPORT_API int64_t smtrace_copy_trace(const trace_node* head, int32_t* out, int64_t capacity) {
  int64_t length = 0;
  for (; head != nullptr; head = head->next, ++length) {
    if (length < capacity) out[length] = head->position;
  }
  return length;
}
