/* Skip Search that takes every probed character to occur in the pattern:
 * it walks the probed character's list without looking whether there is
 * one, and a character the pattern lacks ends it with abort(). */
#include "recorder.h"

struct cell {
  int32_t position;
  struct cell* next;
};

static int window_matches(const char* piece, int32_t len, const char* y, int32_t p, int32_t n) {
  if (len > n - p) {
    compare(piece, y + p, n - p + 1, p);
    return 0;
  }
  return compare(piece, y + p, len, p) == 0;
}

static const struct cell* first_cell(struct cell* const* lists, unsigned char c) {
  const struct cell* cell = lists[c & 127];
  if (cell == NULL) abort(); /* "cannot happen" */
  return cell;
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
    for (const struct cell* cell = first_cell(lists, c); cell != NULL; cell = cell->next) {
      const int32_t e = cell->position;
      const int found = e > 0 ? window_matches(x, m, y, j - e, n)
                              : window_matches(x + 1, m - 1, y, j + 1, n);
      if (found) return;
    }
    if (m >= n - j) break;
  }
}

int main(int argc, char** argv) { return run_search(argc, argv, search); }
