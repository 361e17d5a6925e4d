// The explaining host library's interface beyond the worked examples:
// refusals and odd inputs, the JSON text and its escapes, the pages, the
// names of the enumerations, the trace-list helpers, the exported symbols,
// and a process shared with every deliverable under RTLD_GLOBAL.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/explanation.h"
#include "support/explanation_json.h"
#include "support/process.h"

namespace sm_test {
namespace {

// One worked example per algorithm, with the trace its deliverable gives.
struct Known {
  const char* algorithm;
  const char* pattern;
  const char* text;
  std::vector<int32_t> trace;
};

const std::vector<Known>& known() {
  static const std::vector<Known> all = {
      {"turbo_reverse_factor", "aab", "bbaaaabb", {2, 1, 4, 3, 2, 5, 4, 6}},
      {"morris_pratt", "abab", "abacabab", {0, 1, 2, 3, 3, 3, 4, 5, 6, 7}},
      {"not_so_naive", "abc", "xabxabc", {1, 2, 3, 4, 5, 6, 4}},
      {"raita", "abab", "ccabaabab", {3, 0, 5, 6, 3, 8, 5, 7, 6}},
      {"tuned_bm", "abab", "ccabaabab", {3, 0, 5, 6, 3, 8, 5, 6, 7}},
      {"berry_ravindran", "abcab", "cabdcabcab", {0, 5, 6, 2, 7, 8, 5, 6, 7, 8, 9}},
      {"skip_search", "abab", "ccabaabab", {3, 0, 2, 3, 4, 5, 7, 5, 6, 7, 8}},
  };
  return all;
}

class ExplainInterface : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { api_ = new Explainer(); }
  static void TearDownTestSuite() {
    delete api_;
    api_ = nullptr;
  }
  const Explainer& api() const { return *api_; }
  static Explainer* api_;
};
Explainer* ExplainInterface::api_ = nullptr;

// A refusing routine is not run on a pattern byte of 128 or more: the call
// fails with SMTRACE_REFUSED, hands out no explanation, prints nothing, and
// the process goes on (the deliverable itself would end it). Checked in a
// child, whose output and status are the process's whole story.
TEST_F(ExplainInterface, RefusingRoutinesRefuseHighPatternBytes) {
  const std::vector<std::string> patterns = {"\xc8", "ab\x80",
                                             "\xff"
                                             "abc",
                                             "a\x80"
                                             "b",
                                             std::string("\0\x81", 2)};
  const std::vector<std::string> texts = {"abcab\xc8", ""};
  for (const Algorithm& a : algorithms()) {
    if (!a.refuses_8bit) continue;
    const Outcome got = run_child([&] {
      int wrong = 0;
      for (const auto& x : patterns) {
        for (const auto& y : texts) {
          smtrace_explanation* out = nullptr;
          const int status = api().explain(a.name, x.data(), static_cast<int32_t>(x.size()),
                                           y.data(), static_cast<int32_t>(y.size()), &out);
          smtrace_counts counts{};
          int32_t occurrence = 0;
          const int summary =
              api().summarize(a.name, x.data(), static_cast<int32_t>(x.size()), y.data(),
                              static_cast<int32_t>(y.size()), &counts, &occurrence);
          if (status != SMTRACE_REFUSED || out != nullptr || summary != SMTRACE_REFUSED) ++wrong;
        }
      }
      return wrong;
    });
    EXPECT_EQ(got.status, 0) << a.name << ": calls not refused";
    EXPECT_EQ(got.out, "") << a.name;
  }
}

// The routines that compare bytes only for equality take any pattern byte.
TEST_F(ExplainInterface, OtherRoutinesSearchHighPatternBytes) {
  const std::vector<std::pair<std::string, std::string>> inputs = {{"\xc8\xc9", "a\xc8\xc8\xc9"},
                                                                   {"\xff", "ab\xff"},
                                                                   {"a\x80",
                                                                    "\x80"
                                                                    "a\x80"},
                                                                   {"\x90\x90", "\x90x\x90"}};
  for (const Algorithm& a : algorithms()) {
    if (a.refuses_8bit) continue;
    Deliverable lib(a);
    for (const auto& input : inputs) {
      const std::vector<int32_t> trace = lib.trace(input.first, input.second);
      const Explained e(api(), a.name, input.first, input.second);
      ASSERT_EQ(e.status, SMTRACE_OK) << a.name;
      EXPECT_EQ(check_explanation(a, input.first, input.second, *e, &trace), "") << a.name;
      EXPECT_EQ(check_json(api(), *e, e.json()), "") << a.name;
    }
  }
}

TEST_F(ExplainInterface, UnknownAlgorithmsAreRefused) {
  const char* const names[] = {"",        "RAITA",   "Raita", "raita ",        " raita",
                               "raita\n", "smtrace", "TRF",   "turbo_reverse", "skip_searches",
                               nullptr};
  for (const char* name : names) {
    const Explained e(api(), name, "ab", "abab");
    EXPECT_EQ(e.status, SMTRACE_UNKNOWN_ALGORITHM) << (name == nullptr ? "(null)" : name);
    EXPECT_EQ(e.get(), nullptr);
    smtrace_counts counts{};
    int32_t occurrence = 0;
    EXPECT_EQ(api().summarize(name, "ab", 2, "abab", 4, &counts, &occurrence),
              SMTRACE_UNKNOWN_ALGORITHM);
  }
}

TEST_F(ExplainInterface, NegativeLengthsAndMissingBuffersAreBadLengths) {
  struct Lengths {
    const char* x;
    int32_t m;
    const char* y;
    int32_t n;
  };
  const Lengths bad[] = {{"ab", -1, "abab", 4},        {"ab", 2, "abab", -1},
                         {"ab", INT32_MIN, "abab", 4}, {"ab", 2, "abab", INT32_MIN},
                         {"ab", -2, "abab", -3},       {nullptr, 2, "abab", 4},
                         {"ab", 2, nullptr, 4},        {nullptr, 1, nullptr, 1}};
  for (const Algorithm& a : algorithms()) {
    for (const Lengths& l : bad) {
      const Explained e(api(), a.name, l.x, l.m, l.y, l.n);
      EXPECT_EQ(e.status, SMTRACE_BAD_LENGTH) << a.name << " m " << l.m << ", n " << l.n;
      EXPECT_EQ(e.get(), nullptr);
      smtrace_counts counts{};
      int32_t occurrence = 0;
      EXPECT_EQ(api().summarize(a.name, l.x, l.m, l.y, l.n, &counts, &occurrence),
                SMTRACE_BAD_LENGTH)
          << a.name;
    }
    // No buffer is needed where nothing is to be read.
    const Explained none(api(), a.name, nullptr, 0, nullptr, 0);
    EXPECT_EQ(none.status, SMTRACE_OK) << a.name;
  }
}

// A Turbo Reverse Factor pattern whose automaton would not fit the store's
// 32-bit counts (256 (m + 2) edges): the deliverable ends the process with
// "Pattern too large."; the explaining library fails the call instead,
// before building anything.
TEST_F(ExplainInterface, TurboReverseFactorPatternTooLongForItsAutomaton) {
  const int32_t longest = INT32_MAX / 256 - 2;
  const std::string x(static_cast<size_t>(longest) + 1, 'a');
  const Outcome got = run_child([&] {
    const Explained e(api(), "turbo_reverse_factor", x, "aaaa");
    smtrace_counts counts{};
    int32_t occurrence = 0;
    const int summary =
        api().summarize("turbo_reverse_factor", x.data(), static_cast<int32_t>(x.size()), "aaaa", 4,
                        &counts, &occurrence);
    return e.status == SMTRACE_BAD_LENGTH && e.get() == nullptr && summary == SMTRACE_BAD_LENGTH
               ? 0
               : 1;
  });
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.out, "");
}

