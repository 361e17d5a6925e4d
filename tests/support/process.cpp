#include "support/process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "support/library.h"

namespace sm_test {
namespace {

std::string drain(int fd) {
  std::string out;
  char block[65536];
  for (;;) {
    ssize_t got = read(fd, block, sizeof block);
    if (got <= 0) break;
    out.append(block, static_cast<size_t>(got));
  }
  close(fd);
  return out;
}

int decode(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

Outcome fork_with_stdout(const std::function<void()>& child) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) throw std::runtime_error("pipe");
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    close(pipe_fds[0]);
    dup2(pipe_fds[1], STDOUT_FILENO);
    close(pipe_fds[1]);
    child();
    _exit(127);
  }
  close(pipe_fds[1]);
  Outcome outcome;
  outcome.out = drain(pipe_fds[0]);
  int raw = 0;
  waitpid(pid, &raw, 0);
  outcome.status = decode(raw);
  return outcome;
}

}  // namespace

Outcome run(const std::vector<std::string>& argv) {
  return fork_with_stdout([&argv] {
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(126);
  });
}

Outcome run_child(const std::function<int()>& body) {
  return fork_with_stdout([&body] {
    int status = body();
    std::fflush(stdout);
    _exit(status);
  });
}

Outcome run_main(const std::string& library, const std::vector<std::string>& argv) {
  std::vector<std::string> full = {SM_HOST, library_path(library), "main"};
  full.insert(full.end(), argv.begin(), argv.end());
  return run(full);
}

}  // namespace sm_test
