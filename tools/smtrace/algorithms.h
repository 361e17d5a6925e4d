// The algorithms smtrace knows: one row per deliverable library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace smtrace {

struct Algorithm {
  const char* name;           // the entry function, and the library lib<name>.so
  const char* title;          // the algorithm's name for people
  bool refuses_8bit;          // a pattern byte of 128 or more ends the process
  int room_fixed;             // bytes the routine needs past the text, y[n] included
  int room_per_pattern_byte;  // 1 when it also needs m bytes past the text
  bool drops_repeats;         // each attempt runs in a pruning window: a position
                              // read again inside one attempt is not recorded again

  // The text buffer this routine needs for n text bytes and an m-byte pattern.
  size_t buffer_size(int32_t n, int32_t m) const;
  // The index of the first pattern byte this routine refuses, or -1; the
  // pattern is at most INT32_MAX bytes long.
  int32_t refused_byte(std::string_view pattern) const;
};

// Every algorithm, in the fixed order of the public header's list.
struct AlgorithmList {
  const Algorithm* begin() const;
  const Algorithm* end() const;
};
inline constexpr AlgorithmList kAlgorithms{};

// The algorithm of that name, or null.
const Algorithm* find_algorithm(std::string_view name);

// The titles of the algorithms that drop (or, with false, record) a position
// read again inside one attempt, in table order: "A, B and C".
std::string titles_that_drop_repeats(bool drop);

}  // namespace smtrace
