// smtrace as a careful user finds it: where its files and its standard
// output go, pattern files that end with a newline, standard input, the
// figures' digits, run's formats, the help of each command, the manual page
// and the bash completion.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/cases.h"
#include "support/process.h"
#include "support/routines.h"

namespace sm_test {
namespace {

Outcome tool(std::vector<std::string> args) {
  args.insert(args.begin(), SMTRACE_TOOL);
  return run_with_stderr(args);
}

// A shell line with $0 the tool: sh -c LINE smtrace ARGS...
Outcome shell(const std::string& line, std::vector<std::string> args = {}) {
  args.insert(args.begin(), {"/bin/sh", "-c", line, SMTRACE_TOOL});
  return run_with_stderr(args);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/smtrace_tool.XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~Scratch() { std::filesystem::remove_all(path_); }
  std::string file(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
    return path(name);
  }
  std::string path(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

// raita on abc in xxabc: the plot written with --svg, and the trace line.
const std::vector<std::string> kRun = {"run", "raita", "abc", "xxabc"};
constexpr const char* kTrace = "2 4 2 3 \n";

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::string the_plot() {
  Outcome got = tool(with(kRun, {"--svg", "-"}));
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.out.substr(0, 5), "<?xml") << got.out.substr(0, 80);
  return got.out.substr(0, got.out.size() - std::string(kTrace).size());
}

// ---------------------------------------------------------------------------
// Output files: every kind of path.

TEST(SmtraceOutputFiles, NewRegularAndLinkedFiles) {
  const std::string plot = the_plot();
  ASSERT_NE(plot.find("</svg>"), std::string::npos);
  Scratch scratch;
  // A new path.
  Outcome got = tool(with(kRun, {"--svg", scratch.path("new.svg")}));
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.out, kTrace);
  EXPECT_EQ(contents(scratch.path("new.svg")), plot);
  // A regular file: replaced, its mode kept.
  const std::string old = scratch.file("old.svg", "old content that is longer than nothing");
  chmod(old.c_str(), 0640);
  got = tool(with(kRun, {"--svg", old}));
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(contents(old), plot);
  struct stat status {};
  ASSERT_EQ(stat(old.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  // A link to a regular file: the link stays, its target has the plot.
  std::filesystem::create_symlink(old, scratch.path("link.svg"));
  scratch.file("old.svg", "x");
  got = tool(with(kRun, {"--svg", scratch.path("link.svg")}));
  EXPECT_EQ(got.status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(scratch.path("link.svg")));
  EXPECT_EQ(contents(old), plot);
  EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"link.svg", "new.svg", "old.svg"}));
  // A link whose target does not exist yet, through a relative link to a
  // link: the file is made where the links point, and both links stay.
  std::filesystem::create_symlink("later.svg", scratch.path("dangling.svg"));
  std::filesystem::create_symlink("dangling.svg", scratch.path("chain.svg"));
  got = tool(with(kRun, {"--svg", scratch.path("chain.svg")}));
  EXPECT_EQ(got.status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(scratch.path("chain.svg")));
  EXPECT_TRUE(std::filesystem::is_symlink(scratch.path("dangling.svg")));
  EXPECT_EQ(contents(scratch.path("later.svg")), plot);
}

TEST(SmtraceOutputFiles, SpecialFilesAreWrittenInPlace) {
  const std::string plot = the_plot();
  Scratch scratch;
  // A FIFO: a reader gets the plot, and the FIFO stays one.
  const std::string fifo = scratch.path("plot.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Outcome got = shell("cat \"$1\" > \"$2\" & \"$0\" run raita abc xxabc --svg \"$1\"; s=$?; wait; exit $s",
                      {fifo, scratch.path("read")});
  EXPECT_EQ(got.status, 0) << got.err;
  EXPECT_EQ(got.out, kTrace);
  EXPECT_EQ(contents(scratch.path("read")), plot);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  // /dev/stdout, standard output a pipe: the plot, then the trace.
  got = tool(with(kRun, {"--svg", "/dev/stdout"}));
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.out, plot + kTrace);
  // /dev/stdout, standard output a regular file: the trace comes after the
  // plot, not over it.
  got = shell("exec \"$0\" run raita abc xxabc --svg /dev/stdout > \"$1\"", {scratch.path("out")});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(contents(scratch.path("out")), plot + kTrace);
  // /dev/fd/3, a pipe: descriptor 3 is the captured output, 1 goes nowhere.
  got = shell("exec \"$0\" run raita abc xxabc --svg /dev/fd/3 3>&1 >/dev/null");
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.out, plot);
  // -: standard output.
  got = tool(with(kRun, {"--svg", "-"}));
  EXPECT_EQ(got.out, plot + kTrace);
}

