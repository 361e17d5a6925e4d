// smtrace: runs the string-matching trace libraries as a host does and shows
// what they read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "algorithms.h"
#include "explain_view.h"
#include "explanation.h"
#include "failure.h"
#include "figures.h"
#include "library.h"
#include "page.h"
#include "report.h"
#include "verify.h"
#include "golden.h"
#include "study.h"
#include "output.h"

namespace smtrace {
namespace {

constexpr const char* kUsageLines =
    "usage: smtrace run ALGORITHM PATTERN TEXT [--json | --format csv] [--svg FILE]\n"
    "       smtrace compare PATTERN TEXT [--algorithms A,B,...] [--json] [--svg FILE]\n"
    "                       [--html FILE]\n"
    "       smtrace explain ALGORITHM PATTERN TEXT [--json] [--html FILE]   (or show)\n"
    "       smtrace verify ALGORITHM [OPTIONS] -- COMMAND [ARGS...]\n"
    "       smtrace golden ALGORITHM [--cases N] [--seed S] [--output FILE]\n"
    "       smtrace study [OPTION]... (smtrace study --help lists them)\n"
    "       smtrace help [COMMAND]  |  smtrace --help  |  smtrace --version\n"
    "PATTERN may be given as --pattern-file FILE, TEXT as --text-file FILE (- for\n"
    "standard input), with --strip-newline; -- ends the options.\n";

constexpr size_t kLongestOperand = std::numeric_limits<int32_t>::max();

// Words in lines of at most 80 columns, the lines after the first indented.
std::string wrapped(const std::string& text, size_t indent) {
  std::string out;
  for (const std::string& line : wrap_words(text, 80 - indent)) {
    if (!out.empty()) out += "\n" + std::string(indent, ' ');
    out += line;
  }
  return out;
}

// The options of run, compare and explain: each with the commands that take
// it ("" = all three).
struct OptionHelp {
  const char* commands;
  const char* text;
};
constexpr OptionHelp kOptions[] = {
    {"run compare explain",
     "  --pattern-file FILE  the pattern is the bytes of FILE (- for standard\n"
     "                       input); leave out PATTERN\n"},
    {"run compare explain",
     "  --text-file FILE     the text is the bytes of FILE (- for standard input,\n"
     "                       not both); leave out TEXT\n"},
    {"run compare explain",
     "  --strip-newline      strip one final LF or CRLF from the pattern and text\n"
     "                       files (echo adds one); without it a pattern file that\n"
     "                       ends with one has a warning on standard error\n"},
    {"run",
     "  --json               (run) print the trace as a JSON array of positions\n"},
    {"run",
     "  --format FORMAT      (run) line: the routine's own command-line form (the\n"
     "                       default); csv: a header line read,position, then a\n"
     "                       line per read: its number from 0, its position;\n"
     "                       json: the same as --json\n"},
    {"compare",
     "  --algorithms A,B,... (compare) only these algorithms, in this order\n"},
    {"compare",
     "  --json               (compare) print the figures as JSON instead, a refused\n"
     "                       routine with its \"refusal\"\n"},
    {"explain",
     "  --json               (explain) print the explaining library's JSON of the\n"
     "                       search\n"},
    {"run compare",
     "  --svg FILE           (run, compare) also write an SVG plot of read order\n"
     "                       against text position, one panel per algorithm\n"},
    {"compare explain",
     "  --html FILE          (explain, compare) write a page that plays the search\n"
     "                       read by read (compare: all of them, side by side);\n"
     "                       explain then prints nothing unless given --json\n"},
    {"run compare explain",
     "                       FILE - is standard output; a FIFO, a terminal or\n"
     "                       /dev/fd/N is written in place; a regular file (or\n"
     "                       the file a link names) is replaced whole\n"},
    {"run compare explain",
     "  -h, --help           this command's usage and options\n"
     "  --                   the arguments after it are operands (a pattern -ab)\n"},
};

// The options for one command, or for all of them.
std::string options_help(const std::string& command) {
  std::string text;
  for (const OptionHelp& option : kOptions) {
    const std::string commands = std::string(" ") + option.commands + " ";
    if (!command.empty() && commands.find(" " + command + " ") == std::string::npos) continue;
    text += option.text;
  }
  return text;
}

std::string help() {
  std::string text = kUsageLines;
  text +=
      "\n"
      "Runs string-matching routines from their libraries and reports the text\n"
      "positions each one reads, in order, while it looks for the first occurrence\n"
      "of PATTERN in TEXT.\n"
      "\n"
      "commands:\n"
      "  run      print the trace as the routine's own command line prints it: each\n"
      "           position and a blank, then a newline\n"
      "  compare  run every algorithm and print two tables, a row per algorithm in\n"
      "           each: the trace (the reads recorded, the distinct positions among\n"
      "           them, recorded reads per text character, the most recorded reads of\n"
      "           one position, and where the routine itself found the pattern); then\n"
      "           every read it made, recorded or not, by what it was for (compare,\n"
      "           look-ahead, probe, edge), the reads dropped, and the attempts\n"
      "  explain  explain the search attempt by attempt: the preprocessing tables;\n"
      "           for each attempt the text around its window with the pattern under\n"
      "           it, every read numbered in reading order with a mark under its\n"
      "           position (= match, x mismatch, ^ look-ahead, ? probe, + edge,\n"
      "           ! no edge) and whether it was dropped (repeat or bound), the moves\n"
      "           of the window, the routine's notes, the outcome and the shift with\n"
      "           its source; then the routine's own occurrence and the counts. Lines\n"
      "           are at most 80 columns; colour only when standard output is a\n"
      "           terminal and NO_COLOR is unset or empty. The whole explanation is\n"
      "           held in memory: a million reads, each an attempt of its own, take\n"
      "           about 400 MB (with --json, as much again as the JSON's size)\n"
      "  show     the same as explain\n"
      "  verify   check another implementation of ALGORITHM (a command, a library's\n"
      "           entry function, or a function served on two descriptors) against\n"
      "           the reference library on generated cases or a golden file; report\n"
      "           the first divergence with the reference's explanation of its\n"
      "           attempt, shrunk to a small case (smtrace verify --help: its options;\n"
      "           status 0 all agree, 1 a divergence, 2 bad usage)\n"
      "  golden   write generated cases and the reference's traces as JSON Lines,\n"
      "           which verify --cases-file replays (docs/golden.md)\n"
      "  study    reads, compares, look-aheads and dropped reads per text character\n"
      "           against pattern length, over texts from files or generated\n"
      "           (--text-file, --generate) and many patterns drawn from them, in\n"
      "           worker processes (--jobs), in parts (--shard K/N) that\n"
      "           smtrace study merge joins; smtrace study --help tells more;\n"
      "           status 9: a worker process died\n"
      "\n"
      "which reads are recorded:\n"
      "  Every text character a routine reads goes to the recorder, which records\n"
      "  its position in the trace or drops it.\n"
      "  " + wrapped(counting_rule(), 2) + "\n"
      "  A read at or past the text length is dropped too, by the routines that set\n"
      "  the text length as their bound (dropped: bound).\n"
      "\n"
      "options:\n" + options_help("") +
      "\n"
      "algorithms (* refuses a pattern byte of 128 or more):\n";
  for (const Algorithm& algorithm : kAlgorithms) {
    text += std::string("  ") + algorithm.name + (algorithm.refuses_8bit ? " *" : "") + "\n";
  }
  text +=
      "\n"
      "The deliverable libraries (run, compare) are loaded from $SMTRACE_LIB_DIR,\n"
      "else from ../lib beside the directory of this program. The explaining\n"
      "library, libsmtrace.so (explain, and the counts of compare), is linked in\n"
      "and found in that ../lib.\n"
      "\n"
      "exit status:\n"
      "  0  done\n"
      "  1  memory exhausted: in smtrace (\"smtrace: out of memory\"), or in a library,\n"
      "     which ends the process with \"Error: <message>\" on standard output\n"
      "  2  bad usage: unknown command or option, missing or extra operands\n"
      "  3  unknown algorithm\n"
      "  4  a library, or its entry function, cannot be loaded\n"
      "  5  a pattern or text file cannot be read\n"
      "  6  input refused: the algorithm refuses a pattern byte of 128 or more, or\n"
      "     an operand is longer than 2147483647 bytes\n"
      "  7  an output file (--svg, --html, golden's --output) cannot be written;\n"
      "     nothing is left at its path, and the rest of the output is still printed\n"
      "  8  standard output cannot be written (a full disk, ...); a closed pipe\n"
      "     ends smtrace quietly by SIGPIPE (status 141 in a shell), also when\n"
      "     SIGPIPE is ignored\n"
      "  9  study: a worker process died\n"
      "Errors go to standard error; but for status 7, nothing goes to standard\n"
      "output then.\n";
  return text;
}

// What one command does, for its own help.
struct CommandHelp {
  const char* name;
  const char* usage;
  const char* about;
};
constexpr CommandHelp kCommands[] = {
    {"run", "usage: smtrace run ALGORITHM PATTERN TEXT [--json | --format csv] [--svg FILE]\n",
     "Prints the trace of ALGORITHM searching PATTERN in TEXT as the routine's own\n"
     "command line prints it: each position and a blank, then a newline.\n"},
    {"compare",
     "usage: smtrace compare PATTERN TEXT [--algorithms A,B,...] [--json] [--svg FILE]\n"
     "                       [--html FILE]\n",
     "Runs every algorithm (or those of --algorithms) and prints two tables, a row\n"
     "per algorithm in each: the trace's figures (recorded reads, distinct\n"
     "positions, recorded reads per text character to three significant digits,\n"
     "the most recorded reads of one position, the routine's own occurrence), then\n"
     "every read by what it was for, the reads dropped and the attempts.\n"},
    {"explain",
     "usage: smtrace explain ALGORITHM PATTERN TEXT [--json] [--html FILE]   (or show)\n",
     "Explains the search attempt by attempt: the preprocessing tables, each\n"
     "attempt's window with every read marked under its position, the shift and\n"
     "its source, then the routine's own occurrence and the counts. Lines are at\n"
     "most 80 columns; colour only on a terminal with NO_COLOR unset or empty.\n"},
    {"show",
     "usage: smtrace show ALGORITHM PATTERN TEXT [--json] [--html FILE]\n",
     "The same as explain.\n"},
};

std::string command_help(const std::string& name) {
  if (name == "verify" || name == "golden") return verify_help();
  for (const CommandHelp& command : kCommands) {
    if (name != command.name) continue;
    const std::string options = options_help(name == "show" ? "explain" : name);
    return std::string(command.usage) +
           "PATTERN may be given as --pattern-file FILE, TEXT as --text-file FILE.\n\n" +
           command.about + "\noptions:\n" + options +
           "\nexit status: 0 done, 1 out of memory, 2 bad usage, 3 unknown algorithm,\n"
           "4 a library cannot be loaded, 5 an input file cannot be read, 6 input\n"
           "refused, 7 an output file cannot be written, 8 standard output cannot be\n"
           "written (smtrace --help says more).\n";
  }
  throw Failure(kUsage, "no help for \"" + name + "\": the commands are run, compare, explain, "
                        "show, verify, golden");
}

struct Invocation {
  std::string command;
  std::vector<std::string> operands;
  std::optional<std::string> pattern_file;
  std::optional<std::string> text_file;
  std::optional<std::string> svg;
  std::optional<std::string> html;
  std::optional<std::string> algorithms;
  std::optional<std::string> format;
  bool json = false;
  bool strip_newline = false;
  bool help = false;
  bool version = false;
};

Failure usage(const std::string& message) { return Failure(kUsage, message); }

Invocation parse(int argc, char** argv) {
  Invocation invocation;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      invocation.help = true;
    } else if (options && arg.rfind("--", 0) == 0) {
      const size_t equals = arg.find('=');
      const std::string name = arg.substr(0, equals);
      bool* flag = name == "--json"            ? &invocation.json
                   : name == "--strip-newline" ? &invocation.strip_newline
                   : name == "--version"       ? &invocation.version
                                               : nullptr;
      if (flag != nullptr) {
        if (equals != std::string::npos) throw usage(name + " takes no value");
        *flag = true;
        continue;
      }
      std::optional<std::string>* slot = name == "--pattern-file" ? &invocation.pattern_file
                                         : name == "--text-file"  ? &invocation.text_file
                                         : name == "--svg"        ? &invocation.svg
                                         : name == "--html"       ? &invocation.html
                                         : name == "--algorithms" ? &invocation.algorithms
                                         : name == "--format"     ? &invocation.format
                                                                  : nullptr;
      if (slot == nullptr) throw usage("unknown option " + name);
      if (slot->has_value()) throw usage(name + " is given twice");
      if (equals != std::string::npos) {
        *slot = arg.substr(equals + 1);
      } else if (i + 1 < argc) {
        *slot = argv[++i];
      } else {
        throw usage(name + " needs a value");
      }
      if ((*slot)->empty()) {
        throw usage(name + (name == "--algorithms" || name == "--format" ? " needs a value"
                                                                         : " needs a non-empty path"));
      }
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      // A lone "-" is an operand; an operand that starts with one goes after --.
      throw usage("unknown option " + arg + " (an operand starting with - goes after --)");
    } else if (invocation.command.empty()) {
      invocation.command = arg;
    } else {
      invocation.operands.push_back(arg);
    }
  }
  return invocation;
}

