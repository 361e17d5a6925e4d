// Texts and patterns for the benchmarks, made here and reproducible: every
// input is a pure function of its kind, pattern length and text length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sm_bench {

// A search input. The pattern never occurs in the text, so every routine
// (and std::string_view::find) runs over the whole text: the cost measured is
// the cost of a full scan.
struct Input {
  std::string text;
  std::string pattern;
};

// The text kinds of the matrix: random texts over 2, 4 and 26 letters, and an
// English-like text.
const std::vector<std::string>& text_kinds();

// The input for a text kind ("bin", "dna", "az", "en") or for a routine's
// hard case ("hard-<deliverable>"). Inputs are cached; a request for another
// kind or pattern length drops the cached texts of the previous one, so the
// suite holds the texts of one family at a time.
const Input& input(const std::string& kind, int32_t m, int32_t n);

// True when the kind names a known hard case or text kind.
bool known_kind(const std::string& kind);

}  // namespace sm_bench
