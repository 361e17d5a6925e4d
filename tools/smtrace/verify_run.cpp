#include "verify_run.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "failure.h"
#include "golden.h"
#include "smtrace.h"

namespace smtrace {
namespace {

double now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Milliseconds left until the deadline, for poll: at least 0, rounded up.
int millis_until(double deadline) {
  const double left = (deadline - now()) * 1000.0;
  if (left <= 0) return 0;
  return left > 1e9 ? 1000000000 : static_cast<int>(std::ceil(left));
}

struct Pipe {
  int read = -1;
  int write = -1;
};

Pipe make_pipe() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    throw Failure(kUsage, std::string("cannot make a pipe: ") + std::strerror(errno));
  }
  return {fds[0], fds[1]};
}

void close_fd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

bool write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t done = write(fd, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

// In a child: the descriptor becomes target (not close-on-exec).
void move_to(int fd, int target) {
  if (fd == target) {
    fcntl(fd, F_SETFD, 0);
  } else {
    dup2(fd, target);
  }
}

enum class Drained { kClosed, kTimedOut, kTooLong };

// Reads every stream until all are closed, the deadline passes or together
// they hold more than kLongestOutput bytes. Closes the descriptors.
Drained drain(std::vector<std::pair<int, std::string*>> streams, double deadline) {
  std::vector<pollfd> fds;
  for (const auto& stream : streams) fds.push_back({stream.first, POLLIN, 0});
  size_t open = fds.size();
  size_t total = 0;
  Drained result = Drained::kClosed;
  char block[65536];
  while (open > 0) {
    const int ready = poll(fds.data(), fds.size(), millis_until(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      result = Drained::kTimedOut;
      break;
    }
    for (size_t k = 0; k < fds.size(); ++k) {
      if (fds[k].fd < 0 || fds[k].revents == 0) continue;
      const ssize_t got = read(fds[k].fd, block, sizeof block);
      if (got < 0 && errno == EINTR) continue;
      if (got > 0) {
        streams[k].second->append(block, static_cast<size_t>(got));
        total += static_cast<size_t>(got);
      } else {
        close(fds[k].fd);
        fds[k].fd = -1;
        --open;
      }
    }
    if (total > kLongestOutput) {
      result = Drained::kTooLong;
      break;
    }
  }
  for (pollfd& fd : fds) close_fd(fd.fd);
  return result;
}

// Waits for the child until the deadline; then, or at once when told to,
// kills its process group (the child is not reaped before, so the group is
// still the one it made). Returns the wait status, and whether it was killed.
int reap(pid_t pid, double deadline, bool kill_now, bool* killed) {
  *killed = false;
  int status = 0;
  if (!kill_now) {
    for (;;) {
      const pid_t done = waitpid(pid, &status, WNOHANG);
      if (done == pid) return status;
      if (done < 0 && errno != EINTR) return status;
      if (now() >= deadline) break;
      const timespec pause{0, 1000000};
      nanosleep(&pause, nullptr);
    }
  }
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  *killed = true;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

// How a child's run ended, from its drain and its wait status.
RunOutcome ending(Drained drained, int status, bool killed) {
  RunOutcome outcome;
  if (drained == Drained::kTooLong) {
    outcome.kind = RunOutcome::kOutputLimit;
  } else if (killed) {
    outcome.kind = RunOutcome::kTimedOut;
  } else if (WIFSIGNALED(status)) {
    outcome.kind = RunOutcome::kSignaled;
    outcome.code = WTERMSIG(status);
  } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    outcome.kind = RunOutcome::kExited;
    outcome.code = WEXITSTATUS(status);
  }
  return outcome;
}

// The child's side before its work: its own process group, standard input
// from /dev/null.
void enter_child() {
  setpgid(0, 0);
  const int null = open("/dev/null", O_RDONLY);
  if (null >= 0) {
    dup2(null, STDIN_FILENO);
    if (null != STDIN_FILENO) close(null);
  }
}

pid_t start_child() {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw Failure(kUsage, std::string("cannot fork: ") + std::strerror(errno));
  if (pid > 0) setpgid(pid, pid);  // also here, so that a kill can never miss the group
  return pid;
}

class Program : public Implementation {
 public:
  Program(std::vector<std::string> command, double timeout)
      : command_(std::move(command)), timeout_(timeout) {}

  RunOutcome run(const std::string& pattern, const std::string& text) override {
    std::vector<std::string> argv = command_;
    argv.push_back(pattern);
    argv.push_back(text);
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);

    Pipe out = make_pipe();
    Pipe err = make_pipe();
    Pipe exec_error = make_pipe();
    const pid_t pid = start_child();
    if (pid == 0) {
      enter_child();
      move_to(out.write, STDOUT_FILENO);
      move_to(err.write, STDERR_FILENO);
      execvp(args[0], args.data());
      const int code = errno;
      write_all(exec_error.write, reinterpret_cast<const char*>(&code), sizeof code);
      _exit(127);
    }
    const double deadline = now() + timeout_;
    close_fd(out.write);
    close_fd(err.write);
    close_fd(exec_error.write);
    int code = 0;
    ssize_t got;
    while ((got = read(exec_error.read, &code, sizeof code)) < 0 && errno == EINTR) {
    }
    close_fd(exec_error.read);
    RunOutcome outcome;
    std::string output;
    std::string errors;
    const Drained drained = drain({{out.read, &output}, {err.read, &errors}}, deadline);
    bool killed = false;
    const int status = reap(pid, deadline, drained != Drained::kClosed, &killed);
    if (got == static_cast<ssize_t>(sizeof code)) {
      throw Failure(kUsage, "cannot run " + command_[0] + ": " + std::strerror(code));
    }
    outcome = ending(drained, status, killed);
    outcome.output = std::move(output);
    outcome.errors = std::move(errors);
    return outcome;
  }

  // The command as execvp would find it: a path with a slash as it is,
  // else the first executable of that name on PATH.
  void prepare() override {
    const std::string& name = command_[0];
    auto runnable = [](const std::string& path) {
      struct stat status {};
      return access(path.c_str(), X_OK) == 0 && stat(path.c_str(), &status) == 0 &&
             S_ISREG(status.st_mode);
    };
    if (name.find('/') != std::string::npos) {
      if (!runnable(name)) {
        throw Failure(kUsage, "cannot run " + name + ": " +
                                  (access(name.c_str(), F_OK) == 0 ? "not an executable file"
                                                                   : std::strerror(ENOENT)));
      }
      return;
    }
    const char* path = std::getenv("PATH");
    std::string directories = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t at = 0;
    for (;;) {
      const size_t colon = directories.find(':', at);
      std::string directory = directories.substr(at, colon - at);
      if (directory.empty()) directory = ".";
      if (runnable(directory + "/" + name)) return;
      if (colon == std::string::npos) break;
      at = colon + 1;
    }
    throw Failure(kUsage, "cannot run " + name + ": not found on PATH");
  }

  const char* noun() const override { return "command"; }
  std::string describe() const override {
    std::string words;
    for (const std::string& word : command_) words += (words.empty() ? "" : " ") + shell_word(word);
    return "the command " + words;
  }
  std::string rerun(const std::string& pattern, const std::string& text) const override {
    std::string words;
    for (const std::string& word : command_) words += shell_word(word) + " ";
    return words + shell_word(pattern) + " " + shell_word(text);
  }

 private:
  std::vector<std::string> command_;
  double timeout_;
};

// The library child's report on its result pipe: "L" and dlerror's message
// when the library does not load, "S" when the entry is missing, else "T",
// the trace line and "E" once the entry has returned and its list has been
// walked. The line goes out while the list is walked, so that a list
// without end meets the output limit rather than the child's memory.
void serve_entry(const std::string& path, const std::string& name, const std::string& pattern,
                 const std::string& text, int result) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const std::string message = std::string("L") + dlerror();
    write_all(result, message.data(), message.size());
    _exit(0);
  }
  void* symbol = dlsym(handle, name.c_str());
  if (symbol == nullptr) {
    write_all(result, "S", 1);
    _exit(0);
  }
  const auto entry = reinterpret_cast<smtrace_entry_fn>(symbol);
  std::vector<char> buffer(text.size() + pattern.size() + 2, '\0');
  std::memcpy(buffer.data(), text.data(), text.size());
  const trace_node* node = entry(pattern.data(), static_cast<int32_t>(pattern.size()),
                                 buffer.data(), static_cast<int32_t>(text.size()));
  std::string chunk = "T";
  for (; node != nullptr; node = node->next) {
    chunk += std::to_string(node->position);
    chunk += ' ';
    if (chunk.size() >= 65536) {
      if (!write_all(result, chunk.data(), chunk.size())) _exit(0);
      chunk.clear();
    }
  }
  chunk += "\nE";
  std::fflush(nullptr);
  write_all(result, chunk.data(), chunk.size());
  _exit(0);
}

