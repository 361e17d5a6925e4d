#include "explain_view.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string_view>
#include <vector>

#include "report.h"

namespace smtrace {
namespace {

constexpr size_t kWidth = kExplainWidth;
// Columns kept right of the text strip for a read's description; a longer
// description goes on over further lines.
constexpr size_t kDescriptionRoom = 38;
// Positions shown left of a window too wide for the strip.
constexpr int64_t kLeftContext = 2;
// Entries of one table listed; the rest are only counted.
constexpr int32_t kMostEntries = 64;
// Where table entries start.
constexpr size_t kTableIndent = 10;
// Where the lines of an attempt (reads aside) start, and go on.
constexpr size_t kIndent = 2;
constexpr size_t kHangingIndent = 4;

enum Style : unsigned char {
  kPlain,
  kBold,
  kMatch,
  kMismatch,
  kLookAhead,
  kProbe,
  kFaint,
  kPattern,
  kFound,
};

const char* escape_of(Style style) {
  switch (style) {
    case kBold:
      return "\x1b[1m";
    case kMatch:
      return "\x1b[32m";
    case kMismatch:
      return "\x1b[31m";
    case kLookAhead:
      return "\x1b[36m";
    case kProbe:
      return "\x1b[35m";
    case kFaint:
      return "\x1b[2m";
    case kPattern:
      return "\x1b[1;34m";
    case kFound:
      return "\x1b[1;32m";
    default:
      return "";
  }
}

// One output line: characters by column, each with its style.
class Line {
 public:
  size_t size() const { return text_.size(); }

  void put(size_t column, std::string_view text, Style style = kPlain) {
    if (text_.size() < column + text.size()) {
      text_.resize(column + text.size(), ' ');
      styles_.resize(text_.size(), kPlain);
    }
    for (size_t k = 0; k < text.size(); ++k) {
      text_[column + k] = text[k];
      styles_[column + k] = style;
    }
  }

  // The line without trailing blanks, with ANSI escapes where the style
  // changes when colour is on, and a newline.
  std::string render(bool colour) const {
    const size_t last = text_.find_last_not_of(' ');
    const size_t end = last == std::string::npos ? 0 : last + 1;
    if (!colour) return text_.substr(0, end) + "\n";
    std::string out;
    Style current = kPlain;
    for (size_t k = 0; k < end; ++k) {
      // A blank keeps the style around it: fewer escapes.
      const Style wanted = text_[k] == ' ' ? current : styles_[k];
      if (wanted != current) {
        if (current != kPlain) out += "\x1b[0m";
        out += escape_of(wanted);
        current = wanted;
      }
      out += text_[k];
    }
    if (current != kPlain) out += "\x1b[0m";
    return out + "\n";
  }

