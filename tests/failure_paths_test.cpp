// The failure paths of every library: a trace node that cannot be allocated,
// the automaton store's fatal messages reached through a host, and a text
// operand at the operating system's limit for one argument.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/cases.h"
#include "support/graph.h"
#include "support/library.h"
#include "support/process.h"
#include "support/routines.h"
#include "support/trace_properties.h"

namespace sm_test {
namespace {

#if !SM_SANITIZED
// A pattern as short as each routine's contract allows, absent from a text of a's.
std::string short_pattern(const Routine& r) {
  return std::string(static_cast<size_t>(std::max(r.min_m, 1) - 1), 'a') + "b";
}

// Under AddressSanitizer the address space is reserved up front, so a limit
// on it cannot work there.
TEST(FailurePaths, NodeAllocationFailureEndsEveryLibraryWithTheErrorLine) {
  // Forty million texts positions, each read once: the trace cannot fit in
  // the host's 256 MiB of address space.
  for (const Routine& r : routines()) {
    Outcome got = run({SM_HOST, library_path(r.library), "oom", r.library, "40000000", short_pattern(r)});
    EXPECT_EQ(got.out, "Error: Out of memory.\n") << r.library;
    EXPECT_EQ(got.status, 1) << r.library;
  }
}
#endif

// The store's accessors end the process with their own name when given no
// record, from inside any library (each carries its own store), called
// through their declared types.
TEST(FailurePaths, StoreAccessorsOnANullRecordThroughAHost) {
  struct Accessor {
    const char* name;
    std::function<void(const Store&)> call;
  };
  const std::vector<Accessor> accessors = {
      {"getInitial", [](const Store& store) { store.initial(nullptr); }},
      {"newVertex", [](const Store& store) { store.newVertex(nullptr); }},
      {"getTarget", [](const Store& store) { store.edge_get("getTarget", nullptr, 0, 'a'); }},
      {"getShift", [](const Store& store) { store.edge_get("getShift", nullptr, 0, 'a'); }},
      {"isTerminal", [](const Store& store) { store.vertex_get("isTerminal", nullptr, 0); }},
      {"getSuffixLink", [](const Store& store) { store.vertex_get("getSuffixLink", nullptr, 0); }},
  };
  for (const Routine& r : routines()) {
    Library lib(library_path(r.library));
    const Store store(lib);
    for (const auto& a : accessors) {
      Outcome got = run_child([&] {
        a.call(store);
        return 99;  // returned instead of ending the process
      });
      EXPECT_EQ(got.out, std::string("Error: ") + a.name + "\n") << r.library;
      EXPECT_EQ(got.status, 1) << r.library << " " << a.name;
    }
  }
}

// The longest single argument Linux passes: MAX_ARG_STRLEN is 131072 bytes,
// the terminating zero included.
constexpr size_t kLongestOperand = 131071;

// A text of that length whose one occurrence of "ab" ends it.
std::string longest_text() { return std::string(kLongestOperand - 2, 'a') + "ab"; }

TEST(FailurePaths, TextAtTheArgumentLimitThroughEachProgram) {
  const std::string text = longest_text();
  int programs = 0;
  for (const Routine& r : routines()) {
    if (!r.program) continue;
    ++programs;
    const std::string program = program_path(r.library);
    Library lib(library_path(r.library));
    const std::vector<int32_t> trace = lib.search(r.library, "ab", text);
    EXPECT_EQ(check_search(r, "ab", text, trace), "") << r.library;
    Outcome got = run({program, "ab", text});
    EXPECT_EQ(got.status, 0) << r.library;
    EXPECT_TRUE(got.out == printed(trace)) << r.library << ": the program's trace differs from the library road's";
    // One byte more and the system refuses to start the program at all.
    Outcome refused = run({program, "ab", text + "a"});
    EXPECT_EQ(refused.status, 126) << r.library;
    EXPECT_EQ(refused.out, "") << r.library;
  }
  EXPECT_GT(programs, 0) << "no row of the table is a program";
}

TEST(FailurePaths, TextAtTheArgumentLimitThroughEachLibrarysMain) {
  const std::string text = longest_text();
  for (const Routine& r : routines()) {
    Library lib(library_path(r.library));
    const std::vector<int32_t> trace = lib.search(r.library, "ab", text);
    EXPECT_EQ(check_search(r, "ab", text, trace), "") << r.library;
    Outcome got = run_main(r.library, {r.library, "ab", text});
    EXPECT_EQ(got.status, 0) << r.library;
    EXPECT_TRUE(got.out == printed(trace)) << r.library << ": main's trace differs from the entry's";
  }
}

}  // namespace
}  // namespace sm_test
