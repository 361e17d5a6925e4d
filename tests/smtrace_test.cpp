// smtrace as a user runs it: standard output, standard error and the exit
// status of every command and every error.
#include <dirent.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "include/smtrace_explain.h"
#include "support/algorithm.h"
#include "support/cases.h"
#include "support/library.h"
#include "support/process.h"
#include "support/routines.h"

extern char** environ;

namespace sm_test {
namespace {

// The algorithms smtrace knows: the routine table's, in its order.
std::string algorithm_list() {
  std::string list;
  for (const Routine& r : routines()) list += (list.empty() ? "" : ", ") + std::string(r.library);
  return list;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t from = 0;
  for (size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
    lines.push_back(text.substr(from, end - from));
  }
  if (from < text.size()) lines.push_back(text.substr(from));
  return lines;
}

Outcome smtrace(std::vector<std::string> args) {
  args.insert(args.begin(), SMTRACE_TOOL);
  return run_with_stderr(args);
}

// smtrace with one environment variable set.
Outcome smtrace_with(const std::string& setting, std::vector<std::string> args) {
  args.insert(args.begin(), {"/usr/bin/env", setting, SMTRACE_TOOL});
  return run_with_stderr(args);
}

std::string describe(const std::vector<std::string>& args) {
  std::string out = "smtrace";
  for (const auto& arg : args) out += " '" + arg + "'";
  return out;
}

// A scratch directory, removed with everything in it.
class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/smtrace_test.XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~Scratch() { std::filesystem::remove_all(path_); }
  std::string file(const std::string& name, const std::string& bytes) const {
    const std::string path = path_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string path(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(entry.path().filename());
    }
    return names;
  }

 private:
  std::string path_;
};

// smtrace on a pseudo-terminal, as a user at a terminal runs it: what it
// writes there (raw mode, so newlines arrive as written) and its status.
// Each setting is NAME=VALUE, or -NAME to leave NAME out of the environment.
Outcome smtrace_on_terminal(const std::vector<std::string>& settings,
                            std::vector<std::string> args) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string setting = *entry;
    bool replaced = false;
    for (const auto& wanted : settings) {
      const std::string name = wanted[0] == '-' ? wanted.substr(1) : wanted.substr(0, wanted.find('='));
      if (setting.rfind(name + "=", 0) == 0) replaced = true;
    }
    if (!replaced) environment.push_back(setting);
  }
  for (const auto& wanted : settings) {
    if (wanted[0] != '-') environment.push_back(wanted);
  }
  args.insert(args.begin(), SMTRACE_TOOL);
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& setting : environment) envp.push_back(setting.data());
  envp.push_back(nullptr);

  struct termios raw {};
  cfmakeraw(&raw);
  struct winsize size {};
  size.ws_row = 24;
  size.ws_col = 80;
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, &raw, &size);
  if (pid < 0) throw std::runtime_error("forkpty");
  if (pid == 0) {
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  // Read until the program has ended and its side gives nothing more. A
  // read that fails while the program still runs (a busy machine has shown
  // an early EIO) is tried again after a pause, for at most a minute.
  Outcome outcome{"", -1, ""};
  char block[65536];
  int raw_status = 0;
  bool ended = false;
  for (int pauses = 0; pauses < 6000;) {
    const ssize_t got = read(terminal, block, sizeof block);
    if (got > 0) {
      outcome.out.append(block, static_cast<size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (ended) break;
    ended = waitpid(pid, &raw_status, WNOHANG) == pid;
    if (!ended) {
      usleep(10000);
      ++pauses;
    }
  }
  close(terminal);
  if (!ended) waitpid(pid, &raw_status, 0);
  outcome.status = WIFEXITED(raw_status) ? WEXITSTATUS(raw_status) : 128 + WTERMSIG(raw_status);
  return outcome;
}

std::string without_escapes(const std::string& text) {
  static const std::regex escape("\x1b\\[[0-9;]*m");
  return std::regex_replace(text, escape, "");
}

// Says whether a text is exactly one JSON value (RFC 8259), and nothing else.
class JsonCheck {
 public:
  explicit JsonCheck(const std::string& text) : text_(text) {}
  bool valid() {
    blanks();
    if (!value(0)) return false;
    blanks();
    return at_ == text_.size();
  }

 private:
  bool value(int depth) {
    if (depth > 64 || at_ >= text_.size()) return false;
    switch (text_[at_]) {
      case '{':
        return sequence('}', depth, true);
      case '[':
        return sequence(']', depth, false);
      case '"':
        return string();
      case 't':
        return word("true");
      case 'f':
        return word("false");
      case 'n':
        return word("null");
      default:
        return number();
    }
  }
  bool sequence(char close, int depth, bool keyed) {
    ++at_;
    blanks();
    if (take(close)) return true;
    do {
      blanks();
      if (keyed) {
        if (!string()) return false;
        blanks();
        if (!take(':')) return false;
        blanks();
      }
      if (!value(depth + 1)) return false;
      blanks();
    } while (take(','));
    return take(close);
  }
  bool string() {
    if (!take('"')) return false;
    while (at_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c == '\\') {
        if (at_ >= text_.size()) return false;
        const char e = text_[at_++];
        if (e == 'u') {
          for (int k = 0; k < 4; ++k) {
            if (at_ >= text_.size() || !std::isxdigit(static_cast<unsigned char>(text_[at_++]))) {
              return false;
            }
          }
        } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
          return false;
        }
      }
    }
    return false;
  }
  bool number() {
    static const std::regex shape("-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][+-]?[0-9]+)?");
    size_t end = at_;
    while (end < text_.size() && std::string("+-.eE0123456789").find(text_[end]) != std::string::npos) {
      ++end;
    }
    if (end == at_ || !std::regex_match(text_.substr(at_, end - at_), shape)) return false;
    at_ = end;
    return true;
  }
  bool word(const char* w) {
    if (text_.compare(at_, std::strlen(w), w) != 0) return false;
    at_ += std::strlen(w);
    return true;
  }
  bool take(char c) {
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  void blanks() {
    while (at_ < text_.size() && std::string(" \t\r\n").find(text_[at_]) != std::string::npos) ++at_;
  }
  const std::string& text_;
  size_t at_ = 0;
};

// The explaining library, loaded as a host loads it.
class ExplainingLibrary {
 public:
  ExplainingLibrary() : lib_(std::string(SM_LIB_DIR) + "/libsmtrace.so") {}
  std::string json(const std::string& algorithm, const std::string& pattern,
                   const std::string& text) const {
    smtrace_explanation* e = nullptr;
    const int status = lib_.fn<decltype(&smtrace_explain)>("smtrace_explain")(
        algorithm.c_str(), pattern.data(), static_cast<int32_t>(pattern.size()), text.data(),
        static_cast<int32_t>(text.size()), &e);
    if (status != SMTRACE_OK) throw std::runtime_error("smtrace_explain: " + std::to_string(status));
    char* json = lib_.fn<decltype(&smtrace_explanation_json)>("smtrace_explanation_json")(e);
    const std::string copy = json;
    lib_.fn<decltype(&smtrace_free)>("smtrace_free")(json);
    lib_.fn<decltype(&smtrace_explanation_free)>("smtrace_explanation_free")(e);
    return copy;
  }
  int summarize(const char* algorithm, const char* x, int32_t m, const char* y, int32_t n,
                smtrace_counts* counts, int32_t* occurrence) const {
    return lib_.fn<decltype(&smtrace_summarize)>("smtrace_summarize")(algorithm, x, m, y, n, counts,
                                                                     occurrence);
  }

 private:
  Library lib_;
};

// ---------------------------------------------------------------------------
// Usage and help.

TEST(SmtraceUsage, HelpListsCommandsAlgorithmsAndStatuses) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"-h"}, {"help"}, {"-h", "--json"}}) {
    Outcome got = smtrace(args);
    EXPECT_EQ(got.status, 0) << describe(args);
    EXPECT_EQ(got.err, "") << describe(args);
    EXPECT_EQ(got.out.rfind("usage: smtrace run ALGORITHM PATTERN TEXT", 0), 0u) << got.out;
    // One line each, marked when the routine refuses 8-bit patterns.
    for (const Routine& r : routines()) {
      EXPECT_NE(got.out.find("\n  " + std::string(r.library) + (r.refuses_8bit ? " *" : "") + "\n"),
                std::string::npos)
          << r.library;
    }
    for (const char* status :
         {"  0  ", "  1  ", "  2  ", "  3  ", "  4  ", "  5  ", "  6  ", "  7  ", "  8  "}) {
      EXPECT_NE(got.out.find(status), std::string::npos) << status;
    }
    for (const char* command : {"\n  run  ", "\n  compare  ", "\n  explain  ", "\n  show  "}) {
      EXPECT_NE(got.out.find(command), std::string::npos) << command;
    }
  }
}

TEST(SmtraceUsage, HelpSaysWhichReadsAreRecorded) {
  // The routines whose attempts run in pruning windows (windows = 1 in the
  // header's table) drop a repeat; the others record it again.
  Outcome got = smtrace({"--help"});
  ASSERT_EQ(got.status, 0);
  EXPECT_NE(got.out.find("  A position read again inside one attempt is dropped by Not So Naive, Raita,\n"
                         "  Tuned Boyer-Moore and Berry-Ravindran (each of their attempts runs in a\n"
                         "  pruning window), and recorded again by Turbo Reverse Factor, Morris-Pratt and\n"
                         "  Skip Search.\n"),
            std::string::npos)
      << got.out;
  for (const std::string& line : lines_of(got.out)) EXPECT_LE(line.size(), 80u) << line;
}

struct UsageCase {
  std::vector<std::string> args;
  std::string message;  // the first line of standard error
};

