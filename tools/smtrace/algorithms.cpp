#include "algorithms.h"

#include <vector>

#include "smtrace.h"

namespace smtrace {
namespace {

// The one table of algorithms, made from the public header's list so that a
// host and the tool can never disagree about names, refusals, buffer room or
// the counting rule.
#define SMTRACE_ROW(name, routine, title, program, refuses_8bit, room_fixed,          \
                    room_per_pattern_byte, min_m, sets_txt_length, windows, ...)      \
  Algorithm{#name, title, (refuses_8bit) != 0, room_fixed, room_per_pattern_byte, \
            (windows) != 0},
constexpr Algorithm kTable[] = {SMTRACE_ALGORITHM_TABLE(SMTRACE_ROW)};
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

std::string titles_that_drop_repeats(bool drop) {
  std::vector<const char*> titles;
  for (const Algorithm& algorithm : kAlgorithms) {
    if (algorithm.drops_repeats == drop) titles.push_back(algorithm.title);
  }
  std::string out;
  for (size_t i = 0; i < titles.size(); ++i) {
    if (i > 0) out += i + 1 == titles.size() ? " and " : ", ";
    out += titles[i];
  }
  return out;
}

}  // namespace smtrace
