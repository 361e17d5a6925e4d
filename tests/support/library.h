// Test-side view of a deliverable library, loaded with dlopen as a host does.
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace sm_test {

struct Node {
  int32_t position;
  Node* next;
};

using EntryFn = Node* (*)(const char*, int32_t, char*, int32_t);

// Where the build put the deliverables.
inline std::string library_path(const std::string& name) {
  return std::string(SM_LIB_DIR) + "/lib" + name + ".so";
}
inline std::string program_path(const std::string& name) {
  return std::string(SM_BIN_DIR) + "/" + name;
}

inline std::vector<int32_t> walk(const Node* node) {
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

  // Calls an entry function the way a host keeps the buffer contract: the
  // text is followed by a zero byte and by room for every routine's writes.
  std::vector<int32_t> search(const std::string& entry, const std::string& pattern,
                              const std::string& text) const {
    buffer_.assign(text.begin(), text.end());
    buffer_.resize(text.size() + pattern.size() + 2, '\0');
    Node* head = fn<EntryFn>(entry)(pattern.data(), static_cast<int32_t>(pattern.size()),
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