Output& out() { return Output::standard(); }

std::string algorithm_names() {
  std::string names;
  for (const Algorithm& algorithm : kAlgorithms) {
    names += (names.empty() ? "" : ", ") + std::string(algorithm.name);
  }
  return names;
}

const Algorithm& known_algorithm(const std::string& name) {
  const Algorithm* algorithm = find_algorithm(name);
  if (algorithm == nullptr) {
    throw Failure(kUnknownAlgorithm,
                  "unknown algorithm \"" + name + "\"; the algorithms are " + algorithm_names());
  }
  return *algorithm;
}

// The operands of a command: the algorithm (for run and explain), then the
// pattern and the text, each from its operand or its file.
struct Operands {
  const Algorithm* algorithm = nullptr;
  std::string pattern;
  std::string text;
};

// The final LF or CRLF of a file's bytes: its length, 0 when there is none.
size_t final_newline(const std::string& bytes) {
  if (bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0) return 2;
  return !bytes.empty() && bytes.back() == '\n' ? 1 : 0;
}

std::string read_operand_file(const Invocation& invocation, const std::string& path,
                              const char* what) {
  std::string bytes = read_input_file(path, what, kLongestOperand);
  const size_t newline = final_newline(bytes);
  if (newline == 0) return bytes;
  if (invocation.strip_newline) {
    bytes.resize(bytes.size() - newline);
  } else if (std::strcmp(what, "pattern") == 0) {
    // echo and most editors end a file with a newline, which then is the
    // pattern's last byte: say so before the trace comes.
    const std::string source = path == "-" ? "standard input" : path;
    std::fprintf(stderr,
                 "smtrace: warning: the pattern from %s ends with a newline (%s), which is "
                 "part of the pattern; --strip-newline strips it (or write the file with "
                 "printf '%%s' or echo -n)\n",
                 source.c_str(), newline == 2 ? "CRLF, \\r\\n" : "LF, \\n");
  }
  return bytes;
}

