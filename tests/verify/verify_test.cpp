// smtrace verify as a user runs it: against the deliverables themselves,
// which must agree on every case, and against implementations that are
// wrong on purpose, which must be caught at the right read and shrunk to a
// case of a few characters.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "support/process.h"

namespace sm_test {
namespace {

const std::vector<std::string> kAlgorithms = {
    "turbo_reverse_factor", "morris_pratt", "not_so_naive", "raita",
    "tuned_bm", "berry_ravindran", "skip_search"};

Outcome smtrace(std::vector<std::string> args) {
  args.insert(args.begin(), SMTRACE_TOOL);
  return run_with_stderr(args);
}

std::string library(const std::string& name) { return std::string(SM_LIB_DIR) + "/lib" + name + ".so"; }
std::string wrong(const std::string& name) { return std::string(SM_BIN_DIR) + "/wrong_" + name; }

// The deliverable's own command line: the program for turbo_reverse_factor,
// else the library's main called by the test host.
std::vector<std::string> command_line(const std::string& algorithm) {
  if (algorithm == "turbo_reverse_factor") return {std::string(SM_BIN_DIR) + "/" + algorithm};
  return {SM_HOST, library(algorithm), "main", algorithm};
}

std::string last_line(const std::string& out) {
  std::string trimmed = out;
  while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
  return trimmed.substr(trimmed.rfind('\n') + 1);
}

// The part of a report under a heading line ("DIVERGES", "SHRUNK"), up to
// the next heading.
std::string section(const std::string& report, const std::string& heading) {
  const size_t start = report.find("\n" + heading);
  if (start == std::string::npos) return "";
  size_t end = std::string::npos;
  for (const char* next : {"\nSHRUNK", "\n1 divergence", "\nnot shrunk"}) {
    const size_t at = report.find(next, start + 1);
    if (at != std::string::npos && at < end) end = at;
  }
  return report.substr(start + 1, end == std::string::npos ? end : end - start - 1);
}

// The pattern's and the text's lengths as a section shows the case.
struct Shown {
  size_t pattern = 0;
  size_t text = 0;
  bool found = false;
};
Shown shown_case(const std::string& part) {
  std::smatch p, t;
  const std::regex pattern_line(R"(\n  pattern ".*" \((\d+) bytes?\)\n)");
  const std::regex text_line(R"(\n  text    ".*" \((\d+) bytes?\)\n)");
  Shown shown;
  if (std::regex_search(part, p, pattern_line) && std::regex_search(part, t, text_line)) {
    shown.pattern = std::stoul(p[1]);
    shown.text = std::stoul(t[1]);
    shown.found = true;
  }
  return shown;
}

std::string line_with(const std::string& part, const std::string& needle) {
  const size_t at = part.find(needle);
  if (at == std::string::npos) return "";
  const size_t start = part.rfind('\n', at) + 1;
  return part.substr(start, part.find('\n', at) - start);
}

// The position y[P] a line of an attempt's reads is about, or -1.
long read_position(const std::string& line) {
  std::smatch m;
  if (!std::regex_search(line, m, std::regex(R"(y\[(\d+)\] = )"))) return -1;
  return std::stol(m[1]);
}

// ---------------------------------------------------------------------------
// The deliverables against themselves.

class AgainstItself : public ::testing::TestWithParam<std::string> {};

TEST_P(AgainstItself, EveryCaseAgreesThroughTheCommandLine) {
  std::vector<std::string> args = {"verify", GetParam(), "--cases", "400", "--"};
  for (const std::string& word : command_line(GetParam())) args.push_back(word);
  const Outcome got = smtrace(args);
  EXPECT_EQ(got.status, 0) << got.out << got.err;
  EXPECT_EQ(got.err, "");
  EXPECT_EQ(last_line(got.out), "all 400 cases agree");
  EXPECT_NE(got.out.find("format exact"), std::string::npos);
}

TEST_P(AgainstItself, EveryCaseAgreesThroughTheLibraryEntry) {
  const Outcome got = smtrace({"verify", GetParam(), "--cases", "300", "--seed", "9", "--library",
                               library(GetParam())});
  EXPECT_EQ(got.status, 0) << got.out << got.err;
  EXPECT_EQ(last_line(got.out), "all 300 cases agree");
}

INSTANTIATE_TEST_SUITE_P(Deliverables, AgainstItself, ::testing::ValuesIn(kAlgorithms),
                         [](const auto& info) { return info.param; });

TEST(VerifyItself, TheProgramAndTheHostedMainOfTurboReverseFactorAgreeOnLongTexts) {
  for (const auto& command :
       {command_line("turbo_reverse_factor"),
        std::vector<std::string>{SM_HOST, library("turbo_reverse_factor"), "main", "trf"}}) {
    std::vector<std::string> args = {"verify", "turbo_reverse_factor", "--cases", "60",
                                     "--max-text", "3000", "--"};
    args.insert(args.end(), command.begin(), command.end());
    const Outcome got = smtrace(args);
    EXPECT_EQ(got.status, 0) << got.out << got.err;
    EXPECT_EQ(last_line(got.out), "all 60 cases agree");
  }
}

// ---------------------------------------------------------------------------
// Implementations that are wrong on purpose.

struct Wrong {
  std::string algorithm;
  std::string program;          // tests/verify/<program>.c, built as bin/wrong_<program>
  std::vector<std::string> options;
  size_t most_bytes;            // the shrunk pattern and text together, at most
  // Checks one section of the report (the first case, then the shrunk one).
  std::function<void(const std::string& part)> check;
};

void expect_in(const std::string& part, const std::string& needle) {
  EXPECT_NE(part.find(needle), std::string::npos) << "no \"" << needle << "\" in\n" << part;
}

const std::vector<Wrong>& wrong_ones() {
  static const std::vector<Wrong> table = {
      // The wrong shift shows at the first read of the attempt it placed:
      // the report shows the attempt before, with the table entry it used.
      {"raita", "raita_shift_off_by_one", {}, 6,
       [](const std::string& part) {
         expect_in(part, "is the first of its attempt");
         expect_in(part, "; the attempt before, whose shift placed it:");
         expect_in(part, "from bmBc[");
         expect_in(line_with(part, "<- first difference"), "compared with x[");
       }},
      // A search that never ends: killed at the time-out, shrunk all the same.
      {"raita", "raita_hang", {"--timeout", "0.3"}, 4,
       [](const std::string& part) {
         expect_in(part, "the command did not end within 0.3 s; it was killed");
         expect_in(part, "the reference's search, attempt by attempt");
       }},
      // The first difference is the reference's second read of the probe.
      {"skip_search", "skip_search_probe_not_reread", {}, 4,
       [](const std::string& part) {
         const std::string marked = line_with(part, "<- first difference");
         const std::string probe = line_with(part, " probe: ");
         expect_in(marked, "compared with x[");
         EXPECT_NE(read_position(probe), -1) << part;
         EXPECT_EQ(read_position(marked), read_position(probe)) << part;
       }},
      {"skip_search", "skip_search_crash", {}, 2,
       [](const std::string& part) { expect_in(part, "the command was killed by signal 6"); }},
      // The reference stops at its occurrence; the report shows that attempt.
      {"morris_pratt", "morris_pratt_past_occurrence", {}, 3,
       [](const std::string& part) {
         expect_in(part, "^ the reference stops after ");
         expect_in(line_with(part, "<- last read"), "match");
         expect_in(part, "outcome: occurrence at ");
       }},
      {"berry_ravindran", "berry_ravindran_look_ahead_reversed", {}, 4,
       [](const std::string& part) {
         expect_in(line_with(part, "<- first difference"), "look-ahead");
       }},
      {"not_so_naive", "not_so_naive_shifts_swapped", {}, 5,
       [](const std::string& part) {
         const bool named = part.find("from miss shift = ") != std::string::npos ||
                            part.find("from hit shift = ") != std::string::npos;
         EXPECT_TRUE(named) << part;
       }},
  };
  return table;
}

class WrongImplementation : public ::testing::TestWithParam<Wrong> {};

TEST_P(WrongImplementation, IsCaughtExplainedAndShrunk) {
  const Wrong& w = GetParam();
  std::vector<std::string> args = {"verify", w.algorithm};
  args.insert(args.end(), w.options.begin(), w.options.end());
  args.push_back("--");
  args.push_back(wrong(w.program));
  const Outcome got = smtrace(args);
  ASSERT_EQ(got.status, 1) << got.out << got.err;
  EXPECT_EQ(got.err, "");

  const std::string first = section(got.out, "DIVERGES");
  const std::string shrunk = section(got.out, "SHRUNK");
  ASSERT_NE(first, "") << got.out;
  ASSERT_NE(shrunk, "") << got.out;
  w.check(first);
  w.check(shrunk);

  const Shown before = shown_case(first);
  const Shown after = shown_case(shrunk);
  ASSERT_TRUE(before.found && after.found) << got.out;
  EXPECT_LE(after.pattern + after.text, w.most_bytes) << shrunk;
  EXPECT_LE(after.pattern + after.text, before.pattern + before.text);
  EXPECT_GE(after.pattern, w.algorithm == "not_so_naive" ? 2u : 1u) << "below the shortest pattern";
  // The last line sums it up with the same case.
  const std::string summary = last_line(got.out);
  EXPECT_EQ(summary.rfind("1 divergence, at case ", 0), 0u) << summary;
  expect_in(summary, "shrunk to a pattern of " + std::to_string(after.pattern) +
                         (after.pattern == 1 ? " byte" : " bytes") + " and a text of " +
                         std::to_string(after.text) + (after.text == 1 ? " byte" : " bytes"));
  // The case as the report shows it can be run again by hand.
  expect_in(shrunk, "  run it:  " + wrong(w.program) + " ");
}

void PrintTo(const Wrong& w, std::ostream* out) { *out << w.algorithm << " " << w.program; }

INSTANTIATE_TEST_SUITE_P(OnPurpose, WrongImplementation, ::testing::ValuesIn(wrong_ones()),
                         [](const auto& info) { return info.param.program; });

TEST(VerifyDeterminism, TheSameSeedGivesTheSameReportAnotherSeedAnotherCase) {
  auto report = [](const std::string& seed) {
    return smtrace({"verify", "raita", "--seed", seed, "--", wrong("raita_shift_off_by_one")}).out;
  };
  const std::string once = report("5");
  EXPECT_EQ(report("5"), once);
  const std::string other = report("6");
  EXPECT_NE(section(other, "DIVERGES"), section(once, "DIVERGES"));
}

TEST(VerifyDeterminism, ACaseDependsOnlyOnTheSeedAndItsIndex) {
  // Case 30 of a run of 1000 is case 30 of a run of 31: the report of a
  // divergence found there is the same.
  const std::string many =
      smtrace({"verify", "skip_search", "--cases", "1000", "--", wrong("skip_search_crash")}).out;
  const std::string few =
      smtrace({"verify", "skip_search", "--cases", "31", "--", wrong("skip_search_crash")}).out;
  const std::string at = line_with(many, "DIVERGES at case ");
  ASSERT_NE(at, "");
  const std::string case_number = at.substr(std::string("DIVERGES at case ").size(),
                                            at.find(' ', 17) - 17);
  ASSERT_LT(std::stoi(case_number), 31) << at;
  EXPECT_EQ(section(few, "SHRUNK"), section(many, "SHRUNK"));
}

// ---------------------------------------------------------------------------
// Formats, statuses, crashes in a library's entry.

// The library's main through the test host, with the blank before the
// newline taken off by sed: the same positions in other bytes.
std::vector<std::string> trimmed_raita() {
  return {"/bin/sh", "-c", "\"$0\" \"$@\" | sed 's/ $//'", SM_HOST, library("raita"), "main", "raita"};
}

TEST(VerifyFormat, ExactWantsTheBytesLenientOnlyThePositions) {
  std::vector<std::string> exact = {"verify", "raita", "--cases", "200", "--"};
  for (const auto& word : trimmed_raita()) exact.push_back(word);
  const Outcome caught = smtrace(exact);
  EXPECT_EQ(caught.status, 1) << caught.out << caught.err;
  expect_in(caught.out, "format exact: the output must be the reference's bytes");
  expect_in(caught.out, "the positions agree, but not the bytes: from byte ");
  const Shown shrunk = shown_case(section(caught.out, "SHRUNK"));
  EXPECT_EQ(shrunk.pattern, 1u) << caught.out;
  EXPECT_EQ(shrunk.text, 1u) << caught.out;

  std::vector<std::string> lenient = {"verify", "raita", "--cases", "200", "--format", "lenient", "--"};
  for (const auto& word : trimmed_raita()) lenient.push_back(word);
  const Outcome agreed = smtrace(lenient);
  EXPECT_EQ(agreed.status, 0) << agreed.out << agreed.err;
  expect_in(agreed.out, "format lenient: ");
  EXPECT_EQ(last_line(agreed.out), "all 200 cases agree");
}

TEST(VerifyFormat, OutputThatIsNotPositionsIsMarkedWhereItStarts) {
  const Outcome got = smtrace({"verify", "morris_pratt", "--format", "lenient", "--", "/bin/sh",
                               "-c", "echo 0 1 oops"});
  EXPECT_EQ(got.status, 1) << got.err;
  expect_in(got.out, "the command prints \"oops\", which is not a position");
}

TEST(VerifyStatus, ACommandEndingWithAnotherStatusDivergesOnTheSmallestCase) {
  const Outcome got = smtrace({"verify", "tuned_bm", "--", "/bin/sh", "-c", "exit 3"});
  EXPECT_EQ(got.status, 1);
  expect_in(section(got.out, "DIVERGES"), "the command ended with status 3");
  const Shown shrunk = shown_case(section(got.out, "SHRUNK"));
  EXPECT_EQ(shrunk.pattern, 1u);
  EXPECT_EQ(shrunk.text, 0u);
}

TEST(VerifyStatus, StandardErrorIsShownWithTheDivergence) {
  const Outcome got = smtrace({"verify", "raita", "--cases", "5", "--shrink-runs", "0", "--",
                               "/bin/sh", "-c", "echo 'it went wrong' >&2; echo 0"});
  EXPECT_EQ(got.status, 1);
  expect_in(got.out, "its standard error:\n    | it went wrong\n");
}

struct EntryCase {
  std::string entry;
  std::vector<std::string> expected;  // one of them is in the report
};

TEST(VerifyLibrary, AnEntryThatEndsOrHangsItsProcessIsADivergenceNotTheToolsEnd) {
  const std::vector<EntryCase> cases = {
      {"exits_with_error", {"the entry function ended its process (status 1) instead of returning"}},
      {"exits_quietly", {"the entry function ended its process (status 0) instead of returning"}},
      {"aborts", {"the library was killed by signal 6"}},
      {"spins", {"the library did not end within 0.3 s; it was killed"}},
      {"reads_nothing", {"^ the library stops after 0 reads; the reference reads "}},
      {"endless_list", {"the library did not end within 0.3 s", "the library wrote more than"}},
  };
  for (const EntryCase& c : cases) {
    const Outcome got = smtrace({"verify", "raita", "--timeout", "0.3", "--shrink-runs", "8",
                                 "--library", SM_WRONG_ENTRIES, "--entry", c.entry});
    EXPECT_EQ(got.status, 1) << c.entry << "\n" << got.out << got.err;
    bool found = false;
    for (const std::string& text : c.expected) found |= got.out.find(text) != std::string::npos;
    EXPECT_TRUE(found) << c.entry << "\n" << got.out;
  }
  const Outcome printed = smtrace({"verify", "raita", "--shrink-runs", "0", "--library",
                                   SM_WRONG_ENTRIES, "--entry", "exits_with_error"});
  expect_in(printed.out, "what the library printed itself:\n    | Error: Out of memory.\n");
}

// ---------------------------------------------------------------------------
// Usage, and the cases file.

class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/smtrace_verify_test.XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~Scratch() { std::filesystem::remove_all(path_); }
  std::string file(const std::string& name, const std::string& bytes) const {
    const std::string path = path_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct Refused {
  std::vector<std::string> args;
  int status;
  std::string message;  // the start of standard error
};

TEST(VerifyUsage, BadUsageAndMissingPiecesHaveTheirStatusesAndSayWhy) {
  const Scratch scratch;
  const std::string bad = scratch.file("bad.jsonl", "{\"pattern\":\"a\"}\n");
  const std::vector<Refused> cases = {
      {{"verify"}, 2, "smtrace: verify takes the operand ALGORITHM; 0 given"},
      {{"verify", "raita", "tuned_bm", "--", "true"}, 2, "smtrace: verify takes the operand ALGORITHM; 2 given"},
      {{"verify", "raita"}, 2, "smtrace: verify checks one implementation"},
      {{"verify", "raita", "--library", "x.so", "--", "true"}, 2, "smtrace: verify checks one implementation"},
      {{"verify", "raita", "--entry", "e", "--", "true"}, 2, "smtrace: --entry goes with --library"},
      {{"verify", "raita", "--format", "loose", "--", "true"}, 2, "smtrace: --format is exact or lenient"},
      {{"verify", "raita", "--cases", "0", "--", "true"}, 2, "smtrace: --cases takes a whole number from 1"},
      {{"verify", "raita", "--cases=-4", "--", "true"}, 2, "smtrace: --cases takes a whole number"},
      {{"verify", "raita", "--max-text", "100001", "--", "true"}, 2, "smtrace: --max-text takes"},
      {{"verify", "raita", "--timeout", "0", "--", "true"}, 2, "smtrace: --timeout takes a number"},
      {{"verify", "raita", "--seed", "x", "--", "true"}, 2, "smtrace: --seed takes a whole number"},
      {{"verify", "raita", "--cases-file", bad, "--seed", "2", "--", "true"}, 2,
       "smtrace: --cases-file replays a file"},
      {{"verify", "raita", "--"}, 2, "smtrace: verify: no command after --"},
      {{"verify", "raita", "--bogus", "--", "true"}, 2, "smtrace: verify: unknown option --bogus"},
      {{"verify", "raita", "--cases"}, 2, "smtrace: --cases needs a value"},
      {{"verify", "raita", "--connect", "999,998"}, 2, "smtrace: --connect: descriptor 999 is not open"},
      {{"verify", "raita", "--connect", "3"}, 2, "smtrace: --connect takes READ_FD,WRITE_FD"},
      {{"verify", "raita", "--", "/nonexistent/impl"}, 2, "smtrace: cannot run /nonexistent/impl"},
      {{"verify", "raita", "--", "no-such-command-anywhere"}, 2,
       "smtrace: cannot run no-such-command-anywhere: not found on PATH"},
      {{"verify", "rabin_karp", "--", "true"}, 3, "smtrace: unknown algorithm \"rabin_karp\""},
      {{"verify", "raita", "--library", "/nonexistent/lib.so"}, 4, "smtrace: cannot load /nonexistent/lib.so"},
      {{"verify", "raita", "--library", SM_WRONG_ENTRIES}, 4,
       std::string("smtrace: ") + SM_WRONG_ENTRIES + " has no entry function raita"},
      {{"verify", "raita", "--cases-file", scratch.path() + "/none", "--", "true"}, 5,
       "smtrace: cannot read the cases file"},
      {{"verify", "raita", "--cases-file", bad, "--", "true"}, 5, "smtrace: " + bad + " line 1: no \"text\""},
      {{"golden"}, 2, "smtrace: golden takes the operand ALGORITHM; 0 given"},
      {{"golden", "raita", "--cases", "many"}, 2, "smtrace: --cases takes a whole number"},
      {{"golden", "raita", "--library", "x"}, 2, "smtrace: golden: unknown option --library"},
      {{"golden", "boyer_moore"}, 3, "smtrace: unknown algorithm \"boyer_moore\""},
      {{"golden", "raita", "--output", scratch.path() + "/no/such/dir/x.jsonl"}, 7, "smtrace: cannot write"},
  };
  for (const Refused& c : cases) {
    const Outcome got = smtrace(c.args);
    std::string described;
    for (const auto& arg : c.args) described += " " + arg;
    EXPECT_EQ(got.status, c.status) << described << "\n" << got.err;
    EXPECT_EQ(got.out, "") << described;
    EXPECT_EQ(got.err.rfind(c.message, 0), 0u) << described << "\n" << got.err;
  }
}

TEST(VerifyUsage, HelpDescribesTheImplementationsOptionsAndStatuses) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"verify", "--help"}, {"golden", "--help"}, {"verify", "raita", "-h"}}) {
    const Outcome got = smtrace(args);
    EXPECT_EQ(got.status, 0);
    for (const char* needle : {"usage: smtrace verify ALGORITHM [OPTIONS] -- COMMAND [ARGS...]",
                               "--library PATH", "--connect R,W", "--cases-file FILE",
                               "--format lenient", "--timeout SECONDS", "--list-cases",
                               "smtrace golden ALGORITHM", "  0  every case agrees",
                               "  1  a case diverges", "  2  bad usage"}) {
      expect_in(got.out, needle);
    }
  }
  const Outcome general = smtrace({"--help"});
  expect_in(general.out, "  verify   check another implementation");
  expect_in(general.out, "  golden   write generated cases");
}

