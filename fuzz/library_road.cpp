// Fuzz target for one library's entry function (FUZZ_LIBRARY): the input
// layout and the properties checked are described in fuzz/library_road.h.
#include <cstdint>

#include "fuzz/library_road.h"

#ifndef FUZZ_LIBRARY
#error "FUZZ_LIBRARY names the library under test"
#endif

namespace {

sm_fuzz::Library lib;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const sm_test::Routine* routine = sm_test::find_routine(FUZZ_LIBRARY);
  if (routine == nullptr) sm_fuzz::fail("no routine " FUZZ_LIBRARY);
  lib = sm_fuzz::load(*routine);
  return 0;
}

// The trace is released after every input, so that an input's allocations and
// releases balance and libFuzzer's leak check looks only at real leaks.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sm_fuzz::library_road::check_input(lib, data, size);
  lib.trace_new();
  return 0;
}
