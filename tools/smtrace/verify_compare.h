// Whether an implementation's run agrees with the reference trace.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "verify_run.h"

namespace smtrace {

enum class Format {
  kExact,    // the reference's bytes: each position and a blank, then a newline
  kLenient,  // the positions, separated by any whitespace
};

// The positions an output holds, read as far as they go.
struct Reading {
  std::vector<int32_t> positions;
  bool complete = true;  // false: a token that is not a position follows them
  std::string bad_token;
};
// Reads whitespace-separated decimal positions (int32).
Reading read_positions(const std::string& output);

struct Verdict {
  enum Kind {
    kAgree,
    kTrace,   // the positions differ
    kFormat,  // the positions agree, the bytes do not (exact format)
    kRun,     // the run did not end normally: see the outcome's kind
  };
  Kind kind = kAgree;
  Reading got;
  // kTrace: the first read where the positions differ (the length of the
  // shorter list when one is the start of the other, or the bad token's place).
  int64_t first_difference = -1;
  // kFormat: the first byte where the output differs from the reference's.
  size_t first_byte = 0;

  bool agrees() const { return kind == kAgree; }
};

Verdict judge(const RunOutcome& outcome, const std::vector<int32_t>& expected, Format format);

// What a divergence is, for shrinking: a smaller case must diverge the same
// way (a wrong trace, a wrong format, the same signal, a time-out, ...).
std::string divergence_kind(const RunOutcome& outcome, const Verdict& verdict);

}  // namespace smtrace
