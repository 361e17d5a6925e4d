#include "matchers/tuned_bm.h"

#include <cstring>

#include "core/announce.h"
#include "core/linkedlist.h"
#include "core/utils.h"
#include "matchers/raita.h"

namespace {

// The fast loop's step for the window whose last position is p: 0 when the
// character there is the pattern's last one; a byte outside the alphabet
// occurs nowhere in the pattern and moves the window by m.
int32_t step(const int32_t* bmBc, int32_t m, const char* y, int32_t p) {
  const auto c = static_cast<unsigned char>(SM_READ(trace_get(y, p), compare(m - 1)));
  SM_ANNOUNCE(bmbc_entry(c, c < sm::kAlphabet ? bmBc[c] : m));
  return c < sm::kAlphabet ? bmBc[c] : m;
}

}  // namespace

void TUNEDBM(const char* x, int32_t m, char* y, int32_t n) {
  // An empty pattern has no last character, and a negative text length no
  // text: nothing is read or written (no sentinel either), and the recording
  // settings stay as they are.
  if (m <= 0 || n < 0) return;
  // Refused before any table is filled or the sentinel is written.
  sm::require_7bit_pattern(x, m);
  int32_t bmBc[sm::kAlphabet];
  preBmBc(x, m, bmBc);
  SM_ANNOUNCE(bmbc_table(x, m, bmBc));
  const auto last = static_cast<unsigned char>(x[m - 1]);
  // The last character's own distance becomes the shift after a full check;
  // its entry 0 is what stops the fast loop.
  const int32_t shift = bmBc[last];
  bmBc[last] = 0;
  std::memset(y + n, x[m - 1], static_cast<size_t>(m));
  set_txt_length(n);
  if (n <= 0) return;

  // An attempt starts with j < n and a step is at most m, while any window
  // last position at n or beyond falls in the sentinel: every read stays
  // below n + m.
  int32_t j = 0;
  for (;;) {
    SM_ANNOUNCE(attempt(j));
    start_pruning_duplicates();
    int32_t k = step(bmBc, m, y, j + m - 1);
    while (k != 0) {
      j += k;
      SM_ANNOUNCE(window_at(j));
      j += step(bmBc, m, y, j + m - 1);
      SM_ANNOUNCE(window_at(j));
      j += step(bmBc, m, y, j + m - 1);
      SM_ANNOUNCE(window_at(j));
      k = step(bmBc, m, y, j + m - 1);
    }
    // The comparison is made (and recorded) first; a window reaching into
    // the sentinel is never an occurrence.
    if (trace_memcmp(x, y + j, m - 1, j) == 0) {
      if (j <= n - m) {
        SM_ANNOUNCE(found(j));
        return;  // occurrence at j; the window stays open
      }
      SM_ANNOUNCE(outcome("window past the text"));
    }
    SM_ANNOUNCE(tbm_match_shift(last, shift));
    j += shift;
    stop_pruning_duplicates();
    if (j >= n) return;
  }
}
