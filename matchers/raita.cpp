#include "matchers/raita.h"

#include "core/announce.h"
#include "core/linkedlist.h"
#include "core/utils.h"

void RAITA(const char* x, int32_t m, char* y, int32_t n) {
  // An empty pattern has no last character, and a negative text length no
  // text: nothing is read or written and the recording settings stay.
  if (m <= 0 || n < 0) return;
  // Refused before any table is filled or any text is read.
  sm::require_7bit_pattern(x, m);
  int32_t bmBc[sm::kAlphabet];
  preBmBc(x, m, bmBc);
  SM_ANNOUNCE(bmbc_table(x, m, bmBc));
  const char first = x[0];
  const int32_t mid = m / 2;
  const char middle = x[mid];
  const char last = x[m - 1];
  set_txt_length(n);
  if (n - m < 0) return;

  int32_t j = 0;
  for (;;) {
    SM_ANNOUNCE(attempt(j));
    start_pruning_duplicates();
    const auto c = static_cast<unsigned char>(SM_READ(trace_get(y, j + m - 1), compare(m - 1)));
    // With m = 1 the first and middle tests re-read position j (pruned) and
    // the inner comparison has length -1, so it reads nothing and agrees.
    if (c == static_cast<unsigned char>(last) &&
        sm::same_byte(SM_READ(trace_get(y, j), compare(0)), first) &&
        sm::same_byte(SM_READ(trace_get(y, j + mid), compare(mid)), middle) &&
        trace_memcmp(x + 1, y + j + 1, m - 2, j + 1) == 0) {
      SM_ANNOUNCE(found(j));
      return;  // occurrence at j; the window stays open
    }
    // A byte outside the alphabet occurs nowhere in the pattern.
    SM_ANNOUNCE(bmbc_entry(c, c < sm::kAlphabet ? bmBc[c] : m));
    SM_ANNOUNCE(shift(c < sm::kAlphabet ? bmBc[c] : m));
    j += c < sm::kAlphabet ? bmBc[c] : m;
    stop_pruning_duplicates();
    if (j > n - m) return;
  }
}