class Entry : public Implementation {
 public:
  Entry(std::string path, std::string name, double timeout)
      : path_(std::move(path)), name_(std::move(name)), timeout_(timeout) {}

  RunOutcome run(const std::string& pattern, const std::string& text) override {
    Pipe result = make_pipe();
    Pipe own = make_pipe();
    const pid_t pid = start_child();
    if (pid == 0) {
      enter_child();
      move_to(own.write, STDOUT_FILENO);
      move_to(own.write, STDERR_FILENO);
      close_fd(result.read);
      close_fd(own.read);
      serve_entry(path_, name_, pattern, text, result.write);
    }
    const double deadline = now() + timeout_;
    close_fd(result.write);
    close_fd(own.write);
    std::string report;
    std::string printed;
    const Drained drained = drain({{result.read, &report}, {own.read, &printed}}, deadline);
    bool killed = false;
    const int status = reap(pid, deadline, drained != Drained::kClosed, &killed);
    check_loaded(report);
    RunOutcome outcome = ending(drained, status, killed);
    const bool complete = report.size() >= 2 && report[0] == 'T' && report.back() == 'E';
    if (outcome.kind == RunOutcome::kFinished && !complete) {
      outcome.kind = RunOutcome::kEntryExited;
    } else if (outcome.kind == RunOutcome::kExited) {
      outcome.kind = RunOutcome::kEntryExited;
    }
    if (!report.empty() && report[0] == 'T') {
      outcome.output = report.substr(1, complete ? report.size() - 2 : std::string::npos);
    }
    outcome.errors = std::move(printed);
    return outcome;
  }

