#include "matchers/berry_ravindran.h"

#include "core/announce.h"
#include "core/linkedlist.h"
#include "core/utils.h"

void preBrBc(const char* x, int32_t m, int32_t* brBc) {
  sm::require_7bit_pattern(x, m);
  for (int32_t k = 0; k < sm::kAlphabet * sm::kAlphabet; ++k) brBc[k] = m + 2;
  // The other rules name pattern characters; an empty pattern has none.
  if (m < 1) return;
  const auto at = [x](int32_t i) { return static_cast<int32_t>(static_cast<unsigned char>(x[i])); };
  for (int32_t a = 0; a < sm::kAlphabet; ++a) brBc[a * sm::kAlphabet + at(0)] = m + 1;
  // Ascending i: a pair that occurs twice keeps its rightmost (smallest) shift.
  for (int32_t i = 0; i + 1 < m; ++i) brBc[at(i) * sm::kAlphabet + at(i + 1)] = m - i;
  for (int32_t b = 0; b < sm::kAlphabet; ++b) brBc[at(m - 1) * sm::kAlphabet + b] = 1;
}

namespace {

// The shift after a window followed by the text bytes a and b. A byte outside
// the 7-bit alphabet occurs nowhere in the pattern, so it gets the shift of
// such a character without indexing the table with it: with a outside, no
// pair rule and no last-character rule applies (m + 1 when b is x[0], else
// m + 2); with only b outside, b is neither x[0] nor a pair's second
// character (1 when a is x[m - 1], else m + 2).
int32_t shift_after(const int32_t (&brBc)[sm::kAlphabet][sm::kAlphabet], const char* x, int32_t m,
                    unsigned char a, unsigned char b) {
  if (a >= sm::kAlphabet) return b == static_cast<unsigned char>(x[0]) ? m + 1 : m + 2;
  if (b >= sm::kAlphabet) return a == static_cast<unsigned char>(x[m - 1]) ? 1 : m + 2;
  return brBc[a][b];
}

}  // namespace

void BR(const char* x, int32_t m, char* y, int32_t n) {
  // Nothing to look for, or no text: touch neither the buffer nor the settings.
  if (m < 1 || n < 0) return;
  int32_t brBc[sm::kAlphabet][sm::kAlphabet];
  preBrBc(x, m, &brBc[0][0]);
  SM_ANNOUNCE(brbc_table(x, m, &brBc[0][0]));
  y[static_cast<int64_t>(n) + 1] = 0;
  set_txt_length(n);
  if (n - m < 0) return;

  int32_t j = 0;
  for (;;) {
    SM_ANNOUNCE(attempt(j));
    start_pruning_duplicates();
    // A match returns with the attempt's window still open.
    if (trace_memcmp(x, y + j, m, j) == 0) {
      SM_ANNOUNCE(found(j));
      return;
    }
    // The look-ahead may reach y[n] and y[n + 1]; txt_length (n) keeps them
    // out of the trace.
    const auto a = static_cast<unsigned char>(SM_READ(trace_get(y, j + m), look_ahead()));
    const auto b = static_cast<unsigned char>(SM_READ(trace_get(y, j + m + 1), look_ahead()));
    const int32_t shift = shift_after(brBc, x, m, a, b);
    SM_ANNOUNCE(br_shift(a, b, shift));
    stop_pruning_duplicates();
    // j + shift > n - m, written so that it cannot overflow.
    if (shift > n - m - j) return;
    j += shift;
  }
}
