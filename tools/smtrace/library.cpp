#include "library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "failure.h"
#include "smtrace.h"

namespace smtrace {
namespace {

std::string executable_directory() {
  std::string path(4096, '\0');
  const ssize_t got = readlink("/proc/self/exe", path.data(), path.size());
  if (got <= 0 || static_cast<size_t>(got) >= path.size()) return ".";
  path.resize(static_cast<size_t>(got));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

std::string library_directory() {
  const char* chosen = std::getenv("SMTRACE_LIB_DIR");
  if (chosen != nullptr && *chosen != '\0') return chosen;
  // An installed smtrace finds them where they install beside its bin
  // directory; a build tree has them in ../lib.
  const std::string dir = executable_directory();
  const std::string installed = dir + "/" + SMTRACE_LIB_FROM_BIN;
  if (access(installed.c_str(), F_OK) == 0) return installed;
  return dir + "/../lib";
}

Library::Library(const Algorithm& algorithm, const std::string& directory)
    : algorithm_(algorithm), handle_(nullptr), entry_(nullptr), trace_new_(nullptr) {
  const std::string path = directory + "/lib" + algorithm.name + ".so";
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    throw Failure(kMissingLibrary, "cannot load the " + std::string(algorithm.name) +
                                       " library: " + dlerror() +
                                       " (SMTRACE_LIB_DIR names the library directory)");
  }
  entry_ = dlsym(handle_, algorithm.name);
  if (entry_ == nullptr) {
    dlclose(handle_);
    throw Failure(kMissingLibrary, path + " has no entry function " + algorithm.name);
  }
  trace_new_ = dlsym(handle_, "trace_new");
  if (trace_new_ == nullptr) {
    dlclose(handle_);
    throw Failure(kMissingLibrary, path + " has no function trace_new");
  }
}

Library::~Library() { dlclose(handle_); }

const trace_node* Library::record(std::string_view pattern, std::string_view text) const {
  const auto m = static_cast<int32_t>(pattern.size());
  const auto n = static_cast<int32_t>(text.size());
  // Value-initialised, so the zero byte at n and the room after it are zero.
  std::unique_ptr<char[]> buffer(new char[algorithm_.buffer_size(n, m)]());
  if (!text.empty()) std::memcpy(buffer.get(), text.data(), text.size());
  const auto entry = reinterpret_cast<smtrace_entry_fn>(entry_);
  return entry(pattern.data(), m, buffer.get(), n);
}

void Library::release() const { reinterpret_cast<smtrace_trace_list_fn>(trace_new_)(); }

std::vector<int32_t> Library::search(std::string_view pattern, std::string_view text) const {
  std::vector<int32_t> positions;
  for (int32_t position : TraceList(record(pattern, text))) positions.push_back(position);
  release();
  return positions;
}

}  // namespace smtrace
