// Helpers shared by the algorithm tests: a worked example is a pattern, a
// text and the exact trace, checked through both ways in.
#pragma once

#include <string>
#include <vector>

namespace sm_test {

struct TraceCase {
  std::string pattern;
  std::string text;
  std::vector<int32_t> trace;
};

// The command line's rendering of a trace: each position and a blank, then a newline.
inline std::string printed(const std::vector<int32_t>& trace) {
  std::string out;
  for (int32_t position : trace) out += std::to_string(position) + " ";
  return out + "\n";
}

inline std::string describe(const TraceCase& c) {
  return "pattern \"" + c.pattern + "\", text \"" + c.text + "\"";
}

}  // namespace sm_test
