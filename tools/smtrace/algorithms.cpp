#include "algorithms.h"

#include "smtrace.h"

namespace smtrace {
namespace {

// The one table of algorithms, made from the public header's list so that a
// host and the tool can never disagree about names, refusals or buffer room.
#define SMTRACE_ROW(name, refuses_8bit, room_fixed, room_per_pattern_byte) \
  Algorithm{#name, (refuses_8bit) != 0, room_fixed, room_per_pattern_byte},
constexpr Algorithm kTable[] = {SMTRACE_ALGORITHMS(SMTRACE_ROW)};
#undef SMTRACE_ROW

static_assert(sizeof kTable / sizeof kTable[0] == SMTRACE_ALGORITHM_COUNT,
              "the algorithm count matches the list");

}  // namespace

size_t Algorithm::buffer_size(int32_t n, int32_t m) const {
  return smtrace_buffer_size(n, m, room_fixed, room_per_pattern_byte);
}

int32_t Algorithm::refused_byte(std::string_view pattern) const {
  return smtrace_refused_byte(pattern.data(), static_cast<int32_t>(pattern.size()),
                              refuses_8bit);
}

const Algorithm* AlgorithmList::begin() const { return kTable; }
const Algorithm* AlgorithmList::end() const { return kTable + SMTRACE_ALGORITHM_COUNT; }

const Algorithm* find_algorithm(std::string_view name) {
  for (const Algorithm& algorithm : kAlgorithms) {
    if (name == algorithm.name) return &algorithm;
  }
  return nullptr;
}

}  // namespace smtrace