// An empty pattern, an empty text, both, and a text shorter than the
// pattern: only Morris-Pratt reads anything of the first (position 0, once,
// in one attempt that ends with the empty occurrence at 0).
TEST_F(ExplainInterface, EmptyPatternsAndEmptyTexts) {
  for (const Algorithm& a : algorithms()) {
    Deliverable lib(a);
    const std::vector<std::pair<std::string, std::string>> inputs = {
        {"", "abc"}, {"", ""}, {"ab", ""}, {"a", ""}, {"abc", "ab"}, {"abcd", "a"}};
    for (const auto& input : inputs) {
      const std::string& x = input.first;
      const std::string& y = input.second;
      SCOPED_TRACE(std::string(a.name) + ": \"" + x + "\" in \"" + y + "\"");
      const std::vector<int32_t> trace = lib.trace(x, y);
      const Explained e(api(), a.name, x, y);
      ASSERT_EQ(e.status, SMTRACE_OK);
      EXPECT_EQ(check_explanation(a, x, y, *e, &trace), "");
      EXPECT_EQ(check_summary(api(), a.name, x, y, *e), "");
      EXPECT_EQ(check_json(api(), *e, e.json()), "");
      if (y.empty() || (x.empty() && !is(a, "morris_pratt"))) {
        EXPECT_EQ(e->read_count, 0);
        EXPECT_EQ(e->attempt_count, 0);
        EXPECT_EQ(e->occurrence, -1);
      }
    }
    const Explained e(api(), a.name, "", "abc");
    ASSERT_EQ(e.status, SMTRACE_OK);
    if (is(a, "morris_pratt")) {
      ASSERT_EQ(e->read_count, 1);
      EXPECT_EQ(e->reads[0].position, 0);
      EXPECT_EQ(e->reads[0].role, SMTRACE_ROLE_COMPARE);
      EXPECT_EQ(e->reads[0].pattern_index, -1);
      EXPECT_EQ(e->reads[0].result, SMTRACE_RESULT_NONE);
      ASSERT_EQ(e->attempt_count, 1);
      EXPECT_STREQ(e->attempts[0].outcome, "occurrence");
      EXPECT_EQ(e->attempts[0].shift_source, nullptr);
      EXPECT_EQ(e->occurrence, 0);
    }
  }
}