Operands take_operands(const Invocation& invocation, bool with_algorithm) {
  std::vector<std::string> wanted;
  if (with_algorithm) wanted.push_back("ALGORITHM");
  if (!invocation.pattern_file) wanted.push_back("PATTERN");
  if (!invocation.text_file) wanted.push_back("TEXT");
  if (invocation.operands.size() != wanted.size()) {
    std::string names;
    for (const auto& name : wanted) names += " " + name;
    throw usage(invocation.command + " takes the operands" + names + "; " +
                std::to_string(invocation.operands.size()) + " given");
  }
  if (invocation.pattern_file == "-" && invocation.text_file == "-") {
    throw usage("--pattern-file - and --text-file - cannot both read standard input");
  }
  Operands operands;
  size_t next = 0;
  if (with_algorithm) operands.algorithm = &known_algorithm(invocation.operands[next++]);
  operands.pattern = invocation.pattern_file
                         ? read_operand_file(invocation, *invocation.pattern_file, "pattern")
                         : invocation.operands[next++];
  operands.text = invocation.text_file ? read_operand_file(invocation, *invocation.text_file, "text")
                                       : invocation.operands[next++];
  // Operands come from the command line or have been checked while read, so
  // only a huge operand from the command line could still be too long.
  for (const std::string* operand : {&operands.pattern, &operands.text}) {
    if (operand->size() > kLongestOperand) {
      throw Failure(kRefusedInput, "an operand is longer than 2147483647 bytes");
    }
  }
  return operands;
}

