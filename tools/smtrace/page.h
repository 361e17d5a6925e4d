// The interactive pages of explain --html and compare --html, built by the
// explaining library (smtrace_explanation_html, smtrace_compare_html): the
// tool writes the same page a Python notebook shows.
#pragma once

#include <string>
#include <vector>

#include "smtrace_explain.h"

namespace smtrace {

// An algorithm that compare could not explain, with the reason shown in its
// place on the page.
struct PageRefusal {
  std::string algorithm;
  std::string reason;
};

// The page for one explained search; exhausted memory throws std::bad_alloc.
std::string explain_page(const smtrace_explanation& explanation);

// The page for searches of one pattern in one text by several algorithms, in
// order, stepped together; refused algorithms are listed after them.
std::string compare_page(const std::vector<const smtrace_explanation*>& explanations,
                         const std::vector<PageRefusal>& refused = {});

}  // namespace smtrace