TEST(SmtraceUsage, BadUsageExitsWithTwoAndTheUsageLines) {
  const std::vector<UsageCase> cases = {
      {{}, "smtrace: no command"},
      {{"frobnicate", "a", "b"}, "smtrace: unknown command \"frobnicate\""},
      {{"run", "morris_pratt", "ab"}, "smtrace: run takes the operands ALGORITHM PATTERN TEXT; 2 given"},
      {{"run", "morris_pratt", "a", "b", "c"}, "smtrace: run takes the operands ALGORITHM PATTERN TEXT; 4 given"},
      {{"compare", "a"}, "smtrace: compare takes the operands PATTERN TEXT; 1 given"},
      {{"show", "raita"}, "smtrace: show takes the operands ALGORITHM PATTERN TEXT; 1 given"},
      {{"explain", "raita", "a"}, "smtrace: explain takes the operands ALGORITHM PATTERN TEXT; 2 given"},
      {{"explain", "raita", "--text-file", "t", "a", "b"},
       "smtrace: explain takes the operands ALGORITHM PATTERN; 3 given"},
      {{"run", "morris_pratt", "--pattern-file", "p", "ab", "text"},
       "smtrace: run takes the operands ALGORITHM TEXT; 3 given"},
      {{"compare", "--text-file", "t", "--pattern-file", "p", "x"},
       "smtrace: compare takes the operands; 1 given"},
      {{"run", "--bogus", "morris_pratt", "a", "b"}, "smtrace: unknown option --bogus"},
      {{"run", "morris_pratt", "a", "b", "--svg"}, "smtrace: --svg needs a value"},
      {{"run", "morris_pratt", "a", "b", "--svg="}, "smtrace: --svg needs a non-empty path"},
      {{"run", "--text-file", "a", "--text-file=b", "morris_pratt", "x"},
       "smtrace: --text-file is given twice"},
      {{"show", "morris_pratt", "a", "b", "--svg", "x.svg"}, "smtrace: show takes no --svg"},
      {{"explain", "morris_pratt", "a", "b", "--svg=x.svg"}, "smtrace: explain takes no --svg"},
      {{"run", "morris_pratt", "a", "b", "--html", "x.html"}, "smtrace: run takes no --html"},
      {{"run", "morris_pratt", "a", "b", "--algorithms", "raita"}, "smtrace: run takes no --algorithms"},
      {{"compare", "a", "b", "--format", "csv"}, "smtrace: compare takes no --format"},
      {{"run", "morris_pratt", "a", "b", "--format", "xml"},
       "smtrace: --format is line, csv or json, not \"xml\""},
      {{"run", "morris_pratt", "a", "b", "--json", "--format=csv"}, "smtrace: --json and --format csv differ"},
      {{"compare", "--algorithms", "raita,,tuned_bm", "a", "b"},
       "smtrace: --algorithms takes names separated by commas"},
      {{"compare", "--algorithms", "raita,raita", "a", "b"}, "smtrace: --algorithms names raita twice"},
      {{"run", "morris_pratt", "-x", "a", "b"},
       "smtrace: unknown option -x (an operand starting with - goes after --)"},
      {{"run", "-ab", "morris_pratt", "a", "b"},
       "smtrace: unknown option -ab (an operand starting with - goes after --)"},
      {{"run", "morris_pratt", "--text-file", "-", "--pattern-file=-"},
       "smtrace: --pattern-file - and --text-file - cannot both read standard input"},
      {{"run", "morris_pratt", "a", "b", "--strip-newline=yes"}, "smtrace: --strip-newline takes no value"},
      {{"help", "run", "compare"}, "smtrace: help takes one COMMAND at most"},
      {{"help", "frobnicate"},
       "smtrace: no help for \"frobnicate\": the commands are run, compare, explain, show, verify, golden"},
      {{"compare", "--json=yes", "a", "b"}, "smtrace: --json takes no value"},
  };
  for (const auto& c : cases) {
    Outcome got = smtrace(c.args);
    EXPECT_EQ(got.status, 2) << describe(c.args);
    EXPECT_EQ(got.out, "") << describe(c.args);
    EXPECT_EQ(got.err.substr(0, got.err.find('\n')), c.message) << describe(c.args);
    EXPECT_NE(got.err.find("\nusage: smtrace run ALGORITHM PATTERN TEXT"), std::string::npos)
        << describe(c.args);
  }
}

TEST(SmtraceUsage, OperandsAfterDoubleDashMayLookLikeOptions) {
  Outcome got = smtrace({"run", "morris_pratt", "--", "--a", "x--a"});
  EXPECT_EQ(got.out, "0 1 2 3 \n");
  EXPECT_EQ(got.status, 0);
  // An operand that starts with one dash goes after -- too (without it, it
  // is an unknown option: SmtraceUsage.BadUsage...).
  got = smtrace({"run", "morris_pratt", "--", "-b", "a-b"});
  EXPECT_EQ(got.out, "0 1 2 \n");
  EXPECT_EQ(got.status, 0);
  got = smtrace({"run", "morris_pratt", "--", "-ab", "x-ab"});
  EXPECT_EQ(got.out, "0 1 2 3 \n");
  EXPECT_EQ(got.status, 0);
  // -h after -- is an operand too.
  got = smtrace({"run", "morris_pratt", "--", "-h", "x-h"});
  EXPECT_EQ(got.out, "0 1 2 \n");
  EXPECT_EQ(got.status, 0);
}

// ---------------------------------------------------------------------------
// Errors: each has its own status, a message on standard error, and nothing
// on standard output.

struct ErrorCase {
  std::vector<std::string> args;
  int status;
  std::string err;  // standard error, whole
};

TEST(SmtraceErrors, EachErrorHasItsStatus) {
  Scratch scratch;
  const std::string missing = scratch.path("missing.txt");
  const std::string text = scratch.file("text.txt", "abc");
  std::vector<ErrorCase> cases = {
      {{"run", "boyer_moore", "a", "b"}, 3,
       "smtrace: unknown algorithm \"boyer_moore\"; the algorithms are " + algorithm_list() + "\n"},
      {{"show", "MP", "a", "b"}, 3,
       "smtrace: unknown algorithm \"MP\"; the algorithms are " + algorithm_list() + "\n"},
      {{"run", "morris_pratt", "--text-file", missing, "a"}, 5,
       "smtrace: cannot read the text file " + missing + ": No such file or directory\n"},
      {{"compare", "--pattern-file", missing, "abc"}, 5,
       "smtrace: cannot read the pattern file " + missing + ": No such file or directory\n"},
      {{"run", "morris_pratt", "--text-file", scratch.path(""), "a"}, 5,
       "smtrace: cannot read the text file " + scratch.path("") + ": Is a directory\n"},
      {{"explain", "knuth", "a", "b", "--json"}, 3,
       "smtrace: unknown algorithm \"knuth\"; the algorithms are turbo_reverse_factor, "
       "morris_pratt, not_so_naive, raita, tuned_bm, berry_ravindran, skip_search\n"},
      {{"explain", "raita", "--pattern-file", missing, "abc"}, 5,
       "smtrace: cannot read the pattern file " + missing + ": No such file or directory\n"},
      {{"show", "raita", "a", "--text-file", scratch.path("")}, 5,
       "smtrace: cannot read the text file " + scratch.path("") + ": Is a directory\n"},
  };
  for (const Routine& r : routines()) {
    if (!r.refuses_8bit) continue;
    const std::string name = r.library;
    cases.push_back({{"run", name, "ab\xc8", "abc"}, 6,
                     "smtrace: " + name + " refuses the pattern: pattern byte 2 is \\xc8, "
                     "outside the 7-bit alphabet\n"});
    cases.push_back({{"show", name, "\x80", "abc"}, 6,
                     "smtrace: " + name + " refuses the pattern: pattern byte 0 is \\x80, "
                     "outside the 7-bit alphabet\n"});
    cases.push_back({{"explain", name, "a\xff", "abc", "--json"}, 6,
                     "smtrace: " + name + " refuses the pattern: pattern byte 1 is \\xff, "
                     "outside the 7-bit alphabet\n"});
  }
  for (const auto& c : cases) {
    Outcome got = smtrace(c.args);
    EXPECT_EQ(got.status, c.status) << describe(c.args);
    EXPECT_EQ(got.err, c.err) << describe(c.args);
    EXPECT_EQ(got.out, "") << describe(c.args);
  }
}

TEST(SmtraceErrors, UnreadableFileOfAPatternIsStatusFive) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  Scratch scratch;
  const std::string secret = scratch.file("secret", "ab");
  std::filesystem::permissions(secret, std::filesystem::perms::none);
  Outcome got = smtrace({"run", "morris_pratt", "--pattern-file", secret, "abc"});
  EXPECT_EQ(got.status, 5);
  EXPECT_EQ(got.err, "smtrace: cannot read the pattern file " + secret + ": Permission denied\n");
}

TEST(SmtraceErrors, MissingLibraryIsStatusFour) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"run", "raita", "a", "b"}, {"run", "skip_search", "a", "b"},
        {"compare", "a", "b"}}) {
    Outcome got = smtrace_with("SMTRACE_LIB_DIR=/nonexistent", args);
    EXPECT_EQ(got.status, 4) << describe(args);
    EXPECT_EQ(got.out, "") << describe(args);
    EXPECT_EQ(got.err.rfind("smtrace: cannot load the ", 0), 0u) << got.err;
    EXPECT_NE(got.err.find("/nonexistent/lib"), std::string::npos) << got.err;
    EXPECT_NE(got.err.find("(SMTRACE_LIB_DIR names the library directory)\n"), std::string::npos)
        << got.err;
  }
}

TEST(SmtraceErrors, LibraryWithoutItsEntryIsStatusFour) {
  // A directory where libraita.so is some other library: the entry is missing.
  Scratch scratch;
  std::filesystem::copy_file(library_path("morris_pratt"), scratch.path("libraita.so"));
  Outcome got = smtrace_with("SMTRACE_LIB_DIR=" + scratch.path(""), {"run", "raita", "a", "b"});
  EXPECT_EQ(got.status, 4);
  EXPECT_EQ(got.out, "");
  EXPECT_EQ(got.err, "smtrace: " + scratch.path("") + "/libraita.so has no entry function raita\n");
}

TEST(SmtraceErrors, MemoryExhaustedIsStatusOne) {
  if (SM_SANITIZED) GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
  // Twenty million reads need some 320 MB of trace nodes; the limit is 256 MB.
  Scratch scratch;
  const std::string text_file = scratch.file("text", std::string(20000000, 'a'));
  Outcome got = run_with_stderr({"/bin/sh", "-c", "ulimit -v 262144 && exec \"$0\" \"$@\"",
                                 SMTRACE_TOOL, "run", "morris_pratt", "--text-file", text_file, "b"});
  EXPECT_EQ(got.status, 1);
  // The library runs out while recording, or smtrace while collecting.
  EXPECT_TRUE(got.out == "Error: Out of memory.\n" ||
              (got.out.empty() && got.err == "smtrace: out of memory\n"))
      << got.out.substr(0, 200) << got.err;
}

TEST(SmtraceErrors, SvgFailureLeavesNothingAtThePath) {
  Scratch scratch;
  const std::string svg = scratch.path("plot.svg");
  const std::vector<ErrorCase> cases = {
      {{"run", "nothing", "a", "b", "--svg", svg}, 3, ""},
      {{"run", "raita", "\xff", "b", "--svg", svg}, 6, ""},
      {{"run", "morris_pratt", "--text-file", scratch.path("none"), "a", "--svg", svg}, 5, ""},
      {{"compare", "a", "b", "--svg", scratch.path("no/such/dir/plot.svg")}, 7,
       "smtrace: cannot write the SVG file " + scratch.path("no/such/dir/plot.svg") +
           ": No such file or directory\n"},
  };
  for (const auto& c : cases) {
    Outcome got = smtrace(c.args);
    EXPECT_EQ(got.status, c.status) << describe(c.args);
    if (!c.err.empty()) {
      EXPECT_EQ(got.err, c.err) << describe(c.args);
    }
    // A plot that cannot be written leaves the rest of the output as it is.
    EXPECT_EQ(got.out, c.status == 7 ? smtrace({"compare", "a", "b"}).out : "") << describe(c.args);
    EXPECT_TRUE(scratch.entries().empty()) << describe(c.args);
  }
  // A directory in the way: the temporary file is removed again.
  std::filesystem::create_directory(svg);
  Outcome got = smtrace({"run", "morris_pratt", "a", "ba", "--svg", svg});
  EXPECT_EQ(got.status, 7);
  EXPECT_EQ(got.out, "0 1 \n");
  EXPECT_EQ(got.err, "smtrace: cannot write the SVG file " + svg + ": Is a directory\n");
  EXPECT_EQ(scratch.entries(), std::vector<std::string>{"plot.svg"});
  EXPECT_TRUE(std::filesystem::is_empty(svg));
}

