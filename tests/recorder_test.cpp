// The trace recorder, exercised through a built library's exported functions
// and globals, as a host would.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/library.h"
#include "support/process.h"

namespace sm_test {
namespace {

class Recorder : public ::testing::Test {
 protected:
  Recorder() : lib_(library_path("morris_pratt")) {
    set_txt_length = lib_.fn<smtrace_set_txt_length_fn>("set_txt_length");
    start = lib_.fn<smtrace_window_fn>("start_pruning_duplicates");
    stop = lib_.fn<smtrace_window_fn>("stop_pruning_duplicates");
    trace = lib_.fn<smtrace_record_fn>("trace");
    trace_add = lib_.fn<smtrace_record_fn>("trace_add");
    trace_get = lib_.fn<smtrace_trace_get_fn>("trace_get");
    trace_memcmp = lib_.fn<smtrace_trace_memcmp_fn>("trace_memcmp");
    trace_new = lib_.fn<smtrace_trace_list_fn>("trace_new");
    trace_print = lib_.fn<smtrace_trace_list_fn>("trace_print");
    // Every test starts from the process-start state.
    trace_new();
    stop();
    set_txt_length(-1);
    global<trace_node*>("prune_from_trace") = nullptr;
  }
  template <typename T>
  T& global(const char* name) {
    return lib_.global<T>(name);
  }
  std::vector<int32_t> recorded() { return walk(global<trace_node*>("trace_first")); }
  std::string printed() {
    return run_child([this] {
             trace_print();
             return 0;
           })
        .out;
  }

