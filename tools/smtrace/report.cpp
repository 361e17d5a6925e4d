#include "report.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace smtrace {
namespace {

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

std::string occurrence_text(const std::optional<size_t>& occurrence) {
  return occurrence ? std::to_string(*occurrence) : "none";
}

}  // namespace

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

std::string readable(std::string_view bytes, size_t limit) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == limit) return out + "...";
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
      out += static_cast<char>(byte);
    } else {
      out += hex_byte(byte);
    }
  }
  return out;
}

std::string refusal(std::string_view pattern, int32_t at) {
  return "pattern byte " + std::to_string(at) + " is " +
         hex_byte(static_cast<unsigned char>(pattern[static_cast<size_t>(at)])) +
         ", outside the 7-bit alphabet";
}

std::string comparison_table(const Search& search, const std::vector<Result>& results) {
  const std::vector<std::string> heads = {"algorithm", "reads", "distinct", "reads/char",
                                          "most at one position", "first occurrence"};
  std::vector<std::vector<std::string>> rows;
  for (const Result& result : results) {
    if (result.refused_at >= 0) {
      rows.push_back({result.algorithm->name, "refused: " + refusal(search.pattern, result.refused_at)});
      continue;
    }
    const Figures& f = result.figures;
    std::string per_character = "-";
    if (f.reads_per_character) {
      char out[32];
      std::snprintf(out, sizeof out, "%.2f", *f.reads_per_character);
      per_character = out;
    }
    rows.push_back({result.algorithm->name, std::to_string(f.reads), std::to_string(f.distinct),
                    per_character, std::to_string(f.most_reads_of_one_position),
                    occurrence_text(search.occurrence)});
  }
  std::vector<size_t> widths;
  for (const auto& head : heads) widths.push_back(head.size());
  for (const auto& row : rows) {
    // A refusal's text spans the figures' columns and widens none of them.
    const size_t counted = row.size() == heads.size() ? row.size() : 1;
    for (size_t c = 0; c < counted; ++c) widths[c] = std::max(widths[c], row[c].size());
  }

  auto line = [&widths](const std::vector<std::string>& cells) {
    std::string out;
    for (size_t c = 0; c < cells.size(); ++c) {
      if (c == 0) {
        out += cells[c] + std::string(widths[c] - cells[c].size(), ' ');
      } else if (cells.size() == 2) {
        out += "  " + cells[c];  // a refusal, written out after the name
      } else {
        out += "  " + std::string(widths[c] - cells[c].size(), ' ') + cells[c];
      }
    }
    return out + "\n";
  };
  std::string table = line(heads);
  for (const auto& row : rows) table += line(row);
  return table;
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
      json += "\"refused\": true, \"reads\": null, \"distinct_positions\": null, "
              "\"reads_per_character\": null, \"most_reads_of_one_position\": null, "
              "\"first_occurrence\": null}";
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
    json += "}";
  }
  json += "\n  }\n}\n";
  return json;
}

}  // namespace smtrace