// ---------------------------------------------------------------------------
// run agrees with each deliverable's own command line.

const std::vector<std::pair<std::string, std::string>>& run_examples() {
  static const std::vector<std::pair<std::string, std::string>> cases = {
      {"abab", "abacabab"}, {"abab", "ccabaabab"}, {"a", "bba"}, {"a", "bbb"},
      {"ab", "cab"}, {"aaa", "aaaa"}, {"abc", "ab"}, {"xy", "ab"},
      {"abcd", "abcabcabcd"}, {"abb", "xab"}, {"aba", "cbbabaxaba"}, {"abac", "abaabcabac"},
      {"abca", "bcabdabcaa"}, {"ab", "ab"}, {"aba", "cbabaaba"}, {"aa", "aaa"},
      {"ab", "ccca"}, {"bb", "ab"}, {"aab", "aaab"}, {"abcabd", "abcabcabd"},
      {"GATTACA", "TAGATTACAGATTACATTAGATTACA"}, {"", "xyz"}, {"abc", ""}, {"", ""},
      {"abcdefghijklmnopqrs", "xxabcdefghijklmnopqrs"},
  };
  return cases;
}

// What the deliverable's own command lines print: its library's main through
// the test host, and its program where it is one too.
TEST(SmtraceRun, AgreesWithEachDeliverablesCommandLine) {
  for (const Routine& r : routines()) {
    const RoutineHost deliverable(r);
    const std::string name = r.library;
    for (const auto& [pattern, text] : run_examples()) {
      Outcome got = smtrace({"run", name, pattern, text});
      EXPECT_EQ(got.status, 0) << name;
      EXPECT_EQ(got.err, "") << name;
      for (const auto& [road, own] : deliverable.command_lines(pattern, text)) {
        ASSERT_EQ(own.status, 0) << name << " (" << road << ") " << pattern << " " << text;
        EXPECT_EQ(got.out, own.out) << name << " (" << road << "): " << pattern << " in " << text;
      }
    }
  }
}

TEST(SmtraceRun, FilesGiveTheirBytesAsTheyAre) {
  // Zero bytes, newlines and bytes of 128 or more in the text; a pattern
  // longer than the command line's 19 characters. The entry called directly
  // with the same bytes is the reference.
  Scratch scratch;
  const std::string text = std::string("ab\0ab\ncd\xe9\xff", 10) + std::string(30, 'q') + "ab\nq";
  const std::vector<std::string> patterns = {std::string("b\0a", 3), "ab\n", "q", "zz",
                                             std::string(25, 'q') + "ab"};
  const std::string text_file = scratch.file("text.bin", text);
  for (const Routine& r : routines()) {
    const std::string name = r.library;
    Library lib(library_path(name));
    for (const auto& pattern : patterns) {
      const std::string pattern_file = scratch.file("pattern.bin", pattern);
      Outcome got = smtrace({"run", name, "--pattern-file", pattern_file, "--text-file", text_file});
      EXPECT_EQ(got.out, printed(lib.search(name, pattern, text))) << name << " " << pattern;
      EXPECT_EQ(got.status, 0) << name;
      // A pattern that ends with a newline is searched as it is, with a warning.
      EXPECT_EQ(got.err.empty(), pattern.back() != '\n') << name << " " << got.err;
    }
    // One operand from a file, the other from the command line.
    Outcome got = smtrace({"run", name, "--text-file=" + text_file, "q"});
    EXPECT_EQ(got.out, printed(lib.search(name, "q", text))) << name;
  }
}

TEST(SmtraceRun, EightBitPatternsForTheRoutinesThatTakeThem) {
  for (const Routine& r : routines()) {
    if (r.refuses_8bit) continue;
    const std::string name = r.library;
    Library lib(library_path(name));
    Outcome got = smtrace({"run", name, "\xc8\xc9", "a\xc8\xc8\xc9"});
    EXPECT_EQ(got.out, printed(lib.search(name, "\xc8\xc9", "a\xc8\xc8\xc9"))) << name;
    EXPECT_EQ(got.status, 0) << name;
  }
}

TEST(SmtraceRun, MillionsOfReads) {
  // Morris-Pratt reads every position of a text without the pattern's only
  // character: two million reads, printed in order.
  Scratch scratch;
  const int32_t n = 2000000;
  const std::string text_file = scratch.file("big.txt", std::string(n, 'a'));
  Outcome got = smtrace({"run", "morris_pratt", "--text-file", text_file, "b"});
  ASSERT_EQ(got.status, 0);
  std::string expected;
  for (int32_t p = 0; p < n; ++p) expected += std::to_string(p) + " ";
  EXPECT_TRUE(got.out == expected + "\n");
  // compare runs all seven over the same text.
  got = smtrace({"compare", "--text-file", text_file, "--json", "b"});
  ASSERT_EQ(got.status, 0) << got.err;
  // One attempt per alignment, one compare each.
  EXPECT_NE(got.out.find("\"morris_pratt\": {\"refused\": false, \"reads\": 2000000, "
                         "\"distinct_positions\": 2000000, \"reads_per_character\": 1.0, "
                         "\"most_reads_of_one_position\": 1, \"first_occurrence\": null, "
                         "\"occurrence\": null, \"drops_repeats\": false, \"counts\": {\"reads\": 2000000, "
                         "\"recorded\": 2000000, \"compare\": 2000000, \"look-ahead\": 0, \"probe\": 0, "
                         "\"edge\": 0, \"dropped\": 0, \"dropped_repeat\": 0, \"dropped_bound\": 0, "
                         "\"attempts\": 2000000}}"),
            std::string::npos)
      << got.out.substr(0, 2000);
}

// ---------------------------------------------------------------------------
// compare: the figures of a hand-checked example, abab in ccabaabab (n = 9),
// which occurs at 5. Each routine's trace, worked out by hand from its rules,
// with its attempts between bars:
//   turbo_reverse_factor  3 2 1 | 5 4 | 8 7 6      (8 edge reads, all distinct)
//   morris_pratt          0 | 1 | 2 3 4 5 | 5 | 5 6 7 8   (position 5 three times)
//   not_so_naive          1 | 2 | 3 4 5 | 5 | 6 7 8 5
//   raita                 3 0 | 5 | 6 3 | 8 5 7 6  (3, 5 and 6 twice; 7 read twice
//                                                 in the last attempt, recorded once)
//   tuned_bm              3 0 | 5 6 3 | 8 5 6 7    (3, 5 and 6 twice; in the second
//                                                 attempt 6 is read three times)
//   berry_ravindran       0 4 5 | 5 6 7 8         (5 twice; 4 and 5 the look-ahead)
//   skip_search           3 0 2 3 4 5 | 7 5 6 7 8  (3, 5 and 7 twice; 3 and 7 probes)

TEST(SmtraceCompare, TableOfAHandCheckedExample) {
  Outcome got = smtrace({"compare", "abab", "ccabaabab"});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.err, "");
  EXPECT_EQ(got.out,
            "algorithm             recorded  distinct  recorded/char  most at one  occurrence\n"
            "turbo_reverse_factor         8         8          0.889            1           5\n"
            "morris_pratt                11         9           1.22            3           5\n"
            "not_so_naive                10         8           1.11            3           5\n"
            "raita                        9         6           1.00            2           5\n"
            "tuned_bm                     9         6           1.00            2           5\n"
            "berry_ravindran              7         6          0.778            2           5\n"
            "skip_search                 11         8           1.22            2           5\n"
            "\n"
            "algorithm             reads  compare  look-ahead  probe  edge  dropped  attempts\n"
            "turbo_reverse_factor      8        0           0      0     8        0         3\n"
            "morris_pratt             11       11           0      0     0        0         5\n"
            "not_so_naive             10       10           0      0     0        0         5\n"
            "raita                    10       10           0      0     0        1         4\n"
            "tuned_bm                 11       11           0      0     0        2         3\n"
            "berry_ravindran           7        5           2      0     0        0         2\n"
            "skip_search              11        9           0      2     0        0         2\n"
            "\n"
            "recorded: the reads in the trace; most at one: the most recorded reads of one\n"
            "position; occurrence: where the routine itself found the pattern. reads: every\n"
            "text read, recorded or dropped, counted by what it was for. A position read\n"
            "again inside one attempt is dropped by Not So Naive, Raita, Tuned Boyer-Moore\n"
            "and Berry-Ravindran (each of their attempts runs in a pruning window), and\n"
            "recorded again by Turbo Reverse Factor, Morris-Pratt and Skip Search.\n");
  for (const std::string& line : lines_of(got.out)) EXPECT_LE(line.size(), 80u) << line;
}

