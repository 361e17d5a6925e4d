// Runs programs and functions as separate processes, so that tests see what a
// user sees: standard output byte for byte and the exit status.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace sm_test {

struct Outcome {
  std::string out;  // standard output
  int status;       // exit status, or 128 + signal number
  std::string err;  // standard error, when captured (run_with_stderr)
};

// Runs a program with the given argument vector (argv[0] included).
Outcome run(const std::vector<std::string>& argv);

// Runs a program as run does, capturing its standard error apart as well.
Outcome run_with_stderr(const std::vector<std::string>& argv);

// Runs a function in a child process; the function's return is the status.
Outcome run_child(const std::function<int()>& body);

// The test host (tests/host/host.c) calling a library's main: prog is the
// program name that main sees, operands follow it.
Outcome run_main(const std::string& library, const std::vector<std::string>& argv);

}  // namespace sm_test