  Library lib_;
  smtrace_set_txt_length_fn set_txt_length;
  smtrace_window_fn start;
  smtrace_window_fn stop;
  smtrace_record_fn trace;
  smtrace_record_fn trace_add;
  smtrace_trace_get_fn trace_get;
  smtrace_trace_memcmp_fn trace_memcmp;
  smtrace_trace_list_fn trace_new;
  smtrace_trace_list_fn trace_print;
};

TEST_F(Recorder, FiltersInTheStatedOrder) {
  struct Step {
    const char* call;
    int32_t arg;
    std::vector<int32_t> after;
  };
  const std::vector<Step> steps = {
      {"start", 0, {}},        {"trace", 3, {3}},          {"trace", 4, {3, 4}},
      {"trace", 3, {3, 4}},    {"trace", 12, {3, 4}},      {"trace", -1, {3, 4}},
      {"stop", 0, {3, 4}},     {"trace", 3, {3, 4, 3}},    {"start", 0, {3, 4, 3}},
      {"trace", 3, {3, 4, 3, 3}}, {"trace", 3, {3, 4, 3, 3}},
  };
  set_txt_length(10);
  for (const auto& step : steps) {
    const std::string call = step.call;
    if (call == "start") start();
    if (call == "stop") stop();
    if (call == "trace") trace(step.arg);
    EXPECT_EQ(recorded(), step.after) << call << "(" << step.arg << ")";
  }
  EXPECT_EQ(printed(), "3 4 3 3 \n");
}

TEST_F(Recorder, WindowStateFollowsTheGlobals) {
  start();
  EXPECT_EQ(global<smtrace_prune_duplicates_t>("prune_duplicates"), 1);
  EXPECT_EQ(global<trace_node*>("prune_from_trace"), nullptr);
  trace(5);
  trace_node* first = global<trace_node*>("prune_from_trace");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->position, 5);
  trace(6);
  EXPECT_EQ(global<trace_node*>("prune_from_trace"), first);
  stop();
  EXPECT_EQ(global<smtrace_prune_duplicates_t>("prune_duplicates"), 0);
  EXPECT_EQ(global<trace_node*>("prune_from_trace"), first);  // kept, but no longer searched
  EXPECT_EQ(global<trace_node*>("trace_current")->position, 6);
}

TEST_F(Recorder, BoundOfZeroOrLessIsNoBound) {
  struct Case {
    int32_t bound;
    int32_t position;
    bool recorded;
  };
  const std::vector<Case> cases = {
      {-1, 7, true},   {0, 5, true},    {0, 100, true},  {6, 5, true},
      {6, 6, false},   {6, 7, false},   {-1, -1, false}, {0, -5, false},
      {-7, 2147483647, true},
  };
  for (const auto& c : cases) {
    trace_new();
    set_txt_length(c.bound);
    trace(c.position);
    EXPECT_EQ(recorded().size(), c.recorded ? 1u : 0u)
        << "bound " << c.bound << ", position " << c.position;
  }
  EXPECT_EQ(global<smtrace_txt_length_t>("txt_length"), -7);
}

TEST_F(Recorder, NegativePositionNeverRecordedEvenInAWindow) {
  start();
  trace(-3);
  EXPECT_EQ(recorded(), std::vector<int32_t>{});
  EXPECT_EQ(global<trace_node*>("prune_from_trace"), nullptr);
  trace(2);
  EXPECT_EQ(global<trace_node*>("prune_from_trace")->position, 2);
}

TEST_F(Recorder, TraceAddAppliesNoFilter) {
  set_txt_length(3);
  start();
  trace(1);
  trace_add(1);
  trace_add(-4);
  trace_add(99);
  EXPECT_EQ(recorded(), (std::vector<int32_t>{1, 1, -4, 99}));
  EXPECT_EQ(printed(), "1 1 -4 99 \n");
}

TEST_F(Recorder, MemcmpRecordsBeforeComparing) {
  struct Case {
    int32_t bound;
    const char* a;
    const char* b;
    int32_t len;
    int32_t position;
    int result;
    std::vector<int32_t> trace;
  };
  const std::vector<Case> cases = {
      {-1, "abcd", "abxd", 4, 2, 1, {2, 3, 4}},
      {4, "abcd", "abcd", 4, 2, 0, {2, 3}},
      {-1, "abcd", "abcd", 4, 0, 0, {0, 1, 2, 3}},
      {-1, "xbcd", "abcd", 4, 7, 1, {7}},
      {-1, "ab", "ab", 0, 0, 0, {}},
      {-1, "ab", "xy", -1, 0, 0, {}},
      {-1, "ab", "ab", 2, -1, 0, {0}},
  };
  for (const auto& c : cases) {
    trace_new();
    set_txt_length(c.bound);
    EXPECT_EQ(trace_memcmp(c.a, c.b, c.len, c.position), c.result) << c.a << " vs " << c.b;
    EXPECT_EQ(recorded(), c.trace) << c.a << " vs " << c.b;
  }
}

TEST_F(Recorder, MemcmpWithAnEmptyLengthReadsNothing) {
  // Null buffers: a read would crash.
  EXPECT_EQ(trace_memcmp(nullptr, nullptr, 0, 3), 0);
  EXPECT_EQ(trace_memcmp(nullptr, nullptr, -5, 3), 0);
  EXPECT_TRUE(recorded().empty());
}

TEST_F(Recorder, MemcmpInsideAWindowDoesNotRecordAgain) {
  start();
  trace(5);
  trace(6);
  EXPECT_EQ(trace_memcmp("ab", "ax", 2, 5), 1);
  EXPECT_EQ(recorded(), (std::vector<int32_t>{5, 6}));
}

TEST_F(Recorder, RestartedWindowForgetsTheOldOne) {
  start();
  trace(4);
  stop();
  start();
  trace(4);
  trace(4);
  EXPECT_EQ(recorded(), (std::vector<int32_t>{4, 4}));
}

TEST_F(Recorder, TraceGetReturnsTheByteEvenWhenDropped) {
  const char text[] = "ab\xc8z";
  set_txt_length(2);
  EXPECT_EQ(trace_get(text, 0), 'a');
  EXPECT_EQ(trace_get(text, 2), static_cast<signed char>(0xc8));  // dropped: at the bound
  EXPECT_EQ(trace_get(text, 3), 'z');
  EXPECT_EQ(recorded(), std::vector<int32_t>{0});
}

TEST_F(Recorder, TraceNewEmptiesAndKeepsTheSettings) {
  trace_new();
  EXPECT_EQ(global<trace_node*>("trace_first"), nullptr);
  EXPECT_EQ(global<trace_node*>("trace_current"), nullptr);
  set_txt_length(9);
  start();
  trace(1);
  trace(2);
  trace_new();
  EXPECT_EQ(global<trace_node*>("trace_first"), nullptr);
  EXPECT_EQ(global<trace_node*>("trace_current"), nullptr);
  EXPECT_EQ(global<smtrace_txt_length_t>("txt_length"), 9);
  EXPECT_EQ(global<smtrace_prune_duplicates_t>("prune_duplicates"), 1);
  trace_add(8);
  EXPECT_EQ(recorded(), std::vector<int32_t>{8});
  EXPECT_EQ(global<trace_node*>("trace_current")->position, 8);
}

TEST_F(Recorder, LongWindowsPruneExactlyLikeShortOnes) {
  // A model of the window: every node appended since the window's first
  // recording, whatever appended it. Long windows, repeats, unfiltered
  // appends, a bound that changes and a window that restarts all have to
  // give the same trace as the model.
  std::vector<int32_t> model;
  size_t window_from = 0;
  bool open = false, started = false;
  int32_t bound = -1;
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int32_t>((seed >> 8) % range);
  };
  auto model_trace = [&](int32_t p) {
    if (p < 0 || (bound > 0 && p >= bound)) return;
    if (open && started) {
      for (size_t i = window_from; i < model.size(); ++i) {
        if (model[i] == p) return;
      }
    }
    model.push_back(p);
    if (open && !started) {
      started = true;
      window_from = model.size() - 1;
    }
  };
  for (int round = 0; round < 40000; ++round) {
    const int32_t action = next(1000);
    if (action < 2) {
      start();
      open = true;
      started = false;
    } else if (action < 3) {
      stop();
      open = false;
    } else if (action < 4) {
      bound = next(3) == 0 ? -1 : 1 + next(6000);
      set_txt_length(bound);
    } else if (action < 10) {
      const int32_t p = next(7000) - 10;
      trace_add(p);
      model.push_back(p);
    } else {
      const int32_t p = action < 500 ? static_cast<int32_t>(model.size() % 6000) : next(6000);
      trace(p);
      model_trace(p);
    }
  }
  EXPECT_EQ(recorded(), model);
}