TEST(SmtraceCompare, JsonOfAHandCheckedExample) {
  Outcome got = smtrace({"compare", "--json", "abab", "ccabaabab"});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.err, "");
  EXPECT_EQ(got.out,
            "{\n"
            "  \"pattern_length\": 4,\n"
            "  \"text_length\": 9,\n"
            "  \"algorithms\": {\n"
            "    \"turbo_reverse_factor\": {\"refused\": false, \"reads\": 8, \"distinct_positions\": 8, \"reads_per_character\": 0.8888888888888888, \"most_reads_of_one_position\": 1, \"first_occurrence\": 5, \"occurrence\": 5, \"drops_repeats\": false, \"counts\": {\"reads\": 8, \"recorded\": 8, \"compare\": 0, \"look-ahead\": 0, \"probe\": 0, \"edge\": 8, \"dropped\": 0, \"dropped_repeat\": 0, \"dropped_bound\": 0, \"attempts\": 3}},\n"
            "    \"morris_pratt\": {\"refused\": false, \"reads\": 11, \"distinct_positions\": 9, \"reads_per_character\": 1.2222222222222223, \"most_reads_of_one_position\": 3, \"first_occurrence\": 5, \"occurrence\": 5, \"drops_repeats\": false, \"counts\": {\"reads\": 11, \"recorded\": 11, \"compare\": 11, \"look-ahead\": 0, \"probe\": 0, \"edge\": 0, \"dropped\": 0, \"dropped_repeat\": 0, \"dropped_bound\": 0, \"attempts\": 5}},\n"
            "    \"not_so_naive\": {\"refused\": false, \"reads\": 10, \"distinct_positions\": 8, \"reads_per_character\": 1.1111111111111112, \"most_reads_of_one_position\": 3, \"first_occurrence\": 5, \"occurrence\": 5, \"drops_repeats\": true, \"counts\": {\"reads\": 10, \"recorded\": 10, \"compare\": 10, \"look-ahead\": 0, \"probe\": 0, \"edge\": 0, \"dropped\": 0, \"dropped_repeat\": 0, \"dropped_bound\": 0, \"attempts\": 5}},\n"
            "    \"raita\": {\"refused\": false, \"reads\": 9, \"distinct_positions\": 6, \"reads_per_character\": 1.0, \"most_reads_of_one_position\": 2, \"first_occurrence\": 5, \"occurrence\": 5, \"drops_repeats\": true, \"counts\": {\"reads\": 10, \"recorded\": 9, \"compare\": 10, \"look-ahead\": 0, \"probe\": 0, \"edge\": 0, \"dropped\": 1, \"dropped_repeat\": 1, \"dropped_bound\": 0, \"attempts\": 4}},\n"
            "    \"tuned_bm\": {\"refused\": false, \"reads\": 9, \"distinct_positions\": 6, \"reads_per_character\": 1.0, \"most_reads_of_one_position\": 2, \"first_occurrence\": 5, \"occurrence\": 5, \"drops_repeats\": true, \"counts\": {\"reads\": 11, \"recorded\": 9, \"compare\": 11, \"look-ahead\": 0, \"probe\": 0, \"edge\": 0, \"dropped\": 2, \"dropped_repeat\": 2, \"dropped_bound\": 0, \"attempts\": 3}},\n"
            "    \"berry_ravindran\": {\"refused\": false, \"reads\": 7, \"distinct_positions\": 6, \"reads_per_character\": 0.7777777777777778, \"most_reads_of_one_position\": 2, \"first_occurrence\": 5, \"occurrence\": 5, \"drops_repeats\": true, \"counts\": {\"reads\": 7, \"recorded\": 7, \"compare\": 5, \"look-ahead\": 2, \"probe\": 0, \"edge\": 0, \"dropped\": 0, \"dropped_repeat\": 0, \"dropped_bound\": 0, \"attempts\": 2}},\n"
            "    \"skip_search\": {\"refused\": false, \"reads\": 11, \"distinct_positions\": 8, \"reads_per_character\": 1.2222222222222223, \"most_reads_of_one_position\": 2, \"first_occurrence\": 5, \"occurrence\": 5, \"drops_repeats\": false, \"counts\": {\"reads\": 11, \"recorded\": 11, \"compare\": 9, \"look-ahead\": 0, \"probe\": 2, \"edge\": 0, \"dropped\": 0, \"dropped_repeat\": 0, \"dropped_bound\": 0, \"attempts\": 2}}\n"
            "  }\n"
            "}\n");
  EXPECT_TRUE(JsonCheck(got.out).valid());
}

TEST(SmtraceCompare, CountsAreTheExplainingLibrarysSummary) {
  // Every routine's counts and own occurrence in compare --json are what
  // smtrace_summarize gives for the same search.
  ExplainingLibrary lib;
  for (const auto& [pattern, text] : std::vector<std::pair<std::string, std::string>>{
           {"abab", "abacabab"}, {"a", "bab"}, {"GATTACA", "TAGATTACAGATTACATTAGATTACA"}, {"ab", ""}}) {
    Outcome got = smtrace({"compare", "--json", pattern, text});
    ASSERT_EQ(got.status, 0);
    for (const Routine& r : routines()) {
      const std::string name = r.library;
      smtrace_counts c{};
      int32_t occurrence = -1;
      ASSERT_EQ(lib.summarize(name.c_str(), pattern.data(), static_cast<int32_t>(pattern.size()),
                              text.data(), static_cast<int32_t>(text.size()), &c, &occurrence),
                SMTRACE_OK);
      const std::string expected =
          "\"occurrence\": " + (occurrence >= 0 ? std::to_string(occurrence) : "null") +
          ", \"drops_repeats\": " + (r.windows ? "true" : "false") +
          ", \"counts\": {\"reads\": " + std::to_string(c.reads) +
          ", \"recorded\": " + std::to_string(c.recorded) + ", \"compare\": " + std::to_string(c.compares) +
          ", \"look-ahead\": " + std::to_string(c.look_aheads) + ", \"probe\": " + std::to_string(c.probes) +
          ", \"edge\": " + std::to_string(c.edges) + ", \"dropped\": " + std::to_string(c.dropped) +
          ", \"dropped_repeat\": " + std::to_string(c.dropped_repeat) +
          ", \"dropped_bound\": " + std::to_string(c.dropped_bound) +
          ", \"attempts\": " + std::to_string(c.attempts) + "}}";
      const size_t row = got.out.find("\"" + name + "\": {");
      ASSERT_NE(row, std::string::npos) << name;
      EXPECT_EQ(got.out.substr(got.out.find("\"occurrence\"", row),
                               expected.size()),
                expected)
          << name << " " << pattern << " " << text;
    }
  }
}

TEST(SmtraceCompare, RefusingRoutinesAreMarkedAndTheOthersRun) {
  // morris_pratt and not_so_naive take 8-bit patterns: xc8 xc9 occurs at 2
  // in a xc8 xc8 xc9. morris_pratt reads 0 | 1 2 | 2 3 (one fall-back at 2);
  // not_so_naive misses at 1 and at 2 (shift 1 each), then at window 2 reads
  // 3 (a hit) and the window's first character 2: 1 | 2 | 3 2.
  Outcome got = smtrace({"compare", "\xc8\xc9", "a\xc8\xc8\xc9"});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.err, "");
  EXPECT_EQ(got.out,
            "algorithm             recorded  distinct  recorded/char  most at one  occurrence\n"
            "turbo_reverse_factor  refused: pattern byte 0 is \\xc8, outside the 7-bit alphabet\n"
            "morris_pratt                 5         4           1.25            2           2\n"
            "not_so_naive                 4         3           1.00            2           2\n"
            "raita                 refused: pattern byte 0 is \\xc8, outside the 7-bit alphabet\n"
            "tuned_bm              refused: pattern byte 0 is \\xc8, outside the 7-bit alphabet\n"
            "berry_ravindran       refused: pattern byte 0 is \\xc8, outside the 7-bit alphabet\n"
            "skip_search           refused: pattern byte 0 is \\xc8, outside the 7-bit alphabet\n"
            "\n"
            "algorithm             reads  compare  look-ahead  probe  edge  dropped  attempts\n"
            "turbo_reverse_factor  refused\n"
            "morris_pratt              5        5           0      0     0        0         3\n"
            "not_so_naive              4        4           0      0     0        0         3\n"
            "raita                 refused\n"
            "tuned_bm              refused\n"
            "berry_ravindran       refused\n"
            "skip_search           refused\n"
            "\n"
            "recorded: the reads in the trace; most at one: the most recorded reads of one\n"
            "position; occurrence: where the routine itself found the pattern. reads: every\n"
            "text read, recorded or dropped, counted by what it was for. A position read\n"
            "again inside one attempt is dropped by Not So Naive, Raita, Tuned Boyer-Moore\n"
            "and Berry-Ravindran (each of their attempts runs in a pruning window), and\n"
            "recorded again by Turbo Reverse Factor, Morris-Pratt and Skip Search.\n");
}

TEST(SmtraceCompare, EmptyTextAndNoOccurrence) {
  Outcome got = smtrace({"compare", "--json", "ab", ""});
  EXPECT_EQ(got.status, 0);
  for (const Routine& r : routines()) {
    EXPECT_NE(got.out.find("\"" + std::string(r.library) + "\": {\"refused\": false, \"reads\": 0, "
                           "\"distinct_positions\": 0, \"reads_per_character\": null, "
                           "\"most_reads_of_one_position\": 0, \"first_occurrence\": null, "
                           "\"occurrence\": null, \"drops_repeats\": " +
                           std::string(r.windows ? "true" : "false") +
                           ", \"counts\": {\"reads\": 0, \"recorded\": 0, \"compare\": 0, "
                           "\"look-ahead\": 0, \"probe\": 0, \"edge\": 0, \"dropped\": 0, "
                           "\"dropped_repeat\": 0, \"dropped_bound\": 0, \"attempts\": 0}}"),
              std::string::npos)
        << got.out;
  }
}

// ---------------------------------------------------------------------------
// explain, and show, its other name: a search attempt by attempt.

// The reads a view lists: each read's number, the position read, and
// whether the view says it was dropped (on its line, or on the lines its
// description goes on over); and the reads the counts at the end give.
struct ViewRead {
  int64_t number;
  int32_t position;
  bool dropped;
};
struct ViewReads {
  std::vector<ViewRead> reads;
  int64_t counted = -1;
  std::vector<int32_t> recorded() const {
    std::vector<int32_t> positions;
    for (const ViewRead& r : reads) {
      if (!r.dropped) positions.push_back(r.position);
    }
    return positions;
  }
};
// A read line is "  N  ...  M  ...  y[P] ...": its number, its mark
// (= x ^ ? + ! *) under the position, and the description from y[P] on. A
// line the description goes on over starts with blanks up to its column
// (18 at least) and a word.
ViewReads reads_of(const std::string& view) {
  ViewReads found;
  auto digits_from = [](const std::string& line, size_t at) {
    size_t end = at;
    while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end]))) ++end;
    return end;
  };
  for (const std::string& line : lines_of(view)) {
    if (line.rfind("reads ", 0) == 0) {
      const size_t end = digits_from(line, 6);
      if (end > 6 && end < line.size() && line[end] == ':') found.counted = std::stoll(line.substr(6, end - 6));
      continue;
    }
    const size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    if (std::isdigit(static_cast<unsigned char>(line[first]))) {
      const size_t number_end = digits_from(line, first);
      const size_t mark = line.find_first_not_of(' ', number_end);
      if (mark == std::string::npos || mark == number_end ||
          std::string("=x^?+!*").find(line[mark]) == std::string::npos) {
        continue;  // a ruler line
      }
      const size_t y = line.find_first_not_of(' ', mark + 1);
      if (y == std::string::npos || line.compare(y, 2, "y[") != 0) continue;
      const size_t position_end = digits_from(line, y + 2);
      found.reads.push_back({std::stoll(line.substr(first, number_end - first)),
                             std::stoi(line.substr(y + 2, position_end - y - 2)),
                             line.find("dropped: ") != std::string::npos});
    } else if (first >= 18 && std::islower(static_cast<unsigned char>(line[first])) &&
               !found.reads.empty()) {
      if (line.find("dropped: ") != std::string::npos) found.reads.back().dropped = true;
    }
  }
  return found;
}

// The block of attempt k (from 1) of a view: its lines up to the blank line.
std::string attempt_block(const std::string& view, size_t k) {
  const std::string head = "\nattempt " + std::to_string(k) + ", window ";
  const size_t from = view.find(head);
  if (from == std::string::npos) return "";
  return view.substr(from + 1, view.find("\n\n", from + 1) - from);
}

