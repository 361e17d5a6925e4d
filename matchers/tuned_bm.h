// Tuned Boyer-Moore: a fast loop, unrolled three times, jumps along the text
// on the bad-character distance of the window's last character until that
// character equals the pattern's last one; a sentinel of m copies of it just
// past the text guarantees that the loop stops. Only then are the other m - 1
// characters compared.
#pragma once

#include <cstdint>

#include "core/export.h"

// Writes m copies of x[m - 1] at y[n..n + m - 1]: the text buffer holds at
// least n + m bytes.
SM_EXPORT void TUNEDBM(const char* x, int32_t m, char* y, int32_t n);
