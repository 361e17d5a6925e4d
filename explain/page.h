// The interactive page: one self-contained HTML file that plays an
// explained search read by read (explain --html), or several side by side
// (compare --html). The page carries the library's events, packed, and its
// script only plays them back.
#pragma once

#include <string>
#include <vector>

#include "include/smtrace_explain.h"

namespace sm_explain {

// An algorithm that compare could not explain, with the reason shown in its
// place on the page.
struct PageRefusal {
  std::string algorithm;
  std::string reason;
};

// The page for one explained search.
std::string explain_page(const smtrace_explanation& explanation);

// The page for searches of one pattern in one text by several algorithms, in
// order, stepped together; refused algorithms are listed after them.
std::string compare_page(const std::vector<const smtrace_explanation*>& explanations,
                         const std::vector<PageRefusal>& refused = {});

}  // namespace sm_explain
