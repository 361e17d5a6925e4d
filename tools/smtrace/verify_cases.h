// The cases verify and golden run: families of patterns and texts, drawn
// from a seed so that a seed always gives the same cases.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace smtrace {

// The longest pattern a deliverable's command line takes.
constexpr int32_t kLongestCasePattern = 19;

struct Family {
  const char* name;
  const char* about;
};

// Every family, in the order cases take them.
const std::vector<Family>& case_families();

struct Case {
  std::string pattern;
  std::string text;
  std::string family;  // the family's name, or "file" for a case read from a file
};

// What the cases of one routine must respect.
struct CaseLimits {
  int32_t shortest_pattern = 1;  // never below 1, nor below the routine's min_m
  int32_t longest_text = 40;
};

// The shortest pattern the named algorithm searches (its min_m in the
// header's table), raised to 1: the cases never hold an empty pattern.
int32_t shortest_case_pattern(const char* algorithm);

// True when the family can give cases under these limits (m = 1 cannot
// when the routine's shortest pattern is longer).
bool family_applies(const Family& family, const CaseLimits& limits);

// count cases: case i comes from the applicable families in turn and from
// its own draw of (seed, i), so that it does not depend on the others.
// Patterns hold 1 to 19 bytes, patterns and texts bytes 1 to 127 only.
std::vector<Case> generate_cases(uint64_t seed, int64_t count, const CaseLimits& limits);

}  // namespace smtrace
