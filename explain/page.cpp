// Builds the interactive page from explanations: the template, its style and
// its script (explain/page/, embedded at build time) around one block of
// data. smtrace explain --html and compare --html write these pages, and the
// Python package shows them, through smtrace_explanation_html and
// smtrace_compare_html.
//
// The data is a JSON object. Everything of variable length per read, attempt,
// move or note is packed into byte streams, written as base64 strings:
//
//   unsigned numbers are LEB128 varints (7 bits a byte, low bits first);
//   signed ones are zigzag-coded first (0, -1, 1, -2, ... as 0, 1, 2, 3, ...).
//
//   reads, one record each, in reading order:
//     flags     one byte: role (bits 0-1), dropped (bits 2-3), result (bits
//               4-6), bit 7 set when the byte read is given (else it is the
//               text's byte at the position)
//     position  signed, minus the previous read's position (0 before the first)
//     window    signed, minus the previous read's window
//     pattern   pattern_index + 1 (0 for none)
//     byte      when flagged
//     edge reads: one byte, terminal + 1 (bits 0-1; 3: terminal follows,
//               signed), bit 2 set when from follows (else it is the previous
//               edge read's to), bit 3 set when to, edge shift, d and s follow
//               (else they are -1, -1, 0, 0); then those that follow, signed
//   attempts, one record each:
//     window    signed, minus the previous attempt's window
//     gap       first_read minus the previous attempt's end (0 when contiguous)
//     reads     read_count
//     kind      index into "attemptKinds": [outcome, shift, source, table, key],
//               shift null when the attempt has no shift source
//     moves     move_count, notes: note_count
//   moves, attempt after attempt, each: after (after_read relative to its
//     attempt's first read, plus 1; 0 before any read), window (signed,
//     minus the previous window of the attempt), shift (signed), kind (index
//     into "moveKinds": [source, table, key])
//   notes, attempt after attempt, each: after (as for moves), text (index
//     into "strings")
//
// A read's trace index and attempt follow from the streams (the recorded
// reads are the trace, in order; an attempt's reads are a run). Should an
// explanation ever break that, its reads carry the numbers themselves in
// "traceIndex" and "readAttempt" (signed varints).
#include "explain/page.h"
#include "explain/json.h"
#include "explain/markup.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "explain/page_assets.h"

