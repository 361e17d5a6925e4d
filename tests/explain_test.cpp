// The explaining host library on the worked examples: for each example the
// explanation reproduces every attempt row as worked out by hand: the
// window, each read with its position, character, role and result, which
// reads are not recorded again or are left out by the bound, the outcome,
// the shift and where it comes from, the window moves, the remarks, the
// tables and the occurrence. The examples are data; one checker reads them.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "support/explanation.h"
#include "support/explanation_json.h"

namespace sm_test {
namespace {

constexpr int32_t kOpen = INT32_MIN;  // a field the example leaves open

const char* const kMatch = "match";
const char* const kMismatch = "mismatch";
const char* const kRepeat = "repeat";
const char* const kBound = "bound";

// One read of an attempt row.
struct ReadRow {
  const char* role;  // "compare", "look-ahead", "probe", "edge"
  int32_t position;
  char byte;
  int32_t pattern_index;  // compare: x[index]; edge: the window index; else -1
  const char* result;     // "match", "mismatch", "edge", "no edge", or none
  const char* dropped;    // none (recorded), "repeat" or "bound"
  // Edge reads: the vertex left and reached, terminal (0 or 1), d and s.
  int32_t from = kOpen, to = kOpen, terminal = kOpen, d = kOpen, s = kOpen;
};

ReadRow compare(int32_t position, char byte, int32_t index, const char* result,
                const char* dropped = nullptr) {
  return {"compare", position, byte, index, result, dropped};
}
ReadRow look_ahead(int32_t position, char byte, const char* dropped = nullptr) {
  return {"look-ahead", position, byte, -1, nullptr, dropped};
}
ReadRow probe(int32_t position, char byte) {
  return {"probe", position, byte, -1, nullptr, nullptr};
}
ReadRow edge(int32_t position, char byte, int32_t index, int32_t from, int32_t to, bool terminal,
             int32_t d, int32_t s) {
  return {"edge", position, byte, index, "edge", nullptr, from, to, terminal ? 1 : 0, d, s};
}
// An edge found, the automaton's vertices left open.
ReadRow edge(int32_t position, char byte, int32_t index) {
  return {"edge", position, byte, index, "edge", nullptr};
}
ReadRow no_edge(int32_t position, char byte, int32_t index, int32_t from = kOpen) {
  return {"edge", position, byte, index, "no edge", nullptr, from, -1, -1, 0, 0};
}

// A move of the window inside an attempt, after the attempt's read number
// `after` (-1: before its first read).
struct MoveRow {
  int32_t after;
  int32_t window;
  int32_t shift;
  const char* source;
  const char* table;
  const char* key;
};

// One row of an attempt table. An attempt without a source has no shift
// (the one that finds the occurrence). The source is matched as a part of
// the explanation's; each note, as a part of one of the attempt's remarks.
struct AttemptRow {
  int32_t window;
  std::vector<ReadRow> reads;
  const char* outcome;
  int32_t shift = 0;
  const char* source = nullptr;
  const char* table = nullptr;
  const char* key = nullptr;
  std::vector<MoveRow> moves = {};
  std::vector<const char*> notes = {};
};

struct TableRow {
  const char* table;
  std::string key;
  std::vector<int32_t> values;
};

struct Example {
  const char* name;
  const char* algorithm;
  std::string pattern, text;
  std::vector<int32_t> trace;
  int32_t occurrence;
  std::vector<AttemptRow> attempts;
  std::vector<TableRow> tables = {};
  std::vector<const char*> complete_tables = {};  // tables whose every entry is listed
};

// The parameter by its name in test listings.
void PrintTo(const Example& ex, std::ostream* out) { *out << ex.name; }

std::vector<TableRow> mp_table(const std::vector<int32_t>& values) {
  std::vector<TableRow> rows;
  for (size_t i = 0; i < values.size(); ++i) {
    rows.push_back({"mpTable", std::to_string(i), {values[i]}});
  }
  return rows;
}

std::vector<TableRow> join(std::vector<TableRow> a, const std::vector<TableRow>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The rows keep the layout of the tables they copy.
// clang-format off
const std::vector<Example>& examples() {
  static const std::vector<Example> all = {
      // Turbo Reverse Factor: aab in bbaaaabb, with the automaton of baa.
      {"trf_aab_in_bbaaaabb", "turbo_reverse_factor", "aab", "bbaaaabb", {2, 1, 4, 3, 2, 5, 4, 6}, 4,
       {{0, {edge(2, 'a', 2, 0, 5, true, 1, 2), no_edge(1, 'b', 1, 5)}, "no edge", 2, "s = 2", nullptr, nullptr, {},
         {"u = -1, p = 0"}},
        {2, {edge(4, 'a', 2, 0, 5, true, 1, 2), edge(3, 'a', 1, 5, 4, true, 1, 1), no_edge(2, 'a', 0, 4)}, "no edge", 1,
         "s = 1", nullptr, nullptr, {},
         {"u = 0, p = 1", "first scan reaches i = u = 0, d = 1", "half = 0, p = 1 > half: third scan down to index 0"}},
        {3, {edge(5, 'a', 2, 0, 5, true, 1, 2), edge(4, 'a', 1, 5, 4, true, 1, 1)}, "scan complete", 1, "s = d = 1",
         nullptr, nullptr, {},
         {"u = 1, p = 1", "first scan reaches i = u = 1, d = 1", "half = 1, p = 1 <= half: second scan with u = 0",
          "scan complete: s = d = 1"}},
        {4, {edge(6, 'b', 2, 0, 2, false, 0, 3)}, "occurrence", 0, nullptr, nullptr, nullptr, {},
         {"u = 1, p = 1", "first scan reaches i = u = 1, d = 0"}}},
       join({{"edges", "0 a", {5, 1}},
             {"edges", "0 b", {2, 0}},
             {"edges", "2 a", {3, 0}},
             {"edges", "3 a", {4, 0}},
             {"edges", "5 a", {4, 0}},
             {"terminal", "vertices", {0, 4, 5}}},
            mp_table({-1, 0, 1, 0})),
       {"edges", "terminal", "mpTable"}},
      {"trf_abab_in_bbbbbbbb", "turbo_reverse_factor", "abab", "bbbbbbbb", {3, 2, 7, 6}, -1,
       {{0, {edge(3, 'b', 3), no_edge(2, 'b', 2)}, "no edge", 4, "s = m = 4"},
        {4, {edge(7, 'b', 3), no_edge(6, 'b', 2)}, "no edge", 4, "s = m = 4"}}},
      {"trf_aaba_in_baaaaa", "turbo_reverse_factor", "aaba", "baaaaa", {3, 2, 1, 5, 4, 3}, -1,
       {{0, {edge(3, 'a', 3), edge(2, 'a', 2), no_edge(1, 'a', 1)}, "no edge", 2, "s = 2"},
        {2, {edge(5, 'a', 3), edge(4, 'a', 2), no_edge(3, 'a', 1)}, "no edge", 2, "s = 2", nullptr, nullptr, {},
         {"u = 1, p = 1", "first scan reaches i = u = 1, d = 2", "half = 1, p = 1 <= half: second scan with u = 0"}}}},
      {"trf_abc_in_xxabc", "turbo_reverse_factor", "abc", "xxabc", {2, 1, 4, 3}, 2,
       {{0, {edge(2, 'a', 2), no_edge(1, 'x', 1)}, "no edge", 2, "s = 2"},
        {2, {edge(4, 'c', 2), edge(3, 'b', 1)}, "occurrence", 0, nullptr, nullptr, nullptr, {},
         {"u = 0, p = 1", "d = 0: the window is an occurrence"}}}},

      // Morris-Pratt: one attempt per alignment; a mismatch at x[i] falls
      // back to mpTable[i] at the same text position.
      {"mp_aab_in_aaab", "morris_pratt", "aab", "aaab", {0, 1, 2, 2, 3}, 1,
       {{0, {compare(0, 'a', 0, kMatch), compare(1, 'a', 1, kMatch), compare(2, 'a', 2, kMismatch)}, "mismatch", 1,
         "mpTable[2] = 1", "mpTable", "2"},
        {1, {compare(2, 'a', 1, kMatch), compare(3, 'b', 2, kMatch)}, "occurrence"}},
       mp_table({-1, 0, 1, 0}), {"mpTable"}},
      {"mp_abab_in_abacabab", "morris_pratt", "abab", "abacabab", {0, 1, 2, 3, 3, 3, 4, 5, 6, 7}, 4,
       {{0,
         {compare(0, 'a', 0, kMatch), compare(1, 'b', 1, kMatch), compare(2, 'a', 2, kMatch),
          compare(3, 'c', 3, kMismatch)},
         "mismatch", 2, "mpTable[3] = 1", "mpTable", "3"},
        {2, {compare(3, 'c', 1, kMismatch)}, "mismatch", 1, "mpTable[1] = 0", "mpTable", "1"},
        {3, {compare(3, 'c', 0, kMismatch)}, "mismatch", 1, "mpTable[0] = -1", "mpTable", "0"},
        {4,
         {compare(4, 'a', 0, kMatch), compare(5, 'b', 1, kMatch), compare(6, 'a', 2, kMatch),
          compare(7, 'b', 3, kMatch)},
         "occurrence"}},
       mp_table({-1, 0, 0, 1, 2}), {"mpTable"}},
      {"mp_aaa_in_aabaaa", "morris_pratt", "aaa", "aabaaa", {0, 1, 2, 2, 2, 3, 4, 5}, 3,
       {{0, {compare(0, 'a', 0, kMatch), compare(1, 'a', 1, kMatch), compare(2, 'b', 2, kMismatch)}, "mismatch", 1,
         "mpTable[2] = 1", "mpTable", "2"},
        {1, {compare(2, 'b', 1, kMismatch)}, "mismatch", 1, "mpTable[1] = 0", "mpTable", "1"},
        {2, {compare(2, 'b', 0, kMismatch)}, "mismatch", 1, "mpTable[0] = -1", "mpTable", "0"},
        {3, {compare(3, 'a', 0, kMatch), compare(4, 'a', 1, kMatch), compare(5, 'a', 2, kMatch)}, "occurrence"}},
       mp_table({-1, 0, 1, 2}), {"mpTable"}},
      {"mp_abcabd_in_abcabcabd", "morris_pratt", "abcabd", "abcabcabd", {0, 1, 2, 3, 4, 5, 5, 6, 7, 8}, 3,
       {{0,
         {compare(0, 'a', 0, kMatch), compare(1, 'b', 1, kMatch), compare(2, 'c', 2, kMatch),
          compare(3, 'a', 3, kMatch), compare(4, 'b', 4, kMatch), compare(5, 'c', 5, kMismatch)},
         "mismatch", 3, "mpTable[5] = 2", "mpTable", "5"},
        {3,
         {compare(5, 'c', 2, kMatch), compare(6, 'a', 3, kMatch), compare(7, 'b', 4, kMatch),
          compare(8, 'd', 5, kMatch)},
         "occurrence"}},
       mp_table({-1, 0, 0, 0, 1, 2, 0}), {"mpTable"}},
      {"mp_ab_in_xyz", "morris_pratt", "ab", "xyz", {0, 1, 2}, -1,
       {{0, {compare(0, 'x', 0, kMismatch)}, "mismatch", 1, "mpTable[0] = -1", "mpTable", "0"},
        {1, {compare(1, 'y', 0, kMismatch)}, "mismatch", 1, "mpTable[0] = -1", "mpTable", "0"},
        {2, {compare(2, 'z', 0, kMismatch)}, "mismatch", 1, "mpTable[0] = -1", "mpTable", "0"}},
       mp_table({-1, 0, 0}), {"mpTable"}},
      {"mp_abcd_in_ab", "morris_pratt", "abcd", "ab", {0, 1}, -1,
       {{0, {compare(0, 'a', 0, kMatch), compare(1, 'b', 1, kMatch)}, "no occurrence"}},
       mp_table({-1, 0, 0, 0, 0}), {"mpTable"}},

      // Not So Naive: x[1] first, then x[2..m-1], then x[0].
      {"nsn_abc_in_xabxabc", "not_so_naive", "abc", "xabxabc", {1, 2, 3, 4, 5, 6, 4}, 4,
       {{0, {compare(1, 'a', 1, kMismatch)}, "mismatch", 1, "miss shift = 1", "shifts", "miss"},
        {1, {compare(2, 'b', 1, kMatch), compare(3, 'x', 2, kMismatch)}, "mismatch", 2, "hit shift = 2", "shifts", "hit"},
        {3, {compare(4, 'a', 1, kMismatch)}, "mismatch", 1, "miss shift = 1", "shifts", "miss"},
        {4, {compare(5, 'b', 1, kMatch), compare(6, 'c', 2, kMatch), compare(4, 'a', 0, kMatch)}, "occurrence"}},
       {{"shifts", "miss", {1}}, {"shifts", "hit", {2}}}, {"shifts"}},
      {"nsn_aab_in_aaaab", "not_so_naive", "aab", "aaaab", {1, 2, 2, 3, 3, 4, 2}, 2,
       {{0, {compare(1, 'a', 1, kMatch), compare(2, 'a', 2, kMismatch)}, "mismatch", 1, "hit shift = 1", "shifts", "hit"},
        {1, {compare(2, 'a', 1, kMatch), compare(3, 'a', 2, kMismatch)}, "mismatch", 1, "hit shift = 1", "shifts", "hit"},
        {2, {compare(3, 'a', 1, kMatch), compare(4, 'b', 2, kMatch), compare(2, 'a', 0, kMatch)}, "occurrence"}},
       {{"shifts", "miss", {2}}, {"shifts", "hit", {1}}}, {"shifts"}},
      {"nsn_aab_in_abaab", "not_so_naive", "aab", "abaab", {1, 3, 4, 2}, 2,
       {{0, {compare(1, 'b', 1, kMismatch)}, "mismatch", 2, "miss shift = 2", "shifts", "miss"},
        {2, {compare(3, 'a', 1, kMatch), compare(4, 'b', 2, kMatch), compare(2, 'a', 0, kMatch)}, "occurrence"}}},
      {"nsn_aa_in_baaa", "not_so_naive", "aa", "baaa", {1, 0, 2, 1}, 1,
       {{0, {compare(1, 'a', 1, kMatch), compare(0, 'b', 0, kMismatch)}, "mismatch", 1, "hit shift = 1", "shifts", "hit"},
        {1, {compare(2, 'a', 1, kMatch), compare(1, 'a', 0, kMatch)}, "occurrence"}}},

      // Raita: last, first, middle, then the inside.
      {"raita_abab_in_ccabaabab", "raita", "abab", "ccabaabab", {3, 0, 5, 6, 3, 8, 5, 7, 6}, 5,
       {{0, {compare(3, 'b', 3, kMatch), compare(0, 'c', 0, kMismatch)}, "mismatch", 2, "bmBc[b] = 2", "bmBc", "b"},
        {2, {compare(5, 'a', 3, kMismatch)}, "mismatch", 1, "bmBc[a] = 1", "bmBc", "a"},
        {3, {compare(6, 'b', 3, kMatch), compare(3, 'b', 0, kMismatch)}, "mismatch", 2, "bmBc[b] = 2", "bmBc", "b"},
        {5,
         {compare(8, 'b', 3, kMatch), compare(5, 'a', 0, kMatch), compare(7, 'a', 2, kMatch),
          compare(6, 'b', 1, kMatch), compare(7, 'a', 2, kMatch, kRepeat)},
         "occurrence"}},
       {{"bmBc", "a", {1}}, {"bmBc", "b", {2}}, {"bmBc", "other", {4}}}, {"bmBc"}},
      {"raita_ab_in_cab", "raita", "ab", "cab", {1, 2, 1}, 1,
       {{0, {compare(1, 'a', 1, kMismatch)}, "mismatch", 1, "bmBc[a] = 1", "bmBc", "a"},
        {1, {compare(2, 'b', 1, kMatch), compare(1, 'a', 0, kMatch), compare(2, 'b', 1, kMatch, kRepeat)},
         "occurrence"}}},
      {"raita_aaa_in_aaaa", "raita", "aaa", "aaaa", {2, 0, 1}, 0,
       {{0,
         {compare(2, 'a', 2, kMatch), compare(0, 'a', 0, kMatch), compare(1, 'a', 1, kMatch),
          compare(1, 'a', 1, kMatch, kRepeat)},
         "occurrence"}}},
      {"raita_xy_in_ab", "raita", "xy", "ab", {1}, -1,
       {{0, {compare(1, 'b', 1, kMismatch)}, "mismatch", 2, "bmBc[b] = 2", "bmBc", "other"}}},

      // Tuned Boyer-Moore: the fast loop's windows are moves of one attempt.
      {"tbm_abab_in_ccabaabab", "tuned_bm", "abab", "ccabaabab", {3, 0, 5, 6, 3, 8, 5, 6, 7}, 5,
       {{0, {compare(3, 'b', 3, kMatch), compare(0, 'c', 0, kMismatch)}, "mismatch", 2, "match shift: bmBc[b] = 2",
         "bmBc", "b"},
        {2,
         {compare(5, 'a', 3, kMismatch), compare(6, 'b', 3, kMatch), compare(6, 'b', 3, kMatch, kRepeat),
          compare(6, 'b', 3, kMatch, kRepeat), compare(3, 'b', 0, kMismatch)},
         "mismatch", 2, "match shift: bmBc[b] = 2", "bmBc", "b", {{0, 3, 1, "bmBc[a] = 1", "bmBc", "a"}}},
        {5,
         {compare(8, 'b', 3, kMatch), compare(5, 'a', 0, kMatch), compare(6, 'b', 1, kMatch),
          compare(7, 'a', 2, kMatch)},
         "occurrence"}},
       {{"bmBc", "a", {1}}, {"bmBc", "b", {2}}, {"bmBc", "other", {4}}}, {"bmBc"}},
      {"tbm_abcd_in_abcabcabcd", "tuned_bm", "abcd", "abcabcabcd", {3, 6, 9, 7, 8}, 6,
       {{0,
         {compare(3, 'a', 3, kMismatch), compare(6, 'a', 3, kMismatch), compare(9, 'd', 3, kMatch),
          compare(9, 'd', 3, kMatch, kRepeat), compare(6, 'a', 0, kMatch, kRepeat), compare(7, 'b', 1, kMatch),
          compare(8, 'c', 2, kMatch)},
         "occurrence", 0, nullptr, nullptr, nullptr,
         {{0, 3, 3, "bmBc[a] = 3", "bmBc", "a"}, {1, 6, 3, "bmBc[a] = 3", "bmBc", "a"}}}}},
      {"tbm_abb_in_xab", "tuned_bm", "abb", "xab", {2, 0, 1, 2, 2}, -1,
       {{0, {compare(2, 'b', 2, kMatch), compare(0, 'x', 0, kMismatch)}, "mismatch", 1, "match shift: bmBc[b] = 1",
         "bmBc", "b"},
        {1, {compare(3, 'b', 2, kMatch, kBound), compare(1, 'a', 0, kMatch), compare(2, 'b', 1, kMatch)},
         "window past the text", 1, "match shift: bmBc[b] = 1", "bmBc", "b"},
        {2, {compare(4, 'b', 2, kMatch, kBound), compare(2, 'b', 0, kMismatch)}, "mismatch", 1,
         "match shift: bmBc[b] = 1", "bmBc", "b"}},
       {{"bmBc", "a", {2}}, {"bmBc", "b", {1}}, {"bmBc", "other", {3}}}, {"bmBc"}},

      // Berry-Ravindran: the window from the left, then the look-ahead pair.
      {"br_abcab_in_cabdcabcab", "berry_ravindran", "abcab", "cabdcabcab", {0, 5, 6, 2, 7, 8, 5, 6, 7, 8, 9}, 5,
       {{0, {compare(0, 'c', 0, kMismatch), look_ahead(5, 'a'), look_ahead(6, 'b')}, "mismatch", 2, "brBc[a][b] = 2",
         "brBc", "a b"},
        {2, {compare(2, 'b', 0, kMismatch), look_ahead(7, 'c'), look_ahead(8, 'a')}, "mismatch", 3, "brBc[c][a] = 3",
         "brBc", "c a"},
        {5,
         {compare(5, 'a', 0, kMatch), compare(6, 'b', 1, kMatch), compare(7, 'c', 2, kMatch),
          compare(8, 'a', 3, kMatch), compare(9, 'b', 4, kMatch)},
         "occurrence"}},
       {{"brBc", "a b", {2}},
        {"brBc", "b c", {1}},
        {"brBc", "c a", {3}},
        {"brBc", "a a", {6}},
        {"brBc", "other a", {6}},
        {"brBc", "default", {7}}}},
      {"br_a_in_bba", "berry_ravindran", "a", "bba", {0, 1, 2, 2}, 2,
       {{0, {compare(0, 'b', 0, kMismatch), look_ahead(1, 'b'), look_ahead(2, 'a')}, "mismatch", 2, "brBc[b][a] = 2",
         "brBc", "other a"},
        {2, {compare(2, 'a', 0, kMatch)}, "occurrence"}}},
      {"br_ab_in_ac", "berry_ravindran", "ab", "ac", {0, 1}, -1,
       {{0,
         {compare(0, 'a', 0, kMatch), compare(1, 'c', 1, kMismatch), look_ahead(2, '\0', kBound),
          look_ahead(3, '\0', kBound)},
         "mismatch", 4, "brBc[\\x00][\\x00] = 4", "brBc", "other other"}}},

      // Skip Search: an attempt per probe; each candidate of the probed
      // character's list is a move; the next probe's first window is m past
      // this one's, and the shift counts from the last candidate's window.
      {"skip_abab_in_ccabaabab", "skip_search", "abab", "ccabaabab", {3, 0, 2, 3, 4, 5, 7, 5, 6, 7, 8}, 5,
       {{0,
         {probe(3, 'b'), compare(0, 'c', 0, kMismatch), compare(2, 'a', 0, kMatch), compare(3, 'b', 1, kMatch),
          compare(4, 'a', 2, kMatch), compare(5, 'a', 3, kMismatch)},
         "mismatch", 2, "probe step m = 4 from the probe's first window", nullptr, nullptr,
         {{0, 0, 0, "list[b] holds 3", "lists", "b"}, {1, 2, 2, "list[b] holds 1", "lists", "b"}}},
        {4,
         {probe(7, 'a'), compare(5, 'a', 0, kMatch), compare(6, 'b', 1, kMatch), compare(7, 'a', 2, kMatch),
          compare(8, 'b', 3, kMatch)},
         "occurrence", 0, nullptr, nullptr, nullptr, {{0, 5, 1, "list[a] holds 2", "lists", "a"}}}},
       {{"lists", "a", {2, 0}}, {"lists", "b", {3, 1}}}, {"lists"}},
      {"skip_aba_in_cbabaaba", "skip_search", "aba", "cbabaaba", {2, 0, 3, 4}, 2,
       {{0, {probe(2, 'a'), compare(0, 'c', 0, kMismatch), compare(3, 'b', 1, kMatch), compare(4, 'a', 2, kMatch)},
         "occurrence", 0, nullptr, nullptr, nullptr,
         {{0, 0, 0, "list[a] holds 2", "lists", "a"}, {1, 2, 2, "list[a] holds 0", "lists", "a"}}}}},
      {"skip_aa_in_aaa", "skip_search", "aa", "aaa", {1, 0, 1}, 0,
       {{0, {probe(1, 'a'), compare(0, 'a', 0, kMatch), compare(1, 'a', 1, kMatch)}, "occurrence", 0, nullptr, nullptr,
         nullptr, {{0, 0, 0, "list[a] holds 1", "lists", "a"}}}}},
      {"skip_ab_in_ccca", "skip_search", "ab", "ccca", {1, 3, 4}, -1,
       {{0, {probe(1, 'c')}, "no candidate", 2, "probe step m = 2 from the probe's first window"},
        {2, {probe(3, 'a'), compare(4, '\0', 1, kMismatch)}, "mismatch", 1,
         "probe step m = 2 from the probe's first window", nullptr, nullptr,
         {{0, 3, 1, "list[a] holds 0", "lists", "a"}}}}},
      {"skip_bb_in_ab", "skip_search", "bb", "ab", {1, 0, 2}, -1,
       {{0, {probe(1, 'b'), compare(0, 'a', 0, kMismatch), compare(2, '\0', 1, kMismatch)}, "mismatch", 1,
         "probe step m = 2 from the probe's first window", nullptr, nullptr,
         {{0, 0, 0, "list[b] holds 1", "lists", "b"}, {1, 1, 1, "list[b] holds 0", "lists", "b"}}}}},
  };
  return all;
}
// clang-format on

std::string or_none(const char* text) { return text == nullptr ? "(none)" : text; }

bool same(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return std::strcmp(a, b) == 0;
}

bool contains(const char* text, const char* part) {
  return text != nullptr && std::strstr(text, part) != nullptr;
}

class ExplainWorkedExamples : public ::testing::TestWithParam<Example> {
 protected:
  static void SetUpTestSuite() { api_ = new Explainer(); }
  static void TearDownTestSuite() {
    delete api_;
    api_ = nullptr;
  }
  static Explainer* api_;
};
Explainer* ExplainWorkedExamples::api_ = nullptr;

TEST_P(ExplainWorkedExamples, ReproducesEveryAttemptRow) {
  const Example& ex = GetParam();
  const Algorithm& a = algorithm(ex.algorithm);
  const Explainer& api = *api_;
  Deliverable lib(a);
  const std::vector<int32_t> trace = lib.trace(ex.pattern, ex.text);
  ASSERT_EQ(trace, ex.trace) << "the deliverable's own trace";

  const Explained e(api, a.name, ex.pattern, ex.text);
  ASSERT_EQ(e.status, SMTRACE_OK);
  ASSERT_NE(e.get(), nullptr);
  EXPECT_EQ(recorded_positions(*e), ex.trace);
  EXPECT_EQ(e->occurrence, ex.occurrence);

  ASSERT_EQ(e->attempt_count, static_cast<int64_t>(ex.attempts.size()));
  for (size_t k = 0; k < ex.attempts.size(); ++k) {
    const AttemptRow& row = ex.attempts[k];
    const smtrace_attempt& at = e->attempts[k];
    SCOPED_TRACE("attempt " + std::to_string(k) + " at window " + std::to_string(row.window));
    EXPECT_EQ(at.window, row.window);
    EXPECT_STREQ(at.outcome, row.outcome);
    if (row.source == nullptr) {
      EXPECT_EQ(at.shift_source, nullptr) << at.shift_source;
      EXPECT_EQ(at.shift, 0);
    } else {
      EXPECT_EQ(at.shift, row.shift);
      EXPECT_TRUE(contains(at.shift_source, row.source))
          << or_none(at.shift_source) << " lacks " << row.source;
    }
    EXPECT_TRUE(same(at.shift_table, row.table)) << or_none(at.shift_table);
    EXPECT_TRUE(same(at.shift_key, row.key)) << or_none(at.shift_key);

    ASSERT_EQ(at.read_count, static_cast<int64_t>(row.reads.size()));
    for (size_t q = 0; q < row.reads.size(); ++q) {
      const ReadRow& want = row.reads[q];
      const smtrace_read& got = e->reads[at.first_read + static_cast<int64_t>(q)];
      SCOPED_TRACE("read " + std::to_string(q) + " at " + std::to_string(want.position));
      EXPECT_STREQ(api.role_name(got.role), want.role);
      EXPECT_EQ(got.position, want.position);
      EXPECT_EQ(got.byte, static_cast<unsigned char>(want.byte));
      EXPECT_EQ(got.pattern_index, want.pattern_index);
      EXPECT_TRUE(same(api.result_name(got.result), want.result))
          << or_none(api.result_name(got.result));
      EXPECT_TRUE(same(api.dropped_name(got.dropped), want.dropped))
          << or_none(api.dropped_name(got.dropped));
      if (want.from != kOpen) {
        EXPECT_EQ(got.from_vertex, want.from);
      }
      if (want.to != kOpen) {
        EXPECT_EQ(got.to_vertex, want.to);
      }
      if (want.terminal != kOpen) {
        EXPECT_EQ(got.terminal, want.terminal);
      }
      if (want.d != kOpen) {
        EXPECT_EQ(got.d, want.d);
      }
      if (want.s != kOpen) {
        EXPECT_EQ(got.s, want.s);
      }
    }

    ASSERT_EQ(at.move_count, static_cast<int64_t>(row.moves.size()));
    for (size_t q = 0; q < row.moves.size(); ++q) {
      const MoveRow& want = row.moves[q];
      const smtrace_move& got = e->moves[at.first_move + static_cast<int64_t>(q)];
      SCOPED_TRACE("move " + std::to_string(q));
      EXPECT_EQ(got.after_read - at.first_read, want.after);
      EXPECT_EQ(got.window, want.window);
      EXPECT_EQ(got.shift, want.shift);
      EXPECT_TRUE(contains(got.source, want.source))
          << or_none(got.source) << " lacks " << want.source;
      EXPECT_TRUE(same(got.table, want.table)) << or_none(got.table);
      EXPECT_TRUE(same(got.key, want.key)) << or_none(got.key);
    }

    for (const char* note : row.notes) {
      bool found = false;
      for (int64_t q = at.first_note; q < at.first_note + at.note_count && !found; ++q) {
        found = contains(e->notes[q].text, note);
      }
      EXPECT_TRUE(found) << "no remark says \"" << note << "\"";
    }
  }

  for (const TableRow& want : ex.tables) {
    const smtrace_table* table = find_table(*e, want.table);
    ASSERT_NE(table, nullptr) << "no table " << want.table;
    const smtrace_table_entry* entry = find_entry(*table, want.key);
    ASSERT_NE(entry, nullptr) << want.table << " has no entry " << want.key;
    EXPECT_EQ(std::vector<int32_t>(entry->values, entry->values + entry->value_count), want.values)
        << want.table << "[" << want.key << "]";
  }
  for (const char* name : ex.complete_tables) {
    size_t listed = 0;
    for (const TableRow& want : ex.tables) listed += std::strcmp(want.table, name) == 0 ? 1 : 0;
    const smtrace_table* table = find_table(*e, name);
    ASSERT_NE(table, nullptr) << "no table " << name;
    EXPECT_EQ(static_cast<size_t>(table->entry_count), listed) << "entries of " << name;
  }

  // What every explanation has, the summary and the JSON text.
  EXPECT_EQ(check_explanation(a, ex.pattern, ex.text, *e, &trace), "");
  EXPECT_EQ(check_summary(api, a.name, ex.pattern, ex.text, *e), "");
  EXPECT_EQ(check_json(api, *e, e.json()), "");
}

INSTANTIATE_TEST_SUITE_P(Tables, ExplainWorkedExamples, ::testing::ValuesIn(examples()),
                         [](const ::testing::TestParamInfo<Example>& info) {
                           return std::string(info.param.name);
                         });

// Every algorithm of the header's table has worked examples above.
TEST(ExplainWorkedExamplesCover, EveryAlgorithm) {
  for (const Algorithm& a : algorithms()) {
    int count = 0;
    for (const Example& ex : examples()) count += std::strcmp(ex.algorithm, a.name) == 0 ? 1 : 0;
    EXPECT_GE(count, 1) << a.name;
  }
}

}  // namespace
}  // namespace sm_test
