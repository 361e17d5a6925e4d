#include "bench/inputs.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string_view>
#include <tuple>

#include "include/smtrace.h"
#include "texts/generate.h"

namespace sm_bench {
namespace {

// The random texts, the English-like text and their seeds come from the
// shared generator (texts/generate.h).
using sm_texts::english_text;
using sm_texts::Random;
using sm_texts::random_text;
using sm_texts::seed_of;

std::string alphabet_of(const std::string& kind) {
  if (kind == "bin") return "ab";
  if (kind == "dna") return "acgt";
  if (kind == "az") return "abcdefghijklmnopqrstuvwxyz";
  return "";
}

// Changes one character of every occurrence of the pattern, the occurrence's
// last, to another letter, until the text holds none. The changed positions
// only increase, so this ends; a change can only create occurrences that
// start after the one it destroyed, and the scan goes on from there.
template <typename Replace>
void remove_occurrences(std::string& text, const std::string& pattern, Replace replace) {
  const std::string_view whole(text);
  size_t at = 0;
  while ((at = whole.find(pattern, at)) != std::string_view::npos) {
    char& c = text[at + pattern.size() - 1];
    c = replace(c);
    ++at;
  }
}

// An English pattern that reads like the text: of several pieces of another
// English stream, the one that occurs least often in the text, so that
// removing its occurrences changes the text as little as possible.
std::string english_pattern(const std::string& text, int32_t m, Random& random) {
  const std::string source = english_text(1 << 16, random);
  const std::string_view sample(text.data(), std::min<size_t>(text.size(), 1 << 16));
  std::string best;
  size_t best_count = static_cast<size_t>(-1);
  for (int tries = 0; tries < 64; ++tries) {
    const size_t at = random.below(static_cast<uint32_t>(source.size() - static_cast<size_t>(m)));
    const std::string piece = source.substr(at, static_cast<size_t>(m));
    size_t count = 0;
    for (size_t p = sample.find(piece); p != std::string_view::npos; p = sample.find(piece, p + 1)) {
      ++count;
    }
    if (count < best_count) {
      best_count = count;
      best = piece;
    }
  }
  return best;
}

// The hard case of each routine: an input that makes it read the most per
// text character (a periodic pattern in a periodic text), over the letters a,
// b and c. None of these patterns occurs in its text. One maker per row of
// the public header's algorithm table, named after the row.

Input hard_turbo_reverse_factor(size_t m, size_t n) {
  // A periodic pattern in a text of the same period whose every window
  // differs from it in one place: the remembered prefix is used and lost
  // at every attempt.
  Input in;
  const std::string period = "aab";
  for (size_t i = 0; i < n; ++i) in.text += period[i % period.size()];
  for (size_t i = 0; i + 1 < m; ++i) in.pattern += period[i % period.size()];
  in.pattern += in.pattern.back() == 'b' ? 'a' : 'b';
  remove_occurrences(in.text, in.pattern, [](char c) { return c == 'a' ? 'c' : 'a'; });
  return in;
}

Input hard_morris_pratt(size_t m, size_t n) {
  // Every b falls back through all the borders of a^(m-1): m reads there.
  Input in;
  for (size_t i = 0; i < n; ++i) in.text += (i % m == m - 1) ? 'b' : 'a';
  in.pattern = std::string(m - 1, 'a') + "c";
  return in;
}

// a^n and a^(m-1) b.
Input all_a_but_the_last(size_t m, size_t n) { return {std::string(n, 'a'), std::string(m - 1, 'a') + "b"}; }

Input hard_not_so_naive(size_t m, size_t n) {
  // x[0] = x[1]: the hit shift is 1, and each attempt compares m - 1 characters.
  return all_a_but_the_last(m, n);
}

// The last character tests pass, the comparison fails late, and the shift
// is 1 (for Berry-Ravindran: the look-ahead pair starts with the last
// pattern character).
Input late_mismatch(size_t m, size_t n) { return {std::string(n, 'a'), std::string(m - 3, 'a') + "baa"}; }
Input hard_raita(size_t m, size_t n) { return late_mismatch(m, n); }
Input hard_tuned_bm(size_t m, size_t n) { return late_mismatch(m, n); }
Input hard_berry_ravindran(size_t m, size_t n) { return late_mismatch(m, n); }

Input hard_skip_search(size_t m, size_t n) {
  // Every probe lists m - 1 candidate windows, and each compares m characters.
  return all_a_but_the_last(m, n);
}

struct HardCase {
  const char* routine;  // the deliverable
  Input (*make)(size_t m, size_t n);
};

#define SM_BENCH_HARD_CASE(name, ...) {#name, hard_##name},
const HardCase kHardCases[] = {SMTRACE_ALGORITHM_TABLE(SM_BENCH_HARD_CASE)};
#undef SM_BENCH_HARD_CASE

const HardCase* hard_case_of(const std::string& routine) {
  for (const HardCase& hard : kHardCases) {
    if (routine == hard.routine) return &hard;
  }
  return nullptr;
}

Input hard_case(const std::string& routine, int32_t m, int32_t n) {
  const HardCase* hard = hard_case_of(routine);
  if (hard == nullptr) throw std::invalid_argument("no hard case for " + routine);
  return hard->make(static_cast<size_t>(m), static_cast<size_t>(n));
}

Input make_input(const std::string& kind, int32_t m, int32_t n) {
  if (kind.rfind("hard-", 0) == 0) return hard_case(kind.substr(5), m, n);
  Random random(seed_of(kind, m, n, 0));
  Input in;
  if (kind == "en") {
    in.text = english_text(n, random);
    Random pattern_random(seed_of(kind, m, 0, 1));
    in.pattern = english_pattern(in.text, m, pattern_random);
    remove_occurrences(in.text, in.pattern, [&random](char c) {
      char r;
      do r = static_cast<char>('a' + random.below(26));
      while (r == c);
      return r;
    });
    return in;
  }
  const std::string alphabet = alphabet_of(kind);
  if (alphabet.empty()) throw std::invalid_argument("unknown text kind " + kind);
  in.text = random_text(alphabet, n, random);
  Random pattern_random(seed_of(kind, m, 0, 1));
  in.pattern = random_text(alphabet, m, pattern_random);
  remove_occurrences(in.text, in.pattern, [&alphabet](char c) {
    const size_t i = alphabet.find(c);
    return alphabet[(i + 1) % alphabet.size()];
  });
  return in;
}

}  // namespace

const std::vector<std::string>& text_kinds() {
  static const std::vector<std::string> kinds = {"bin", "dna", "az", "en"};
  return kinds;
}

bool known_kind(const std::string& kind) {
  if (!alphabet_of(kind).empty() || kind == "en") return true;
  return kind.rfind("hard-", 0) == 0 && hard_case_of(kind.substr(5)) != nullptr;
}

const Input& input(const std::string& kind, int32_t m, int32_t n) {
  static std::map<std::tuple<std::string, int32_t, int32_t>, Input> cache;
  static std::pair<std::string, int32_t> family;
  if (family != std::make_pair(kind, m)) {
    cache.clear();
    family = {kind, m};
  }
  const auto key = std::make_tuple(kind, m, n);
  auto found = cache.find(key);
  if (found == cache.end()) found = cache.emplace(key, make_input(kind, m, n)).first;
  return found->second;
}

}  // namespace sm_bench