struct FrozenView {
  std::string algorithm;
  std::string pattern;
  std::string text;
  std::string view;
};

// Two searches per routine, among them the worked examples of each routine,
// checked below against their hand-worked attempts and then frozen as the
// tool printed them.
const std::vector<FrozenView>& frozen_views() {
  static const std::vector<FrozenView> views = {
      {"raita", "abab", "ccabaabab",
       R"VIEW(Raita: pattern "abab", m = 4, n = 9
reads are numbered in reading order; = match, x mismatch

bmBc      [a]=1  [b]=2  [other]=4
          the shift after a window by the text character under its last
          position: m - 1 - i for its rightmost index i before the last, else m

attempt 1, window 0
             0
             012345678
  text       ccabaabab
  pattern    abab
   1            =       y[3] b  x[3] b  match
   2         x          y[0] c  x[0] a  mismatch
  mismatch; shift 2: bmBc[b] = 2

attempt 2, window 2
             0
             012345678
  text       ccabaabab
  pattern      abab
   3              x     y[5] a  x[3] b  mismatch
  mismatch; shift 1: bmBc[a] = 1

attempt 3, window 3
             0
             012345678
  text       ccabaabab
  pattern       abab
   4               =    y[6] b  x[3] b  match
   5            x       y[3] b  x[0] a  mismatch
  mismatch; shift 2: bmBc[b] = 2

attempt 4, window 5
             0
             012345678
  text       ccabaabab
  pattern         abab
   6                 =  y[8] b  x[3] b  match
   7              =     y[5] a  x[0] a  match
   8                =   y[7] a  x[2] a  match
   9               =    y[6] b  x[1] b  match
  10                =   y[7] a  x[2] a  match  dropped: repeat
  occurrence at 5

occurrence at 5
reads 10: recorded 9, dropped 1 (repeat 1, bound 0)
comparisons 10, look-ahead 0, probe 0, edge 0; attempts 4
)VIEW"},
      {"raita", "ab", "cab",
       R"VIEW(Raita: pattern "ab", m = 2, n = 3
reads are numbered in reading order; = match, x mismatch

bmBc      [a]=1  [b]=2  [other]=2
          the shift after a window by the text character under its last
          position: m - 1 - i for its rightmost index i before the last, else m

attempt 1, window 0
             0
             012
  text       cab
  pattern    ab
  1           x   y[1] a  x[1] b  mismatch
  mismatch; shift 1: bmBc[a] = 1

attempt 2, window 1
             0
             012
  text       cab
  pattern     ab
  2            =  y[2] b  x[1] b  match
  3           =   y[1] a  x[0] a  match
  4            =  y[2] b  x[1] b  match  dropped: repeat
  occurrence at 1

occurrence at 1
reads 4: recorded 3, dropped 1 (repeat 1, bound 0)
comparisons 4, look-ahead 0, probe 0, edge 0; attempts 2
)VIEW"},
      {"turbo_reverse_factor", "aab", "bbaaaabb",
       R"VIEW(Turbo Reverse Factor: pattern "aab", m = 3, n = 8
reads are numbered in reading order; + edge, ! no edge

edges     0 -a-> 5 (+1)  0 -b-> 2 (+0)  2 -a-> 3 (+0)  3 -a-> 4 (+0)
          5 -a-> 4 (+0)
          the suffix automaton of the reversed pattern: "vertex character" gives
          the target vertex and the edge's shift

terminal  0  4  5
          the terminal vertices

mpTable   [0]=-1  [1]=0  [2]=1  [3]=0
          entry i: the length of the longest proper border of x[0..i-1] (-1 at
          0); after a mismatch at pattern index i the window moves on by i -
          mpTable[i]

attempt 1, window 0
  u = -1, p = 0: nothing remembered
             0
             01234567
  text       bbaaaabb
  pattern    aab
  1            +       y[2] a  edge 0 -> 5 (+1), terminal, d = 1, s = 2
  2           !        y[1] b  no edge from 5
  no edge; shift 2: s = 2: the last terminal vertex was reached at window index
    2

attempt 2, window 2
  u = 0, p = 1: window indexes 0 to 0 are known to match the pattern
             0
             01234567
  text       bbaaaabb
  pattern      aab
  3              +     y[4] a  edge 0 -> 5 (+1), terminal, d = 1, s = 2
  4             +      y[3] a  edge 5 -> 4 (+0), terminal, d = 1, s = 1
  first scan reaches i = u = 0, d = 1
  d = 1 != 0, half = 0, p = 1 > half: third scan down to index 0
  5            !       y[2] a  no edge from 4
  no edge; shift 1: s = 1: the last terminal vertex was reached at window index
    1

attempt 3, window 3
  u = 1, p = 1: window indexes 0 to 1 are known to match the pattern
             0
             01234567
  text       bbaaaabb
  pattern       aab
  6               +    y[5] a  edge 0 -> 5 (+1), terminal, d = 1, s = 2
  first scan reaches i = u = 1, d = 1
  d = 1 != 0, half = 1, p = 1 <= half: second scan with u = 0
  7              +     y[4] a  edge 5 -> 4 (+0), terminal, d = 1, s = 1
  scan complete: s = d = 1
  scan complete; shift 1: s = d = 1

attempt 4, window 4
  u = 1, p = 1: window indexes 0 to 1 are known to match the pattern
             0
             01234567
  text       bbaaaabb
  pattern        aab
  8                +   y[6] b  edge 0 -> 2 (+0), d = 0, s = 3
  first scan reaches i = u = 1, d = 0: the window is an occurrence
  occurrence at 4

occurrence at 4
reads 8: recorded 8, dropped 0 (repeat 0, bound 0)
comparisons 0, look-ahead 0, probe 0, edge 8; attempts 4
)VIEW"},
      {"turbo_reverse_factor", "abab", "bbbbbbbb",
       R"VIEW(Turbo Reverse Factor: pattern "abab", m = 4, n = 8
reads are numbered in reading order; + edge, ! no edge

edges     0 -a-> 3 (+1)  0 -b-> 2 (+0)  2 -a-> 3 (+0)  3 -b-> 4 (+0)
          4 -a-> 5 (+0)
          the suffix automaton of the reversed pattern: "vertex character" gives
          the target vertex and the edge's shift

terminal  0  3  5
          the terminal vertices

mpTable   [0]=-1  [1]=0  [2]=0  [3]=1  [4]=2
          entry i: the length of the longest proper border of x[0..i-1] (-1 at
          0); after a mismatch at pattern index i the window moves on by i -
          mpTable[i]

attempt 1, window 0
  u = -1, p = 0: nothing remembered
             0
             01234567
  text       bbbbbbbb
  pattern    abab
  1             +      y[3] b  edge 0 -> 2 (+0), d = 0, s = 4
  2            !       y[2] b  no edge from 2
  no edge; shift 4: s = m = 4: no terminal vertex reached

attempt 2, window 4
  u = -1, p = 0: nothing remembered
             0
             01234567
  text       bbbbbbbb
  pattern        abab
  3                 +  y[7] b  edge 0 -> 2 (+0), d = 0, s = 4
  4                !   y[6] b  no edge from 2
  no edge; shift 4: s = m = 4: no terminal vertex reached

no occurrence
reads 4: recorded 4, dropped 0 (repeat 0, bound 0)
comparisons 0, look-ahead 0, probe 0, edge 4; attempts 2
)VIEW"},
      {"morris_pratt", "abab", "abacabab",
       R"VIEW(Morris-Pratt: pattern "abab", m = 4, n = 8
reads are numbered in reading order; = match, x mismatch

mpTable   [0]=-1  [1]=0  [2]=0  [3]=1  [4]=2
          entry i: the length of the longest proper border of x[0..i-1] (-1 at
          0); after a mismatch at pattern index i the window moves on by i -
          mpTable[i]

attempt 1, window 0
             0
             01234567
  text       abacabab
  pattern    abab
   1         =         y[0] a  x[0] a  match
   2          =        y[1] b  x[1] b  match
   3           =       y[2] a  x[2] a  match
   4            x      y[3] c  x[3] b  mismatch
  mismatch; shift 2: mpTable[3] = 1

attempt 2, window 2
             0
             01234567
  text       abacabab
  pattern      abab
   5            x      y[3] c  x[1] b  mismatch
  mismatch; shift 1: mpTable[1] = 0

attempt 3, window 3
             0
             01234567
  text       abacabab
  pattern       abab
   6            x      y[3] c  x[0] a  mismatch
  mismatch; shift 1: mpTable[0] = -1

attempt 4, window 4
             0
             01234567
  text       abacabab
  pattern        abab
   7             =     y[4] a  x[0] a  match
   8              =    y[5] b  x[1] b  match
   9               =   y[6] a  x[2] a  match
  10                =  y[7] b  x[3] b  match
  occurrence at 4

occurrence at 4
reads 10: recorded 10, dropped 0 (repeat 0, bound 0)
comparisons 10, look-ahead 0, probe 0, edge 0; attempts 4
)VIEW"},
      {"morris_pratt", "aab", "aaab",
       R"VIEW(Morris-Pratt: pattern "aab", m = 3, n = 4
reads are numbered in reading order; = match, x mismatch

mpTable   [0]=-1  [1]=0  [2]=1  [3]=0
          entry i: the length of the longest proper border of x[0..i-1] (-1 at
          0); after a mismatch at pattern index i the window moves on by i -
          mpTable[i]

attempt 1, window 0
             0
             0123
  text       aaab
  pattern    aab
  1          =     y[0] a  x[0] a  match
  2           =    y[1] a  x[1] a  match
  3            x   y[2] a  x[2] b  mismatch
  mismatch; shift 1: mpTable[2] = 1

attempt 2, window 1
             0
             0123
  text       aaab
  pattern     aab
  4            =   y[2] a  x[1] a  match
  5             =  y[3] b  x[2] b  match
  occurrence at 1

occurrence at 1
reads 5: recorded 5, dropped 0 (repeat 0, bound 0)
comparisons 5, look-ahead 0, probe 0, edge 0; attempts 2
)VIEW"},
      {"not_so_naive", "abc", "xabxabc",
       R"VIEW(Not So Naive: pattern "abc", m = 3, n = 7
reads are numbered in reading order; = match, x mismatch

shifts    miss=1  hit=2
          miss: y[j + 1] differs from x[1]; hit: it equals x[1] but the window
          is no occurrence

attempt 1, window 0
             0
             0123456
  text       xabxabc
  pattern    abc
  1           x       y[1] a  x[1] b  mismatch
  mismatch; shift 1: miss shift = 1

attempt 2, window 1
             0
             0123456
  text       xabxabc
  pattern     abc
  2            =      y[2] b  x[1] b  match
  3             x     y[3] x  x[2] c  mismatch
  mismatch; shift 2: hit shift = 2

attempt 3, window 3
             0
             0123456
  text       xabxabc
  pattern       abc
  4              x    y[4] a  x[1] b  mismatch
  mismatch; shift 1: miss shift = 1

attempt 4, window 4
             0
             0123456
  text       xabxabc
  pattern        abc
  5               =   y[5] b  x[1] b  match
  6                =  y[6] c  x[2] c  match
  7              =    y[4] a  x[0] a  match
  occurrence at 4

occurrence at 4
reads 7: recorded 7, dropped 0 (repeat 0, bound 0)
comparisons 7, look-ahead 0, probe 0, edge 0; attempts 4
)VIEW"},
      {"not_so_naive", "aab", "aaaab",
       R"VIEW(Not So Naive: pattern "aab", m = 3, n = 5
reads are numbered in reading order; = match, x mismatch

shifts    miss=2  hit=1
          miss: y[j + 1] differs from x[1]; hit: it equals x[1] but the window
          is no occurrence

attempt 1, window 0
             0
             01234
  text       aaaab
  pattern    aab
  1           =     y[1] a  x[1] a  match
  2            x    y[2] a  x[2] b  mismatch
  mismatch; shift 1: hit shift = 1

attempt 2, window 1
             0
             01234
  text       aaaab
  pattern     aab
  3            =    y[2] a  x[1] a  match
  4             x   y[3] a  x[2] b  mismatch
  mismatch; shift 1: hit shift = 1

attempt 3, window 2
             0
             01234
  text       aaaab
  pattern      aab
  5             =   y[3] a  x[1] a  match
  6              =  y[4] b  x[2] b  match
  7            =    y[2] a  x[0] a  match
  occurrence at 2

occurrence at 2
reads 7: recorded 7, dropped 0 (repeat 0, bound 0)
comparisons 7, look-ahead 0, probe 0, edge 0; attempts 3
)VIEW"},
      {"tuned_bm", "abab", "ccabaabab",
       R"VIEW(Tuned Boyer-Moore: pattern "abab", m = 4, n = 9
reads are numbered in reading order; = match, x mismatch

bmBc      [a]=1  [b]=2  [other]=4
          the shift after a window by the text character under its last
          position: m - 1 - i for its rightmost index i before the last, else m

attempt 1, window 0
             0
             012345678
  text       ccabaabab
  pattern    abab
   1            =       y[3] b  x[3] b  match
   2         x          y[0] c  x[0] a  mismatch
  mismatch; shift 2: match shift: bmBc[b] = 2

attempt 2, window 2
             0
             012345678
  text       ccabaabab
  pattern      abab
   3              x     y[5] a  x[3] b  mismatch
  window moves +1 to 3: bmBc[a] = 1
  pattern       abab
   4               =    y[6] b  x[3] b  match
   5               =    y[6] b  x[3] b  match  dropped: repeat
   6               =    y[6] b  x[3] b  match  dropped: repeat
   7            x       y[3] b  x[0] a  mismatch
  mismatch; shift 2: match shift: bmBc[b] = 2

attempt 3, window 5
             0
             012345678
  text       ccabaabab
  pattern         abab
   8                 =  y[8] b  x[3] b  match
   9              =     y[5] a  x[0] a  match
  10               =    y[6] b  x[1] b  match
  11                =   y[7] a  x[2] a  match
  occurrence at 5

occurrence at 5
reads 11: recorded 9, dropped 2 (repeat 2, bound 0)
comparisons 11, look-ahead 0, probe 0, edge 0; attempts 3
)VIEW"},
      {"tuned_bm", "abcd", "abcabcabcd",
       R"VIEW(Tuned Boyer-Moore: pattern "abcd", m = 4, n = 10
reads are numbered in reading order; = match, x mismatch

bmBc      [a]=3  [b]=2  [c]=1  [d]=4  [other]=4
          the shift after a window by the text character under its last
          position: m - 1 - i for its rightmost index i before the last, else m

attempt 1, window 0
             0
             0123456789
  text       abcabcabcd
  pattern    abcd
  1             x        y[3] a  x[3] d  mismatch
  window moves +3 to 3: bmBc[a] = 3
  pattern       abcd
  2                x     y[6] a  x[3] d  mismatch
  window moves +3 to 6: bmBc[a] = 3
  pattern          abcd
  3                   =  y[9] d  x[3] d  match
  4                   =  y[9] d  x[3] d  match  dropped: repeat
  5                =     y[6] a  x[0] a  match  dropped: repeat
  6                 =    y[7] b  x[1] b  match
  7                  =   y[8] c  x[2] c  match
  occurrence at 6

occurrence at 6
reads 7: recorded 5, dropped 2 (repeat 2, bound 0)
comparisons 7, look-ahead 0, probe 0, edge 0; attempts 1
)VIEW"},
      {"berry_ravindran", "abcab", "cabdcabcab",
       R"VIEW(Berry-Ravindran: pattern "abcab", m = 5, n = 10
reads are numbered in reading order; = match, x mismatch, ^ look-ahead

brBc      [a][a]=6  [a][b]=2  [b][a]=1  [b][b]=1  [b][c]=1  [b][other]=1
          [c][a]=3  [other][a]=6  default=7
          the shift after a window by the two text characters right of it, y[j +
          m] and y[j + m + 1]; every pair not listed shifts by m + 2

attempt 1, window 0
             0
             0123456789
  text       cabdcabcab
  pattern    abcab
   1         x           y[0] c  x[0] a  mismatch
   2              ^      y[5] a  look-ahead
   3               ^     y[6] b  look-ahead
  mismatch; shift 2: brBc[a][b] = 2

attempt 2, window 2
             0
             0123456789
  text       cabdcabcab
  pattern      abcab
   4           x         y[2] b  x[0] a  mismatch
   5                ^    y[7] c  look-ahead
   6                 ^   y[8] a  look-ahead
  mismatch; shift 3: brBc[c][a] = 3

attempt 3, window 5
             0
             0123456789
  text       cabdcabcab
  pattern         abcab
   7              =      y[5] a  x[0] a  match
   8               =     y[6] b  x[1] b  match
   9                =    y[7] c  x[2] c  match
  10                 =   y[8] a  x[3] a  match
  11                  =  y[9] b  x[4] b  match
  occurrence at 5

occurrence at 5
reads 11: recorded 11, dropped 0 (repeat 0, bound 0)
comparisons 7, look-ahead 4, probe 0, edge 0; attempts 3
)VIEW"},
      {"berry_ravindran", "ab", "xab",
       R"VIEW(Berry-Ravindran: pattern "ab", m = 2, n = 3
reads are numbered in reading order; = match, x mismatch, ^ look-ahead

brBc      [a][a]=3  [a][b]=2  [b][a]=1  [b][b]=1  [b][other]=1  [other][a]=3
          default=4
          the shift after a window by the two text characters right of it, y[j +
          m] and y[j + m + 1]; every pair not listed shifts by m + 2

attempt 1, window 0
             0
             0123
  text       xab\x00
  pattern    ab
  1          x        y[0] x  x[0] a  mismatch
  2            ^      y[2] b  look-ahead
  3             ^     y[3] \x00  look-ahead  dropped: bound
  mismatch; shift 1: brBc[b][\x00] = 1

attempt 2, window 1
             0
             0123
  text       xab\x00
  pattern     ab
  4           =       y[1] a  x[0] a  match
  5            =      y[2] b  x[1] b  match
  occurrence at 1

occurrence at 1
reads 5: recorded 4, dropped 1 (repeat 0, bound 1)
comparisons 3, look-ahead 2, probe 0, edge 0; attempts 2
)VIEW"},
      {"skip_search", "abab", "ccabaabab",
       R"VIEW(Skip Search: pattern "abab", m = 4, n = 9
reads are numbered in reading order; = match, x mismatch, ? probe

lists     [a]=2,0  [b]=3,1
          for each character, the pattern positions that hold it, in decreasing
          order

attempt 1, window 0
             0
             012345678
  text       ccabaabab
  pattern    abab
   1            ?       y[3] b  probe
  window stays at 0: list[b] holds 3
   2         x          y[0] c  x[0] a  mismatch
  window moves +2 to 2: list[b] holds 1
  pattern      abab
   3           =        y[2] a  x[0] a  match
   4            =       y[3] b  x[1] b  match
   5             =      y[4] a  x[2] a  match
   6              x     y[5] a  x[3] b  mismatch
  mismatch; shift 2: probe step m = 4 from the probe's first window

attempt 2, window 4
             0
             012345678
  text       ccabaabab
  pattern        abab
   7                ?   y[7] a  probe
  window moves +1 to 5: list[a] holds 2
  pattern         abab
   8              =     y[5] a  x[0] a  match
   9               =    y[6] b  x[1] b  match
  10                =   y[7] a  x[2] a  match
  11                 =  y[8] b  x[3] b  match
  occurrence at 5

occurrence at 5
reads 11: recorded 11, dropped 0 (repeat 0, bound 0)
comparisons 9, look-ahead 0, probe 2, edge 0; attempts 2
)VIEW"},
      {"skip_search", "ab", "c\tca",
       R"VIEW(Skip Search: pattern "ab", m = 2, n = 4
reads are numbered in reading order; x mismatch, ? probe

lists     [a]=0  [b]=1
          for each character, the pattern positions that hold it, in decreasing
          order

attempt 1, window 0
             0
             01   234
  text       c\x09ca\x00
  pattern    ab
  1           ?           y[1] \x09  probe
  no candidate; shift 2: probe step m = 2 from the probe's first window

attempt 2, window 2
             0
             01   234
  text       c\x09ca\x00
  pattern         ab
  2                ?      y[3] a  probe
  window moves +1 to 3: list[a] holds 0
  pattern          ab
  3                 x     y[4] \x00  x[1] b  mismatch
  mismatch; shift 1: probe step m = 2 from the probe's first window

no occurrence
reads 3: recorded 3, dropped 0 (repeat 0, bound 0)
comparisons 1, look-ahead 0, probe 2, edge 0; attempts 2
)VIEW"},
  };
  return views;
}