 private:
  std::string text_;
  std::vector<Style> styles_;
};

// A piece of text laid out whole where it fits, after `gap` blanks.
struct Span {
  std::string text;
  Style style;
  size_t gap;
};

// Prose as one span per word.
std::vector<Span> words(std::string_view text, Style style = kPlain) {
  std::vector<Span> spans;
  size_t at = 0;
  while ((at = text.find_first_not_of(' ', at)) != std::string_view::npos) {
    const size_t end = std::min(text.find(' ', at), text.size());
    spans.push_back({std::string(text.substr(at, end - at)), style, 1});
    at = end;
  }
  return spans;
}

// Lays the spans out on `line` from `column`, going on over new lines from
// `indent`, and adds the lines to `out`. No line passes kWidth: a span too
// long for a line of its own is cut over several.
void flow(std::vector<Line>& out, Line line, size_t column, size_t indent,
          const std::vector<Span>& spans) {
  size_t at = column;
  bool placed = false;
  for (const Span& span : spans) {
    std::string_view text = span.text;
    size_t gap = placed ? span.gap : 0;
    if (placed && at + gap + text.size() > kWidth) {
      out.push_back(std::move(line));
      line = Line();
      at = indent;
      gap = 0;
    }
    at += gap;
    while (at + text.size() > kWidth) {
      const size_t room = kWidth > at ? kWidth - at : 0;
      line.put(at, text.substr(0, room), span.style);
      text.remove_prefix(room);
      out.push_back(std::move(line));
      line = Line();
      at = indent;
    }
    line.put(at, text, span.style);
    at += text.size();
    placed = true;
  }
  out.push_back(std::move(line));
}

size_t digits(uint64_t value) {
  size_t count = 1;
  for (; value >= 10; value /= 10) ++count;
  return count;
}

std::string number(int64_t value) { return std::to_string(value); }

std::string joined(const int32_t* values, int32_t count, const char* separator) {
  std::string out;
  for (int32_t v = 0; v < count; ++v) {
    if (v > 0) out += separator;
    out += number(values[v]);
  }
  return out;
}

// A table entry as the view lists it; the keys are the library's.
std::vector<Span> entry_spans(const smtrace_table& table, const smtrace_table_entry& entry) {
  const std::string name = table.name;
  const std::string key = entry.key;
  const std::string values = joined(entry.values, entry.value_count, ",");
  if (name == "terminal") {
    std::vector<Span> spans;
    for (int32_t v = 0; v < entry.value_count; ++v) {
      spans.push_back({number(entry.values[v]), kPlain, 2});
    }
    return spans;
  }
  if (name == "edges" && entry.value_count == 2) {
    // "vertex character": the target vertex and the edge's shift.
    const size_t blank = key.find(' ');
    const std::string from = key.substr(0, blank);
    const std::string by = blank == std::string::npos ? "" : key.substr(blank + 1);
    return {{from + " -" + by + "-> " + number(entry.values[0]) + " (+" +
                 number(entry.values[1]) + ")",
             kPlain, 2}};
  }
  if (name == "shifts" || key == "default") return {{key + "=" + values, kPlain, 2}};
  if (name == "brBc") {
    std::string pair;
    size_t from = 0;
    for (size_t blank; (blank = key.find(' ', from)) != std::string::npos; from = blank + 1) {
      pair += "[" + key.substr(from, blank - from) + "]";
    }
    pair += "[" + key.substr(from) + "]";
    return {{pair + "=" + values, kPlain, 2}};
  }
  return {{"[" + key + "]=" + values, kPlain, 2}};
}

// Positions [first, last) of the text shown over an attempt, or part of
// one, with the pattern windows drawn under it.
struct Strip {
  int64_t first = 0;
  int64_t last = 0;
  std::vector<int32_t> windows;
  std::vector<size_t> offset;  // each position's column from the strip's left edge, then the width

  size_t columns() const { return offset.back(); }
  size_t column(int64_t position) const { return offset[static_cast<size_t>(position - first)]; }
  bool holds(int64_t position) const { return position >= first && position < last; }
};

// A stretch of an attempt with the window in one place: the pattern drawn
// at the window, then the reads, moves and notes up to the next move that
// changes the window.
struct Item {
  enum Kind { kRead, kMove, kNote } kind;
  int64_t index;
};
struct Segment {
  int32_t window;
  std::vector<Item> items;
  int64_t lo = 0;  // the positions it has to show
  int64_t hi = 0;
};

class View {
 public:
  View(const smtrace_explanation& e, bool colour,
       const std::function<void(const std::string&)>& write)
      : e_(e), colour_(colour), write_(write) {
    number_width_ = digits(static_cast<uint64_t>(std::max<int64_t>(e.read_count, 1)));
    gutter_ = std::max<size_t>(13, number_width_ + 5);
    budget_ = kWidth - gutter_ - 2 - kDescriptionRoom;
    for (int32_t i = 0; i < e.pattern_length; ++i) {
      if (readable_byte(pattern_byte(i)).size() > 1) plain_pattern_ = false;
    }
    for (int64_t r = 0; r < e.read_count; ++r) {
      if (e.reads[r].position >= e.text_length) beyond_[e.reads[r].position] = e.reads[r].byte;
    }
    plan_whole_text();
  }

