// A deliverable library loaded with dlopen, as any host loads it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "algorithms.h"

namespace smtrace {

// Where the libraries are: $SMTRACE_LIB_DIR when set, else ../lib beside the
// directory of the smtrace executable (the build tree and an install prefix
// both have that layout).
std::string library_directory();

class Library {
 public:
  // Loads lib<name>.so from the directory and finds its entry function;
  // throws Failure(kMissingLibrary) when either is missing.
  Library(const Algorithm& algorithm, const std::string& directory);
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  const Algorithm& algorithm() const { return algorithm_; }

  // Runs the search on a fresh zeroed buffer of the size the routine needs
  // and returns the trace. The caller has checked the lengths and that the
  // routine accepts the pattern.
  std::vector<int32_t> search(std::string_view pattern, std::string_view text) const;

 private:
  const Algorithm& algorithm_;
  void* handle_;
  void* entry_;
};

}  // namespace smtrace