TEST(SmtraceExplain, ExactViewsOfTwoSearchesPerRoutine) {
  for (const auto& v : frozen_views()) {
    for (const char* command : {"explain", "show"}) {
      Outcome got = smtrace({command, v.algorithm, v.pattern, v.text});
      EXPECT_EQ(got.status, 0) << command << " " << v.algorithm;
      EXPECT_EQ(got.err, "") << command << " " << v.algorithm;
      EXPECT_EQ(got.out, v.view) << command << " " << v.algorithm << " " << v.pattern << " in "
                                 << v.text;
    }
  }
}

// What each attempt of a worked example shows, from its table worked by
// hand: the window, then, in order, the reads (position and character,
// pattern index and character, result), drops, moves, notes, and how the
// attempt ends with its shift and the shift's source.
struct AttemptFacts {
  int32_t window;
  std::vector<std::string> lines;
};
struct WorkedExample {
  std::string algorithm;
  std::string pattern;
  std::string text;
  std::vector<AttemptFacts> attempts;
  std::string end;  // the routine's own occurrence and the counts
};

TEST(SmtraceExplain, WorkedExamplesShowTheirAttempts) {
  const std::vector<WorkedExample> examples = {
      {"raita", "abab", "ccabaabab",
       {{0, {"y[3] b  x[3] b  match", "y[0] c  x[0] a  mismatch", "mismatch; shift 2: bmBc[b] = 2"}},
        {2, {"y[5] a  x[3] b  mismatch", "mismatch; shift 1: bmBc[a] = 1"}},
        {3, {"y[6] b  x[3] b  match", "y[3] b  x[0] a  mismatch", "mismatch; shift 2: bmBc[b] = 2"}},
        {5, {"y[8] b  x[3] b  match", "y[5] a  x[0] a  match", "y[7] a  x[2] a  match",
             "y[6] b  x[1] b  match", "y[7] a  x[2] a  match  dropped: repeat", "occurrence at 5"}}},
       "occurrence at 5\nreads 10: recorded 9, dropped 1 (repeat 1, bound 0)\n"
       "comparisons 10, look-ahead 0, probe 0, edge 0; attempts 4\n"},
      {"turbo_reverse_factor", "aab", "bbaaaabb",
       {{0, {"u = -1, p = 0: nothing remembered", "y[2] a  edge 0 -> 5 (+1), terminal, d = 1, s = 2",
             "y[1] b  no edge from 5", "no edge; shift 2: s = 2"}},
        {2, {"u = 0, p = 1", "y[4] a  edge 0 -> 5 (+1), terminal, d = 1, s = 2",
             "y[3] a  edge 5 -> 4 (+0), terminal, d = 1, s = 1", "first scan reaches i = u = 0",
             "half = 0, p = 1 > half: third scan down to index 0", "y[2] a  no edge from 4",
             "no edge; shift 1: s = 1"}},
        {3, {"u = 1, p = 1", "y[5] a  edge 0 -> 5 (+1), terminal, d = 1, s = 2",
             "first scan reaches i = u = 1", "half = 1, p = 1 <= half: second scan with u = 0",
             "y[4] a  edge 5 -> 4 (+0), terminal, d = 1, s = 1", "shift 1: s = d = 1"}},
        {4, {"y[6] b  edge 0 -> 2 (+0), d = 0, s = 3", "d = 0: the window is an occurrence",
             "occurrence at 4"}}},
       "occurrence at 4\nreads 8: recorded 8, dropped 0 (repeat 0, bound 0)\n"
       "comparisons 0, look-ahead 0, probe 0, edge 8; attempts 4\n"},
      {"morris_pratt", "abab", "abacabab",
       {{0, {"y[0] a  x[0] a  match", "y[1] b  x[1] b  match", "y[2] a  x[2] a  match",
             "y[3] c  x[3] b  mismatch", "mismatch; shift 2: mpTable[3] = 1"}},
        {2, {"y[3] c  x[1] b  mismatch", "mismatch; shift 1: mpTable[1] = 0"}},
        {3, {"y[3] c  x[0] a  mismatch", "mismatch; shift 1: mpTable[0] = -1"}},
        {4, {"y[4] a  x[0] a  match", "y[5] b  x[1] b  match", "y[6] a  x[2] a  match",
             "y[7] b  x[3] b  match", "occurrence at 4"}}},
       "occurrence at 4\nreads 10: recorded 10, dropped 0 (repeat 0, bound 0)\n"
       "comparisons 10, look-ahead 0, probe 0, edge 0; attempts 4\n"},
      {"not_so_naive", "abc", "xabxabc",
       {{0, {"y[1] a  x[1] b  mismatch", "mismatch; shift 1: miss shift = 1"}},
        {1, {"y[2] b  x[1] b  match", "y[3] x  x[2] c  mismatch", "mismatch; shift 2: hit shift = 2"}},
        {3, {"y[4] a  x[1] b  mismatch", "mismatch; shift 1: miss shift = 1"}},
        {4, {"y[5] b  x[1] b  match", "y[6] c  x[2] c  match", "y[4] a  x[0] a  match",
             "occurrence at 4"}}},
       "occurrence at 4\nreads 7: recorded 7, dropped 0 (repeat 0, bound 0)\n"
       "comparisons 7, look-ahead 0, probe 0, edge 0; attempts 4\n"},
      {"not_so_naive", "aab", "aaaab",
       {{0, {"y[1] a  x[1] a  match", "y[2] a  x[2] b  mismatch", "mismatch; shift 1: hit shift = 1"}},
        {1, {"y[2] a  x[1] a  match", "y[3] a  x[2] b  mismatch", "mismatch; shift 1: hit shift = 1"}},
        {2, {"y[3] a  x[1] a  match", "y[4] b  x[2] b  match", "y[2] a  x[0] a  match",
             "occurrence at 2"}}},
       "occurrence at 2\nreads 7: recorded 7, dropped 0 (repeat 0, bound 0)\n"
       "comparisons 7, look-ahead 0, probe 0, edge 0; attempts 3\n"},
      {"tuned_bm", "abab", "ccabaabab",
       {{0, {"y[3] b  x[3] b  match", "y[0] c  x[0] a  mismatch",
             "mismatch; shift 2: match shift: bmBc[b] = 2"}},
        {2, {"y[5] a  x[3] b  mismatch", "window moves +1 to 3: bmBc[a] = 1", "y[6] b  x[3] b  match",
             "y[6] b  x[3] b  match  dropped: repeat", "y[6] b  x[3] b  match  dropped: repeat",
             "y[3] b  x[0] a  mismatch", "mismatch; shift 2: match shift: bmBc[b] = 2"}},
        {5, {"y[8] b  x[3] b  match", "y[5] a  x[0] a  match", "y[6] b  x[1] b  match",
             "y[7] a  x[2] a  match", "occurrence at 5"}}},
       "occurrence at 5\nreads 11: recorded 9, dropped 2 (repeat 2, bound 0)\n"
       "comparisons 11, look-ahead 0, probe 0, edge 0; attempts 3\n"},
      {"tuned_bm", "abcd", "abcabcabcd",
       {{0, {"y[3] a  x[3] d  mismatch", "window moves +3 to 3: bmBc[a] = 3", "y[6] a  x[3] d  mismatch",
             "window moves +3 to 6: bmBc[a] = 3", "y[9] d  x[3] d  match",
             "y[9] d  x[3] d  match  dropped: repeat", "y[6] a  x[0] a  match  dropped: repeat",
             "y[7] b  x[1] b  match", "y[8] c  x[2] c  match", "occurrence at 6"}}},
       "occurrence at 6\nreads 7: recorded 5, dropped 2 (repeat 2, bound 0)\n"
       "comparisons 7, look-ahead 0, probe 0, edge 0; attempts 1\n"},
      {"berry_ravindran", "abcab", "cabdcabcab",
       {{0, {"y[0] c  x[0] a  mismatch", "y[5] a  look-ahead", "y[6] b  look-ahead",
             "mismatch; shift 2: brBc[a][b] = 2"}},
        {2, {"y[2] b  x[0] a  mismatch", "y[7] c  look-ahead", "y[8] a  look-ahead",
             "mismatch; shift 3: brBc[c][a] = 3"}},
        {5, {"y[5] a  x[0] a  match", "y[6] b  x[1] b  match", "y[7] c  x[2] c  match",
             "y[8] a  x[3] a  match", "y[9] b  x[4] b  match", "occurrence at 5"}}},
       "occurrence at 5\nreads 11: recorded 11, dropped 0 (repeat 0, bound 0)\n"
       "comparisons 7, look-ahead 4, probe 0, edge 0; attempts 3\n"},
      {"skip_search", "abab", "ccabaabab",
       {{0, {"y[3] b  probe", "window stays at 0: list[b] holds 3", "y[0] c  x[0] a  mismatch",
             "window moves +2 to 2: list[b] holds 1", "y[2] a  x[0] a  match", "y[3] b  x[1] b  match",
             "y[4] a  x[2] a  match", "y[5] a  x[3] b  mismatch", "mismatch; shift 2: probe step m = 4 from the probe's first window"}},
        {4, {"y[7] a  probe", "window moves +1 to 5: list[a] holds 2", "y[5] a  x[0] a  match",
             "y[6] b  x[1] b  match", "y[7] a  x[2] a  match", "y[8] b  x[3] b  match",
             "occurrence at 5"}}},
       "occurrence at 5\nreads 11: recorded 11, dropped 0 (repeat 0, bound 0)\n"
       "comparisons 9, look-ahead 0, probe 2, edge 0; attempts 2\n"},
  };
  for (const auto& x : examples) {
    const std::string what = x.algorithm + " " + x.pattern + " in " + x.text;
    Outcome got = smtrace({"explain", x.algorithm, x.pattern, x.text});
    ASSERT_EQ(got.status, 0) << what;
    for (size_t k = 0; k < x.attempts.size(); ++k) {
      const std::string block = attempt_block(got.out, k + 1);
      EXPECT_EQ(block.rfind("attempt " + std::to_string(k + 1) + ", window " +
                                std::to_string(x.attempts[k].window) + "\n",
                            0),
                0u)
          << what << ", attempt " << k + 1 << ":\n"
          << block;
      size_t at = 0;
      for (const std::string& line : x.attempts[k].lines) {
        const size_t found = block.find(line, at);
        EXPECT_NE(found, std::string::npos) << what << ", attempt " << k + 1 << ": no \"" << line
                                            << "\" in order in\n"
                                            << block;
        if (found != std::string::npos) at = found + line.size();
      }
    }
    EXPECT_EQ(attempt_block(got.out, x.attempts.size() + 1), "") << what;
    const size_t end = got.out.rfind("\n\n");
    EXPECT_EQ(got.out.substr(end + 2), x.end) << what;
  }
}

