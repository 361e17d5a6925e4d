// The deliverables under measurement, loaded from the build's libraries as a
// host loads them.
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sm_bench {

struct Node {
  int32_t position;
  Node* next;
};

using EntryFn = Node* (*)(const char*, int32_t, char*, int32_t);

// One routine, reached through its library's entry function.
struct Routine {
  std::string name;  // the deliverable, and its entry function
  void* handle = nullptr;
  EntryFn entry = nullptr;
  void (*trace_new)() = nullptr;
  void (*trace_add)(int32_t) = nullptr;
  void (*trace_print)() = nullptr;
};

// Every deliverable, in the order of the table of deliverables.
inline const std::vector<std::string>& deliverable_names() {
  static const std::vector<std::string> names = {
      "turbo_reverse_factor", "morris_pratt", "not_so_naive", "raita",
      "tuned_bm",             "berry_ravindran", "skip_search"};
  return names;
}

// Loads lib<name>.so from the build's library directory; false (and the
// reason in why) when it is not there.
inline bool load(const std::string& dir, const std::string& name, Routine& routine,
                 std::string& why) {
  const std::string path = dir + "/lib" + name + ".so";
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    why = dlerror();
    return false;
  }
  routine.name = name;
  routine.handle = handle;
  routine.entry = reinterpret_cast<EntryFn>(dlsym(handle, name.c_str()));
  routine.trace_new = reinterpret_cast<void (*)()>(dlsym(handle, "trace_new"));
  routine.trace_add = reinterpret_cast<void (*)(int32_t)>(dlsym(handle, "trace_add"));
  routine.trace_print = reinterpret_cast<void (*)()>(dlsym(handle, "trace_print"));
  if (routine.entry == nullptr || routine.trace_new == nullptr || routine.trace_add == nullptr ||
      routine.trace_print == nullptr) {
    why = path + " lacks its entry or the recorder's functions";
    dlclose(handle);
    return false;
  }
  return true;
}

inline int64_t count(const Node* node) {
  int64_t reads = 0;
  for (; node != nullptr; node = node->next) ++reads;
  return reads;
}

}  // namespace sm_bench
