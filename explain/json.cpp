#include "explain/json.h"

#include <cstdio>
#include <cstring>

namespace sm_explain {
namespace {

void append_string(std::string& out, const char* text) {
  if (text == nullptr) {
    out += "null";
    return;
  }
  append_json_bytes(out, text, std::strlen(text));
}

void append_number(std::string& out, int64_t value) { out += std::to_string(value); }

void append_byte(std::string& out, unsigned char byte) {
  const char c = static_cast<char>(byte);
  append_json_bytes(out, &c, 1);
}

void append_read(std::string& out, const smtrace_explanation& e, int64_t index) {
  const smtrace_read& r = e.reads[index];
  out += "{\"index\":";
  append_number(out, index);
  out += ",\"position\":";
  append_number(out, r.position);
  out += ",\"window\":";
  append_number(out, r.window);
  out += ",\"recorded\":";
  out += r.dropped == SMTRACE_RECORDED ? "true" : "false";
  out += ",\"trace_index\":";
  append_number(out, r.trace_index);
  out += ",\"dropped\":";
  append_string(out, smtrace_dropped_name(r.dropped));
  out += ",\"role\":";
  append_string(out, smtrace_role_name(r.role));
  out += ",\"pattern_index\":";
  if (r.pattern_index >= 0) {
    append_number(out, r.pattern_index);
  } else {
    out += "null";
  }
  out += ",\"byte\":";
  append_byte(out, r.byte);
  out += ",\"pattern_byte\":";
  if (r.role == SMTRACE_ROLE_COMPARE && r.pattern_index >= 0 && r.pattern_index < e.pattern_length) {
    append_byte(out, static_cast<unsigned char>(e.pattern[r.pattern_index]));
  } else {
    out += "null";
  }
  out += ",\"result\":";
  append_string(out, smtrace_result_name(r.result));
  if (r.role == SMTRACE_ROLE_EDGE) {
    out += ",\"edge\":{\"from\":";
    append_number(out, r.from_vertex);
    out += ",\"to\":";
    if (r.result == SMTRACE_RESULT_EDGE) {
      append_number(out, r.to_vertex);
      out += ",\"shift\":";
      if (r.edge_shift >= 0) {
        append_number(out, r.edge_shift);
      } else {
        out += "null";
      }
      out += ",\"terminal\":";
      out += r.terminal == 1 ? "true" : "false";
      out += ",\"d\":";
      append_number(out, r.d);
      out += ",\"s\":";
      append_number(out, r.s);
    } else {
      out += "null";
    }
    out += "}";
  }
  out += "}";
}

void append_counts(std::string& out, const smtrace_counts& c) {
  out += "{\"reads\":";
  append_number(out, c.reads);
  out += ",\"recorded\":";
  append_number(out, c.recorded);
  out += ",\"compare\":";
  append_number(out, c.compares);
  out += ",\"look-ahead\":";
  append_number(out, c.look_aheads);
  out += ",\"probe\":";
  append_number(out, c.probes);
  out += ",\"edge\":";
  append_number(out, c.edges);
  out += ",\"dropped\":";
  append_number(out, c.dropped);
  out += ",\"dropped_repeat\":";
  append_number(out, c.dropped_repeat);
  out += ",\"dropped_bound\":";
  append_number(out, c.dropped_bound);
  out += ",\"attempts\":";
  append_number(out, c.attempts);
  out += "}";
}

void append_tables(std::string& out, const smtrace_explanation& e) {
  out += "{";
  for (int32_t t = 0; t < e.table_count; ++t) {
    const smtrace_table& table = e.tables[t];
    if (t > 0) out += ",";
    append_string(out, table.name);
    out += ":{\"about\":";
    append_string(out, table.about);
    out += ",\"entries\":{";
    for (int32_t k = 0; k < table.entry_count; ++k) {
      const smtrace_table_entry& entry = table.entries[k];
      if (k > 0) out += ",";
      append_string(out, entry.key);
      out += ":";
      const bool list = entry.value_count != 1 || std::strcmp(table.name, "lists") == 0 ||
                        std::strcmp(table.name, "terminal") == 0;
      if (list) out += "[";
      for (int32_t v = 0; v < entry.value_count; ++v) {
        if (v > 0) out += ",";
        append_number(out, entry.values[v]);
      }
      if (list) out += "]";
    }
    out += "}}";
  }
  out += "}";
}

}  // namespace

void append_json_bytes(std::string& out, const char* bytes, size_t length, bool in_script) {
  out += '"';
  for (size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7f && !(in_script && (c == '<' || c == '>' || c == '&'))) {
      out += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    }
  }
  out += '"';
}