// Whatever the host's own settings in a deliverable loaded beside it, an
// explanation is that of a fresh process.
TEST_F(ExplainInterface, DeliverableSettingsDoNotReachTheExplanation) {
  for (const Known& k : known()) {
    const Algorithm& a = algorithm(k.algorithm);
    Deliverable lib(a);
    lib.call(k.pattern, k.text);
    lib.set_txt_length(3);
    lib.start_window();
    const Explained e(api(), a.name, k.pattern, k.text);
    ASSERT_EQ(e.status, SMTRACE_OK);
    EXPECT_EQ(recorded_positions(*e), k.trace) << a.name;
    EXPECT_EQ(lib.txt_length, 3) << a.name;
    EXPECT_EQ(lib.prune_duplicates, 1) << a.name;
    lib.stop_window();
    lib.set_txt_length(-1);
  }
}

// The JSON text escapes every byte outside printable ASCII as \u00XX, and
// the quote and the backslash with a backslash; it parses, and decodes to
// the explanation's own bytes.
TEST_F(ExplainInterface, JsonEscapesEveryNonPrintableByte) {
  const std::string pattern("\x01\"\\\xc8", 4);
  const std::string text("a\x01\"\\\xc8\x7f\n\t b\x00", 11);
  const Explained e(api(), "morris_pratt", pattern, text + pattern);
  ASSERT_EQ(e.status, SMTRACE_OK);
  const std::string json = e.json();
  EXPECT_EQ(check_json(api(), *e, json), "");
  std::string lower = json;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* escape :
       {"\\u0001", "\\u00c8", "\\u007f", "\\u000a", "\\u0009", "\\u0000", "\\\"", "\\\\"}) {
    EXPECT_NE(lower.find(escape), std::string::npos)
        << "no " << escape << " in " << json.substr(0, 300);
  }
  // The text field, exactly.
  EXPECT_NE(lower.find("\"text\":\"a\\u0001\\\"\\\\\\u00c8\\u007f\\u000a\\u0009 "
                       "b\\u0000\\u0001\\\"\\\\\\u00c8\""),
            std::string::npos)
      << json.substr(0, 300);

  // Table keys hold bytes too (\xNN inside the key, then escaped again).
  const std::string x(
      "\x01"
      "a\x7f",
      3);
  const Explained keyed(api(), "raita", x,
                        std::string("zz\x01"
                                    "a\x7f",
                                    5));
  ASSERT_EQ(keyed.status, SMTRACE_OK);
  const std::string keyed_json = keyed.json();
  EXPECT_EQ(check_json(api(), *keyed, keyed_json), "");
  EXPECT_NE(keyed_json.find("\"\\\\x01\":"), std::string::npos) << keyed_json.substr(0, 400);

  EXPECT_EQ(api().json(nullptr), nullptr);
}

