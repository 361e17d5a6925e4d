/* Skip Search that takes the probed character as compared already: a
 * candidate window with the probe inside it (e > 0) is compared left and
 * right of the probe, and the probe position is not read again. */
#include "recorder.h"

struct cell {
  int32_t position;
  struct cell* next;
};

/* The reference's window check: a window running past the text stops at
 * position n, which is read and counts as a mismatch. */
static int window_matches(const char* piece, int32_t len, const char* y, int32_t p, int32_t n) {
  if (len > n - p) {
    compare(piece, y + p, n - p + 1, p);
    return 0;
  }
  return compare(piece, y + p, len, p) == 0;
}

static void search(const char* x, int32_t m, char* y, int32_t n) {
  if (m < 1 || n < 0) return;
  struct cell* lists[128] = {0};
  struct cell cells[64];
  if (m > 64) return;
  for (int32_t i = 0; i < m; ++i) {
    const int c = (unsigned char)x[i] & 127;
    cells[i].position = i;
    cells[i].next = lists[c];
    lists[c] = &cells[i];
  }
  if (m - 1 >= n) return;
  for (int32_t j = m - 1;; j += m) {
    const unsigned char c = (unsigned char)get(y, j);
    for (const struct cell* cell = c < 128 ? lists[c] : NULL; cell != NULL; cell = cell->next) {
      const int32_t e = cell->position;
      int found;
      if (e > 0) {
        found = compare(x, y + j - e, e, j - e) == 0 &&
                window_matches(x + e + 1, m - e - 1, y, j + 1, n);
      } else {
        found = window_matches(x + 1, m - 1, y, j + 1, n);
      }
      if (found) return;
    }
    if (m >= n - j) break;
  }
}

int main(int argc, char** argv) { return run_search(argc, argv, search); }
