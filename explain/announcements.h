// What the routines announce to the explainer (see core/announce.h). These
// functions only take note: none of them changes what a routine reads or
// records.
#pragma once

#include <cstdint>
#include <string>

struct Graph;
struct position_cell;

namespace sm_explain {

// What a traced read is for, announced with the read (SM_READ).
struct Role {
  unsigned char role;
  int32_t index;
};
Role compare(int32_t pattern_index);  // compared with x[pattern_index] of the current window
Role look_ahead();                    // read past the window to choose the shift
Role probe();                         // looked up in the character's list
Role edge(int32_t window_index);      // followed the automaton's edge by the character
signed char as_read(signed char value, Role role);

// From the recorder: every read of trace_get and trace_memcmp (pattern is
// the pattern byte trace_memcmp compares, null for trace_get), and before it
// the reason when the read is left out of the trace.
enum Dropped : unsigned char { kRecorded = 0, kRepeat = 1, kBound = 2 };
void read(int32_t position, char byte, const char* pattern);
void dropped(Dropped reason);

// Attempts and windows.
void attempt(int32_t window);    // an attempt begins with x[0] under y[window]
void window_at(int32_t window);  // the window is now here (no move when it is where it was)
void found(int32_t window);      // the routine's own occurrence: it returns here
void outcome(const char* text);  // how the current attempt ends, when not by a mismatch
void note(const std::string& text);

// Where the next move of the window, or the attempt's shift, comes from.
void bmbc_entry(unsigned char c, int32_t value);  // bmBc[c] (Raita, Tuned Boyer-Moore)
void shift(int32_t amount);                       // the attempt ends; the source is the last entry named

// The routines' own sources of shifts.
void mp_fallback(int32_t i, int32_t border, int32_t m);  // mpTable[i] = border
void mp_next_attempt(int32_t window, int32_t m);
void nsn_shift(int32_t amount, bool hit);                // miss shift or hit shift
void tbm_match_shift(unsigned char last, int32_t amount);
void br_shift(unsigned char a, unsigned char b, int32_t amount);
void skip_candidate(unsigned char c, int32_t e, int32_t window);
void skip_probe_step(int32_t m);
void single_step();                                      // Not So Naive's one-character pattern

// Turbo Reverse Factor.
void trf_attempt(int32_t window, int32_t u, int32_t p);
void trf_edge(int32_t from, int32_t to, int32_t edge_shift, bool adds);
void trf_no_edge(int32_t from);
void trf_reached(bool terminal, int32_t d, int32_t s);
void trf_first_scan_done(int32_t u, int32_t d);
void trf_second_scan(int32_t d, int32_t half, int32_t p, int32_t u);
void trf_third_scan(int32_t d, int32_t half, int32_t p, int32_t lowest);
void trf_scan_complete(int32_t s);
void trf_shift(int32_t s, int32_t m);

// Tables, as the routine filled them.
void bmbc_table(const char* x, int32_t m, const int32_t* bmBc);
void brbc_table(const char* x, int32_t m, const int32_t* brBc);
void mp_table(const int32_t* table, int32_t m);
void nsn_shifts(int32_t miss, int32_t hit);
void skip_lists(const char* x, int32_t m, position_cell* const* lists);
void trf_automaton(Graph* automaton, const char* x, int32_t m);

}  // namespace sm_explain