TEST(VerifyUsage, ListCasesNamesEveryFamilyAndWhichOnesARoutineLeavesOut) {
  Outcome all = smtrace({"verify", "--list-cases"});
  EXPECT_EQ(all.status, 0);
  all.out.insert(0, "\n");
  for (const char* family : {"random-2 ", "random-3 ", "random-4 ", "random-7bit ", "periodic ",
                             "runs ", "at-start ", "at-end ", "overlapping ", "absent ",
                             "longer ", "single ", "long "}) {
    EXPECT_NE(all.out.find(std::string("\n") + family), std::string::npos) << family;
  }
  EXPECT_EQ(all.out.find("not for this algorithm"), std::string::npos);
  const Outcome nsn = smtrace({"verify", "not_so_naive", "--list-cases"});
  expect_in(line_with(nsn.out, "single "), "(not for this algorithm: its patterns are longer)");
}

TEST(VerifyCasesFile, ReplaysEachCaseAgainstTheTraceTheFileHolds) {
  const Scratch scratch;
  // Raita on "ab" in "cab" reads 1, 2, 1; the second line's trace is wrong.
  const std::string file = scratch.file(
      "cases.jsonl",
      "{\"pattern\":\"ab\",\"text\":\"cab\",\"trace\":[1,2,1]}\n"
      "\n"
      "{\"pattern\":\"ab\",\"text\":\"xxab\",\"note\":[1,{\"a\":null}],\"trace\":[1,3,2,9]}\n");
  const Outcome got = smtrace({"verify", "raita", "--cases-file", file, "--shrink-runs", "0",
                               "--library", library("raita")});
  EXPECT_EQ(got.status, 1) << got.out << got.err;
  expect_in(got.out, "2 cases from " + file);
  expect_in(got.out, "DIVERGES at line 3 of " + file + " (the 1 before it agree):");
  expect_in(got.out, "(the reference library's trace for this case differs from the one expected here;");

  // Without a trace, a line is checked against the reference; zero bytes
  // reach a library's entry.
  const std::string zeros = scratch.file(
      "zeros.jsonl", "{\"pattern\":\"a\\u0000\",\"text\":\"\\u0000a\\u0000\\u00e9a\\u0000\"}\n");
  const Outcome library_run =
      smtrace({"verify", "raita", "--cases-file", zeros, "--library", library("raita")});
  EXPECT_EQ(library_run.status, 0) << library_run.out << library_run.err;
}

