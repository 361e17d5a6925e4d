// Shrinking a diverging case to a small one that diverges the same way.
#pragma once

#include <cstdint>
#include <functional>

#include "verify_cases.h"

namespace smtrace {

struct Shrunk {
  Case minimal;
  int64_t runs = 0;           // the cases tried
  bool out_of_runs = false;   // stopped by the budget rather than at a fixed point
};

// Greedy and deterministic. Over and over until nothing changes: drop
// pieces of the text, then of the pattern (halves first, single characters
// last; the pattern keeps at least shortest_pattern characters), then
// replace a character everywhere, and then at single places, by a simpler
// one ('a' first, then 'b', 'c'...); when none of that helps, drop a
// character of the pattern and one of the text together. A candidate is
// kept when diverges() says it still diverges. At most budget candidates
// are tried.
Shrunk shrink(const Case& start, int32_t shortest_pattern, int64_t budget,
              const std::function<bool(const Case&)>& diverges);

}  // namespace smtrace
