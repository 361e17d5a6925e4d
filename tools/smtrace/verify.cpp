#include "verify.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "algorithms.h"
#include "failure.h"
#include "golden.h"
#include "library.h"
#include "report.h"
#include "verify_cases.h"
#include "verify_compare.h"
#include "verify_explain.h"
#include "verify_run.h"
#include "verify_shrink.h"

namespace smtrace {
namespace {

Failure usage(const std::string& message) { return Failure(kUsage, message); }

struct Options {
  std::vector<std::string> operands;
  int64_t cases = 1000;
  uint64_t seed = kDefaultSeed;
  int64_t longest_text = kDefaultLongestText;
  double timeout = 1.0;
  Format format = Format::kExact;
  std::optional<std::string> library;
  std::optional<std::string> entry;
  std::optional<std::string> cases_file;
  std::optional<std::string> name;
  std::optional<std::pair<int, int>> connect;
  std::vector<std::string> command;
  bool has_command = false;
  bool generated_options = false;  // --cases, --seed or --max-text given
  int64_t shrink_runs = 2000;
  bool list_cases = false;
  bool help = false;
};

double timeout_option(const std::string& value) {
  char* end = nullptr;
  errno = 0;
  const double seconds = std::strtod(value.c_str(), &end);
  if (value.empty() || *end != '\0' || errno != 0 || !(seconds > 0) || seconds > 86400) {
    throw usage("--timeout takes a number of seconds above 0 and up to 86400, not \"" + value +
                "\"");
  }
  return seconds;
}

std::pair<int, int> connect_option(const std::string& value) {
  const size_t comma = value.find(',');
  const auto descriptor = [&](const std::string& text) {
    const int64_t fd = count_option("--connect", text, 0, 1 << 20);
    if (fcntl(static_cast<int>(fd), F_GETFD) < 0) {
      throw usage("--connect: descriptor " + text + " is not open");
    }
    return static_cast<int>(fd);
  };
  if (comma == std::string::npos) throw usage("--connect takes READ_FD,WRITE_FD");
  return {descriptor(value.substr(0, comma)), descriptor(value.substr(comma + 1))};
}

Options parse(int argc, char** argv) {
  Options options;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") {
      options.has_command = true;
      options.command.assign(argv + i + 1, argv + argc);
      break;
    }
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0) {
      options.operands.push_back(arg);
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    if (name == "--list-cases") {
      if (equals != std::string::npos) throw usage("--list-cases takes no value");
      options.list_cases = true;
      continue;
    }
    static const char* const kValued[] = {"--cases", "--seed",   "--max-text", "--timeout",
                                          "--format", "--library", "--entry",   "--cases-file",
                                          "--connect", "--shrink-runs", "--name"};
    if (std::find_if(std::begin(kValued), std::end(kValued),
                     [&](const char* known) { return name == known; }) == std::end(kValued)) {
      throw usage("verify: unknown option " + name);
    }
    const std::string value = option_value(arg, equals, i, argc, argv);
    if (name == "--cases") {
      options.cases = count_option(name, value, 1, 10000000);
      options.generated_options = true;
    } else if (name == "--seed") {
      options.seed = seed_option(value);
      options.generated_options = true;
    } else if (name == "--max-text") {
      options.longest_text = count_option(name, value, 0, kLongestTextOption);
      options.generated_options = true;
    } else if (name == "--timeout") {
      options.timeout = timeout_option(value);
    } else if (name == "--format") {
      if (value != "exact" && value != "lenient") {
        throw usage("--format is exact or lenient, not \"" + value + "\"");
      }
      options.format = value == "exact" ? Format::kExact : Format::kLenient;
    } else if (name == "--shrink-runs") {
      options.shrink_runs = count_option(name, value, 0, 100000000);
    } else if (name == "--connect") {
      options.connect = connect_option(value);
    } else {
      if (value.empty()) throw usage(name + " needs a non-empty value");
      std::optional<std::string>& slot = name == "--library"      ? options.library
                                         : name == "--entry"        ? options.entry
                                         : name == "--cases-file" ? options.cases_file
                                                                    : options.name;
      if (slot) throw usage(name + " is given twice");
      slot = value;
    }
  }
  return options;
}

