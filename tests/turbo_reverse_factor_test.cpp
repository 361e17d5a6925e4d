// Turbo Reverse Factor: the reversed pattern, the suffix automaton of it, and
// the search, through the program as a process and through the library's
// entry function.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/algorithm.h"
#include "support/graph.h"

namespace sm_test {
namespace {

const char kName[] = "turbo_reverse_factor";
const std::string k19 = "abcdefghijklmnopqrs";

std::vector<int32_t> descending(int32_t from, int32_t to) {
  std::vector<int32_t> out;
  for (int32_t p = from; p >= to; --p) out.push_back(p);
  return out;
}

std::vector<int32_t> join(std::vector<int32_t> a, const std::vector<int32_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

// The worked examples, checked by the suite over the routine table
// (every_routine_test.cpp) through both ways in: the program and the library.
const std::vector<TraceCase>& turbo_reverse_factor_examples() {
  static const std::vector<TraceCase> cases = {
      {"aab", "bbaaaabb", {2, 1, 4, 3, 2, 5, 4, 6}},  // second and third scans
      {"abab", "abbabaabab", {3, 2, 1, 6, 5, 9, 8, 7}},
      {"abab", "bbbbbbbb", {3, 2, 7, 6}},
      {"aaba", "baaaaa", {3, 2, 1, 5, 4, 3}},  // second scan ends for lack of an edge
      {"abc", "xxabc", {2, 1, 4, 3}},          // remembered position 2 not read again
      {"a", "bba", {0, 1, 2}},
      {"abc", "abcxyz", {2, 1, 0}},  // occurrence at 0
      {"abc", "abc", {2, 1, 0}},
      {"ab", "zbab", {1, 0, 3, 2}},
      {"abc", "ab", {}},  // text shorter than the pattern
      {"abc", "", {}},
      {"", "xyz", {}},  // empty pattern
      {"", "", {}},
      {k19, k19, descending(18, 0)},
      {k19, "z" + k19, join(descending(18, 0), {19})},
  };
  return cases;
}

namespace {

struct Edge {
  char c;
  int32_t target, shift;
  bool operator==(const Edge& o) const { return c == o.c && target == o.target && shift == o.shift; }
};

struct Vertex {
  int32_t length, position, link, terminal;
  std::vector<Edge> edges;
  bool operator==(const Vertex& o) const {
    return length == o.length && position == o.position && link == o.link &&
           terminal == o.terminal && edges == o.edges;
  }
};

std::ostream& operator<<(std::ostream& out, const Vertex& v) {
  out << "{len " << v.length << ", pos " << v.position << ", link " << v.link << ", term "
      << v.terminal << ", edges";
  for (const auto& e : v.edges) out << " " << e.c << ":" << e.target << "," << e.shift;
  return out << "}";
}

class TurboReverseFactor : public AlgorithmTest {
 protected:
  TurboReverseFactor() : AlgorithmTest(kName), store_(lib_) {}

  std::string reversed(const std::string& pattern, int32_t m) {
    char* r = lib_.fn<char* (*)(const char*, int32_t)>("reverse")(pattern.data(), m);
    std::string out(r, static_cast<size_t>(std::max(m, 0)) + 1);
    std::free(r);
    return out;
  }

  // The automaton of the reversed pattern, sized and built as the search does.
  GraphRecord* automaton(const std::string& pattern) {
    const auto m = static_cast<int32_t>(pattern.size());
    GraphRecord* g = store_.ctor("newSuffixAutomaton")(2 * (m + 2), 256 * (m + 2));
    char* r = lib_.fn<char* (*)(const char*, int32_t)>("reverse")(pattern.data(), m);
    lib_.fn<void (*)(const char*, int32_t, GraphRecord*)>("buildSuffixAutomaton")(r, m, g);
    std::free(r);
    return g;
  }
  void release(GraphRecord* g) { store_.free(g); }

  int32_t target(GraphRecord* g, int32_t v, int32_t c) { return store_.edge_get("getTarget", g, v, c); }
  int32_t shift(GraphRecord* g, int32_t v, int32_t c) { return store_.edge_get("getShift", g, v, c); }
  int32_t vertex(const char* getter, GraphRecord* g, int32_t v) { return store_.vertex_get(getter, g, v); }

  // Every vertex slot of the record, read through the accessors.
  std::vector<Vertex> vertices(GraphRecord* g) {
    std::vector<Vertex> out;
    for (int32_t v = 0; v < g->vertexCount; ++v) {
      Vertex row{vertex("getLength", g, v), vertex("getPosition", g, v),
                 vertex("getSuffixLink", g, v), vertex("isTerminal", g, v), {}};
      for (int32_t c = 0; c < 128; ++c) {
        if (target(g, v, c) != -1) row.edges.push_back({static_cast<char>(c), target(g, v, c), shift(g, v, c)});
      }
      out.push_back(row);
    }
    return out;
  }

  Store store_;
};

TEST_F(TurboReverseFactor, ReverseCopiesThePatternBackwards) {
  struct Case { std::string pattern; int32_t m; std::string expected; };
  const std::vector<Case> cases = {
      {"abc", 3, std::string("cba\0", 4)},
      {"abcdef", 3, std::string("cba\0", 4)},  // only m bytes are taken
      {"", 0, std::string("\0", 1)},
      {"ab", -1, std::string("\0", 1)},  // a negative length counts as 0
      {"ab", INT32_MIN, std::string("\0", 1)},
      {std::string("\x01\xff\x00\x80", 4), 4, std::string("\x80\x00\xff\x01\0", 5)},
  };
  for (const auto& c : cases) EXPECT_EQ(reversed(c.pattern, c.m), c.expected) << c.pattern << " " << c.m;
}

struct AutomatonCase {
  std::string pattern;
  int32_t next_vertex;
  std::vector<Vertex> vertices;  // in creation order, from the initial vertex
};

TEST_F(TurboReverseFactor, AutomatonTables) {
  const std::vector<AutomatonCase> cases = {
      {"aab", 6,
       {{0, 0, 1, 1, {{'a', 5, 1}, {'b', 2, 0}}},
        {0, 0, 0, 0, {}},
        {1, 1, 0, 0, {{'a', 3, 0}}},
        {2, 2, 5, 0, {{'a', 4, 0}}},
        {3, 3, 5, 1, {}},
        {1, 2, 0, 1, {{'a', 4, 0}}}}},
      {"abb", 5,
       {{0, 0, 1, 1, {{'a', 4, 2}, {'b', 2, 0}}},
        {0, 0, 0, 0, {}},
        {1, 1, 0, 0, {{'a', 4, 1}, {'b', 3, 0}}},
        {2, 2, 2, 0, {{'a', 4, 0}}},
        {3, 3, 0, 1, {}}}},
      {"a", 3, {{0, 0, 1, 1, {{'a', 2, 0}}}, {0, 0, 0, 0, {}}, {1, 1, 0, 1, {}}}},
      {"aaa", 5,
       {{0, 0, 1, 1, {{'a', 2, 0}}},
        {0, 0, 0, 0, {}},
        {1, 1, 0, 1, {{'a', 3, 0}}},
        {2, 2, 2, 1, {{'a', 4, 0}}},
        {3, 3, 3, 1, {}}}},
      {"", 2, {{0, 0, 1, 1, {}}, {0, 0, 0, 0, {}}}},
  };
  for (const auto& c : cases) {
    GraphRecord* g = automaton(c.pattern);
    EXPECT_EQ(g->nextVertex, c.next_vertex) << c.pattern;
    EXPECT_EQ(g->initial, 0) << c.pattern;
    const std::vector<Vertex> got = vertices(g);
    for (size_t v = 0; v < got.size(); ++v) {
      // Vertices never handed out keep the contents of creation.
      const Vertex expected = v < c.vertices.size() ? c.vertices[v] : Vertex{0, 0, 0, 0, {}};
      EXPECT_EQ(got[v], expected) << c.pattern << ", vertex " << v;
    }
    release(g);
  }
}

TEST_F(TurboReverseFactor, AutomatonOfGeneratedPatterns) {
  for (const std::string& x : generated_patterns(20240611u, 300, 24)) {
    const auto m = static_cast<int32_t>(x.size());
    const std::string r(x.rbegin(), x.rend());
    GraphRecord* g = automaton(x);
    const int32_t init = 0;
    // Reading r itself passes only edges of shift 0 and ends on a terminal
    // vertex of length m.
    int32_t state = init;
    for (char ch : r) {
      const int32_t c = static_cast<unsigned char>(ch);
      ASSERT_NE(target(g, state, c), -1) << x;
      EXPECT_EQ(shift(g, state, c), 0) << x;
      state = target(g, state, c);
    }
    EXPECT_EQ(vertex("isTerminal", g, state), 1) << x;
    EXPECT_EQ(vertex("getLength", g, state), m) << x;
    // Vertex budget: at most 2m, or m + 2 for the shortest patterns.
    EXPECT_LE(g->nextVertex, std::max(2 * m, m + 2)) << x;
    // Every factor of r has a path, which ends where the factor's first
    // occurrence ends, on a terminal vertex exactly for the suffixes.
    for (int32_t from = 0; from < m; ++from) {
      state = init;
      for (int32_t to = from; to < m; ++to) {
        const int32_t c = static_cast<unsigned char>(r[to]);
        ASSERT_NE(target(g, state, c), -1) << x;
        state = target(g, state, c);
        const std::string factor = r.substr(from, to - from + 1);
        const auto first_end = static_cast<int32_t>(r.find(factor) + factor.size());
        EXPECT_EQ(vertex("getPosition", g, state), first_end) << x << " factor " << factor;
        const bool suffix = r.compare(r.size() - factor.size(), factor.size(), factor) == 0;
        EXPECT_EQ(vertex("isTerminal", g, state), suffix ? 1 : 0) << x << " factor " << factor;
      }
    }
    // Every edge carries position(target) - 1 - position(source), never negative.
    for (int32_t v = 0; v < g->nextVertex; ++v) {
      for (int32_t c = 0; c < 128; ++c) {
        const int32_t t = target(g, v, c);
        if (t == -1) continue;
        const int32_t s = shift(g, v, c);
        EXPECT_EQ(s, vertex("getPosition", g, t) - 1 - vertex("getPosition", g, v)) << x;
        EXPECT_GE(s, 0) << x;
      }
    }
    release(g);
  }
}

TEST_F(TurboReverseFactor, ReadsUnderTheProcessSettings) {
  // A text length set by some other caller drops positions at or beyond it;
  // the search reads exactly as before.
  set_txt_length(3);
  EXPECT_EQ(search("aab", "bbaaaabb"), (std::vector<int32_t>{2, 1, 2}));
  EXPECT_EQ(txt_length(), 3);
  set_txt_length(-1);
}

TEST_F(TurboReverseFactor, CommandLineLimits) {
  const std::string program = program_path(kName);
  struct Case { std::vector<std::string> argv; std::string out; int status; };
  const std::vector<Case> cases = {
      {{program}, program + " pattern text\n", 2},
      {{program, "aab"}, program + " pattern text\n", 2},
      {{program, k19 + "t", "text"}, "Error: Pattern too large.\n", 1},
      {{program, k19, "xx" + k19}, printed(join(descending(18, 1), {20, 19})), 0},
      {{program, "aab", "bbaaaabb", "ignored"}, "2 1 4 3 2 5 4 6 \n", 0},
  };
  for (const auto& c : cases) {
    Outcome got = run(c.argv);
    EXPECT_EQ(got.out, c.out) << c.argv.size();
    EXPECT_EQ(got.status, c.status) << c.argv.size();
  }
}

TEST_F(TurboReverseFactor, ProgramCarriesTheEntryFunction) {
  Outcome got = run({"/bin/sh", "-c", "nm '" + program_path(kName) + "'"});
  ASSERT_EQ(got.status, 0);
  EXPECT_NE(got.out.find(" T turbo_reverse_factor\n"), std::string::npos);
}

TEST_F(TurboReverseFactor, TextBytesOutsideTheAlphabetLabelNoEdge) {
  // A high byte ends the scan as a character absent from the pattern does
  // (and so on generated texts, every_routine_test.cpp).
  expect_high_text_bytes_read_as('q', {
      {"ab", "\xff" "bab", {1, 0, 3, 2}},
      {"aab", "bb\x80" "aaab", {2, 5, 4, 3, 6}},
      {"aab", "\xc8\xc8\xc8", {2}},
  });
}

TEST_F(TurboReverseFactor, LongPatternsThroughTheEntry) {
  const std::string a25(25, 'a');
  const std::string alphabet25 = "abcdefghijklmnopqrstuvwxy";
  const std::vector<TraceCase> cases = {
      // The remembered prefix after the first attempt uses mpTable[24].
      {a25, "b" + a25, join(descending(24, 0), {25})},
      {alphabet25, std::string(60, 'z'), {24, 49}},
      {alphabet25 + alphabet25, alphabet25 + alphabet25, descending(49, 0)},
  };
  for (const auto& c : cases) EXPECT_EQ(search(c.pattern, c.text), c.trace) << describe(c);
}

TEST_F(TurboReverseFactor, PatternTooLongForTheAutomatonIsRefused) {
  // 256 * (m + 2) edge entries must fit a signed 32-bit count.
  const std::string pattern(INT32_MAX / 256 - 1, 'a');
  Outcome got = run_child([&] {
    search(pattern, "aaa");
    return 0;
  });
  EXPECT_EQ(got.out, "Error: Pattern too large.\n");
  EXPECT_EQ(got.status, 1);
}

}  // namespace
}  // namespace sm_test
