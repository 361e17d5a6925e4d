// The one suite over the routine table: every check that is the same for all
// routines, instantiated once per row of the header's table (each test is
// named after the row's library). A row whose library is missing fails here.
//   - the library is built (and the program, for the deliverables that are
//     programs too), and the build makes no library the table lacks;
//   - each routine's worked examples through the entry function, in a
//     generous buffer and in exact ones, and through every command line;
//   - the search properties on generated inputs (support/trace_properties.h):
//     recorded positions in range, a recorded mismatch in every window before
//     the first occurrence, the occurrence read whole and nothing past it
//     but the look-ahead, the routine's shape; the settings a search leaves;
//     the host's bound and window;
//   - the buffer contract: what the routine leaves in its room past the text,
//     and nothing beyond it;
//   - text bytes of 128 or more read as characters the pattern lacks;
//   - 8-bit patterns: refused before anything is read or written, or searched;
//   - empty and negative lengths touch nothing;
//   - lifetimes: many calls keep only the last trace, a list stays until the
//     next call into its library, a window the host left open;
//   - every library in one process, loaded locally and globally.
#include <gtest/gtest.h>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/algorithm.h"
#include "support/generate.h"
#include "support/trace_properties.h"

#if SM_SANITIZED
// From the sanitizer runtime (g++ installs no header for them).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
extern "C" int __lsan_do_recoverable_leak_check();
#endif

namespace sm_test {

// How GoogleTest names a row in its messages.
void PrintTo(const Routine& r, std::ostream* out) { *out << r.library; }

namespace {

// A text block of `size` bytes as a host hands it over: the text, its zero
// byte (where the block has room for it), then `fill`.
std::string untouched(const std::string& y, size_t size, char fill) {
  std::string block(size, fill);
  block.replace(0, y.size(), y);
  if (size > y.size()) block[y.size()] = '\0';
  return block;
}

class EveryRoutine : public ::testing::TestWithParam<Routine>, public RoutineHost {
 protected:
  EveryRoutine() : RoutineHost(GetParam()) {}

