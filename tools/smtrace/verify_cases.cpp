#include "verify_cases.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "smtrace.h"

namespace smtrace {
namespace {

// A stream of numbers for one case: splitmix64 over a state made from the
// seed and the case's index. Written out here rather than taken from
// <random>, whose distributions may differ between standard libraries: a
// seed gives the same cases wherever the tool is built.
class Draw {
 public:
  Draw(uint64_t seed, uint64_t index) : state_(mix(seed) ^ mix(index + 0x632be59bd9b4e019u)) {}

  uint64_t next() {
    state_ += 0x9e3779b97f4a7c15u;
    return mix(state_);
  }
  // A number from lo to hi, both included (lo <= hi).
  int32_t between(int32_t lo, int32_t hi) {
    const auto span = static_cast<uint64_t>(static_cast<int64_t>(hi) - lo + 1);
    return lo + static_cast<int32_t>(next() % span);
  }
  bool one_in(uint32_t chances) { return next() % chances == 0; }
  char pick(const std::string& letters) {
    return letters[static_cast<size_t>(between(0, static_cast<int32_t>(letters.size()) - 1))];
  }
  std::string word(int32_t length, const std::string& letters) {
    std::string out;
    for (int32_t i = 0; i < length; ++i) out += pick(letters);
    return out;
  }