TEST(SmtraceExplain, RecordedReadsAreTheTrace) {
  // Every read is listed once, numbered in order; the reads not marked
  // dropped are the trace that run prints, and the counts agree.
  for (const Routine& r : routines()) {
    const std::string name = r.library;
    for (const TraceCase& example : worked_examples(r)) {
      const std::string& pattern = example.pattern;
      const std::string& text = example.text;
      const std::string what = name + " \"" + pattern + "\" in \"" + text + "\"";
      Outcome view = smtrace({"explain", name, pattern, text});
      ASSERT_EQ(view.status, 0) << what;
      const ViewReads reads = reads_of(view.out);
      for (size_t k = 0; k < reads.reads.size(); ++k) {
        EXPECT_EQ(reads.reads[k].number, static_cast<int64_t>(k + 1)) << what;
      }
      EXPECT_EQ(reads.counted, static_cast<int64_t>(reads.reads.size())) << what << "\n" << view.out;
      EXPECT_EQ(printed(reads.recorded()), smtrace({"run", name, pattern, text}).out)
          << what << "\n"
          << view.out;
      EXPECT_EQ(view.out.find('\x1b'), std::string::npos) << what;
    }
  }
}

// A text of n characters over "abc" that looks random and always the same.
std::string varied_text(size_t n, const std::string& alphabet) {
  std::string text;
  uint32_t state = 12345;
  for (size_t i = 0; i < n; ++i) {
    state = state * 1103515245u + 12345u;
    text += alphabet[(state >> 16) % alphabet.size()];
  }
  return text;
}