TEST_F(ExplainInterface, JsonOfEveryWorkedExample) {
  for (const Known& k : known()) {
    const Explained e(api(), k.algorithm, k.pattern, k.text);
    ASSERT_EQ(e.status, SMTRACE_OK);
    const std::string json = e.json();
    EXPECT_EQ(check_json(api(), *e, json), "") << k.algorithm;
    EXPECT_EQ(json.back(), '\n') << k.algorithm;
  }
}

TEST_F(ExplainInterface, NamesOfTheEnumerations) {
  EXPECT_STREQ(api().role_name(SMTRACE_ROLE_COMPARE), "compare");
  EXPECT_STREQ(api().role_name(SMTRACE_ROLE_LOOK_AHEAD), "look-ahead");
  EXPECT_STREQ(api().role_name(SMTRACE_ROLE_PROBE), "probe");
  EXPECT_STREQ(api().role_name(SMTRACE_ROLE_EDGE), "edge");
  EXPECT_EQ(api().dropped_name(SMTRACE_RECORDED), nullptr);
  EXPECT_STREQ(api().dropped_name(SMTRACE_DROPPED_REPEAT), "repeat");
  EXPECT_STREQ(api().dropped_name(SMTRACE_DROPPED_BOUND), "bound");
  EXPECT_EQ(api().result_name(SMTRACE_RESULT_NONE), nullptr);
  EXPECT_STREQ(api().result_name(SMTRACE_RESULT_MATCH), "match");
  EXPECT_STREQ(api().result_name(SMTRACE_RESULT_MISMATCH), "mismatch");
  EXPECT_STREQ(api().result_name(SMTRACE_RESULT_EDGE), "edge");
  EXPECT_STREQ(api().result_name(SMTRACE_RESULT_NO_EDGE), "no edge");
  for (int outside : {-1, 4, 99, INT_MIN}) EXPECT_EQ(api().role_name(outside), nullptr) << outside;
  for (int outside : {-1, 3, 99, INT_MIN}) {
    EXPECT_EQ(api().dropped_name(outside), nullptr) << outside;
  }
  for (int outside : {-1, 5, 99, INT_MIN}) {
    EXPECT_EQ(api().result_name(outside), nullptr) << outside;
  }
}

// A page from the library, taken over; "(null)" when none was made.
std::string page_of(const Explainer& api, char* page) {
  if (page == nullptr) return "(null)";
  std::string copy(page);
  api.free(page);
  return copy;
}

// What the built tool writes with --html, and its status.
std::string tool_page(const std::vector<std::string>& arguments) {
  char directory[] = "/tmp/explain_interface_page.XXXXXX";
  if (mkdtemp(directory) == nullptr) return "(no directory)";
  const std::string path = std::string(directory) + "/page.html";
  std::vector<std::string> argv = {SMTRACE_TOOL};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  argv.insert(argv.end(), {"--html", path});
  const Outcome got = run(argv);
  std::ifstream in(path, std::ios::binary);
  std::ostringstream page;
  page << in.rdbuf();
  std::filesystem::remove_all(directory);
  return got.status == 0 ? page.str() : "(status " + std::to_string(got.status) + ")";
}

// smtrace_explanation_html is the page of smtrace explain --html, byte for
// byte, and smtrace_compare_html that of compare --html.
TEST_F(ExplainInterface, PagesAreTheToolsPages) {
  for (const Known& k : known()) {
    const Explained e(api(), k.algorithm, k.pattern, k.text);
    ASSERT_EQ(e.status, SMTRACE_OK) << k.algorithm;
    const std::string page = page_of(api(), api().html(e.get()));
    EXPECT_EQ(page.rfind("<!DOCTYPE html>\n", 0), 0u) << k.algorithm;
    EXPECT_EQ(page, tool_page({"explain", k.algorithm, k.pattern, k.text})) << k.algorithm;
  }
  const std::vector<std::pair<std::string, std::string>> inputs = {
      {"abab", "ccabaabab"}, {"aab", "bbaaaabb"}, {"a", ""}, {"xyz", "xyxyxyz"}};
  for (const auto& [pattern, text] : inputs) {
    std::vector<std::unique_ptr<Explained>> all;
    std::vector<const smtrace_explanation*> pointers;
    for (const Algorithm& a : algorithms()) {
      all.push_back(std::make_unique<Explained>(api(), a.name, pattern, text));
      ASSERT_EQ(all.back()->status, SMTRACE_OK) << a.name;
      pointers.push_back(all.back()->get());
    }
    EXPECT_EQ(page_of(api(), api().compare_html(pointers.data(),
                                                static_cast<int32_t>(pointers.size()), nullptr,
                                                nullptr, 0)),
              tool_page({"compare", pattern, text}))
        << pattern << " in " << text;
  }
}