 private:
  static uint64_t mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
  }
  uint64_t state_;
};

const std::string kTwo = "ab";
const std::string kThree = "abc";
const std::string kFour = "abcd";

std::string every_7bit_byte() {
  std::string bytes;
  for (int c = 1; c < 128; ++c) bytes += static_cast<char>(c);
  return bytes;
}

// A pattern length: half of the time a short one (up to 6), else any up to 19.
int32_t pattern_length(Draw& d, const CaseLimits& limits) {
  const int32_t lo = limits.shortest_pattern;
  return d.one_in(2) ? d.between(lo, std::max(lo, 6)) : d.between(lo, kLongestCasePattern);
}

int32_t text_length(Draw& d, const CaseLimits& limits) { return d.between(0, limits.longest_text); }

// Puts the pattern somewhere in the text when it fits.
void plant(Draw& d, const std::string& x, std::string& y) {
  if (y.size() < x.size()) return;
  const auto at = static_cast<size_t>(d.between(0, static_cast<int32_t>(y.size() - x.size())));
  y.replace(at, x.size(), x);
}

Case random_over(Draw& d, const CaseLimits& limits, const std::string& letters) {
  Case c;
  c.pattern = d.word(pattern_length(d, limits), letters);
  c.text = d.word(text_length(d, limits), letters);
  if (d.one_in(2)) plant(d, c.pattern, c.text);
  return c;
}

Case random_7bit(Draw& d, const CaseLimits& limits) {
  static const std::string bytes = every_7bit_byte();
  Case c;
  c.pattern = d.word(pattern_length(d, limits), bytes);
  // Half of the text's bytes come from the pattern, so that windows match
  // partly, not only at their first comparison.
  const int32_t n = text_length(d, limits);
  for (int32_t i = 0; i < n; ++i) c.text += d.one_in(2) ? d.pick(c.pattern) : d.pick(bytes);
  if (d.one_in(2)) plant(d, c.pattern, c.text);
  return c;
}

// A pattern of period 1 to 3 in a text of the same period, a few of whose
// characters are changed.
Case periodic(Draw& d, const CaseLimits& limits) {
  const std::string period = d.word(d.between(1, 3), kThree);
  const auto p = static_cast<int32_t>(period.size());
  const int32_t phase = d.between(0, p - 1);
  Case c;
  const int32_t m = pattern_length(d, limits);
  for (int32_t i = 0; i < m; ++i) c.pattern += period[static_cast<size_t>((phase + i) % p)];
  const int32_t n = text_length(d, limits);
  for (int32_t i = 0; i < n; ++i) c.text += period[static_cast<size_t>(i % p)];
  if (n > 0) {
    for (int32_t changes = d.between(0, 2); changes > 0; --changes) {
      const auto at = static_cast<size_t>(d.between(0, n - 1));
      c.text[at] = d.pick(kThree);
    }
  }
  return c;
}

// Runs of one letter: a^m, a^(m-1) b or a^k b a^l in a^n with a few b.
Case runs(Draw& d, const CaseLimits& limits) {
  Case c;
  const int32_t m = pattern_length(d, limits);
  c.pattern.assign(static_cast<size_t>(m), 'a');
  const int32_t shape = d.between(0, 2);
  if (shape == 1) c.pattern[static_cast<size_t>(m - 1)] = 'b';
  if (shape == 2) c.pattern[static_cast<size_t>(d.between(0, m - 1))] = 'b';
  const int32_t n = text_length(d, limits);
  c.text.assign(static_cast<size_t>(n), 'a');
  if (n > 0) {
    for (int32_t bs = d.between(0, 2); bs > 0; --bs) {
      c.text[static_cast<size_t>(d.between(0, n - 1))] = 'b';
    }
  }
  return c;
}

// The pattern at the start, or at the end, of a text over 2 to 4 letters.
Case at_edge(Draw& d, const CaseLimits& limits, bool at_start) {
  const std::string& letters = d.one_in(3) ? kTwo : d.one_in(2) ? kThree : kFour;
  Case c;
  int32_t m = pattern_length(d, limits);
  const int32_t fits = std::max(limits.shortest_pattern, limits.longest_text);
  m = std::min(m, fits);
  c.pattern = d.word(m, letters);
  const int32_t n = std::max(std::min(m, limits.longest_text), text_length(d, limits));
  const std::string rest = d.word(std::max(0, n - m), letters);
  c.text = at_start ? c.pattern + rest : rest + c.pattern;
  c.text.resize(std::min(c.text.size(), static_cast<size_t>(limits.longest_text)));
  return c;
}

// A pattern with a border, (u v)^k u, in a text where two occurrences overlap.
Case overlapping(Draw& d, const CaseLimits& limits) {
  const std::string& letters = d.one_in(2) ? kTwo : kThree;
  const std::string u = d.word(d.between(1, 3), letters);
  const std::string v = d.word(d.between(0, 3), letters);
  Case c;
  c.pattern = u;
  while (static_cast<int32_t>(c.pattern.size()) < limits.shortest_pattern || d.one_in(2)) {
    if (static_cast<int32_t>((c.pattern + v + u).size()) > kLongestCasePattern) break;
    c.pattern += v + u;
  }
  if (c.pattern.size() == u.size()) c.pattern += v + u;
  const size_t step = c.pattern.size() - u.size();
  const std::string twice = c.pattern.substr(0, step) + c.pattern;
  const auto room = std::max(0, limits.longest_text - static_cast<int32_t>(twice.size()));
  const int32_t before = d.between(0, room);
  const int32_t after = d.between(0, room - before);
  // One draw per statement: the order in which the operands of one
  // expression are evaluated is the compiler's choice.
  const std::string head = d.word(before, letters);
  const std::string tail = d.word(after, letters);
  c.text = head + twice + tail;
  c.text.resize(std::min(c.text.size(), static_cast<size_t>(limits.longest_text)));
  return c;
}

// A pattern that does not occur in the text.
Case absent(Draw& d, const CaseLimits& limits) {
  for (int tries = 0; tries < 20; ++tries) {
    const std::string& letters = d.one_in(2) ? kTwo : kThree;
    Case c;
    c.pattern = d.word(pattern_length(d, limits), letters);
    c.text = d.word(text_length(d, limits), letters);
    if (c.text.find(c.pattern) == std::string::npos) return c;
  }
  // A pattern with a letter the text lacks.
  Case c;
  c.pattern = d.word(pattern_length(d, limits), kThree);
  c.pattern[static_cast<size_t>(d.between(0, static_cast<int32_t>(c.pattern.size()) - 1))] = 'c';
  c.text = d.word(text_length(d, limits), kTwo);
  return c;
}

Case longer_than_text(Draw& d, const CaseLimits& limits) {
  const std::string& letters = d.one_in(2) ? kTwo : kThree;
  Case c;
  const int32_t m = d.between(std::max(limits.shortest_pattern, 2), kLongestCasePattern);
  c.pattern = d.word(m, letters);
  const int32_t n = d.between(0, std::min(m - 1, limits.longest_text));
  // Often the text is a piece of the pattern, so that it matches as far as it goes.
  if (d.one_in(2)) {
    const int32_t from = d.between(0, m - n);
    c.text = c.pattern.substr(static_cast<size_t>(from), static_cast<size_t>(n));
  } else {
    c.text = d.word(n, letters);
  }
  return c;
}

Case single(Draw& d, const CaseLimits& limits) {
  const std::string& letters = d.one_in(2) ? kTwo : kThree;
  Case c;
  c.pattern = d.word(1, letters);
  c.text = d.word(text_length(d, limits), letters);
  if (d.one_in(2)) plant(d, c.pattern, c.text);
  return c;
}

Case long_pattern(Draw& d, const CaseLimits& limits) {
  const std::string& letters = d.one_in(2) ? kTwo : kThree;
  Case c;
  c.pattern = d.word(d.between(std::max(15, limits.shortest_pattern), kLongestCasePattern), letters);
  c.text = d.word(text_length(d, limits), letters);
  if (d.one_in(2)) plant(d, c.pattern, c.text);
  return c;
}

struct Maker {
  Family family;
  std::function<Case(Draw&, const CaseLimits&)> make;
};

const std::vector<Maker>& makers() {
  static const std::vector<Maker> table = {
      {{"random-2", "random pattern and text over 2 letters, the pattern planted in half of them"},
       [](Draw& d, const CaseLimits& l) { return random_over(d, l, kTwo); }},
      {{"random-3", "the same over 3 letters"},
       [](Draw& d, const CaseLimits& l) { return random_over(d, l, kThree); }},
      {{"random-4", "the same over 4 letters"},
       [](Draw& d, const CaseLimits& l) { return random_over(d, l, kFour); }},
      {{"random-7bit", "the same over the bytes 1 to 127, half of the text's bytes from the pattern"},
       random_7bit},
      {{"periodic", "a pattern of period 1 to 3 in a text of that period, up to 2 characters changed"},
       periodic},
      {{"runs", "runs of one letter: a...a, a...ab or a...ab...a in a...a with up to 2 b"}, runs},
      {{"at-start", "the text starts with the pattern"},
       [](Draw& d, const CaseLimits& l) { return at_edge(d, l, true); }},
      {{"at-end", "the text ends with the pattern"},
       [](Draw& d, const CaseLimits& l) { return at_edge(d, l, false); }},
      {{"overlapping", "a pattern with a border in a text where two occurrences overlap"},
       overlapping},
      {{"absent", "the pattern does not occur in the text"}, absent},
      {{"longer", "a pattern longer than the text, often a piece of it"}, longer_than_text},
      {{"single", "a pattern of one character (m = 1)"}, single},
      {{"long", "patterns of 15 to 19 characters"}, long_pattern},
  };
  return table;
}

}  // namespace