namespace sm_explain {
namespace {

class Stream {
 public:
  void byte(unsigned char value) { bytes_ += static_cast<char>(value); }
  void unsigned_number(uint64_t value) {
    while (value >= 0x80) {
      bytes_ += static_cast<char>(0x80 | (value & 0x7f));
      value >>= 7;
    }
    bytes_ += static_cast<char>(value);
  }
  void signed_number(int64_t value) {
    unsigned_number((static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63));
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

std::string base64(const std::string& bytes) {
  static const char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = static_cast<unsigned char>(bytes[i]) << 16 |
                       static_cast<unsigned char>(bytes[i + 1]) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += kDigits[(v >> 6) & 63];
    out += kDigits[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// A JSON string that is also safe inside a <script> element: besides the
// usual escapes, <, > and & are written as \u escapes, and bytes outside
// printable ASCII as \u00XX.
void append_string(std::string& out, const char* text, size_t length) {
  append_json_bytes(out, text, length, true);
}
void append_string(std::string& out, const char* text) {
  if (text == nullptr) {
    out += "null";
  } else {
    append_string(out, text, std::strlen(text));
  }
}

void append_string(std::string& out, const std::string& text) {
  append_string(out, text.data(), text.size());
}

std::string quoted(const char* text) {
  std::string out;
  append_string(out, text);
  return out;
}

// Numbers for small tables of repeated values: each distinct key once.
template <typename Key>
class Dictionary {
 public:
  size_t index(const Key& key) {
    const auto found = indexes_.find(key);
    if (found != indexes_.end()) return found->second;
    indexes_.emplace(key, keys_.size());
    keys_.push_back(key);
    return keys_.size() - 1;
  }
  const std::vector<Key>& keys() const { return keys_; }

 private:
  std::map<Key, size_t> indexes_;
  std::vector<Key> keys_;
};

// Attempt kinds and move kinds hold their strings as JSON already.
using AttemptKind = std::tuple<std::string, std::string, std::string, std::string, std::string>;
using MoveKind = std::tuple<std::string, std::string, std::string>;

int64_t after_read(int64_t after, int64_t first_read) {
  return after >= first_read ? after - first_read + 1 : 0;
}

void append_counts(std::string& out, const smtrace_counts& c) {
  out += "{\"reads\":" + std::to_string(c.reads);
  out += ",\"recorded\":" + std::to_string(c.recorded);
  out += ",\"compare\":" + std::to_string(c.compares);
  out += ",\"lookAhead\":" + std::to_string(c.look_aheads);
  out += ",\"probe\":" + std::to_string(c.probes);
  out += ",\"edge\":" + std::to_string(c.edges);
  out += ",\"dropped\":" + std::to_string(c.dropped);
  out += ",\"droppedRepeat\":" + std::to_string(c.dropped_repeat);
  out += ",\"droppedBound\":" + std::to_string(c.dropped_bound);
  out += ",\"attempts\":" + std::to_string(c.attempts) + "}";
}

void append_tables(std::string& out, const smtrace_explanation& e) {
  out += "[";
  for (int32_t t = 0; t < e.table_count; ++t) {
    const smtrace_table& table = e.tables[t];
    if (t > 0) out += ",";
    out += "{\"name\":";
    append_string(out, table.name);
    out += ",\"about\":";
    append_string(out, table.about);
    out += ",\"entries\":[";
    for (int32_t k = 0; k < table.entry_count; ++k) {
      const smtrace_table_entry& entry = table.entries[k];
      if (k > 0) out += ",";
      out += "[";
      append_string(out, entry.key);
      out += ",[";
      for (int32_t v = 0; v < entry.value_count; ++v) {
        if (v > 0) out += ",";
        out += std::to_string(entry.values[v]);
      }
      out += "]]";
    }
    out += "]}";
  }
  out += "]";
}

// One search's events, without its pattern and text (the page holds those
// once).
void append_search(std::string& out, const smtrace_explanation& e) {
  Stream reads;
  Stream trace_indexes;
  Stream read_attempts;
  bool trace_indexes_follow = true;
  bool attempts_follow = true;
  int64_t recorded = 0;
  int32_t position = 0;
  int32_t window = 0;
  bool has_edges = false;
  int32_t previous_to = 0;  // the to of the last edge read, when has_edges
  for (int64_t i = 0; i < e.read_count; ++i) {
    const smtrace_read& r = e.reads[i];
    const bool in_text = r.position >= 0 && r.position < e.text_length;
    const bool byte_given =
        !in_text || static_cast<unsigned char>(e.text[r.position]) != r.byte;
    reads.byte(static_cast<unsigned char>((r.role & 3) | (r.dropped & 3) << 2 |
                                          (r.result & 7) << 4 | (byte_given ? 0x80 : 0)));
    reads.signed_number(static_cast<int64_t>(r.position) - position);
    reads.signed_number(static_cast<int64_t>(r.window) - window);
    reads.unsigned_number(static_cast<uint64_t>(static_cast<int64_t>(r.pattern_index) + 1));
    if (byte_given) reads.byte(r.byte);
    if (r.role == SMTRACE_ROLE_EDGE) {
      const bool from_given = !has_edges || r.from_vertex != previous_to;
      has_edges = true;
      const bool rest_given = r.to_vertex != -1 || r.edge_shift != -1 || r.d != 0 || r.s != 0;
      const int32_t terminal = r.terminal >= -1 && r.terminal <= 1 ? r.terminal + 1 : 3;
      reads.byte(static_cast<unsigned char>(terminal | (from_given ? 4 : 0) | (rest_given ? 8 : 0)));
      if (terminal == 3) reads.signed_number(r.terminal);
      if (from_given) reads.signed_number(r.from_vertex);
      if (rest_given) {
        for (int32_t value : {r.to_vertex, r.edge_shift, r.d, r.s}) reads.signed_number(value);
      }
      previous_to = r.to_vertex;
    }
    position = r.position;
    window = r.window;
    const int64_t expected = r.dropped == SMTRACE_RECORDED ? recorded++ : -1;
    if (r.trace_index != expected) trace_indexes_follow = false;
    trace_indexes.signed_number(r.trace_index);
    read_attempts.signed_number(r.attempt);
  }

  Stream attempts;
  Stream moves;
  Stream notes;
  Dictionary<AttemptKind> attempt_kinds;
  Dictionary<MoveKind> move_kinds;
  Dictionary<std::string> strings;
  int32_t attempt_window = 0;
  int64_t end = 0;
  for (int64_t a = 0; a < e.attempt_count; ++a) {
    const smtrace_attempt& attempt = e.attempts[a];
    attempts.signed_number(static_cast<int64_t>(attempt.window) - attempt_window);
    attempts.signed_number(attempt.first_read - end);
    attempts.unsigned_number(static_cast<uint64_t>(attempt.read_count));
    attempts.unsigned_number(attempt_kinds.index(AttemptKind{
        quoted(attempt.outcome),
        attempt.shift_source != nullptr ? std::to_string(attempt.shift) : "null",
        quoted(attempt.shift_source), quoted(attempt.shift_table), quoted(attempt.shift_key)}));
    attempts.unsigned_number(static_cast<uint64_t>(attempt.move_count));
    attempts.unsigned_number(static_cast<uint64_t>(attempt.note_count));
    for (int64_t k = attempt.first_read; k < attempt.first_read + attempt.read_count; ++k) {
      if (k < 0 || k >= e.read_count || e.reads[k].attempt != a) attempts_follow = false;
    }
    attempt_window = attempt.window;
    end = attempt.first_read + attempt.read_count;

    int32_t move_window = attempt.window;
    for (int64_t k = 0; k < attempt.move_count; ++k) {
      const smtrace_move& move = e.moves[attempt.first_move + k];
      moves.unsigned_number(static_cast<uint64_t>(after_read(move.after_read, attempt.first_read)));
      moves.signed_number(static_cast<int64_t>(move.window) - move_window);
      moves.signed_number(move.shift);
      moves.unsigned_number(
          move_kinds.index(MoveKind{quoted(move.source), quoted(move.table), quoted(move.key)}));
      move_window = move.window;
    }
    for (int64_t k = 0; k < attempt.note_count; ++k) {
      const smtrace_note& note = e.notes[attempt.first_note + k];
      notes.unsigned_number(static_cast<uint64_t>(after_read(note.after_read, attempt.first_read)));
      notes.unsigned_number(strings.index(note.text != nullptr ? note.text : ""));
    }
  }
  // Every read inside some attempt's run, and no run overlapping another.
  {
    int64_t covered = 0;
    for (int64_t a = 0; a < e.attempt_count; ++a) covered += e.attempts[a].read_count;
    if (covered != e.read_count) attempts_follow = false;
  }

  out += "{\"algorithm\":";
  append_string(out, e.algorithm);
  out += ",\"title\":";
  append_string(out, e.title);
  out += ",\"occurrence\":";
  out += e.occurrence >= 0 ? std::to_string(e.occurrence) : "null";
  out += ",\"counts\":";
  append_counts(out, e.counts);
  out += ",\"tables\":";
  append_tables(out, e);
  out += ",\"readCount\":" + std::to_string(e.read_count);
  out += ",\"attemptCount\":" + std::to_string(e.attempt_count);
  out += ",\"hasEdges\":";
  out += has_edges ? "true" : "false";
  out += ",\"reads\":\"" + base64(reads.bytes()) + "\"";
  out += ",\"attempts\":\"" + base64(attempts.bytes()) + "\"";
  out += ",\"moves\":\"" + base64(moves.bytes()) + "\"";
  out += ",\"notes\":\"" + base64(notes.bytes()) + "\"";
  out += ",\"traceIndex\":";
  out += trace_indexes_follow ? "null" : "\"" + base64(trace_indexes.bytes()) + "\"";
  out += ",\"readAttempt\":";
  out += attempts_follow ? "null" : "\"" + base64(read_attempts.bytes()) + "\"";
  out += ",\"attemptKinds\":[";
  for (size_t k = 0; k < attempt_kinds.keys().size(); ++k) {
    const AttemptKind& kind = attempt_kinds.keys()[k];
    if (k > 0) out += ",";
    out += "[" + std::get<0>(kind) + "," + std::get<1>(kind) + "," + std::get<2>(kind) + "," +
           std::get<3>(kind) + "," + std::get<4>(kind) + "]";
  }
  out += "],\"moveKinds\":[";
  for (size_t k = 0; k < move_kinds.keys().size(); ++k) {
    const MoveKind& kind = move_kinds.keys()[k];
    if (k > 0) out += ",";
    out += "[" + std::get<0>(kind) + "," + std::get<1>(kind) + "," + std::get<2>(kind) + "]";
  }
  out += "],\"strings\":[";
  for (size_t k = 0; k < strings.keys().size(); ++k) {
    if (k > 0) out += ",";
    append_string(out, strings.keys()[k]);
  }
  out += "]}";
}

std::string asset(const unsigned char* bytes, size_t size) {
  return std::string(reinterpret_cast<const char*>(bytes), size);
}

// The template with each of its marks replaced once, in one pass over the
// template alone: nothing inserted is searched again.
std::string fill(const std::string& page,
                 const std::vector<std::pair<std::string, std::string>>& marks) {
  std::string out;
  size_t from = 0;
  for (;;) {
    size_t at = std::string::npos;
    const std::pair<std::string, std::string>* found = nullptr;
    for (const auto& mark : marks) {
      const size_t where = page.find(mark.first, from);
      if (where < at) {
        at = where;
        found = &mark;
      }
    }
    if (found == nullptr) break;
    out.append(page, from, at - from);
    out += found->second;
    from = at + found->first.size();
  }
  out.append(page, from, std::string::npos);
  return out;
}

std::string html_text(const std::string& text) { return sm_markup::escape(text); }

// Bytes for a title: printable ASCII as it is, anything else as \xNN, cut
// after 40 bytes.
std::string shown(const char* bytes, int32_t length) {
  std::string out;
  for (int32_t i = 0; i < length && i < 40; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  if (length > 40) out += "...";
  return out;
}

std::string page(const std::string& mode, const char* pattern, int32_t m, const char* text,
                 int32_t n, const std::string& searches, const std::string& refused,
                 const std::string& title) {
  std::string data = "{\"mode\":\"" + mode + "\"";
  data += ",\"patternLength\":" + std::to_string(m);
  data += ",\"textLength\":" + std::to_string(n);
  data += ",\"pattern\":\"" + base64(std::string(pattern, static_cast<size_t>(m))) + "\"";
  data += ",\"text\":\"" + base64(std::string(text, static_cast<size_t>(n))) + "\"";
  data += ",\"searches\":[" + searches + "]";
  data += ",\"refused\":[" + refused + "]}";
  return fill(asset(kPageHtml, sizeof kPageHtml), {{"@TITLE@", html_text(title)},
                                                    {"@STYLE@", asset(kPageCss, sizeof kPageCss)},
                                                    {"@SCRIPT@", asset(kPageJs, sizeof kPageJs)},
                                                    {"@DATA@", data}});
}

}  // namespace

std::string explain_page(const smtrace_explanation& e) {
  std::string search;
  append_search(search, e);
  return page("explain", e.pattern, e.pattern_length, e.text, e.text_length, search, "",
              std::string(e.title != nullptr ? e.title : e.algorithm) + ": \"" +
                  shown(e.pattern, e.pattern_length) + "\" in \"" +
                  shown(e.text, e.text_length) + "\"");
}

std::string compare_page(const std::vector<const smtrace_explanation*>& explanations,
                         const std::vector<PageRefusal>& refused) {
  std::string searches;
  const smtrace_explanation* first = nullptr;
  for (const smtrace_explanation* e : explanations) {
    if (e == nullptr) continue;
    if (first == nullptr) first = e;
    if (!searches.empty()) searches += ",";
    append_search(searches, *e);
  }
  std::string refusals;
  for (const PageRefusal& r : refused) {
    if (!refusals.empty()) refusals += ",";
    refusals += "{\"algorithm\":";
    append_string(refusals, r.algorithm);
    refusals += ",\"reason\":";
    append_string(refusals, r.reason);
    refusals += "}";
  }
  static const char kEmpty[] = "";
  const char* pattern = first != nullptr ? first->pattern : kEmpty;
  const int32_t m = first != nullptr ? first->pattern_length : 0;
  const char* text = first != nullptr ? first->text : kEmpty;
  const int32_t n = first != nullptr ? first->text_length : 0;
  return page("compare", pattern, m, text, n, searches, refusals,
              "compare: \"" + shown(pattern, m) + "\" in \"" + shown(text, n) + "\"");
}

}  // namespace sm_explain
