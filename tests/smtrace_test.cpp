// smtrace as a user runs it: standard output, standard error and the exit
// status of every command and every error.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/algorithm.h"
#include "support/cases.h"
#include "support/library.h"
#include "support/process.h"
#include "support/routines.h"

namespace sm_test {
namespace {

// The algorithms smtrace knows: the routine table's, in its order.
std::string algorithm_list() {
  std::string list;
  for (const Routine& r : routines()) list += (list.empty() ? "" : ", ") + std::string(r.library);
  return list;
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

// ---------------------------------------------------------------------------
// Usage and help.

TEST(SmtraceUsage, HelpListsCommandsAlgorithmsAndStatuses) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"-h"}, {"run", "--help"}, {"compare", "a", "--help"}}) {
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
    for (const char* status : {"  0  ", "  1  ", "  2  ", "  3  ", "  4  ", "  5  ", "  6  ", "  7  "}) {
      EXPECT_NE(got.out.find(status), std::string::npos) << status;
    }
  }
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
      {{"run", "morris_pratt", "a", "b", "--json"}, "smtrace: run takes no --json"},
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
  // A single dash is no option.
  got = smtrace({"run", "morris_pratt", "-b", "a-b"});
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
      {{"show", "morris_pratt", "a", std::string(101, 'a')}, 6,
       "smtrace: show draws texts of up to 100 characters; this one has 101 (run --svg and "
       "compare --svg plot longer ones)\n"},
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
       {std::vector<std::string>{"run", "raita", "a", "b"}, {"show", "skip_search", "a", "b"},
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
    EXPECT_EQ(got.out, "") << describe(c.args);
    EXPECT_TRUE(scratch.entries().empty()) << describe(c.args);
  }
  // A directory in the way: the temporary file is removed again.
  std::filesystem::create_directory(svg);
  Outcome got = smtrace({"run", "morris_pratt", "a", "ba", "--svg", svg});
  EXPECT_EQ(got.status, 7);
  EXPECT_EQ(got.out, "");
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
      EXPECT_EQ(got.err, "") << name;
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
  EXPECT_NE(got.out.find("\"morris_pratt\": {\"refused\": false, \"reads\": 2000000, "
                         "\"distinct_positions\": 2000000, \"reads_per_character\": 1.0, "
                         "\"most_reads_of_one_position\": 1, \"first_occurrence\": null}"),
            std::string::npos)
      << got.out;
}

// ---------------------------------------------------------------------------
// compare: the figures of a hand-checked example, abab in ccabaabab (n = 9),
// which occurs at 5. Each routine's trace, worked out by hand from its rules:
//   turbo_reverse_factor  3 2 1 | 5 4 | 8 7 6      (8 reads, all distinct)
//   morris_pratt          0 1 2 3 4 5 5 5 6 7 8    (position 5 three times)
//   not_so_naive          1 | 2 | 3 4 5 | 5 | 6 7 8 5
//   raita                 3 0 | 5 | 6 3 | 8 5 7 6  (3, 5 and 6 twice)
//   tuned_bm              3 0 | 5 6 3 | 8 5 6 7    (3, 5 and 6 twice)
//   berry_ravindran       0 4 5 | 5 6 7 8         (5 twice)
//   skip_search           3 0 2 3 4 5 | 7 5 6 7 8  (3, 5 and 7 twice)

TEST(SmtraceCompare, TableOfAHandCheckedExample) {
  Outcome got = smtrace({"compare", "abab", "ccabaabab"});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.err, "");
  EXPECT_EQ(got.out,
            "algorithm             reads  distinct  reads/char  most at one position  first occurrence\n"
            "turbo_reverse_factor      8         8        0.89                     1                 5\n"
            "morris_pratt             11         9        1.22                     3                 5\n"
            "not_so_naive             10         8        1.11                     3                 5\n"
            "raita                     9         6        1.00                     2                 5\n"
            "tuned_bm                  9         6        1.00                     2                 5\n"
            "berry_ravindran           7         6        0.78                     2                 5\n"
            "skip_search              11         8        1.22                     2                 5\n");
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
            "    \"turbo_reverse_factor\": {\"refused\": false, \"reads\": 8, \"distinct_positions\": 8, "
            "\"reads_per_character\": 0.8888888888888888, \"most_reads_of_one_position\": 1, "
            "\"first_occurrence\": 5},\n"
            "    \"morris_pratt\": {\"refused\": false, \"reads\": 11, \"distinct_positions\": 9, "
            "\"reads_per_character\": 1.2222222222222223, \"most_reads_of_one_position\": 3, "
            "\"first_occurrence\": 5},\n"
            "    \"not_so_naive\": {\"refused\": false, \"reads\": 10, \"distinct_positions\": 8, "
            "\"reads_per_character\": 1.1111111111111112, \"most_reads_of_one_position\": 3, "
            "\"first_occurrence\": 5},\n"
            "    \"raita\": {\"refused\": false, \"reads\": 9, \"distinct_positions\": 6, "
            "\"reads_per_character\": 1.0, \"most_reads_of_one_position\": 2, "
            "\"first_occurrence\": 5},\n"
            "    \"tuned_bm\": {\"refused\": false, \"reads\": 9, \"distinct_positions\": 6, "
            "\"reads_per_character\": 1.0, \"most_reads_of_one_position\": 2, "
            "\"first_occurrence\": 5},\n"
            "    \"berry_ravindran\": {\"refused\": false, \"reads\": 7, \"distinct_positions\": 6, "
            "\"reads_per_character\": 0.7777777777777778, \"most_reads_of_one_position\": 2, "
            "\"first_occurrence\": 5},\n"
            "    \"skip_search\": {\"refused\": false, \"reads\": 11, \"distinct_positions\": 8, "
            "\"reads_per_character\": 1.2222222222222223, \"most_reads_of_one_position\": 2, "
            "\"first_occurrence\": 5}\n"
            "  }\n"
            "}\n");
}

