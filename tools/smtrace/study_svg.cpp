// The study's chart: reads per character against pattern length, one panel
// per text and kind of pattern, one line per algorithm (the median) with the
// band from the first to the third quartile, the length axis logarithmic,
// the value axis from 0 to the panel's highest third quartile.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "study.h"
#include "explain/markup.h"

namespace smtrace {
namespace {

constexpr double kMargin = 20;
constexpr double kHeader = 92;      // title, subtitle and legend
constexpr double kPanelWidth = 470;
constexpr double kPanelHeight = 330;
constexpr double kGap = 28;
constexpr double kPlotLeft = 58;    // inside a panel: the value labels and the axis title
constexpr double kPlotRight = 16;
constexpr double kPlotTop = 36;     // the panel's title
constexpr double kPlotBottom = 58;  // length labels, the axis title, a note

const char* const kColours[SMTRACE_ALGORITHM_COUNT] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728",
                                                       "#9467bd", "#8c564b", "#e377c2"};

std::string num(double value) { return sm_markup::decimal(value); }

std::string xml(std::string_view text) { return sm_markup::escape(text, true); }

// A step of 1, 2 or 5 times a power of ten giving about `want` ticks up to top.
double tick_step(double top, int want) {
  const double raw = top / want;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    if (factor * power >= raw) return factor * power;
  }
  return 10 * power;
}

std::string label(double value, double step) {
  char out[32];
  const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  std::snprintf(out, sizeof out, "%.*f", decimals, value);
  return out;
}

struct Panel {
  size_t text;
  PatternKind kind;
  size_t column;
  size_t row;
};

}  // namespace