TEST(VerifyCasesFile, LinesThatAreNoCaseOrCannotBeRunAreRefusedWithTheirLine) {
  const Scratch scratch;
  const std::vector<std::pair<std::string, std::string>> unreadable = {
      {"not json\n", "line 1: expected '{'"},
      {"{\"pattern\":\"a\",\"text\":\"b\"} x\n", "line 1: text after the object"},
      {"\n{\"text\":\"b\"}\n", "line 2: no \"pattern\""},
      {"{\"pattern\":\"\\u0100\",\"text\":\"b\"}\n", "line 1: \\u0100 is not a byte"},
      {"{\"pattern\":\"\xc3\xa9\",\"text\":\"b\"}\n", "line 1: a byte of 128 or more in a string"},
      {"{\"pattern\":\"a\",\"text\":\"b\",\"trace\":[1.5]}\n", "line 1: expected an integer"},
      {"{\"pattern\":\"a\",\"text\":\"b\",\"trace\":[99999999999]}\n", "line 1: a position beyond 32 bits"},
      {"{\"pattern\":\"a\",\"text\":\"b\\q\"}\n", "line 1: unknown escape \\q"},
  };
  for (const auto& [content, message] : unreadable) {
    const std::string file = scratch.file("bad.jsonl", content);
    const Outcome got = smtrace({"verify", "morris_pratt", "--cases-file", file, "--", "true"});
    EXPECT_EQ(got.status, 5) << content;
    EXPECT_NE(got.err.find(file + " " + message), std::string::npos) << content << got.err;
  }
  const std::string zero = scratch.file("zero.jsonl", "{\"pattern\":\"a\",\"text\":\"b\\u0000\"}\n");
  const Outcome command = smtrace({"verify", "raita", "--cases-file", zero, "--", "true"});
  EXPECT_EQ(command.status, 6);
  expect_in(command.err, zero + " line 1: a zero byte, which a command's arguments cannot carry");
  const std::string high = scratch.file("high.jsonl", "{\"pattern\":\"\\u00e9\",\"text\":\"b\"}\n");
  const Outcome refused = smtrace({"verify", "raita", "--cases-file", high, "--", "true"});
  EXPECT_EQ(refused.status, 6);
  expect_in(refused.err, "line 1: raita refuses the pattern: pattern byte 0 is \\xe9");
  // morris_pratt searches any byte.
  EXPECT_EQ(smtrace({"verify", "morris_pratt", "--cases-file", high, "--library",
                     library("morris_pratt")}).status, 0);
}

}  // namespace
}  // namespace sm_test
