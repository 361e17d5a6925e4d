// What smtrace writes about searches: the trace line, the comparison table
// and its JSON, and the SVG plot (explain_view.h has the explained search).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "algorithms.h"
#include "explanation.h"
#include "figures.h"

namespace smtrace {

// One pattern and text, with the first occurrence found by an ordinary
// search (the plot shades it).
struct Search {
  std::string_view pattern;
  std::string_view text;
  std::optional<size_t> occurrence;
};

// One algorithm's part in a search.
struct Result {
  const Algorithm* algorithm;
  int32_t refused_at = -1;      // the pattern byte the routine refuses, or -1
  std::vector<int32_t> trace;   // empty when refused
  Figures figures;              // of the trace
  Summary summary;              // every read by role, and the routine's own occurrence
};

// The trace as every deliverable's command line prints it: each position
// and a blank, then a newline.
std::string trace_line(const std::vector<int32_t>& trace);

// A figure with three significant digits, trailing zeros kept: 0.889, 1.00,
// 0.00140, 12.0, 123 (and a whole number from 1000 on).
std::string significant(double value);

// Bytes for a reader: printable ASCII but the space and the backslash as it
// is, anything else as \xNN in upper-case hex (the explaining library names
// table entries the same way), cut after limit bytes with "...".
std::string readable(std::string_view bytes, size_t limit);
// One byte as readable shows it.
std::string readable_byte(unsigned char byte);

// The words of text in lines of at most width columns (a longer word has a
// line of its own).
std::vector<std::string> wrap_words(std::string_view text, size_t width);

// Why a routine refuses its pattern, for messages and tables.
std::string refusal(std::string_view pattern, int32_t at);

// Which reads the routines record, from the algorithm table: a repeat inside
// one attempt is dropped by some and recorded again by the others.
std::string counting_rule();

// compare: an aligned table in two parts, one row per algorithm in each (the
// trace's figures, then every read by role), and the counting rule.
std::string comparison_table(const Search& search, const std::vector<Result>& results);
// compare --json: the same figures, keyed by algorithm.
std::string comparison_json(const Search& search, const std::vector<Result>& results);

// --svg: read order against text position, one panel per result.
std::string svg_plot(const Search& search, const std::vector<Result>& results);

}  // namespace smtrace
