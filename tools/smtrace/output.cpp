#include "output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "failure.h"

namespace smtrace {
namespace {

constexpr size_t kBlock = 1 << 16;

// A closed pipe: end as a tool killed by SIGPIPE ends, without a message.
[[noreturn]] void end_by_sigpipe() {
  std::signal(SIGPIPE, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  std::raise(SIGPIPE);
  std::_Exit(128 + SIGPIPE);
}

// Writes everything to fd; returns 0 or the errno of the failure.
int write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t got = ::write(fd, data, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got < 0 ? errno : EIO;
    data += got;
    size -= static_cast<size_t>(got);
  }
  return 0;
}

[[noreturn]] void output_failed(int code) {
  if (code == EPIPE) end_by_sigpipe();
  throw Failure(kWriteError, std::string("cannot write the output: ") + std::strerror(code));
}

}  // namespace

Output& Output::standard() {
  static Output output(STDOUT_FILENO);
  return output;
}

void Output::write(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kBlock) flush();
  if (bytes.size() >= kBlock) {
    if (const int code = write_all(fd_, bytes.data(), bytes.size())) output_failed(code);
    return;
  }
  buffer_.append(bytes.data(), bytes.size());
}

void Output::flush_now() { flush(); }

void Output::flush() {
  if (buffer_.empty()) return;
  const int code = write_all(fd_, buffer_.data(), buffer_.size());
  buffer_.clear();
  if (code != 0) output_failed(code);
}

void Output::finish() {
  if (finished_) return;
  finished_ = true;
  // What went through stdio (verify's report) is out before this buffer.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) output_failed(errno != 0 ? errno : EIO);
  flush();
  // A file system may report a failed write only when the file is closed.
  if (::close(fd_) != 0 && errno != EINTR) output_failed(errno);
}

Output::~Output() {
  // Output left behind by a command that failed is written if it can be;
  // the failure has been reported already.
  if (!finished_ && !buffer_.empty()) write_all(fd_, buffer_.data(), buffer_.size());
}

void write_output_file(const std::string& path, std::string_view content, const char* what) {
  auto failure = [&](int code) {
    return Failure(kUnwritableOutput, std::string("cannot write the ") + what + " file " + path +
                                          ": " + std::strerror(code));
  };
  if (path == "-") {
    Output::standard().write(content);
    return;
  }
  struct stat status {};
  const bool exists = ::stat(path.c_str(), &status) == 0;
  // The file standard output is open on (/dev/stdout, /dev/fd/1, or its
  // path given again): written through standard output, in its order. A
  // file opened a second time would have an offset of its own, and the
  // output written after it would go over it.
  struct stat out_status {};
  if (exists && ::fstat(STDOUT_FILENO, &out_status) == 0 && out_status.st_dev == status.st_dev &&
      out_status.st_ino == status.st_ino && !S_ISDIR(status.st_mode)) {
    Output::standard().write(content);
    return;
  }
  // /dev/stdout, /dev/fd/N and the like name an open file of this process
  // or another's: written where they are, after what standard output holds.
  const bool special = path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0;
  if (exists && (special || !S_ISREG(status.st_mode))) {
    Output::standard().flush_now();
    if (S_ISDIR(status.st_mode)) throw failure(EISDIR);
    // A FIFO, a terminal, /dev/stdout, /dev/fd/N: written where it is.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) throw failure(errno);
    const int code = write_all(fd, content.data(), content.size());
    const int closed = ::close(fd) != 0 ? errno : 0;
    if (code == EPIPE) end_by_sigpipe();
    if (code != 0) throw failure(code);
    if (closed != 0 && closed != EINTR) throw failure(closed);
    return;
  }
  // A regular file (a link is followed to its target, which is replaced, so
  // that the link stays) or a new path: write beside it, then rename.
  std::string target = path;
  if (exists) {
    std::unique_ptr<char, void (*)(void*)> real(::realpath(path.c_str(), nullptr), std::free);
    if (real) target = real.get();
  } else {
    // A link whose target does not exist yet: the file is made where the
    // link points (links to links followed), and the link stays.
    for (int hops = 0; hops < 40; ++hops) {
      struct stat link {};
      if (::lstat(target.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) break;
      std::string to(static_cast<size_t>(link.st_size > 0 ? link.st_size : PATH_MAX) + 1, '\0');
      const ssize_t got = ::readlink(target.c_str(), to.data(), to.size());
      if (got <= 0) break;
      to.resize(static_cast<size_t>(got));
      const size_t slash = target.rfind('/');
      target = to[0] == '/' || slash == std::string::npos ? to : target.substr(0, slash + 1) + to;
    }
  }
  std::string temporary = target + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) throw failure(errno);
  auto fail = [&](int code) {
    ::unlink(temporary.c_str());
    return failure(code);
  };
  // mkstemp makes the file private: give it the mode the file had, or the
  // usual one for a new file.
  mode_t mode = 0666;
  if (exists) {
    mode = status.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  ::fchmod(fd, mode);
  const int code = write_all(fd, content.data(), content.size());
  if (code != 0) {
    ::close(fd);
    throw fail(code);
  }
  if (::close(fd) != 0) throw fail(errno);
  if (::rename(temporary.c_str(), target.c_str()) != 0) throw fail(errno);
}

std::string read_input_file(const std::string& path, const char* what, size_t longest) {
  const bool standard_input = path == "-";
  const std::string name = standard_input ? std::string("from standard input") : "file " + path;
  auto unreadable = [&](int code) {
    return Failure(kUnreadableFile,
                   std::string("cannot read the ") + what + " " + name + ": " + std::strerror(code));
  };
  auto too_long = [&]() {
    return Failure(kRefusedInput, std::string("the ") + what + " " + name +
                                      " is longer than " + std::to_string(longest) + " bytes");
  };
  int fd = STDIN_FILENO;
  if (!standard_input) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw unreadable(errno);
  }
  struct Closer {
    int fd;
    bool own;
    ~Closer() {
      if (own) ::close(fd);
    }
  } closer{fd, !standard_input};
  struct stat status {};
  std::string data;
  if (::fstat(fd, &status) == 0) {
    if (S_ISDIR(status.st_mode)) throw unreadable(EISDIR);
    if (S_ISREG(status.st_mode)) {
      if (static_cast<uintmax_t>(status.st_size) > longest) throw too_long();
      data.reserve(static_cast<size_t>(status.st_size));
    }
  }
  std::unique_ptr<char[]> block(new char[kBlock]);
  for (;;) {
    const ssize_t got = ::read(fd, block.get(), kBlock);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw unreadable(errno);
    if (got == 0) break;
    if (data.size() + static_cast<size_t>(got) > longest) throw too_long();
    data.append(block.get(), static_cast<size_t>(got));
  }
  return data;
}

}  // namespace smtrace
