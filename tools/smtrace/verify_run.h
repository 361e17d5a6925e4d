// The implementation verify checks, on one case at a time: a program run
// with the case as its last two operands, a shared library's entry function
// called in a child process, or a function on the other end of two pipes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace smtrace {

// How one run ended, and what it wrote.
struct RunOutcome {
  enum Kind {
    kFinished,     // ended normally (status 0; a function answered)
    kExited,       // a program ended with a status other than 0
    kSignaled,     // killed by a signal
    kTimedOut,     // no end (no answer) within the time allowed; killed
    kOutputLimit,  // wrote more than kLongestOutput bytes; killed
    kEntryExited,  // a library's entry ended its process instead of returning
    kRaised,       // a function failed (raised, or returned no list) instead of answering
    kGone,         // the other end of the pipes closed
  };
  Kind kind = kFinished;
  int code = 0;        // the exit status or the signal
  std::string output;  // the trace as printed (a program's standard output)
  std::string errors;  // a program's standard error, a library's own output, a function's error
};

// More output than any trace of the longest case would need.
constexpr size_t kLongestOutput = 64u << 20;

class Implementation {
 public:
  virtual ~Implementation() = default;
  // Checks, before any case, that the implementation can be run at all;
  // throws the Failure that its first run would.
  virtual void prepare() {}
  // Runs the implementation on one case.
  virtual RunOutcome run(const std::string& pattern, const std::string& text) = 0;
  // "command", "library" or "function": its row in the reports.
  virtual const char* noun() const = 0;
  // For the report's first line, e.g. "the command ./impl".
  virtual std::string describe() const = 0;
  // How to run one case again by hand, or empty.
  virtual std::string rerun(const std::string& pattern, const std::string& text) const {
    (void)pattern;
    (void)text;
    return "";
  }
  // False once the implementation can no longer be asked (a function on the
  // other end that has not answered).
  virtual bool usable() const { return true; }
};

// COMMAND ARGS... PATTERN TEXT, found on PATH like a shell would, in its own
// process group with standard input from /dev/null. Throws Failure(kUsage)
// when the command cannot be started.
std::unique_ptr<Implementation> program(std::vector<std::string> command, double timeout);

// The entry function of a shared library, called in a child process that
// loads the library (so that a crash, an exit or a hang inside it ends only
// the child), with a zeroed buffer of n + m + 2 bytes. Throws
// Failure(kMissingLibrary) when the library or the entry cannot be loaded.
std::unique_ptr<Implementation> library(const std::string& path, const std::string& entry,
                                        double timeout);

// A function served on the other end of two inherited descriptors: each
// case goes out on write_fd as one JSON line {"pattern": ..., "text": ...},
// and the trace comes back on read_fd as one line in the command-line
// format, or "!" and an error message.
std::unique_ptr<Implementation> connected(int read_fd, int write_fd, double timeout);

// Shell words for a reader to paste: plain when safe, else $'...'.
std::string shell_word(const std::string& word);

// "Segmentation fault" for SIGSEGV, ...
std::string signal_name(int signal);

}  // namespace smtrace
