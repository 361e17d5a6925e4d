// What a host may rely on from each library's routine, as one table: the
// shortest pattern it searches, the room it needs past the text, and which
// recording settings it touches. The robustness tests and the fuzz targets
// are written once over this table.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sm_test {

// The room a routine may use past the text (the text-buffer contract).
enum class Room {
  kZeroByte,       // n + 1: the zero byte at n, read by nobody or at most read
  kLookAhead,      // n + 2: reads y[n], writes a zero at y[n + 1]
  kPatternLength,  // n + m: writes m copies of the last pattern character at n
};

struct Routine {
  const char* library;     // lib<library>.so, whose entry function has the same name
  const char* routine;     // the exported search routine
  bool refuses_high_pattern;  // a pattern byte >= 128 ends the process with a refusal
  int32_t min_m;           // the shortest pattern its contract asks for (limit 4)
  bool sets_txt_length;    // sets txt_length to n (otherwise a host's bound applies)
  bool windows;            // opens a pruning window per attempt
  bool may_record_n;       // may record position n (a comparison stopped at the zero byte)
  int32_t look_ahead;      // how far past the window of the occurrence it may read
  Room room;
};

// All the libraries a host can load. libturbo_reverse_factor.so is the
// host-library build of the Turbo Reverse Factor program's units.
inline const std::vector<Routine>& routines() {
  static const std::vector<Routine> table = {
      // library                routine    refuses min_m sets   windows n?     ahead room
      {"turbo_reverse_factor", "TRF",     true,   0,    false, false, false, 0, Room::kZeroByte},
      {"morris_pratt",         "MP",      false,  0,    true,  false, false, 0, Room::kZeroByte},
      {"not_so_naive",         "NSN",     false,  2,    true,  true,  false, 0, Room::kZeroByte},
      {"raita",                "RAITA",   true,   1,    true,  true,  false, 0, Room::kZeroByte},
      {"tuned_bm",             "TUNEDBM", true,   1,    true,  true,  false, 0, Room::kPatternLength},
      {"berry_ravindran",      "BR",      true,   1,    true,  true,  false, 1, Room::kLookAhead},
      {"skip_search",          "SKIP",    true,   1,    false, false, true,  0, Room::kZeroByte},
  };
  return table;
}

inline const Routine* find_routine(const std::string& library) {
  for (const auto& r : routines()) {
    if (library == r.library) return &r;
  }
  return nullptr;
}

// The libraries of the table that this build made (SM_LIB_DIR).
inline std::vector<const Routine*> built_routines() {
  std::vector<const Routine*> built;
  for (const auto& r : routines()) {
    const std::string path = std::string(SM_LIB_DIR) + "/lib" + r.library + ".so";
    if (access(path.c_str(), R_OK) == 0) built.push_back(&r);
  }
  return built;
}

// The size of a text buffer that meets the routine's contract exactly: the
// text, the zero byte at n, and the room the routine writes into.
inline size_t contract_size(const Routine& r, int32_t m, int32_t n) {
  const size_t text = n > 0 ? static_cast<size_t>(n) : 0;
  switch (r.room) {
    case Room::kZeroByte:
      return text + 1;
    case Room::kLookAhead:
      return text + 2;
    case Room::kPatternLength:
      return text + (m > 1 ? static_cast<size_t>(m) : 1);
  }
  return text + 1;
}

// True when the routine searches this pattern at all (rather than refusing it
// or treating it as outside its contract).
inline bool refuses(const Routine& r, const std::string& pattern) {
  if (!r.refuses_high_pattern) return false;
  for (unsigned char c : pattern) {
    if (c >= 128) return true;
  }
  return false;
}

}  // namespace sm_test
