// The checks of the library-road fuzz targets: one library's entry function,
// called as a host calls it, with buffers of exactly the size its contract
// asks for.
//
// Input layout: byte 0 is the mode, byte 1 the pattern length L, byte 2 a
// host byte; then L pattern bytes (fewer if the input ends), then the text.
//   mode & 15 == 15 the pattern bytes as given, 128..255 included; otherwise
//                   each pattern byte is taken modulo 128. Text bytes are
//                   always taken as given.
//   mode >> 3 == 31 the pattern length is passed negative (-L - 1)
//   mode >> 3 == 30 the text length is passed negative
//
// Properties checked for every input:
//   - no sanitizer report; the call returns (libFuzzer's -timeout);
//   - a pattern byte >= 128 given to a refusing routine (turbo_reverse_factor,
//     raita, tuned_bm, berry_ravindran, skip_search) ends the process with
//     "Error: Pattern character out of range." and status 1: such inputs run
//     in a child process, which is where the refusal is checked (with an
//     empty or negative text, returning an empty trace is accepted too);
//   - every recorded position lies in [0, n), or is n for skip_search;
//     negative or empty lengths record nothing (morris_pratt's empty pattern
//     records 0 once); negative lengths and empty patterns touch no byte
//     (their buffers have size 0), but for morris_pratt's y[0];
//   - the pattern and the text bytes y[0..n-1] are unchanged; the room
//     past them holds what the routine writes there and nothing else
//     (tests/support/trace_properties.h, check_buffer_after): tuned_bm's
//     sentinel over y[n..n+m-1], berry_ravindran's zero at y[n+1], the zero
//     byte at n as given otherwise;
// and for every accepted pattern of at least one character (not_so_naive's
// one-character patterns too, which it searches position by position) in a
// non-empty text, against a plain search's first occurrence f
// (tests/support/trace_properties.h):
//   - all routines: every window before f (every window, without an
//     occurrence) holds a recorded position whose byte differs from the
//     pattern; every position of the occurrence was recorded; nothing past
//     f + m - 1 is recorded (f + m for berry_ravindran's look-ahead); the
//     last recorded position lies inside the occurrence;
//   - morris_pratt: the trace starts at 0, moves on by 0 or 1, ends at
//     f + m - 1 (n - 1 without an occurrence) and has at most 2n positions;
//   - turbo_reverse_factor: strictly decreasing runs, one per attempt, each
//     starting at its window's last position, those starts increasing;
//   - skip_search: every probe m - 1, 2m - 1, ... up to the one that finds
//     the occurrence was read;
//   - routines that set txt_length leave it at n; the others leave the
//     host's value; routines with windows leave one open exactly when they
//     found an occurrence, the others never open one;
//   - a second call: for turbo_reverse_factor and skip_search under a host
//     bound b, the trace is the first one without the positions >= b; for
//     the others after the host has set another txt_length (and, for the
//     routines with windows, left a window open on the freed list), the
//     trace is the same as the first;
//   - a third call for the routines that never open a window
//     (turbo_reverse_factor, morris_pratt, skip_search), inside a window the
//     host opened on the list the call frees: the first trace with every
//     repeated position left out.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/harness.h"
#include "support/trace_properties.h"

