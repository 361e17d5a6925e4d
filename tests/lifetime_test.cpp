// Lifetimes of what a library hands a host: ten thousand calls in a row leave
// nothing behind but the last trace, and the list returned by a call stays
// valid and unchanged until the host calls into that library again.
#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/library.h"
#include "support/routines.h"

#if SM_SANITIZED
// From the sanitizer runtime (g++ installs no header for them).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
extern "C" int __lsan_do_recoverable_leak_check();
#endif

namespace sm_test {
namespace {

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
const std::vector<Input>& inputs() {
  static const std::vector<Input> cases = {
      {"abcab", "cabdcabcababcab"},
      {"abcdefghijklmnopqrstuvwxyab", "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyab"},
  };
  return cases;
}

// One text buffer per input, with room for every routine (n + m + 2 bytes).
std::vector<char> buffer_for(const Input& in) {
  std::vector<char> buffer(in.text.begin(), in.text.end());
  buffer.resize(in.text.size() + in.pattern.size() + 2, '\0');
  return buffer;
}

TEST(Lifetime, TenThousandCallsKeepOnlyTheLastTrace) {
  constexpr int kCalls = 10000;
  for (const Routine* r : built_routines()) {
    Library lib(library_path(r->library));
    auto entry = lib.fn<EntryFn>(r->library);
    std::vector<std::vector<char>> buffers;
    for (const auto& in : inputs()) buffers.push_back(buffer_for(in));
    auto call = [&](int k) {
      const Input& in = inputs()[static_cast<size_t>(k) % inputs().size()];
      auto& buffer = buffers[static_cast<size_t>(k) % inputs().size()];
      return entry(in.pattern.data(), static_cast<int32_t>(in.pattern.size()), buffer.data(),
                   static_cast<int32_t>(in.text.size()));
    };
    // Warm up: the library's one-off allocations (e.g. the index of long
    // pruning windows) happen here.
    for (int k = 0; k < 100; ++k) ASSERT_NE(call(k), nullptr) << r->library;
    const size_t before = heap_in_use();
    const Node* last = nullptr;
    for (int k = 0; k < kCalls; ++k) last = call(k);
    const size_t after = heap_in_use();
    // The same input ended both runs, so its trace is the same size; a leak
    // of even one small block per call would be 160 KB here.
    EXPECT_LE(after, before + 1024) << r->library << ": " << after - before << " bytes more after "
                                    << kCalls << " calls";
    EXPECT_EQ(walk(last), walk(lib.global<Node*>("trace_first"))) << r->library;
  }
#if SM_SANITIZED
  // Everything still allocated is reachable: the last traces hang off the
  // libraries' globals.
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

struct Snapshot {
  std::vector<const Node*> nodes;
  std::vector<int32_t> positions;
  const Node* first;
  const Node* current;
  bool operator==(const Snapshot& other) const {
    return nodes == other.nodes && positions == other.positions && first == other.first &&
           current == other.current;
  }
};

Snapshot snapshot(const Library& lib, const Node* head) {
  Snapshot s;
  for (const Node* node = head; node != nullptr; node = node->next) {
    s.nodes.push_back(node);
    s.positions.push_back(node->position);
  }
  s.first = lib.global<Node*>("trace_first");
  s.current = lib.global<Node*>("trace_current");
  return s;
}

bool exports(const Library& lib, const char* name) {
  try {
    lib.raw(name);
    return true;
  } catch (const std::runtime_error&) {
    return false;
  }
}

// The exports that record nothing: the preprocessing, MAX and MIN, and the
// recording settings (which change how later reads are recorded, not the list).
void call_non_recording_exports(const Library& lib) {
  const std::string x = "abcab";
  std::vector<int32_t> table(128 * 128, 0);
  using Pre = void (*)(const char*, int32_t, int32_t*);
  for (const char* pre : {"preMp", "preBmBc", "preBrBc"}) {
    if (exports(lib, pre)) lib.fn<Pre>(pre)(x.data(), 5, table.data());
  }
  EXPECT_EQ(lib.fn<int32_t (*)(int32_t, int32_t)>("MAX")(2, 9), 9);
  EXPECT_EQ(lib.fn<int32_t (*)(int32_t, int32_t)>("MIN")(2, 9), 2);
  int32_t& txt_length = lib.global<int32_t>("txt_length");
  const int32_t kept_length = txt_length;
  const int kept_window = lib.global<int>("prune_duplicates");
  lib.fn<void (*)(int32_t)>("set_txt_length")(3);
  lib.fn<void (*)()>("start_pruning_duplicates")();
  lib.fn<void (*)()>("stop_pruning_duplicates")();
  lib.fn<void (*)(int32_t)>("set_txt_length")(kept_length);
  if (kept_window) lib.fn<void (*)()>("start_pruning_duplicates")();
}

TEST(Lifetime, ListStaysUntilTheNextCallIntoThatLibrary) {
  std::vector<std::unique_ptr<Library>> libs;
  const auto built = built_routines();
  for (const Routine* r : built) libs.push_back(std::make_unique<Library>(library_path(r->library)));
  const std::string pattern = "abab";
  for (size_t k = 0; k < libs.size(); ++k) {
    const Library& lib = *libs[k];
    std::vector<char> text = buffer_for({pattern, "ccabaabab"});
    const Node* head = lib.fn<EntryFn>(built[k]->library)(pattern.data(), 4, text.data(), 9);
    ASSERT_NE(head, nullptr) << built[k]->library;
    const Snapshot before = snapshot(lib, head);
    // Calls into every other library, several times over.
    for (int round = 0; round < 3; ++round) {
      for (size_t other = 0; other < libs.size(); ++other) {
        if (other == k) continue;
        libs[other]->search(built[other]->library, "abcab", "cabdcabcababcab");
      }
    }
    call_non_recording_exports(lib);
    EXPECT_TRUE(snapshot(lib, head) == before) << built[k]->library;
    // The next entry call replaces it.
    EXPECT_FALSE(lib.search(built[k]->library, pattern, "abab").empty());
    EXPECT_NE(lib.global<Node*>("trace_first"), nullptr);
  }
}

TEST(Lifetime, AWindowTheHostLeftOpenOutlivesTheListItStartedIn) {
  // Morris-Pratt never opens a window, so one the host opened stays open
  // across its calls. The next call frees the list that holds the window's
  // start node; the window must then start again with the call's own first
  // recording rather than walk the freed nodes.
  Library lib(library_path("morris_pratt"));
  lib.fn<void (*)()>("start_pruning_duplicates")();
  for (int call = 0; call < 3; ++call) {
    EXPECT_EQ(lib.search("morris_pratt", "aab", "aaab"), (std::vector<int32_t>{0, 1, 2, 3})) << call;
  }
  lib.fn<void (*)()>("stop_pruning_duplicates")();
  EXPECT_EQ(lib.search("morris_pratt", "aab", "aaab"), (std::vector<int32_t>{0, 1, 2, 2, 3}));
}

}  // namespace
}  // namespace sm_test
