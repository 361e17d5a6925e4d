#include <cstdlib>

#include "core/announce.h"
#include "core/linkedlist.h"
#include "core/utils.h"
#include "matchers/morris_pratt.h"
#include "matchers/turbo_reverse_factor.h"

namespace {

// The longest pattern whose automaton counts fit the store's 32-bit fields:
// 256 * (m + 2) edge entries.
constexpr int32_t kLongestAutomatonPattern = INT32_MAX / 256 - 2;

// The automaton has a row of 128 edges per vertex: a text byte outside the
// 7-bit alphabet labels no edge, exactly like a character the pattern lacks.
int32_t target_of(Graph* automaton, int32_t state, int32_t c) {
  return c < sm::kAlphabet ? getTarget(automaton, state, c) : -1;
}

struct Scan {
  Graph* automaton;
  char* y;
  int32_t j;      // window start
  int32_t i;      // window index read next
  int32_t state;  // current vertex
  int32_t d;      // sum of the shifts taken
  int32_t s;      // last index at which a terminal vertex was reached, or m

  // Reads window index i and follows its edge. Returns false when there is
  // no edge: the scan and the attempt end there.
  bool step(bool add_shift) {
    const int32_t c = static_cast<unsigned char>(SM_READ(trace_get(y, j + i), edge(i)));
    const int32_t next = target_of(automaton, state, c);
    if (next == -1) {
      SM_ANNOUNCE(trf_no_edge(state));
      return false;
    }
    SM_ANNOUNCE(trf_edge(state, next, getShift(automaton, state, c), add_shift));
    if (add_shift) d += getShift(automaton, state, c);
    state = next;
    if (isTerminal(automaton, state)) s = i;
    SM_ANNOUNCE(trf_reached(isTerminal(automaton, state) != 0, d, s));
    --i;
    return true;
  }

  // Steps while i > stop; false when a missing edge ended the scan.
  bool run_down_to(int32_t stop, bool add_shift) {
    while (i > stop) {
      if (!step(add_shift)) return false;
    }
    return true;
  }
};

void search(Graph* automaton, int32_t init, const int32_t* mpTable, int32_t m, char* y,
            int32_t n) {
  if (n < m) return;
  int32_t j = 0;
  int32_t u = -1;  // y[j..j+u] is known to equal x[0..u]
  int32_t p = 0;   // smallest period of x[0..u]
  if (m - 1 <= u) return;
  for (;;) {
    SM_ANNOUNCE(trf_attempt(j, u, p));
    Scan scan{automaton, y, j, m - 1, init, 0, m};
    if (scan.run_down_to(u, true)) {
      SM_ANNOUNCE(trf_first_scan_done(u, scan.d));
      if (scan.d == 0) {
        SM_ANNOUNCE(found(j));
        return;  // the window is an occurrence
      }
      const int32_t half = (u + 1) / 2;
      if (p <= half) {
        // The remembered part minus one period is the pattern's prefix
        // again: read the period, adding shifts.
        u -= p;
        SM_ANNOUNCE(trf_second_scan(scan.d, half, p, u));
        if (scan.run_down_to(u, true)) {
          scan.s = scan.d;
          SM_ANNOUNCE(trf_scan_complete(scan.s));
        }
      } else {
        // Read at most half + 1 remembered characters, without shifts.
        SM_ANNOUNCE(trf_third_scan(scan.d, half, p, u - half));
        scan.run_down_to(u - half - 1, false);
      }
    }
    SM_ANNOUNCE(trf_shift(scan.s, m));
    j += scan.s;
    if (j > n - m) return;
    p = scan.s == m ? 0 : (m - scan.s) - mpTable[m - scan.s];
    u = m - 1 - scan.s;
  }
}

}  // namespace

void TRF(const char* x, int32_t m, char* y, int32_t n) {
  // A negative pattern length has nothing to build or find.
  if (m < 0) return;
  // Refused before anything is built: the automaton's rows hold 128 characters.
  sm::require_7bit_pattern(x, m);
  if (m > kLongestAutomatonPattern) error("Pattern too large.");

  Graph* automaton = newSuffixAutomaton(2 * (m + 2), 256 * (m + 2));
  char* reversed = reverse(x, m);
  buildSuffixAutomaton(reversed, m, automaton);
  const int32_t init = getInitial(automaton);
  // Fixed storage for the command line's patterns (20 entries and one to
  // spare), one sized to the pattern for a library caller's longer ones.
  sm::ScratchTable<int32_t, sm::kMaxPattern + 2> mpTable(m + 1);
  preMp(x, m, mpTable.get());
  SM_ANNOUNCE(trf_automaton(automaton, x, m));
  SM_ANNOUNCE(mp_table(mpTable.get(), m));

  search(automaton, init, mpTable.get(), m, y, n);

  freeGraph(automaton);
  std::free(reversed);
}
