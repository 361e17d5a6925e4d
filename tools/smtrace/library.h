// A deliverable library loaded with dlopen, as any host loads it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "algorithms.h"
#include "smtrace.h"

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
  // and returns the head of the library's own trace list, which stays the
  // library's until release() or the next search. The caller has checked
  // the lengths and that the routine accepts the pattern.
  const trace_node* record(std::string_view pattern, std::string_view text) const;
  // Frees the library's trace list through its own trace_new.
  void release() const;

  // The trace as positions, the library's list released.
  std::vector<int32_t> search(std::string_view pattern, std::string_view text) const;

 private:
  const Algorithm& algorithm_;
  void* handle_;
  void* entry_;
  void* trace_new_;
};

// A trace list as a range of positions, for range-for.
class TraceList {
 public:
  class iterator {
   public:
    explicit iterator(const trace_node* node) : node_(node) {}
    int32_t operator*() const { return node_->position; }
    iterator& operator++() {
      node_ = node_->next;
      return *this;
    }
    bool operator!=(const iterator& other) const { return node_ != other.node_; }

   private:
    const trace_node* node_;
  };
  explicit TraceList(const trace_node* head) : head_(head) {}
  iterator begin() const { return iterator(head_); }
  iterator end() const { return iterator(nullptr); }

 private:
  const trace_node* head_;
};

}  // namespace smtrace