void check_accepted(const Algorithm& algorithm, const std::string& pattern) {
  const int32_t at = algorithm.refused_byte(pattern);
  if (at >= 0) {
    throw Failure(kRefusedInput, std::string(algorithm.name) + " refuses the pattern: " +
                                     refusal(pattern, at));
  }
}

void allow_options(const Invocation& invocation, bool svg, bool json, bool html, bool run_only,
                   bool compare_only) {
  if (invocation.svg && !svg) throw usage(invocation.command + " takes no --svg");
  if (invocation.html && !html) throw usage(invocation.command + " takes no --html");
  if (invocation.json && !json) throw usage(invocation.command + " takes no --json");
  if (invocation.format && !run_only) throw usage(invocation.command + " takes no --format");
  if (invocation.algorithms && !compare_only) {
    throw usage(invocation.command + " takes no --algorithms");
  }
}

// Output files are written before standard output is; one that cannot be
// written is reported once the rest of the output is out.
class FileFailures {
 public:
  template <typename Write>
  void attempt(Write write) {
    try {
      write();
    } catch (const Failure& failure) {
      if (failure.status() != kUnwritableOutput) throw;
      std::fprintf(stderr, "smtrace: %s\n", failure.what());
      failed_ = true;
    }
  }
  int status() const { return failed_ ? kUnwritableOutput : kOk; }

