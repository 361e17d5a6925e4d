// Everything smtrace writes about searches: the trace line, the comparison
// table and its JSON, the terminal picture and the SVG plot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "algorithms.h"
#include "figures.h"

namespace smtrace {

// One pattern and text, with the first occurrence found by the tool.
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
  Figures figures;
};

// The trace as every deliverable's command line prints it: each position
// and a blank, then a newline.
std::string trace_line(const std::vector<int32_t>& trace);

// Bytes for a reader: printable ASCII as it is, anything else as \xNN,
// cut after limit bytes with "...".
std::string readable(std::string_view bytes, size_t limit);

// Why a routine refuses its pattern, for messages and tables.
std::string refusal(std::string_view pattern, int32_t at);

// compare: an aligned table, one row per algorithm.
std::string comparison_table(const Search& search, const std::vector<Result>& results);
// compare --json: the same figures, keyed by algorithm.
std::string comparison_json(const Search& search, const std::vector<Result>& results);

// show: the text on top and the reads below it, one row per run of reads in
// one direction, each mark numbered by its place in the reading order.
std::string picture(const Search& search, const Result& result);
// The longest text show draws.
constexpr size_t kLongestPictureText = 100;

// --svg: read order against text position, one panel per result.
std::string svg_plot(const Search& search, const std::vector<Result>& results);

}  // namespace smtrace
