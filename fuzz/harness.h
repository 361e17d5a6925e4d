// What the fuzz targets share: loading a library as a host does, calling into
// it in a child process where the call may end the process, and stopping the
// fuzzer with a description when a property fails.
#pragma once

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// The libraries' own types (trace_node, the entry's and the recorder's):
// UndefinedBehaviorSanitizer checks that a function is called through a
// pointer of its own type.
#include "include/smtrace.h"
#include "support/routines.h"

namespace sm_fuzz {

// The name of the input being checked, when it comes from a file outside
// libFuzzer (the unit tests' replay of the corpora).
inline std::string& current_input() {
  static std::string name;
  return name;
}

// A finding: the description goes to standard error and abort() makes
// libFuzzer keep the input as a crash artifact.
[[noreturn]] inline void fail(const std::string& what) {
  std::fprintf(stderr, "\n==== property violated: %s\n", what.c_str());
  if (!current_input().empty()) std::fprintf(stderr, "==== input: %s\n", current_input().c_str());
  std::fflush(stderr);
  std::abort();
}

inline std::vector<int32_t> walk(const trace_node* node) {
  std::vector<int32_t> positions;
  for (; node != nullptr; node = node->next) positions.push_back(node->position);
  return positions;
}

// One deliverable library, loaded with RTLD_LOCAL so that several of them,
// which all export the same names, stay apart in one process.
struct Library {
  const sm_test::Routine* routine = nullptr;
  void* handle = nullptr;
  smtrace_entry_fn entry = nullptr;
  smtrace_main_fn main = nullptr;
  smtrace_txt_length_t* txt_length = nullptr;
  smtrace_prune_duplicates_t* prune_duplicates = nullptr;
  smtrace_set_txt_length_fn set_txt_length = nullptr;
  smtrace_window_fn start_pruning_duplicates = nullptr;
  smtrace_window_fn stop_pruning_duplicates = nullptr;
  smtrace_record_fn trace = nullptr;
  smtrace_trace_list_fn trace_new = nullptr;

  // The settings of a fresh process: no bound, no window, empty trace.
  void fresh() const {
    trace_new();
    set_txt_length(-1);
    stop_pruning_duplicates();
  }
};

inline void* need(void* handle, const char* library, const char* name) {
  void* found = dlsym(handle, name);
  if (found == nullptr) fail(std::string(library) + " exports no " + name);
  return found;
}

inline Library load(const sm_test::Routine& routine) {
  Library lib;
  lib.routine = &routine;
  const std::string path = std::string(SM_LIB_DIR) + "/lib" + routine.library + ".so";
  lib.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib.handle == nullptr) fail(std::string("dlopen: ") + dlerror());
  const char* name = routine.library;
  lib.entry = reinterpret_cast<smtrace_entry_fn>(need(lib.handle, name, name));
  lib.main = reinterpret_cast<smtrace_main_fn>(need(lib.handle, name, "main"));
  lib.txt_length = static_cast<smtrace_txt_length_t*>(need(lib.handle, name, "txt_length"));
  lib.prune_duplicates = static_cast<smtrace_prune_duplicates_t*>(need(lib.handle, name, "prune_duplicates"));
  lib.set_txt_length = reinterpret_cast<smtrace_set_txt_length_fn>(need(lib.handle, name, "set_txt_length"));
  lib.start_pruning_duplicates =
      reinterpret_cast<smtrace_window_fn>(need(lib.handle, name, "start_pruning_duplicates"));
  lib.stop_pruning_duplicates =
      reinterpret_cast<smtrace_window_fn>(need(lib.handle, name, "stop_pruning_duplicates"));
  lib.trace = reinterpret_cast<smtrace_record_fn>(need(lib.handle, name, "trace"));
  lib.trace_new = reinterpret_cast<smtrace_trace_list_fn>(need(lib.handle, name, "trace_new"));
  return lib;
}

struct Outcome {
  std::string out;
  int status;  // exit status, or 128 + signal
};

namespace detail {

inline void exit_now(int status, void*) {
  std::fflush(stdout);
  _exit(status);
}

}  // namespace detail

// Runs body in a forked child whose standard output is collected. An exit
// inside body (the fatal path) ends the child with the status given to exit,
// ahead of libFuzzer's own exit handler, which would report the exit as a
// finding and lose unflushed output. When body returns, the child ends with
// its result.
template <typename Body>
Outcome in_child(Body body) {
  int fds[2];
  if (pipe(fds) != 0) fail("pipe");
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid < 0) fail("fork");
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], STDOUT_FILENO);
    close(fds[1]);
    on_exit(detail::exit_now, nullptr);
    detail::exit_now(body(), nullptr);
  }
  close(fds[1]);
  Outcome outcome;
  char block[4096];
  // libFuzzer's timer signal may interrupt the reads and the wait.
  for (;;) {
    const ssize_t got = read(fds[0], block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    outcome.out.append(block, static_cast<size_t>(got));
  }
  close(fds[0]);
  int raw = 0;
  while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
  }
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return outcome;
}

// A buffer of exactly the given size on the heap, so that AddressSanitizer
// reports the first byte read or written beyond it.
class Exact {
 public:
  explicit Exact(size_t size) : data_(static_cast<char*>(std::malloc(size))) {
    if (data_ == nullptr) fail("out of memory");
  }
  ~Exact() { std::free(data_); }
  Exact(const Exact&) = delete;
  Exact& operator=(const Exact&) = delete;
  char* data() { return data_; }

 private:
  char* data_;
};

}  // namespace sm_fuzz