const Algorithm& chosen_algorithm(const std::string& name) {
  const Algorithm* algorithm = find_algorithm(name);
  if (algorithm == nullptr) {
    std::string names;
    for (const Algorithm& a : kAlgorithms) names += (names.empty() ? "" : ", ") + std::string(a.name);
    throw Failure(kUnknownAlgorithm,
                  "unknown algorithm \"" + name + "\"; the algorithms are " + names);
  }
  return *algorithm;
}

std::string list_cases(const Options& options) {
  std::optional<CaseLimits> limits;
  if (!options.operands.empty()) {
    limits = CaseLimits();
    limits->shortest_pattern = shortest_case_pattern(chosen_algorithm(options.operands[0]).name);
  }
  std::string out;
  for (const Family& family : case_families()) {
    const bool applies = !limits || family_applies(family, *limits);
    char line[256];
    std::snprintf(line, sizeof line, "%-12s %s%s\n", family.name, family.about,
                  applies ? "" : " (not for this algorithm: its patterns are longer)");
    out += line;
  }
  return out;
}

// ---------------------------------------------------------------------------
// The report.

std::string quoted(const std::string& bytes) {
  constexpr size_t kShown = 400;
  if (bytes.size() <= kShown) return "\"" + escaped(bytes) + "\"";
  return "\"" + escaped(bytes.substr(0, kShown)) + "\"... (cut)";
}

