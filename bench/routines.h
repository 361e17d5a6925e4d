// The deliverables under measurement, loaded from the build's libraries as a
// host loads them.
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <string>
#include <vector>

// trace_node and the types of the entry and the recorder's functions.
#include "include/smtrace.h"

namespace sm_bench {

// One routine, reached through its library's entry function.
struct Routine {
  std::string name;  // the deliverable, and its entry function
  void* handle = nullptr;
  smtrace_entry_fn entry = nullptr;
  smtrace_trace_list_fn trace_new = nullptr;
  smtrace_record_fn trace_add = nullptr;
  smtrace_trace_list_fn trace_print = nullptr;
};

// Every deliverable, in the order of the public header's algorithm table.
inline const std::vector<std::string>& deliverable_names() {
#define SM_BENCH_NAME(name, ...) #name,
  static const std::vector<std::string> names = {SMTRACE_ALGORITHM_TABLE(SM_BENCH_NAME)};
#undef SM_BENCH_NAME
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
  routine.entry = reinterpret_cast<smtrace_entry_fn>(dlsym(handle, name.c_str()));
  routine.trace_new = reinterpret_cast<smtrace_trace_list_fn>(dlsym(handle, "trace_new"));
  routine.trace_add = reinterpret_cast<smtrace_record_fn>(dlsym(handle, "trace_add"));
  routine.trace_print = reinterpret_cast<smtrace_trace_list_fn>(dlsym(handle, "trace_print"));
  if (routine.entry == nullptr || routine.trace_new == nullptr || routine.trace_add == nullptr ||
      routine.trace_print == nullptr) {
    why = path + " lacks its entry or the recorder's functions";
    dlclose(handle);
    return false;
  }
  return true;
}

inline int64_t count(const trace_node* node) {
  int64_t reads = 0;
  for (; node != nullptr; node = node->next) ++reads;
  return reads;
}

}  // namespace sm_bench
