// The explaining host library over generated inputs, for every algorithm of
// the header's table: each explanation has the properties of
// support/explanation.h (its recorded reads are the deliverable's trace, the
// reads lie in their windows and compare the right bytes, the windows move by
// the shifts announced, the occurrence is the first one, the counts agree),
// smtrace_summarize agrees with it, and now and then its JSON text says the
// same. The seed is fixed: a failure names the case, which comes again.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "support/explanation.h"
#include "support/explanation_json.h"

namespace sm_test {

// The parameter by its name in test listings.
void PrintTo(const Algorithm& a, std::ostream* out) { *out << a.name; }

namespace {

// Fewer under the sanitizers, whose builds run several times slower; never
// fewer than 10,000.
constexpr int kCasesPerAlgorithm = SM_SANITIZED ? 10000 : 12000;
constexpr uint32_t kSeed = 20260512;

// The families of generated inputs, taken in turn.
enum Kind {
  kRandom,         // 2 to 4 letters, patterns up to 19, texts up to 200
  kShort,          // the same, short texts and patterns
  kPeriodic,       // a text repeating a short word, the pattern cut from it (or one letter off)
  kAtStart,        // the text starts with the pattern
  kAtEnd,          // the text ends with the pattern
  kAbsent,         // the pattern holds a letter the text lacks
  kSevenBit,       // bytes from the whole 7-bit range, the zero byte included
  kLong,           // patterns of 20 to 40 over two letters
  kHighText,       // text bytes of 128 and more among the letters
  kTextNotLonger,  // texts no longer than the pattern, or one longer
  kKinds
};

const char* const kKindNames[kKinds] = {
    "random", "short", "periodic",     "at start",        "at end",
    "absent", "7-bit", "long pattern", "high text bytes", "text not longer"};

class Generator {
 public:
  Generator(uint32_t seed, const Algorithm& a) : rng_(seed), a_(a) {}

  uint32_t below(uint32_t bound) { return static_cast<uint32_t>(rng_() % bound); }
  int32_t between(int32_t low, int32_t high) {
    return low + static_cast<int32_t>(below(static_cast<uint32_t>(high - low + 1)));
  }

  std::string letters(int32_t length, uint32_t count) {
    std::string s;
    for (int32_t i = 0; i < length; ++i) s += static_cast<char>('a' + below(count));
    return s;
  }
  std::string from(const std::string& set, int32_t length) {
    std::string s;
    for (int32_t i = 0; i < length; ++i) s += set[below(static_cast<uint32_t>(set.size()))];
    return s;
  }
  // Puts x somewhere into y (y grows to hold it when it is shorter).
  void plant(std::string& y, const std::string& x) {
    if (y.size() < x.size()) y.resize(x.size(), 'a');
    const size_t at = below(static_cast<uint32_t>(y.size() - x.size() + 1));
    y.replace(at, x.size(), x);
  }

  // The shortest pattern generated: none for the routines that search the
  // empty pattern (min_m 0), else one character; every routine searches a
  // one-character pattern, Not So Naive too (position by position).
  int32_t shortest() const { return std::min(a_.min_m, 1); }
  int32_t pattern_length(int32_t longest) { return between(shortest(), longest); }

  struct Case {
    std::string x, y;
    Kind kind;
  };