TEST(SmtraceOutputFiles, UnwritablePathsAreStatusSevenAndTheOutputStillComes) {
  Scratch scratch;
  std::filesystem::create_directory(scratch.path("dir"));
  const std::string missing = scratch.path("no/such/plot.svg");
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {with(kRun, {"--svg", scratch.path("dir")}),
       "smtrace: cannot write the SVG file " + scratch.path("dir") + ": Is a directory\n"},
      {with(kRun, {"--svg", missing}),
       "smtrace: cannot write the SVG file " + missing + ": No such file or directory\n"},
      {{"compare", "abc", "xxabc", "--html", missing},
       "smtrace: cannot write the HTML file " + missing + ": No such file or directory\n"},
      {{"compare", "abc", "xxabc", "--svg", missing, "--html", scratch.path("dir")},
       "smtrace: cannot write the SVG file " + missing + ": No such file or directory\n"
       "smtrace: cannot write the HTML file " + scratch.path("dir") + ": Is a directory\n"},
  };
  const std::string table = tool({"compare", "abc", "xxabc"}).out;
  for (const Case& c : cases) {
    Outcome got = tool(c.args);
    EXPECT_EQ(got.status, 7) << c.args.back();
    EXPECT_EQ(got.err, c.err);
    EXPECT_EQ(got.out, c.args[0] == "run" ? kTrace : table);
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"dir"});
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path("dir")));
  }
}

TEST(SmtraceOutputFiles, GoldenOutputGoesThroughTheSamePaths) {
  Scratch scratch;
  const std::string golden = tool({"golden", "raita", "--cases", "3"}).out;
  ASSERT_FALSE(golden.empty());
  Outcome got = shell("exec \"$0\" golden raita --cases 3 --output /dev/fd/3 3>&1 >/dev/null");
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.out, golden);
  got = tool({"golden", "raita", "--cases", "3", "--output", "-"});
  EXPECT_EQ(got.out, golden);
}

// ---------------------------------------------------------------------------
// Standard output: checked to the end.

TEST(SmtraceStandardOutput, FullDiskIsStatusEight) {
  for (const std::string& line :
       {std::string("run raita abc abc"), std::string("compare abc abc"), std::string("explain raita abc abc"),
        std::string("run raita abc abc --format csv"), std::string("--help"), std::string("--version")}) {
    Outcome got = shell("exec \"$0\" " + line + " > /dev/full");
    EXPECT_EQ(got.status, 8) << line;
    EXPECT_EQ(got.err, "smtrace: cannot write the output: No space left on device\n") << line;
  }
}

TEST(SmtraceStandardOutput, ClosedPipeEndsQuietlyBySigpipe) {
  // Some eight megabytes of trace into a pipe that head closes after ten.
  Scratch scratch;
  const std::string text = scratch.file("text", std::string(1000000, 'a'));
  for (const std::string trap : {"", "trap '' PIPE; "}) {
    Outcome got = run_with_stderr(
        {"/bin/bash", "-c",
         trap + "\"$0\" run morris_pratt --text-file \"$1\" b | head -c 10 > /dev/null; "
                "echo ${PIPESTATUS[0]}",
         SMTRACE_TOOL, text});
    EXPECT_EQ(got.out, "141\n") << trap;
    EXPECT_EQ(got.err, "") << trap;
  }
}

// ---------------------------------------------------------------------------
// Pattern and text files: a final newline, and standard input.

