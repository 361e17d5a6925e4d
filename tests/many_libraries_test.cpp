// Every library loaded into one process at once, with RTLD_LOCAL and again
// with RTLD_GLOBAL: they all export the same names, yet calls interleaved
// between them show that each keeps its own trace, txt_length and window.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/cases.h"
#include "support/library.h"
#include "support/process.h"
#include "support/routines.h"

namespace sm_test {
namespace {

// One search per library, each with a text of its own length.
struct Loaded {
  const Routine* routine;
  std::unique_ptr<Library> lib;
  std::string pattern, text;
  std::vector<char> buffer;
  std::vector<int32_t> alone;  // the trace the library gives in a process of its own
  const Node* head = nullptr;

  void call() {
    buffer.assign(text.begin(), text.end());
    buffer.resize(text.size() + pattern.size() + 2, '\0');
    head = lib->fn<EntryFn>(routine->library)(pattern.data(), static_cast<int32_t>(pattern.size()),
                                              buffer.data(), static_cast<int32_t>(text.size()));
  }
  int32_t& txt_length() const { return lib->global<int32_t>("txt_length"); }
  int& window() const { return lib->global<int>("prune_duplicates"); }
};

std::vector<int32_t> parse_trace(const std::string& line) {
  std::vector<int32_t> trace;
  std::istringstream in(line);
  for (int32_t p; in >> p;) trace.push_back(p);
  return trace;
}

// The host program loads the library alone in a fresh process.
std::vector<int32_t> alone(const Routine& r, const std::string& pattern, const std::string& text) {
  Outcome got = run({SM_HOST, library_path(r.library), "entry", r.library, pattern, text});
  EXPECT_EQ(got.status, 0) << r.library;
  return parse_trace(got.out);
}

std::vector<Loaded> load_all(int mode) {
  std::vector<Loaded> all;
  int k = 0;
  for (const Routine* r : built_routines()) {
    Loaded l;
    l.routine = r;
    l.lib = std::make_unique<Library>(library_path(r->library), mode);
    l.pattern = "abab";
    l.text = std::string(static_cast<size_t>(k++), 'c') + "ccabaabab";
    l.alone = alone(*r, l.pattern, l.text);
    // The state of a fresh process, whatever an earlier load left.
    l.lib->fn<void (*)()>("trace_new")();
    l.lib->fn<void (*)()>("stop_pruning_duplicates")();
    l.lib->fn<void (*)(int32_t)>("set_txt_length")(-1);
    all.push_back(std::move(l));
  }
  return all;
}

// Every list handed out so far is still the library's own, unchanged.
void expect_lists_intact(const std::vector<Loaded>& all, const char* when) {
  for (const auto& l : all) {
    if (l.head == nullptr) continue;
    EXPECT_EQ(walk(l.head), l.alone) << l.routine->library << " " << when;
    EXPECT_EQ(l.lib->global<Node*>("trace_first"), l.head) << l.routine->library << " " << when;
  }
}

void interleave(int mode) {
  std::vector<Loaded> all = load_all(mode);
  ASSERT_FALSE(all.empty());
  // Each library's state is its own object, even under RTLD_GLOBAL.
  std::set<const void*> states;
  for (const auto& l : all) states.insert(&l.lib->global<Node*>("trace_first"));
  EXPECT_EQ(states.size(), all.size());
  for (int round = 0; round < 3; ++round) {
    for (auto& l : all) {
      // The routines that never set txt_length keep a host's bound; this one
      // lies past every text and so leaves the trace whole.
      if (!l.routine->sets_txt_length) l.txt_length() = 1000 + round;
      l.call();
      expect_lists_intact(all, "after a call into another library");
    }
  }
  for (const auto& l : all) {
    const int32_t n = static_cast<int32_t>(l.text.size());
    EXPECT_EQ(l.txt_length(), l.routine->sets_txt_length ? n : 1002) << l.routine->library;
    // Every search found its occurrence: the routines with windows leave
    // the last attempt's window open, the others never open one.
    EXPECT_EQ(l.window(), l.routine->windows ? 1 : 0) << l.routine->library;
  }

  // Settings changed through one library's exports stay in that library.
  for (auto& changed : all) {
    std::vector<int32_t> lengths;
    std::vector<int> windows;
    for (const auto& l : all) {
      lengths.push_back(l.txt_length());
      windows.push_back(l.window());
    }
    changed.lib->fn<void (*)(int32_t)>("set_txt_length")(7);
    changed.lib->fn<void (*)()>("stop_pruning_duplicates")();
    for (size_t k = 0; k < all.size(); ++k) {
      if (&all[k] == &changed) continue;
      EXPECT_EQ(all[k].txt_length(), lengths[k]) << all[k].routine->library << " after setting "
                                                  << changed.routine->library;
      EXPECT_EQ(all[k].window(), windows[k]) << all[k].routine->library << " after closing "
                                             << changed.routine->library << "'s window";
    }
    changed.lib->fn<void (*)()>("start_pruning_duplicates")();
    for (size_t k = 0; k < all.size(); ++k) {
      if (&all[k] != &changed) {
        EXPECT_EQ(all[k].window(), windows[k]) << all[k].routine->library;
      }
    }
    EXPECT_EQ(changed.window(), 1);
    changed.lib->fn<void (*)()>("stop_pruning_duplicates")();
    changed.lib->fn<void (*)(int32_t)>("set_txt_length")(lengths[static_cast<size_t>(&changed - &all[0])]);
  }
  expect_lists_intact(all, "after changing settings");

  // A window is honoured only by the library it was opened in: Morris-Pratt
  // never opens one, so a window the host opened in it drops its repeated
  // reads, while windows open everywhere else change nothing.
  for (auto& l : all) {
    if (std::string(l.routine->routine) != "MP") continue;
    for (auto& other : all) other.lib->fn<void (*)()>("start_pruning_duplicates")();
    l.lib->fn<void (*)()>("stop_pruning_duplicates")();
    EXPECT_EQ(l.lib->search(l.routine->library, "aab", "aaab"), (std::vector<int32_t>{0, 1, 2, 2, 3}));
    l.lib->fn<void (*)()>("start_pruning_duplicates")();
    EXPECT_EQ(l.lib->search(l.routine->library, "aab", "aaab"), (std::vector<int32_t>{0, 1, 2, 3}));
    for (auto& other : all) other.lib->fn<void (*)()>("stop_pruning_duplicates")();
  }

  // A host's bound on a routine that never sets txt_length applies in that
  // library only.
  for (auto& l : all) {
    if (l.routine->sets_txt_length) continue;
    for (auto& other : all) other.lib->fn<void (*)(int32_t)>("set_txt_length")(-1);
    l.lib->fn<void (*)(int32_t)>("set_txt_length")(5);
    std::vector<int32_t> expected;
    for (int32_t p : l.alone) {
      if (p < 5) expected.push_back(p);
    }
    l.call();
    EXPECT_EQ(walk(l.head), expected) << l.routine->library;
    l.lib->fn<void (*)(int32_t)>("set_txt_length")(-1);
    l.call();
    EXPECT_EQ(walk(l.head), l.alone) << l.routine->library;
  }
}

TEST(ManyLibraries, LoadedLocally) { interleave(RTLD_NOW | RTLD_LOCAL); }

TEST(ManyLibraries, LoadedGlobally) { interleave(RTLD_NOW | RTLD_GLOBAL); }

}  // namespace
}  // namespace sm_test
