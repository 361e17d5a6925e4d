// Raita: each window is tested at its last character, then its first, then
// its middle one, and only then over the rest; every shift is the
// bad-character distance of the text character under the window's last
// position.
#pragma once

#include <cstdint>

#include "core/export.h"

// Fills bmBc[0..127]: m for a character absent from x[0..m-2], otherwise
// m - 1 - i for its rightmost index i <= m - 2. Refuses, through error, a
// pattern byte outside the 7-bit alphabet; with m <= 0 no pattern byte is read.
SM_EXPORT void preBmBc(const char* x, int32_t m, int32_t* bmBc);

SM_EXPORT void RAITA(const char* x, int32_t m, char* y, int32_t n);