TEST(SmtraceInputFiles, FinalNewlineWarnsOrIsStripped) {
  Scratch scratch;
  struct Case {
    std::string bytes;
    std::string newline;  // what the warning names; empty: no warning
  };
  const std::vector<Case> cases = {{"GATTACA\n", "LF, \\n"}, {"GATTACA\r\n", "CRLF, \\r\\n"}, {"GATTACA", ""}};
  const std::string text = "TAGATTACA";
  for (const Case& c : cases) {
    const std::string file = scratch.file("p.txt", c.bytes);
    Outcome got = tool({"run", "raita", "--pattern-file", file, text});
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.out, tool({"run", "raita", c.bytes, text}).out);
    EXPECT_EQ(got.err, c.newline.empty() ? ""
                                         : "smtrace: warning: the pattern from " + file +
                                               " ends with a newline (" + c.newline +
                                               "), which is part of the pattern; --strip-newline "
                                               "strips it (or write the file with printf '%s' or echo -n)\n");
    // --strip-newline: one LF or CRLF off the pattern and the text files.
    const std::string text_file = scratch.file("t.txt", text + c.bytes.substr(7));
    got = tool({"run", "raita", "--strip-newline", "--pattern-file", file, "--text-file", text_file});
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.err, "");
    EXPECT_EQ(got.out, tool({"run", "raita", "GATTACA", text}).out);
  }
  // Only one newline goes.
  const std::string two = scratch.file("two.txt", "ab\n\n");
  EXPECT_EQ(tool({"run", "morris_pratt", "--strip-newline", "--pattern-file", two, "xab\n"}).out,
            tool({"run", "morris_pratt", "ab\n", "xab\n"}).out);
}

TEST(SmtraceInputFiles, DashReadsStandardInput) {
  Outcome got = shell("printf 'xxabc' | exec \"$0\" run raita --text-file - abc");
  EXPECT_EQ(got.out, kTrace);
  EXPECT_EQ(got.status, 0);
  got = shell("printf 'abc' | exec \"$0\" run raita --pattern-file - xxabc");
  EXPECT_EQ(got.out, kTrace);
  EXPECT_EQ(got.err, "");
  got = shell("echo abc | exec \"$0\" run raita --pattern-file - xxabc");
  EXPECT_NE(got.err.find("the pattern from standard input ends with a newline"), std::string::npos);
  got = shell("echo abc | exec \"$0\" run raita --strip-newline --pattern-file=- xxabc");
  EXPECT_EQ(got.out, kTrace);
  EXPECT_EQ(got.err, "");
}

// ---------------------------------------------------------------------------
// Figures and formats.

TEST(SmtraceFigures, ReadsPerCharacterHaveThreeSignificantDigits) {
  // Turbo Reverse Factor with a long pattern reads little of a long text.
  const std::string text(100000, 'a');
  Outcome got = tool({"compare", "--algorithms", "turbo_reverse_factor,morris_pratt",
                      std::string(200, 'b'), text});
  ASSERT_EQ(got.status, 0);
  Outcome json = tool({"compare", "--json", "--algorithms", "turbo_reverse_factor,morris_pratt",
                       std::string(200, 'b'), text});
  for (const std::string name : {"turbo_reverse_factor", "morris_pratt"}) {
    const size_t row = json.out.find("\"" + name + "\": {");
    const size_t at = json.out.find("\"reads\": ", row) + 9;
    const double reads = std::stod(json.out.substr(at));
    char expected[32];
    std::snprintf(expected, sizeof expected, "%#.3g", reads / 100000.0);
    const size_t line = got.out.find(name + " ");
    ASSERT_NE(line, std::string::npos);
    EXPECT_NE(got.out.substr(line, got.out.find('\n', line) - line).find(std::string(" ") + expected + " "),
              std::string::npos)
        << got.out << expected;
  }
  EXPECT_EQ(got.out.find("0.00 "), std::string::npos) << got.out;
}