  void run() {
    header();
    for (int64_t a = 0; a < e_.attempt_count; ++a) attempt(a);
    end();
  }

 private:
  unsigned char pattern_byte(int64_t i) const {
    return static_cast<unsigned char>(e_.pattern[i]);
  }

  std::string text_cell(int64_t position) const {
    if (position >= 0 && position < e_.text_length) {
      return readable_byte(static_cast<unsigned char>(e_.text[position]));
    }
    const auto read = beyond_.find(static_cast<int32_t>(position));
    return read == beyond_.end() ? "" : readable_byte(read->second);
  }

  size_t cell_width(int64_t position, const std::vector<int32_t>& windows) const {
    size_t width = std::max<size_t>(1, text_cell(position).size());
    if (plain_pattern_) return width;
    for (int32_t window : windows) {
      const int64_t i = position - window;
      if (i >= 0 && i < e_.pattern_length) {
        width = std::max(width, readable_byte(pattern_byte(i)).size());
      }
    }
    return width;
  }

  // The columns positions [lo, hi) take, or more than the budget.
  size_t width_of(int64_t lo, int64_t hi, const std::vector<int32_t>& windows) const {
    if (hi - lo > static_cast<int64_t>(budget_)) return budget_ + 1;
    size_t width = 0;
    for (int64_t p = lo; p < hi; ++p) width += cell_width(p, windows);
    return width;
  }

  void lay_out(Strip& strip) const {
    strip.offset.assign(1, 0);
    for (int64_t p = strip.first; p < strip.last; ++p) {
      strip.offset.push_back(strip.offset.back() + cell_width(p, strip.windows));
    }
  }

  // A strip showing [lo, hi), widened on both sides as far as the budget
  // allows, but not past the text's end unless it must; a region wider than
  // the budget is shown from just left of it, cut on the right.
  Strip strip_around(int64_t lo, int64_t hi, std::vector<int32_t> windows) const {
    Strip strip;
    strip.windows = std::move(windows);
    lo = std::max<int64_t>(lo, 0);
    hi = std::max(hi, lo + 1);
    const int64_t limit = std::max<int64_t>(e_.text_length, hi);
    size_t used = width_of(lo, hi, strip.windows);
    if (used > budget_) {
      lo = std::max<int64_t>(0, lo - kLeftContext);
      hi = lo;
      used = 0;
      while (hi < limit) {
        const size_t width = cell_width(hi, strip.windows);
        if (used + width > budget_ && hi > lo) break;
        used += width;
        ++hi;
      }
    } else {
      for (bool grew = true; grew;) {
        grew = false;
        if (lo > 0 && used + cell_width(lo - 1, strip.windows) <= budget_) {
          used += cell_width(--lo, strip.windows);
          grew = true;
        }
        if (hi < limit && used + cell_width(hi, strip.windows) <= budget_) {
          used += cell_width(hi++, strip.windows);
          grew = true;
        }
      }
    }
    strip.first = lo;
    strip.last = hi;
    lay_out(strip);
    return strip;
  }

