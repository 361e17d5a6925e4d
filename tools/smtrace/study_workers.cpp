// The study's worker processes: each loads the libraries itself, takes the
// next case from a counter shared with the others, runs it through every
// library and libsmtrace, and sends the figures back over its own pipe.
#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "failure.h"
#include "smtrace_explain.h"
#include "study.h"

namespace smtrace {
namespace {

// The messages on a worker's pipe: a header, then its payload.
enum MessageType : uint32_t { kResultMessage = 1, kDoneMessage = 2, kErrorMessage = 3 };
struct Header {
  uint32_t type;
  uint32_t length;  // of the payload
};
struct WireFigures {
  int64_t reads, compares, look_aheads, dropped;
  int32_t occurrence;
  int32_t refused;
};
// A result: this, then the pattern's bytes.
struct WireResult {
  uint64_t index;
  int32_t position;
  int32_t first;
  WireFigures figures[SMTRACE_ALGORITHM_COUNT];
};
struct WireDone {
  int64_t entry_ns;
  int64_t summary_ns;
  int64_t processor_ns;  // the worker's own processor time, user and system
};
// An error: this, then the message.
struct WireError {
  int32_t status;
};

// A test hook: the worker that takes the case of this index kills itself
// with SIGKILL instead of running it, as a crash or the OOM killer would.
constexpr const char* kKillVariable = "SMTRACE_STUDY_TEST_KILL_CASE";

int64_t now_ns() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void write_all(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t got = write(fd, bytes, size);
    if (got < 0 && errno == EINTR) continue;
    // The parent is gone or has given up on this worker.
    if (got <= 0) _exit(kWorkerFailed);
    bytes += got;
    size -= static_cast<size_t>(got);
  }
}

void send(int fd, MessageType type, const void* payload, size_t size, const std::string& tail) {
  std::string message(sizeof(Header) + size + tail.size(), '\0');
  const Header header{type, static_cast<uint32_t>(size + tail.size())};
  std::memcpy(message.data(), &header, sizeof header);
  if (size > 0) std::memcpy(message.data() + sizeof header, payload, size);
  if (!tail.empty()) std::memcpy(message.data() + sizeof header + size, tail.data(), tail.size());
  write_all(fd, message.data(), message.size());
}

// One deliverable library, as the worker loaded it.
struct Loaded {
  void* handle = nullptr;
  smtrace_entry_fn entry = nullptr;
  smtrace_trace_list_fn trace_new = nullptr;
};

Loaded load(const Algorithm& algorithm, const std::string& directory) {
  const std::string path = directory + "/lib" + algorithm.name + ".so";
  Loaded loaded;
  loaded.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (loaded.handle == nullptr) {
    throw Failure(kMissingLibrary, "cannot load the " + std::string(algorithm.name) +
                                       " library: " + dlerror() +
                                       " (SMTRACE_LIB_DIR names the library directory)");
  }
  loaded.entry = reinterpret_cast<smtrace_entry_fn>(dlsym(loaded.handle, algorithm.name));
  loaded.trace_new = reinterpret_cast<smtrace_trace_list_fn>(dlsym(loaded.handle, "trace_new"));
  if (loaded.entry == nullptr || loaded.trace_new == nullptr) {
    throw Failure(kMissingLibrary, path + " lacks its entry function " + algorithm.name +
                                       " or trace_new");
  }
  return loaded;
}

struct Worker {
  const StudyDefinition& study;
  const std::vector<uint64_t>& cases;
  const std::vector<std::string>& alphabets;
  std::atomic<uint64_t>& next;
  int fd;
  Loaded libraries[SMTRACE_ALGORITHM_COUNT];
  // The current text, the zero byte after it and room for every routine:
  // the text is copied once, and the room is zeroed again after each call.
  std::vector<char> buffer;
  size_t buffer_text = static_cast<size_t>(-1);
  int64_t entry_ns = 0;
  int64_t summary_ns = 0;

  void use_text(size_t t) {
    if (t == buffer_text) return;
    int32_t longest = 0;
    for (int32_t m : study.lengths) longest = std::max(longest, m);
    const std::string& bytes = study.texts[t].bytes;
    std::vector<char>().swap(buffer);
    buffer.assign(bytes.size() + static_cast<size_t>(longest) + 2, '\0');
    std::memcpy(buffer.data(), bytes.data(), bytes.size());
    buffer_text = t;
  }

