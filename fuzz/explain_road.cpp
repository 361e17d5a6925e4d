// Fuzz target for the explaining host library against the deliverables: the
// input layout and the properties checked are described in
// fuzz/explain_road.h.
#include <cstddef>
#include <cstdint>

#include "fuzz/explain_road.h"

namespace {

sm_fuzz::explain_road::Libraries libraries;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  libraries = sm_fuzz::explain_road::load();
  return 0;
}

// Each deliverable's trace is released as soon as it has been copied, so that
// an input's allocations and releases balance and libFuzzer's leak check
// looks only at real leaks.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sm_fuzz::explain_road::check_input(libraries, data, size);
  return 0;
}