  // When the whole text, every window and every read fit the strip, every
  // attempt shows the whole text.
  void plan_whole_text() {
    int64_t hi = e_.text_length;
    std::vector<int32_t> windows;
    auto window = [&](int32_t w) {
      if (w < 0) hi = INT64_MAX;
      hi = std::max<int64_t>(hi, int64_t{w} + e_.pattern_length);
      if (hi <= static_cast<int64_t>(budget_)) windows.push_back(w);
    };
    for (int64_t a = 0; a < e_.attempt_count; ++a) window(e_.attempts[a].window);
    for (int64_t k = 0; k < e_.move_count; ++k) window(e_.moves[k].window);
    for (int64_t r = 0; r < e_.read_count; ++r) {
      if (e_.reads[r].position < 0) hi = INT64_MAX;
      hi = std::max<int64_t>(hi, int64_t{e_.reads[r].position} + 1);
    }
    if (hi > static_cast<int64_t>(budget_)) return;
    std::sort(windows.begin(), windows.end());
    windows.erase(std::unique(windows.begin(), windows.end()), windows.end());
    if (width_of(0, hi, windows) > budget_) return;
    whole_ = Strip();
    whole_.first = 0;
    whole_.last = std::max<int64_t>(hi, 1);
    whole_.windows = std::move(windows);
    lay_out(whole_);
    has_whole_ = true;
  }

  void emit(const std::vector<Line>& lines) {
    std::string out;
    for (const Line& line : lines) out += line.render(colour_);
    write_(out);
  }

  // The mark of a read under its position, and its style.
  static std::pair<char, Style> mark_of(const smtrace_read& read) {
    switch (read.role) {
      case SMTRACE_ROLE_LOOK_AHEAD:
        return {'^', kLookAhead};
      case SMTRACE_ROLE_PROBE:
        return {'?', kProbe};
      case SMTRACE_ROLE_EDGE:
        return read.result == SMTRACE_RESULT_EDGE ? std::pair{'+', kMatch}
                                                  : std::pair{'!', kMismatch};
      default:
        if (read.result == SMTRACE_RESULT_MATCH) return {'=', kMatch};
        if (read.result == SMTRACE_RESULT_MISMATCH) return {'x', kMismatch};
        return {'*', kPlain};
    }
  }

  void header() {
    std::vector<Line> lines;
    // The title, the pattern cut to fit, m and n.
    const std::string before = std::string(e_.title) + ": pattern \"";
    const std::string after = "\", m = " + number(e_.pattern_length) +
                              ", n = " + number(e_.text_length);
    const size_t room = kWidth > before.size() + after.size() + 3
                            ? kWidth - before.size() - after.size() - 3
                            : 0;
    std::string shown;
    int32_t i = 0;
    for (; i < e_.pattern_length; ++i) {
      const std::string cell = readable_byte(pattern_byte(i));
      if (shown.size() + cell.size() > room) break;
      shown += cell;
    }
    Line title;
    title.put(0, std::string(e_.title) + ":", kBold);
    title.put(title.size(), " pattern \"");
    title.put(title.size(), shown, kPattern);
    title.put(title.size(), i < e_.pattern_length ? "\"..." : "\"");
    title.put(title.size(), after.substr(1));
    lines.push_back(std::move(title));

    // Which marks the reads below use.
    bool seen[8] = {};
    const char kMarks[] = {'=', 'x', '^', '?', '+', '!', '*'};
    const char* kMeanings[] = {"match", "mismatch", "look-ahead", "probe", "edge", "no edge",
                               "compared with no pattern byte"};
    for (int64_t r = 0; r < e_.read_count; ++r) {
      const char mark = mark_of(e_.reads[r]).first;
      seen[std::strchr(kMarks, mark) - kMarks] = true;
    }
    std::string legend = "reads are numbered in reading order";
    std::string marks;
    for (size_t k = 0; k < sizeof kMarks; ++k) {
      if (seen[k]) marks += std::string(marks.empty() ? "" : ", ") + kMarks[k] + " " + kMeanings[k];
    }
    if (!marks.empty()) legend += "; " + marks;
    flow(lines, Line(), 0, 0, words(legend, kFaint));

    for (int32_t t = 0; t < e_.table_count; ++t) {
      const smtrace_table& table = e_.tables[t];
      lines.emplace_back();
      Line name;
      name.put(0, table.name, kBold);
      std::vector<Span> spans;
      const int32_t listed = std::min(table.entry_count, kMostEntries);
      for (int32_t k = 0; k < listed; ++k) {
        for (Span& span : entry_spans(table, table.entries[k])) spans.push_back(std::move(span));
      }
      if (listed < table.entry_count) {
        spans.push_back({"... and " + number(table.entry_count - listed) +
                             " more (--json lists them all)",
                         kFaint, 2});
      }
      if (spans.empty()) spans.push_back({"(none)", kFaint, 0});
      flow(lines, std::move(name), kTableIndent, kTableIndent, spans);
      if (table.about != nullptr) {
        flow(lines, Line(), kTableIndent, kTableIndent, words(table.about, kFaint));
      }
    }
    if (e_.attempt_count == 0) {
      lines.emplace_back();
      flow(lines, Line(), 0, 0, words("no attempt: the routine read nothing", kBold));
    }
    emit(lines);
  }