std::string study_svg(const StudyResult& result, const std::vector<SummaryRow>& summary) {
  const StudyDefinition& study = result.study;
  const size_t columns = study.kinds.size();
  const size_t rows = study.texts.size();
  const double width = 2 * kMargin + static_cast<double>(columns) * kPanelWidth +
                       static_cast<double>(columns - 1) * kGap;
  const double height = kMargin + kHeader + static_cast<double>(rows) * (kPanelHeight + kGap);

  // Each panel's value scale reaches its highest third quartile: the lines
  // of a text over many letters stay apart from each other, and the labels
  // tell the scales apart.
  std::vector<double> tops(rows * columns, 0);
  for (const SummaryRow& row : summary) {
    const size_t column = static_cast<size_t>(
        std::find(study.kinds.begin(), study.kinds.end(), row.kind) - study.kinds.begin());
    double& top = tops[row.text * columns + column];
    if (row.reads.any) top = std::max(top, row.reads.q3);
  }

  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(width) + "\" height=\"" +
         num(height) + "\" viewBox=\"0 0 " + num(width) + " " + num(height) + "\">\n";
  svg += R"(<style>
text { font-family: sans-serif; font-size: 12px; fill: #222; }
.heading { font-size: 16px; font-weight: bold; }
.subheading { fill: #444; }
.title { font-size: 13px; font-weight: bold; }
.tick { fill: #555; font-size: 11px; }
.x { text-anchor: middle; }
.y { text-anchor: end; }
.axis { text-anchor: middle; fill: #444; }
.note { fill: #a33; font-size: 11px; }
.frame { fill: none; stroke: #999; }
.grid { stroke: #e4e4e4; stroke-width: 1; }
.band { stroke: none; fill-opacity: 0.13; }
.median { fill: none; stroke-width: 2; }
</style>
<rect width="100%" height="100%" fill="#fff"/>
)";
  svg += "<text class=\"heading\" x=\"" + num(kMargin) + "\" y=\"" + num(kMargin + 14) +
         "\">Reads per character against pattern length</text>\n";
  std::string sub = "each line: the median over " + std::to_string(study.patterns) +
                    " patterns per text and length (seed " + std::to_string(study.seed) +
                    "); the band: first to third quartile";
  if (!result.shard.whole()) {
    sub += "; part " + std::to_string(result.shard.index) + " of " +
           std::to_string(result.shard.count) + " only";
  }
  svg += "<text class=\"subheading\" x=\"" + num(kMargin) + "\" y=\"" + num(kMargin + 34) +
         "\">" + xml(sub) + "</text>\n";
  // The legend, in two lines when narrow.
  {
    double x = kMargin;
    double y = kMargin + 60;
    size_t a = 0;
    for (const Algorithm& algorithm : kAlgorithms) {
      const double item = 34 + 7.2 * static_cast<double>(std::string(algorithm.name).size()) + 16;
      if (x + item > width - kMargin) {
        x = kMargin;
        y += 20;
      }
      svg += "<g class=\"key\" data-algorithm=\"" + std::string(algorithm.name) + "\">";
      svg += "<rect class=\"band\" fill=\"" + std::string(kColours[a]) + "\" x=\"" + num(x) +
             "\" y=\"" + num(y - 10) + "\" width=\"28\" height=\"12\"/>";
      svg += "<line class=\"median\" stroke=\"" + std::string(kColours[a]) + "\" x1=\"" + num(x) +
             "\" y1=\"" + num(y - 4) + "\" x2=\"" + num(x + 28) + "\" y2=\"" + num(y - 4) + "\"/>";
      svg += "<text x=\"" + num(x + 34) + "\" y=\"" + num(y) + "\">" + algorithm.name +
             "</text></g>\n";
      x += item;
      ++a;
    }
  }

  const double log_low = std::log2(static_cast<double>(study.lengths.front()));
  const double log_high = std::log2(static_cast<double>(study.lengths.back()));
  const double plot_width = kPanelWidth - kPlotLeft - kPlotRight;
  const double plot_height = kPanelHeight - kPlotTop - kPlotBottom;
  for (size_t t = 0; t < rows; ++t) {
    for (size_t k = 0; k < columns; ++k) {
      const PatternKind kind = study.kinds[k];
      const double left = kMargin + static_cast<double>(k) * (kPanelWidth + kGap);
      const double top = kMargin + kHeader + static_cast<double>(t) * (kPanelHeight + kGap);
      const double x0 = left + kPlotLeft;
      const double y0 = top + kPlotTop;
      const double most = tops[t * columns + k];
      const double step = tick_step(most > 0 ? most : 1, 5);
      const double y_top = std::max(step, std::ceil(most / step - 1e-9) * step);
      auto px = [&](int32_t m) {
        if (log_high <= log_low) return x0 + plot_width / 2;
        return x0 + 10 + (std::log2(static_cast<double>(m)) - log_low) / (log_high - log_low) *
                             (plot_width - 20);
      };
      auto py = [&](double v) { return y0 + plot_height - v / y_top * plot_height; };

      const StudyText& text = study.texts[t];
      svg += "<g class=\"panel\" data-text=\"" + xml(text.name) + "\" data-kind=\"" +
             kind_name(kind) + "\">\n";
      const std::string title = text.name + " (" + std::to_string(text.length) + " bytes): " +
                                (kind == PatternKind::present ? "patterns that occur"
                                                              : "patterns absent");
      svg += "<text class=\"title\" x=\"" + num(left) + "\" y=\"" + num(top + 14) + "\">" +
             xml(title) + "</text>\n";
      const std::string rule = kind == PatternKind::present
                                   ? "reads / (first occurrence + m)"
                                   : "reads / n (the whole text)";
      svg += "<text class=\"tick\" x=\"" + num(left) + "\" y=\"" + num(top + 29) + "\">" + rule +
             "</text>\n";
      for (double v = 0; v <= y_top + step / 2; v += step) {
        svg += "<line class=\"grid\" x1=\"" + num(x0) + "\" y1=\"" + num(py(v)) + "\" x2=\"" +
               num(x0 + plot_width) + "\" y2=\"" + num(py(v)) + "\"/>";
        svg += "<text class=\"tick y\" x=\"" + num(x0 - 6) + "\" y=\"" + num(py(v) + 4) + "\">" +
               label(v, step) + "</text>\n";
      }
      for (int32_t m : study.lengths) {
        svg += "<text class=\"tick x\" x=\"" + num(px(m)) + "\" y=\"" +
               num(y0 + plot_height + 15) + "\">" + std::to_string(m) + "</text>\n";
      }
      svg += "<rect class=\"frame\" x=\"" + num(x0) + "\" y=\"" + num(y0) + "\" width=\"" +
             num(plot_width) + "\" height=\"" + num(plot_height) + "\"/>\n";
      svg += "<text class=\"axis\" x=\"" + num(x0 + plot_width / 2) + "\" y=\"" +
             num(y0 + plot_height + 32) + "\">pattern length m (logarithmic)</text>\n";
      svg += "<text class=\"axis\" transform=\"translate(" + num(left + 14) + " " +
             num(y0 + plot_height / 2) + ") rotate(-90)\">reads per character</text>\n";

      std::string refused;
      for (size_t a = 0; a < SMTRACE_ALGORITHM_COUNT; ++a) {
        std::vector<const SummaryRow*> line;
        int32_t refusals = 0;
        for (const SummaryRow& row : summary) {
          if (row.text == t && row.kind == kind && row.algorithm == a) {
            line.push_back(&row);
            refusals += row.refused;
          }
        }
        if (refusals > 0) {
          refused += (refused.empty() ? "" : ", ") + std::string(kAlgorithms.begin()[a].name) +
                     " " + std::to_string(refusals);
        }
        // Runs of lengths with figures; a length where every pattern was
        // refused breaks the line.
        const std::string colour = kColours[a];
        svg += "<g class=\"algorithm\" data-algorithm=\"" +
               std::string(kAlgorithms.begin()[a].name) + "\">";
        size_t i = 0;
        while (i < line.size()) {
          if (!line[i]->reads.any) {
            ++i;
            continue;
          }
          size_t j = i;
          while (j < line.size() && line[j]->reads.any) ++j;
          std::string band, median;
          for (size_t r = i; r < j; ++r) {
            band += num(px(line[r]->m)) + "," + num(py(line[r]->reads.q3)) + " ";
            median += num(px(line[r]->m)) + "," + num(py(line[r]->reads.median)) + " ";
          }
          for (size_t r = j; r-- > i;) {
            band += num(px(line[r]->m)) + "," + num(py(line[r]->reads.q1)) + " ";
          }
          band.pop_back();
          median.pop_back();
          svg += "<polygon class=\"band\" fill=\"" + colour + "\" points=\"" + band + "\"/>";
          svg += "<polyline class=\"median\" stroke=\"" + colour + "\" points=\"" + median + "\"/>";
          for (size_t r = i; r < j; ++r) {
            const SummaryRow& row = *line[r];
            svg += "<circle fill=\"" + colour + "\" cx=\"" + num(px(row.m)) + "\" cy=\"" +
                   num(py(row.reads.median)) + "\" r=\"2.6\"><title>" +
                   kAlgorithms.begin()[a].name + ", m = " + std::to_string(row.m) +
                   ": median " + num(row.reads.median) + ", quartiles " + num(row.reads.q1) +
                   " to " + num(row.reads.q3) + "</title></circle>";
          }
          i = j;
        }
        svg += "</g>\n";
      }
      if (!refused.empty()) {
        svg += "<text class=\"note\" x=\"" + num(x0) + "\" y=\"" + num(y0 + plot_height + 48) +
               "\">patterns refused (8-bit bytes): " + xml(refused) + "</text>\n";
      }
      svg += "</g>\n";
    }
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace smtrace
