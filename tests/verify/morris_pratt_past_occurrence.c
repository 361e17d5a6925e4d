/* Morris-Pratt that does not stop at the first occurrence: after a match it
 * falls back by the border of the whole pattern and reads on to the end of
 * the text, as a search for every occurrence would. */
#include "recorder.h"

static void search(const char* x, int32_t m, char* y, int32_t n) {
  if (m < 0) return;
  int32_t* table = malloc(((size_t)m + 1) * sizeof *table);
  if (table == NULL) exit(99);
  table[0] = -1;
  for (int32_t i = 0, k = -1; i < m;) {
    while (k >= 0 && x[i] != x[k]) k = table[k];
    table[++i] = ++k;
  }
  bound = n;
  int32_t i = 0;
  for (int32_t j = 0; j < n; ++j) {
    for (;;) {
      const char c = get(y, j);
      if (m > 0 && x[i] == c) break;
      i = table[i];
      if (i < 0) break;
    }
    ++i;
    if (i >= m) i = table[m];
  }
  free(table);
}

int main(int argc, char** argv) { return run_search(argc, argv, search); }
