// The checks of the explain_road fuzz target: every input is searched by each
// of the seven routines twice, through its deliverable library and through
// the explaining host library libsmtrace.so, and the two must agree.
//
// Input layout: byte 0 is the mode, byte 1 the pattern length L; then L
// pattern bytes (fewer if the input ends), then the text.
//   mode & 15 == 15  the pattern bytes as given, 128..255 included; otherwise
//                    each pattern byte is taken modulo 128. Text bytes are
//                    always taken as given.
//   mode & 16        the explanation's JSON text is checked too.
//
// Properties checked for every input and routine (tests/support/explanation.h):
//   - a refusing routine given a pattern byte >= 128: smtrace_explain and
//     smtrace_summarize fail with SMTRACE_REFUSED and hand out nothing (the
//     deliverable, which would end the process, is not called);
//   - otherwise the explanation's recorded reads are the deliverable's trace,
//     called with a text buffer of exactly the size its contract asks for;
//     every compare read lies in its window and its result is the byte
//     comparison; the windows move by the shifts announced and the tables
//     give them; the occurrence is the first one; the counts agree with the
//     reads, and smtrace_summarize gives the same counts and occurrence;
//     the caller's pattern and text are not written;
//   - in mode & 16, the JSON text parses and says what the explanation holds.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/harness.h"
#include "support/explanation.h"
#include "support/explanation_json.h"

namespace sm_fuzz {
namespace explain_road {

// current_input() and fail() are the harness's, shared by every target.
using sm_fuzz::current_input;
using sm_fuzz::fail;

// libsmtrace.so and every deliverable, loaded once.
struct Libraries {
  std::unique_ptr<sm_test::Explainer> api;
  std::vector<std::unique_ptr<sm_test::Deliverable>> deliverables;
};

inline Libraries load() {
  Libraries libs;
  try {
    libs.api = std::make_unique<sm_test::Explainer>();
    for (const sm_test::Algorithm& a : sm_test::algorithms()) {
      libs.deliverables.push_back(std::make_unique<sm_test::Deliverable>(a));
    }
  } catch (const std::exception& e) {
    fail(e.what());
  }
  return libs;
}

struct Input {
  std::string x, y;
  bool json;
};

inline Input parse(const uint8_t* data, size_t size) {
  auto at = [&](size_t k) -> uint8_t { return k < size ? data[k] : 0; };
  const uint8_t mode = at(0);
  Input in;
  in.json = (mode & 16) != 0;
  const size_t start = std::min<size_t>(2, size);
  const size_t rest = size - start;
  const size_t length = std::min<size_t>(at(1), rest);
  in.x.assign(reinterpret_cast<const char*>(data) + start, length);
  if ((mode & 15) != 15) {
    for (char& c : in.x) c = static_cast<char>(c & 0x7f);
  }
  in.y.assign(reinterpret_cast<const char*>(data) + start + length, rest - length);
  return in;
}

inline std::string describe(const sm_test::Algorithm& a, const Input& in) {
  return std::string(a.name) + " m=" + std::to_string(in.x.size()) +
         " n=" + std::to_string(in.y.size()) + ": ";
}

inline void check_input(const Libraries& libs, const uint8_t* data, size_t size) {
  const Input in = parse(data, size);
  const auto m = static_cast<int32_t>(in.x.size());
  const auto n = static_cast<int32_t>(in.y.size());
  const sm_test::Explainer& api = *libs.api;
  for (const auto& lib : libs.deliverables) {
    const sm_test::Algorithm& a = *lib->algorithm;
    // The caller's pattern and text in blocks of exactly their size.
    const std::vector<char> x(in.x.begin(), in.x.end()), y(in.y.begin(), in.y.end());
    if (sm_test::refused(a, in.x)) {
      const sm_test::Explained e(api, a.name, x.data(), m, y.data(), n);
      smtrace_counts counts{};
      int32_t occurrence = 0;
      const int summary = api.summarize(a.name, x.data(), m, y.data(), n, &counts, &occurrence);
      if (e.status != SMTRACE_REFUSED || e.get() != nullptr || summary != SMTRACE_REFUSED) {
        fail(describe(a, in) + "a pattern byte >= 128 was not refused: status " +
             std::to_string(e.status) + ", summary " + std::to_string(summary));
      }
      continue;
    }
    const std::vector<int32_t> trace = lib->trace(in.x, in.y);
    lib->release();
    const sm_test::Explained e(api, a.name, x.data(), m, y.data(), n);
    if (e.status != SMTRACE_OK || e.get() == nullptr) {
      fail(describe(a, in) + "smtrace_explain fails with status " + std::to_string(e.status));
    }
    std::string problem = sm_test::check_explanation(a, in.x, in.y, *e, &trace);
    if (problem.empty()) problem = sm_test::check_summary(api, a.name, in.x, in.y, *e);
    if (problem.empty() && in.json) problem = sm_test::check_json(api, *e, e.json());
    if (problem.empty() &&
        (std::string(x.begin(), x.end()) != in.x || std::string(y.begin(), y.end()) != in.y)) {
      problem = "the caller's pattern or text was written";
    }
    if (!problem.empty()) fail(describe(a, in) + problem);
  }
}

}  // namespace explain_road
}  // namespace sm_fuzz