  // A search with the pattern in a heap block of exactly m bytes and the
  // text in one of exactly `size` bytes (see untouched). Under
  // AddressSanitizer any access past either fails the run.
  struct Call {
    std::vector<int32_t> trace;
    std::string buffer;  // the text block after the search
  };
  Call call_exact(const std::string& x, const std::string& y, size_t size, char fill = '#') const {
    std::vector<char> pattern(x.begin(), x.end());
    const std::string block = untouched(y, size, fill);
    std::vector<char> text(block.begin(), block.end());
    Call got;
    got.trace = walk(entry()(pattern.data(), static_cast<int32_t>(x.size()), text.data(),
                             static_cast<int32_t>(y.size())));
    got.buffer.assign(text.begin(), text.end());
    return got;
  }
  // The same with the text block the routine's contract asks for, and
  // without the zero byte for a routine that touches nothing past the text.
  Call call_exact(const std::string& x, const std::string& y) const {
    const size_t size = r_.touches_zero_byte()
                            ? buffer_size(r_, static_cast<int32_t>(x.size()), static_cast<int32_t>(y.size()))
                            : y.size();
    return call_exact(x, y, size);
  }
};

std::string row_name(const ::testing::TestParamInfo<Routine>& info) { return info.param.library; }

INSTANTIATE_TEST_SUITE_P(Table, EveryRoutine, ::testing::ValuesIn(routines()), row_name);

// ---------------------------------------------------------------------------
// The build.

TEST_P(EveryRoutine, LibraryAndProgramAreBuilt) {
  EXPECT_EQ(access(library_path(r_.library).c_str(), R_OK), 0) << library_path(r_.library);
  EXPECT_NO_THROW(lib_.raw(r_.library));
  EXPECT_NO_THROW(lib_.raw(r_.routine));
  EXPECT_EQ(access(program_path(r_.library).c_str(), X_OK) == 0, r_.program) << program_path(r_.library);
}

// ---------------------------------------------------------------------------
// The worked examples.

TEST_P(EveryRoutine, WorkedExamplesThroughTheEntry) {
  for (const TraceCase& c : worked_examples(r_)) {
    lib_.fresh();
    // A host's buffer with room to spare for every routine.
    EXPECT_EQ(search(c.pattern, c.text), c.trace) << describe(c);
    // Exact buffers, with the window closed and then open before the search,
    // and a host's txt_length that bounds nothing.
    const auto m = static_cast<int32_t>(c.pattern.size()), n = static_cast<int32_t>(c.text.size());
    const bool found = m > 0 && c.text.find(c.pattern) != std::string::npos;
    for (bool open_before : {false, true}) {
      set_txt_length(-5);
      set_window(open_before);
      const Call got = call_exact(c.pattern, c.text);
      const std::string what = describe(c) + (open_before ? ", window open before" : "");
      EXPECT_EQ(got.trace, open_before && !r_.windows ? without_repeats(c.trace) : c.trace) << what;
      if (m > 0 && r_.touches_zero_byte()) {
        EXPECT_EQ(check_buffer_after(r_, c.pattern, c.text, got.buffer.data(), got.buffer.size(), '#'), "")
            << what;
      } else {
        EXPECT_EQ(got.buffer, untouched(c.text, got.buffer.size(), '#')) << what;
      }
      EXPECT_EQ(txt_length(), r_.sets_txt_length_for(m, n) ? n : -5) << what;
      // A routine with windows opens one per attempt and leaves it open only
      // where the attempt found the pattern; no attempt, no change.
      const int window = r_.windows && !c.trace.empty() ? int{found} : int{open_before};
      EXPECT_EQ(prune_duplicates(), window) << what;
    }
  }
}

TEST_P(EveryRoutine, WorkedExamplesThroughTheCommandLine) {
  expect_traces_through_command_line(worked_examples(r_));
}

// ---------------------------------------------------------------------------
// Generated inputs.

TEST_P(EveryRoutine, SearchPropertiesOnGeneratedInputs) {
  for (const Generated& g : generated_inputs()) {
    lib_.fresh();
    const std::vector<int32_t> trace = call_exact(g.x, g.y).trace;
    ASSERT_EQ(check_search(r_, g.x, g.y, trace), "") << g.what();
    if (g.n > 0 && g.n < g.m) {
      ASSERT_EQ(!trace.empty(), r_.reads_short_texts()) << g.what() << ": a text shorter than the pattern";
    }
    ASSERT_EQ(txt_length(), r_.sets_txt_length_for(g.m, g.n) ? g.n : -1) << g.what();
    ASSERT_EQ(prune_duplicates(), r_.windows && g.p >= 0 ? 1 : 0) << g.what();
  }
}

TEST_P(EveryRoutine, HostSettingsOnGeneratedInputs) {
  // The routines that never set txt_length run under the host's bound, which
  // leaves out exactly the positions at or beyond it; the others set their
  // own. A window the host opened (with its first node in the list that the
  // call frees) lasts the whole search of a routine that opens none, which
  // then records each position once; the others open their own per attempt.
  int32_t k = 0;
  for (const Generated& g : generated_inputs()) {
    lib_.fresh();
    const std::vector<int32_t> trace = call_exact(g.x, g.y).trace;
    const int32_t bound = ++k % (g.n + 2);
    set_txt_length(r_.sets_txt_length ? bound - 1 : bound);
    ASSERT_EQ(call_exact(g.x, g.y).trace, r_.sets_txt_length ? trace : bounded(trace, bound))
        << g.what() << ", host bound " << bound;
    ASSERT_EQ(txt_length(), r_.sets_txt_length ? g.n : bound) << g.what();

    set_txt_length(-1);
    set_window(true);
    lib_.fn<smtrace_record_fn>("trace")(k % 4);
    ASSERT_EQ(call_exact(g.x, g.y).trace, r_.windows ? trace : without_repeats(trace))
        << g.what() << ", host window";
    const int window = r_.windows && !trace.empty() ? int{g.p >= 0} : 1;
    ASSERT_EQ(prune_duplicates(), window) << g.what() << ", host window";
  }
}

TEST_P(EveryRoutine, BufferContract) {
  // Past the room the routine needs come guard bytes: none may change. On
  // the generated inputs and on the worked examples of a pattern.
  constexpr size_t kGuard = 16;
  std::vector<std::pair<std::string, std::string>> inputs;
  for (const Generated& g : generated_inputs()) inputs.emplace_back(g.x, g.y);
  for (const TraceCase& c : worked_examples(r_)) {
    if (!c.pattern.empty()) inputs.emplace_back(c.pattern, c.text);
  }
  for (const auto& [x, y] : inputs) {
    const auto m = static_cast<int32_t>(x.size()), n = static_cast<int32_t>(y.size());
    const Call got = call_exact(x, y, buffer_size(r_, m, n) + kGuard, '#');
    ASSERT_EQ(check_buffer_after(r_, x, y, got.buffer.data(), got.buffer.size(), '#'), "")
        << "pattern \"" << x << "\", text \"" << y << "\"";
  }
}

TEST_P(EveryRoutine, HighTextBytesOnGeneratedTexts) {
  for (const HighBytesCase& c : generated_high_bytes()) {
    ASSERT_EQ(search(c.x, c.y), search(c.x, c.plain)) << c.what();
  }
}

// ---------------------------------------------------------------------------
// Patterns with bytes of 128 or more.

// What a refused call left behind, printed by an exit handler of the child
// that the refusal ends.
const Library* refused_lib = nullptr;
const std::vector<char>* refused_buffer = nullptr;
void report_what_was_left() {
  std::printf("txt_length %d, trace %s, text %s\n", refused_lib->txt_length(),
              refused_lib->trace_first() == nullptr ? "empty" : "recorded",
              std::string(refused_buffer->begin(), refused_buffer->end()).c_str());
}

TEST_P(EveryRoutine, EightBitPatterns) {
  // A refusing routine ends the process with the refusal and exit status 1,
  // on every command line and through the entry function, before anything
  // is read or written: the entry's child process, at its exit, still sees
  // the text length it set, no trace, and its text untouched. The others
  // search such patterns like any other.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\xc8", "abcdefghijklmnopqrstuvwxyz"},
      {"a\x80", "abcdefghijklmnopqrstuvwxyz"},
      {"\xff" "bc", "abcdefghijklmnopqrstuvwxyz"},
      {"abcdefghijklmnopqr\x90", "abcdefghijklmnopqrstuvwxyz"},
      {"a\xc8", "abcabc"},
      {"\x80", "abcabc"},
      {"ab\xff", "abcabc"},
      {"a\xc8" "b", "xxa\xc8" "b"},
      {"\x80", "xxa\xc8" "b"},
      {"abcdefghijklmnopqr\xff", "xxa\xc8" "b"},
  };
  for (const auto& c : cases) {
    const std::string &x = c.first, &y = c.second;
    const std::string what = "pattern \"" + x + "\", text \"" + y + "\"";
    if (!r_.refuses_8bit) {
      const std::vector<int32_t> trace = search(x, y);
      EXPECT_EQ(check_search(r_, x, y, trace), "") << what;
      EXPECT_EQ(call_exact(x, y).trace, trace) << what;
      expect_traces_through_command_line({{x, y, trace}});
      continue;
    }
    for (const auto& [road, got] : command_lines(x, y)) {
      EXPECT_EQ(got.out, kPatternRefusal) << what << " (" << road << ")";
      EXPECT_EQ(got.status, 1) << what << " (" << road << ")";
    }
    // Room after the text for every routine's writes past it.
    std::vector<char> buffer(y.begin(), y.end());
    buffer.resize(y.size() + x.size() + 24, '#');
    Outcome got = run_child([&] {
      set_txt_length(55);
      refused_lib = &lib_;
      refused_buffer = &buffer;
      std::atexit(report_what_was_left);
      entry()(x.data(), static_cast<int32_t>(x.size()), buffer.data(), static_cast<int32_t>(y.size()));
      return 0;
    });
    EXPECT_EQ(got.out, kPatternRefusal + "txt_length 55, trace empty, text " +
                           std::string(buffer.begin(), buffer.end()) + "\n")
        << what;
    EXPECT_EQ(got.status, 1) << what;
  }
}

// ---------------------------------------------------------------------------
// Nothing to search.

// A call with nothing to search: a pattern (null where none may be read) and
// the two lengths.
struct LengthCase {
  const char* pattern;
  int32_t m, n;
};

std::string describe_lengths(const LengthCase& c) {
  return std::string("pattern ") + (c.pattern == nullptr ? "null" : "\"" + std::string(c.pattern) + "\"") +
         ", m " + std::to_string(c.m) + ", n " + std::to_string(c.n);
}

TEST_P(EveryRoutine, EmptyOrNegativeLengthsTouchNothing) {
  // An empty pattern or a negative length: no trace, no byte read (a null
  // pattern or text would fault), none written around the text, and the text
  // length (but where the routine sets it for any text) and the pruning
  // window stay as they were. The exception: a routine whose empty pattern
  // reads position 0 of a non-empty text reads that one byte and no pattern
  // byte.
  const std::vector<LengthCase> cases = {
      {nullptr, 0, 3},  {"", 0, 0},        {nullptr, 0, 0},   {"", 0, -1},   {nullptr, -1, 3},
      {"ab", -1, 3},    {"ab", -7, 2},     {nullptr, INT32_MIN, 3},          {"ab", 2, -1},
      {"ab", 2, -2},    {"ab", 1, -4},     {"a", 1, -1},      {"a", 1, -5},  {nullptr, -1, -1},
      {nullptr, -3, -3}, {nullptr, -5, -5},
  };
  for (const auto& c : cases) {
    const bool reads_first = r_.empty_pattern_reads_first() && c.m == 0 && c.n > 0;
    set_txt_length(55);
    set_window(true);
    const std::string before = "##abc######";
    std::string buffer = before;
    const std::string what = describe_lengths(c);
    EXPECT_EQ(walk(entry()(c.pattern, c.m, &buffer[2], c.n)), reads_first ? std::vector<int32_t>{0}
                                                                          : std::vector<int32_t>{})
        << what;
    EXPECT_EQ(buffer, before) << what;
    if (reads_first) continue;
    EXPECT_EQ(entry()(c.pattern, c.m, nullptr, c.n), nullptr) << what << ", null text";
    EXPECT_EQ(txt_length(), r_.sets_txt_length_for(c.m, c.n) ? c.n : 55) << what;
    EXPECT_EQ(prune_duplicates(), 1) << what;
  }
  expect_traces_through_command_line(
      {{"", "abc", r_.empty_pattern_reads_first() ? std::vector<int32_t>{0} : std::vector<int32_t>{}}});
}

// ---------------------------------------------------------------------------
// Lifetimes of what a library hands a host.

// Bytes of heap in use right now.
size_t heap_in_use() {
#if SM_SANITIZED
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

// A search within the command line's limits, and one with a pattern longer
// than 19 characters, whose tables come from the heap.
struct Input {
  std::string pattern;
  std::string text;
};
const std::vector<Input>& lifetime_inputs() {
  static const std::vector<Input> cases = {
      {"abcab", "cabdcabcababcab"},
      {"abcdefghijklmnopqrstuvwxyab", "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyab"},
  };
  return cases;
}

// A text buffer with room for every routine (n + m + 2 bytes).
std::vector<char> buffer_for(const Input& in) {
  std::vector<char> buffer(in.text.begin(), in.text.end());
  buffer.resize(in.text.size() + in.pattern.size() + 2, '\0');
  return buffer;
}

TEST_P(EveryRoutine, TenThousandCallsKeepOnlyTheLastTrace) {
  constexpr int kCalls = 10000;
  const smtrace_entry_fn entry_fn = entry();
  std::vector<std::vector<char>> buffers;
  for (const auto& in : lifetime_inputs()) buffers.push_back(buffer_for(in));
  auto call = [&](int k) {
    const Input& in = lifetime_inputs()[static_cast<size_t>(k) % lifetime_inputs().size()];
    auto& buffer = buffers[static_cast<size_t>(k) % lifetime_inputs().size()];
    return entry_fn(in.pattern.data(), static_cast<int32_t>(in.pattern.size()), buffer.data(),
                    static_cast<int32_t>(in.text.size()));
  };
  // Warm up: the library's one-off allocations (e.g. the index of long
  // pruning windows) happen here.
  for (int k = 0; k < 100; ++k) ASSERT_NE(call(k), nullptr);
  const size_t before = heap_in_use();
  const trace_node* last = nullptr;
  for (int k = 0; k < kCalls; ++k) last = call(k);
  const size_t after = heap_in_use();
  // The same input ended both runs, so its trace is the same size; a leak
  // of even one small block per call would be 160 KB here.
  EXPECT_LE(after, before + 1024) << after - before << " bytes more after " << kCalls << " calls";
  EXPECT_EQ(walk(last), walk(lib_.trace_first()));
#if SM_SANITIZED
  // Everything still allocated is reachable: the last trace hangs off the
  // library's globals.
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

struct Snapshot {
  std::vector<const trace_node*> nodes;
  std::vector<int32_t> positions;
  const trace_node* first;
  const trace_node* current;
  bool operator==(const Snapshot& other) const {
    return nodes == other.nodes && positions == other.positions && first == other.first &&
           current == other.current;
  }
};

Snapshot snapshot(const Library& lib, const trace_node* head) {
  Snapshot s;
  for (const trace_node* node = head; node != nullptr; node = node->next) {
    s.nodes.push_back(node);
    s.positions.push_back(node->position);
  }
  s.first = lib.trace_first();
  s.current = lib.global<trace_node*>("trace_current");
  return s;
}

// The exports that record nothing: the table preprocessing, MAX and MIN, and
// the recording settings (which change how later reads are recorded, not the
// list).
void call_non_recording_exports(const Routine& r, const Library& lib) {
  const std::string x = "abcab";
  std::vector<int32_t> table(128 * 128, 0);
  using Pre = void (*)(const char*, int32_t, int32_t*);
  for (const char* pre : r.quirks->tables) lib.fn<Pre>(pre)(x.data(), 5, table.data());
  EXPECT_EQ(lib.fn<int32_t (*)(int32_t, int32_t)>("MAX")(2, 9), 9);
  EXPECT_EQ(lib.fn<int32_t (*)(int32_t, int32_t)>("MIN")(2, 9), 2);
  const int32_t kept_length = lib.txt_length();
  const int kept_window = lib.prune_duplicates();
  lib.set_txt_length(3);
  lib.set_window(true);
  lib.set_window(false);
  lib.set_txt_length(kept_length);
  if (kept_window) lib.set_window(true);
}

TEST_P(EveryRoutine, ListStaysUntilTheNextCallIntoThatLibrary) {
  std::vector<std::pair<const Routine*, std::unique_ptr<Library>>> others;
  for (const Routine& other : routines()) {
    if (std::string(other.library) == r_.library) continue;
    others.emplace_back(&other, std::make_unique<Library>(library_path(other.library)));
  }
  const std::string pattern = "abab";
  std::vector<char> text = buffer_for({pattern, "ccabaabab"});
  const trace_node* head = entry()(pattern.data(), 4, text.data(), 9);
  ASSERT_NE(head, nullptr);
  const Snapshot before = snapshot(lib_, head);
  // Calls into every other library, several times over.
  for (int round = 0; round < 3; ++round) {
    for (const auto& [other, lib] : others) lib->search(other->library, "abcab", "cabdcabcababcab");
  }
  call_non_recording_exports(r_, lib_);
  EXPECT_TRUE(snapshot(lib_, head) == before);
  // The next entry call replaces it.
  EXPECT_FALSE(search(pattern, "abab").empty());
  EXPECT_NE(lib_.trace_first(), nullptr);
}

TEST_P(EveryRoutine, AWindowTheHostLeftOpenOutlivesTheListItStartedIn) {
  // The next call frees the list that holds the window's start node; the
  // window must then start again with the call's own first recording rather
  // than walk the freed nodes. A routine that opens no window of its own
  // records each position once under it; the others open their own.
  const std::vector<int32_t> closed = search("aab", "aaab");
  set_window(true);
  for (int call = 0; call < 3; ++call) {
    EXPECT_EQ(search("aab", "aaab"), r_.windows ? closed : without_repeats(closed)) << call;
  }
  set_window(false);
  EXPECT_EQ(search("aab", "aaab"), closed);
}

// ---------------------------------------------------------------------------
// Every library loaded into one process at once, with RTLD_LOCAL and again
// with RTLD_GLOBAL: they all export the same names, yet calls interleaved
// between them show that each keeps its own trace, txt_length and window.

std::vector<int32_t> parse_trace(const std::string& line) {
  std::vector<int32_t> trace;
  std::istringstream in(line);
  for (int32_t p; in >> p;) trace.push_back(p);
  return trace;
}

// The trace the library gives in a fresh process of its own: the host
// program loads it alone.
std::vector<int32_t> alone(const Routine& r, const std::string& pattern, const std::string& text) {
  static std::map<std::tuple<std::string, std::string, std::string>, std::vector<int32_t>> seen;
  const auto key = std::make_tuple(std::string(r.library), pattern, text);
  auto found = seen.find(key);
  if (found != seen.end()) return found->second;
  Outcome got = run({SM_HOST, library_path(r.library), "entry", r.library, pattern, text});
  EXPECT_EQ(got.status, 0) << r.library;
  return seen[key] = parse_trace(got.out);
}

// One search per library, each with a text of its own length.
struct Loaded {
  const Routine* routine;
  std::unique_ptr<Library> lib;
  std::string pattern, text;
  std::vector<char> buffer;
  std::vector<int32_t> alone;  // the trace the library gives in a process of its own
  const trace_node* head = nullptr;

  void call() {
    buffer.assign(text.begin(), text.end());
    buffer.resize(text.size() + pattern.size() + 2, '\0');
    head = lib->fn<smtrace_entry_fn>(routine->library)(pattern.data(), static_cast<int32_t>(pattern.size()),
                                                       buffer.data(), static_cast<int32_t>(text.size()));
  }
};

std::vector<Loaded> load_all(int mode) {
  std::vector<Loaded> all;
  int k = 0;
  for (const Routine& r : routines()) {
    Loaded l;
    l.routine = &r;
    l.lib = std::make_unique<Library>(library_path(r.library), mode);
    l.pattern = "abab";
    l.text = std::string(static_cast<size_t>(k++), 'c') + "ccabaabab";
    l.alone = alone(r, l.pattern, l.text);
    // The state of a fresh process, whatever an earlier load left.
    l.lib->fresh();
    all.push_back(std::move(l));
  }
  return all;
}

// Every list handed out so far is still the library's own, unchanged.
void expect_lists_intact(const std::vector<Loaded>& all, const char* when) {
  for (const auto& l : all) {
    if (l.head == nullptr) continue;
    EXPECT_EQ(walk(l.head), l.alone) << l.routine->library << " " << when;
    EXPECT_EQ(l.lib->trace_first(), l.head) << l.routine->library << " " << when;
  }
}

// The libraries all loaded with `mode`; the checks of one library's own
// settings are about the row under test.
void interleave(const Routine& focus, int mode) {
  std::vector<Loaded> all = load_all(mode);
  // Each library's state is its own object, even under RTLD_GLOBAL.
  std::set<const void*> states;
  for (const auto& l : all) states.insert(&l.lib->global<trace_node*>("trace_first"));
  EXPECT_EQ(states.size(), all.size());
  for (int round = 0; round < 3; ++round) {
    for (auto& l : all) {
      // The routines that never set txt_length keep a host's bound; this one
      // lies past every text and so leaves the trace whole.
      if (!l.routine->sets_txt_length) l.lib->txt_length() = 1000 + round;
      l.call();
      expect_lists_intact(all, "after a call into another library");
    }
  }
  Loaded* mine = nullptr;
  for (auto& l : all) {
    const int32_t n = static_cast<int32_t>(l.text.size());
    EXPECT_EQ(l.lib->txt_length(), l.routine->sets_txt_length ? n : 1002) << l.routine->library;
    // Every search found its occurrence: the routines with windows leave
    // the last attempt's window open, the others never open one.
    EXPECT_EQ(l.lib->prune_duplicates(), l.routine->windows ? 1 : 0) << l.routine->library;
    if (std::string(l.routine->library) == focus.library) mine = &l;
  }
  ASSERT_NE(mine, nullptr);

  // Settings changed through this library's exports stay in it.
  std::vector<int32_t> lengths;
  std::vector<int> windows;
  for (const auto& l : all) {
    lengths.push_back(l.lib->txt_length());
    windows.push_back(l.lib->prune_duplicates());
  }
  const int32_t kept_length = mine->lib->txt_length();
  mine->lib->set_txt_length(7);
  mine->lib->set_window(false);
  for (size_t k = 0; k < all.size(); ++k) {
    if (&all[k] == mine) continue;
    EXPECT_EQ(all[k].lib->txt_length(), lengths[k]) << all[k].routine->library << " after setting it elsewhere";
    EXPECT_EQ(all[k].lib->prune_duplicates(), windows[k]) << all[k].routine->library
                                                          << " after closing a window elsewhere";
  }
  mine->lib->set_window(true);
  for (size_t k = 0; k < all.size(); ++k) {
    if (&all[k] == mine) continue;
    EXPECT_EQ(all[k].lib->prune_duplicates(), windows[k]) << all[k].routine->library;
  }
  EXPECT_EQ(mine->lib->prune_duplicates(), 1);
  mine->lib->set_window(false);
  mine->lib->set_txt_length(kept_length);
  expect_lists_intact(all, "after changing settings");

  // A window is honoured only by the library it was opened in: with windows
  // open everywhere else, this library's searches are its own; with its
  // own open, a routine that never opens one records each position once.
  for (const auto& [x, y] : std::vector<std::pair<std::string, std::string>>{
           {"aab", "aaab"}, {mine->pattern, mine->text}}) {
    const std::vector<int32_t> expected = alone(focus, x, y);
    for (auto& other : all) other.lib->set_window(true);
    mine->lib->set_window(false);
    mine->lib->set_txt_length(-1);
    EXPECT_EQ(mine->lib->search(focus.library, x, y), expected) << x << " in " << y;
    mine->lib->set_window(true);
    EXPECT_EQ(mine->lib->search(focus.library, x, y), focus.windows ? expected : without_repeats(expected))
        << x << " in " << y << ", own window open";
    for (auto& other : all) other.lib->set_window(false);
  }

  // A host's bound applies in this library only, and only where the routine
  // never sets txt_length itself.
  for (auto& other : all) other.lib->set_txt_length(-1);
  mine->lib->set_txt_length(5);
  mine->call();
  EXPECT_EQ(walk(mine->head), focus.sets_txt_length ? mine->alone : bounded(mine->alone, 5));
  for (const auto& l : all) {
    if (&l == mine) continue;
    EXPECT_EQ(l.lib->txt_length(), -1) << l.routine->library;
  }
  mine->lib->set_txt_length(-1);
  mine->call();
  EXPECT_EQ(walk(mine->head), mine->alone);
}

TEST_P(EveryRoutine, AmongEveryLibraryLoadedLocally) { interleave(r_, RTLD_NOW | RTLD_LOCAL); }

TEST_P(EveryRoutine, AmongEveryLibraryLoadedGlobally) { interleave(r_, RTLD_NOW | RTLD_GLOBAL); }

}  // namespace
}  // namespace sm_test
