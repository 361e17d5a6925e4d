// Skip Search: per-character lists of pattern positions; the text is probed
// every m characters and only the windows that put a pattern occurrence of
// the probed character at the probe are compared.
#pragma once

#include <cstdint>

#include "core/export.h"

// One pattern position in a character's list, lists in decreasing order.
struct position_cell {
  int32_t position;
  position_cell* next;
};

// Reads at most up to y[n] (recorded when a comparison reaches it, and never
// taken as a match) and writes nothing into the text buffer.
SM_EXPORT void SKIP(const char* x, int32_t m, char* y, int32_t n);
