// Not So Naive: each attempt compares the window's second character first,
// then the rest from its third character on, and its first character last;
// the window moves by 1 or 2 depending on that second character and on
// whether the pattern starts with two equal characters.
#pragma once

#include <cstdint>

#include "core/export.h"

SM_EXPORT void NSN(const char* x, int32_t m, char* y, int32_t n);
