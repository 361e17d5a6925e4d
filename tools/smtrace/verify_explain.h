// The reference's explanation of a search, from the explaining host library
// (libsmtrace.so), and a text view of one of its attempts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "smtrace_explain.h"

namespace smtrace {

class Explainer {
 public:
  // Loads libsmtrace.so from the directory when first asked; a library that
  // cannot be loaded leaves the reports without explanations, and says why.
  explicit Explainer(std::string directory);
  ~Explainer();
  Explainer(const Explainer&) = delete;
  Explainer& operator=(const Explainer&) = delete;

  struct Free {
    void (*release)(smtrace_explanation*);
    void operator()(smtrace_explanation* e) const { release(e); }
  };
  using Explanation = std::unique_ptr<smtrace_explanation, Free>;

  // The explanation, or null with why_not() saying why.
  Explanation explain(const char* algorithm, const std::string& pattern, const std::string& text);
  const std::string& why_not() const { return why_not_; }

 private:
  bool load();

  std::string directory_;
  void* handle_ = nullptr;
  bool tried_ = false;
  int (*explain_)(const char*, const char*, int32_t, const char*, int32_t,
                  smtrace_explanation**) = nullptr;
  void (*free_)(smtrace_explanation*) = nullptr;
  std::string why_not_;
};

// The read of the explanation that holds trace index k, or -1.
int64_t read_of_trace_index(const smtrace_explanation& e, int64_t k);

// One attempt: the window under the text, each read with its position, what
// it compared and what it found, the window's moves, the routine's notes, the
// outcome, and the shift with its source. The read marked (an index into
// reads, or -1) gets "<- " and the label. Long attempts show the reads
// around the marked one.
std::string render_attempt(const smtrace_explanation& e, int64_t attempt, int64_t marked,
                           const std::string& label);

// Every attempt on one line: window, positions read, outcome, shift.
std::string render_overview(const smtrace_explanation& e);

// Bytes for a report: printable ASCII as it is, \" \\ \n \t \r, else \xNN.
std::string escaped(const std::string& bytes);

}  // namespace smtrace