TEST(SmtraceFigures, CompareASubsetOfTheAlgorithms) {
  Outcome got = tool({"compare", "--algorithms", "raita,morris_pratt", "abab", "ccabaabab"});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.out.substr(0, got.out.find("\n\n")),
            "algorithm     recorded  distinct  recorded/char  most at one  occurrence\n"
            "raita                9         6           1.00            2           5\n"
            "morris_pratt        11         9           1.22            3           5");
  got = tool({"compare", "--algorithms=raita,boyer_moore", "a", "b"});
  EXPECT_EQ(got.status, 3);
  EXPECT_EQ(got.out, "");
  EXPECT_EQ(got.err.rfind("smtrace: unknown algorithm \"boyer_moore\"", 0), 0u) << got.err;
}

TEST(SmtraceFigures, CompareJsonGivesTheRefusal) {
  Outcome got = tool({"compare", "--json", "--algorithms", "raita,morris_pratt", "\xc8", "a\xc8"});
  EXPECT_EQ(got.status, 0);
  EXPECT_NE(got.out.find("\"raita\": {\"refused\": true, \"refusal\": \"pattern byte 0 is \\\\xc8, outside "
                         "the 7-bit alphabet\", \"reads\": null"),
            std::string::npos)
      << got.out;
  EXPECT_EQ(got.out.find("\"morris_pratt\": {\"refused\": false, \"refusal\""), std::string::npos);
}

TEST(SmtraceFigures, RunFormats) {
  struct Case {
    std::vector<std::string> options;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{}, kTrace},
      {{"--format", "line"}, kTrace},
      {{"--json"}, "[2, 4, 2, 3]\n"},
      {{"--format=json"}, "[2, 4, 2, 3]\n"},
      {{"--format", "csv"}, "read,position\n0,2\n1,4\n2,2\n3,3\n"},
  };
  for (const Case& c : cases) {
    Outcome got = tool(with(kRun, c.options));
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.out, c.out);
  }
  EXPECT_EQ(tool({"run", "raita", "abc", "", "--json"}).out, "[]\n");
  EXPECT_EQ(tool({"run", "raita", "abc", "", "--format", "csv"}).out, "read,position\n");
  // The plot does not change what is printed.
  Scratch scratch;
  EXPECT_EQ(tool(with(kRun, {"--json", "--svg", scratch.path("p.svg")})).out, "[2, 4, 2, 3]\n");
}

// ---------------------------------------------------------------------------
// Help, version and options.

TEST(SmtraceHelp, EachCommandHasItsOwn) {
  for (const std::string command : {"run", "compare", "explain"}) {
    const Outcome help = tool({"help", command});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: smtrace " + command + " ", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("  --pattern-file FILE"), std::string::npos);
    EXPECT_NE(help.out.find("  --strip-newline"), std::string::npos);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{command, "--help"}, {command, "-h"}, {"-h", command}, {command, "a", "-h"}}) {
      EXPECT_EQ(tool(args).out, help.out) << command;
    }
    for (const std::string& line : lines_of(help.out)) EXPECT_LE(line.size(), 80u) << line;
  }
  EXPECT_NE(tool({"help", "run"}).out.find("--format"), std::string::npos);
  EXPECT_EQ(tool({"help", "run"}).out.find("--html"), std::string::npos);
  EXPECT_NE(tool({"help", "compare"}).out.find("--algorithms"), std::string::npos);
  EXPECT_EQ(tool({"help", "show"}).out.rfind("usage: smtrace show ", 0), 0u);
  for (const std::string command : {"verify", "golden"}) {
    Outcome got = tool({"help", command});
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.out, tool({command, "--help"}).out);
    EXPECT_EQ(got.out.rfind("usage: smtrace verify ALGORITHM", 0), 0u);
  }
  // The general help: usage lines with the file options, status 8.
  const std::string all = tool({"help"}).out;
  EXPECT_EQ(all, tool({"--help"}).out);
  EXPECT_NE(all.find("--pattern-file FILE, TEXT as --text-file FILE"), std::string::npos);
  EXPECT_NE(all.find("\n  8  standard output cannot be written"), std::string::npos);
  for (const std::string& line : lines_of(all)) EXPECT_LE(line.size(), 80u) << line;
}

