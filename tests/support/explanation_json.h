// A small strict JSON reader, and the check that an explanation's JSON text
// says what the explanation holds, field by field.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "support/explanation.h"

namespace sm_test {

struct Json {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = kNull;
  bool boolean = false;
  int64_t number = 0;
  std::string string;  // each \u00XX escape as the byte XX
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;

  const Json* get(const std::string& key) const {
    for (const auto& member : members) {
      if (member.first == key) return &member.second;
    }
    return nullptr;
  }
};

// Parses one JSON value (integers only, as the explanations hold), with
// nothing but whitespace around it. Returns an empty string on success.
class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : text_(text) {}

  std::string parse(Json& out) {
    skip_space();
    if (!value(out, 0)) return error_;
    skip_space();
    if (at_ != text_.size()) return fail("text after the value");
    return "";
  }

 private:
  bool fail_(const std::string& what) {
    if (error_.empty()) error_ = what + " at offset " + std::to_string(at_);
    return false;
  }
  std::string fail(const std::string& what) {
    fail_(what);
    return error_;
  }
  void skip_space() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\t' || text_[at_] == '\r'))
      ++at_;
  }
  bool literal(const char* word) {
    const size_t length = std::strlen(word);
    if (text_.compare(at_, length, word) != 0) return fail_("unexpected character");
    at_ += length;
    return true;
  }
  bool value(Json& out, int depth) {
    if (depth > 64) return fail_("nesting too deep");
    if (at_ >= text_.size()) return fail_("end of text inside a value");
    const char c = text_[at_];
    if (c == '{') return object(out, depth);
    if (c == '[') return array(out, depth);
    if (c == '"') {
      out.kind = Json::kString;
      return string(out.string);
    }
    if (c == 't' || c == 'f') {
      out.kind = Json::kBool;
      out.boolean = c == 't';
      return literal(c == 't' ? "true" : "false");
    }
    if (c == 'n') {
      out.kind = Json::kNull;
      return literal("null");
    }
    return number(out);
  }
  bool number(Json& out) {
    out.kind = Json::kNumber;
    bool negative = false;
    if (at_ < text_.size() && text_[at_] == '-') {
      negative = true;
      ++at_;
    }
    if (at_ >= text_.size() || text_[at_] < '0' || text_[at_] > '9') return fail_("not a value");
    if (text_[at_] == '0' && at_ + 1 < text_.size() && text_[at_ + 1] >= '0' &&
        text_[at_ + 1] <= '9') {
      return fail_("a leading zero");
    }
    int64_t magnitude = 0;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
      if (magnitude > (INT64_MAX - 9) / 10) return fail_("a number out of range");
      magnitude = magnitude * 10 + (text_[at_] - '0');
      ++at_;
    }
    if (at_ < text_.size() && (text_[at_] == '.' || text_[at_] == 'e' || text_[at_] == 'E')) {
      return fail_("a number that is not an integer");
    }
    out.number = negative ? -magnitude : magnitude;
    return true;
  }
  static int hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  bool string(std::string& out) {
    ++at_;  // the opening quote
    for (;;) {
      if (at_ >= text_.size()) return fail_("end of text inside a string");
      const auto c = static_cast<unsigned char>(text_[at_]);
      if (c == '"') {
        ++at_;
        return true;
      }
      if (c < 0x20) return fail_("a control byte inside a string");
      if (c != '\\') {
        out += static_cast<char>(c);
        ++at_;
        continue;
      }
      if (at_ + 1 >= text_.size()) return fail_("end of text inside an escape");
      const char e = text_[at_ + 1];
      at_ += 2;
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          int code = 0;
          for (int k = 0; k < 4; ++k) {
            const int digit = at_ < text_.size() ? hex(text_[at_]) : -1;
            if (digit < 0) return fail_("a \\u escape without four hex digits");
            code = code * 16 + digit;
            ++at_;
          }
          // Every byte of the explanations is escaped as itself, 0 to 255.
          if (code > 0xff) return fail_("a \\u escape past one byte");
          out += static_cast<char>(code);
          break;
        }
        default:
          return fail_("an unknown escape");
      }
    }
  }
  bool array(Json& out, int depth) {
    out.kind = Json::kArray;
    ++at_;
    skip_space();
    if (at_ < text_.size() && text_[at_] == ']') {
      ++at_;
      return true;
    }
    for (;;) {
      skip_space();
      out.items.emplace_back();
      if (!value(out.items.back(), depth + 1)) return false;
      skip_space();
      if (at_ >= text_.size()) return fail_("end of text inside an array");
      if (text_[at_] == ']') {
        ++at_;
        return true;
      }
      if (text_[at_] != ',') return fail_("no comma between array items");
      ++at_;
    }
  }
  bool object(Json& out, int depth) {
    out.kind = Json::kObject;
    ++at_;
    skip_space();
    if (at_ < text_.size() && text_[at_] == '}') {
      ++at_;
      return true;
    }
    for (;;) {
      skip_space();
      if (at_ >= text_.size() || text_[at_] != '"') return fail_("a member without a string key");
      std::string key;
      if (!string(key)) return false;
      for (const auto& member : out.members) {
        if (member.first == key) return fail_("a duplicate key " + key);
      }
      skip_space();
      if (at_ >= text_.size() || text_[at_] != ':') return fail_("no colon after a key");
      ++at_;
      skip_space();
      out.members.emplace_back(key, Json());
      if (!value(out.members.back().second, depth + 1)) return false;
      skip_space();
      if (at_ >= text_.size()) return fail_("end of text inside an object");
      if (text_[at_] == '}') {
        ++at_;
        return true;
      }
      if (text_[at_] != ',') return fail_("no comma between members");
      ++at_;
    }
  }

  const std::string& text_;
  size_t at_ = 0;
  std::string error_;
};

