// smtrace: runs the string-matching trace libraries as a host does and shows
// what they read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

namespace smtrace {
namespace {

constexpr const char* kUsageLines =
    "usage: smtrace run ALGORITHM PATTERN TEXT [--svg FILE]\n"
    "       smtrace compare PATTERN TEXT [--json] [--svg FILE] [--html FILE]\n"
    "       smtrace explain ALGORITHM PATTERN TEXT [--json] [--html FILE]   (or show)\n"
    "       smtrace verify ALGORITHM [OPTIONS] -- COMMAND [ARGS...]\n"
    "       smtrace golden ALGORITHM [--cases N] [--seed S] [--output FILE]\n"
    "       smtrace study [OPTION]... (smtrace study --help lists them)\n"
    "       smtrace --help\n";

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
      "options:\n"
      "  --pattern-file PATH  the pattern is the bytes of PATH; leave out PATTERN\n"
      "  --text-file PATH     the text is the bytes of PATH; leave out TEXT\n"
      "  --svg FILE           (run, compare) also write an SVG plot of read order\n"
      "                       against text position, one panel per algorithm\n"
      "  --html FILE          (explain, compare) write a page that plays the search\n"
      "                       read by read (compare: all of them, side by side);\n"
      "                       explain then prints nothing unless given --json\n"
      "  --json               (compare) print the figures as JSON instead; (explain)\n"
      "                       print the explaining library's JSON of the search\n"
      "  --                   the arguments after it are operands\n"
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
      "  7  the SVG or HTML file cannot be written (nothing is left at its path)\n"
      "  9  study: a worker process died\n"
      "Errors go to standard error, and nothing goes to standard output then.\n";
  return text;
}

struct Invocation {
  std::string command;
  std::vector<std::string> operands;
  std::optional<std::string> pattern_file;
  std::optional<std::string> text_file;
  std::optional<std::string> svg;
  std::optional<std::string> html;
  bool json = false;
  bool help = false;
};

Failure usage(const std::string& message) { return Failure(kUsage, message); }

Invocation parse(int argc, char** argv) {
  Invocation invocation;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || (i == 1 && arg == "-h"))) {
      invocation.help = true;
    } else if (options && arg.rfind("--", 0) == 0) {
      const size_t equals = arg.find('=');
      const std::string name = arg.substr(0, equals);
      if (name == "--json") {
        if (equals != std::string::npos) throw usage("--json takes no value");
        invocation.json = true;
        continue;
      }
      std::optional<std::string>* slot = name == "--pattern-file" ? &invocation.pattern_file
                                         : name == "--text-file"  ? &invocation.text_file
                                         : name == "--svg"        ? &invocation.svg
                                         : name == "--html"       ? &invocation.html
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
      if ((*slot)->empty()) throw usage(name + " needs a non-empty path");
    } else if (invocation.command.empty()) {
      invocation.command = arg;
    } else {
      invocation.operands.push_back(arg);
    }
  }
  return invocation;
}

std::string read_file(const std::string& path, const char* what) {
  auto unreadable = [&](int code) {
    return Failure(kUnreadableFile, std::string("cannot read the ") + what + " file " + path +
                                        ": " + std::strerror(code));
  };
  auto too_long = [&]() {
    return Failure(kRefusedInput, std::string("the ") + what + " file " + path +
                                      " is longer than 2147483647 bytes");
  };
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                        std::fclose);
  if (!file) throw unreadable(errno);
  struct stat status {};
  if (fstat(fileno(file.get()), &status) == 0 && S_ISREG(status.st_mode)) {
    if (static_cast<uintmax_t>(status.st_size) > kLongestOperand) throw too_long();
  }
  std::string data;
  if (status.st_size > 0) data.reserve(static_cast<size_t>(status.st_size));
  char block[1 << 16];
  for (;;) {
    const size_t got = std::fread(block, 1, sizeof block, file.get());
    data.append(block, got);
    if (data.size() > kLongestOperand) throw too_long();
    if (got < sizeof block) break;
  }
  if (std::ferror(file.get())) throw unreadable(errno != 0 ? errno : EIO);
  return data;
}

// Writes the file under a temporary name beside it and renames it into
// place, so that a failure leaves nothing at the path.
void write_file(const std::string& path, const std::string& content, const char* what = "SVG") {
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  auto fail = [&](int code) {
    if (fd >= 0) unlink(temporary.c_str());
    return Failure(kUnwritableOutput,
                   std::string("cannot write the ") + what + " file " + path + ": " + std::strerror(code));
  };
  if (fd < 0) throw fail(errno);
  // mkstemp makes the file private; give it the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  size_t written = 0;
  while (written < content.size()) {
    const ssize_t got = write(fd, content.data() + written, content.size() - written);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      const int code = got < 0 ? errno : EIO;
      close(fd);
      throw fail(code);
    }
    written += static_cast<size_t>(got);
  }
  if (close(fd) != 0) throw fail(errno);
  if (rename(temporary.c_str(), path.c_str()) != 0) throw fail(errno);
}

void print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

std::string algorithm_names() {
  std::string names;
  for (const Algorithm& algorithm : kAlgorithms) {
    names += (names.empty() ? "" : ", ") + std::string(algorithm.name);
  }
  return names;
}