  void run(uint64_t index, long kill_at) {
    if (kill_at >= 0 && index == static_cast<uint64_t>(kill_at)) raise(SIGKILL);
    const CaseKey key = case_key(study, index);
    CaseResult result;
    draw_pattern(study, index, alphabets[key.text], result);
    use_text(key.text);
    const std::string& text = study.texts[key.text].bytes;
    const auto n = static_cast<int32_t>(text.size());
    const auto m = static_cast<int32_t>(result.pattern.size());
    WireResult wire{};
    wire.index = index;
    wire.position = result.position;
    wire.first = result.first;
    size_t a = 0;
    for (const Algorithm& algorithm : kAlgorithms) {
      WireFigures& f = wire.figures[a];
      const Loaded& library = libraries[a++];
      if (algorithm.refused_byte(result.pattern) >= 0) {
        f.refused = 1;
        f.occurrence = -1;
        continue;
      }
      // The entry, on a buffer of at least smtrace_buffer_size(n, m, ...)
      // bytes with zeroed room; its trace counted and freed at once, so
      // that the library holds no trace while the next one runs.
      const int64_t t0 = now_ns();
      const trace_node* head = library.entry(result.pattern.data(), m, buffer.data(), n);
      const int64_t length = smtrace_trace_length(head);
      library.trace_new();
      const int64_t t1 = now_ns();
      std::memset(buffer.data() + n, 0, static_cast<size_t>(m) + 2);
      smtrace_counts counts{};
      int32_t occurrence = -1;
      const int status =
          smtrace_summarize(algorithm.name, result.pattern.data(), m, text.data(), n, &counts,
                            &occurrence);
      const int64_t t2 = now_ns();
      entry_ns += t1 - t0;
      summary_ns += t2 - t1;
      if (status == SMTRACE_NO_MEMORY) throw std::bad_alloc();
      if (status != SMTRACE_OK) {
        throw Failure(static_cast<Status>(kWorkerFailed),
                      std::string("libsmtrace could not summarize ") + algorithm.name +
                          " on case " + std::to_string(index) + " (status " +
                          std::to_string(status) + ")");
      }
      if (counts.recorded != length) {
        throw Failure(static_cast<Status>(kWorkerFailed),
                      std::string(algorithm.name) + " recorded " + std::to_string(length) +
                          " reads on case " + std::to_string(index) + " and libsmtrace " +
                          std::to_string(counts.recorded) + ": the two disagree");
      }
      f.reads = length;
      f.compares = counts.compares;
      f.look_aheads = counts.look_aheads;
      f.dropped = counts.dropped;
      f.occurrence = occurrence;
    }
    send(fd, kResultMessage, &wire, sizeof wire, result.pattern);
  }
};

[[noreturn]] void work(Worker& worker, const std::string& directory) {
  int status = kOk;
  try {
    size_t a = 0;
    for (const Algorithm& algorithm : kAlgorithms) worker.libraries[a++] = load(algorithm, directory);
    const char* kill = std::getenv(kKillVariable);
    const long kill_at = kill != nullptr && *kill != '\0' ? std::strtol(kill, nullptr, 10) : -1;
    for (;;) {
      const uint64_t k = worker.next.fetch_add(1);
      if (k >= worker.cases.size()) break;
      worker.run(worker.cases[k], kill_at);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const int64_t processor_ns =
        (static_cast<int64_t>(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000000000 +
        (static_cast<int64_t>(usage.ru_utime.tv_usec) + usage.ru_stime.tv_usec) * 1000;
    const WireDone done{worker.entry_ns, worker.summary_ns, processor_ns};
    send(worker.fd, kDoneMessage, &done, sizeof done, "");
  } catch (const Failure& failure) {
    status = failure.status();
    const WireError error{status};
    send(worker.fd, kErrorMessage, &error, sizeof error, failure.what());
  } catch (const std::bad_alloc&) {
    status = 1;
    const WireError error{status};
    send(worker.fd, kErrorMessage, &error, sizeof error, "out of memory");
  }
  close(worker.fd);
  _exit(status);
}

// The parent's view of one worker.
struct Child {
  pid_t pid = -1;
  int fd = -1;
  std::string pending;  // bytes read and not yet taken as messages
  bool done = false;
  bool reaped = false;
  int wait_status = 0;
};

std::string describe_exit(int wait_status) {
  if (WIFSIGNALED(wait_status)) {
    const int signal = WTERMSIG(wait_status);
    return "was killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
  }
  if (WIFEXITED(wait_status)) {
    return "ended with status " + std::to_string(WEXITSTATUS(wait_status));
  }
  return "ended";
}

std::string clock_text(double seconds) {
  const auto whole = static_cast<long>(seconds + 0.5);
  char out[32];
  if (whole >= 3600) {
    std::snprintf(out, sizeof out, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(out, sizeof out, "%ld:%02ld", whole / 60, whole % 60);
  }
  return out;
}

class Progress {
 public:
  Progress(bool on, size_t total) : on_(on), total_(total), start_(now_ns()) {}
  void update(size_t done, bool force) {
    if (!on_) return;
    const int64_t now = now_ns();
    if (!force && now - shown_ < 250000000) return;
    shown_ = now;
    const double elapsed = static_cast<double>(now - start_) * 1e-9;
    const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
    const std::string left =
        rate > 0 ? clock_text(static_cast<double>(total_ - done) / rate) : std::string("?");
    std::fprintf(stderr, "\rstudy: %zu of %zu cases, %.1f cases/s, %s left, %s so far\033[K", done,
                 total_, rate, left.c_str(), clock_text(elapsed).c_str());
    std::fflush(stderr);
  }
  void finish() {
    if (!on_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
  }

 private:
  bool on_;
  size_t total_;
  int64_t start_;
  int64_t shown_ = 0;
};

}  // namespace

std::vector<CaseResult> run_cases(const StudyDefinition& study, const Shard& shard,
                                  const RunOptions& options, CallTimes& times) {
  std::vector<uint64_t> cases;
  for (uint64_t i = 0; i < study.case_count(); ++i) {
    if (shard.holds(i)) cases.push_back(i);
  }
  std::vector<CaseResult> results(cases.size());
  if (cases.empty()) return results;
  std::vector<bool> received(cases.size());
  std::vector<std::string> alphabets;
  for (const StudyText& text : study.texts) alphabets.push_back(alphabet_of(text.bytes));

  void* shared = mmap(nullptr, sizeof(std::atomic<uint64_t>), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) throw std::bad_alloc();
  auto* next = new (shared) std::atomic<uint64_t>(0);
  static_assert(std::atomic<uint64_t>::is_always_lock_free, "the counter works across processes");

  const size_t jobs = std::max<size_t>(1, std::min<size_t>(options.jobs, cases.size()));
  std::vector<Child> children(jobs);
  std::fflush(stdout);
  std::fflush(stderr);
  std::string failure;
  int failure_status = kOk;
  for (size_t w = 0; w < jobs; ++w) {
    int fds[2];
    if (pipe(fds) != 0) {
      failure = std::string("cannot make a pipe for a worker: ") + std::strerror(errno);
      failure_status = kWorkerFailed;
      break;
    }
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      for (size_t v = 0; v < w; ++v) close(children[v].fd);
      Worker worker{study, cases, alphabets, *next, fds[1], {}, {}, static_cast<size_t>(-1), 0, 0};
      work(worker, options.directory);
    }
    close(fds[1]);
    if (pid < 0) {
      close(fds[0]);
      failure = std::string("cannot start a worker: ") + std::strerror(errno);
      failure_status = kWorkerFailed;
      break;
    }
    children[w].pid = pid;
    children[w].fd = fds[0];
  }
  if (!failure.empty()) {
    for (Child& child : children) {
      if (child.pid > 0) kill(child.pid, SIGTERM);
    }
  }

  Progress progress(options.progress, cases.size());
  size_t done = 0;
  auto take_messages = [&](Child& child, size_t w) {
    for (;;) {
      if (child.pending.size() < sizeof(Header)) return;
      Header header{};
      std::memcpy(&header, child.pending.data(), sizeof header);
      if (child.pending.size() < sizeof header + header.length) return;
      const char* payload = child.pending.data() + sizeof header;
      const std::string worker_name = "worker " + std::to_string(w + 1) + " of " +
                                      std::to_string(jobs);
      if (header.type == kResultMessage && header.length >= sizeof(WireResult)) {
        WireResult wire{};
        std::memcpy(&wire, payload, sizeof wire);
        const uint64_t local = wire.index / shard.count;
        if (local >= cases.size() || cases[local] != wire.index || received[local]) {
          if (failure.empty()) {
            failure = worker_name + " sent a result for an unexpected case";
            failure_status = kWorkerFailed;
          }
        } else {
          CaseResult& result = results[local];
          result.index = wire.index;
          result.position = wire.position;
          result.first = wire.first;
          result.pattern.assign(payload + sizeof wire, header.length - sizeof wire);
          for (size_t a = 0; a < SMTRACE_ALGORITHM_COUNT; ++a) {
            const WireFigures& f = wire.figures[a];
            result.figures[a] = CaseFigures{f.refused != 0, f.reads,      f.compares,
                                            f.look_aheads,  f.dropped, f.occurrence};
          }
          received[local] = true;
          ++done;
          progress.update(done, false);
        }
      } else if (header.type == kDoneMessage && header.length == sizeof(WireDone)) {
        WireDone wire{};
        std::memcpy(&wire, payload, sizeof wire);
        times.entries += static_cast<double>(wire.entry_ns) * 1e-9;
        times.summaries += static_cast<double>(wire.summary_ns) * 1e-9;
        const double processor = static_cast<double>(wire.processor_ns) * 1e-9;
        times.processor += processor;
        times.busiest_processor = std::max(times.busiest_processor, processor);
        child.done = true;
      } else if (header.type == kErrorMessage && header.length >= sizeof(WireError)) {
        WireError wire{};
        std::memcpy(&wire, payload, sizeof wire);
        if (failure.empty()) {
          failure = std::string(payload + sizeof wire, header.length - sizeof wire);
          failure_status = wire.status;
        }
      } else if (failure.empty()) {
        failure = worker_name + " sent a malformed message";
        failure_status = kWorkerFailed;
      }
      child.pending.erase(0, sizeof header + header.length);
    }
  };

  std::vector<pollfd> fds;
  char block[1 << 16];
  for (;;) {
    fds.clear();
    std::vector<size_t> owners;
    for (size_t w = 0; w < jobs; ++w) {
      if (children[w].fd >= 0) {
        fds.push_back(pollfd{children[w].fd, POLLIN, 0});
        owners.push_back(w);
      }
    }
    if (fds.empty()) break;
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      throw Failure(static_cast<Status>(kWorkerFailed),
                    std::string("cannot wait for the workers: ") + std::strerror(errno));
    }
    for (size_t k = 0; k < fds.size(); ++k) {
      if (fds[k].revents == 0) continue;
      Child& child = children[owners[k]];
      const ssize_t got = read(child.fd, block, sizeof block);
      if (got < 0 && errno == EINTR) continue;
      if (got > 0) {
        child.pending.append(block, static_cast<size_t>(got));
        take_messages(child, owners[k]);
        continue;
      }
      // The worker closed its pipe: it has ended, one way or another.
      close(child.fd);
      child.fd = -1;
      while (waitpid(child.pid, &child.wait_status, 0) < 0 && errno == EINTR) {
      }
      child.reaped = true;
      const bool clean = WIFEXITED(child.wait_status) && WEXITSTATUS(child.wait_status) == 0;
      if ((!clean || !child.done) && failure.empty()) {
        failure = "study worker " + std::to_string(owners[k] + 1) + " of " +
                  std::to_string(jobs) + " (process " + std::to_string(child.pid) + ") " +
                  describe_exit(child.wait_status) + " before it finished its cases";
        failure_status = kWorkerFailed;
      }
      if (!failure.empty()) {
        // No partial table: stop the other workers now.
        for (Child& other : children) {
          if (other.pid > 0 && !other.reaped) kill(other.pid, SIGTERM);
        }
      }
    }
  }
  for (Child& child : children) {
    if (child.pid > 0 && !child.reaped) {
      while (waitpid(child.pid, &child.wait_status, 0) < 0 && errno == EINTR) {
      }
    }
  }
  progress.finish();
  munmap(shared, sizeof(std::atomic<uint64_t>));
  if (!failure.empty()) throw Failure(static_cast<Status>(failure_status), failure);
  if (done != cases.size()) {
    throw Failure(static_cast<Status>(kWorkerFailed),
                  "the workers ran " + std::to_string(done) + " of " +
                      std::to_string(cases.size()) + " cases");
  }
  return results;
}

}  // namespace smtrace
