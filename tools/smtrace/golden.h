// Golden files: cases and their reference traces as JSON Lines (the format
// is described in docs/golden.md), written by `smtrace golden` and replayed
// by `smtrace verify --cases-file`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "verify_cases.h"

namespace smtrace {

// Bytes as a JSON string: printable ASCII as it is (with \" and \\), every
// other byte as \u00XX, so that a string holds one character per byte.
std::string json_bytes(std::string_view bytes);

// One case as a line: {"family":...,"pattern":...,"text":...,"trace":[...]}
// and a newline.
std::string golden_line(const Case& c, const std::vector<int32_t>& trace);

struct GoldenCase {
  Case c;
  std::optional<std::vector<int32_t>> trace;  // none when the line has no "trace"
  int64_t line = 0;                           // its line in the file, from 1
};

// Reads a file of such lines (blank lines are skipped, unknown members
// ignored). Throws Failure(kUnreadableFile) naming the file and line when it
// cannot be read or a line is not such an object.
std::vector<GoldenCase> read_golden(const std::string& path);

// smtrace golden ALGORITHM [--cases N] [--seed S] [--max-text N] [--output FILE];
// args are the arguments after "golden".
int golden_command(int argc, char** argv);

}  // namespace smtrace
