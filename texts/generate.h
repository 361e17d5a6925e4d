// Reproducible texts: random texts over a given alphabet and an English-like
// text, each a pure function of its length and a seed. The benchmarks and
// smtrace study draw their inputs from here.
#pragma once

#include <cstdint>
#include <string>

namespace sm_texts {

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
  // Uniform in [0, 1).
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

 private:
  uint64_t state_;
};

// A seed from a name and two numbers: FNV-1a over the name, the numbers mixed
// in, then the salt.
uint64_t seed_of(const std::string& name, int32_t m, int32_t n, uint64_t salt);

// n characters drawn uniformly from the alphabet.
std::string random_text(const std::string& alphabet, int32_t n, Random& random);

// n characters of English-like text: words drawn with a Zipf-like law from a
// vocabulary of common English words, in sentences with capitals, commas,
// full stops and line breaks.
std::string english_text(int32_t n, Random& random);

}  // namespace sm_texts