std::string bytes_count(size_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

std::string case_lines(const Case& c, const Implementation& subject) {
  std::string out = "  pattern " + quoted(c.pattern) + " (" + bytes_count(c.pattern.size()) + ")\n" +
                    "  text    " + quoted(c.text) + " (" + bytes_count(c.text.size()) + ")\n";
  const std::string again = subject.rerun(c.pattern, c.text);
  if (!again.empty() && again.size() < 600) out += "  run it:  " + again + "\n";
  return out;
}

std::string pad(const std::string& s, size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

std::string reads_count(int64_t n) { return std::to_string(n) + (n == 1 ? " read" : " reads"); }

std::string more_after(size_t n) {
  return n == 0 ? "" : " (and " + reads_count(static_cast<int64_t>(n)) + " more)";
}

// The two traces in columns, read by read, around the first difference,
// with a mark under it and what each side reads there.
std::string aligned_traces(const std::vector<int32_t>& expected, const Verdict& verdict,
                           const char* noun) {
  const std::vector<int32_t>& got = verdict.got.positions;
  const int64_t d = verdict.first_difference;
  const bool bad_at_d = !verdict.got.complete && d == static_cast<int64_t>(got.size());
  const int64_t longest =
      std::max<int64_t>(static_cast<int64_t>(expected.size()),
                        static_cast<int64_t>(got.size()) + (verdict.got.complete ? 0 : 1));
  const int64_t lo = std::max<int64_t>(0, d - 12);
  const int64_t hi = std::min<int64_t>(longest, d + 9);
  const std::string labels[3] = {"read", "reference", noun};
  std::string rows[3];
  for (int r = 0; r < 3; ++r) rows[r] = "    " + labels[r] + std::string(11 - labels[r].size(), ' ');
  size_t mark = 0;
  size_t width_at_mark = 1;
  if (lo > 0) {
    for (std::string& row : rows) row += " ...";
  }
  for (int64_t k = lo; k < hi; ++k) {
    const std::string index = std::to_string(k);
    const std::string e =
        k < static_cast<int64_t>(expected.size()) ? std::to_string(expected[static_cast<size_t>(k)]) : "";
    std::string g = k < static_cast<int64_t>(got.size()) ? std::to_string(got[static_cast<size_t>(k)]) : "";
    if (!verdict.got.complete && k == static_cast<int64_t>(got.size())) g = "?";
    const size_t width = std::max({index.size(), e.size(), g.size()});
    if (k == d) {
      mark = rows[0].size() + 1;
      width_at_mark = width;
    }
    rows[0] += " " + pad(index, width);
    rows[1] += " " + pad(e, width);
    rows[2] += " " + pad(g, width);
  }
  if (hi < longest) {
    for (std::string& row : rows) row += " ...";
  }
  std::string out;
  for (std::string& row : rows) {
    while (!row.empty() && row.back() == ' ') row.pop_back();
    out += row + "\n";
  }
  const std::string n = std::string("the ") + noun;
  std::string what;
  const bool has_expected = d < static_cast<int64_t>(expected.size());
  const std::string expected_at = has_expected ? std::to_string(expected[static_cast<size_t>(d)]) : "";
  if (bad_at_d) {
    what = "read " + std::to_string(d) + ": " + n + " prints " + quoted(verdict.got.bad_token) +
           ", which is not a position; " +
           (has_expected ? "the reference reads " + expected_at
                         : "the reference has stopped after " + reads_count(d));
  } else if (has_expected && d < static_cast<int64_t>(got.size())) {
    what = "read " + std::to_string(d) + ": the reference reads " + expected_at + ", " + n +
           " reads " + std::to_string(got[static_cast<size_t>(d)]);
  } else if (has_expected) {
    what = n + " stops after " + reads_count(d) + "; the reference reads " + expected_at + " next" +
           more_after(expected.size() - static_cast<size_t>(d) - 1);
  } else {
    what = "the reference stops after " + reads_count(d) + "; " + n + " reads " +
           std::to_string(got[static_cast<size_t>(d)]) + " next" +
           more_after(got.size() - static_cast<size_t>(d) - 1);
  }
  out += std::string(mark + width_at_mark - 1, ' ') + "^ " + what + "\n";
  return out;
}

std::string first_lines(const std::string& text, size_t count) {
  std::string out;
  size_t at = 0;
  for (size_t line = 0; line < count && at < text.size(); ++line) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string piece = text.substr(at, end - at);
    if (piece.size() > 200) piece = piece.substr(0, 200) + "...";
    out += "    | " + escaped(piece) + "\n";
    at = end + 1;
  }
  if (at < text.size()) out += "    | ...\n";
  return out;
}

std::string how_it_ended(const RunOutcome& outcome, const Implementation& subject, double timeout) {
  const std::string n = std::string("the ") + subject.noun();
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g s", timeout);
  switch (outcome.kind) {
    case RunOutcome::kExited:
      return n + " ended with status " + std::to_string(outcome.code);
    case RunOutcome::kSignaled:
      return n + " was killed by signal " + std::to_string(outcome.code) + " (" +
             signal_name(outcome.code) + ")";
    case RunOutcome::kTimedOut:
      return std::string(subject.usable() ? n + " did not end within " + seconds + "; it was killed"
                                          : n + " did not answer within " + seconds);
    case RunOutcome::kOutputLimit:
      return n + " wrote more than " + std::to_string(kLongestOutput >> 20) +
             " MiB; it was stopped";
    case RunOutcome::kEntryExited:
      return "the entry function ended its process (status " + std::to_string(outcome.code) +
             ") instead of returning its trace";
    case RunOutcome::kRaised:
      return n + " failed: " + outcome.errors;
    case RunOutcome::kGone:
      return n + "'s end of the pipes closed";
    case RunOutcome::kFinished:
      break;
  }
  return n + " ended";
}

struct Checked {
  Case c;
  std::vector<int32_t> expected;
  RunOutcome outcome;
  Verdict verdict;
};

class Verifier {
 public:
  Verifier(const Algorithm& algorithm, const Options& options, Implementation& subject,
           const Library& reference, Explainer& explainer)
      : algorithm_(algorithm),
        options_(options),
        subject_(subject),
        reference_(reference),
        explainer_(explainer) {}

  Checked check(const Case& c, const std::optional<std::vector<int32_t>>& expected) {
    Checked checked;
    checked.c = c;
    checked.expected = expected ? *expected : reference_.search(c.pattern, c.text);
    checked.outcome = subject_.run(c.pattern, c.text);
    checked.verdict = judge(checked.outcome, checked.expected, options_.format);
    return checked;
  }

  // What went wrong in one case, and the reference's account of the
  // attempt where it went wrong.
  std::string describe(const Checked& k) {
    std::string out = case_lines(k.c, subject_);
    const char* noun = subject_.noun();
    out += "\n";
    if (k.verdict.kind == Verdict::kFormat) {
      out += "  the positions agree, but not the bytes: from byte " +
             std::to_string(k.verdict.first_byte) + " on\n" +
             "    reference  " + quoted(trace_line(k.expected)) + "\n" + "    " + noun +
             std::string(11 - std::strlen(noun), ' ') + quoted(k.outcome.output) + "\n" +
             "  (the exact format is each position and one blank, then a newline; "
             "--format lenient takes any whitespace)\n";
    } else {
      if (k.verdict.kind == Verdict::kRun) {
        out += "  " + how_it_ended(k.outcome, subject_, options_.timeout) + "\n";
      }
      const bool printed = !k.outcome.output.empty() || k.verdict.kind == Verdict::kTrace;
      if (printed) {
        if (k.verdict.kind == Verdict::kRun) out += "  what it printed before, read by read:\n";
        if (k.verdict.first_difference < static_cast<int64_t>(k.expected.size()) ||
            k.verdict.first_difference < static_cast<int64_t>(k.verdict.got.positions.size()) ||
            !k.verdict.got.complete) {
          out += aligned_traces(k.expected, k.verdict, noun);
        } else {
          out += "    the same positions as the reference\n";
        }
      } else {
        out += "  the reference's trace: " + trace_line(k.expected);
      }
    }
    if (!k.outcome.errors.empty() && k.outcome.kind != RunOutcome::kRaised) {
      out += std::string("  ") +
             (std::strcmp(noun, "library") == 0 ? "what the library printed itself:\n"
                                                : "its standard error:\n") +
             first_lines(k.outcome.errors, 6);
    }
    out += explanation(k);
    return out;
  }

  std::string explanation(const Checked& k) {
    if (k.verdict.kind == Verdict::kFormat) return "";
    Explainer::Explanation e = explainer_.explain(algorithm_.name, k.c.pattern, k.c.text);
    if (!e) return "\n  (no explanation: " + explainer_.why_not() + ")\n";
    std::string out = "\n";
    std::vector<int32_t> explained;
    for (int64_t r = 0; r < e->read_count; ++r) {
      if (e->reads[r].dropped == SMTRACE_RECORDED) explained.push_back(e->reads[r].position);
    }
    if (explained != k.expected) {
      out += "  (the reference library's trace for this case differs from the one expected here;\n"
             "   what follows explains the library's search)\n";
    }
    const int64_t d = k.verdict.first_difference;
    // A run that printed nothing before it failed has no read to point at.
    if (k.verdict.kind == Verdict::kRun && k.outcome.output.empty()) {
      out += "  the reference's search, attempt by attempt (positions left out of the trace in "
             "parentheses):\n" +
             render_overview(*e);
      return out;
    }
    if (d < static_cast<int64_t>(explained.size())) {
      const int64_t marked = read_of_trace_index(*e, d);
      const int64_t attempt = e->reads[marked].attempt;
      const smtrace_attempt& a = e->attempts[attempt];
      bool first_of_attempt = true;
      for (int64_t r = a.first_read; r < marked; ++r) {
        if (e->reads[r].dropped == SMTRACE_RECORDED) first_of_attempt = false;
      }
      out += first_of_attempt && attempt > 0
                 ? "  the reference's read " + std::to_string(d) + " is the first of its attempt " +
                       std::to_string(attempt) + "; the attempt before, whose shift placed it:\n"
                 : "  the reference's read " + std::to_string(d) + " belongs to its attempt " +
                       std::to_string(attempt) + ":\n";
      if (first_of_attempt && attempt > 0) {
        out += render_attempt(*e, attempt - 1, -1, "");
        out += "  and the attempt itself:\n";
      }
      out += render_attempt(*e, attempt, marked, "first difference");
    } else if (!explained.empty()) {
      const int64_t last = read_of_trace_index(*e, static_cast<int64_t>(explained.size()) - 1);
      out += "  the reference's trace ends with read " + std::to_string(explained.size() - 1) +
             ", in its last attempt:\n" + render_attempt(*e, e->reads[last].attempt, last, "last read");
      if (e->reads[last].attempt + 1 < e->attempt_count) {
        out += render_overview(*e);
      }
    } else {
      out += "  the reference reads nothing here:\n" + render_overview(*e);
    }
    return out;
  }

 private:
  const Algorithm& algorithm_;
  const Options& options_;
  Implementation& subject_;
  const Library& reference_;
  Explainer& explainer_;
};

// A path for the report: below the current directory relative to it, else
// absolute, without "dir/.." steps.
std::string shown_path(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error).lexically_normal();
  if (error) return path;
  const std::filesystem::path here = std::filesystem::current_path(error);
  if (error) return absolute.string();
  const std::filesystem::path relative = absolute.lexically_relative(here);
  if (relative.empty() || *relative.begin() == "..") return absolute.string();
  return relative.string();
}

