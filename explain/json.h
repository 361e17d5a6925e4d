// The explanation as JSON: the format of docs/explain-json.md.
#pragma once

#include <string>

#include "include/smtrace_explain.h"

namespace sm_explain {

std::string to_json(const smtrace_explanation& explanation);

// Bytes as a JSON string: printable ASCII as it is (quote and backslash
// escaped), every other byte as \u00XX, the code point of the same value.
// For a string inside a page's script, <, > and & are escaped too, so that
// no operand can end the script.
void append_json_bytes(std::string& out, const char* bytes, size_t length,
                       bool in_script = false);

}  // namespace sm_explain
