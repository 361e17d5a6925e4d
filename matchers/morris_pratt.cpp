#include "matchers/morris_pratt.h"

#include "core/linkedlist.h"
#include "core/utils.h"

void MP(const char* x, int32_t m, char* y, int32_t n) {
  // A negative pattern length has no table to build and nothing to find.
  if (m < 0) return;
  // The table sits in fixed storage for the command line's patterns and on
  // the heap for a library caller's longer ones.
  sm::ScratchTable<int32_t, sm::kMaxPattern + 1> storage(m + 1);
  int32_t* table = storage.get();
  preMp(x, m, table);
  set_txt_length(n);
  if (n <= 0) return;

  int32_t i = 0;
  for (int32_t j = 0; j < n; ++j) {
    for (;;) {
      const signed char c = trace_get(y, j);
      // An empty pattern falls back at once (i becomes -1) without reading a
      // pattern byte: table[0] is -1 whatever x holds.
      if (m > 0 && static_cast<signed char>(x[i]) == c) break;
      i = table[i];
      if (i < 0) break;
    }
    ++i;
    if (i >= m) return;
  }
}
