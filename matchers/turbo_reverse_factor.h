// Turbo Reverse Factor: each attempt reads the window from right to left
// through the suffix automaton of the reversed pattern, and may start with a
// left part of the window that the previous attempt matched against the
// start of the pattern.
#pragma once

#include <cstdint>

#include "core/export.h"
#include "graph/graph.h"

// A new heap buffer of m + 1 bytes: x backwards, then a zero byte. A
// negative m is taken as 0 (the buffer holds the zero byte alone). The
// caller frees it.
SM_EXPORT char* reverse(const char* x, int32_t m);

// Builds the suffix automaton of r (m bytes, read as unsigned values) into a
// fresh newSuffixAutomaton record with room for 2 * (m + 2) vertices and a
// row of 128 edges per vertex. Vertices are numbered in creation order: 0
// the initial vertex, 1 the sentinel that is its suffix link, 2 the vertex of
// r[0], then per character its own vertex and at most one clone.
SM_EXPORT void buildSuffixAutomaton(const char* r, int32_t m, Graph* automaton);

SM_EXPORT void TRF(const char* x, int32_t m, char* y, int32_t n);