std::unique_ptr<Implementation> subject_of(const Options& options, const Algorithm& algorithm) {
  const int ways = (options.has_command ? 1 : 0) + (options.library ? 1 : 0) + (options.connect ? 1 : 0);
  if (ways != 1) {
    throw usage("verify checks one implementation: -- COMMAND [ARGS...], --library PATH or "
                "--connect READ_FD,WRITE_FD");
  }
  if (options.entry && !options.library) throw usage("--entry goes with --library");
  if (options.has_command) {
    if (options.command.empty()) throw usage("verify: no command after --");
    return program(options.command, options.timeout);
  }
  if (options.library) {
    return library(*options.library, options.entry ? *options.entry : algorithm.name,
                   options.timeout);
  }
  return connected(options.connect->first, options.connect->second, options.timeout);
}

}  // namespace

std::string option_value(const std::string& arg, size_t equals, int& i, int argc, char** argv) {
  if (equals != std::string::npos) return arg.substr(equals + 1);
  if (i + 1 < argc) return argv[++i];
  throw usage(arg.substr(0, equals) + " needs a value");
}

int64_t count_option(const std::string& name, const std::string& value, int64_t lowest,
                     int64_t highest) {
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || errno != 0 || parsed < lowest || parsed > highest ||
      !(value[0] >= '0' && value[0] <= '9')) {
    throw usage(name + " takes a whole number from " + std::to_string(lowest) + " to " +
                std::to_string(highest) + ", not \"" + value + "\"");
  }
  return parsed;
}

