// Searches explained by libsmtrace.so: the whole explanation (every read,
// attempt, move, note and table, in memory), or only its counts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "algorithms.h"
#include "output.h"
#include "smtrace_explain.h"

namespace smtrace {

// One explained search, freed with the object. The caller has checked that
// the routine accepts the pattern; the library's other refusals (a length it
// cannot hold) throw Failure(kRefusedInput), exhausted memory std::bad_alloc.
class Explanation {
 public:
  Explanation(const Algorithm& algorithm, std::string_view pattern, std::string_view text);
  ~Explanation();
  Explanation(const Explanation&) = delete;
  Explanation& operator=(const Explanation&) = delete;

  const smtrace_explanation& operator*() const { return *explanation_; }
  const smtrace_explanation* operator->() const { return explanation_; }

  // Writes the library's JSON of the whole explanation.
  void write_json(Output& out) const;

 private:
  smtrace_explanation* explanation_ = nullptr;
};

// The counts of a search and where the routine itself found the pattern,
// kept in bounded memory whatever the number of reads.
struct Summary {
  smtrace_counts counts{};
  std::optional<int32_t> occurrence;
};
Summary summarize(const Algorithm& algorithm, std::string_view pattern, std::string_view text);

}  // namespace smtrace