// The operands of a command: the algorithm (for run and explain), then the
// pattern and the text, each from its operand or its file.
struct Operands {
  const Algorithm* algorithm = nullptr;
  std::string pattern;
  std::string text;
};

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
  Operands operands;
  size_t next = 0;
  if (with_algorithm) {
    const std::string& name = invocation.operands[next++];
    operands.algorithm = find_algorithm(name);
    if (operands.algorithm == nullptr) {
      throw Failure(kUnknownAlgorithm,
                    "unknown algorithm \"" + name + "\"; the algorithms are " + algorithm_names());
    }
  }
  operands.pattern = invocation.pattern_file ? read_file(*invocation.pattern_file, "pattern")
                                             : invocation.operands[next++];
  operands.text = invocation.text_file ? read_file(*invocation.text_file, "text")
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

void allow_options(const Invocation& invocation, bool svg, bool json, bool html = false) {
  if (invocation.svg && !svg) throw usage(invocation.command + " takes no --svg");
  if (invocation.html && !html) throw usage(invocation.command + " takes no --html");
  if (invocation.json && !json) throw usage(invocation.command + " takes no --json");
}

int run(const Invocation& invocation) {
  allow_options(invocation, true, false);
  const Operands operands = take_operands(invocation, true);
  check_accepted(*operands.algorithm, operands.pattern);
  const Library library(*operands.algorithm, library_directory());
  std::vector<Result> results(1);
  results[0].algorithm = operands.algorithm;
  results[0].trace = library.search(operands.pattern, operands.text);
  if (invocation.svg) {
    const Search search{operands.pattern, operands.text,
                        first_occurrence(operands.pattern, operands.text)};
    write_file(*invocation.svg, svg_plot(search, results));
  }
  print(trace_line(results[0].trace));
  return kOk;
}

// compare --html: every algorithm explained, on one page.
void write_compare_page(const std::string& path, const Operands& operands) {
  std::vector<std::unique_ptr<Explanation>> explanations;
  std::vector<const smtrace_explanation*> shown;
  std::vector<PageRefusal> refused;
  for (const Algorithm& algorithm : kAlgorithms) {
    const int32_t at = algorithm.refused_byte(operands.pattern);
    if (at >= 0) {
      refused.push_back({algorithm.name, refusal(operands.pattern, at)});
      continue;
    }
    explanations.push_back(std::make_unique<Explanation>(algorithm, operands.pattern, operands.text));
    shown.push_back(&**explanations.back());
  }
  write_file(path, compare_page(shown, refused), "HTML");
}

int compare(const Invocation& invocation) {
  allow_options(invocation, true, true, true);
  const Operands operands = take_operands(invocation, false);
  const std::string directory = library_directory();
  std::vector<std::unique_ptr<Library>> libraries;
  for (const Algorithm& algorithm : kAlgorithms) {
    libraries.push_back(std::make_unique<Library>(algorithm, directory));
  }
  const Search search{operands.pattern, operands.text,
                      first_occurrence(operands.pattern, operands.text)};
  std::vector<Result> results;
  for (const auto& library : libraries) {
    Result result;
    result.algorithm = &library->algorithm();
    result.refused_at = result.algorithm->refused_byte(operands.pattern);
    if (result.refused_at < 0) {
      result.trace = library->search(operands.pattern, operands.text);
      result.figures = figures_of(result.trace, operands.text.size());
      result.summary = summarize(*result.algorithm, operands.pattern, operands.text);
      // Only the plot needs the positions themselves.
      if (!invocation.svg) std::vector<int32_t>().swap(result.trace);
    }
    results.push_back(std::move(result));
  }
  if (invocation.svg) write_file(*invocation.svg, svg_plot(search, results));
  if (invocation.html) write_compare_page(*invocation.html, operands);
  print(invocation.json ? comparison_json(search, results) : comparison_table(search, results));
  return kOk;
}

bool colour_wanted() {
  const char* no_colour = std::getenv("NO_COLOR");
  return isatty(STDOUT_FILENO) == 1 && (no_colour == nullptr || *no_colour == '\0');
}

int explain(const Invocation& invocation) {
  allow_options(invocation, false, true, true);
  const Operands operands = take_operands(invocation, true);
  check_accepted(*operands.algorithm, operands.pattern);
  const Explanation explanation(*operands.algorithm, operands.pattern, operands.text);
  if (invocation.html) write_file(*invocation.html, explain_page(*explanation), "HTML");
  if (invocation.html && !invocation.json) return kOk;
  if (invocation.json) {
    explanation.write_json(stdout);
    return kOk;
  }
  write_explanation(*explanation, colour_wanted(),
                    [](const std::string& piece) { std::fwrite(piece.data(), 1, piece.size(), stdout); });
  std::fflush(stdout);
  return kOk;
}

int dispatch(int argc, char** argv) {
  // verify and golden read their own options: verify's command line ends
  // with the command being checked and its arguments.
  if (argc > 1 && std::strcmp(argv[1], "verify") == 0) return verify_command(argc - 2, argv + 2);
  if (argc > 1 && std::strcmp(argv[1], "golden") == 0) return golden_command(argc - 2, argv + 2);
  if (argc > 1 && std::strcmp(argv[1], "study") == 0) return study_command(argc - 1, argv + 1);
  const Invocation invocation = parse(argc, argv);
  if (invocation.help) {
    print(help());
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
    return smtrace::dispatch(argc, argv);
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