// The compare page names the refused algorithms with their reasons, escaped
// for the page's data block, after the searches; the arrays are checked.
TEST_F(ExplainInterface, ComparePageArguments) {
  const Explained raita(api(), "raita", "ab", "cab");
  const Explained mp(api(), "morris_pratt", "ab", "cab");
  const smtrace_explanation* both[] = {raita.get(), mp.get()};
  const char* names[] = {"skip_search", "tuned_bm"};
  const char* reasons[] = {"it said </script> & left", "no"};
  const std::string page = page_of(api(), api().compare_html(both, 2, names, reasons, 2));
  EXPECT_NE(page.find("{\"algorithm\":\"skip_search\",\"reason\":"
                      "\"it said \\u003c/script\\u003e \\u0026 left\"}"),
            std::string::npos);
  EXPECT_EQ(page.find("</script> &"), std::string::npos);
  EXPECT_LT(page.find("\"algorithm\":\"raita\""), page.find("\"algorithm\":\"morris_pratt\""));
  EXPECT_LT(page.find("\"algorithm\":\"morris_pratt\""), page.find("\"algorithm\":\"skip_search\""));

  const std::string empty = page_of(api(), api().compare_html(nullptr, 0, nullptr, nullptr, 0));
  EXPECT_NE(empty.find("\"patternLength\":0,\"textLength\":0"), std::string::npos);
  EXPECT_NE(empty.find("\"searches\":[],\"refused\":[]"), std::string::npos);

  const smtrace_explanation* with_null[] = {raita.get(), nullptr};
  const char* null_name[] = {nullptr};
  struct Bad {
    const char* what;
    char* page;
  };
  const Bad bad[] = {
      {"negative count", api().compare_html(both, -1, nullptr, nullptr, 0)},
      {"negative refused count", api().compare_html(both, 2, names, reasons, -1)},
      {"no explanations array", api().compare_html(nullptr, 1, nullptr, nullptr, 0)},
      {"a null explanation", api().compare_html(with_null, 2, nullptr, nullptr, 0)},
      {"no names array", api().compare_html(both, 2, nullptr, reasons, 1)},
      {"no reasons array", api().compare_html(both, 2, names, nullptr, 1)},
      {"a null name", api().compare_html(both, 2, null_name, reasons, 1)},
      {"a null explanation for explain", api().html(nullptr)},
  };
  for (const Bad& b : bad) EXPECT_EQ(page_of(api(), b.page), "(null)") << b.what;
}

// smtrace_trace_length and smtrace_copy_trace on a deliverable's list.
TEST_F(ExplainInterface, TraceListHelpers) {
  for (const Known& k : known()) {
    Deliverable lib(algorithm(k.algorithm));
    const trace_node* head = lib.call(k.pattern, k.text);
    const auto length = static_cast<int64_t>(k.trace.size());
    EXPECT_EQ(api().trace_length(head), length) << k.algorithm;
    std::vector<int32_t> all(k.trace.size() + 2, -7);
    EXPECT_EQ(api().copy_trace(head, all.data(), static_cast<int64_t>(all.size())), length);
    EXPECT_EQ(std::vector<int32_t>(all.begin(), all.begin() + length), k.trace) << k.algorithm;
    EXPECT_EQ(all[k.trace.size()], -7) << "written past the trace";
    std::vector<int32_t> some(4, -7);
    EXPECT_EQ(api().copy_trace(head, some.data(), 3), length);
    EXPECT_EQ(some, (std::vector<int32_t>{k.trace[0], k.trace[1], k.trace[2], -7})) << k.algorithm;
    // The list is still the library's, unchanged.
    EXPECT_EQ(Deliverable::walk(head), k.trace);
  }
  EXPECT_EQ(api().trace_length(nullptr), 0);
  int32_t untouched = -7;
  EXPECT_EQ(api().copy_trace(nullptr, &untouched, 1), 0);
  EXPECT_EQ(untouched, -7);
}

