// The SVG plot: for each algorithm, its reads in order (downwards) against
// the text position read (rightwards).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "report.h"
#include "explain/markup.h"

namespace smtrace {
namespace {

// Beyond this many reads in all panels together, every panel draws a
// density grid instead of one mark per read, which keeps the file within
// about a megabyte whatever the traces.
constexpr size_t kMostMarks = 6000;
constexpr size_t kDensityCells = 100;
// Shades of the density grid, from the fewest reads in a cell to the most.
constexpr int kShades = 8;
// Width of one character of the 11 px labels, a little generous.
constexpr double kLabelCharacter = 6.6;

constexpr double kMargin = 16;
constexpr double kHeaderHeight = 56;
constexpr double kGap = 20;
constexpr double kAxisTitle = 22;   // left of the read numbers
constexpr double kDigit = 7;        // width of one digit of a read number
constexpr double kPlotRight = 12;
constexpr double kPlotTop = 42;     // panel title and the text above the plot
constexpr double kPlotBottom = 34;  // position labels and the axis title
constexpr double kLongestRow = 14;  // height of one read when few reads
constexpr double kNarrowestDocument = 600;  // the legend's width

std::string num(double value) { return sm_markup::decimal(value); }

std::string xml(std::string_view text) { return sm_markup::escape(text); }

// The first step of 1, 2, 5, 10, 20, 50, ... that spaces labels at least
// `room` units apart, given `unit` units per step of one.
size_t nice_step(double unit, double room) {
  for (size_t scale = 1;; scale *= 10) {
    for (size_t factor : {1u, 2u, 5u}) {
      if (static_cast<double>(scale * factor) * unit >= room) return scale * factor;
    }
  }
}

// A position or count as a tick label: in full below 10,000, else with k or M
// and at most three significant digits ("400k", "2M", "1.5M").
std::string tick_label(size_t value) {
  if (value < 10000) return std::to_string(value);
  const double scaled = value < 1000000 ? static_cast<double>(value) / 1e3
                                        : static_cast<double>(value) / 1e6;
  char out[32];
  std::snprintf(out, sizeof out, scaled < 10 ? "%.2g" : (scaled < 100 ? "%.3g" : "%.0f"), scaled);
  return std::string(out) + (value < 1000000 ? "k" : "M");
}

// Lines of at most `room` pixels of 11 px text, broken between words.
std::vector<std::string> wrap(const std::string& text, double room) {
  const auto most = static_cast<size_t>(std::max(8.0, room / kLabelCharacter));
  std::vector<std::string> lines(1);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(start, end - start);
    while (word.size() > most) {  // a word longer than a line is cut into pieces
      if (!lines.back().empty()) lines.emplace_back();
      lines.back() = word.substr(0, most);
      word.erase(0, most);
      lines.emplace_back();
    }
    if (!lines.back().empty() && lines.back().size() + 1 + word.size() > most) lines.emplace_back();
    if (!lines.back().empty()) lines.back() += ' ';
    lines.back() += word;
    start = end + 1;
  }
  return lines;
}

struct Geometry {
  double plot_left;    // from the panel's left edge: the axis title and read numbers
  double panel_width;
  double plot_width;
  size_t columns;      // text positions drawn: the text, and n when read
  double column;       // width of one position
  double row;          // height of one read, shared by every panel
  size_t per_line;     // panels side by side
  bool dense;          // every panel draws a density grid
};

double plot_height(const Result& result, const Geometry& g) {
  if (result.refused_at >= 0 || result.trace.empty()) return 40;
  return std::max(40.0, static_cast<double>(result.trace.size()) * g.row);
}

void draw_panel(std::string& svg, const Search& search, const Result& result,
                const Geometry& g, double left, double top) {
  const double x0 = left + g.plot_left;
  const double y0 = top + kPlotTop;
  const double height = plot_height(result, g);
  const std::vector<int32_t>& trace = result.trace;
  const size_t n = search.text.size();
  const bool dense = g.dense && !trace.empty();

  svg += "<g class=\"panel\" data-algorithm=\"" + std::string(result.algorithm->name) + "\">\n";
  std::string title = std::string(result.algorithm->name) + ": ";
  if (result.refused_at >= 0) {
    title += "refused";
  } else {
    title += std::to_string(trace.size()) + (trace.size() == 1 ? " read" : " reads");
    if (dense) title += ", as density";
  }
  svg += "<text class=\"title\" x=\"" + num(left) + "\" y=\"" + num(top + 14) + "\">" +
         xml(title) + "</text>\n";
  svg += "<rect class=\"frame\" x=\"" + num(x0) + "\" y=\"" + num(y0) + "\" width=\"" +
         num(g.plot_width) + "\" height=\"" + num(height) + "\"/>\n";
  if (result.refused_at >= 0) {
    // The reason, wrapped so that it stays inside the frame.
    const std::vector<std::string> lines =
        wrap(refusal(search.pattern, result.refused_at), g.plot_width - 16);
    for (size_t k = 0; k < lines.size(); ++k) {
      svg += "<text class=\"note\" x=\"" + num(x0 + 8) + "\" y=\"" +
             num(y0 + 18 + 14 * static_cast<double>(k)) + "\">" + xml(lines[k]) + "</text>\n";
    }
    svg += "</g>\n";
    return;
  }

  // Past the text (the zero byte at n), shaded.
  if (g.columns > n) {
    svg += "<rect class=\"beyond\" x=\"" + num(x0 + static_cast<double>(n) * g.column) +
           "\" y=\"" + num(y0) + "\" width=\"" +
           num(static_cast<double>(g.columns - n) * g.column) + "\" height=\"" + num(height) +
           "\"/>\n";
  }
  if (search.occurrence && !search.pattern.empty()) {
    // At least 2 units wide, so that it shows on a long text too.
    svg += "<rect class=\"occurrence\" x=\"" +
           num(x0 + static_cast<double>(*search.occurrence) * g.column) + "\" y=\"" + num(y0) +
           "\" width=\"" + num(std::max(2.0, static_cast<double>(search.pattern.size()) * g.column)) +
           "\" height=\"" + num(height) + "\"><title>first occurrence at " +
           std::to_string(*search.occurrence) + "</title></rect>\n";
  }

  // Above the plot: the text's characters when they fit, else positions.
  if (g.column >= 7 && g.columns <= 200) {
    const double size = std::min(13.0, g.column * 0.95);
    for (size_t p = 0; p < g.columns; ++p) {
      const auto byte = p < n ? static_cast<unsigned char>(search.text[p]) : 0;
      const bool prints = byte > 0x20 && byte < 0x7f;
      svg += "<text class=\"letter\" font-size=\"" + num(size) + "\" x=\"" +
             num(x0 + (static_cast<double>(p) + 0.5) * g.column) + "\" y=\"" + num(y0 - 6) +
             "\">" + (prints ? xml(std::string(1, static_cast<char>(byte))) : "&#183;") +
             "</text>\n";
    }
  }
  // Position labels, spaced for the widest of them so that none overlap.
  const double widest = static_cast<double>(tick_label(g.columns).size()) * kLabelCharacter;
  const size_t step = nice_step(g.column, std::max(30.0, widest + 12));
  for (size_t p = 0; p < g.columns; p += step) {
    svg += "<text class=\"tick\" x=\"" + num(x0 + (static_cast<double>(p) + 0.5) * g.column) +
           "\" y=\"" + num(y0 + height + 13) + "\">" + tick_label(p) + "</text>\n";
  }
  svg += "<text class=\"axis\" x=\"" + num(x0 + g.plot_width / 2) + "\" y=\"" +
         num(y0 + height + 28) + "\">text position</text>\n";
  if (trace.empty()) {
    svg += "<text class=\"note\" x=\"" + num(x0 + 8) + "\" y=\"" + num(y0 + 24) +
           "\">no reads</text>\n</g>\n";
    return;
  }
  // Read numbers: 1, then every multiple of a step that keeps labels apart.
  const size_t read_step = nice_step(g.row, 16);
  for (size_t number = 1; number <= trace.size();
       number = number == 1 && read_step > 1 ? read_step : number + read_step) {
    if (number == 1 && read_step > 1 && read_step * g.row < 32) continue;
    svg += "<text class=\"count\" x=\"" + num(x0 - 6) + "\" y=\"" +
           num(y0 + (static_cast<double>(number) - 0.5) * g.row + 4) + "\">" +
           tick_label(number) + "</text>\n";
  }
  svg += "<text class=\"axis\" transform=\"translate(" + num(left + 12) + " " +
         num(y0 + height / 2) + ") rotate(-90)\">read</text>\n";

  auto cx = [&](int32_t position) {
    return x0 + (static_cast<double>(std::max(position, 0)) + 0.5) * g.column;
  };
  auto cy = [&](size_t index) { return y0 + (static_cast<double>(index) + 0.5) * g.row; };

  if (dense) {
    // A grid of cells over the plot, each shaded by the reads it holds: one
    // path per shade, drawn in grid units, so that the file stays small.
    const size_t across = std::min(g.columns, kDensityCells);
    const size_t down = std::min(trace.size(), kDensityCells);
    std::vector<uint32_t> cells(across * down);
    for (size_t i = 0; i < trace.size(); ++i) {
      const size_t a = std::min(across - 1, static_cast<size_t>(std::max(trace[i], 0)) * across / g.columns);
      const size_t d = i * down / trace.size();
      ++cells[d * across + a];
    }
    const uint32_t most = *std::max_element(cells.begin(), cells.end());
    std::vector<std::string> shades(kShades);
    for (size_t d = 0; d < down; ++d) {
      for (size_t a = 0; a < across; ++a) {
        const uint32_t count = cells[d * across + a];
        if (count == 0) continue;
        // Shade k holds the cells with up to (k + 1) / kShades of the most.
        const auto k = static_cast<size_t>(
            std::min<uint64_t>(kShades - 1, (static_cast<uint64_t>(count) * kShades - 1) / most));
        shades[k] += "M" + std::to_string(a) + " " + std::to_string(d) + "h1v1h-1z";
      }
    }
    svg += "<g class=\"density\" data-cell-positions=\"" +
           num(static_cast<double>(g.columns) / static_cast<double>(across)) +
           "\" data-cell-reads=\"" +
           num(static_cast<double>(trace.size()) / static_cast<double>(down)) +
           "\" data-most=\"" + std::to_string(most) + "\" transform=\"translate(" + num(x0) + " " +
           num(y0) + ") scale(" + num(g.plot_width / static_cast<double>(across)) + " " +
           num(height / static_cast<double>(down)) + ")\">\n";
    for (int k = 0; k < kShades; ++k) {
      if (shades[static_cast<size_t>(k)].empty()) continue;
      svg += "<path class=\"cells\" fill-opacity=\"" + num(0.2 + 0.8 * (k + 1) / kShades) +
             "\" d=\"" + shades[static_cast<size_t>(k)] + "\"/>\n";
    }
    svg += "</g>\n";
    // The scale of this panel's grid.
    svg += "<text class=\"scale\" x=\"" + num(x0) + "\" y=\"" + num(top + 28) + "\">" +
           xml("a cell: " + tick_label((g.columns + across - 1) / across) + " positions by " +
               tick_label((trace.size() + down - 1) / down) + " reads; darkest: " +
               tick_label(most) + " reads") +
           "</text>\n";
    svg += "</g>\n";
    return;
  }

  // The reading order as a line through the marks, where the reads are far
  // enough apart for it to show; then one mark per read.
  if (g.row >= 3) {
    svg += "<polyline class=\"order\" points=\"";
    for (size_t i = 0; i < trace.size(); ++i) {
      if (i > 0) svg += ' ';
      svg += num(cx(trace[i])) + "," + num(cy(i));
    }
    svg += "\"/>\n";
  }
  const double radius = std::clamp(std::min(g.column, g.row) * 0.4, 1.2, 5.0);
  const std::vector<uint32_t> counts = read_counts(trace);
  for (size_t i = 0; i < trace.size(); ++i) {
    svg += std::string("<circle class=\"") + (counts[i] == 1 ? "read" : "read again") +
           "\" cx=\"" + num(cx(trace[i])) + "\" cy=\"" + num(cy(i)) + "\" r=\"" + num(radius) +
           "\"><title>read " + std::to_string(i + 1) + ": position " +
           std::to_string(trace[i]) + "</title></circle>\n";
  }
  svg += "</g>\n";
}

}  // namespace