uint64_t seed_option(const std::string& value) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long parsed = std::strtoull(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || errno != 0 || !(value[0] >= '0' && value[0] <= '9')) {
    throw usage("--seed takes a whole number from 0 to 18446744073709551615, not \"" + value + "\"");
  }
  return parsed;
}

std::string verify_help() {
  return "usage: smtrace verify ALGORITHM [OPTIONS] -- COMMAND [ARGS...]\n"
         "       smtrace verify ALGORITHM [OPTIONS] --library PATH [--entry NAME]\n"
         "       smtrace verify ALGORITHM [OPTIONS] --connect READ_FD,WRITE_FD\n"
         "       smtrace verify [ALGORITHM] --list-cases\n"
         "       smtrace golden ALGORITHM [--cases N] [--seed S] [--max-text N] [--output FILE]\n"
         "\n"
         "verify checks another implementation of ALGORITHM against the reference, the\n"
         "deliverable library lib<ALGORITHM>.so: on each case it runs both and compares\n"
         "the implementation's trace with the reference's. It stops at the first case\n"
         "where they differ, shows both traces with the first differing read marked and\n"
         "the reference's explanation of the attempt that read belongs to (from\n"
         "libsmtrace.so), then shrinks the case to a small one that still differs the\n"
         "same way and shows that one too.\n"
         "\n"
         "the implementation:\n"
         "  -- COMMAND [ARGS...]   runs COMMAND ARGS... PATTERN TEXT for each case (no\n"
         "                         shell; PATH is searched) and reads the trace from its\n"
         "                         standard output; it must end with status 0\n"
         "  --library PATH         calls the entry function of the shared library PATH,\n"
         "                         trace_node* entry(const char* x, int32_t m, char* y,\n"
         "                         int32_t n), in a child process, with a zeroed text\n"
         "                         buffer of n + m + 2 bytes\n"
         "  --entry NAME           the entry's name (default: the algorithm's)\n"
         "  --connect R,W          a function on the other end of two inherited\n"
         "                         descriptors: each case goes out on W as one JSON line\n"
         "                         {\"pattern\": ..., \"text\": ...} (bytes as in golden\n"
         "                         files), the trace comes back on R as one line in the\n"
         "                         command-line format, or \"!\" and an error message\n"
         "                         (smtrace.verify in the Python package serves one)\n"
         "\n"
         "options:\n"
         "  --cases N              cases to generate (default 1000)\n"
         "  --seed S               their seed (default 1): a seed gives the same cases\n"
         "  --max-text N           the longest text (default 40, at most 100000)\n"
         "  --cases-file FILE      replay the cases of a golden file instead, each against\n"
         "                         the trace the file holds (or, without one, the\n"
         "                         reference's); shrunk cases are checked against the\n"
         "                         reference\n"
         "  --format exact         (default) the output must be the reference's bytes:\n"
         "                         each position and a blank, then a newline\n"
         "  --format lenient       the positions, separated by any whitespace\n"
         "  --timeout SECONDS      the time a case may take (default 1)\n"
         "  --shrink-runs N        the most cases shrinking tries (default 2000)\n"
         "  --name TEXT            how the report's first line names the implementation\n"
         "  --list-cases           print the case families and stop\n"
         "\n"
         "Cases: patterns of 1 to 19 bytes (never below the routine's shortest pattern,\n"
         "2 for not_so_naive), texts of bytes 1 to 127 (no zero byte: argv cannot hold\n"
         "one), drawn in turn from the families of --list-cases. A case that times out,\n"
         "crashes, ends with a status other than 0 or prints more than 64 MiB diverges\n"
         "too.\n"
         "\n"
         "golden writes the generated cases with the reference's traces as JSON Lines\n"
         "(docs/golden.md), to standard output or to FILE; its defaults are 100 cases,\n"
         "seed 1 and texts of up to 40 bytes.\n"
         "\n"
         "exit status of verify:\n"
         "  0  every case agrees\n"
         "  1  a case diverges (the report says which, and how)\n"
         "  2  bad usage, or the command cannot be started\n"
         "  3  unknown algorithm\n"
         "  4  the reference library, or the library checked, or its entry, cannot be loaded\n"
         "  5  the cases file cannot be read, or a line of it is not a case\n"
         "  6  a case of the file cannot be run: a pattern the reference refuses, or a zero\n"
         "     byte for a command\n";
}