  std::vector<Segment> segments_of(const smtrace_attempt& a, std::vector<int64_t>& lead_notes) const {
    std::vector<Segment> segments(1);
    segments[0].window = a.window;
    int64_t move = a.first_move;
    const int64_t moves_end = a.first_move + a.move_count;
    int64_t note = a.first_note;
    const int64_t notes_end = a.first_note + a.note_count;
    const int64_t reads_end = a.first_read + a.read_count;
    while (note < notes_end && e_.notes[note].after_read < a.first_read) lead_notes.push_back(note++);
    auto add_move = [&](int64_t k) {
      segments.back().items.push_back({Item::kMove, k});
      if (e_.moves[k].window != segments.back().window) {
        segments.emplace_back();
        segments.back().window = e_.moves[k].window;
      }
    };
    while (move < moves_end && e_.moves[move].after_read < a.first_read) add_move(move++);
    for (int64_t r = a.first_read; r < reads_end; ++r) {
      segments.back().items.push_back({Item::kRead, r});
      while (move < moves_end && e_.moves[move].after_read == r) add_move(move++);
      while (note < notes_end && e_.notes[note].after_read == r) {
        segments.back().items.push_back({Item::kNote, note++});
      }
    }
    while (move < moves_end) add_move(move++);
    while (note < notes_end) segments.back().items.push_back({Item::kNote, note++});

    for (Segment& s : segments) {
      s.lo = s.window;
      s.hi = int64_t{s.window} + std::max<int32_t>(e_.pattern_length, 1);
      for (const Item& item : s.items) {
        if (item.kind != Item::kRead) continue;
        s.lo = std::min<int64_t>(s.lo, e_.reads[item.index].position);
        s.hi = std::max<int64_t>(s.hi, int64_t{e_.reads[item.index].position} + 1);
      }
      s.lo = std::max<int64_t>(s.lo, 0);
    }
    return segments;
  }

  bool fits(Strip& strip, const Segment& s) const {
    if (s.lo < strip.first || s.hi > strip.last) return false;
    if (std::find(strip.windows.begin(), strip.windows.end(), s.window) != strip.windows.end()) {
      return true;
    }
    std::vector<int32_t> windows = strip.windows;
    windows.push_back(s.window);
    if (width_of(strip.first, strip.last, windows) > budget_) return false;
    strip.windows = std::move(windows);
    lay_out(strip);
    return true;
  }

  // A strip for the reads of a segment from its item `from` on: as many of
  // them in a row as fit together.
  Strip strip_for_reads(const Segment& s, size_t from) const {
    int64_t lo = INT64_MAX;
    int64_t hi = INT64_MIN;
    const std::vector<int32_t> windows{s.window};
    for (size_t k = from; k < s.items.size(); ++k) {
      if (s.items[k].kind != Item::kRead) continue;
      const int64_t p = e_.reads[s.items[k].index].position;
      const int64_t new_lo = std::min(lo, p);
      const int64_t new_hi = std::max(hi, p + 1);
      if (lo != INT64_MAX && width_of(new_lo, new_hi, windows) > budget_) break;
      lo = new_lo;
      hi = new_hi;
    }
    if (lo == INT64_MAX) return strip_around(s.lo, s.hi, windows);
    return strip_around(lo, hi, windows);
  }

