#include "texts/generate.h"

#include <algorithm>
#include <vector>

namespace sm_texts {
namespace {

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

}  // namespace

uint64_t seed_of(const std::string& name, int32_t m, int32_t n, uint64_t salt) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : name) h = (h ^ c) * 1099511628211ull;
  h ^= static_cast<uint64_t>(m) * 0x9e3779b97f4a7c15ull;
  h ^= static_cast<uint64_t>(n) * 0xc2b2ae3d27d4eb4full;
  return h ^ salt;
}

std::string random_text(const std::string& alphabet, int32_t n, Random& random) {
  std::string text(static_cast<size_t>(n), '\0');
  const auto k = static_cast<uint32_t>(alphabet.size());
  for (char& c : text) c = alphabet[random.below(k)];
  return text;
}

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

}  // namespace sm_texts
