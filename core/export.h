// Marks a name as part of a deliverable's plain C interface.
//
// Everything else is compiled with hidden visibility, so the names marked here
// are the only ones a shared library exports. The libraries are linked with
// -Bsymbolic, which binds every internal reference to the library's own copy
// of these names, whatever a host or another library defines under them.
#pragma once

#if defined(SM_EXPLAIN_BUILD)
// The explaining host library holds the same units, and none of their names
// leaves it: only its own smtrace_ interface is exported.
#define SM_EXPORT extern "C"
#elif defined(__cplusplus)
#define SM_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define SM_EXPORT __attribute__((visibility("default")))
#endif
