// explain: an explained search as text for a terminal of 80 columns.
//
// Header (the algorithm, the pattern, m and n) and the preprocessing tables;
// then one block per attempt: the text around the attempt's window with the
// pattern under it (drawn again where a move changes the window), each read
// on a line of its own with its number in the reading order, a mark under
// the position read and what it did, the moves and the routine's notes, and
// the outcome with the shift and where it came from; at the end the
// routine's own occurrence and the counts.
//
// Every byte is shown as readable() shows it (report.h). Marks are symbols
// (= match, x mismatch, ^ look-ahead, ? probe, + edge, ! no edge, * a read
// compared with no pattern byte); colour, when asked for, only repeats them.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "smtrace_explain.h"

namespace smtrace {

// No line of the view is wider.
constexpr size_t kExplainWidth = 80;

// Writes the view in pieces (the header and tables, each attempt, the end)
// so that a search of many attempts is not held twice in memory. With
// colour, ANSI escapes mark reads, the pattern and the outcomes.
void write_explanation(const smtrace_explanation& explanation, bool colour,
                       const std::function<void(const std::string&)>& write);

// The whole view as one string.
std::string explanation_text(const smtrace_explanation& explanation, bool colour);

}  // namespace smtrace
