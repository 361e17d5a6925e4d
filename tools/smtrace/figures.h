// What a trace says about a search, in numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace smtrace {

struct Figures {
  uint64_t reads = 0;                          // positions in the trace
  uint64_t distinct = 0;                       // different positions among them
  std::optional<double> reads_per_character;   // reads / n; none for an empty text
  uint64_t most_reads_of_one_position = 0;     // the largest count of one position
};

// Linear in the trace and its largest position.
Figures figures_of(const std::vector<int32_t>& trace, size_t text_length);

// The same for any range of positions read once in order (a library's trace
// list): positions lie in 0 .. text_length (a routine may read the zero byte
// at n) and are counted in a flat array; others would go to a map.
template <typename Positions>
Figures figures_of_positions(const Positions& trace, size_t text_length) {
  Figures figures;
  std::vector<uint32_t> flat(text_length + 1);
  std::unordered_map<int64_t, uint32_t> others;
  for (int32_t position : trace) {
    ++figures.reads;
    const uint32_t count = position >= 0 && static_cast<size_t>(position) <= text_length
                               ? ++flat[static_cast<size_t>(position)]
                               : ++others[position];
    if (count == 1) ++figures.distinct;
    if (count > figures.most_reads_of_one_position) figures.most_reads_of_one_position = count;
  }
  if (text_length > 0) {
    figures.reads_per_character =
        static_cast<double>(figures.reads) / static_cast<double>(text_length);
  }
  return figures;
}

// How often each position was read (the trace in reading order in, a count
// per read out): 1 for the first read of a position, 2 for the second, ...
std::vector<uint32_t> read_counts(const std::vector<int32_t>& trace);

// Where the pattern first occurs in the text (0 for an empty pattern), found
// by an ordinary linear-time search, since no routine reports it.
std::optional<size_t> first_occurrence(std::string_view pattern, std::string_view text);

}  // namespace smtrace
