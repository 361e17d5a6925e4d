// The exit statuses of smtrace and the error that carries one to main.
#pragma once

#include <stdexcept>
#include <string>

namespace smtrace {

enum Status : int {
  kOk = 0,
  // 1: memory exhausted. smtrace says so itself; a library that runs out
  // while recording prints "Error: <message>" and ends the process with 1.
  kUsage = 2,
  kUnknownAlgorithm = 3,
  kMissingLibrary = 4,
  kUnreadableFile = 5,
  kRefusedInput = 6,
  kUnwritableOutput = 7,
  kWriteError = 8,  // standard output cannot be written (a full disk, ...)
  kWorkerDied = 9,  // a worker process of study died (study.h: kWorkerFailed)
};

// Ends a command: main prints "smtrace: <message>" on standard error and
// exits with the status.
class Failure : public std::runtime_error {
 public:
  Failure(Status status, const std::string& message)
      : std::runtime_error(message), status_(status) {}
  Status status() const { return status_; }

 private:
  Status status_;
};

}  // namespace smtrace
