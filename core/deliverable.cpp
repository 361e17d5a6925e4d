// The two one-line entry points of a deliverable, compiled once per
// deliverable with its routine (SM_ROUTINE) and entry name (SM_ENTRY).
#include <type_traits>

#include "core/utils.h"

#if !defined(SM_ROUTINE) || !defined(SM_ENTRY)
#error "SM_ROUTINE and SM_ENTRY name the deliverable's search routine and entry function"
#endif

SM_EXPORT void SM_ROUTINE(const char* x, int32_t m, char* y, int32_t n);

__attribute__((visibility("default"))) int main(int argc, char** argv) {
  return string_matcher_main(SM_ROUTINE, argc, argv);
}

// The public header declares every entry function; a definition that differs
// from its declaration does not compile.
SM_EXPORT trace_node* SM_ENTRY(const char* x, int32_t m, char* y, int32_t n) {
  return string_matcher_array(SM_ROUTINE, x, m, y, n);
}

static_assert(std::is_same<decltype(&SM_ENTRY), smtrace_entry_fn>::value,
              "the entry function has the header's entry type");
static_assert(std::is_same<decltype(&main), smtrace_main_fn>::value,
              "main has the header's type");
