#include "explanation.h"

#include <cstring>
#include <memory>

#include <new>

#include "failure.h"

namespace smtrace {
namespace {

void check(int status, const Algorithm& algorithm, std::string_view pattern) {
  switch (status) {
    case SMTRACE_OK:
      return;
    case SMTRACE_NO_MEMORY:
      throw std::bad_alloc();
    case SMTRACE_UNKNOWN_ALGORITHM:
      throw Failure(kUnknownAlgorithm, std::string("the explaining library does not know ") +
                                           algorithm.name);
    default:
      // A refused byte is caught before the call; what is left is a length
      // the library cannot hold.
      throw Failure(kRefusedInput, std::string("the explaining library cannot search a ") +
                                       std::to_string(pattern.size()) + "-byte pattern with " +
                                       algorithm.name);
  }
}

int32_t length_of(std::string_view bytes) { return static_cast<int32_t>(bytes.size()); }

}  // namespace

Explanation::Explanation(const Algorithm& algorithm, std::string_view pattern,
                         std::string_view text) {
  check(smtrace_explain(algorithm.name, pattern.data(), length_of(pattern), text.data(),
                        length_of(text), &explanation_),
        algorithm, pattern);
}

Explanation::~Explanation() { smtrace_explanation_free(explanation_); }

void Explanation::write_json(Output& out) const {
  char* json = smtrace_explanation_json(explanation_);
  if (json == nullptr) throw std::bad_alloc();
  std::unique_ptr<char, void (*)(void*)> owned(json, smtrace_free);
  out.write(json, std::strlen(json));
}

Summary summarize(const Algorithm& algorithm, std::string_view pattern, std::string_view text) {
  Summary summary;
  int32_t occurrence = -1;
  check(smtrace_summarize(algorithm.name, pattern.data(), length_of(pattern), text.data(),
                          length_of(text), &summary.counts, &occurrence),
        algorithm, pattern);
  if (occurrence >= 0) summary.occurrence = occurrence;
  return summary;
}

}  // namespace smtrace
