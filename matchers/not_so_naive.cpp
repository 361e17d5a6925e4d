#include "matchers/not_so_naive.h"

#include "core/announce.h"
#include "core/linkedlist.h"
#include "core/utils.h"

namespace {

// A one-character pattern has no second character to look at first: each
// attempt reads its single position, inside the text, and moves on by 1.
void search_single(char c, char* y, int32_t n) {
  for (int32_t j = 0; j < n; ++j) {
    SM_ANNOUNCE(attempt(j));
    start_pruning_duplicates();
    if (sm::same_byte(SM_READ(trace_get(y, j), compare(0)), c)) {
      SM_ANNOUNCE(found(j));
      return;  // the window stays open
    }
    SM_ANNOUNCE(single_step());
    stop_pruning_duplicates();
  }
}

}  // namespace

void NSN(const char* x, int32_t m, char* y, int32_t n) {
  // Nothing to look for, or no text: no byte is read or written and the
  // recording settings stay as they are.
  if (m <= 0 || n < 0) return;
  if (m == 1) {
    set_txt_length(n);
    search_single(x[0], y, n);
    return;
  }

  // Which window starts a character at j + 1 rules out depends on whether
  // x[0] equals x[1].
  const bool twin_start = x[0] == x[1];
  const int32_t miss_shift = twin_start ? 2 : 1;  // y[j + 1] differs from x[1]
  const int32_t hit_shift = twin_start ? 1 : 2;   // y[j + 1] equals x[1], no occurrence
  SM_ANNOUNCE(nsn_shifts(miss_shift, hit_shift));
  set_txt_length(n);
  if (n - m < 0) return;

  int32_t j = 0;
  for (;;) {
    SM_ANNOUNCE(attempt(j));
    start_pruning_duplicates();
    if (!sm::same_byte(SM_READ(trace_get(y, j + 1), compare(1)), x[1])) {
      SM_ANNOUNCE(nsn_shift(miss_shift, false));
      j += miss_shift;
    } else if (trace_memcmp(x + 2, y + j + 2, m - 2, j + 2) != 0) {
      SM_ANNOUNCE(nsn_shift(hit_shift, true));
      j += hit_shift;
    } else if (sm::same_byte(SM_READ(trace_get(y, j), compare(0)), x[0])) {
      SM_ANNOUNCE(found(j));
      return;  // occurrence at j; the window stays open
    } else {
      SM_ANNOUNCE(nsn_shift(hit_shift, true));
      j += hit_shift;
    }
    stop_pruning_duplicates();
    if (j > n - m) return;
  }
}
