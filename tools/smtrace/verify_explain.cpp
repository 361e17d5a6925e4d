#include "verify_explain.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace smtrace {
namespace {

std::string quoted_byte(unsigned char c) {
  if (c == '\'') return "'\\''";
  return "'" + escaped(std::string(1, static_cast<char>(c))) + "'";
}

// A picture cell: the byte as escaped() writes it, a blank as \x20.
std::string cell(unsigned char c) {
  if (c == ' ') return "\\x20";
  return escaped(std::string(1, static_cast<char>(c)));
}

std::string pad_left(const std::string& s, size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

std::string pad_right(const std::string& s, size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

// The rows position / text / pattern over the columns lo..hi, the pattern
// with x[0] under y[window].
std::string picture(const smtrace_explanation& e, int32_t window, int32_t lo, int32_t hi,
                    const std::string& indent) {
  std::vector<std::string> rows[3];
  for (int32_t p = lo; p <= hi; ++p) {
    std::string number = std::to_string(p);
    std::string text = p >= 0 && p < e.text_length ? cell(static_cast<unsigned char>(e.text[p])) : "";
    const int64_t k = static_cast<int64_t>(p) - window;
    std::string pattern = k >= 0 && k < e.pattern_length
                              ? cell(static_cast<unsigned char>(e.pattern[k]))
                              : "";
    const size_t width = std::max({number.size(), text.size(), pattern.size()});
    rows[0].push_back(pad_left(number, width));
    rows[1].push_back(pad_left(text, width));
    rows[2].push_back(pad_left(pattern, width));
  }
  const char* names[3] = {"position", "text", "pattern"};
  std::string out;
  for (int r = 0; r < 3; ++r) {
    std::string line = indent + pad_right(names[r], 9);
    for (const std::string& c : rows[r]) line += " " + c;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  }
  return out;
}

std::string describe_read(const smtrace_explanation& e, const smtrace_read& r) {
  std::string out = "y[" + std::to_string(r.position) + "] = " + quoted_byte(r.byte);
  switch (r.role) {
    case SMTRACE_ROLE_COMPARE:
      if (r.pattern_index >= 0 && r.pattern_index < e.pattern_length) {
        out += " compared with x[" + std::to_string(r.pattern_index) + "] = " +
               quoted_byte(static_cast<unsigned char>(e.pattern[r.pattern_index]));
      } else {
        out += " compared";
      }
      if (r.result == SMTRACE_RESULT_MATCH) out += ": match";
      if (r.result == SMTRACE_RESULT_MISMATCH) out += ": mismatch";
      break;
    case SMTRACE_ROLE_LOOK_AHEAD:
      out += " look-ahead, past the window";
      break;
    case SMTRACE_ROLE_PROBE:
      out += " probe: looked up in the pattern's list of positions of that character";
      break;
    case SMTRACE_ROLE_EDGE:
      if (r.result == SMTRACE_RESULT_EDGE) {
        out += " edge from vertex " + std::to_string(r.from_vertex) + " to " +
               std::to_string(r.to_vertex);
        std::string about;
        if (r.edge_shift >= 0) about = "shift " + std::to_string(r.edge_shift);
        if (r.terminal == 1) about += std::string(about.empty() ? "" : ", ") + "terminal";
        if (!about.empty()) out += " (" + about + ")";
        out += ": d = " + std::to_string(r.d) + ", s = " + std::to_string(r.s);
      } else {
        out += " no edge from vertex " + std::to_string(r.from_vertex);
      }
      break;
    default:
      break;
  }
  if (r.dropped == SMTRACE_DROPPED_REPEAT) {
    out += " (left out of the trace: read before in this attempt's window)";
  } else if (r.dropped == SMTRACE_DROPPED_BOUND) {
    out += " (left out of the trace: at or past the text's end, n = " +
           std::to_string(e.text_length) + ")";
  }
  return out;
}

std::string describe_move(const smtrace_move& move) {
  std::string out = move.shift == 0 ? "window stays at " + std::to_string(move.window)
                                    : "window moves to " + std::to_string(move.window) + " (+" +
                                          std::to_string(move.shift) + ")";
  if (move.source != nullptr) out += std::string(": ") + move.source;
  return out;
}

}  // namespace

std::string escaped(const std::string& bytes) {
  std::string out;
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c >= 0x20 && c < 0x7f) {
          out += ch;
        } else {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02x", c);
          out += hex;
        }
    }
  }
  return out;
}

Explainer::Explainer(std::string directory) : directory_(std::move(directory)) {}

Explainer::~Explainer() {
  if (handle_ != nullptr) dlclose(handle_);
}

bool Explainer::load() {
  if (tried_) return explain_ != nullptr;
  tried_ = true;
  const std::string path = directory_ + "/libsmtrace.so";
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    why_not_ = std::string("cannot load the explaining library: ") + dlerror();
    return false;
  }
  explain_ = reinterpret_cast<decltype(explain_)>(dlsym(handle_, "smtrace_explain"));
  free_ = reinterpret_cast<decltype(free_)>(dlsym(handle_, "smtrace_explanation_free"));
  if (explain_ == nullptr || free_ == nullptr) {
    explain_ = nullptr;
    why_not_ = path + " lacks smtrace_explain or smtrace_explanation_free";
    return false;
  }
  return true;
}

Explainer::Explanation Explainer::explain(const char* algorithm, const std::string& pattern,
                                          const std::string& text) {
  if (!load()) return Explanation(nullptr, Free{nullptr});
  smtrace_explanation* out = nullptr;
  const int status = explain_(algorithm, pattern.data(), static_cast<int32_t>(pattern.size()),
                              text.data(), static_cast<int32_t>(text.size()), &out);
  if (status != SMTRACE_OK || out == nullptr) {
    why_not_ = "the explaining library gave status " + std::to_string(status);
    return Explanation(nullptr, Free{free_});
  }
  return Explanation(out, Free{free_});
}

