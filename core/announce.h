// Announcements: what a routine says about its own work, at the places where
// its code does it (an attempt begins, the window moves, a read is for this
// or that, an attempt ends with a shift taken from a table). They feed the
// explaining host library, which compiles the routines with
// SM_EXPLAIN_BUILD. In the deliverables they compile to nothing: no argument
// of an announcement is ever evaluated there.
//
//   SM_ANNOUNCE(call)      one call into the explainer, e.g.
//                          SM_ANNOUNCE(attempt(j))
//   SM_READ(read, role)    a traced read (trace_get) and what it is for, e.g.
//                          SM_READ(trace_get(y, j), compare(0)); the value is
//                          the read's own
#pragma once

#ifdef SM_EXPLAIN_BUILD
#include "explain/announcements.h"
#define SM_ANNOUNCE(call) (::sm_explain::call)
#define SM_READ(read, role) (::sm_explain::as_read((read), ::sm_explain::role))
#else
#define SM_ANNOUNCE(call) ((void)0)
#define SM_READ(read, role) (read)
#endif