TEST_F(Recorder, WindowOfManyPositionsPrunesRepeats) {
  set_txt_length(300000);
  start();
  std::vector<int32_t> expected;
  for (int32_t p = 0; p < 300000; p += 3) {
    trace(p);
    trace(p);
    expected.push_back(p);
    if (p % 2 == 0) trace(p / 2);  // recorded earlier in the window only when a multiple of 3
    if (p % 2 == 0 && (p / 2) % 3 != 0) expected.push_back(p / 2);
  }
  // Later windows start afresh.
  start();
  trace(0);
  expected.push_back(0);
  EXPECT_EQ(recorded(), expected);
}

TEST_F(Recorder, WindowsOfEveryLengthDropTheirRepeats) {
  // Around the length at which the check moves from walking the window to
  // the bitmap, with and without a bound: repeats of the last node, of the
  // first and of every other node are dropped, and so is a position that
  // trace_add appended inside the window.
  for (int32_t bound : {-1, 1000}) {
    for (int32_t length : {1, 2, 15, 16, 17, 40}) {
      trace_new();
      set_txt_length(bound);
      trace(100);  // before the window: never suppresses
      start();
      std::vector<int32_t> expected = {100};
      for (int32_t k = 0; k < length; ++k) {
        trace(100 + k);
        expected.push_back(100 + k);
      }
      trace(100 + length - 1);
      for (int32_t k = length - 1; k >= 0; --k) trace(100 + k);
      trace_add(5);
      trace(5);
      trace(6);
      trace(6);
      expected.insert(expected.end(), {5, 6});
      EXPECT_EQ(recorded(), expected) << "bound " << bound << ", window of " << length;
      stop();
    }
  }
}

TEST_F(Recorder, PrintsOneBlankAfterEachPositionAndANewline) {
  EXPECT_EQ(printed(), "\n");
  for (int32_t position : {0, 7, 10, 2147483647}) trace_add(position);
  trace_add(-2147483647 - 1);
  EXPECT_EQ(printed(), "0 7 10 2147483647 -2147483648 \n");
}

TEST_F(Recorder, PrintsALongTraceExactlyAsPrintfWould) {
  std::string expected;
  char digits[16];
  for (int32_t position = 0; position < 200000; position += 7) {
    trace_add(position);
    std::snprintf(digits, sizeof digits, "%d ", position);
    expected += digits;
  }
  expected += "\n";
  EXPECT_EQ(printed(), expected);
}

}  // namespace
}  // namespace sm_test
