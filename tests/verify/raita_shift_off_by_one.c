/* Raita whose bad-character table is off by one: x[i] gets m - i where the
 * rightmost occurrence before the last position should give m - 1 - i, so
 * that every shift by a character of the pattern goes one too far. */
#include "recorder.h"

static void search(const char* x, int32_t m, char* y, int32_t n) {
  if (m <= 0 || n < 0) return;
  int32_t table[128];
  for (int c = 0; c < 128; ++c) table[c] = m;
  for (int32_t i = 0; i < m - 1; ++i) table[(unsigned char)x[i] & 127] = m - i;
  const int32_t mid = m / 2;
  bound = n;
  if (n - m < 0) return;
  for (int32_t j = 0;;) {
    open_window();
    const unsigned char c = (unsigned char)get(y, j + m - 1);
    if (c == (unsigned char)x[m - 1] && get(y, j) == x[0] && get(y, j + mid) == x[mid] &&
        compare(x + 1, y + j + 1, m - 2, j + 1) == 0) {
      return;
    }
    j += c < 128 ? table[c] : m;
    close_window();
    if (j > n - m) return;
  }
}

int main(int argc, char** argv) { return run_search(argc, argv, search); }
