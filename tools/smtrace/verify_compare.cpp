#include "verify_compare.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "report.h"

namespace smtrace {
namespace {

bool is_space(char c) { return std::strchr(" \t\n\r\v\f", c) != nullptr && c != '\0'; }

bool parse_position(const std::string& token, int32_t* value) {
  size_t k = token[0] == '-' ? 1 : 0;
  if (k == token.size() || token.size() - k > 10) return false;
  int64_t magnitude = 0;
  for (; k < token.size(); ++k) {
    if (token[k] < '0' || token[k] > '9') return false;
    magnitude = magnitude * 10 + (token[k] - '0');
  }
  const int64_t signed_value = token[0] == '-' ? -magnitude : magnitude;
  if (signed_value < std::numeric_limits<int32_t>::min() ||
      signed_value > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  *value = static_cast<int32_t>(signed_value);
  return true;
}

}  // namespace

Reading read_positions(const std::string& output) {
  Reading reading;
  size_t at = 0;
  for (;;) {
    while (at < output.size() && is_space(output[at])) ++at;
    if (at >= output.size()) return reading;
    size_t end = at;
    while (end < output.size() && !is_space(output[end])) ++end;
    const std::string token = output.substr(at, end - at);
    int32_t value = 0;
    if (!parse_position(token, &value)) {
      reading.complete = false;
      reading.bad_token = token;
      return reading;
    }
    reading.positions.push_back(value);
    at = end;
  }
}

Verdict judge(const RunOutcome& outcome, const std::vector<int32_t>& expected, Format format) {
  Verdict verdict;
  verdict.got = read_positions(outcome.output);
  const std::vector<int32_t>& got = verdict.got.positions;
  const auto mismatch = std::mismatch(expected.begin(), expected.end(), got.begin(), got.end());
  const bool same_positions =
      verdict.got.complete && mismatch.first == expected.end() && mismatch.second == got.end();
  verdict.first_difference = mismatch.first - expected.begin();
  if (outcome.kind != RunOutcome::kFinished) {
    verdict.kind = Verdict::kRun;
    return verdict;
  }
  if (!same_positions) {
    verdict.kind = Verdict::kTrace;
    return verdict;
  }
  if (format == Format::kExact) {
    const std::string line = trace_line(expected);
    if (outcome.output != line) {
      verdict.kind = Verdict::kFormat;
      const auto bytes =
          std::mismatch(line.begin(), line.end(), outcome.output.begin(), outcome.output.end());
      verdict.first_byte = static_cast<size_t>(bytes.first - line.begin());
      return verdict;
    }
  }
  return verdict;
}

std::string divergence_kind(const RunOutcome& outcome, const Verdict& verdict) {
  switch (verdict.kind) {
    case Verdict::kAgree:
      return "agree";
    case Verdict::kTrace:
      return "trace";
    case Verdict::kFormat:
      return "format";
    case Verdict::kRun:
      break;
  }
  switch (outcome.kind) {
    case RunOutcome::kExited:
      return "status " + std::to_string(outcome.code);
    case RunOutcome::kSignaled:
      return "signal " + std::to_string(outcome.code);
    case RunOutcome::kTimedOut:
      return "timeout";
    case RunOutcome::kOutputLimit:
      return "output limit";
    case RunOutcome::kEntryExited:
      return "entry exit " + std::to_string(outcome.code);
    case RunOutcome::kRaised:
      return "raised";
    case RunOutcome::kGone:
      return "gone";
    case RunOutcome::kFinished:
      break;
  }
  return "run";
}

}  // namespace smtrace
