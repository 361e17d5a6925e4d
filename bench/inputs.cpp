#include "bench/inputs.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string_view>
#include <tuple>

#include "include/smtrace.h"

namespace sm_bench {
namespace {

// splitmix64: small, fast and the same everywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, bound).
  uint32_t below(uint32_t bound) {
    return static_cast<uint32_t>(((next() >> 32) * static_cast<uint64_t>(bound)) >> 32);
  }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

 private:
  uint64_t state_;
};

uint64_t seed_of(const std::string& kind, int32_t m, int32_t n, uint64_t salt) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a over the kind, then the numbers mixed in
  for (unsigned char c : kind) h = (h ^ c) * 1099511628211ull;
  h ^= static_cast<uint64_t>(m) * 0x9e3779b97f4a7c15ull;
  h ^= static_cast<uint64_t>(n) * 0xc2b2ae3d27d4eb4full;
  return h ^ salt;
}

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

std::string random_text(const std::string& alphabet, int32_t n, Random& random) {
  std::string text(static_cast<size_t>(n), '\0');
  const auto k = static_cast<uint32_t>(alphabet.size());
  for (char& c : text) c = alphabet[random.below(k)];
  return text;
}

// The English-like text: words drawn with a Zipf-like law from a vocabulary
// of common English words, in sentences with capitals, commas, full stops
// and line breaks.
const char* const kWords[] = {
    "the", "of", "and", "to", "in", "a", "is", "that", "for", "it", "as", "was", "with", "be",
    "by", "on", "not", "he", "I", "this", "are", "or", "his", "from", "at", "which", "but",
    "have", "an", "had", "they", "you", "were", "their", "one", "all", "we", "can", "her",
    "has", "there", "been", "if", "more", "when", "will", "would", "who", "so", "no", "time",
    "people", "water", "words", "number", "other", "about", "many", "then", "them", "these",
    "some", "what", "make", "like", "into", "could", "first", "made", "after", "called",
    "over", "down", "only", "way", "find", "use", "may", "long", "little", "very", "just",
    "where", "most", "know", "through", "back", "much", "before", "good", "new", "great",
    "year", "same", "around", "another", "came", "come", "work", "three", "word", "must",
    "because", "does", "part", "even", "place", "well", "such", "here", "take", "why",
    "things", "help", "put", "years", "different", "away", "again", "off", "went", "old",
    "tell", "men", "say", "small", "every", "found", "still", "between", "name", "should",
    "home", "big", "give", "air", "line", "set", "own", "under", "read", "last", "never",
    "us", "left", "end", "along", "while", "might", "next", "sound", "below", "saw",
    "something", "thought", "both", "few", "those", "always", "looked", "show", "large",
    "often", "together", "asked", "house", "world", "going", "want", "school", "important",
    "until", "form", "food", "keep", "children", "feet", "land", "side", "without", "boy",
    "once", "animals", "life", "enough", "took", "sometimes", "four", "head", "above",
    "kind", "began", "almost", "live", "page", "got", "earth", "need", "far", "hand", "high",
    "mother", "light", "country", "father", "let", "night", "following", "picture", "being",
    "study", "second", "eyes", "soon", "times", "story", "boys", "since", "white", "days",
    "paper", "hard", "near", "sentence", "better", "best", "across", "during", "today",
    "others", "however", "sure", "means", "knew", "try", "told", "young", "miles", "sun",
    "ways", "thing", "whole", "hear", "example", "heard", "several", "change", "answer",
    "room", "sea", "against", "top", "turned", "learn", "point", "city", "play", "toward",
    "five", "using", "himself", "usually", "river", "question", "morning", "window",
    "garden", "travelled", "quietly", "weather", "journey", "kitchen", "letters", "summer"};

std::string english_text(int32_t n, Random& random) {
  constexpr size_t kCount = sizeof kWords / sizeof kWords[0];
  std::vector<double> cumulative(kCount);
  double total = 0;
  for (size_t r = 0; r < kCount; ++r) cumulative[r] = total += 1.0 / static_cast<double>(r + 2);
  std::string text;
  text.reserve(static_cast<size_t>(n) + 64);
  size_t line_start = 0;
  while (text.size() < static_cast<size_t>(n)) {
    const uint32_t words = 4 + random.below(16);
    for (uint32_t w = 0; w < words; ++w) {
      const double u = random.unit() * total;
      const size_t r = static_cast<size_t>(std::lower_bound(cumulative.begin(), cumulative.end(), u) -
                                           cumulative.begin());
      std::string word = kWords[std::min(r, kCount - 1)];
      if (w == 0) word[0] = static_cast<char>(word[0] >= 'a' ? word[0] - 'a' + 'A' : word[0]);
      text += word;
      if (w + 1 < words) {
        if (random.below(12) == 0) text += ',';
        text += ' ';
      }
    }
    text += '.';
    if (text.size() - line_start > 64) {
      text += '\n';
      line_start = text.size();
    } else {
      text += ' ';
    }
  }
  text.resize(static_cast<size_t>(n));
  return text;
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
