// Generated inputs for the cross-checks: words drawn from a seeded engine, so
// that a seed always gives the same inputs.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <utility>

namespace sm_test {

class RandomWords {
 public:
  explicit RandomWords(uint32_t seed) : rng_(seed) {}

  // A number below `bound`.
  uint32_t below(uint32_t bound) { return static_cast<uint32_t>(rng_() % bound); }

  // `length` characters, each one of the `letters` characters from `first` on.
  std::string word(uint32_t length, uint32_t letters, char first = 'a') {
    std::string s;
    for (uint32_t i = 0; i < length; ++i) s += static_cast<char>(first + below(letters));
    return s;
  }

 private:
  std::mt19937 rng_;
};

// A generated pattern x and text y, with the first occurrence p of x in y
// that std::string::find reports (-1 without one).
struct Generated {
  std::string x, y;
  int32_t m, n, p;
  std::string what() const { return "pattern \"" + x + "\", text \"" + y + "\""; }
};

inline Generated generated(std::string x, std::string y) {
  const size_t found = y.find(x);
  const auto m = static_cast<int32_t>(x.size()), n = static_cast<int32_t>(y.size());
  const int32_t p = found == std::string::npos ? -1 : static_cast<int32_t>(found);
  return {std::move(x), std::move(y), m, n, p};
}

// A pattern of 1 to 6 letters and a text of 0 to 30, over the first 2 to
// `most_letters` letters of the alphabet. The two orders of drawing give two
// different series from one seed; each cross-check keeps the series it was
// written against.
//   draw_word_by_word: the alphabet, the pattern's length and letters, then
//   the text's.
inline Generated draw_word_by_word(RandomWords& words, uint32_t most_letters) {
  const uint32_t letters = 2 + words.below(most_letters - 1);
  std::string x = words.word(1 + words.below(6), letters);
  std::string y = words.word(words.below(31), letters);
  return generated(std::move(x), std::move(y));
}
//   draw_lengths_first: the alphabet, both lengths, then the letters.
inline Generated draw_lengths_first(RandomWords& words, uint32_t most_letters) {
  const uint32_t letters = 2 + words.below(most_letters - 1);
  const uint32_t m = 1 + words.below(6);
  const uint32_t n = words.below(31);
  std::string x = words.word(m, letters);
  std::string y = words.word(n, letters);
  return generated(std::move(x), std::move(y));
}

}  // namespace sm_test