std::string to_json(const smtrace_explanation& e) {
  std::string out;
  out.reserve(static_cast<size_t>(e.read_count) * 200 + 4096 + static_cast<size_t>(e.text_length));
  out += "{\"algorithm\":";
  append_string(out, e.algorithm);
  out += ",\"title\":";
  append_string(out, e.title);
  out += ",\"pattern\":";
  append_json_bytes(out, e.pattern, static_cast<size_t>(e.pattern_length));
  out += ",\"text\":";
  append_json_bytes(out, e.text, static_cast<size_t>(e.text_length));
  out += ",\"pattern_length\":";
  append_number(out, e.pattern_length);
  out += ",\"text_length\":";
  append_number(out, e.text_length);
  out += ",\"occurrence\":";
  if (e.occurrence >= 0) {
    append_number(out, e.occurrence);
  } else {
    out += "null";
  }
  out += ",\"counts\":";
  append_counts(out, e.counts);
  out += ",\"tables\":";
  append_tables(out, e);
  out += ",\"attempts\":[";
  for (int64_t a = 0; a < e.attempt_count; ++a) {
    const smtrace_attempt& attempt = e.attempts[a];
    if (a > 0) out += ",";
    out += "\n{\"window\":";
    append_number(out, attempt.window);
    out += ",\"reads\":[";
    for (int64_t k = 0; k < attempt.read_count; ++k) {
      if (k > 0) out += ",";
      append_read(out, e, attempt.first_read + k);
    }
    out += "],\"moves\":[";
    for (int64_t k = 0; k < attempt.move_count; ++k) {
      const smtrace_move& move = e.moves[attempt.first_move + k];
      if (k > 0) out += ",";
      out += "{\"after_read\":";
      append_number(out, move.after_read >= attempt.first_read ? move.after_read - attempt.first_read : -1);
      out += ",\"window\":";
      append_number(out, move.window);
      out += ",\"shift\":";
      append_number(out, move.shift);
      out += ",\"source\":";
      append_string(out, move.source);
      out += ",\"table\":";
      append_string(out, move.table);
      out += ",\"key\":";
      append_string(out, move.key);
      out += "}";
    }
    out += "],\"notes\":[";
    for (int64_t k = 0; k < attempt.note_count; ++k) {
      const smtrace_note& note = e.notes[attempt.first_note + k];
      if (k > 0) out += ",";
      out += "{\"after_read\":";
      append_number(out, note.after_read >= attempt.first_read ? note.after_read - attempt.first_read : -1);
      out += ",\"text\":";
      append_string(out, note.text);
      out += "}";
    }
    out += "],\"outcome\":";
    append_string(out, attempt.outcome);
    out += ",\"shift\":";
    if (attempt.shift_source != nullptr) {
      append_number(out, attempt.shift);
    } else {
      out += "null";
    }
    out += ",\"shift_source\":";
    append_string(out, attempt.shift_source);
    out += ",\"shift_table\":";
    append_string(out, attempt.shift_table);
    out += ",\"shift_key\":";
    append_string(out, attempt.shift_key);
    out += "}";
  }
  out += "]}\n";
  return out;
}

}  // namespace sm_explain