const std::vector<Family>& case_families() {
  static const std::vector<Family> families = [] {
    std::vector<Family> out;
    for (const Maker& maker : makers()) out.push_back(maker.family);
    return out;
  }();
  return families;
}

int32_t shortest_case_pattern(const char* algorithm) {
  int32_t shortest = 1;
#define SMTRACE_MIN_M(name, routine, title, program, refuses_8bit, room_fixed, \
                      room_per_pattern_byte, min_m, ...)                        \
  if (std::strcmp(algorithm, #name) == 0) shortest = std::max<int32_t>(1, min_m);
  SMTRACE_ALGORITHM_TABLE(SMTRACE_MIN_M)
#undef SMTRACE_MIN_M
  return shortest;
}

bool family_applies(const Family& family, const CaseLimits& limits) {
  return !(std::strcmp(family.name, "single") == 0 && limits.shortest_pattern > 1);
}

std::vector<Case> generate_cases(uint64_t seed, int64_t count, const CaseLimits& limits) {
  std::vector<const Maker*> chosen;
  for (const Maker& maker : makers()) {
    if (family_applies(maker.family, limits)) chosen.push_back(&maker);
  }
  std::vector<Case> cases;
  cases.reserve(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) {
    const Maker& maker = *chosen[static_cast<size_t>(i) % chosen.size()];
    Draw draw(seed, static_cast<uint64_t>(i));
    Case c = maker.make(draw, limits);
    c.family = maker.family.name;
    cases.push_back(std::move(c));
  }
  return cases;
}

}  // namespace smtrace