// The library exports exactly the functions of its header, all prefixed.
TEST(ExplainLibrary, ExportsExactlyItsInterface) {
  const std::set<std::string> expected = {
      "smtrace_explain",          "smtrace_explanation_free", "smtrace_summarize",
      "smtrace_explanation_json", "smtrace_explanation_html", "smtrace_compare_html",
      "smtrace_free",             "smtrace_role_name",        "smtrace_dropped_name",
      "smtrace_result_name",      "smtrace_trace_length",     "smtrace_copy_trace"};
  const Outcome got =
      run({"/bin/sh", "-c", "nm -D --defined-only '" + lib_dir_path("libsmtrace.so") + "'"});
  ASSERT_EQ(got.status, 0);
  std::set<std::string> names;
  std::istringstream lines(got.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string address, kind, name;
    if (!(fields >> address >> kind >> name)) continue;
    // AddressSanitizer adds an ODR indicator beside every instrumented global.
    if (SM_SANITIZED && name.rfind("__odr_asan", 0) == 0) continue;
    names.insert(name);
  }
  EXPECT_EQ(names, expected);
}

// libsmtrace.so and all seven deliverables in one process, every one loaded
// with RTLD_GLOBAL, in both orders: each deliverable gives its own trace,
// keeps its list and its settings across an explanation, and every
// explanation records the deliverable's trace. In a child, so that the
// global loading stays out of the test process.
std::string share_one_process(bool explainer_first) {
  std::string problems;
  std::unique_ptr<Explainer> api;
  if (explainer_first) api = std::make_unique<Explainer>(RTLD_NOW | RTLD_GLOBAL);
  std::vector<std::unique_ptr<Deliverable>> libs;
  for (const Known& k : known()) {
    libs.push_back(std::make_unique<Deliverable>(algorithm(k.algorithm), RTLD_NOW | RTLD_GLOBAL));
  }
  if (!explainer_first) api = std::make_unique<Explainer>(RTLD_NOW | RTLD_GLOBAL);

  std::vector<const trace_node*> heads;
  for (size_t k = 0; k < known().size(); ++k) {
    const trace_node* head = libs[k]->call(known()[k].pattern, known()[k].text);
    if (Deliverable::walk(head) != known()[k].trace) {
      problems += std::string(known()[k].algorithm) + ": trace; ";
    }
    libs[k]->set_txt_length(static_cast<int32_t>(50 + k));
    heads.push_back(head);
  }
  for (int round = 0; round < 2; ++round) {
    for (size_t k = 0; k < known().size(); ++k) {
      const Known& ex = known()[k];
      const Explained e(*api, ex.algorithm, ex.pattern, ex.text);
      if (e.status != SMTRACE_OK || recorded_positions(*e) != ex.trace) {
        problems += std::string(ex.algorithm) + ": explanation; ";
      }
    }
    for (size_t k = 0; k < known().size(); ++k) {
      if (Deliverable::walk(heads[k]) != known()[k].trace) {
        problems += std::string(known()[k].algorithm) + ": list changed; ";
      }
      if (libs[k]->txt_length != static_cast<int32_t>(50 + k)) {
        problems += std::string(known()[k].algorithm) + ": txt_length; ";
      }
    }
  }
  for (size_t k = 0; k < known().size(); ++k) {
    if (libs[k]->trace(known()[k].pattern, known()[k].text) != known()[k].trace) {
      problems += std::string(known()[k].algorithm) + ": trace after the explanations; ";
    }
  }
  return problems;
}

TEST(ExplainLibrary, SharesAProcessWithEveryDeliverableUnderRtldGlobal) {
  for (bool explainer_first : {true, false}) {
    const Outcome got = run_child([&] {
      const std::string problems = share_one_process(explainer_first);
      std::printf("%s", problems.c_str());
      std::fflush(stdout);
      return problems.empty() ? 0 : 1;
    });
    EXPECT_EQ(got.status, 0) << (explainer_first ? "libsmtrace.so first: " : "deliverables first: ")
                             << got.out;
    EXPECT_EQ(got.out, "");
  }
}

}  // namespace
}  // namespace sm_test
