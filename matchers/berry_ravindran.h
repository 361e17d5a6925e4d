// Berry-Ravindran: each attempt compares the whole window from left to right,
// then shifts by a two-character table looked up with the text characters
// just right of the window.
#pragma once

#include <cstdint>

#include "core/export.h"

// Fills the 128 x 128 shift table, stored row after row: entry [a][b] is the
// shift after a window followed by the text characters a and b. Every pair
// gets m + 2, pairs whose second character is x[0] get m + 1, a pair
// x[i] x[i + 1] of the pattern gets m - i (its rightmost occurrence wins), and
// the whole row of the last pattern character gets 1. A pattern byte of 128 or
// more is refused through error. With m < 1 only the default m + 2 is written
// and no pattern byte is read.
SM_EXPORT void preBrBc(const char* x, int32_t m, int32_t* brBc);

// Reads y[n] and writes 0 at y[n + 1]: the text buffer holds n + 2 bytes.
SM_EXPORT void BR(const char* x, int32_t m, char* y, int32_t n);
