// smtrace's pages as processes write them: explain --html and compare --html
// (what the pages do in a browser is tests/browser's part).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "include/smtrace_explain.h"
#include "support/process.h"

namespace sm_test {
namespace {

const std::vector<std::string> kAlgorithms = {
    "turbo_reverse_factor", "morris_pratt", "not_so_naive", "raita",
    "tuned_bm", "berry_ravindran", "skip_search"};

Outcome smtrace(std::vector<std::string> args) {
  args.insert(args.begin(), SMTRACE_TOOL);
  return run_with_stderr(args);
}

std::string describe(const std::vector<std::string>& args) {
  std::string out = "smtrace";
  for (const auto& arg : args) out += " '" + arg + "'";
  return out;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

size_t occurrences(const std::string& haystack, const std::string& needle) {
  size_t count = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/smtrace_page_test.XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~Scratch() { std::filesystem::remove_all(path_); }
  std::string path(const std::string& name) const { return path_ + "/" + name; }
  bool empty() const { return std::filesystem::is_empty(path_); }

 private:
  std::string path_;
};

// The explaining library, loaded as a host loads it, for the JSON that
// explain --json must print as it is.
class Explainer {
 public:
  Explainer() : handle_(dlopen((std::string(SM_LIB_DIR) + "/libsmtrace.so").c_str(), RTLD_NOW)) {
    if (handle_ == nullptr) throw std::runtime_error(dlerror());
    explain_ = reinterpret_cast<decltype(explain_)>(dlsym(handle_, "smtrace_explain"));
    json_ = reinterpret_cast<decltype(json_)>(dlsym(handle_, "smtrace_explanation_json"));
    free_ = reinterpret_cast<decltype(free_)>(dlsym(handle_, "smtrace_explanation_free"));
    free_memory_ = reinterpret_cast<decltype(free_memory_)>(dlsym(handle_, "smtrace_free"));
  }
  ~Explainer() { dlclose(handle_); }
  std::string json(const std::string& algorithm, const std::string& x, const std::string& y) {
    smtrace_explanation* e = nullptr;
    EXPECT_EQ(explain_(algorithm.c_str(), x.data(), static_cast<int32_t>(x.size()), y.data(),
                       static_cast<int32_t>(y.size()), &e),
              SMTRACE_OK);
    char* text = json_(e);
    std::string out = text;
    free_memory_(text);
    free_(e);
    return out;
  }

 private:
  void* handle_;
  int (*explain_)(const char*, const char*, int32_t, const char*, int32_t, smtrace_explanation**);
  char* (*json_)(const smtrace_explanation*);
  void (*free_)(smtrace_explanation*);
  void (*free_memory_)(void*);
};

// A page stands alone: one document, its style and script inline, nothing it
// could fetch, and its data unable to end the script element early.
void expect_self_contained(const std::string& page, const std::string& where) {
  EXPECT_EQ(page.rfind("<!DOCTYPE html>\n", 0), 0u) << where;
  EXPECT_NE(page.find("Content-Security-Policy\" content=\"default-src 'none'"), std::string::npos)
      << where;
  for (const char* reference : {"http:", "https:", "src=", "href=", "@import", "url(", "<link",
                                "<iframe", "<img", "fetch(", "XMLHttpRequest"}) {
    EXPECT_EQ(page.find(reference), std::string::npos) << where << ": " << reference;
  }
  EXPECT_EQ(occurrences(page, "<script"), 2u) << where;
  EXPECT_EQ(occurrences(page, "</script"), 2u) << where;
  EXPECT_EQ(occurrences(page, "<style"), 1u) << where;
  EXPECT_EQ(page.substr(page.size() - 8), "</html>\n") << where;
}

TEST(SmtracePage, ExplainJsonIsTheLibrarysOwn) {
  Explainer explainer;
  for (const auto& algorithm : kAlgorithms) {
    for (const auto& [x, y] : std::vector<std::pair<std::string, std::string>>{
             {"abab", "ccabaabab"}, {"GATTACA", "TAGACCATTACAGATTACTAGATTACA"}, {"a", ""}}) {
      const std::vector<std::string> args = {"explain", algorithm, x, y, "--json"};
      Outcome got = smtrace(args);
      EXPECT_EQ(got.status, 0) << describe(args);
      EXPECT_EQ(got.err, "") << describe(args);
      EXPECT_EQ(got.out, explainer.json(algorithm, x, y)) << describe(args);
    }
  }
}

TEST(SmtracePage, ExplainHtmlWritesOneSelfContainedPage) {
  Scratch scratch;
  for (const auto& algorithm : kAlgorithms) {
    for (const auto& [x, y] : std::vector<std::pair<std::string, std::string>>{
             {"abab", "ccabaabab"},
             {"", "abc"},
             // markup in the operands stays data
             {"</script>", "a</script><b>&amp;</script>"},
             {"a b", "xa \x7f\x01""a b"}}) {
      const std::string path = scratch.path(algorithm + ".html");
      const std::vector<std::string> args = {"explain", algorithm, x, y, "--html", path};
      Outcome got = smtrace(args);
      EXPECT_EQ(got.status, 0) << describe(args) << got.err;
      EXPECT_EQ(got.out, "") << describe(args);
      EXPECT_EQ(got.err, "") << describe(args);
      expect_self_contained(slurp(path), describe(args));
    }
  }
}

TEST(SmtracePage, ExplainHtmlWithJsonDoesBoth) {
  Scratch scratch;
  Explainer explainer;
  const std::string path = scratch.path("page.html");
  Outcome got = smtrace({"explain", "raita", "abab", "ccabaabab", "--json", "--html", path});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.out, explainer.json("raita", "abab", "ccabaabab"));
  expect_self_contained(slurp(path), "explain --json --html");
}

TEST(SmtracePage, CompareHtmlKeepsItsOutputAndWritesThePage) {
  Scratch scratch;
  for (const std::vector<std::string>& extra :
       {std::vector<std::string>{}, {"--json"}, {"--svg", scratch.path("plot.svg")}}) {
    std::vector<std::string> plain = {"compare", "abab", "ccabaabab"};
    plain.insert(plain.end(), extra.begin(), extra.end());
    std::vector<std::string> with_page = plain;
    with_page.insert(with_page.end(), {"--html", scratch.path("compare.html")});
    Outcome want = smtrace(plain);
    Outcome got = smtrace(with_page);
    EXPECT_EQ(got.status, want.status) << describe(with_page);
    EXPECT_EQ(got.out, want.out) << describe(with_page);
    EXPECT_EQ(got.err, "") << describe(with_page);
    const std::string page = slurp(scratch.path("compare.html"));
    expect_self_contained(page, describe(with_page));
    EXPECT_NE(page.find("\"mode\":\"compare\""), std::string::npos);
    for (const auto& algorithm : kAlgorithms) {
      EXPECT_NE(page.find("\"algorithm\":\"" + algorithm + "\""), std::string::npos) << algorithm;
    }
  }
  // Refusing routines are named with the reason, the others explained.
  Outcome got = smtrace({"compare", "a\xc8", "xa\xc8", "--html", scratch.path("refused.html")});
  EXPECT_EQ(got.status, 0) << got.err;
  const std::string page = slurp(scratch.path("refused.html"));
  EXPECT_EQ(occurrences(page, "outside the 7-bit alphabet\"}"), 5u);
  EXPECT_EQ(occurrences(page, "\"readCount\":"), 2u);
}

TEST(SmtracePage, PagesGrowByFewBytesPerRead) {
  Scratch scratch;
  // a text of 64 KiB whose search reads most of it
  std::string text;
  uint32_t state = 12345;
  for (int i = 0; i < (1 << 16); ++i) {
    state = state * 1103515245u + 12345u;
    text += "ACGT"[(state >> 16) & 3];
  }
  std::ofstream(scratch.path("text"), std::ios::binary) << text;
  std::ofstream(scratch.path("empty"), std::ios::binary) << "";
  const std::string empty = scratch.path("empty.html");
  ASSERT_EQ(smtrace({"explain", "raita", "GATTACAGATTACA", "--text-file", scratch.path("empty"),
                     "--html", empty})
                .status,
            0);
  const size_t base = slurp(empty).size() + (text.size() + 2) / 3 * 4;
  Explainer explainer;
  for (const auto& algorithm : kAlgorithms) {
    const std::string path = scratch.path(algorithm + ".html");
    Outcome got = smtrace({"explain", algorithm, "GATTACAGATTACA", "--text-file",
                           scratch.path("text"), "--html", path});
    ASSERT_EQ(got.status, 0) << got.err;
    Outcome json = smtrace({"explain", algorithm, "GATTACAGATTACA", "--text-file",
                            scratch.path("text"), "--json"});
    const size_t at = json.out.find("\"reads\":") + 8;
    const double reads = std::stod(json.out.substr(at, json.out.find(',', at) - at));
    ASSERT_GT(reads, 10000) << algorithm;
    EXPECT_LE((slurp(path).size() - base) / reads, 16.0) << algorithm;
  }
}

struct PageError {
  std::vector<std::string> args;
  int status;
  std::string err;  // the first line of standard error
};

TEST(SmtracePage, ErrorsLeaveNothingAtThePath) {
  Scratch scratch;
  const std::string page = scratch.path("page.html");
  const std::vector<PageError> cases = {
      {{"run", "raita", "a", "b", "--html", page}, 2, "smtrace: run takes no --html"},
      {{"run", "raita", "a", "b", "--html", page}, 2, "smtrace: run takes no --html"},
      {{"explain", "raita", "a", "b", "--svg", page}, 2, "smtrace: explain takes no --svg"},
      {{"explain", "raita", "a", "--html", page}, 2,
       "smtrace: explain takes the operands ALGORITHM PATTERN TEXT; 2 given"},
      {{"explain", "raita", "a", "b", "--html", page, "--html", page}, 2,
       "smtrace: --html is given twice"},
      {{"explain", "raita", "a", "b", "--html="}, 2, "smtrace: --html needs a non-empty path"},
      {{"explain", "boyer_moore", "a", "b", "--html", page}, 3,
       "smtrace: unknown algorithm \"boyer_moore\"; the algorithms are turbo_reverse_factor, "
       "morris_pratt, not_so_naive, raita, tuned_bm, berry_ravindran, skip_search"},
      {{"explain", "raita", "\xc8", "b", "--html", page}, 6,
       "smtrace: raita refuses the pattern: pattern byte 0 is \\xc8, outside the 7-bit alphabet"},
      {{"explain", "raita", "--text-file", scratch.path("none"), "a", "--html", page}, 5,
       "smtrace: cannot read the text file " + scratch.path("none") +
           ": No such file or directory"},
      {{"explain", "raita", "a", "b", "--html", scratch.path("no/dir/page.html")}, 7,
       "smtrace: cannot write the HTML file " + scratch.path("no/dir/page.html") +
           ": No such file or directory"},
      {{"compare", "a", "b", "--html", scratch.path("no/dir/page.html")}, 7,
       "smtrace: cannot write the HTML file " + scratch.path("no/dir/page.html") +
           ": No such file or directory"},
  };
  for (const auto& c : cases) {
    Outcome got = smtrace(c.args);
    EXPECT_EQ(got.status, c.status) << describe(c.args);
    EXPECT_EQ(got.err.substr(0, got.err.find('\n')), c.err) << describe(c.args);
    EXPECT_TRUE(scratch.empty()) << describe(c.args);
  }
}

}  // namespace
}  // namespace sm_test