  // Loads the library and finds the entry in a child process, as each run does.
  void prepare() override {
    Pipe result = make_pipe();
    const pid_t pid = start_child();
    if (pid == 0) {
      enter_child();
      close_fd(result.read);
      void* handle = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
      std::string report = handle == nullptr                         ? std::string("L") + dlerror()
                           : dlsym(handle, name_.c_str()) == nullptr ? "S"
                                                                     : "OK";
      write_all(result.write, report.data(), report.size());
      _exit(0);
    }
    close_fd(result.write);
    std::string report;
    const Drained drained = drain({{result.read, &report}}, now() + timeout_ + 10);
    bool killed = false;
    reap(pid, now() + timeout_ + 10, drained != Drained::kClosed, &killed);
    check_loaded(report);
  }

  const char* noun() const override { return "library"; }
  std::string describe() const override {
    return "the library " + path_ + " (entry " + name_ + ")";
  }

 private:
  void check_loaded(const std::string& report) const {
    if (!report.empty() && report[0] == 'L') {
      throw Failure(kMissingLibrary, "cannot load " + path_ + ": " + report.substr(1));
    }
    if (!report.empty() && report[0] == 'S') {
      throw Failure(kMissingLibrary, path_ + " has no entry function " + name_);
    }
  }

  std::string path_;
  std::string name_;
  double timeout_;
};

