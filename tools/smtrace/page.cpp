#include "page.h"

#include <cstdint>
#include <new>

namespace smtrace {
namespace {

// The library's page, taken over into a string. Only memory makes the
// library return nothing for the arguments given here.
std::string taken(char* page) {
  if (page == nullptr) throw std::bad_alloc();
  std::string out(page);
  smtrace_free(page);
  return out;
}

}  // namespace

std::string explain_page(const smtrace_explanation& explanation) {
  return taken(smtrace_explanation_html(&explanation));
}

std::string compare_page(const std::vector<const smtrace_explanation*>& explanations,
                         const std::vector<PageRefusal>& refused) {
  std::vector<const char*> names;
  std::vector<const char*> reasons;
  for (const PageRefusal& r : refused) {
    names.push_back(r.algorithm.c_str());
    reasons.push_back(r.reason.c_str());
  }
  return taken(smtrace_compare_html(explanations.data(), static_cast<int32_t>(explanations.size()),
                                    names.data(), reasons.data(),
                                    static_cast<int32_t>(refused.size())));
}

}  // namespace smtrace
