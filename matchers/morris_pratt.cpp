#include "matchers/morris_pratt.h"

#include "core/announce.h"
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
  SM_ANNOUNCE(mp_table(table, m));
  set_txt_length(n);
  if (n <= 0) return;

  // The window (where x[0] sits) is j - i: each fallback moves it on by
  // i - table[i] and starts a new attempt at the same text position.
  int32_t i = 0;
  SM_ANNOUNCE(attempt(0));
  for (int32_t j = 0; j < n; ++j) {
    for (;;) {
      const signed char c = SM_READ(trace_get(y, j), compare(i));
      // An empty pattern falls back at once (i becomes -1) without reading a
      // pattern byte: table[0] is -1 whatever x holds.
      if (m > 0 && static_cast<signed char>(x[i]) == c) break;
      SM_ANNOUNCE(mp_fallback(i, table[i], m));
      i = table[i];
      SM_ANNOUNCE(mp_next_attempt(j - i, m));
      if (i < 0) break;
    }
    ++i;
    if (i >= m) {
      SM_ANNOUNCE(found(m > 0 ? j - m + 1 : 0));
      return;
    }
  }
}
