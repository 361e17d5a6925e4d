// Fuzz target for the command-line road of every library: the input layout
// and the outcomes checked are described in fuzz/command_line.h.
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "fuzz/command_line.h"

namespace {

std::vector<sm_fuzz::Library> libraries;
int captured = -1;  // the memory file standing in for standard output

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  libraries = sm_fuzz::command_line::load_all();
  std::fprintf(stderr, "INFO: the command-line road of %zu libraries\n", libraries.size());
  captured = memfd_create("stdout", 0);
  if (captured < 0) sm_fuzz::fail("memfd_create");
  return 0;
}

// The trace is released after every input, so that an input's allocations and
// releases balance and libFuzzer's leak check looks only at real leaks.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sm_fuzz::command_line::check_input(libraries, captured, data, size);
  for (const auto& lib : libraries) lib.trace_new();
  return 0;
}
