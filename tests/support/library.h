// Test-side view of a deliverable library, loaded with dlopen as a host does.
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// trace_node, smtrace_entry_fn and the types of the recorder's exports.
#include "include/smtrace.h"

namespace sm_test {

// Where the build put the deliverables.
inline std::string library_path(const std::string& name) {
  return std::string(SM_LIB_DIR) + "/lib" + name + ".so";
}
inline std::string program_path(const std::string& name) {
  return std::string(SM_BIN_DIR) + "/" + name;
}

inline std::vector<int32_t> walk(const trace_node* node) {
  std::vector<int32_t> positions;
  for (; node != nullptr; node = node->next) positions.push_back(node->position);
  return positions;
}

class Library {
 public:
  explicit Library(const std::string& path, int mode = RTLD_NOW | RTLD_LOCAL)
      : handle_(dlopen(path.c_str(), mode)) {
    if (handle_ == nullptr) throw std::runtime_error(std::string("dlopen: ") + dlerror());
  }
  ~Library() { dlclose(handle_); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  void* raw(const std::string& name) const {
    void* found = dlsym(handle_, name.c_str());
    if (found == nullptr) throw std::runtime_error("dlsym: no " + name);
    return found;
  }
  template <typename T>
  T fn(const std::string& name) const {
    return reinterpret_cast<T>(raw(name));
  }
  template <typename T>
  T& global(const std::string& name) const {
    return *static_cast<T*>(raw(name));
  }

  // The recorder's settings and list, which are the library's own.
  smtrace_txt_length_t& txt_length() const { return global<smtrace_txt_length_t>("txt_length"); }
  smtrace_prune_duplicates_t& prune_duplicates() const {
    return global<smtrace_prune_duplicates_t>("prune_duplicates");
  }
  trace_node* trace_first() const { return global<trace_node*>("trace_first"); }
  void set_txt_length(int32_t value) const { fn<smtrace_set_txt_length_fn>("set_txt_length")(value); }
  void set_window(bool open) const {
    fn<smtrace_window_fn>(open ? "start_pruning_duplicates" : "stop_pruning_duplicates")();
  }
  void trace_new() const { fn<smtrace_trace_list_fn>("trace_new")(); }
  // The settings of a fresh process: empty trace, no bound, no window.
  void fresh() const {
    trace_new();
    set_txt_length(-1);
    set_window(false);
  }

  // Calls an entry function the way a host keeps the buffer contract: the
  // text is followed by a zero byte and by room for every routine's writes.
  std::vector<int32_t> search(const std::string& entry, const std::string& pattern,
                              const std::string& text) const {
    buffer_.assign(text.begin(), text.end());
    buffer_.resize(text.size() + pattern.size() + 2, '\0');
    trace_node* head = fn<smtrace_entry_fn>(entry)(pattern.data(), static_cast<int32_t>(pattern.size()),
                                    buffer_.data(), static_cast<int32_t>(text.size()));
    return walk(head);
  }
  // The text buffer of the last search, with whatever the routine wrote past the text.
  const std::vector<char>& buffer() const { return buffer_; }

 private:
  void* handle_;
  mutable std::vector<char> buffer_;
};

}  // namespace sm_test
