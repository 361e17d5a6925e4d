// The bad-character table, shared by Raita and Tuned Boyer-Moore.
#include "matchers/raita.h"

#include "core/utils.h"

void preBmBc(const char* x, int32_t m, int32_t* bmBc) {
  // Every byte that indexes the table must lie inside it.
  sm::require_7bit_pattern(x, m);
  for (int32_t c = 0; c < sm::kAlphabet; ++c) bmBc[c] = m;
  // Ascending order: the rightmost occurrence before the last position wins.
  for (int32_t i = 0; i < m - 1; ++i) bmBc[static_cast<unsigned char>(x[i])] = m - 1 - i;
}
