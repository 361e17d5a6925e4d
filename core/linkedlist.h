// The trace recorder: the ordered list of text positions that a search reads.
#pragma once

#include <cstdint>

#include "core/export.h"
// trace_node, whose layout (position, then next) hosts walk themselves, and
// the types of the exported recorder names come from the public header.
#include "include/smtrace.h"

// Upper bound on recorded positions; it bounds only while greater than 0.
SM_EXPORT smtrace_txt_length_t txt_length;
// Head and tail of the trace; both null when the trace is empty.
SM_EXPORT trace_node* trace_first;
SM_EXPORT trace_node* trace_current;
// 1 while a pruning window is open.
SM_EXPORT smtrace_prune_duplicates_t prune_duplicates;
// First node recorded in the current window; null until it records something.
SM_EXPORT trace_node* prune_from_trace;

SM_EXPORT void set_txt_length(int32_t length);
SM_EXPORT void start_pruning_duplicates(void);
SM_EXPORT void stop_pruning_duplicates(void);

// Records a position unless it is negative, at or beyond a positive
// txt_length, or already recorded in the open window.
SM_EXPORT void trace(int32_t position);
// Appends a position without any filter.
SM_EXPORT void trace_add(int32_t position);
// Records the position, then returns the byte there (also when it was dropped).
SM_EXPORT signed char trace_get(const char* text, int32_t position);
// Compares len bytes, recording position + k before comparing byte k.
// Returns 0 when len < 1 or all bytes are equal, 1 at the first difference.
SM_EXPORT int trace_memcmp(const char* a, const char* b, int32_t len, int32_t position);
// Frees every node and empties the trace.
SM_EXPORT void trace_new(void);
// Writes each position followed by one blank, then a newline.
SM_EXPORT void trace_print(void);