std::string svg_plot(const Search& search, const std::vector<Result>& results) {
  Geometry g{};
  g.columns = std::max<size_t>(search.text.size(), 1);
  size_t most_reads = 1;
  size_t all_reads = 0;
  for (const Result& result : results) {
    most_reads = std::max(most_reads, result.trace.size());
    all_reads += result.trace.size();
    for (int32_t position : result.trace) {
      if (position >= 0) g.columns = std::max(g.columns, static_cast<size_t>(position) + 1);
    }
  }
  const bool single = results.size() == 1;
  g.plot_left = kAxisTitle + kDigit * static_cast<double>(tick_label(most_reads).size()) + 8;
  const double wanted = static_cast<double>(g.columns) * 16 + g.plot_left + kPlotRight;
  g.panel_width = std::clamp(wanted, single ? 420.0 : 300.0, single ? 960.0 : 560.0);
  g.plot_width = g.panel_width - g.plot_left - kPlotRight;
  g.column = g.plot_width / static_cast<double>(g.columns);
  g.row = std::min(kLongestRow, (single ? 560.0 : 320.0) / static_cast<double>(most_reads));
  g.per_line = single ? 1 : std::max<size_t>(1, std::min<size_t>(4, 1280 / static_cast<size_t>(g.panel_width + kGap)));
  g.dense = all_reads > kMostMarks;
  // The legend names only what the panels draw.
  bool marks = false;
  bool again = false;
  for (const Result& result : results) {
    if (result.refused_at >= 0 || result.trace.empty()) continue;
    marks = true;
    if (!g.dense) {
      for (uint32_t count : read_counts(result.trace)) again = again || count > 1;
    }
  }

  // Panels line up in a grid; each line of panels is as tall as its tallest.
  std::vector<double> line_heights;
  for (size_t i = 0; i < results.size(); ++i) {
    const double h = kPlotTop + plot_height(results[i], g) + kPlotBottom;
    if (i % g.per_line == 0) line_heights.push_back(h);
    line_heights.back() = std::max(line_heights.back(), h);
  }
  const size_t across = std::min(results.size(), g.per_line);
  double width = std::max(kNarrowestDocument,
                                2 * kMargin + static_cast<double>(across) * g.panel_width +
                                    static_cast<double>(across > 0 ? across - 1 : 0) * kGap);
  double height = kMargin + kHeaderHeight + kMargin;
  for (double h : line_heights) height += h + kGap;

  std::string keys;
  const double legend = kMargin + 38;
  double key = kMargin;
  auto key_text = [&](const std::string& text) {
    keys += "<text x=\"" + num(key) + "\" y=\"" + num(legend) + "\">" + xml(text) + "</text>\n";
    key += static_cast<double>(text.size()) * 6.0 + 18;
  };
  if (marks && !g.dense) {
    keys += "<circle class=\"key-first\" cx=\"" + num(key + 5) + "\" cy=\"" + num(legend - 4) +
           "\" r=\"4\"/>\n";
    key += 14;
    key_text(again ? "first read of a position" : "a read");
    if (again) {
      keys += "<circle class=\"key-again\" cx=\"" + num(key + 5) + "\" cy=\"" +
             num(legend - 4) + "\" r=\"4\"/>\n";
      key += 14;
      key_text("read again");
    }
  } else if (marks) {
    // The shades, lightest to darkest.
    for (int k = 0; k < kShades; ++k) {
      keys += "<rect class=\"key-density\" x=\"" + num(key + 7 * k) + "\" y=\"" + num(legend - 9) +
             "\" width=\"7\" height=\"12\" fill-opacity=\"" +
             num(0.2 + 0.8 * (k + 1) / kShades) + "\"/>\n";
    }
    key += 7 * kShades + 6;
    key_text("reads per cell, darker for more (each panel gives its cell size)");
  }
  if (search.occurrence && !search.pattern.empty()) {
    keys += "<rect class=\"key-occurrence\" x=\"" + num(key) + "\" y=\"" + num(legend - 9) +
           "\" width=\"12\" height=\"12\"/>\n";
    key += 18;
    key_text("first occurrence");
  }
  if (marks) key_text("reads go down in reading order");

  width = std::max(width, key + kMargin);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(width) + "\" height=\"" +
         num(height) + "\" viewBox=\"0 0 " + num(width) + " " + num(height) + "\">\n";
  svg += R"(<style>
text { font-family: sans-serif; font-size: 11px; fill: #222; }
.heading { font-size: 14px; font-weight: bold; }
.title { font-size: 13px; font-weight: bold; }
.letter { font-family: monospace; text-anchor: middle; }
.tick { text-anchor: middle; fill: #555; }
.count { text-anchor: end; fill: #555; }
.axis { text-anchor: middle; fill: #555; }
.note { fill: #a33; }
.frame { fill: none; stroke: #999; }
.beyond { fill: #eee; }
.occurrence, .key-occurrence { fill: #2ca02c; fill-opacity: 0.18; }
.order { fill: none; stroke: #9ab; stroke-width: 1; }
.read, .key-first { fill: #1f77b4; }
.again, .key-again { fill: #ff7f0e; }
.density, .key-density { fill: #1f77b4; }
.scale { fill: #555; }
</style>
<rect width="100%" height="100%" fill="#fff"/>
)";
  std::string heading = "pattern \"" + readable(search.pattern, 40) + "\" (" +
                        std::to_string(search.pattern.size()) + " bytes) in a text of " +
                        std::to_string(search.text.size()) + " bytes; first occurrence " +
                        (search.occurrence ? "at " + std::to_string(*search.occurrence)
                                           : std::string("none"));
  svg += "<text class=\"heading\" x=\"" + num(kMargin) + "\" y=\"" + num(kMargin + 14) + "\">" +
         xml(heading) + "</text>\n" + keys;
  double top = kMargin + kHeaderHeight;
  for (size_t i = 0; i < results.size(); ++i) {
    const size_t line = i / g.per_line;
    if (i > 0 && i % g.per_line == 0) top += line_heights[line - 1] + kGap;
    const double left = kMargin + static_cast<double>(i % g.per_line) * (g.panel_width + kGap);
    draw_panel(svg, search, results[i], g, left, top);
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace smtrace