  Case next(int index) {
    const auto kind = static_cast<Kind>(index % kKinds);
    const uint32_t count = 2 + below(3);
    Case c{"", "", kind};
    switch (kind) {
      case kRandom:
        c.x = letters(pattern_length(19), count);
        c.y = letters(between(0, 200), count);
        break;
      case kShort:
        c.x = letters(pattern_length(8), count);
        c.y = letters(between(0, 30), count);
        break;
      case kPeriodic: {
        const std::string word = letters(between(1, 4), count);
        std::string run;
        while (run.size() < 260) run += word;
        c.y = run.substr(0, static_cast<size_t>(between(0, 200)));
        const int32_t m = between(std::max(shortest(), 1), 19);
        c.x = run.substr(below(static_cast<uint32_t>(word.size())), static_cast<size_t>(m));
        if (below(3) == 0) {
          c.x[below(static_cast<uint32_t>(c.x.size()))] = static_cast<char>('a' + below(count + 1));
        }
        if (below(4) == 0 && !c.y.empty()) {
          c.y[below(static_cast<uint32_t>(c.y.size()))] = static_cast<char>('a' + below(count));
        }
        break;
      }
      case kAtStart:
        c.x = letters(between(1, 19), count);
        c.y = c.x + letters(between(0, 180), count);
        break;
      case kAtEnd:
        c.x = letters(between(1, 19), count);
        c.y = letters(between(0, 180), count) + c.x;
        break;
      case kAbsent:
        c.x = letters(between(1, 19), count);
        c.x[below(static_cast<uint32_t>(c.x.size()))] = static_cast<char>('a' + count);
        c.y = letters(between(0, 200), count);
        break;
      case kSevenBit: {
        std::string set;
        if (below(2) == 0) {
          for (int b = 0; b < 128; ++b) set += static_cast<char>(b);
        } else {
          for (uint32_t k = 0; k < count; ++k) set += static_cast<char>(below(128));
        }
        c.x = from(set, pattern_length(19));
        c.y = from(set, between(0, 200));
        if (below(2) == 0) plant(c.y, c.x);
        break;
      }
      case kLong:
        c.x = letters(between(20, 40), 2);
        c.y = letters(between(0, 200), 2);
        if (below(2) == 0) plant(c.y, c.x);
        break;
      case kHighText: {
        std::string set = "ab";
        for (int k = 0; k < 3; ++k) set += static_cast<char>(128 + below(128));
        c.x = a_.refuses_8bit ? letters(pattern_length(12), 2) : from(set, pattern_length(12));
        c.y = from(set, between(0, 200));
        if (below(2) == 0) plant(c.y, c.x);
        break;
      }
      case kTextNotLonger:
        c.x = letters(pattern_length(19), count);
        c.y = letters(between(0, static_cast<int32_t>(c.x.size()) + 1), count);
        break;
      case kKinds:
        break;
    }
    return c;
  }

 private:
  std::mt19937 rng_;
  const Algorithm& a_;
};

std::string shown(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      out += escape;
    }
  }
  return out + "\"";
}

class ExplainProperties : public ::testing::TestWithParam<Algorithm> {};

TEST_P(ExplainProperties, HoldForGeneratedInputs) {
  const Algorithm& a = GetParam();
  const Explainer api;
  Deliverable lib(a);
  // A series of its own per algorithm, by its row in the table.
  uint32_t row = 0;
  while (!is(algorithms()[row], a.name)) ++row;
  Generator generate(kSeed + row, a);

  int per_kind[kKinds] = {};
  int found = 0, empty_text = 0, empty_pattern = 0, failures = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int index = 0; index < kCasesPerAlgorithm && failures < 5; ++index) {
    const Generator::Case c = generate.next(index);
    ++per_kind[c.kind];
    if (c.y.find(c.x) != std::string::npos) ++found;
    if (c.y.empty()) ++empty_text;
    if (c.x.empty()) ++empty_pattern;
    ASSERT_FALSE(refused(a, c.x)) << "the generator gave " << a.name << " a pattern it refuses";

    const std::vector<int32_t> trace = lib.trace(c.x, c.y);
    // The caller's pattern and text in blocks of exactly their size: the
    // library copies them and writes neither.
    const std::vector<char> x(c.x.begin(), c.x.end()), y(c.y.begin(), c.y.end());
    const Explained e(api, a.name, x.data(), static_cast<int32_t>(x.size()), y.data(),
                      static_cast<int32_t>(y.size()));
    std::string problem;
    if (e.status != SMTRACE_OK || e.get() == nullptr) {
      problem = "smtrace_explain fails with status " + std::to_string(e.status);
    } else {
      problem = check_explanation(a, c.x, c.y, *e, &trace);
      if (problem.empty()) problem = check_summary(api, a.name, c.x, c.y, *e);
      if (problem.empty() && index % 61 == 0) problem = check_json(api, *e, e.json());
    }
    if (problem.empty() &&
        (std::string(x.begin(), x.end()) != c.x || std::string(y.begin(), y.end()) != c.y)) {
      problem = "the caller's pattern or text was written";
    }
    if (!problem.empty()) {
      ++failures;
      ADD_FAILURE() << a.name << ", case " << index << " (" << kKindNames[c.kind] << "): pattern "
                    << shown(c.x) << ", text " << shown(c.y) << ": " << problem;
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  int total = 0;
  std::string kinds;
  for (int k = 0; k < kKinds; ++k) {
    total += per_kind[k];
    kinds += std::string(k > 0 ? ", " : "") + kKindNames[k] + " " + std::to_string(per_kind[k]);
  }
  EXPECT_GE(total, 10000);
  std::printf(
      "[ explain  ] %s: %d cases in %.2f s (%d with an occurrence, %d empty texts, %d empty "
      "patterns; %s)\n",
      a.name, total, seconds, found, empty_text, empty_pattern, kinds.c_str());
  RecordProperty("cases", total);
}

INSTANTIATE_TEST_SUITE_P(Algorithms, ExplainProperties, ::testing::ValuesIn(algorithms()),
                         [](const ::testing::TestParamInfo<Algorithm>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace sm_test