 private:
  bool failed_ = false;
};

enum class TraceFormat { kLine, kCsv, kJson };

TraceFormat trace_format(const Invocation& invocation) {
  const std::string format = invocation.format.value_or(invocation.json ? "json" : "line");
  if (invocation.json && format != "json") throw usage("--json and --format " + format + " differ");
  if (format == "line") return TraceFormat::kLine;
  if (format == "csv") return TraceFormat::kCsv;
  if (format == "json") return TraceFormat::kJson;
  throw usage("--format is line, csv or json, not \"" + format + "\"");
}

// Writes a trace, position by position, in one of run's formats.
template <typename Positions>
void write_trace(const Positions& trace, TraceFormat format) {
  auto number = [](int64_t value, const char* after) {
    char digits[24];
    const auto done = std::to_chars(digits, digits + sizeof digits, value);
    out().write(digits, static_cast<size_t>(done.ptr - digits));
    out().write(after);
  };
  int64_t read = 0;
  if (format == TraceFormat::kCsv) out().write("read,position\n");
  if (format == TraceFormat::kJson) out().write("[");
  for (int32_t position : trace) {
    const int64_t at = position;
    switch (format) {
      case TraceFormat::kLine: number(at, " "); break;
      case TraceFormat::kCsv: number(read, ","); number(at, "\n"); break;
      case TraceFormat::kJson: if (read > 0) out().write(", "); number(at, ""); break;
    }
    ++read;
  }
  if (format == TraceFormat::kLine) out().write("\n");
  if (format == TraceFormat::kJson) out().write("]\n");
}

