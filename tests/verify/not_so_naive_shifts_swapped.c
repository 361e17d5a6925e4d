/* Not So Naive with its two shifts the wrong way round: the shift after
 * y[j + 1] differs from x[1] is taken when it equals x[1], and the other
 * way about. */
#include "recorder.h"

static void search(const char* x, int32_t m, char* y, int32_t n) {
  if (m <= 0 || n < 0) return;
  bound = n;
  if (m == 1) {
    for (int32_t j = 0; j < n; ++j) {
      open_window();
      if (get(y, j) == x[0]) return;
      close_window();
    }
    return;
  }
  const int twin = x[0] == x[1];
  const int32_t miss = twin ? 1 : 2; /* should be twin ? 2 : 1 */
  const int32_t hit = twin ? 2 : 1;  /* should be twin ? 1 : 2 */
  if (n - m < 0) return;
  for (int32_t j = 0;;) {
    open_window();
    if (get(y, j + 1) != x[1]) {
      j += miss;
    } else if (compare(x + 2, y + j + 2, m - 2, j + 2) != 0) {
      j += hit;
    } else if (get(y, j) == x[0]) {
      return;
    } else {
      j += hit;
    }
    close_window();
    if (j > n - m) return;
  }
}

int main(int argc, char** argv) { return run_search(argc, argv, search); }
