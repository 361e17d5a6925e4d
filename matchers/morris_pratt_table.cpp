// The border table, shared by Morris-Pratt and Turbo Reverse Factor.
#include "matchers/morris_pratt.h"

void preMp(const char* x, int32_t m, int32_t* table) {
  table[0] = -1;
  if (m <= 0) return;
  int32_t i = 0;
  int32_t j = -1;
  while (i < m) {
    while (j >= 0 && x[i] != x[j]) j = table[j];
    ++i;
    ++j;
    table[i] = j;
  }
}
