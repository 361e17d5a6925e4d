#include "figures.h"

#include <string.h>

#include <algorithm>
#include <unordered_map>

namespace smtrace {
namespace {

// Calls visit(index, count) for each read with the running count of its
// position. Positions lie in 0 .. n (a routine may read the zero byte at n)
// and are counted in a flat array; negative ones never come from a routine
// but would go to a map.
template <typename Visit>
void count_reads(const std::vector<int32_t>& trace, Visit visit) {
  int32_t highest = -1;
  for (int32_t position : trace) highest = std::max(highest, position);
  std::vector<uint32_t> flat(static_cast<size_t>(highest + int64_t{1}));
  std::unordered_map<int32_t, uint32_t> negative;
  for (size_t i = 0; i < trace.size(); ++i) {
    const int32_t position = trace[i];
    visit(i, position >= 0 ? ++flat[static_cast<size_t>(position)] : ++negative[position]);
  }
}

}  // namespace

Figures figures_of(const std::vector<int32_t>& trace, size_t text_length) {
  Figures figures;
  figures.reads = trace.size();
  count_reads(trace, [&figures](size_t, uint32_t count) {
    if (count == 1) ++figures.distinct;
    figures.most_reads_of_one_position =
        std::max<uint64_t>(figures.most_reads_of_one_position, count);
  });
  if (text_length > 0) {
    figures.reads_per_character =
        static_cast<double>(figures.reads) / static_cast<double>(text_length);
  }
  return figures;
}

std::vector<uint32_t> read_counts(const std::vector<int32_t>& trace) {
  std::vector<uint32_t> counts(trace.size());
  count_reads(trace, [&counts](size_t i, uint32_t count) { counts[i] = count; });
  return counts;
}

std::optional<size_t> first_occurrence(std::string_view pattern, std::string_view text) {
  if (pattern.empty()) return 0;
  // glibc's memmem is linear in the text (two-way search) for long patterns.
  const void* found = memmem(text.data(), text.size(), pattern.data(), pattern.size());
  if (found == nullptr) return std::nullopt;
  return static_cast<size_t>(static_cast<const char*>(found) - text.data());
}

}  // namespace smtrace
