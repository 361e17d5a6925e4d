#include "report.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace smtrace {
namespace {

// The refusal messages' form of a byte, as the Python package writes it too.
std::string hex_byte(unsigned char byte) {
  char out[8];
  std::snprintf(out, sizeof out, "\\x%02x", byte);
  return out;
}

// The shortest text that reads back as the same double, always with a
// fraction or an exponent, so that JSON readers take it as a real number.
std::string json_number(double value) {
  char out[32];
  const auto done = std::to_chars(out, out + sizeof out, value);
  std::string text(out, done.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

// An aligned table: the first column to the left, the others to the right.
// A row of two cells (a name and a remark) spans the figures' columns and
// widens none of them.
std::string aligned(const std::vector<std::string>& heads,
                    const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> widths;
  for (const auto& head : heads) widths.push_back(head.size());
  for (const auto& row : rows) {
    const size_t counted = row.size() == heads.size() ? row.size() : 1;
    for (size_t c = 0; c < counted; ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  auto line = [&widths](const std::vector<std::string>& cells) {
    std::string out;
    for (size_t c = 0; c < cells.size(); ++c) {
      if (c == 0) {
        out += cells[c] + std::string(widths[c] - cells[c].size(), ' ');
      } else if (cells.size() == 2) {
        out += "  " + cells[c];  // a remark, written out after the name
      } else {
        out += "  " + std::string(widths[c] - cells[c].size(), ' ') + cells[c];
      }
    }
    out.erase(out.find_last_not_of(' ') + 1);
    return out + "\n";
  };
  std::string table = line(heads);
  for (const auto& row : rows) table += line(row);
  return table;
}

// A JSON string of ASCII text.
std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string json_counts(const smtrace_counts& c) {
  return "{\"reads\": " + std::to_string(c.reads) + ", \"recorded\": " + std::to_string(c.recorded) +
         ", \"compare\": " + std::to_string(c.compares) +
         ", \"look-ahead\": " + std::to_string(c.look_aheads) +
         ", \"probe\": " + std::to_string(c.probes) + ", \"edge\": " + std::to_string(c.edges) +
         ", \"dropped\": " + std::to_string(c.dropped) +
         ", \"dropped_repeat\": " + std::to_string(c.dropped_repeat) +
         ", \"dropped_bound\": " + std::to_string(c.dropped_bound) +
         ", \"attempts\": " + std::to_string(c.attempts) + "}";
}

}  // namespace

std::string significant(double value) {
  char out[40];
  if (value >= 1000) {
    std::snprintf(out, sizeof out, "%.0f", value);
    return out;
  }
  // %#g keeps the trailing zeros ("1.00"), and a point after 100 and up.
  std::snprintf(out, sizeof out, "%#.3g", value);
  std::string text = out;
  if (text.back() == '.') text.pop_back();
  return text;
}

std::string trace_line(const std::vector<int32_t>& trace) {
  std::string line;
  line.reserve(trace.size() * 8 + 1);
  char digits[16];
  for (int32_t position : trace) {
    const auto done = std::to_chars(digits, digits + sizeof digits, position);
    line.append(digits, done.ptr);
    line += ' ';
  }
  line += '\n';
  return line;
}

std::string readable_byte(unsigned char byte) {
  if (byte > 0x20 && byte < 0x7f && byte != '\\') return std::string(1, static_cast<char>(byte));
  char out[8];
  std::snprintf(out, sizeof out, "\\x%02X", byte);
  return out;
}

std::string readable(std::string_view bytes, size_t limit) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == limit) return out + "...";
    out += readable_byte(static_cast<unsigned char>(bytes[i]));
  }
  return out;
}

std::vector<std::string> wrap_words(std::string_view text, size_t width) {
  std::vector<std::string> lines;
  std::string line;
  size_t at = 0;
  while (at < text.size()) {
    const size_t start = text.find_first_not_of(' ', at);
    if (start == std::string_view::npos) break;
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(start, end - start);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      lines.push_back(line);
      line.clear();
    }
    if (!line.empty()) line += ' ';
    line += word;
    at = end;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string counting_rule() {
  return "A position read again inside one attempt is dropped by " +
         titles_that_drop_repeats(true) + " (each of their attempts runs in a pruning window), "
         "and recorded again by " + titles_that_drop_repeats(false) + ".";
}

std::string refusal(std::string_view pattern, int32_t at) {
  return "pattern byte " + std::to_string(at) + " is " +
         hex_byte(static_cast<unsigned char>(pattern[static_cast<size_t>(at)])) +
         ", outside the 7-bit alphabet";
}

std::string comparison_table(const Search& search, const std::vector<Result>& results) {
  std::vector<std::vector<std::string>> trace_rows;
  std::vector<std::vector<std::string>> read_rows;
  for (const Result& result : results) {
    const std::string name = result.algorithm->name;
    if (result.refused_at >= 0) {
      trace_rows.push_back({name, "refused: " + refusal(search.pattern, result.refused_at)});
      read_rows.push_back({name, "refused"});
      continue;
    }
    const Figures& f = result.figures;
    const std::string per_character =
        f.reads_per_character ? significant(*f.reads_per_character) : "-";
    const Summary& s = result.summary;
    trace_rows.push_back({name, std::to_string(f.reads), std::to_string(f.distinct), per_character,
                          std::to_string(f.most_reads_of_one_position),
                          s.occurrence ? std::to_string(*s.occurrence) : "none"});
    const smtrace_counts& c = s.counts;
    read_rows.push_back({name, std::to_string(c.reads), std::to_string(c.compares),
                         std::to_string(c.look_aheads), std::to_string(c.probes),
                         std::to_string(c.edges), std::to_string(c.dropped),
                         std::to_string(c.attempts)});
  }
  std::string out = aligned({"algorithm", "recorded", "distinct", "recorded/char", "most at one",
                             "occurrence"},
                            trace_rows);
  out += "\n";
  out += aligned({"algorithm", "reads", "compare", "look-ahead", "probe", "edge", "dropped",
                  "attempts"},
                 read_rows);
  out += "\n";
  const std::string notes =
      "recorded: the reads in the trace; most at one: the most recorded reads of one position; "
      "occurrence: where the routine itself found the pattern. reads: every text read, recorded "
      "or dropped, counted by what it was for. " + counting_rule();
  for (const std::string& line : wrap_words(notes, 80)) out += line + "\n";
  return out;
}

std::string comparison_json(const Search& search, const std::vector<Result>& results) {
  std::string json = "{\n";
  json += "  \"pattern_length\": " + std::to_string(search.pattern.size()) + ",\n";
  json += "  \"text_length\": " + std::to_string(search.text.size()) + ",\n";
  json += "  \"algorithms\": {";
  const char* separator = "\n";
  for (const Result& result : results) {
    json += separator;
    separator = ",\n";
    json += "    \"" + std::string(result.algorithm->name) + "\": {";
    if (result.refused_at >= 0) {
      json += "\"refused\": true, \"refusal\": " +
              json_string(refusal(search.pattern, result.refused_at)) + ", \"reads\": null, \"distinct_positions\": null, "
              "\"reads_per_character\": null, \"most_reads_of_one_position\": null, "
              "\"first_occurrence\": null, \"occurrence\": null, \"drops_repeats\": ";
      json += result.algorithm->drops_repeats ? "true" : "false";
      json += ", \"counts\": null}";
      continue;
    }
    const Figures& f = result.figures;
    json += "\"refused\": false";
    json += ", \"reads\": " + std::to_string(f.reads);
    json += ", \"distinct_positions\": " + std::to_string(f.distinct);
    json += ", \"reads_per_character\": " +
            (f.reads_per_character ? json_number(*f.reads_per_character) : "null");
    json += ", \"most_reads_of_one_position\": " + std::to_string(f.most_reads_of_one_position);
    json += ", \"first_occurrence\": " +
            (search.occurrence ? std::to_string(*search.occurrence) : "null");
    json += ", \"occurrence\": " +
            (result.summary.occurrence ? std::to_string(*result.summary.occurrence) : "null");
    json += ", \"drops_repeats\": ";
    json += result.algorithm->drops_repeats ? "true" : "false";
    json += ", \"counts\": " + json_counts(result.summary.counts);
    json += "}";
  }
  json += "\n  }\n}\n";
  return json;
}

}  // namespace smtrace
