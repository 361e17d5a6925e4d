// Morris-Pratt: one left-to-right scan that falls back through the pattern's
// border table after a mismatch.
#pragma once

#include <cstdint>

#include "core/export.h"

// Fills table[0..m]: -1 at index 0, then for 1 <= i <= m the length of the
// longest proper border of x[0..i-1]. Reads x[0..m-1] only.
SM_EXPORT void preMp(const char* x, int32_t m, int32_t* table);

SM_EXPORT void MP(const char* x, int32_t m, char* y, int32_t n);