int verify_command(int argc, char** argv) {
  const Options options = parse(argc, argv);
  if (options.help) {
    std::fputs(verify_help().c_str(), stdout);
    return kOk;
  }
  if (options.list_cases) {
    if (options.operands.size() > 1) throw usage("verify --list-cases takes at most ALGORITHM");
    std::fputs(list_cases(options).c_str(), stdout);
    return kOk;
  }
  if (options.operands.size() != 1) {
    throw usage("verify takes the operand ALGORITHM; " + std::to_string(options.operands.size()) +
                " given (the command and its arguments go after --)");
  }
  if (options.cases_file && options.generated_options) {
    throw usage("--cases-file replays a file: --cases, --seed and --max-text do not apply");
  }
  const Algorithm& algorithm = chosen_algorithm(options.operands[0]);
  const std::unique_ptr<Implementation> subject = subject_of(options, algorithm);

  // The cases, each with the trace it must give when a file says so.
  CaseLimits limits;
  limits.shortest_pattern = shortest_case_pattern(algorithm.name);
  limits.longest_text = static_cast<int32_t>(options.longest_text);
  std::vector<Case> cases;
  std::vector<std::optional<std::vector<int32_t>>> expected;
  std::vector<int64_t> lines;
  if (options.cases_file) {
    for (GoldenCase& golden : read_golden(*options.cases_file)) {
      const std::string where = *options.cases_file + " line " + std::to_string(golden.line);
      const int32_t refused = algorithm.refused_byte(golden.c.pattern);
      if (refused >= 0) {
        throw Failure(kRefusedInput, where + ": " + algorithm.name + " refuses the pattern: " +
                                         refusal(golden.c.pattern, refused));
      }
      if (options.has_command &&
          (golden.c.pattern.find('\0') != std::string::npos ||
           golden.c.text.find('\0') != std::string::npos)) {
        throw Failure(kRefusedInput,
                      where + ": a zero byte, which a command's arguments cannot carry");
      }
      cases.push_back(std::move(golden.c));
      expected.push_back(std::move(golden.trace));
      lines.push_back(golden.line);
    }
  } else {
    cases = generate_cases(options.seed, options.cases, limits);
    expected.resize(cases.size());
  }

  const std::string directory = library_directory();
  const Library reference(algorithm, directory);
  subject->prepare();
  Explainer explainer(directory);
  Verifier verifier(algorithm, options, *subject, reference, explainer);

  std::string header = "verify " + std::string(algorithm.name) + ": " +
                       (options.name ? *options.name : subject->describe()) +
                       "\n  against the reference, " +
                       shown_path(directory + "/lib" + algorithm.name + ".so") + "\n";
  if (options.has_command || options.connect) {
    header += options.format == Format::kExact
                  ? "  format exact: the output must be the reference's bytes, each position and a "
                    "blank, then a newline\n"
                  : "  format lenient: the output must hold the reference's positions, separated by "
                    "any whitespace\n";
  }
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g s", options.timeout);
  if (options.cases_file) {
    header += "  " + std::to_string(cases.size()) + " cases from " + *options.cases_file + ", " +
              seconds + " each at most\n";
  } else {
    header += "  " + std::to_string(cases.size()) + " cases from seed " +
              std::to_string(options.seed) + ": patterns of " +
              std::to_string(limits.shortest_pattern) + " to 19 bytes, texts of up to " +
              std::to_string(limits.longest_text) + ", " + seconds + " each at most\n";
  }
  std::fputs(header.c_str(), stdout);
  std::fflush(stdout);

  for (size_t i = 0; i < cases.size(); ++i) {
    Checked first = verifier.check(cases[i], expected[i]);
    if (first.verdict.agrees()) continue;

    const std::string where =
        options.cases_file ? "line " + std::to_string(lines[i]) + " of " + *options.cases_file
                           : "case " + std::to_string(i) + " of " + std::to_string(cases.size()) +
                                 " (" + cases[i].family + ")";
    std::string report = "\nDIVERGES at " + where +
                         (i == 0 ? std::string(":\n")
                                 : " (the " + std::to_string(i) + " before it agree):\n") +
                         verifier.describe(first);
    std::fputs(report.c_str(), stdout);
    std::fflush(stdout);

    std::string summary = "\n1 divergence, at " + where;
    if (!subject->usable()) {
      std::fputs("\nnot shrunk: the function cannot be asked again after it failed to answer\n",
                 stdout);
    } else if (options.shrink_runs > 0) {
      const std::string kind = divergence_kind(first.outcome, first.verdict);
      Checked last = first;
      const Shrunk shrunk =
          shrink(first.c, limits.shortest_pattern, options.shrink_runs, [&](const Case& c) {
            Checked k = verifier.check(c, std::nullopt);
            if (k.verdict.agrees() || divergence_kind(k.outcome, k.verdict) != kind) return false;
            last = std::move(k);
            return true;
          });
      std::string shrunk_report =
          "\nSHRUNK in " + std::to_string(shrunk.runs) + " runs" +
          (shrunk.out_of_runs ? " (all --shrink-runs allowed; it may shrink further)" : "") +
          " to a case that diverges the same way:\n" + verifier.describe(last);
      std::fputs(shrunk_report.c_str(), stdout);
      summary += "; shrunk to a pattern of " + bytes_count(last.c.pattern.size()) +
                 " and a text of " + bytes_count(last.c.text.size());
    }
    std::fputs((summary + "\n").c_str(), stdout);
    std::fflush(stdout);
    return 1;
  }
  std::printf("\nall %zu cases agree\n", cases.size());
  std::fflush(stdout);
  return kOk;
}

}  // namespace smtrace