TEST(SmtraceHelp, Version) {
  Outcome got = tool({"--version"});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.out, "smtrace 1.0.0\n");
}

// ---------------------------------------------------------------------------
// show and explain in a terminal: bytes shown as the plot shows them.

TEST(SmtraceTerminal, BytesReadAsInThePlotAndEightyColumns) {
  const std::string pattern = std::string("a b\t\xff", 5);
  const std::string text = "xx" + pattern + std::string(300, 'q');
  Outcome plot = tool({"run", "morris_pratt", pattern, text, "--svg", "-"});
  ASSERT_EQ(plot.status, 0);
  EXPECT_NE(plot.out.find("pattern &quot;a\\x20b\\x09\\xFF&quot;"), std::string::npos);
  for (const std::string command : {"explain", "show"}) {
    Outcome got = tool({command, "morris_pratt", pattern, text});
    ASSERT_EQ(got.status, 0);
    EXPECT_EQ(got.out.rfind("Morris-Pratt: pattern \"a\\x20b\\x09\\xFF\"", 0), 0u) << got.out.substr(0, 80);
    for (const std::string& line : lines_of(got.out)) EXPECT_LE(line.size(), 80u) << line;
  }
}

// ---------------------------------------------------------------------------
// The manual page and the bash completion.

TEST(SmtraceManual, RendersWithoutWarnings) {
  const std::string page = std::string(SM_SOURCE_DIR) + "/docs/smtrace.1";
  const std::string roff = contents(page);
  for (const char* section : {".TH SMTRACE 1", ".SH NAME", ".SH SYNOPSIS", ".SH DESCRIPTION",
                              ".SH OPTIONS", ".SH EXIT STATUS"}) {
    EXPECT_NE(roff.find(section), std::string::npos) << section;
  }
  for (int status = 0; status <= 8; ++status) {
    EXPECT_NE(roff.find(".B " + std::to_string(status) + "\n"), std::string::npos) << status;
  }
  if (access("/usr/bin/groff", X_OK) != 0) GTEST_SKIP() << "no groff to render it";
  Outcome got = run_with_stderr({"/usr/bin/groff", "-man", "-Tutf8", "-ww", page});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.err, "");
  EXPECT_NE(got.out.find("smtrace"), std::string::npos);
}

// The words bash would offer after the command line `words`, the last word
// being completed.
std::string completions(const std::vector<std::string>& words) {
  std::string array;
  for (const auto& word : words) array += " '" + word + "'";
  const std::string script = std::string(SM_SOURCE_DIR) + "/tools/smtrace/smtrace.bash";
  Outcome got = run_with_stderr(
      {"/bin/bash", "-c",
       "source \"$0\"; COMP_WORDS=(" + array + "); COMP_CWORD=" + std::to_string(words.size() - 1) +
           "; _smtrace; printf '%s\\n' \"${COMPREPLY[@]}\"",
       script});
  EXPECT_EQ(got.err, "");
  return got.out;
}

TEST(SmtraceCompletion, OffersCommandsOptionsAndAlgorithms) {
  std::string algorithms;
  for (const Routine& r : routines()) algorithms += std::string(r.library) + "\n";
  EXPECT_EQ(completions({"smtrace", "run", ""}), algorithms);
  EXPECT_EQ(completions({"smtrace", "explain", ""}), algorithms);
  EXPECT_EQ(completions({"smtrace", "run", "ra"}), "raita\n");
  EXPECT_EQ(completions({"smtrace", "run", "raita", ""}), "\n");
  EXPECT_EQ(completions({"smtrace", "co"}), "compare\n");
  EXPECT_EQ(completions({"smtrace", "compare", "--al"}), "--algorithms\n");
  EXPECT_EQ(completions({"smtrace", "compare", "--algorithms", "raita,t"}),
            "raita,turbo_reverse_factor\nraita,tuned_bm\n");
  EXPECT_EQ(completions({"smtrace", "run", "--f"}), "--format\n");
  EXPECT_EQ(completions({"smtrace", "run", "--format", ""}), "line\ncsv\njson\n");
}

}  // namespace
}  // namespace sm_test