  // The strip each segment starts with: the whole text when it fits; else,
  // from a segment on, one strip for the rest of the attempt when it fits,
  // or one for that segment, kept for the next segments that fit it, or
  // one for its first reads when the segment is wider than a strip.
  std::vector<Strip> strips_for(const std::vector<Segment>& segments,
                                std::vector<size_t>& strip_of) const {
    std::vector<Strip> strips;
    strip_of.assign(segments.size(), 0);
    if (has_whole_) {
      strips.push_back(whole_);
      return strips;
    }
    std::vector<int64_t> rest_lo(segments.size() + 1, INT64_MAX);
    std::vector<int64_t> rest_hi(segments.size() + 1, INT64_MIN);
    for (size_t k = segments.size(); k-- > 0;) {
      rest_lo[k] = std::min(rest_lo[k + 1], segments[k].lo);
      rest_hi[k] = std::max(rest_hi[k + 1], segments[k].hi);
    }
    for (size_t k = 0; k < segments.size(); ++k) {
      const Segment& s = segments[k];
      if (!strips.empty() && fits(strips.back(), s)) {
        strip_of[k] = strips.size() - 1;
        continue;
      }
      Strip strip;
      bool placed = false;
      if (rest_hi[k] - rest_lo[k] <= static_cast<int64_t>(budget_)) {
        std::vector<int32_t> windows;
        for (size_t j = k; j < segments.size(); ++j) windows.push_back(segments[j].window);
        std::sort(windows.begin(), windows.end());
        windows.erase(std::unique(windows.begin(), windows.end()), windows.end());
        if (width_of(rest_lo[k], rest_hi[k], windows) <= budget_) {
          strip = strip_around(rest_lo[k], rest_hi[k], std::move(windows));
          placed = true;
        }
      }
      if (!placed && width_of(s.lo, s.hi, {s.window}) <= budget_) {
        strip = strip_around(s.lo, s.hi, {s.window});
        placed = true;
      }
      if (!placed) strip = strip_for_reads(s, 0);
      strips.push_back(std::move(strip));
      strip_of[k] = strips.size() - 1;
    }
    return strips;
  }

  // The position ruler (tens, then units) and the text.
  void strip_lines(std::vector<Line>& lines, const Strip& strip) const {
    Line tens;
    Line units;
    Line text;
    size_t free_from = 0;
    bool labelled = false;
    for (int64_t p = strip.first; p < strip.last; ++p) {
      const size_t column = gutter_ + strip.column(p);
      units.put(column, number(p % 10), kFaint);
      if (p % 10 == 0 && column >= free_from) {
        const std::string label = number(p);
        tens.put(column, label, kFaint);
        free_from = column + label.size() + 1;
        labelled = true;
      }
    }
    if (!labelled) tens.put(gutter_, number(strip.first), kFaint);
    text.put(kIndent, "text");
    if (strip.first > 0) text.put(gutter_ - 3, "...", kFaint);
    for (int64_t p = strip.first; p < strip.last; ++p) {
      text.put(gutter_ + strip.column(p), text_cell(p), p < e_.text_length ? kPlain : kFaint);
    }
    if (strip.last < e_.text_length) text.put(gutter_ + strip.columns(), "...", kFaint);
    lines.push_back(std::move(tens));
    lines.push_back(std::move(units));
    lines.push_back(std::move(text));
  }

  void pattern_line(std::vector<Line>& lines, const Strip& strip, int32_t window) const {
    Line line;
    line.put(kIndent, "pattern");
    const int64_t m = e_.pattern_length;
    if (m == 0) {
      line.put(gutter_, "(empty)", kFaint);
    } else {
      const int64_t from = std::max<int64_t>(strip.first, window);
      const int64_t to = std::min<int64_t>(strip.last, window + m);
      for (int64_t p = from; p < to; ++p) {
        line.put(gutter_ + strip.column(p), readable_byte(pattern_byte(p - window)), kPattern);
      }
      if (window < strip.first) line.put(gutter_ - 3, "...", kFaint);
      if (window + m > strip.last) line.put(gutter_ + strip.columns(), "...", kFaint);
    }
    lines.push_back(std::move(line));
  }

