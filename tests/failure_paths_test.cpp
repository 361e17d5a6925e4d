// The failure paths of every library: a trace node that cannot be allocated,
// the automaton store's fatal messages reached through a host, and a text
// operand at the operating system's limit for one argument.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/cases.h"
#include "support/library.h"
#include "support/process.h"
#include "support/routines.h"
#include "support/trace_properties.h"

namespace sm_test {
namespace {

bool exists(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

#if !SM_SANITIZED
// A pattern each routine searches: Not So Naive needs two characters.
std::string short_pattern(const Routine& r) { return r.min_m >= 2 ? "ab" : "b"; }

// Under AddressSanitizer the address space is reserved up front, so a limit
// on it cannot work there.
TEST(FailurePaths, NodeAllocationFailureEndsEveryLibraryWithTheErrorLine) {
  // Forty million texts positions, each read once: the trace cannot fit in
  // the host's 256 MiB of address space.
  for (const Routine* r : built_routines()) {
    Outcome got = run({SM_HOST, library_path(r->library), "oom", r->library, "40000000", short_pattern(*r)});
    EXPECT_EQ(got.out, "Error: Out of memory.\n") << r->library;
    EXPECT_EQ(got.status, 1) << r->library;
  }
}
#endif

// The store's accessors end the process with their own name when given no
// record, from inside any library.
TEST(FailurePaths, StoreAccessorsOnANullRecordThroughAHost) {
  struct Accessor {
    const char* name;
    std::function<void(const Library&)> call;
  };
  const std::vector<Accessor> accessors = {
      {"getInitial", [](const Library& lib) { lib.fn<int32_t (*)(void*)>("getInitial")(nullptr); }},
      {"newVertex", [](const Library& lib) { lib.fn<int32_t (*)(void*)>("newVertex")(nullptr); }},
      {"getTarget", [](const Library& lib) {
         lib.fn<int32_t (*)(void*, int32_t, unsigned char)>("getTarget")(nullptr, 0, 'a');
       }},
      {"getShift", [](const Library& lib) {
         lib.fn<int32_t (*)(void*, int32_t, unsigned char)>("getShift")(nullptr, 0, 'a');
       }},
      {"isTerminal", [](const Library& lib) { lib.fn<int32_t (*)(void*, int32_t)>("isTerminal")(nullptr, 0); }},
      {"getSuffixLink", [](const Library& lib) { lib.fn<int32_t (*)(void*, int32_t)>("getSuffixLink")(nullptr, 0); }},
  };
  int checked = 0;
  for (const Routine* r : built_routines()) {
    Library lib(library_path(r->library));
    for (const auto& a : accessors) {
      try {
        lib.raw(a.name);
      } catch (const std::runtime_error&) {
        continue;  // this build's library carries no store
      }
      Outcome got = run_child([&] {
        a.call(lib);
        return 99;  // returned instead of ending the process
      });
      EXPECT_EQ(got.out, std::string("Error: ") + a.name + "\n") << r->library;
      EXPECT_EQ(got.status, 1) << r->library << " " << a.name;
      ++checked;
    }
  }
  if (checked == 0) GTEST_SKIP() << "no library exports the automaton store";
}

// The longest single argument Linux passes: MAX_ARG_STRLEN is 131072 bytes,
// the terminating zero included.
constexpr size_t kLongestOperand = 131071;

// A text of that length whose one occurrence of "ab" ends it.
std::string longest_text() { return std::string(kLongestOperand - 2, 'a') + "ab"; }

TEST(FailurePaths, TextAtTheArgumentLimitThroughTheProgram) {
  const std::string program = program_path("turbo_reverse_factor");
  if (!exists(program) || !exists(library_path("turbo_reverse_factor"))) {
    GTEST_SKIP() << "no turbo_reverse_factor program in this build";
  }
  const std::string text = longest_text();
  Library lib(library_path("turbo_reverse_factor"));
  const std::vector<int32_t> trace = lib.search("turbo_reverse_factor", "ab", text);
  EXPECT_EQ(check_search(*find_routine("turbo_reverse_factor"), "ab", text, trace), "");
  Outcome got = run({program, "ab", text});
  EXPECT_EQ(got.status, 0);
  EXPECT_TRUE(got.out == printed(trace)) << "the program's trace differs from the library road's";
  // One byte more and the system refuses to start the program at all.
  Outcome refused = run({program, "ab", text + "a"});
  EXPECT_EQ(refused.status, 126);
  EXPECT_EQ(refused.out, "");
}

TEST(FailurePaths, TextAtTheArgumentLimitThroughEachLibrarysMain) {
  const std::string text = longest_text();
  for (const Routine* r : built_routines()) {
    Library lib(library_path(r->library));
    const std::vector<int32_t> trace = lib.search(r->library, "ab", text);
    EXPECT_EQ(check_search(*r, "ab", text, trace), "") << r->library;
    Outcome got = run_main(r->library, {r->library, "ab", text});
    EXPECT_EQ(got.status, 0) << r->library;
    EXPECT_TRUE(got.out == printed(trace)) << r->library << ": main's trace differs from the entry's";
  }
}

}  // namespace
}  // namespace sm_test