namespace json_detail {

inline bool number_is(const Json* v, int64_t expected) {
  return v != nullptr && v->kind == Json::kNumber && v->number == expected;
}
inline bool string_is(const Json* v, const std::string& expected) {
  return v != nullptr && v->kind == Json::kString && v->string == expected;
}
inline bool null_or_string(const Json* v, const char* expected) {
  if (expected == nullptr) return v != nullptr && v->kind == Json::kNull;
  return string_is(v, expected);
}
inline bool null_or_number(const Json* v, bool present, int64_t expected) {
  if (!present) return v != nullptr && v->kind == Json::kNull;
  return number_is(v, expected);
}

}  // namespace json_detail

// The JSON text against the explanation it was written from: it parses, it
// is printable ASCII outside its line breaks, and every field says what the
// explanation holds (read and note indexes relative to their attempt).
inline std::string check_json(const Explainer& api, const smtrace_explanation& e,
                              const std::string& text) {
  using namespace json_detail;
  for (size_t k = 0; k < text.size(); ++k) {
    const auto c = static_cast<unsigned char>(text[k]);
    if ((c < 0x20 && c != '\n') || c >= 0x7f) {
      return "byte " + std::to_string(c) + " at offset " + std::to_string(k) + " is not escaped";
    }
  }
  Json root;
  const std::string problem = JsonReader(text).parse(root);
  if (!problem.empty()) return "the JSON does not parse: " + problem;
  if (root.kind != Json::kObject) return "the JSON is not an object";
  if (!string_is(root.get("algorithm"), e.algorithm)) return "algorithm";
  if (!string_is(root.get("title"), e.title)) return "title";
  if (!string_is(root.get("pattern"),
                 std::string(e.pattern, static_cast<size_t>(e.pattern_length))))
    return "pattern";
  if (!string_is(root.get("text"), std::string(e.text, static_cast<size_t>(e.text_length)))) {
    return "text";
  }
  if (!number_is(root.get("pattern_length"), e.pattern_length) ||
      !number_is(root.get("text_length"), e.text_length))
    return "lengths";
  if (!null_or_number(root.get("occurrence"), e.occurrence >= 0, e.occurrence)) return "occurrence";

  const Json* counts = root.get("counts");
  if (counts == nullptr || counts->kind != Json::kObject) return "counts";
  const std::pair<const char*, int64_t> count_fields[] = {
      {"reads", e.counts.reads},
      {"recorded", e.counts.recorded},
      {"compare", e.counts.compares},
      {"look-ahead", e.counts.look_aheads},
      {"probe", e.counts.probes},
      {"edge", e.counts.edges},
      {"dropped", e.counts.dropped},
      {"dropped_repeat", e.counts.dropped_repeat},
      {"dropped_bound", e.counts.dropped_bound},
      {"attempts", e.counts.attempts}};
  for (const auto& field : count_fields) {
    if (!number_is(counts->get(field.first), field.second)) {
      return std::string("counts.") + field.first;
    }
  }

  const Json* tables = root.get("tables");
  if (tables == nullptr || tables->kind != Json::kObject ||
      tables->members.size() != static_cast<size_t>(e.table_count))
    return "tables";
  for (int32_t t = 0; t < e.table_count; ++t) {
    const smtrace_table& table = e.tables[t];
    const Json* j = tables->get(table.name);
    if (j == nullptr || !string_is(j->get("about"), table.about)) {
      return std::string("table ") + table.name;
    }
    const Json* entries = j->get("entries");
    if (entries == nullptr || entries->kind != Json::kObject ||
        entries->members.size() != static_cast<size_t>(table.entry_count)) {
      return std::string("table ") + table.name + " entries";
    }
    for (int32_t k = 0; k < table.entry_count; ++k) {
      const smtrace_table_entry& entry = table.entries[k];
      const auto& member = entries->members[static_cast<size_t>(k)];
      if (member.first != entry.key) {
        return std::string("table ") + table.name + " key " + entry.key;
      }
      const Json& v = member.second;
      if (v.kind == Json::kNumber) {
        if (entry.value_count != 1 || v.number != entry.values[0]) {
          return std::string("table ") + table.name + "[" + entry.key + "]";
        }
      } else if (v.kind == Json::kArray) {
        if (v.items.size() != static_cast<size_t>(entry.value_count)) {
          return std::string("table ") + table.name + "[" + entry.key + "]";
        }
        for (int32_t q = 0; q < entry.value_count; ++q) {
          if (!number_is(&v.items[static_cast<size_t>(q)], entry.values[q])) {
            return std::string("table ") + table.name + "[" + entry.key + "]";
          }
        }
      } else {
        return std::string("table ") + table.name + "[" + entry.key +
               "] is neither a number nor a list";
      }
    }
  }

  const Json* attempts = root.get("attempts");
  if (attempts == nullptr || attempts->kind != Json::kArray ||
      attempts->items.size() != static_cast<size_t>(e.attempt_count))
    return "attempts";
  for (int64_t k = 0; k < e.attempt_count; ++k) {
    const smtrace_attempt& at = e.attempts[k];
    const Json& j = attempts->items[static_cast<size_t>(k)];
    const std::string which = "attempt " + std::to_string(k) + " ";
    if (!number_is(j.get("window"), at.window)) return which + "window";
    if (!null_or_string(j.get("outcome"), at.outcome)) return which + "outcome";
    if (!null_or_number(j.get("shift"), at.shift_source != nullptr, at.shift)) {
      return which + "shift";
    }
    if (!null_or_string(j.get("shift_source"), at.shift_source)) return which + "shift_source";
    if (!null_or_string(j.get("shift_table"), at.shift_table)) return which + "shift_table";
    if (!null_or_string(j.get("shift_key"), at.shift_key)) return which + "shift_key";
    const Json* reads = j.get("reads");
    if (reads == nullptr || reads->kind != Json::kArray ||
        reads->items.size() != static_cast<size_t>(at.read_count))
      return which + "reads";
    for (int64_t q = 0; q < at.read_count; ++q) {
      const int64_t index = at.first_read + q;
      const smtrace_read& r = e.reads[index];
      const Json& jr = reads->items[static_cast<size_t>(q)];
      const std::string about = which + "read " + std::to_string(q) + " ";
      if (!number_is(jr.get("index"), index) || !number_is(jr.get("position"), r.position) ||
          !number_is(jr.get("window"), r.window) ||
          !number_is(jr.get("trace_index"), r.trace_index)) {
        return about + "numbers";
      }
      const Json* recorded = jr.get("recorded");
      if (recorded == nullptr || recorded->kind != Json::kBool ||
          recorded->boolean != (r.dropped == SMTRACE_RECORDED))
        return about + "recorded";
      if (!null_or_string(jr.get("dropped"), api.dropped_name(r.dropped))) return about + "dropped";
      if (!null_or_string(jr.get("role"), api.role_name(r.role))) return about + "role";
      if (!null_or_string(jr.get("result"), api.result_name(r.result))) return about + "result";
      if (!null_or_number(jr.get("pattern_index"), r.pattern_index >= 0, r.pattern_index)) {
        return about + "pattern_index";
      }
      if (!string_is(jr.get("byte"), std::string(1, static_cast<char>(r.byte)))) {
        return about + "byte";
      }
      const bool has_pattern_byte = r.role == SMTRACE_ROLE_COMPARE && r.pattern_index >= 0;
      const Json* pattern_byte = jr.get("pattern_byte");
      if (has_pattern_byte ? !string_is(pattern_byte, std::string(1, e.pattern[r.pattern_index]))
                           : !null_or_string(pattern_byte, nullptr)) {
        return about + "pattern_byte";
      }
      const Json* edge = jr.get("edge");
      if (r.role != SMTRACE_ROLE_EDGE) {
        if (edge != nullptr) return about + "an edge object on a read that follows no edge";
        continue;
      }
      if (edge == nullptr || edge->kind != Json::kObject ||
          !number_is(edge->get("from"), r.from_vertex))
        return about + "edge";
      if (r.result == SMTRACE_RESULT_EDGE) {
        const Json* terminal = edge->get("terminal");
        if (!number_is(edge->get("to"), r.to_vertex) ||
            !null_or_number(edge->get("shift"), r.edge_shift >= 0, r.edge_shift) ||
            terminal == nullptr || terminal->kind != Json::kBool ||
            terminal->boolean != (r.terminal == 1) || !number_is(edge->get("d"), r.d) ||
            !number_is(edge->get("s"), r.s)) {
          return about + "edge fields";
        }
      } else if (!null_or_number(edge->get("to"), false, 0)) {
        return about + "edge target of a missing edge";
      }
    }
    const Json* moves = j.get("moves");
    if (moves == nullptr || moves->kind != Json::kArray ||
        moves->items.size() != static_cast<size_t>(at.move_count))
      return which + "moves";
    for (int64_t q = 0; q < at.move_count; ++q) {
      const smtrace_move& mv = e.moves[at.first_move + q];
      const Json& jm = moves->items[static_cast<size_t>(q)];
      const int64_t after = mv.after_read >= at.first_read ? mv.after_read - at.first_read : -1;
      if (!number_is(jm.get("after_read"), after) || !number_is(jm.get("window"), mv.window) ||
          !number_is(jm.get("shift"), mv.shift) || !null_or_string(jm.get("source"), mv.source) ||
          !null_or_string(jm.get("table"), mv.table) || !null_or_string(jm.get("key"), mv.key)) {
        return which + "move " + std::to_string(q);
      }
    }
    const Json* notes = j.get("notes");
    if (notes == nullptr || notes->kind != Json::kArray ||
        notes->items.size() != static_cast<size_t>(at.note_count))
      return which + "notes";
    for (int64_t q = 0; q < at.note_count; ++q) {
      const smtrace_note& note = e.notes[at.first_note + q];
      const Json& jn = notes->items[static_cast<size_t>(q)];
      const int64_t after = note.after_read >= at.first_read ? note.after_read - at.first_read : -1;
      if (!number_is(jn.get("after_read"), after) || !string_is(jn.get("text"), note.text)) {
        return which + "note " + std::to_string(q);
      }
    }
  }
  return "";
}

}  // namespace sm_test
