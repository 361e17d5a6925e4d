// The command-line road as a process sees it, and the fatal path through a host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cases.h"
#include "support/library.h"
#include "support/process.h"

namespace sm_test {
namespace {

struct CliCase {
  const char* what;
  std::vector<std::string> argv;  // as main sees it, program name first
  std::string out;
  int status;
};

TEST(CommandLine, OperandsAndLimits) {
  const std::string p19 = "abcdefghijklmnopqrs";
  const std::string p20 = p19 + "t";
  const std::vector<CliCase> cases = {
      {"no operands", {"morris_pratt"}, "morris_pratt pattern text\n", 2},
      {"one operand", {"mp", "ab"}, "mp pattern text\n", 2},
      {"no program name", {}, " pattern text\n", 2},
      {"19-character pattern", {"mp", p19, "xx" + p19}, printed({0, 1, 2, 3, 4, 5, 6, 7, 8, 9,
          10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}), 0},
      {"20-character pattern", {"mp", p20, "abc"}, "Error: Pattern too large.\n", 1},
      {"20-character pattern, no text", {"mp", p20}, "mp pattern text\n", 2},
      {"fourth operand ignored", {"mp", "ab", "xab", "zzz"}, "0 1 2 \n", 0},
      {"empty text", {"mp", "ab", ""}, "\n", 0},
      {"empty pattern", {"mp", "", "abc"}, "0 \n", 0},
      {"both empty", {"mp", "", ""}, "\n", 0},
  };
  for (const auto& c : cases) {
    Outcome got = run_main("morris_pratt", c.argv);
    EXPECT_EQ(got.out, c.out) << c.what;
    EXPECT_EQ(got.status, c.status) << c.what;
  }
}

TEST(CommandLine, SecondRunInOneProcessAppends) {
  Library lib(library_path("morris_pratt"));
  auto lib_main = lib.fn<smtrace_main_fn>("main");
  Outcome got = run_child([lib_main] {
    char prog[] = "mp", pattern[] = "ab", text[] = "ab";
    char* argv[] = {prog, pattern, text, nullptr};
    lib_main(3, argv);
    return lib_main(3, argv);
  });
  EXPECT_EQ(got.out, "0 1 \n0 1 0 1 \n");
  EXPECT_EQ(got.status, 0);
}

TEST(CommandLine, RoutineGetsACopyOfTheText) {
  // The driver must hand the routine its own zero-padded copy: the argument
  // itself stays untouched.
  Library lib(library_path("morris_pratt"));
  auto lib_main = lib.fn<smtrace_main_fn>("main");
  char prog[] = "mp", pattern[] = "zz", text[] = "abc";
  char* argv[] = {prog, pattern, text, nullptr};
  Outcome got = run_child([&] { return lib_main(3, argv) == 0 && std::string(text) == "abc" ? 0 : 9; });
  EXPECT_EQ(got.status, 0);
}

TEST(FatalPath, ErrorThroughAHostThatDefinesItsOwn) {
  // The host exports error, trace and txt_length of its own; the library's
  // calls must still reach the library's definitions.
  struct Case {
    std::vector<std::string> args;
    std::string out;
    int status;
  };
  const std::string lib = library_path("morris_pratt");
  const std::vector<Case> cases = {
      {{SM_HOST, lib, "error", "boom"}, "Error: boom\n", 1},
      {{SM_HOST, lib, "main", "mp", "abcdefghijklmnopqrstu", "x"}, "Error: Pattern too large.\n", 1},
      {{SM_HOST, lib, "entry", "morris_pratt", "ab", "cab"}, "0 1 2 \n", 0},
  };
  for (const auto& c : cases) {
    Outcome got = run(c.args);
    EXPECT_EQ(got.out, c.out) << c.args[2];
    EXPECT_EQ(got.status, c.status) << c.args[2];
  }
}

#if !SM_SANITIZED
TEST(FatalPath, NodeAllocationFailureEndsWithTheErrorLine) {
  // Forty million one-node reads cannot fit in 256 MiB of address space.
  Outcome got = run({SM_HOST, library_path("morris_pratt"), "oom", "morris_pratt", "40000000"});
  EXPECT_EQ(got.out, "Error: Out of memory.\n");
  EXPECT_EQ(got.status, 1);
}
#endif

}  // namespace
}  // namespace sm_test