  std::vector<Span> description(const smtrace_read& read) const {
    std::vector<Span> spans;
    spans.push_back({"y[" + number(read.position) + "] " + readable_byte(read.byte), kPlain, 0});
    switch (read.role) {
      case SMTRACE_ROLE_LOOK_AHEAD:
        spans.push_back({"look-ahead", kLookAhead, 2});
        break;
      case SMTRACE_ROLE_PROBE:
        spans.push_back({"probe", kProbe, 2});
        break;
      case SMTRACE_ROLE_EDGE:
        if (read.result == SMTRACE_RESULT_EDGE) {
          std::string edge = "edge " + number(read.from_vertex) + " -> " + number(read.to_vertex);
          if (read.edge_shift >= 0) edge += " (+" + number(read.edge_shift) + ")";
          if (read.terminal == 1) edge += ", terminal";
          spans.push_back({edge + ",", kMatch, 2});
          spans.push_back({"d = " + number(read.d) + ", s = " + number(read.s), kPlain, 1});
        } else {
          spans.push_back({"no edge from " + number(read.from_vertex), kMismatch, 2});
        }
        break;
      default:
        if (read.pattern_index >= 0 && read.pattern_index < e_.pattern_length) {
          spans.push_back({"x[" + number(read.pattern_index) + "] " +
                               readable_byte(pattern_byte(read.pattern_index)),
                           kPlain, 2});
        }
        if (read.result == SMTRACE_RESULT_MATCH) {
          spans.push_back({"match", kMatch, 2});
        } else if (read.result == SMTRACE_RESULT_MISMATCH) {
          spans.push_back({"mismatch", kMismatch, 2});
        } else {
          spans.push_back({"compared with no pattern byte", kPlain, 2});
        }
        break;
    }
    if (read.dropped != SMTRACE_RECORDED) {
      const char* why = smtrace_dropped_name(read.dropped);
      spans.push_back({std::string("dropped: ") + (why != nullptr ? why : "?"), kFaint, 2});
    }
    return spans;
  }

  void read_line(std::vector<Line>& lines, const Strip& strip, int64_t index) const {
    const smtrace_read& read = e_.reads[index];
    Line line;
    const std::string ordinal = number(index + 1);
    line.put(kIndent + number_width_ - ordinal.size(), ordinal, kFaint);
    auto [mark, style] = mark_of(read);
    if (read.dropped != SMTRACE_RECORDED) style = kFaint;
    line.put(gutter_ + strip.column(read.position), std::string(1, mark), style);
    const size_t column = gutter_ + strip.columns() + 2;
    flow(lines, std::move(line), column, column + 2, description(read));
  }

  void move_line(std::vector<Line>& lines, int64_t index) const {
    const smtrace_move& move = e_.moves[index];
    std::string text = move.shift == 0 ? "window stays at " + number(move.window)
                                       : "window moves " + std::string(move.shift > 0 ? "+" : "") +
                                             number(move.shift) + " to " + number(move.window);
    if (move.source != nullptr && *move.source != '\0') text += ": " + std::string(move.source);
    flow(lines, Line(), kIndent, kHangingIndent, words(text));
  }

  void note_line(std::vector<Line>& lines, int64_t index) const {
    flow(lines, Line(), kIndent, kHangingIndent, words(e_.notes[index].text));
  }

