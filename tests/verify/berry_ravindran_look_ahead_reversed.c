/* Berry-Ravindran that reads its two look-ahead characters the other way
 * round: y[j + m + 1] first, then y[j + m]. The shifts are right; the order
 * of the reads is not. */
#include "recorder.h"

static int32_t table[128][128];

static void search(const char* x, int32_t m, char* y, int32_t n) {
  if (m < 1 || n < 0) return;
  for (int a = 0; a < 128; ++a) {
    for (int b = 0; b < 128; ++b) table[a][b] = m + 2;
  }
  const int first = (unsigned char)x[0] & 127;
  const int last = (unsigned char)x[m - 1] & 127;
  for (int a = 0; a < 128; ++a) table[a][first] = m + 1;
  for (int32_t i = 0; i + 1 < m; ++i) {
    table[(unsigned char)x[i] & 127][(unsigned char)x[i + 1] & 127] = m - i;
  }
  for (int b = 0; b < 128; ++b) table[last][b] = 1;
  y[n + 1] = 0;
  bound = n;
  if (n - m < 0) return;
  for (int32_t j = 0;;) {
    open_window();
    if (compare(x, y + j, m, j) == 0) return;
    const unsigned char b = (unsigned char)get(y, j + m + 1);
    const unsigned char a = (unsigned char)get(y, j + m);
    const int32_t shift = table[a & 127][b & 127];
    close_window();
    if (shift > n - m - j) return;
    j += shift;
  }
}

int main(int argc, char** argv) { return run_search(argc, argv, search); }
