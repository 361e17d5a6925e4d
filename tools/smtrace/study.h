// smtrace study: how much each routine reads per text character, against the
// pattern length, over a corpus of texts and many patterns drawn from them.
//
// A study is a list of cases, numbered in a fixed order: for each text, each
// kind of pattern (present, then absent), each pattern length and each draw.
// A case's pattern depends only on the seed, the text's bytes, the length and
// the draw number, so any subset of the cases (a shard) can be run on its own
// and the parts put together again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "algorithms.h"
#include "failure.h"
#include "smtrace.h"

namespace smtrace {

// smtrace study ... and smtrace study merge ...; argv[0] is "study".
int study_command(int argc, char** argv);

// A worker process failed (it died, or could not report its results).
constexpr int kWorkerFailed = kWorkerDied;

enum class PatternKind { present, absent };
const char* kind_name(PatternKind kind);

struct StudyText {
  std::string name;     // the --generate KIND:SIZE, or the --text-file path as given
  int64_t length = 0;
  uint64_t hash = 0;    // FNV-1a over the bytes
  std::string bytes;    // while running; empty after a merge
};

// What is studied: everything the cases depend on.
struct StudyDefinition {
  std::vector<StudyText> texts;
  std::vector<PatternKind> kinds;
  std::vector<int32_t> lengths;
  int32_t patterns = 100;  // draws per text, kind and length
  uint64_t seed = 1;

  uint64_t case_count() const;
};

// The place of a case in the study.
struct CaseKey {
  size_t text;
  PatternKind kind;
  int32_t m;
  int32_t draw;
};
CaseKey case_key(const StudyDefinition& study, uint64_t index);

// One algorithm's figures for one case, from its library and libsmtrace.
struct CaseFigures {
  bool refused = false;
  int64_t reads = 0;        // the deliverable's trace length
  int64_t compares = 0;     // compare reads, recorded or dropped
  int64_t look_aheads = 0;
  int64_t dropped = 0;      // reads the recorder left out of the trace
  int32_t occurrence = -1;  // where the routine itself found the pattern
};

struct CaseResult {
  uint64_t index = 0;
  int32_t position = 0;  // where the pattern was drawn from
  int32_t first = -1;    // the pattern's first occurrence in the text, or -1
  std::string pattern;
  CaseFigures figures[SMTRACE_ALGORITHM_COUNT];
};

// The most parts a study is split into.
constexpr uint32_t kMostShards = 100000;

// The K-th of N parts: the cases whose index is K - 1 modulo N.
struct Shard {
  uint32_t index = 1;
  uint32_t count = 1;
  bool whole() const { return count == 1; }
  bool holds(uint64_t case_index) const { return case_index % count == index - 1; }
};

// A study run, or the parts of one merged: the cases in index order.
struct StudyResult {
  StudyDefinition study;
  Shard shard;
  std::vector<CaseResult> cases;
};

// Draws the case's pattern from its text (text.bytes must be there), and for
// an absent case changes it until it occurs nowhere in the text. The text's
// distinct bytes, in increasing order, are passed in.
void draw_pattern(const StudyDefinition& study, uint64_t index, const std::string& alphabet,
                  CaseResult& result);

// The bytes that occur in the text, in increasing order.
std::string alphabet_of(const std::string& text);

// Statistics of one figure per character over the cases of a group.
struct Spread {
  bool any = false;  // false when every case was refused
  double mean = 0, median = 0, q1 = 0, q3 = 0;
};

// The summary of one text, kind, length and algorithm.
struct SummaryRow {
  size_t text;
  PatternKind kind;
  int32_t m;
  size_t algorithm;  // index into kAlgorithms
  int32_t patterns;  // cases in the group
  int32_t refused;   // of which the routine refused this many
  Spread reads, compares, look_aheads, dropped;
};

// Recomputed from the cases, in a fixed order: texts, kinds, lengths,
// algorithms.
std::vector<SummaryRow> summarize(const StudyResult& result);

// The outputs.
std::string study_table(const StudyResult& result, const std::vector<SummaryRow>& summary);
std::string study_csv(const StudyResult& result, const std::vector<SummaryRow>& summary);
std::string study_json(const StudyResult& result, const std::vector<SummaryRow>& summary);
std::string study_svg(const StudyResult& result, const std::vector<SummaryRow>& summary);

// Reads a study's JSON back (the cases and the definition; the summary is
// recomputed). Throws Failure with the file's name on anything malformed.
StudyResult read_study_json(const std::string& json, const std::string& file);

// Puts the parts of a sharded study together; throws Failure when they are
// not every part of one study, once each.
StudyResult merge_parts(std::vector<StudyResult> parts, const std::vector<std::string>& files);

// Runs the shard's cases in jobs worker processes, each loading the
// libraries from the directory itself; the results come back in index order.
struct RunOptions {
  unsigned jobs = 1;
  bool progress = false;  // a progress line on standard error
  std::string directory;  // of the deliverable libraries
};
// The time the workers spent inside the library calls, summed over them.
struct CallTimes {
  double entries = 0;    // entry calls, counting their traces and trace_new
  double summaries = 0;  // smtrace_summarize
  double processor = 0;  // the workers' processor time
  double busiest_processor = 0;  // the most processor time one worker took
};
std::vector<CaseResult> run_cases(const StudyDefinition& study, const Shard& shard,
                                  const RunOptions& options, CallTimes& times);

}  // namespace smtrace
