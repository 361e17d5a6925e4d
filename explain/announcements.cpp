// The explainer's side of the routines' announcements: each one takes note
// of what the routine did and reads or changes nothing of the search.
#include "explain/announcements.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "explain/recording.h"
#include "graph/graph.h"
#include "matchers/skip_search.h"

namespace sm_explain {

Recording* active = nullptr;

namespace {

constexpr int32_t kAlphabet = 128;
// Turbo Reverse Factor's automaton is listed for patterns up to this long.
constexpr int32_t kLongestListedAutomaton = 19;

std::string number(int64_t value) { return std::to_string(value); }

}  // namespace

// A byte as a table key: printable ASCII as it is, anything else (the space
// too) as \xNN.
std::string byte_key(unsigned char c) {
  if (c > 0x20 && c < 0x7f) return std::string(1, static_cast<char>(c));
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
  return buffer;
}

namespace {

bool in_pattern(const Recording& r, unsigned char c) {
  for (int32_t i = 0; i < r.m; ++i) {
    if (static_cast<unsigned char>(r.x[i]) == c) return true;
  }
  return false;
}

// The key of a character in a table keyed by the pattern's characters.
std::string class_key(const Recording& r, unsigned char c) {
  return in_pattern(r, c) ? byte_key(c) : "other";
}

// The pattern's distinct characters, in byte order.
std::vector<unsigned char> pattern_characters(const char* x, int32_t m) {
  std::vector<unsigned char> found;
  for (int32_t i = 0; i < m; ++i) found.push_back(static_cast<unsigned char>(x[i]));
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

void close_attempt(Recording& r) {
  if (!r.attempt_open) return;
  Attempt& a = r.current;
  if (a.outcome.empty()) {
    if (a.found) {
      a.outcome = "occurrence";
    } else if (a.last_result == SMTRACE_RESULT_NO_EDGE) {
      a.outcome = "no edge";
    } else if (a.edges) {
      a.outcome = "scan complete";
    } else if (a.last_result == SMTRACE_RESULT_MISMATCH) {
      a.outcome = "mismatch";
    } else if (!a.compared) {
      a.outcome = "no candidate";
    } else {
      a.outcome = "no occurrence";
    }
  }
  if (r.keep_events) r.attempts.push_back(std::move(a));
  r.current = Attempt();
  r.attempt_open = false;
}

void open_attempt(Recording& r) {
  close_attempt(r);
  r.current = Attempt();
  r.current.window = r.window;
  r.current.first_read = static_cast<int64_t>(r.reads.size());
  r.current.first_move = static_cast<int64_t>(r.moves.size());
  r.current.first_note = static_cast<int64_t>(r.notes.size());
  r.attempt_open = true;
  r.attempt_pending = false;
  r.has_source = false;
  r.shift_from_d = false;
  ++r.counts.attempts;
}

// The attempt that the next event belongs to.
Attempt& current_attempt(Recording& r) {
  if (r.attempt_pending || !r.attempt_open) open_attempt(r);
  return r.current;
}

smtrace_read* last_read(Recording& r) {
  if (!r.has_last) return nullptr;
  return r.keep_events ? &r.reads.back() : &r.last;
}

int64_t last_read_index(const Recording& r) {
  return r.keep_events ? static_cast<int64_t>(r.reads.size()) - 1 : -1;
}

void set_source(Recording& r, const std::string& table, const std::string& key,
                const std::string& text) {
  r.source = Move();
  r.source.table = table;
  r.source.key = key;
  r.source.source = text;
  r.has_source = true;
}

void end_with_shift(Recording& r, int32_t amount) {
  if (!r.attempt_open || r.attempt_pending) return;
  Attempt& a = r.current;
  a.has_shift = true;
  a.shift = amount;
  if (r.has_source) {
    a.source = r.source.source;
    a.table = r.source.table;
    a.key = r.source.key;
  }
}

void count_role(Recording& r, unsigned char role) {
  switch (role) {
    case SMTRACE_ROLE_COMPARE:
      ++r.counts.compares;
      break;
    case SMTRACE_ROLE_LOOK_AHEAD:
      ++r.counts.look_aheads;
      break;
    case SMTRACE_ROLE_PROBE:
      ++r.counts.probes;
      break;
    case SMTRACE_ROLE_EDGE:
      ++r.counts.edges;
      break;
    default:
      break;
  }
}

void set_role(Recording& r, smtrace_read& read, unsigned char role, int32_t index) {
  read.role = role;
  // A compare names a pattern byte only when the pattern has one there (an
  // empty pattern has none).
  read.pattern_index = role == SMTRACE_ROLE_COMPARE && (index < 0 || index >= r.m) ? -1 : index;
  count_role(r, role);
  Attempt& a = current_attempt(r);
  if (role == SMTRACE_ROLE_COMPARE) {
    a.compared = true;
    if (index >= 0 && index < r.m) {
      read.result = read.byte == static_cast<unsigned char>(r.x[index]) ? SMTRACE_RESULT_MATCH
                                                                          : SMTRACE_RESULT_MISMATCH;
    }
  } else if (role == SMTRACE_ROLE_EDGE) {
    a.edges = true;
  }
  if (read.result != SMTRACE_RESULT_NONE) a.last_result = read.result;
}

void add_note(Recording& r, const std::string& text) {
  Attempt& a = current_attempt(r);
  if (!r.keep_events) return;
  r.notes.push_back(Note{last_read_index(r), text});
  ++a.note_count;
}

}  // namespace

void finish(Recording& r) {
  close_attempt(r);
  if (!r.keep_events) return;
  // Attempts that were announced but read nothing (after the last shift) are
  // not attempts at all.
}

Role compare(int32_t pattern_index) { return Role{SMTRACE_ROLE_COMPARE, pattern_index}; }
Role look_ahead() { return Role{SMTRACE_ROLE_LOOK_AHEAD, -1}; }
Role probe() { return Role{SMTRACE_ROLE_PROBE, -1}; }
Role edge(int32_t window_index) { return Role{SMTRACE_ROLE_EDGE, window_index}; }

signed char as_read(signed char value, Role role) {
  Recording* r = active;
  if (r == nullptr) return value;
  if (smtrace_read* read = last_read(*r)) set_role(*r, *read, role.role, role.index);
  return value;
}

void dropped(Dropped reason) {
  if (active != nullptr) active->pending_drop = reason;
}

void read(int32_t position, char byte, const char* pattern) {
  Recording* r = active;
  if (r == nullptr) return;
  Attempt& a = current_attempt(*r);
  smtrace_read event{};
  event.position = position;
  event.window = r->window;
  event.attempt = static_cast<int32_t>(r->counts.attempts - 1);
  event.pattern_index = -1;
  event.byte = static_cast<unsigned char>(byte);
  event.dropped = r->pending_drop;
  event.from_vertex = event.to_vertex = event.edge_shift = event.terminal = -1;
  r->pending_drop = SMTRACE_RECORDED;
  ++r->counts.reads;
  if (event.dropped == SMTRACE_RECORDED) {
    event.trace_index = static_cast<int32_t>(r->counts.recorded++);
  } else {
    event.trace_index = -1;
    ++r->counts.dropped;
    if (event.dropped == SMTRACE_DROPPED_REPEAT) {
      ++r->counts.dropped_repeat;
    } else {
      ++r->counts.dropped_bound;
    }
  }
  ++a.read_count;
  if (r->keep_events) {
    r->reads.push_back(event);
  } else {
    r->last = event;
  }
  r->has_last = true;
  if (pattern != nullptr) {
    set_role(*r, *last_read(*r), SMTRACE_ROLE_COMPARE, static_cast<int32_t>(pattern - r->x));
  }
}

void attempt(int32_t window) {
  Recording* r = active;
  if (r == nullptr) return;
  close_attempt(*r);
  r->window = window;
  r->attempt_pending = true;
}

namespace {

void move_window(Recording* r, int32_t window, bool always) {
  if (r == nullptr || (window == r->window && !always)) return;
  Attempt& a = current_attempt(*r);
  if (r->keep_events) {
    Move move = r->has_source ? r->source : Move();
    move.after_read = last_read_index(*r);
    move.window = window;
    move.shift = window - r->window;
    r->moves.push_back(move);
    ++a.move_count;
  }
  r->window = window;
}

}  // namespace

void window_at(int32_t window) { move_window(active, window, false); }

void found(int32_t window) {
  Recording* r = active;
  if (r == nullptr) return;
  current_attempt(*r).found = true;
  r->occurrence = window;
}

void outcome(const char* text) {
  if (active != nullptr) current_attempt(*active).outcome = text;
}

void note(const std::string& text) {
  if (active != nullptr) add_note(*active, text);
}

void bmbc_entry(unsigned char c, int32_t value) {
  Recording* r = active;
  if (r == nullptr) return;
  if (c >= kAlphabet) {
    set_source(*r, "bmBc", "other",
               "byte " + byte_key(c) + " lies outside the alphabet: m = " + number(value));
  } else {
    set_source(*r, "bmBc", class_key(*r, c), "bmBc[" + byte_key(c) + "] = " + number(value));
  }
}

void shift(int32_t amount) {
  if (active != nullptr) end_with_shift(*active, amount);
}

void mp_fallback(int32_t i, int32_t border, int32_t m) {
  Recording* r = active;
  // An empty pattern has no window to move.
  if (r == nullptr || m <= 0) return;
  set_source(*r, "mpTable", number(i), "mpTable[" + number(i) + "] = " + number(border));
  end_with_shift(*r, i - border);
}

void mp_next_attempt(int32_t window, int32_t m) {
  // An empty pattern stays in its one attempt.
  if (m > 0) attempt(window);
}

void nsn_shift(int32_t amount, bool hit) {
  Recording* r = active;
  if (r == nullptr) return;
  set_source(*r, "shifts", hit ? "hit" : "miss",
             std::string(hit ? "hit shift = " : "miss shift = ") + number(amount));
  end_with_shift(*r, amount);
}

void single_step() {
  Recording* r = active;
  if (r == nullptr) return;
  set_source(*r, "", "", "one-character pattern: shift 1");
  end_with_shift(*r, 1);
}

void tbm_match_shift(unsigned char last, int32_t amount) {
  Recording* r = active;
  if (r == nullptr) return;
  set_source(*r, "bmBc", byte_key(last),
             "match shift: bmBc[" + byte_key(last) + "] = " + number(amount));
  end_with_shift(*r, amount);
}

void br_shift(unsigned char a, unsigned char b, int32_t amount) {
  Recording* r = active;
  if (r == nullptr) return;
  const std::string pair = "brBc[" + byte_key(a) + "][" + byte_key(b) + "]";
  if (a >= kAlphabet || b >= kAlphabet) {
    set_source(*r, "brBc", class_key(*r, a) + " " + class_key(*r, b),
               pair + ": a byte outside the alphabet, " + number(amount));
  } else {
    set_source(*r, "brBc", class_key(*r, a) + " " + class_key(*r, b),
               pair + " = " + number(amount));
  }
  end_with_shift(*r, amount);
}

void skip_candidate(unsigned char c, int32_t e, int32_t window) {
  Recording* r = active;
  if (r == nullptr) return;
  set_source(*r, "lists", byte_key(c), "list[" + byte_key(c) + "] holds " + number(e));
  // Every candidate is shown, also one whose window is where the last one was.
  move_window(r, window, true);
}

void skip_probe_step(int32_t m) {
  Recording* r = active;
  if (r == nullptr) return;
  // The next probe's first window is m past this probe's; the shift, like
  // every routine's, counts from the window the attempt ended at.
  const int32_t next = r->current.window + m;
  set_source(*r, "", "", "probe step m = " + number(m) + " from the probe's first window");
  end_with_shift(*r, next - r->window);
}

void trf_attempt(int32_t window, int32_t u, int32_t p) {
  Recording* r = active;
  if (r == nullptr) return;
  attempt(window);
  if (u >= 0) {
    add_note(*r, "u = " + number(u) + ", p = " + number(p) + ": window indexes 0 to " + number(u) +
                     " are known to match the pattern");
  } else {
    add_note(*r, "u = -1, p = 0: nothing remembered");
  }
}

void trf_edge(int32_t from, int32_t to, int32_t edge_shift, bool adds) {
  Recording* r = active;
  if (r == nullptr) return;
  if (smtrace_read* read = last_read(*r)) {
    read->from_vertex = from;
    read->to_vertex = to;
    read->edge_shift = adds ? edge_shift : -1;
    read->result = SMTRACE_RESULT_EDGE;
    current_attempt(*r).last_result = SMTRACE_RESULT_EDGE;
  }
}

void trf_no_edge(int32_t from) {
  Recording* r = active;
  if (r == nullptr) return;
  if (smtrace_read* read = last_read(*r)) {
    read->from_vertex = from;
    read->result = SMTRACE_RESULT_NO_EDGE;
    current_attempt(*r).last_result = SMTRACE_RESULT_NO_EDGE;
  }
}

void trf_reached(bool terminal, int32_t d, int32_t s) {
  Recording* r = active;
  if (r == nullptr) return;
  if (smtrace_read* read = last_read(*r)) {
    read->terminal = terminal ? 1 : 0;
    read->d = d;
    read->s = s;
  }
}

void trf_first_scan_done(int32_t u, int32_t d) {
  note("first scan reaches i = u = " + number(u) + ", d = " + number(d) +
       (d == 0 ? ": the window is an occurrence" : ""));
}

void trf_second_scan(int32_t d, int32_t half, int32_t p, int32_t u) {
  note("d = " + number(d) + " != 0, half = " + number(half) + ", p = " + number(p) +
       " <= half: second scan with u = " + number(u));
}

void trf_third_scan(int32_t d, int32_t half, int32_t p, int32_t lowest) {
  note("d = " + number(d) + " != 0, half = " + number(half) + ", p = " + number(p) +
       " > half: third scan down to index " + number(lowest));
}

void trf_scan_complete(int32_t s) {
  Recording* r = active;
  if (r == nullptr) return;
  r->shift_from_d = true;
  add_note(*r, "scan complete: s = d = " + number(s));
}

void trf_shift(int32_t s, int32_t m) {
  Recording* r = active;
  if (r == nullptr) return;
  std::string text;
  if (r->shift_from_d) {
    text = "s = d = " + number(s);
  } else if (s == m) {
    text = "s = m = " + number(s) + ": no terminal vertex reached";
  } else {
    text = "s = " + number(s) + ": the last terminal vertex was reached at window index " +
           number(s);
  }
  set_source(*r, "", "", text);
  end_with_shift(*r, s);
}

namespace {

void add_table(Recording& r, Table table) {
  if (r.keep_events) r.tables.push_back(std::move(table));
}

}  // namespace

void bmbc_table(const char* x, int32_t m, const int32_t* bmBc) {
  Recording* r = active;
  if (r == nullptr) return;
  Table t{"bmBc",
          "the shift after a window by the text character under its last position: m - 1 - i "
          "for its rightmost index i before the last, else m",
          {}};
  for (unsigned char c : pattern_characters(x, m)) t.entries.push_back({byte_key(c), {bmBc[c]}});
  t.entries.push_back({"other", {m}});
  add_table(*r, std::move(t));
}

void brbc_table(const char* x, int32_t m, const int32_t* brBc) {
  Recording* r = active;
  if (r == nullptr) return;
  const std::vector<unsigned char> chars = pattern_characters(x, m);
  // A character of no pattern position stands for every other character.
  int other = -1;
  for (int c = 0; c < kAlphabet && other < 0; ++c) {
    if (!std::binary_search(chars.begin(), chars.end(), static_cast<unsigned char>(c))) other = c;
  }
  std::vector<std::pair<std::string, int>> classes;
  for (unsigned char c : chars) classes.emplace_back(byte_key(c), c);
  if (other >= 0) classes.emplace_back("other", other);
  Table t{"brBc",
          "the shift after a window by the two text characters right of it, y[j + m] and "
          "y[j + m + 1]; every pair not listed shifts by m + 2",
          {}};
  for (const auto& a : classes) {
    for (const auto& b : classes) {
      const int32_t value = brBc[a.second * kAlphabet + b.second];
      if (value != m + 2) t.entries.push_back({a.first + " " + b.first, {value}});
    }
  }
  t.entries.push_back({"default", {m + 2}});
  add_table(*r, std::move(t));
}

void mp_table(const int32_t* table, int32_t m) {
  Recording* r = active;
  if (r == nullptr) return;
  Table t{"mpTable",
          "entry i: the length of the longest proper border of x[0..i-1] (-1 at 0); after a "
          "mismatch at pattern index i the window moves on by i - mpTable[i]",
          {}};
  for (int32_t i = 0; i <= m; ++i) t.entries.push_back({number(i), {table[i]}});
  add_table(*r, std::move(t));
}

void nsn_shifts(int32_t miss, int32_t hit) {
  Recording* r = active;
  if (r == nullptr) return;
  add_table(*r, Table{"shifts",
                      "miss: y[j + 1] differs from x[1]; hit: it equals x[1] but the window is "
                      "no occurrence",
                      {{"miss", {miss}}, {"hit", {hit}}}});
}

void skip_lists(const char* x, int32_t m, position_cell* const* lists) {
  Recording* r = active;
  if (r == nullptr) return;
  Table t{"lists", "for each character, the pattern positions that hold it, in decreasing order",
          {}};
  for (unsigned char c : pattern_characters(x, m)) {
    TableEntry entry{byte_key(c), {}};
    for (const position_cell* cell = lists[c]; cell != nullptr; cell = cell->next) {
      entry.values.push_back(cell->position);
    }
    t.entries.push_back(std::move(entry));
  }
  add_table(*r, std::move(t));
}

void trf_automaton(Graph* automaton, const char* x, int32_t m) {
  Recording* r = active;
  if (r == nullptr || m > kLongestListedAutomaton) return;
  (void)x;
  Table edges{"edges",
              "the suffix automaton of the reversed pattern: \"vertex character\" gives the "
              "target vertex and the edge's shift",
              {}};
  Table terminal{"terminal", "the terminal vertices", {{"vertices", {}}}};
  for (int32_t v = 0; v < automaton->nextVertex; ++v) {
    for (int32_t c = 0; c < kAlphabet; ++c) {
      const int32_t target = getTarget(automaton, v, c);
      if (target != -1) {
        edges.entries.push_back({number(v) + " " + byte_key(static_cast<unsigned char>(c)),
                                 {target, getShift(automaton, v, c)}});
      }
    }
    if (isTerminal(automaton, v)) terminal.entries[0].values.push_back(v);
  }
  add_table(*r, std::move(edges));
  add_table(*r, std::move(terminal));
}

}  // namespace sm_explain