int run(const Invocation& invocation) {
  allow_options(invocation, true, true, false, true, false);
  const TraceFormat format = trace_format(invocation);
  const Operands operands = take_operands(invocation, true);
  check_accepted(*operands.algorithm, operands.pattern);
  const Library library(*operands.algorithm, library_directory());
  FileFailures files;
  if (invocation.svg) {
    std::vector<Result> results(1);
    results[0].algorithm = operands.algorithm;
    results[0].trace = library.search(operands.pattern, operands.text);
    const Search search{operands.pattern, operands.text,
                        first_occurrence(operands.pattern, operands.text)};
    files.attempt([&] { write_output_file(*invocation.svg, svg_plot(search, results), "SVG"); });
    write_trace(results[0].trace, format);
    return files.status();
  }
  // Straight from the library's list: no copy of the positions.
  write_trace(TraceList(library.record(operands.pattern, operands.text)), format);
  library.release();
  return kOk;
}

// compare --algorithms: the names given, in their order.
std::vector<const Algorithm*> chosen_algorithms(const Invocation& invocation) {
  std::vector<const Algorithm*> chosen;
  if (!invocation.algorithms) {
    for (const Algorithm& algorithm : kAlgorithms) chosen.push_back(&algorithm);
    return chosen;
  }
  const std::string& list = *invocation.algorithms;
  for (size_t from = 0;;) {
    const size_t comma = list.find(',', from);
    const std::string name = list.substr(from, comma == std::string::npos ? comma : comma - from);
    if (name.empty()) throw usage("--algorithms takes names separated by commas");
    const Algorithm* algorithm = &known_algorithm(name);
    for (const Algorithm* earlier : chosen) {
      if (earlier == algorithm) throw usage("--algorithms names " + name + " twice");
    }
    chosen.push_back(algorithm);
    if (comma == std::string::npos) return chosen;
    from = comma + 1;
  }
}

// compare --html: every algorithm explained, on one page.
void write_compare_page(const std::string& path, const Operands& operands,
                        const std::vector<const Algorithm*>& algorithms) {
  std::vector<std::unique_ptr<Explanation>> explanations;
  std::vector<const smtrace_explanation*> shown;
  std::vector<PageRefusal> refused;
  for (const Algorithm* algorithm : algorithms) {
    const int32_t at = algorithm->refused_byte(operands.pattern);
    if (at >= 0) {
      refused.push_back({algorithm->name, refusal(operands.pattern, at)});
      continue;
    }
    explanations.push_back(std::make_unique<Explanation>(*algorithm, operands.pattern, operands.text));
    shown.push_back(&**explanations.back());
  }
  write_output_file(path, compare_page(shown, refused), "HTML");
}

