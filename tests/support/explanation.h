// Test-side view of the explaining host library libsmtrace.so and of the
// deliverables beside it, both loaded with dlopen as a host loads them, and
// the properties that every explanation must have, whatever the input.
//
// Shared by the unit tests and the explain_road fuzz target: it needs only
// the public headers and SM_LIB_DIR. Each check returns an empty string when
// the explanation has the property, else a description of the first
// violation.
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "include/smtrace_explain.h"

namespace sm_test {

// One row of the header's algorithm table.
struct Algorithm {
  const char* name;
  const char* routine;
  const char* title;
  int program, refuses_8bit, room_fixed, room_per_pattern_byte, min_m, sets_txt_length, windows,
      may_record_n, look_ahead;
};

#define SM_TEST_ALGORITHM_ROW(name, routine, title, ...) \
  Algorithm{#name, #routine, title, __VA_ARGS__},
inline const std::vector<Algorithm>& algorithms() {
  static const std::vector<Algorithm> rows = {SMTRACE_ALGORITHM_TABLE(SM_TEST_ALGORITHM_ROW)};
  return rows;
}
#undef SM_TEST_ALGORITHM_ROW

inline const Algorithm& algorithm(const std::string& name) {
  for (const Algorithm& a : algorithms()) {
    if (name == a.name) return a;
  }
  throw std::runtime_error("no algorithm " + name);
}

inline bool is(const Algorithm& a, const char* name) { return std::strcmp(a.name, name) == 0; }

inline size_t buffer_size(const Algorithm& a, int32_t m, int32_t n) {
  return smtrace_buffer_size(n, m, a.room_fixed, a.room_per_pattern_byte);
}

inline bool refused(const Algorithm& a, std::string_view x) {
  return smtrace_refused_byte(x.data(), static_cast<int32_t>(x.size()), a.refuses_8bit) >= 0;
}

inline std::string lib_dir_path(const std::string& file) {
  return std::string(SM_LIB_DIR) + "/" + file;
}

inline void* open_library(const std::string& path, int mode) {
  void* handle = dlopen(path.c_str(), mode);
  if (handle == nullptr) throw std::runtime_error(std::string("dlopen: ") + dlerror());
  return handle;
}

template <typename T>
T symbol(void* handle, const char* name) {
  void* found = dlsym(handle, name);
  if (found == nullptr) throw std::runtime_error(std::string("dlsym: no ") + name);
  return reinterpret_cast<T>(found);
}

// libsmtrace.so, through the functions of its header.
class Explainer {
 public:
  explicit Explainer(int mode = RTLD_NOW | RTLD_LOCAL)
      : handle_(open_library(lib_dir_path("libsmtrace.so"), mode)),
        explain(symbol<decltype(&smtrace_explain)>(handle_, "smtrace_explain")),
        free_explanation(
            symbol<decltype(&smtrace_explanation_free)>(handle_, "smtrace_explanation_free")),
        summarize(symbol<decltype(&smtrace_summarize)>(handle_, "smtrace_summarize")),
        json(symbol<decltype(&smtrace_explanation_json)>(handle_, "smtrace_explanation_json")),
        html(symbol<decltype(&smtrace_explanation_html)>(handle_, "smtrace_explanation_html")),
        compare_html(symbol<decltype(&smtrace_compare_html)>(handle_, "smtrace_compare_html")),
        free(symbol<decltype(&smtrace_free)>(handle_, "smtrace_free")),
        role_name(symbol<decltype(&smtrace_role_name)>(handle_, "smtrace_role_name")),
        dropped_name(symbol<decltype(&smtrace_dropped_name)>(handle_, "smtrace_dropped_name")),
        result_name(symbol<decltype(&smtrace_result_name)>(handle_, "smtrace_result_name")),
        trace_length(symbol<decltype(&smtrace_trace_length)>(handle_, "smtrace_trace_length")),
        copy_trace(symbol<decltype(&smtrace_copy_trace)>(handle_, "smtrace_copy_trace")) {}
  ~Explainer() { dlclose(handle_); }
  Explainer(const Explainer&) = delete;
  Explainer& operator=(const Explainer&) = delete;

 private:
  void* handle_;

 public:
  decltype(&smtrace_explain) explain;
  decltype(&smtrace_explanation_free) free_explanation;
  decltype(&smtrace_summarize) summarize;
  decltype(&smtrace_explanation_json) json;
  decltype(&smtrace_explanation_html) html;
  decltype(&smtrace_compare_html) compare_html;
  decltype(&smtrace_free) free;
  decltype(&smtrace_role_name) role_name;
  decltype(&smtrace_dropped_name) dropped_name;
  decltype(&smtrace_result_name) result_name;
  decltype(&smtrace_trace_length) trace_length;
  decltype(&smtrace_copy_trace) copy_trace;
};

// An explanation that frees itself; null when the call failed.
class Explained {
 public:
  Explained(const Explainer& api, const char* algorithm, const char* x, int32_t m, const char* y,
            int32_t n)
      : api_(&api), status(api.explain(algorithm, x, m, y, n, &e_)) {}
  Explained(const Explainer& api, const char* algorithm, std::string_view x, std::string_view y)
      : Explained(api, algorithm, x.data(), static_cast<int32_t>(x.size()), y.data(),
                  static_cast<int32_t>(y.size())) {}
  ~Explained() {
    if (e_ != nullptr) api_->free_explanation(e_);
  }
  Explained(const Explained&) = delete;
  Explained& operator=(const Explained&) = delete;

  const smtrace_explanation* get() const { return e_; }
  const smtrace_explanation& operator*() const { return *e_; }
  const smtrace_explanation* operator->() const { return e_; }
  // The JSON text, empty when none was made.
  std::string json() const {
    char* text = api_->json(e_);
    if (text == nullptr) return "";
    std::string copy(text);
    api_->free(text);
    return copy;
  }

 private:
  const Explainer* api_;
  smtrace_explanation* e_ = nullptr;

 public:
  const int status;
};

// A deliverable library, lib<name>.so, and the recorder settings a host may
// touch.
class Deliverable {
 public:
  explicit Deliverable(const Algorithm& a, int mode = RTLD_NOW | RTLD_LOCAL)
      : algorithm(&a),
        handle_(open_library(lib_dir_path(std::string("lib") + a.name + ".so"), mode)),
        entry(symbol<smtrace_entry_fn>(handle_, a.name)),
        set_txt_length(symbol<smtrace_set_txt_length_fn>(handle_, "set_txt_length")),
        start_window(symbol<smtrace_window_fn>(handle_, "start_pruning_duplicates")),
        stop_window(symbol<smtrace_window_fn>(handle_, "stop_pruning_duplicates")),
        trace_new(symbol<smtrace_trace_list_fn>(handle_, "trace_new")),
        txt_length(*symbol<smtrace_txt_length_t*>(handle_, "txt_length")),
        prune_duplicates(*symbol<smtrace_prune_duplicates_t*>(handle_, "prune_duplicates")) {}
  ~Deliverable() { dlclose(handle_); }
  Deliverable(const Deliverable&) = delete;
  Deliverable& operator=(const Deliverable&) = delete;

  // The search as a fresh process runs it (no bound, no window), with a
  // text buffer of exactly the size the routine's contract asks for: the
  // text, then zero bytes. The returned list stays the library's.
  const trace_node* call(std::string_view x, std::string_view y) {
    set_txt_length(-1);
    stop_window();
    const auto m = static_cast<int32_t>(x.size()), n = static_cast<int32_t>(y.size());
    // A block of its own each time, exactly as long, so that AddressSanitizer
    // reports any byte touched beyond it.
    buffer_ = std::vector<char>(buffer_size(*algorithm, m, n), '\0');
    if (!y.empty()) std::memcpy(buffer_.data(), y.data(), y.size());
    return entry(x.data(), m, buffer_.data(), n);
  }
  std::vector<int32_t> trace(std::string_view x, std::string_view y) { return walk(call(x, y)); }
  // Frees the library's trace list.
  void release() const { trace_new(); }

  static std::vector<int32_t> walk(const trace_node* node) {
    std::vector<int32_t> positions;
    for (; node != nullptr; node = node->next) positions.push_back(node->position);
    return positions;
  }

  const Algorithm* const algorithm;

 private:
  void* handle_;
  std::vector<char> buffer_;

 public:
  const smtrace_entry_fn entry;
  const smtrace_set_txt_length_fn set_txt_length;
  const smtrace_window_fn start_window;
  const smtrace_window_fn stop_window;
  const smtrace_trace_list_fn trace_new;
  smtrace_txt_length_t& txt_length;
  smtrace_prune_duplicates_t& prune_duplicates;
};

// The recorded positions of an explanation, in reading order.
inline std::vector<int32_t> recorded_positions(const smtrace_explanation& e) {
  std::vector<int32_t> positions;
  for (int64_t k = 0; k < e.read_count; ++k) {
    if (e.reads[k].dropped == SMTRACE_RECORDED) positions.push_back(e.reads[k].position);
  }
  return positions;
}

inline std::string show_positions(const std::vector<int32_t>& positions) {
  std::string out;
  for (size_t k = 0; k < positions.size() && k < 80; ++k) out += std::to_string(positions[k]) + " ";
  if (positions.size() > 80) out += "... (" + std::to_string(positions.size()) + ")";
  return out;
}

// A byte as the explanation writes it in table keys and sources: printable
// ASCII (not the space) as it is, else \xNN.
inline std::string byte_key(unsigned char c) {
  if (c > 0x20 && c < 0x7f) return std::string(1, static_cast<char>(c));
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
  return buffer;
}

inline bool counts_equal(const smtrace_counts& a, const smtrace_counts& b) {
  return a.reads == b.reads && a.recorded == b.recorded && a.compares == b.compares &&
         a.look_aheads == b.look_aheads && a.probes == b.probes && a.edges == b.edges &&
         a.dropped == b.dropped && a.dropped_repeat == b.dropped_repeat &&
         a.dropped_bound == b.dropped_bound && a.attempts == b.attempts;
}

inline std::string show_counts(const smtrace_counts& c) {
  return "reads " + std::to_string(c.reads) + ", recorded " + std::to_string(c.recorded) +
         ", compares " + std::to_string(c.compares) + ", look-aheads " +
         std::to_string(c.look_aheads) + ", probes " + std::to_string(c.probes) + ", edges " +
         std::to_string(c.edges) + ", dropped " + std::to_string(c.dropped) + " (repeat " +
         std::to_string(c.dropped_repeat) + ", bound " + std::to_string(c.dropped_bound) +
         "), attempts " + std::to_string(c.attempts);
}

inline const smtrace_table* find_table(const smtrace_explanation& e, const char* name) {
  for (int32_t t = 0; t < e.table_count; ++t) {
    if (e.tables[t].name != nullptr && std::strcmp(e.tables[t].name, name) == 0) {
      return &e.tables[t];
    }
  }
  return nullptr;
}

inline const smtrace_table_entry* find_entry(const smtrace_table& t, const std::string& key) {
  for (int32_t k = 0; k < t.entry_count; ++k) {
    if (t.entries[k].key != nullptr && key == t.entries[k].key) return &t.entries[k];
  }
  return nullptr;
}

namespace explanation_detail {

inline bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The facts one check needs about its input.
struct Input {
  const Algorithm& a;
  std::string_view x, y;
  int32_t m, n;

  // The byte the routine finds at a position of its buffer: the text, the
  // zero byte at n and beyond (Berry-Ravindran's zero at n + 1), and Tuned
  // Boyer-Moore's sentinel of m copies of x[m - 1] from n on. -1 outside
  // the buffer the contract gives.
  int byte_at(int64_t p) const {
    if (p < 0) return -1;
    if (p < n) return static_cast<unsigned char>(y[static_cast<size_t>(p)]);
    if (p >= static_cast<int64_t>(buffer_size(a, m, n))) return -1;
    if (a.room_per_pattern_byte && m > 0 && p < static_cast<int64_t>(n) + m) {
      return static_cast<unsigned char>(x[static_cast<size_t>(m - 1)]);
    }
    return 0;
  }
  bool in_pattern(unsigned char c) const {
    return x.find(static_cast<char>(c)) != std::string_view::npos;
  }
  // A character's key in a table keyed by the pattern's characters.
  std::string class_key(unsigned char c) const {
    return c < 128 && in_pattern(c) ? byte_key(c) : std::string("other");
  }
};

// Where a shift or a move came from, as the explanation gives it.
struct Source {
  const char* text;
  const char* table;
  const char* key;
};

// The amount the named table gives for the key: bmBc, shifts and brBc
// entries hold the shift itself (brBc's pairs not listed fall to its
// default); mpTable's entry i holds the border, and the shift is i minus it.
inline std::string check_table_amount(const smtrace_explanation& e, const Source& s, int32_t amount,
                                      int64_t* value_out) {
  const smtrace_table* t = find_table(e, s.table);
  if (t == nullptr) return std::string("names table ") + s.table + ", which the explanation lacks";
  const smtrace_table_entry* entry = find_entry(*t, s.key);
  if (entry == nullptr && std::strcmp(s.table, "brBc") == 0) entry = find_entry(*t, "default");
  if (entry == nullptr) {
    return std::string("names ") + s.table + "[" + s.key + "], which the table lacks";
  }
  if (entry->value_count < 1) {
    return std::string("names ") + s.table + "[" + s.key + "], which holds no value";
  }
  const int32_t value = entry->values[0];
  *value_out = value;
  const std::string table = s.table;
  if (table == "mpTable") {
    const int32_t i = std::atoi(s.key);
    if (amount != i - value) {
      return "shift " + std::to_string(amount) + " is not " + s.key + " - mpTable[" + s.key +
             "] = " + std::to_string(i - value);
    }
  } else if (table == "bmBc" || table == "brBc" || table == "shifts") {
    if (amount != value) {
      return "shift " + std::to_string(amount) + " differs from " + table + "[" + s.key +
             "] = " + std::to_string(value);
    }
  } else if (table != "lists") {
    return "names an unknown table " + table;
  }
  if (table != "lists" && !ends_with(s.text, std::to_string(value))) {
    return std::string("source \"") + s.text + "\" does not end with the entry's value " +
           std::to_string(value);
  }
  return "";
}

}  // namespace explanation_detail

// Every property of an explanation of the search of x in y by `a` (one that
// the routine accepted). `trace` is the deliverable's trace for the same
// input, or null to leave that comparison out.
//   (a) the recorded reads, in order, are the trace;
//   (b) each read is of the byte its buffer holds (the text, the zero byte
//       at n, Tuned Boyer-Moore's sentinel of x[m - 1] from n on); a compare
//       sits at its window plus its pattern index and its result is the byte
//       comparison; reads at or past n are bound drops of the sentinel and
//       of the look-ahead, or Skip Search's recorded read of n; a repeat is
//       dropped exactly when its attempt has recorded the position;
//   (c) each move shifts the window by the difference of the windows, each
//       read names the window of its time, consecutive attempts' windows
//       differ by the shift announced, and the named table entry gives it;
//   (d) the occurrence is the first one (std::string_view::find), found by
//       the last attempt at the window it ended at; -1 without one;
//   (e) the attempts hold every read, move and note once, in order;
//   (f) the counts agree with the reads.
inline std::string check_explanation(const Algorithm& a, std::string_view x, std::string_view y,
                                     const smtrace_explanation& e,
                                     const std::vector<int32_t>* trace) {
  using explanation_detail::Input;
  using explanation_detail::Source;
  const Input in{a, x, y, static_cast<int32_t>(x.size()), static_cast<int32_t>(y.size())};
  const int32_t m = in.m, n = in.n;

  // What it is an explanation of.
  if (e.algorithm == nullptr || std::strcmp(e.algorithm, a.name) != 0) {
    return "the algorithm is not named " + std::string(a.name);
  }
  if (e.title == nullptr || std::strcmp(e.title, a.title) != 0) {
    return "the title is not " + std::string(a.title);
  }
  if (e.pattern_length != m || e.text_length != n) return "the lengths differ from the input's";
  if (e.pattern == nullptr || std::memcmp(e.pattern, x.data(), x.size()) != 0 ||
      e.pattern[m] != 0) {
    return "the pattern copy differs from the pattern";
  }
  if (e.text == nullptr || std::memcmp(e.text, y.data(), y.size()) != 0 || e.text[n] != 0) {
    return "the text copy differs from the text";
  }

  // (e) The attempts hold the reads, moves and notes in order, each
  // exactly once; every read names its own attempt.
  if (e.counts.attempts != e.attempt_count) return "counts.attempts differs from the attempts";
  if (e.counts.reads != e.read_count) return "counts.reads differs from the reads";
  if (e.read_count > 0 && e.attempt_count == 0) return "reads without an attempt";
  int64_t next_read = 0, next_move = 0, next_note = 0;
  for (int64_t k = 0; k < e.attempt_count; ++k) {
    const smtrace_attempt& at = e.attempts[k];
    const auto which = [k] { return "attempt " + std::to_string(k) + ": "; };
    if (at.first_read != next_read) {
      return which() + "its reads do not follow the previous attempt's";
    }
    if (at.read_count < 1) return which() + "it reads nothing";
    if (at.first_move != next_move || at.move_count < 0) {
      return which() + "its moves do not follow the previous attempt's";
    }
    if (at.first_note != next_note || at.note_count < 0) {
      return which() + "its notes do not follow the previous attempt's";
    }
    next_read += at.read_count;
    next_move += at.move_count;
    next_note += at.note_count;
    if (next_read > e.read_count || next_move > e.move_count || next_note > e.note_count) {
      return which() + "its ranges run past the arrays";
    }
    for (int64_t r = at.first_read; r < at.first_read + at.read_count; ++r) {
      if (e.reads[r].attempt != k) {
        return "read " + std::to_string(r) + " names attempt " +
               std::to_string(e.reads[r].attempt) + ", but attempt " + std::to_string(k) +
               " holds it";
      }
    }
  }
  if (next_read != e.read_count) return "reads left without an attempt";
  if (next_move != e.move_count) return "moves left without an attempt";
  if (next_note != e.note_count) return "notes left without an attempt";

  // (f) The counts agree with the reads.
  smtrace_counts c{};
  c.attempts = e.attempt_count;
  for (int64_t r = 0; r < e.read_count; ++r) {
    const smtrace_read& read = e.reads[r];
    ++c.reads;
    if (read.dropped == SMTRACE_RECORDED) {
      if (read.trace_index != c.recorded) {
        return "read " + std::to_string(r) + " has trace index " +
               std::to_string(read.trace_index) + ", expected " + std::to_string(c.recorded);
      }
      ++c.recorded;
    } else {
      if (read.trace_index != -1) return "dropped read " + std::to_string(r) + " has a trace index";
      ++c.dropped;
      if (read.dropped == SMTRACE_DROPPED_REPEAT) {
        ++c.dropped_repeat;
      } else if (read.dropped == SMTRACE_DROPPED_BOUND) {
        ++c.dropped_bound;
      } else {
        return "read " + std::to_string(r) + " has an unknown drop reason";
      }
    }
    switch (read.role) {
      case SMTRACE_ROLE_COMPARE:
        ++c.compares;
        break;
      case SMTRACE_ROLE_LOOK_AHEAD:
        ++c.look_aheads;
        break;
      case SMTRACE_ROLE_PROBE:
        ++c.probes;
        break;
      case SMTRACE_ROLE_EDGE:
        ++c.edges;
        break;
      default:
        return "read " + std::to_string(r) + " has an unknown role";
    }
  }
  if (!counts_equal(c, e.counts)) {
    return "the counts (" + show_counts(e.counts) + ") differ from the reads' (" + show_counts(c) +
           ")";
  }

  // (a) The recorded reads are the deliverable's trace.
  if (trace != nullptr) {
    const std::vector<int32_t> recorded = recorded_positions(e);
    if (recorded != *trace) {
      return "recorded reads " + show_positions(recorded) + "differ from the library's trace " +
             show_positions(*trace);
    }
  }

  // The edges table (Turbo Reverse Factor, short patterns) and its terminal
  // vertices, for the edge reads.
  const smtrace_table* edges = find_table(e, "edges");
  const smtrace_table* terminal_table = find_table(e, "terminal");
  auto is_terminal = [&](int32_t v) {
    if (terminal_table == nullptr || terminal_table->entry_count < 1) return -1;
    const smtrace_table_entry& list = terminal_table->entries[0];
    for (int32_t k = 0; k < list.value_count; ++k) {
      if (list.values[k] == v) return 1;
    }
    return 0;
  };
  int32_t initial_vertex = -1;

  // Attempt by attempt: (b) each read against its window and the bytes,
  // (c) the windows and their shifts, the sources against the tables.
  int32_t previous_base = 0;  // where the previous attempt's shift is counted from
  // The last attempt that recorded each position of the buffer.
  std::vector<int64_t> recorded_in(buffer_size(a, m, n), -1);
  for (int64_t k = 0; k < e.attempt_count; ++k) {
    const smtrace_attempt& at = e.attempts[k];
    // The context of a violation, written only when there is one.
    const auto which = [&] {
      return "attempt " + std::to_string(k) + " (window " + std::to_string(at.window) + "): ";
    };
    const bool last = k + 1 == e.attempt_count;
    if (k > 0) {
      const smtrace_attempt& before = e.attempts[k - 1];
      if (at.window != previous_base + before.shift) {
        return which() + "the previous attempt announced shift " + std::to_string(before.shift) +
               " from window " + std::to_string(previous_base);
      }
    }

    // The moves, in reading order, each by the difference of the windows.
    int32_t window = at.window;
    for (int64_t mv = at.first_move; mv < at.first_move + at.move_count; ++mv) {
      const smtrace_move& move = e.moves[mv];
      const auto about = [&] {
        return which() + "move " + std::to_string(mv - at.first_move) + ": ";
      };
      if (move.after_read < at.first_read - 1 || move.after_read >= at.first_read + at.read_count) {
        return about() + "it follows a read of another attempt";
      }
      if (mv > at.first_move && move.after_read < e.moves[mv - 1].after_read) {
        return about() + "out of order";
      }
      if (move.shift != move.window - window) {
        return about() + "shift " + std::to_string(move.shift) + " from window " +
               std::to_string(window) + " to " + std::to_string(move.window);
      }
      if (move.shift < 0) return about() + "the window moves back";
      if (move.source == nullptr) return about() + "no source";
      if (move.table != nullptr) {
        if (move.key == nullptr) return about() + "a table without a key";
        int64_t value = 0;
        const std::string problem = explanation_detail::check_table_amount(
            e, Source{move.source, move.table, move.key}, move.shift, &value);
        if (!problem.empty()) return about() + problem;
        // A candidate window of Skip Search's list puts the probe at the
        // pattern position the list holds.
        if (std::strcmp(move.table, "lists") == 0) {
          const int32_t probe = at.window + m - 1;
          const smtrace_table_entry* list = find_entry(*find_table(e, "lists"), move.key);
          bool listed = false;
          for (int32_t v = 0; v < list->value_count; ++v) {
            listed = listed || list->values[v] == probe - move.window;
          }
          if (!listed) {
            return about() + "window " + std::to_string(move.window) + " is no candidate of list " +
                   move.key;
          }
          if (byte_key(static_cast<unsigned char>(in.byte_at(probe))) != move.key) {
            return about() + "list " + move.key + " is not the probed character's";
          }
        } else if (std::strcmp(move.table, "bmBc") == 0) {
          // The fast loop's step: the character just read at the last
          // position of the window it left.
          if (move.after_read < at.first_read) return about() + "a table step before any read";
          const smtrace_read& by = e.reads[move.after_read];
          if (by.position != window + m - 1) {
            return about() + "the step does not follow a read at the window's last position";
          }
          if (in.class_key(by.byte) != move.key) {
            return about() + "bmBc key " + move.key + " is not that of the byte read";
          }
        }
      }
      window = move.window;
    }
    const int32_t final_window = window;

    // The reads, each under the window of its time.
    window = at.window;
    int64_t move_index = at.first_move;
    int32_t vertex = -1, d = 0, s = m, last_edge_s = m, last_d = 0;
    bool found_edge = false;
    for (int64_t r = at.first_read; r < at.first_read + at.read_count; ++r) {
      while (move_index < at.first_move + at.move_count && e.moves[move_index].after_read < r) {
        window = e.moves[move_index].window;
        ++move_index;
      }
      const smtrace_read& read = e.reads[r];
      const auto about = [&] {
        return which() + "read " + std::to_string(r) + " at " + std::to_string(read.position) +
               ": ";
      };
      if (read.window != window) {
        return about() + "window " + std::to_string(read.window) + ", expected " +
               std::to_string(window);
      }
      const int expected_byte = in.byte_at(read.position);
      if (expected_byte < 0) return about() + "outside the text buffer the contract gives";
      if (read.byte != expected_byte) {
        return about() + "byte " + std::to_string(read.byte) + ", the buffer holds " +
               std::to_string(expected_byte);
      }
      // Reads at or past n: dropped by the bound (Tuned Boyer-Moore's
      // sentinel, Berry-Ravindran's look-ahead), or Skip Search's recorded
      // comparison with the zero byte at n.
      if (read.position >= n) {
        const bool sentinel = a.room_per_pattern_byte && read.role == SMTRACE_ROLE_COMPARE &&
                              read.dropped == SMTRACE_DROPPED_BOUND;
        const bool look_ahead = a.room_fixed >= 2 && read.role == SMTRACE_ROLE_LOOK_AHEAD &&
                                read.dropped == SMTRACE_DROPPED_BOUND;
        const bool at_n = a.may_record_n && read.position == n &&
                          read.role == SMTRACE_ROLE_COMPARE && read.dropped == SMTRACE_RECORDED;
        if (!sentinel && !look_ahead && !at_n) {
          return about() + "a read at or past the text's end n = " + std::to_string(n);
        }
      }
      if (read.dropped == SMTRACE_DROPPED_BOUND) {
        if (!a.sets_txt_length || read.position < n) {
          return about() + "dropped by a bound no one set";
        }
      }
      // The pruning window of the attempt: a repeat is dropped, and only a
      // repeat.
      const auto slot = static_cast<size_t>(read.position);
      const bool seen = recorded_in[slot] == k;
      if (read.dropped == SMTRACE_RECORDED) recorded_in[slot] = k;
      if (read.dropped == SMTRACE_DROPPED_REPEAT) {
        if (!a.windows) return about() + "dropped as a repeat, but the routine opens no window";
        if (!seen) {
          return about() + "dropped as a repeat of a position its attempt has not recorded";
        }
      } else if (read.dropped == SMTRACE_RECORDED && seen && a.windows) {
        return about() + "recorded again inside its attempt's window";
      }

      switch (read.role) {
        case SMTRACE_ROLE_COMPARE:
          if (read.pattern_index < 0) {
            if (m != 0) return about() + "a compare without a pattern byte";
            if (read.result != SMTRACE_RESULT_NONE) {
              return about() + "a result without a pattern byte";
            }
            break;
          }
          if (read.pattern_index >= m) {
            return about() + "pattern index " + std::to_string(read.pattern_index) +
                   " past the pattern";
          }
          if (read.position != read.window + read.pattern_index) {
            return about() + "compared with x[" + std::to_string(read.pattern_index) +
                   "] of window " + std::to_string(read.window);
          }
          if (read.result !=
              (read.byte == static_cast<unsigned char>(x[static_cast<size_t>(read.pattern_index)])
                   ? SMTRACE_RESULT_MATCH
                   : SMTRACE_RESULT_MISMATCH)) {
            return about() + "the result is not the byte comparison with x[" +
                   std::to_string(read.pattern_index) + "]";
          }
          break;
        case SMTRACE_ROLE_LOOK_AHEAD:
          if (read.pattern_index != -1 || read.result != SMTRACE_RESULT_NONE) {
            return about() + "a look-ahead with a pattern byte";
          }
          if (read.position < read.window + m) return about() + "a look-ahead inside its window";
          break;
        case SMTRACE_ROLE_PROBE:
          if (read.pattern_index != -1 || read.result != SMTRACE_RESULT_NONE) {
            return about() + "a probe with a pattern byte";
          }
          if (r != at.first_read || read.position != at.window + m - 1) {
            return about() +
                   "the probe is not the first read of its attempt, at its window's last position";
          }
          break;
        case SMTRACE_ROLE_EDGE: {
          if (read.pattern_index < 0 || read.pattern_index >= m ||
              read.position != read.window + read.pattern_index) {
            return about() + "an edge read outside its window";
          }
          if (r == at.first_read) {
            if (read.pattern_index != m - 1) {
              return about() + "the scan does not start at the window's last position";
            }
            if (initial_vertex < 0) initial_vertex = read.from_vertex;
            if (read.from_vertex != initial_vertex) {
              return about() + "the scan does not start at the initial vertex";
            }
          } else {
            if (read.position >= e.reads[r - 1].position) {
              return about() + "the scan does not move left";
            }
            if (read.from_vertex != vertex) {
              return about() + "the edge does not leave the vertex the last one reached";
            }
          }
          const smtrace_table_entry* listed = nullptr;
          if (edges != nullptr && read.byte < 128) {
            listed =
                find_entry(*edges, std::to_string(read.from_vertex) + " " + byte_key(read.byte));
          }
          if (read.result == SMTRACE_RESULT_NO_EDGE) {
            if (listed != nullptr) return about() + "no edge, but the edges table has one";
            if (read.to_vertex != -1 || read.edge_shift != -1 || read.terminal != -1 ||
                read.d != 0 || read.s != 0) {
              return about() + "edge fields on a read that found no edge";
            }
            if (r + 1 != at.first_read + at.read_count) {
              return about() + "the attempt goes on after no edge";
            }
            break;
          }
          if (read.result != SMTRACE_RESULT_EDGE) {
            return about() + "an edge read without an edge result";
          }
          if (edges != nullptr &&
              (listed == nullptr || listed->value_count != 2 ||
               listed->values[0] != read.to_vertex ||
               (read.edge_shift >= 0 && listed->values[1] != read.edge_shift))) {
            return about() + "the edge differs from the edges table";
          }
          const int t = is_terminal(read.to_vertex);
          if (read.terminal != 0 && read.terminal != 1) {
            return about() + "terminal is neither 0 nor 1";
          }
          if (t >= 0 && read.terminal != t) {
            return about() + "terminal differs from the terminal table";
          }
          if (read.edge_shift >= 0) d += read.edge_shift;
          if (read.terminal == 1) s = read.pattern_index;
          if (read.d != d || read.s != s) {
            return about() + "d = " + std::to_string(read.d) + ", s = " + std::to_string(read.s) +
                   ", expected d = " + std::to_string(d) + ", s = " + std::to_string(s);
          }
          vertex = read.to_vertex;
          found_edge = true;
          last_edge_s = s;
          last_d = d;
          break;
        }
        default:
          return about() + "unknown role";
      }
    }

    // How the attempt ends, and its shift.
    const bool occurrence = at.outcome != nullptr && std::strcmp(at.outcome, "occurrence") == 0;
    if (at.outcome == nullptr) return which() + "no outcome";
    if (occurrence && !last) return which() + "an occurrence before the last attempt";
    if (at.shift_source == nullptr) {
      if (!last) return which() + "no shift before the next attempt";
      if (at.shift != 0 || at.shift_table != nullptr || at.shift_key != nullptr) {
        return which() + "a shift without a source";
      }
    } else {
      if (occurrence) return which() + "a shift after the occurrence";
      if (at.shift < 1) return which() + "shift " + std::to_string(at.shift);
      if ((at.shift_table == nullptr) != (at.shift_key == nullptr)) {
        return which() + "a table without a key, or a key without one";
      }
      if (at.shift_table != nullptr) {
        int64_t value = 0;
        const std::string problem = explanation_detail::check_table_amount(
            e, Source{at.shift_source, at.shift_table, at.shift_key}, at.shift, &value);
        if (!problem.empty()) return which() + problem;
        const std::string table = at.shift_table;
        const smtrace_read& first = e.reads[at.first_read];
        const smtrace_read& final_read = e.reads[at.first_read + at.read_count - 1];
        if (table == "mpTable") {
          // The mismatch at pattern index i ends the alignment.
          if (final_read.result != SMTRACE_RESULT_MISMATCH ||
              std::to_string(final_read.pattern_index) != at.shift_key) {
            return which() + "mpTable key " + at.shift_key +
                   " is not the index of the attempt's last mismatch";
          }
        } else if (table == "brBc") {
          // The look-ahead pair right of the window.
          std::vector<const smtrace_read*> pair;
          for (int64_t r = at.first_read; r < at.first_read + at.read_count; ++r) {
            if (e.reads[r].role == SMTRACE_ROLE_LOOK_AHEAD) pair.push_back(&e.reads[r]);
          }
          if (pair.size() != 2 || pair[0]->position != final_window + m ||
              pair[1]->position != final_window + m + 1) {
            return which() + "no look-ahead pair at " + std::to_string(final_window + m);
          }
          if (in.class_key(pair[0]->byte) + " " + in.class_key(pair[1]->byte) != at.shift_key) {
            return which() + "brBc key " + at.shift_key + " is not that of the look-ahead pair";
          }
        } else if (table == "bmBc") {
          // Raita: the character under the window's last position, read
          // first. Tuned Boyer-Moore: the match shift of the last pattern
          // character.
          const bool match_shift = std::strstr(at.shift_source, "match shift") != nullptr;
          const std::string key =
              match_shift ? byte_key(static_cast<unsigned char>(x[static_cast<size_t>(m - 1)]))
                          : in.class_key(first.byte);
          if (!match_shift && first.position != at.window + m - 1) {
            return which() + "the first read is not at the window's last position";
          }
          if (key != at.shift_key) {
            return which() + "bmBc key " + at.shift_key + ", expected " + key;
          }
        } else if (table == "shifts") {
          // Not So Naive: miss when the window's second character differs
          // from x[1], hit otherwise.
          const std::string key = first.result == SMTRACE_RESULT_MISMATCH ? "miss" : "hit";
          if (first.pattern_index != 1 || key != at.shift_key) {
            return which() + "shifts key " + at.shift_key + ", expected " + key;
          }
        }
      }
      // The fixed steps: Skip Search's probe step m, and the step 1 of a
      // one-character pattern.
      if (std::strncmp(at.shift_source, "probe step", 10) == 0 &&
          (at.shift != at.window + m - final_window ||
           std::string(at.shift_source).find("m = " + std::to_string(m)) == std::string::npos)) {
        return which() + "probe step " + std::to_string(at.shift) + " (\"" + at.shift_source +
               "\") is not m";
      }
      if (std::strncmp(at.shift_source, "one-character", 13) == 0 && (at.shift != 1 || m != 1)) {
        return which() + "a one-character step of " + std::to_string(at.shift);
      }
      // Every other shift is read from a table, but Turbo Reverse Factor's s.
      if (at.shift_table == nullptr && std::strncmp(at.shift_source, "probe step", 10) != 0 &&
          std::strncmp(at.shift_source, "one-character", 13) != 0 &&
          std::strncmp(at.shift_source, "s = ", 4) != 0) {
        return which() + "shift source \"" + at.shift_source + "\" names no table";
      }
      if (found_edge || std::strncmp(at.shift_source, "s = ", 4) == 0) {
        // Turbo Reverse Factor: s from the scan, or d after a complete
        // second scan, or m.
        const bool from_d = std::strncmp(at.shift_source, "s = d = ", 8) == 0;
        const int32_t expected = from_d ? last_d : last_edge_s;
        if (at.shift != expected) {
          return which() + "shift " + std::to_string(at.shift) + ", the scan gives " +
                 std::to_string(expected);
        }
        if (std::strncmp(at.shift_source, "s = ", 4) != 0 ||
            std::string(at.shift_source).find("= " + std::to_string(at.shift)) ==
                std::string::npos) {
          return which() + "source \"" + at.shift_source + "\" does not give s";
        }
      }
    }
    // Every routine counts its shift from the window the attempt ended at.
    previous_base = final_window;
    if (last && at.shift_source != nullptr) {
      // The last shift takes the window past the last start the routine
      // tries: n - m, or n - 1 for the routines that go on while the window
      // starts inside the text.
      const int64_t last_start =
          is(a, "tuned_bm") || is(a, "morris_pratt") ? n - 1 : static_cast<int64_t>(n) - m;
      if (static_cast<int64_t>(previous_base) + at.shift <= last_start) {
        return which() + "the search ends, yet its shift leads to window " +
               std::to_string(previous_base + at.shift);
      }
    }

    // (d) The occurrence is where the attempt's window ended.
    if (occurrence && final_window != e.occurrence) {
      return which() + "the occurrence at " + std::to_string(e.occurrence) +
             " is not the attempt's window " + std::to_string(final_window);
    }
  }

  // (d) The first occurrence, as an ordinary search finds it.
  if (m > 0) {
    const size_t found = y.find(x);
    const int32_t expected = found == std::string_view::npos ? -1 : static_cast<int32_t>(found);
    if (e.occurrence != expected) {
      return "occurrence " + std::to_string(e.occurrence) + ", the first occurrence is " +
             std::to_string(expected);
    }
    if (expected >= 0 &&
        (e.attempt_count == 0 || e.attempts[e.attempt_count - 1].outcome == nullptr ||
         std::strcmp(e.attempts[e.attempt_count - 1].outcome, "occurrence") != 0)) {
      return "the last attempt does not end with the occurrence";
    }
  } else {
    // An empty pattern: Morris-Pratt reads position 0 once, in an attempt
    // that ends with the empty occurrence at 0; every other routine reads
    // nothing.
    const bool reads_first = is(a, "morris_pratt") && n > 0;
    if (e.occurrence != (reads_first ? 0 : -1)) {
      return "occurrence " + std::to_string(e.occurrence) + " of an empty pattern";
    }
    if (e.read_count != (reads_first ? 1 : 0)) {
      return "an empty pattern read " + std::to_string(e.read_count) + " times";
    }
  }

  // The notes, inside their attempts.
  for (int64_t k = 0; k < e.attempt_count; ++k) {
    const smtrace_attempt& at = e.attempts[k];
    for (int64_t q = at.first_note; q < at.first_note + at.note_count; ++q) {
      const smtrace_note& note = e.notes[q];
      if (note.text == nullptr) return "note " + std::to_string(q) + " has no text";
      if (note.after_read < at.first_read - 1 || note.after_read >= at.first_read + at.read_count ||
          (q > at.first_note && note.after_read < e.notes[q - 1].after_read)) {
        return "note " + std::to_string(q) + " lies outside its attempt's reads";
      }
    }
  }
  // The tables are well formed.
  for (int32_t t = 0; t < e.table_count; ++t) {
    const smtrace_table& table = e.tables[t];
    if (table.name == nullptr || table.about == nullptr) {
      return "table " + std::to_string(t) + " has no name";
    }
    for (int32_t k = 0; k < table.entry_count; ++k) {
      if (table.entries[k].key == nullptr ||
          (table.entries[k].value_count > 0 && table.entries[k].values == nullptr)) {
        return std::string("table ") + table.name + " entry " + std::to_string(k) + " is malformed";
      }
    }
  }
  return "";
}

// smtrace_summarize gives the counts and the occurrence of the explanation.
inline std::string check_summary(const Explainer& api, const char* name, std::string_view x,
                                 std::string_view y, const smtrace_explanation& e) {
  smtrace_counts counts{};
  int32_t occurrence = -2;
  const int status = api.summarize(name, x.data(), static_cast<int32_t>(x.size()), y.data(),
                                   static_cast<int32_t>(y.size()), &counts, &occurrence);
  if (status != SMTRACE_OK) return "smtrace_summarize fails with status " + std::to_string(status);
  if (!counts_equal(counts, e.counts)) {
    return "the summary's counts (" + show_counts(counts) + ") differ from the explanation's (" +
           show_counts(e.counts) + ")";
  }
  if (occurrence != e.occurrence) {
    return "the summary's occurrence " + std::to_string(occurrence) +
           " differs from the explanation's " + std::to_string(e.occurrence);
  }
  return "";
}

}  // namespace sm_test