  void outcome_line(std::vector<Line>& lines, const smtrace_attempt& a) const {
    std::vector<Span> spans;
    const std::string outcome = a.outcome != nullptr ? a.outcome : "";
    if (outcome == "occurrence") {
      spans = words("occurrence at " + number(e_.occurrence >= 0 ? e_.occurrence : a.window), kFound);
    } else {
      spans = words(outcome + (a.shift_source != nullptr ? ";" : ""), kBold);
    }
    if (a.shift_source != nullptr) {
      for (Span& span : words("shift " + number(a.shift) + ": " + a.shift_source)) {
        spans.push_back(std::move(span));
      }
    }
    flow(lines, Line(), kIndent, kHangingIndent, spans);
  }

  void attempt(int64_t index) {
    const smtrace_attempt& a = e_.attempts[index];
    std::vector<Line> lines(1);
    Line heading;
    heading.put(0, "attempt " + number(index + 1) + ", window " + number(a.window), kBold);
    lines.push_back(std::move(heading));
    std::vector<int64_t> lead_notes;
    const std::vector<Segment> segments = segments_of(a, lead_notes);
    for (int64_t note : lead_notes) note_line(lines, note);
    std::vector<size_t> strip_of;
    const std::vector<Strip> strips = strips_for(segments, strip_of);
    for (size_t k = 0; k < segments.size(); ++k) {
      const Segment& segment = segments[k];
      Strip strip = strips[strip_of[k]];
      if (k == 0 || strip_of[k] != strip_of[k - 1]) strip_lines(lines, strip);
      pattern_line(lines, strip, segment.window);
      for (size_t i = 0; i < segment.items.size(); ++i) {
        const Item& item = segment.items[i];
        switch (item.kind) {
          case Item::kRead:
            // A window wider than a strip: the text is shown again around
            // the reads that come next.
            if (!strip.holds(e_.reads[item.index].position)) {
              strip = strip_for_reads(segment, i);
              strip_lines(lines, strip);
              pattern_line(lines, strip, segment.window);
            }
            read_line(lines, strip, item.index);
            break;
          case Item::kMove:
            move_line(lines, item.index);
            break;
          case Item::kNote:
            note_line(lines, item.index);
            break;
        }
      }
    }
    outcome_line(lines, a);
    emit(lines);
  }

  void end() {
    std::vector<Line> lines(1);
    const smtrace_counts& c = e_.counts;
    if (e_.occurrence >= 0) {
      flow(lines, Line(), 0, 0, words("occurrence at " + number(e_.occurrence), kFound));
    } else {
      flow(lines, Line(), 0, 0, words("no occurrence", kBold));
    }
    flow(lines, Line(), 0, kIndent,
         words("reads " + number(c.reads) + ": recorded " + number(c.recorded) + ", dropped " +
               number(c.dropped) + " (repeat " + number(c.dropped_repeat) + ", bound " +
               number(c.dropped_bound) + ")"));
    flow(lines, Line(), 0, kIndent,
         words("comparisons " + number(c.compares) + ", look-ahead " + number(c.look_aheads) +
               ", probe " + number(c.probes) + ", edge " + number(c.edges) + "; attempts " +
               number(c.attempts)));
    emit(lines);
  }

  const smtrace_explanation& e_;
  bool colour_;
  const std::function<void(const std::string&)>& write_;
  size_t number_width_ = 1;
  size_t gutter_ = 13;    // columns left of the strip
  size_t budget_ = 0;     // columns the strip may take
  bool plain_pattern_ = true;  // every pattern byte shows as one column
  std::map<int32_t, unsigned char> beyond_;  // bytes read at n and past it
  bool has_whole_ = false;
  Strip whole_;
};

}  // namespace

void write_explanation(const smtrace_explanation& explanation, bool colour,
                       const std::function<void(const std::string&)>& write) {
  View(explanation, colour, write).run();
}

std::string explanation_text(const smtrace_explanation& explanation, bool colour) {
  std::string text;
  write_explanation(explanation, colour, [&text](const std::string& piece) { text += piece; });
  return text;
}

}  // namespace smtrace
