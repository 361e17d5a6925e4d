// Properties that a trace must have whatever the input, checked against an
// independent plain search. Each check returns an empty string when the trace
// has the property and a description of the first violation otherwise.
//
// The central property holds for every correct search that reads the text
// only through the recorder: it may stop at the first occurrence f only once
// its recorded reads rule out every earlier window (each window s < f holds a
// recorded position whose byte differs from the pattern's), and only once it
// has read the whole occurrence; without an occurrence it must rule out every
// window. A routine that skipped a window, stopped early, stopped at a later
// occurrence or claimed a window it never read fails it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/routines.h"

namespace sm_test {

// The first occurrence of x in y by a plain left-to-right search, -1 when none.
inline int32_t plain_search(const std::string& x, const std::string& y) {
  if (x.size() > y.size()) return -1;
  for (size_t s = 0; s + x.size() <= y.size(); ++s) {
    if (std::memcmp(x.data(), y.data() + s, x.size()) == 0) return static_cast<int32_t>(s);
  }
  return -1;
}

inline std::string show(const std::vector<int32_t>& trace) {
  std::string out;
  const size_t shown = std::min<size_t>(trace.size(), 64);
  for (size_t k = 0; k < shown; ++k) out += std::to_string(trace[k]) + " ";
  if (shown < trace.size()) out += "... (" + std::to_string(trace.size()) + " positions)";
  return out;
}

// Every entry, with any lengths and bytes it accepts: the positions recorded
// lie inside the text (or at n where the routine may record it), and empty or
// negative lengths record nothing (Morris-Pratt's empty pattern reads
// position 0 once).
inline std::string check_recorded_range(const Routine& r, int32_t m, int32_t n,
                                        const std::vector<int32_t>& trace) {
  if (m == 0 && n > 0 && r.empty_pattern_reads_first()) {
    if (trace != std::vector<int32_t>{0}) return "an empty pattern must record 0 once, got " + show(trace);
    return "";
  }
  if (m <= 0 || n <= 0) {
    if (!trace.empty()) return "empty or negative lengths must record nothing, got " + show(trace);
    return "";
  }
  for (int32_t p : trace) {
    if (p >= 0 && p < n) continue;
    if (p == n && r.may_record_n) continue;
    return "position " + std::to_string(p) + " outside the text of " + std::to_string(n) +
           " in " + show(trace);
  }
  return "";
}

// The search property (see the top of this file), for an accepted, non-empty
// pattern, a non-empty text, and no host bound. The routine may read look_ahead positions past the occurrence's
// window (Berry-Ravindran's look-ahead pair after the attempt before it).
inline std::string check_first_occurrence(const Routine& r, const std::string& x,
                                          const std::string& y, const std::vector<int32_t>& trace) {
  const int32_t m = static_cast<int32_t>(x.size());
  const int32_t n = static_cast<int32_t>(y.size());
  const int32_t f = plain_search(x, y);
  std::vector<char> recorded(static_cast<size_t>(n), 0);
  for (int32_t p : trace) {
    if (p >= 0 && p < n) recorded[static_cast<size_t>(p)] = 1;
  }
  const int32_t last_window = f >= 0 ? f - 1 : n - m;
  for (int32_t s = 0; s <= last_window; ++s) {
    bool witnessed = false;
    for (int32_t i = 0; i < m && !witnessed; ++i) {
      witnessed = recorded[static_cast<size_t>(s + i)] && x[static_cast<size_t>(i)] != y[static_cast<size_t>(s + i)];
    }
    if (!witnessed) {
      return "no recorded mismatch rules out the window at " + std::to_string(s) +
             (f >= 0 ? " before the first occurrence at " + std::to_string(f) : " (no occurrence)") +
             "; trace " + show(trace);
    }
  }
  if (f < 0) return "";
  for (int32_t p = f; p < f + m; ++p) {
    if (!recorded[static_cast<size_t>(p)]) {
      return "position " + std::to_string(p) + " of the occurrence at " + std::to_string(f) +
             " was never read; trace " + show(trace);
    }
  }
  const int32_t highest = *std::max_element(trace.begin(), trace.end());
  if (highest > f + m - 1 + r.look_ahead) {
    return "read " + std::to_string(highest) + " past the occurrence at " + std::to_string(f) +
           "; trace " + show(trace);
  }
  const int32_t last = trace.back();
  if (last < f || last > f + m - 1) {
    return "the trace does not end inside the occurrence at " + std::to_string(f) + "; trace " +
           show(trace);
  }
  return "";
}

// Morris-Pratt: one left-to-right scan. The position never moves back and
// moves on by one at a time from 0; the scan ends at the occurrence's last
// position, or at n - 1 without one; a fallback shortens the match, so there
// are at most 2n reads.
inline std::string check_forward_scan(const std::string& x, const std::string& y,
                                      const std::vector<int32_t>& trace) {
  const int32_t m = static_cast<int32_t>(x.size());
  const int32_t n = static_cast<int32_t>(y.size());
  const int32_t f = plain_search(x, y);
  const int32_t end = f >= 0 ? std::max(f + m - 1, 0) : n - 1;
  if (trace.empty() || trace.front() != 0) return "the scan does not start at 0: " + show(trace);
  for (size_t k = 1; k < trace.size(); ++k) {
    const int32_t step = trace[k] - trace[k - 1];
    if (step != 0 && step != 1) return "the scan jumps at read " + std::to_string(k) + ": " + show(trace);
  }
  if (trace.back() != end) return "the scan ends at " + std::to_string(trace.back()) +
                                  ", not at " + std::to_string(end) + ": " + show(trace);
  if (trace.size() > 2 * static_cast<size_t>(n)) return "more than 2n reads: " + show(trace);
  return "";
}

// Turbo Reverse Factor: each attempt reads its window from right to left,
// starting at the window's last position, and the windows move right. So the
// trace falls apart into strictly decreasing runs whose first positions
// strictly increase, and each run lies inside the m positions ending at its
// first one.
inline std::string check_reverse_runs(int32_t m, const std::vector<int32_t>& trace) {
  size_t head = 0;
  for (size_t k = 1; k <= trace.size(); ++k) {
    if (k < trace.size() && trace[k] < trace[k - 1]) {
      if (trace[k] <= trace[head] - m) {
        return "read " + std::to_string(trace[k]) + " outside the window ending at " +
               std::to_string(trace[head]) + ": " + show(trace);
      }
      continue;
    }
    if (k < trace.size() && trace[k] <= trace[head]) {
      return "attempt starting at " + std::to_string(trace[k]) +
             " does not lie right of the previous one: " + show(trace);
    }
    head = k;
  }
  return "";
}

// Skip Search: it probes every m-th position from m - 1 until the probe whose
// window range holds the occurrence, and no probe after it.
inline std::string check_probes(const std::string& x, const std::string& y,
                                const std::vector<int32_t>& trace) {
  const int32_t m = static_cast<int32_t>(x.size());
  const int32_t n = static_cast<int32_t>(y.size());
  const int32_t f = plain_search(x, y);
  std::vector<char> recorded(static_cast<size_t>(n) + 1, 0);
  for (int32_t p : trace) {
    if (p >= 0 && p <= n) recorded[static_cast<size_t>(p)] = 1;
  }
  const int32_t last_probe = f >= 0 ? f + m - 1 : n - 1;
  for (int32_t j = m - 1; j <= last_probe; j += m) {
    if (!recorded[static_cast<size_t>(j)]) return "probe " + std::to_string(j) + " never read: " + show(trace);
  }
  return "";
}

// A host's positive txt_length leaves out exactly the positions at or beyond
// it, for the routines that never set it themselves.
inline std::vector<int32_t> bounded(const std::vector<int32_t>& trace, int32_t bound) {
  if (bound <= 0) return trace;
  std::vector<int32_t> out;
  for (int32_t p : trace) {
    if (p < bound) out.push_back(p);
  }
  return out;
}

// Everything the routine's rules guarantee for a pattern it searches (not
// refused) without a host bound; beyond the recorded range, for a non-empty
// pattern in a non-empty text.
inline std::string check_search(const Routine& r, const std::string& x, const std::string& y,
                                const std::vector<int32_t>& trace) {
  std::string problem = check_recorded_range(r, static_cast<int32_t>(x.size()),
                                             static_cast<int32_t>(y.size()), trace);
  if (!problem.empty() || x.empty() || y.empty()) return problem;
  problem = check_first_occurrence(r, x, y, trace);
  if (!problem.empty()) return problem;
  switch (r.shape()) {
    case Shape::kAny:
      return "";
    case Shape::kForwardScan:
      return check_forward_scan(x, y, trace);
    case Shape::kReverseRuns:
      return check_reverse_runs(static_cast<int32_t>(x.size()), trace);
    case Shape::kProbes:
      return check_probes(x, y, trace);
  }
  return "";
}

// The text buffer after a search of a pattern of one character or more
// (which every routine but the refusing ones searches): the text and the zero
// byte at n as they were, but for the room the routine writes, as the
// header's account of the text buffer has it: the m bytes from n hold the
// last pattern character where the room grows with the pattern (tuned_bm's
// sentinel), the fixed room after the zero byte holds zeros
// (berry_ravindran's y[n + 1]); every byte past the room is as it was.
// `buffer` held the text, a zero byte, then `fill` up to `size` bytes.
inline std::string check_buffer_after(const Routine& r, const std::string& x, const std::string& y,
                                      const char* buffer, size_t size, char fill) {
  std::string expected(size, fill);
  expected.replace(0, y.size(), y);
  const size_t n = y.size();
  expected[n] = '\0';
  if (r.room_per_pattern_byte) {
    expected.replace(n, x.size(), x.size(), x.back());
  } else {
    for (size_t k = 1; k < static_cast<size_t>(r.room_fixed); ++k) expected[n + k] = '\0';
  }
  const std::string got(buffer, size);
  if (got == expected) return "";
  size_t k = 0;
  while (got[k] == expected[k]) ++k;
  const auto byte = [](char c) { return std::to_string(static_cast<unsigned char>(c)); };
  return "text buffer byte " + std::to_string(k) + " (n = " + std::to_string(n) + ") is " + byte(got[k]) +
         ", expected " + byte(expected[k]);
}

}  // namespace sm_test
