// The suffix automaton of the reversed pattern, built online one character
// at a time, with the shift of every edge and the terminal flags of the
// suffixes. All automaton work goes through the store's checked operations.
#include <cstdlib>

#include "core/utils.h"
#include "matchers/turbo_reverse_factor.h"

char* reverse(const char* x, int32_t m) {
  if (m < 0) m = 0;
  auto* r = sm::allocate<char>(static_cast<size_t>(m) + 1, "reverse");
  for (int32_t i = 0; i < m; ++i) r[i] = x[m - 1 - i];
  r[m] = '\0';
  return r;
}

namespace {

// shift(p, c) = position(t) - 1 - position(p) for the edge from p to t.
void set_edge_shift(Graph* a, int32_t p, int32_t c, int32_t t) {
  setShift(a, p, c, getPosition(a, t) - 1 - getPosition(a, p));
}

// A vertex one character longer than `from`, ending one position later.
int32_t new_extension(Graph* a, int32_t from) {
  const int32_t v = newVertex(a);
  setLength(a, v, getLength(a, from) + 1);
  setPosition(a, v, getPosition(a, from) + 1);
  return v;
}

}  // namespace

void buildSuffixAutomaton(const char* r, int32_t m, Graph* a) {
  const int32_t init = getInitial(a);
  const int32_t sentinel = newVertex(a);
  setSuffixLink(a, init, sentinel);
  if (m <= 0) {
    setTerminal(a, init);
    return;
  }

  int32_t c = static_cast<unsigned char>(r[0]);
  int32_t last = new_extension(a, init);
  int32_t p = init;
  for (int32_t i = 0;;) {
    // Attach last: find its suffix link from p, where the walk stopped.
    if (getTarget(a, p, c) == -1) {
      // Only the initial vertex gets here without an edge by c.
      setTarget(a, init, c, last);
      set_edge_shift(a, init, c, last);
      setSuffixLink(a, last, init);
    } else {
      const int32_t q = getTarget(a, p, c);
      if (getLength(a, q) == getLength(a, p) + 1) {
        setSuffixLink(a, last, q);
      } else {
        // q also stands for longer strings: split off the short ones.
        const int32_t clone = newVertex(a);
        copyVertex(a, clone, q);
        setLength(a, clone, getLength(a, p) + 1);
        setSuffixLink(a, q, clone);
        setSuffixLink(a, last, clone);
        while (p != sentinel && getLength(a, getTarget(a, p, c)) >= getLength(a, clone)) {
          set_edge_shift(a, p, c, getTarget(a, p, c));
          setTarget(a, p, c, clone);
          p = getSuffixLink(a, p);
        }
      }
    }

    if (++i >= m) break;

    // Extend by r[i]: every vertex on the suffix path of last that has no
    // edge by c gets one to the new vertex; the initial vertex is left to
    // the attaching step.
    c = static_cast<unsigned char>(r[i]);
    const int32_t cur = new_extension(a, last);
    p = last;
    while (getTarget(a, p, c) == -1) {
      setTarget(a, p, c, cur);
      set_edge_shift(a, p, c, cur);
      p = getSuffixLink(a, p);
      if (p == init) break;
    }
    last = cur;
  }

  // The vertices on the suffix path of the whole string are its suffixes.
  setTerminal(a, last);
  for (p = last; p != init;) {
    p = getSuffixLink(a, p);
    setTerminal(a, p);
  }
}