class Connected : public Implementation {
 public:
  Connected(int read_fd, int write_fd, double timeout)
      : read_fd_(read_fd), write_fd_(write_fd), timeout_(timeout) {
    // Both ends only ever wait in poll, so that the deadline holds even
    // against a peer that neither reads nor writes.
    fcntl(read_fd_, F_SETFL, fcntl(read_fd_, F_GETFL) | O_NONBLOCK);
    fcntl(write_fd_, F_SETFL, fcntl(write_fd_, F_GETFL) | O_NONBLOCK);
    signal(SIGPIPE, SIG_IGN);
  }
  ~Connected() override {
    close(read_fd_);
    close(write_fd_);
  }

  RunOutcome run(const std::string& pattern, const std::string& text) override {
    RunOutcome outcome;
    if (!usable_) {
      outcome.kind = RunOutcome::kGone;
      return outcome;
    }
    const double deadline = now() + timeout_;
    const std::string request =
        "{\"pattern\":" + json_bytes(pattern) + ",\"text\":" + json_bytes(text) + "}\n";
    size_t sent = 0;
    while (sent < request.size()) {
      pollfd fd{write_fd_, POLLOUT, 0};
      const int ready = poll(&fd, 1, millis_until(deadline));
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) return lost(RunOutcome::kTimedOut);
      const ssize_t done = write(write_fd_, request.data() + sent, request.size() - sent);
      if (done < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (done <= 0) return lost(RunOutcome::kGone);
      sent += static_cast<size_t>(done);
    }
    size_t end;
    while ((end = pending_.find('\n')) == std::string::npos) {
      if (pending_.size() > kLongestOutput) return lost(RunOutcome::kOutputLimit);
      pollfd fd{read_fd_, POLLIN, 0};
      const int ready = poll(&fd, 1, millis_until(deadline));
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) return lost(RunOutcome::kTimedOut);
      char block[65536];
      const ssize_t got = read(read_fd_, block, sizeof block);
      if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (got <= 0) return lost(RunOutcome::kGone);
      pending_.append(block, static_cast<size_t>(got));
    }
    std::string line = pending_.substr(0, end + 1);
    pending_.erase(0, end + 1);
    if (!line.empty() && line[0] == '!') {
      outcome.kind = RunOutcome::kRaised;
      outcome.errors = line.substr(1, line.size() - 2);
      return outcome;
    }
    outcome.output = std::move(line);
    return outcome;
  }

  const char* noun() const override { return "function"; }
  std::string describe() const override {
    return "the function served on descriptors " + std::to_string(read_fd_) + "," +
           std::to_string(write_fd_);
  }
  bool usable() const override { return usable_; }

 private:
  RunOutcome lost(RunOutcome::Kind kind) {
    usable_ = false;
    RunOutcome outcome;
    outcome.kind = kind;
    return outcome;
  }

  int read_fd_;
  int write_fd_;
  double timeout_;
  bool usable_ = true;
  std::string pending_;
};

}  // namespace

std::unique_ptr<Implementation> program(std::vector<std::string> command, double timeout) {
  return std::make_unique<Program>(std::move(command), timeout);
}

std::unique_ptr<Implementation> library(const std::string& path, const std::string& entry,
                                        double timeout) {
  return std::make_unique<Entry>(path, entry, timeout);
}

std::unique_ptr<Implementation> connected(int read_fd, int write_fd, double timeout) {
  return std::make_unique<Connected>(read_fd, write_fd, timeout);
}

std::string shell_word(const std::string& word) {
  bool plain = !word.empty();
  bool printable = true;
  for (const char ch : word) {
    const auto c = static_cast<unsigned char>(ch);
    if (!(std::isalnum(c) || std::strchr("_./=:,+-@%", c) != nullptr)) plain = false;
    if (c < 0x20 || c >= 0x7f || c == '\'') printable = false;
  }
  if (plain) return word;
  if (printable) return "'" + word + "'";
  std::string out = "$'";
  for (const char ch : word) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\'' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c >= 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += ch;
    }
  }
  return out + "'";
}

std::string signal_name(int signal) {
  const char* name = strsignal(signal);
  return name != nullptr ? name : "signal " + std::to_string(signal);
}

}  // namespace smtrace