namespace sm_fuzz {
namespace library_road {

constexpr char kRefusal[] = "Error: Pattern character out of range.\n";
// The room past the zero byte as a host hands it over: a byte no routine
// may rely on.
constexpr unsigned char kRoomFill = 0xa5;

struct Input {
  std::string x, y;
  int32_t m, n;  // as passed: negative in the negative modes
  uint8_t host;
};

inline Input parse(const uint8_t* data, size_t size) {
  auto at = [&](size_t k) -> uint8_t { return k < size ? data[k] : 0; };
  const uint8_t mode = at(0);
  Input in;
  in.host = at(2);
  const size_t start = std::min<size_t>(3, size);
  const size_t rest = size - start;
  const size_t length = std::min<size_t>(at(1), rest);
  in.x.assign(reinterpret_cast<const char*>(data) + start, length);
  if ((mode & 15) != 15) {
    for (char& c : in.x) c = static_cast<char>(c & 0x7f);
  }
  in.y.assign(reinterpret_cast<const char*>(data) + start + length, rest - length);
  in.m = static_cast<int32_t>(in.x.size());
  in.n = static_cast<int32_t>(in.y.size());
  if ((mode >> 3) == 31) in.m = -in.m - 1;
  if ((mode >> 3) == 30) in.n = -in.n - 1;
  return in;
}

// The buffers of one call: exactly the pattern, and the text with the zero
// byte at n and the routine's room (filled with a byte no routine may rely
// on). Negative lengths and an empty pattern get empty buffers: nothing may
// be touched (but Morris-Pratt reads position 0 of a non-empty text). An
// empty text gets the contract's room, which a routine may still write
// (berry_ravindran's zero at n + 1, tuned_bm's sentinel).
struct Buffers {
  Buffers(const sm_test::Routine& r, const Input& in)
      : text_size(text_size_for(r, in)),
        pattern(in.m > 0 ? static_cast<size_t>(in.m) : 0),
        text(text_size) {
    if (in.m > 0) std::memcpy(pattern.data(), in.x.data(), in.x.size());
    reset(in);
  }
  // The text, its zero byte, and the room as a host hands it over.
  void reset(const Input& in) {
    if (text_size == 0) return;
    std::memset(text.data(), kRoomFill, text_size);
    std::memcpy(text.data(), in.y.data(), in.y.size());
    text.data()[in.n] = 0;
  }
  static size_t text_size_for(const sm_test::Routine& r, const Input& in) {
    if (in.n < 0 || in.m < 0 || (in.m == 0 && (in.n == 0 || !r.empty_pattern_reads_first()))) return 0;
    return sm_test::buffer_size(r, in.m, in.n);
  }
  size_t text_size;
  Exact pattern;
  Exact text;
};

inline std::string describe(const Library& lib, const Input& in) {
  return std::string(lib.routine->library) + " m=" + std::to_string(in.m) + " n=" + std::to_string(in.n) + ": ";
}

inline void check_refusal(const Library& lib, const Input& in) {
  const Outcome got = in_child([&] {
    Buffers b(*lib.routine, in);
    lib.fresh();
    const auto trace = walk(lib.entry(b.pattern.data(), in.m, b.text.data(), in.n));
    std::printf("%s", trace.empty() ? "" : "returned a trace\n");
    return 0;
  });
  if (got.out == kRefusal && got.status == 1) return;
  if (in.n <= 0 && got.out.empty() && got.status == 0) return;
  fail(describe(lib, in) + "a pattern byte >= 128 was not refused: status " + std::to_string(got.status) +
       ", output \"" + got.out + "\"");
}

inline std::vector<int32_t> call(const Library& lib, const Input& in, Buffers& b) {
  return walk(lib.entry(b.pattern.data(), in.m, b.text.data(), in.n));
}

inline void check_buffers(const Library& lib, const Input& in, Buffers& b) {
  if (in.m > 0 && std::memcmp(b.pattern.data(), in.x.data(), in.x.size()) != 0) {
    fail(describe(lib, in) + "the pattern was changed");
  }
  if (b.text_size == 0) return;
  if (in.m == 0) {
    // The one read of an empty pattern's search writes nothing.
    if (std::memcmp(b.text.data(), in.y.data(), in.y.size()) != 0 || b.text.data()[in.n] != 0) {
      fail(describe(lib, in) + "the text was changed");
    }
    return;
  }
  const std::string problem = sm_test::check_buffer_after(*lib.routine, in.x, in.y, b.text.data(),
                                                          b.text_size, static_cast<char>(kRoomFill));
  if (!problem.empty()) fail(describe(lib, in) + problem);
}

// Runs one input through the library's entry and checks every property
// above; a violation ends the process through fail().
inline void check_input(const Library& lib, const uint8_t* data, size_t size) {
  const sm_test::Routine& r = *lib.routine;
  const Input in = parse(data, size);
  if (in.m > 0 && sm_test::refuses(r, in.x)) {
    check_refusal(lib, in);
    return;
  }

  Buffers b(r, in);
  lib.fresh();
  const std::vector<int32_t> trace = call(lib, in, b);
  std::string problem = sm_test::check_recorded_range(r, in.m, in.n, trace);
  if (!problem.empty()) fail(describe(lib, in) + problem);
  check_buffers(lib, in, b);

  // Every routine searches any accepted pattern of one character or more,
  // not_so_naive's single characters included (position by position).
  const bool searched = in.m >= 1 && in.n >= 1;
  if (!searched) return;
  problem = sm_test::check_search(r, in.x, in.y, trace);
  if (!problem.empty()) fail(describe(lib, in) + problem);
  const int32_t expected_length = r.sets_txt_length ? in.n : -1;
  if (*lib.txt_length != expected_length) {
    fail(describe(lib, in) + "txt_length is " + std::to_string(*lib.txt_length) + ", expected " +
         std::to_string(expected_length));
  }
  const bool found = sm_test::plain_search(in.x, in.y) >= 0;
  if (*lib.prune_duplicates != (r.windows && found ? 1 : 0)) {
    fail(describe(lib, in) + "window left " + (*lib.prune_duplicates ? "open" : "closed"));
  }

  // The second call, under settings a host left behind.
  b.reset(in);
  if (r.sets_txt_length) {
    lib.set_txt_length(static_cast<int32_t>(in.host) - 128);
    if (r.windows) {
      lib.start_pruning_duplicates();
      lib.trace(in.host % 4);  // the window's start node is in the list the call frees
    }
    if (call(lib, in, b) != trace) fail(describe(lib, in) + "the host's settings changed the trace");
  } else {
    const int32_t bound = static_cast<int32_t>(in.host % (in.n + 2));
    lib.set_txt_length(bound);
    const std::vector<int32_t> again = call(lib, in, b);
    if (again != sm_test::bounded(trace, bound)) {
      fail(describe(lib, in) + "under the host's bound " + std::to_string(bound) + " the trace is " +
           sm_test::show(again) + ", not " + sm_test::show(sm_test::bounded(trace, bound)));
    }
    if (*lib.txt_length != bound) fail(describe(lib, in) + "the host's bound was changed");
  }
  check_buffers(lib, in, b);

  // A third call for the routines that never open a window, inside one the
  // host opened, whose start node lies in the list the call frees: the
  // window covers the whole search, so each position is recorded once.
  if (!r.windows) {
    b.reset(in);
    lib.set_txt_length(-1);
    lib.start_pruning_duplicates();
    lib.trace(in.host % 4);
    std::vector<int32_t> once;
    for (int32_t p : trace) {
      if (std::find(once.begin(), once.end(), p) == once.end()) once.push_back(p);
    }
    const std::vector<int32_t> windowed = call(lib, in, b);
    lib.stop_pruning_duplicates();
    if (windowed != once) {
      fail(describe(lib, in) + "inside the host's window the trace is " + sm_test::show(windowed) +
           ", not " + sm_test::show(once));
    }
    check_buffers(lib, in, b);
  }
}

}  // namespace library_road
}  // namespace sm_fuzz