TEST(SmtraceExplain, EveryLineFitsEightyColumns) {
  // A 5,000-character text with a 19-character pattern that occurs near its
  // end; a 100-byte pattern; spaces, tabs and other bytes that are shown
  // escaped, several columns wide. Piped, no line has an escape sequence.
  Scratch scratch;
  std::string long_text = varied_text(5000, "abc");
  const std::string nineteen = long_text.substr(4000, 19);
  const std::string hundred = varied_text(100, "ab");
  const std::string long_file = scratch.file("long.txt", long_text);
  const std::string spaced_text = varied_text(300, "ab \t\\") + hundred + "zz";
  const std::string spaced_file = scratch.file("spaced.txt", spaced_text);
  const std::string hundred_file = scratch.file("hundred.txt", hundred);
  const std::string spaced_pattern_file = scratch.file("spaced_pattern.txt", "a \tb\\ab  a");
  struct Case {
    std::vector<std::string> operands;
    std::string text;
    std::string pattern;
  };
  const std::vector<Case> cases = {
      {{"--text-file", long_file, nineteen}, long_text, nineteen},
      {{"--text-file", long_file, "abcabcabcabcabcabca"}, long_text, "abcabcabcabcabcabca"},
      {{"--text-file", spaced_file, "--pattern-file", hundred_file}, spaced_text, hundred},
      {{"--text-file", spaced_file, "--pattern-file", spaced_pattern_file}, spaced_text, "a \tb\\ab  a"},
  };
  for (const Routine& r : routines()) {
    const std::string name = r.library;
    for (const auto& c : cases) {
      std::vector<std::string> args = {"explain", name};
      args.insert(args.end(), c.operands.begin(), c.operands.end());
      Outcome got = smtrace(args);
      ASSERT_EQ(got.status, 0) << describe(args) << got.err;
      size_t widest = 0;
      for (const std::string& line : lines_of(got.out)) widest = std::max(widest, line.size());
      EXPECT_LE(widest, 80u) << describe(args);
      EXPECT_EQ(got.out.find('\x1b'), std::string::npos) << describe(args);
      // Still every read, and the trace among them.
      std::vector<std::string> run_args = args;
      run_args[0] = "run";
      const ViewReads reads = reads_of(got.out);
      EXPECT_EQ(reads.counted, static_cast<int64_t>(reads.reads.size())) << describe(args);
      EXPECT_EQ(printed(reads.recorded()), smtrace(run_args).out) << describe(args);
    }
  }
}

TEST(SmtraceExplain, LongTextsShowTheirPositions) {
  // Around each window a part of the text, its positions labelled; a long
  // pattern is cut where the part shown ends, and so is the text.
  Scratch scratch;
  const std::string text_file =
      scratch.file("text", std::string(4990, 'a') + std::string(20, 'b') + "cabababab");
  Outcome got = smtrace({"explain", "raita", "--text-file", text_file, "cabababab"});
  ASSERT_EQ(got.status, 0);
  // The last attempt: a window of 9 at 5010, the text ending at 5018.
  const std::string last = attempt_block(got.out, 4994);
  EXPECT_EQ(last,
            "attempt 4994, window 5010\n"
            "                     5000      5010\n"
            "             234567890123456789012345678\n"
            "  text    ...bbbbbbbbbbbbbbbbbbcabababab\n"
            "  pattern                      cabababab\n"
            "  5004                                 =  y[5018] b  x[8] b  match\n"
            "  5005                         =          y[5010] c  x[0] c  match\n"
            "  5006                             =      y[5014] b  x[4] b  match\n"
            "  5007                          =         y[5011] a  x[1] a  match\n"
            "  5008                           =        y[5012] b  x[2] b  match\n"
            "  5009                            =       y[5013] a  x[3] a  match\n"
            "  5010                             =      y[5014] b  x[4] b  match\n"
            "                                            dropped: repeat\n"
            "  5011                              =     y[5015] a  x[5] a  match\n"
            "  5012                               =    y[5016] b  x[6] b  match\n"
            "  5013                                =   y[5017] a  x[7] a  match\n"
            "  occurrence at 5010\n");
  EXPECT_EQ(attempt_block(got.out, 4995), "");
  // The first: the text from 0, cut on the right.
  const std::string first =
            "attempt 1, window 0\n"
            "             0         10        20\n"
            "             012345678901234567890123456\n"
            "  text       aaaaaaaaaaaaaaaaaaaaaaaaaaa...\n"
            "  pattern    cabababab\n";
  EXPECT_EQ(attempt_block(got.out, 1).substr(0, first.size()), first);

  // A pattern of 60: cut in the header, and on the left of the part of the
  // text shown around the window's last position, read first; the text is
  // shown again around the window's start for the read that comes next.
  std::string pattern;
  std::string text = "c";
  for (int k = 0; k < 30; ++k) pattern += "ab";
  for (int k = 0; k < 40; ++k) text += "ab";
  got = smtrace({"explain", "raita", pattern, text});
  ASSERT_EQ(got.status, 0);
  EXPECT_EQ(lines_of(got.out)[0],
            "Raita: pattern \"abababababababababababababababababababababab\"..., m = 60, n = 81");
  const std::string second =
            "attempt 2, window 1\n"
            "                50        60        70\n"
            "             789012345678901234567890123\n"
            "  text    ...abababababababababababababa...\n"
            "  pattern ...ababababababab\n"
            "   2                      =               y[60] b  x[59] b  match\n"
            "             0         10        20\n"
            "             012345678901234567890123456\n"
            "  text       cababababababababababababab...\n"
            "  pattern     ababababababababababababab...\n";
  EXPECT_EQ(attempt_block(got.out, 2).substr(0, second.size()), second);
}

TEST(SmtraceExplain, ColourOnlyOnATerminalAndNeverInstead) {
  for (const Routine& r : routines()) {
    const std::string name = r.library;
    const std::vector<std::string> args = {"explain", name, "abab", "ccabaabab"};
    const std::string piped = smtrace(args).out;
    // On a terminal: the same text, with escapes around marks and results.
    Outcome coloured = smtrace_on_terminal({"-NO_COLOR"}, args);
    EXPECT_EQ(coloured.status, 0) << name;
    EXPECT_NE(coloured.out.find("\x1b["), std::string::npos) << name;
    EXPECT_NE(coloured.out.find("\x1b[0m"), std::string::npos) << name;
    EXPECT_EQ(without_escapes(coloured.out), piped) << name;
    // An empty NO_COLOR asks for nothing.
    Outcome empty = smtrace_on_terminal({"NO_COLOR="}, args);
    EXPECT_EQ(empty.status, 0) << name;
    EXPECT_EQ(empty.out, coloured.out) << name;
    // NO_COLOR set: no escapes at all, even on a terminal.
    Outcome plain = smtrace_on_terminal({"NO_COLOR=1"}, args);
    EXPECT_EQ(plain.status, 0) << name;
    EXPECT_EQ(plain.out, piped) << name;
  }
  // The marks stay what they are; colour only repeats them.
  Outcome got = smtrace_on_terminal({"-NO_COLOR"}, {"explain", "raita", "ab", "cab"});
  EXPECT_NE(got.out.find("\x1b[31mx"), std::string::npos) << got.out;
  EXPECT_NE(got.out.find("\x1b[32m="), std::string::npos) << got.out;
  EXPECT_NE(got.out.find("\x1b[31mmismatch\x1b[0m"), std::string::npos) << got.out;
  // JSON is never coloured.
  EXPECT_EQ(smtrace_on_terminal({"-NO_COLOR"}, {"explain", "raita", "ab", "cab", "--json"}).out,
            smtrace({"explain", "raita", "ab", "cab", "--json"}).out);
}

TEST(SmtraceExplain, JsonIsTheExplainingLibrarys) {
  ExplainingLibrary lib;
  Scratch scratch;
  const std::string text_file = scratch.file("text", std::string("ab\0ab\ncd\xe9", 9) + "abcab");
  for (const Routine& r : routines()) {
    const std::string name = r.library;
    for (const auto& [pattern, text] : std::vector<std::pair<std::string, std::string>>{
             {"abab", "ccabaabab"}, {"aab", "bbaaaabb"}, {"", "ab"}, {"abc", ""}}) {
      for (const char* command : {"explain", "show"}) {
        Outcome got = smtrace({command, name, pattern, text, "--json"});
        EXPECT_EQ(got.status, 0) << name;
        EXPECT_EQ(got.err, "") << name;
        EXPECT_EQ(got.out, lib.json(name, pattern, text)) << name << " " << pattern << " " << text;
        EXPECT_TRUE(JsonCheck(got.out).valid()) << got.out;
      }
    }
    Outcome got = smtrace({"explain", "--json", name, "--text-file", text_file, "ab"});
    EXPECT_EQ(got.out, lib.json(name, "ab", std::string("ab\0ab\ncd\xe9", 9) + "abcab")) << name;
    EXPECT_TRUE(JsonCheck(got.out).valid()) << got.out;
  }
}

TEST(SmtraceExplain, NeedsNoDeliverableLibrary) {
  // The explanation comes from libsmtrace.so alone.
  const std::vector<std::string> args = {"explain", "skip_search", "abab", "ccabaabab"};
  Outcome got = smtrace_with("SMTRACE_LIB_DIR=/nonexistent", args);
  EXPECT_EQ(got.status, 0) << got.err;
  EXPECT_EQ(got.out, smtrace(args).out);
}

TEST(SmtraceShow, IsExplainUnderItsOldName) {
  // The searches that show used to draw, a text of 101 characters (longer
  // than show used to take) among them.
  Scratch scratch;
  const std::string long_file = scratch.file("long.txt", std::string(100, 'a') + "b");
  const std::vector<std::vector<std::string>> searches = {
      {"morris_pratt", "abab", "ccabaabab"},
      {"morris_pratt", "b", std::string(69, 'a') + "b"},
      {"skip_search", "ab", "c\tca"},
      {"morris_pratt", "a", std::string(101, 'a')},
      {"raita", "--text-file", long_file, "ab"},
  };
  for (std::vector<std::string> args : searches) {
    args.insert(args.begin(), "explain");
    Outcome explained = smtrace(args);
    args[0] = "show";
    Outcome shown = smtrace(args);
    EXPECT_EQ(shown.status, 0) << describe(args);
    EXPECT_EQ(shown.err, "") << describe(args);
    EXPECT_EQ(shown.out, explained.out) << describe(args);
    EXPECT_EQ(shown.out.rfind("Morris-Pratt: pattern", 0) == 0 || shown.out.rfind("Skip Search", 0) == 0 ||
                  shown.out.rfind("Raita", 0) == 0,
              true)
        << shown.out.substr(0, 200);
  }
}

}  // namespace
}  // namespace sm_test
