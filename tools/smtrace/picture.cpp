// The terminal picture of one search.
#include <algorithm>
#include <string>

#include "report.h"

namespace smtrace {
namespace {

// A terminal line budget: wide columns (the full read number under each
// character) are used when they fit in it.
constexpr size_t kLineBudget = 120;

size_t digits(uint64_t value) {
  size_t count = 1;
  while (value >= 10) {
    value /= 10;
    ++count;
  }
  return count;
}

// A run of reads in one direction: trace[first .. last], each at a position
// beyond (or, going left, before) the previous one.
struct Run {
  size_t first;
  size_t last;
  int direction;  // +1 rightwards, -1 leftwards, 0 a single read
};

std::vector<Run> runs_of(const std::vector<int32_t>& trace) {
  std::vector<Run> runs;
  for (size_t i = 0; i < trace.size(); ++i) {
    if (!runs.empty()) {
      Run& run = runs.back();
      const int step = trace[i] > trace[i - 1] ? 1 : (trace[i] < trace[i - 1] ? -1 : 0);
      if (step != 0 && (run.direction == 0 || run.direction == step)) {
        run.direction = step;
        run.last = i;
        continue;
      }
    }
    runs.push_back({i, i, 0});
  }
  return runs;
}

// One line of the picture: a gutter with a label, then a column per position.
class Canvas {
 public:
  Canvas(size_t gutter, size_t columns, size_t width)
      : gutter_(gutter), columns_(columns), width_(width) {}

  std::string line(const std::string& label) const {
    std::string out(gutter_ + columns_ * width_, ' ');
    out.replace(0, label.size(), label);
    return out;
  }
  // Writes the cell right-aligned in the column of the position; a long cell
  // reaches into the columns on its left.
  void put(std::string& out, size_t position, const std::string& cell) const {
    const size_t end = gutter_ + (position + 1) * width_;
    out.replace(end - cell.size(), cell.size(), cell);
  }
  static std::string finish(std::string out) {
    out.erase(out.find_last_not_of(' ') + 1);
    return out + "\n";
  }

 private:
  size_t gutter_;
  size_t columns_;
  size_t width_;
};

}  // namespace

std::string picture(const Search& search, const Result& result) {
  const std::vector<int32_t>& trace = result.trace;
  const size_t n = search.text.size();
  const size_t m = search.pattern.size();

  std::string out = std::string(result.algorithm->name) + ": pattern \"" +
                    readable(search.pattern, 40) + "\" in \"" + readable(search.text, 100) +
                    "\"\n";
  out += std::to_string(trace.size()) + (trace.size() == 1 ? " read" : " reads") +
         ", first occurrence " +
         (search.occurrence ? "at " + std::to_string(*search.occurrence) : std::string("none")) +
         "\n\n";

  // Columns for the text and for any read of the zero byte after it.
  size_t columns = std::max<size_t>(n, 1);
  for (int32_t position : trace) {
    if (position >= 0) columns = std::max(columns, static_cast<size_t>(position) + 1);
  }

  // Wide columns hold the whole read number; narrow ones its last digit.
  const size_t number_digits = digits(trace.size());
  size_t width = number_digits + 1;
  bool whole_numbers = true;
  if (columns * width > kLineBudget) {
    whole_numbers = false;
    width = columns * 2 <= kLineBudget ? 2 : 1;
  }

  const std::vector<Run> runs = runs_of(trace);
  auto run_label = [&](const Run& run) {
    std::string label = " " + std::to_string(run.first + 1);
    if (run.last != run.first) label += "-" + std::to_string(run.last + 1);
    label += std::string(2 + 2 * number_digits + 1 - label.size(), ' ');
    if (run.direction > 0) label += " ->";
    if (run.direction < 0) label += " <-";
    return label;
  };
  size_t gutter = std::string(" occurrence").size();
  for (const Run& run : runs) gutter = std::max(gutter, run_label(run).size());
  gutter += 2;
  const Canvas canvas(gutter, columns, width);

  // Position labels every 1, 5, 10, 20, ... columns, whichever is the first
  // step that leaves a blank between neighbouring labels.
  const size_t label_width = digits(columns - 1) + 1;
  size_t step = 1;
  for (size_t next : {5u, 10u, 20u, 50u}) {
    if (step * width >= label_width) break;
    step = next;
  }
  std::string ruler = canvas.line(" position");
  for (size_t p = 0; p < columns; p += step) canvas.put(ruler, p, std::to_string(p));
  out += Canvas::finish(ruler);

  std::string letters = canvas.line(" text");
  bool unprintable = false;
  for (size_t p = 0; p < columns; ++p) {
    const auto byte = p < n ? static_cast<unsigned char>(search.text[p]) : 0;
    const bool prints = byte >= 0x20 && byte < 0x7f;
    unprintable = unprintable || !prints;
    canvas.put(letters, p, std::string(1, prints ? static_cast<char>(byte) : '.'));
  }
  out += Canvas::finish(letters);

  if (search.occurrence && m > 0) {
    std::string marks = canvas.line(" occurrence");
    for (size_t p = *search.occurrence; p < *search.occurrence + m; ++p) canvas.put(marks, p, "^");
    out += Canvas::finish(marks);
  }

  for (const Run& run : runs) {
    std::string row = canvas.line(run_label(run));
    for (size_t i = run.first; i <= run.last; ++i) {
      if (trace[i] < 0) continue;  // never recorded; nowhere to draw it
      const uint64_t number = i + 1;
      canvas.put(row, static_cast<size_t>(trace[i]),
                 whole_numbers ? std::to_string(number) : std::to_string(number % 10));
    }
    out += Canvas::finish(row);
  }
  if (trace.empty()) out += " (no reads)\n";
  out += whole_numbers ? "\n(a row for each run of reads in one direction; a mark is its read's number)\n"
                       : "\n(a row for each run of reads in one direction; a mark is the last digit of "
                         "its read's number)\n";
  if (unprintable) {
    out += "\n(. is a byte that does not print";
    if (columns > n) out += "; at " + std::to_string(n) + ", the zero byte after the text";
    out += ")\n";
  }
  return out;
}

}  // namespace smtrace