int64_t read_of_trace_index(const smtrace_explanation& e, int64_t k) {
  for (int64_t r = 0; r < e.read_count; ++r) {
    if (e.reads[r].trace_index == k && e.reads[r].dropped == SMTRACE_RECORDED) return r;
  }
  return -1;
}

std::string render_attempt(const smtrace_explanation& e, int64_t index, int64_t marked,
                           const std::string& label) {
  const smtrace_attempt& a = e.attempts[index];
  const std::string indent = "    ";
  std::string out = indent + "attempt " + std::to_string(index) + " of " +
                    std::to_string(e.attempt_count) + ", window at " + std::to_string(a.window) +
                    " (x[0] under y[" + std::to_string(a.window) + "]):\n";

  // The columns: the window and every read of the attempt, two more on
  // each side within the text, at most 60 around the marked read.
  const int32_t shown_window = marked >= 0 ? e.reads[marked].window : a.window;
  int32_t lo = shown_window;
  int32_t hi = shown_window + std::max(e.pattern_length, 1) - 1;
  for (int64_t r = a.first_read; r < a.first_read + a.read_count; ++r) {
    lo = std::min(lo, e.reads[r].position);
    hi = std::max(hi, e.reads[r].position);
  }
  lo = std::max(0, lo - 2);
  hi = std::min(hi + 2, std::max(e.text_length - 1, hi));
  if (hi - lo + 1 > 60) {
    const int32_t focus = marked >= 0 ? e.reads[marked].position : shown_window;
    lo = std::max(lo, focus - 30);
    hi = std::min(hi, lo + 59);
  }
  out += picture(e, shown_window, lo, hi, indent + "  ");
  if (shown_window != a.window) {
    out += indent + "  (the pattern as the window stood at the marked read)\n";
  }

  // Reads, with the moves and notes that come after each one.
  auto notes_after = [&](int64_t read) {
    std::string lines;
    for (int64_t k = a.first_note; k < a.first_note + a.note_count; ++k) {
      if (e.notes[k].after_read == read) lines += indent + "  note: " + e.notes[k].text + "\n";
    }
    for (int64_t k = a.first_move; k < a.first_move + a.move_count; ++k) {
      if (e.moves[k].after_read == read) lines += indent + "  " + describe_move(e.moves[k]) + "\n";
    }
    return lines;
  };
  out += notes_after(-1);
  int64_t from = a.first_read;
  int64_t to = a.first_read + a.read_count;
  if (a.read_count > 24) {
    const int64_t focus = marked >= from && marked < to ? marked : from;
    from = std::max(from, focus - 10);
    to = std::min(to, std::max(focus, from) + 11);
  }
  if (from > a.first_read) {
    out += indent + "  ... " + std::to_string(from - a.first_read) + " reads before\n";
  }
  for (int64_t r = from; r < to; ++r) {
    const smtrace_read& read = e.reads[r];
    std::string number = read.dropped == SMTRACE_RECORDED
                             ? "read " + std::to_string(read.trace_index)
                             : "not kept";
    std::string line = indent + "  " + pad_right(number, 9) + " " + describe_read(e, read);
    if (r == marked) line += "   <- " + label;
    out += line + "\n";
    out += notes_after(r);
  }
  if (to < a.first_read + a.read_count) {
    out += indent + "  ... " + std::to_string(a.first_read + a.read_count - to) + " reads after\n";
  }
  if (a.read_count == 0) out += indent + "  (no read)\n";

  out += indent + "  outcome: " + (a.outcome != nullptr ? a.outcome : "none");
  if (a.outcome != nullptr && std::strcmp(a.outcome, "occurrence") == 0 && e.occurrence >= 0) {
    out += " at " + std::to_string(e.occurrence) + ": the routine returns";
  }
  out += "\n";
  if (a.shift_source != nullptr) {
    out += indent + "  shift " + std::to_string(a.shift) + ", from " + a.shift_source +
           ": the next window starts at " + std::to_string(a.window + a.shift);
    if (index + 1 == e.attempt_count) out += ", past the last one that fits: the search ends";
    out += "\n";
  }
  return out;
}

std::string render_overview(const smtrace_explanation& e) {
  const std::string indent = "    ";
  if (e.attempt_count == 0) return indent + "no attempt: the reference reads nothing\n";
  std::string out;
  const int64_t shown = std::min<int64_t>(e.attempt_count, 30);
  for (int64_t k = 0; k < shown; ++k) {
    const smtrace_attempt& a = e.attempts[k];
    std::string reads;
    for (int64_t r = a.first_read; r < a.first_read + a.read_count; ++r) {
      const smtrace_read& read = e.reads[r];
      reads += " " + (read.dropped == SMTRACE_RECORDED ? std::to_string(read.position)
                                                       : "(" + std::to_string(read.position) + ")");
    }
    out += indent + "attempt " + std::to_string(k) + ", window at " + std::to_string(a.window) +
           ": reads" + (reads.empty() ? " none" : reads) + "; " +
           (a.outcome != nullptr ? a.outcome : "none");
    if (a.shift_source != nullptr) {
      out += "; shift " + std::to_string(a.shift) + " (" + a.shift_source + ")";
    }
    out += "\n";
  }
  if (shown < e.attempt_count) {
    out += indent + "... " + std::to_string(e.attempt_count - shown) + " attempts more\n";
  }
  return out;
}

}  // namespace smtrace
