// Generated inputs for the cross-checks: words drawn from a seeded engine, so
// that a seed always gives the same inputs.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

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
// different series from one seed.
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

// `count` patterns of 0 to `longest` characters, each over an alphabet of 1,
// 2, 3, 4 or 26 letters from a, or over all 128 characters from the zero byte.
inline std::vector<std::string> generated_patterns(uint32_t seed, int count, uint32_t longest) {
  RandomWords words(seed);
  const uint32_t alphabets[] = {1, 2, 3, 4, 26, 128};
  std::vector<std::string> out;
  for (int k = 0; k < count; ++k) {
    const uint32_t size = alphabets[words.below(6)];
    out.push_back(words.word(words.below(longest + 1), size, size == 128 ? '\0' : 'a'));
  }
  return out;
}

// Every generated search input of the cross-checks, each series from its own
// seed: 4000 drawn word by word over up to 3 letters, 4000 and 4000 more
// drawn lengths first over up to 4, and the non-empty patterns of up to 30
// characters over the alphabets of generated_patterns, each in a text of 0
// to 79 characters over 1 to 3 letters that holds the pattern half the time.
inline const std::vector<Generated>& generated_inputs() {
  static const std::vector<Generated> all = [] {
    std::vector<Generated> out;
    RandomWords by_word(20261207);
    for (int round = 0; round < 4000; ++round) out.push_back(draw_word_by_word(by_word, 3));
    for (uint32_t seed : {20240611u, 424242u}) {
      RandomWords lengths_first(seed);
      for (int round = 0; round < 4000; ++round) out.push_back(draw_lengths_first(lengths_first, 4));
    }
    RandomWords texts(4242);
    for (const std::string& x : generated_patterns(31337u, 400, 30)) {
      if (x.empty()) continue;
      const uint32_t letters = 1 + texts.below(3);
      std::string y = texts.word(texts.below(80), letters);
      if (texts.below(2) == 0 && y.size() >= x.size()) {
        y.replace(texts.below(static_cast<uint32_t>(y.size() - x.size() + 1)), x.size(), x);
      }
      out.push_back(generated(x, std::move(y)));
    }
    return out;
  }();
  return all;
}

// A text with bytes of 128 or more, and the same text with each of them
// replaced by z, which the pattern lacks.
struct HighBytesCase {
  std::string x, y, plain;
  std::string what() const { return "pattern \"" + x + "\", text \"" + y + "\""; }
};

// 196 patterns of up to 6 characters (generated_patterns without z) in texts
// of 0 to 29 bytes, a quarter of them 128 or more, the rest pattern characters.
inline const std::vector<HighBytesCase>& generated_high_bytes() {
  static const std::vector<HighBytesCase> all = [] {
    std::vector<HighBytesCase> out;
    RandomWords words(77);
    for (const std::string& x : generated_patterns(99u, 200, 6)) {
      if (x.find('z') != std::string::npos) continue;
      HighBytesCase c{x, "", ""};
      const uint32_t n = words.below(30);
      for (uint32_t i = 0; i < n; ++i) {
        const uint32_t pick = words.below(4);
        const char ch = pick == 0 ? static_cast<char>(128 + words.below(128))
                                  : (x.empty() ? 'a' : x[words.below(static_cast<uint32_t>(x.size()))]);
        c.y += ch;
        c.plain += static_cast<unsigned char>(ch) >= 128 ? 'z' : ch;
      }
      out.push_back(std::move(c));
    }
    return out;
  }();
  return all;
}

}  // namespace sm_test
