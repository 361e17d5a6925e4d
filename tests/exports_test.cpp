// Each library's dynamic symbol table holds exactly its plain C interface.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/library.h"
#include "support/process.h"
#include "support/routines.h"

namespace sm_test {
namespace {

const std::set<std::string> kCore = {
    "set_txt_length", "start_pruning_duplicates", "stop_pruning_duplicates", "trace",
    "trace_add", "trace_get", "trace_memcmp", "trace_new", "trace_print",
    "txt_length", "trace_first", "trace_current", "prune_duplicates", "prune_from_trace",
    "string_matcher_main", "string_matcher_array", "error", "MAX", "MIN", "main",
    // The automaton store.
    "newGraph", "newAutomaton", "newTrie", "newSuffixAutomaton", "freeGraph", "getInitial",
    "newVertex", "copyVertex", "setTarget", "getTarget", "setShift", "getShift",
    "setSuffixLink", "getSuffixLink", "setLength", "getLength", "setPosition", "getPosition",
    "setTerminal", "isTerminal",
};

// Beyond the core: the entry function, the routine and its preprocessing, as
// the routine table has them.
std::set<std::string> own_exports(const Routine& r) {
  std::set<std::string> own = {r.library, r.routine};
  own.insert(r.quirks->tables.begin(), r.quirks->tables.end());
  own.insert(r.quirks->other_preprocessing.begin(), r.quirks->other_preprocessing.end());
  return own;
}

std::vector<std::string> split(const std::string& list) {
  std::vector<std::string> out;
  std::istringstream in(list);
  for (std::string name; std::getline(in, name, ',');) out.push_back(name);
  return out;
}

std::set<std::string> defined_symbols(const std::string& path) {
  Outcome got = run({"/bin/sh", "-c", "nm -D --defined-only '" + path + "'"});
  EXPECT_EQ(got.status, 0) << path;
  std::set<std::string> names;
  std::istringstream lines(got.out);
  for (std::string address, kind, name; lines >> address >> kind >> name;) {
    // AddressSanitizer adds an ODR indicator beside every instrumented global.
    if (SM_SANITIZED && name.rfind("__odr_asan", 0) == 0) continue;
    names.insert(name);
  }
  return names;
}

TEST(Exports, TheBuildMakesExactlyTheLibrariesOfTheTable) {
  std::set<std::string> table;
  for (const Routine& r : routines()) table.insert(r.library);
  EXPECT_EQ(routines().size(), size_t{SMTRACE_ALGORITHM_COUNT});
  EXPECT_EQ(table.size(), routines().size()) << "a library appears twice in the table";
  const std::vector<std::string> built = split(SM_LIBRARIES);
  EXPECT_EQ(std::set<std::string>(built.begin(), built.end()), table);
}

TEST(Exports, EachLibraryExportsExactlyItsInterface) {
  for (const Routine& r : routines()) {
    std::set<std::string> expected = kCore;
    const std::set<std::string> mine = own_exports(r);
    expected.insert(mine.begin(), mine.end());
    const std::set<std::string> got = defined_symbols(library_path(r.library));
    for (const auto& symbol : expected) EXPECT_EQ(got.count(symbol), 1u) << r.library << " lacks " << symbol;
    for (const auto& symbol : got) EXPECT_EQ(expected.count(symbol), 1u) << r.library << " also exports " << symbol;
  }
}

TEST(Exports, HostFindsEveryNameUndecorated) {
  for (const Routine& r : routines()) {
    Library lib(library_path(r.library));
    for (const auto& symbol : kCore) EXPECT_NO_THROW(lib.raw(symbol)) << r.library << ": " << symbol;
    for (const auto& symbol : own_exports(r)) EXPECT_NO_THROW(lib.raw(symbol)) << r.library << ": " << symbol;
  }
}

TEST(Exports, MaxAndMin) {
  Library lib(library_path("morris_pratt"));
  auto max = lib.fn<int32_t (*)(int32_t, int32_t)>("MAX");
  auto min = lib.fn<int32_t (*)(int32_t, int32_t)>("MIN");
  struct Case { int32_t a, b, max, min; };
  const std::vector<Case> cases = {{3, 3, 3, 3}, {-1, 0, 0, -1}, {5, -7, 5, -7},
                                   {-2147483647 - 1, 2147483647, 2147483647, -2147483647 - 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(max(c.a, c.b), c.max);
    EXPECT_EQ(min(c.a, c.b), c.min);
  }
}

}  // namespace
}  // namespace sm_test
