#include "matchers/skip_search.h"

#include <cstdlib>

#include "core/announce.h"
#include "core/linkedlist.h"
#include "core/utils.h"

namespace {

void release(position_cell* (&lists)[sm::kAlphabet]) {
  for (position_cell*& head : lists) {
    while (head != nullptr) {
      position_cell* next = head->next;
      std::free(head);
      head = next;
    }
  }
}

// Compares len pattern bytes from piece with the text from position p on.
// A window that runs past the text stops at position n: n is recorded when
// the comparison gets there and counts as a mismatch whatever byte it holds,
// so nothing past y[n] is read and no occurrence extends past the text.
bool window_matches(const char* piece, int32_t len, const char* y, int32_t p, int32_t n) {
  if (len > n - p) {
    trace_memcmp(piece, y + p, n - p + 1, p);
    return false;
  }
  return trace_memcmp(piece, y + p, len, p) == 0;
}

}  // namespace

void SKIP(const char* x, int32_t m, char* y, int32_t n) {
  // An empty pattern has no probe step; a negative length has no text.
  if (m < 1 || n < 0) return;
  sm::require_7bit_pattern(x, m);

  position_cell* lists[sm::kAlphabet] = {};
  // Pushing at the front leaves every list in decreasing order of position.
  for (int32_t i = 0; i < m; ++i) {
    auto* cell = sm::allocate<position_cell>(1, "SKIP", [&lists] { release(lists); });
    const auto c = static_cast<unsigned char>(x[i]);
    cell->position = i;
    cell->next = lists[c];
    lists[c] = cell;
  }

  SM_ANNOUNCE(skip_lists(x, m, lists));

  if (m - 1 < n) {
    for (int32_t j = m - 1;; j += m) {
      // Each probe is an attempt, whose window first ends at the probe; the
      // candidate windows of its list are moves of that window.
      SM_ANNOUNCE(attempt(j - m + 1));
      // A probe byte outside the 7-bit alphabet occurs nowhere in the pattern.
      const auto c = static_cast<unsigned char>(SM_READ(trace_get(y, j), probe()));
      const position_cell* cell = c < sm::kAlphabet ? lists[c] : nullptr;
      for (; cell != nullptr; cell = cell->next) {
        const int32_t e = cell->position;
        SM_ANNOUNCE(skip_candidate(c, e, j - e));
        // The window at the probe itself (e = 0) already has x[0] in place.
        const bool found = e > 0 ? window_matches(x, m, y, j - e, n)
                                 : window_matches(x + 1, m - 1, y, j + 1, n);
        if (found) {
          SM_ANNOUNCE(found(j - e));
          release(lists);
          return;
        }
      }
      SM_ANNOUNCE(skip_probe_step(m));
      // j + m < n, written so that it cannot overflow.
      if (m >= n - j) break;
    }
  }
  release(lists);
}