TEST(SmtraceCompare, RefusingRoutinesAreMarkedAndTheOthersRun) {
  // morris_pratt and not_so_naive take 8-bit patterns: xc8 xc9 occurs at 2
  // in a xc8 xc8 xc9. morris_pratt reads 0 1 2 2 3 (one fall-back at 2);
  // not_so_naive misses at 1 and at 2 (shift 1 each), then at window 2 reads
  // 3 (a hit) and the window's first character 2: 1 2 3 2.
  Outcome got = smtrace({"compare", "\xc8\xc9", "a\xc8\xc8\xc9"});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.err, "");
  EXPECT_EQ(got.out,
            "algorithm             reads  distinct  reads/char  most at one position  first occurrence\n"
            "turbo_reverse_factor  refused: pattern byte 0 is \\xc8, outside the 7-bit alphabet\n"
            "morris_pratt              5         4        1.25                     2                 2\n"
            "not_so_naive              4         3        1.00                     2                 2\n"
            "raita                 refused: pattern byte 0 is \\xc8, outside the 7-bit alphabet\n"
            "tuned_bm              refused: pattern byte 0 is \\xc8, outside the 7-bit alphabet\n"
            "berry_ravindran       refused: pattern byte 0 is \\xc8, outside the 7-bit alphabet\n"
            "skip_search           refused: pattern byte 0 is \\xc8, outside the 7-bit alphabet\n");
}

TEST(SmtraceCompare, EmptyTextAndNoOccurrence) {
  Outcome got = smtrace({"compare", "--json", "ab", ""});
  EXPECT_EQ(got.status, 0);
  for (const Routine& r : routines()) {
    EXPECT_NE(got.out.find("\"" + std::string(r.library) + "\": {\"refused\": false, \"reads\": 0, "
                           "\"distinct_positions\": 0, \"reads_per_character\": null, "
                           "\"most_reads_of_one_position\": 0, \"first_occurrence\": null}"),
              std::string::npos)
        << got.out;
  }
}

// ---------------------------------------------------------------------------
// show: the picture of one search.

TEST(SmtraceShow, PictureOfASearch) {
  Outcome got = smtrace({"show", "morris_pratt", "abab", "ccabaabab"});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.err, "");
  // Reads 1-6 go right over 0 .. 5; the two fall-backs at 5 stand alone; 8-11
  // go right again from 5 to the end of the occurrence.
  EXPECT_EQ(got.out,
            "morris_pratt: pattern \"abab\" in \"ccabaabab\"\n"
            "11 reads, first occurrence at 5\n"
            "\n"
            " position      0  1  2  3  4  5  6  7  8\n"
            " text          c  c  a  b  a  a  b  a  b\n"
            " occurrence                   ^  ^  ^  ^\n"
            " 1-6    ->     1  2  3  4  5  6\n"
            " 7                            7\n"
            " 8-11   ->                    8  9 10 11\n"
            "\n"
            "(a row for each run of reads in one direction; a mark is its read's number)\n");
}

TEST(SmtraceShow, LongTextsGetNarrowColumns) {
  // 70 characters: a column each, the last digit of the read number as the
  // mark, position labels every 5 columns. One run of 70 reads to the right.
  const std::string text = std::string(69, 'a') + "b";
  // Labels end in their position's column; the columns start at 13.
  std::string ruler = " position" + std::string(4 + 70, ' ');
  for (size_t p = 0; p < 70; p += 5) {
    const std::string label = std::to_string(p);
    ruler.replace(13 + p + 1 - label.size(), label.size(), label);
  }
  ruler.erase(ruler.find_last_not_of(' ') + 1);
  std::string marks;
  for (int read = 1; read <= 70; ++read) marks += std::to_string(read % 10);
  Outcome got = smtrace({"show", "morris_pratt", "b", text});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.err, "");
  EXPECT_EQ(got.out,
            "morris_pratt: pattern \"b\" in \"" + text + "\"\n"
            "70 reads, first occurrence at 69\n"
            "\n" +
            ruler + "\n"
            " text        " + text + "\n"
            " occurrence  " + std::string(69, ' ') + "^\n"
            " 1-70   ->   " + marks + "\n"
            "\n"
            "(a row for each run of reads in one direction; a mark is the last digit of its "
            "read's number)\n");
}

TEST(SmtraceShow, ReadsPastTheTextAndUnprintableBytes) {
  // skip_search compares b against the zero byte after the text and records
  // position 4 = n: the picture gets a column for it.
  Outcome got = smtrace({"show", "skip_search", "ab", "c\tca"});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.out,
            "skip_search: pattern \"ab\" in \"c\\x09ca\"\n"
            "3 reads, first occurrence none\n"
            "\n"
            " position     0 1 2 3 4\n"
            " text         c . c a .\n"
            " 1-3  ->        1   2 3\n"
            "\n"
            "(a row for each run of reads in one direction; a mark is its read's number)\n"
            "\n"
            "(. is a byte that does not print; at 4, the zero byte after the text)\n");
}

}  // namespace
}  // namespace sm_test