int compare(const Invocation& invocation) {
  allow_options(invocation, true, true, true, false, true);
  const std::vector<const Algorithm*> algorithms = chosen_algorithms(invocation);
  const Operands operands = take_operands(invocation, false);
  const std::string directory = library_directory();
  std::vector<std::unique_ptr<Library>> libraries;
  for (const Algorithm* algorithm : algorithms) {
    libraries.push_back(std::make_unique<Library>(*algorithm, directory));
  }
  const Search search{operands.pattern, operands.text,
                      first_occurrence(operands.pattern, operands.text)};
  std::vector<Result> results;
  for (const auto& library : libraries) {
    Result result;
    result.algorithm = &library->algorithm();
    result.refused_at = result.algorithm->refused_byte(operands.pattern);
    if (result.refused_at < 0) {
      // The figures come from the library's own list, which is released
      // before the next routine runs; only the plot needs the positions.
      const TraceList trace(library->record(operands.pattern, operands.text));
      result.figures = figures_of_positions(trace, operands.text.size());
      if (invocation.svg) {
        result.trace.reserve(result.figures.reads);
        for (int32_t position : trace) result.trace.push_back(position);
      }
      library->release();
      result.summary = summarize(*result.algorithm, operands.pattern, operands.text);
    }
    results.push_back(std::move(result));
  }
  FileFailures files;
  if (invocation.svg) {
    files.attempt([&] { write_output_file(*invocation.svg, svg_plot(search, results), "SVG"); });
    for (Result& result : results) std::vector<int32_t>().swap(result.trace);
  }
  if (invocation.html) {
    files.attempt([&] { write_compare_page(*invocation.html, operands, algorithms); });
  }
  out().write(invocation.json ? comparison_json(search, results) : comparison_table(search, results));
  return files.status();
}

bool colour_wanted() {
  const char* no_colour = std::getenv("NO_COLOR");
  return isatty(STDOUT_FILENO) == 1 && (no_colour == nullptr || *no_colour == '\0');
}

int explain(const Invocation& invocation) {
  allow_options(invocation, false, true, true, false, false);
  const Operands operands = take_operands(invocation, true);
  check_accepted(*operands.algorithm, operands.pattern);
  const Explanation explanation(*operands.algorithm, operands.pattern, operands.text);
  FileFailures files;
  if (invocation.html) {
    files.attempt([&] { write_output_file(*invocation.html, explain_page(*explanation), "HTML"); });
    if (!invocation.json) return files.status();
  }
  if (invocation.json) {
    explanation.write_json(out());
    return files.status();
  }
  write_explanation(*explanation, colour_wanted(), [](const std::string& piece) { out().write(piece); });
  return files.status();
}

int dispatch(int argc, char** argv) {
  // verify and golden read their own options: verify's command line ends
  // with the command being checked and its arguments.
  if (argc > 1 && std::strcmp(argv[1], "verify") == 0) return verify_command(argc - 2, argv + 2);
  if (argc > 1 && std::strcmp(argv[1], "golden") == 0) return golden_command(argc - 2, argv + 2);
  if (argc > 1 && std::strcmp(argv[1], "study") == 0) return study_command(argc - 1, argv + 1);
  const Invocation invocation = parse(argc, argv);
  if (invocation.command == "help") {
    if (invocation.operands.size() > 1) throw usage("help takes one COMMAND at most");
    out().write(invocation.operands.empty() ? help() : command_help(invocation.operands[0]));
    return kOk;
  }
  if (invocation.help) {
    out().write(invocation.command.empty() ? help() : command_help(invocation.command));
    return kOk;
  }
  if (invocation.version) {
    out().write("smtrace " SMTRACE_VERSION "\n");
    return kOk;
  }
  if (invocation.command.empty()) throw usage("no command");
  if (invocation.command == "run") return run(invocation);
  if (invocation.command == "compare") return compare(invocation);
  if (invocation.command == "explain" || invocation.command == "show") return explain(invocation);
  throw usage("unknown command \"" + invocation.command + "\"");
}

}  // namespace
}  // namespace smtrace

int main(int argc, char** argv) {
  try {
    const int status = smtrace::dispatch(argc, argv);
    // The last of standard output, and its close, are checked too.
    smtrace::Output::standard().finish();
    return status;
  } catch (const smtrace::Failure& failure) {
    std::fprintf(stderr, "smtrace: %s\n", failure.what());
    if (failure.status() == smtrace::kUsage) {
      std::fprintf(stderr, "%sRun smtrace --help for more.\n", smtrace::kUsageLines);
    }
    return failure.status();
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "smtrace: out of memory\n");
    return 1;
  }
}
