#include "support/process.h"

#include <poll.h>
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

// Reads both pipes until both are closed, whichever the child fills first.
void drain_both(int out_fd, int err_fd, std::string& out, std::string& err) {
  struct pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open_fds = 2;
  char block[65536];
  while (open_fds > 0) {
    if (poll(fds, 2, -1) < 0) continue;
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || fds[k].revents == 0) continue;
      ssize_t got = read(fds[k].fd, block, sizeof block);
      if (got > 0) {
        sinks[k]->append(block, static_cast<size_t>(got));
      } else {
        close(fds[k].fd);
        fds[k].fd = -1;
        --open_fds;
      }
    }
  }
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

Outcome run_with_stderr(const std::vector<std::string>& argv) {
  int out_fds[2];
  int err_fds[2];
  if (pipe(out_fds) != 0) throw std::runtime_error("pipe");
  if (pipe(err_fds) != 0) throw std::runtime_error("pipe");
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    close(out_fds[0]);
    close(err_fds[0]);
    dup2(out_fds[1], STDOUT_FILENO);
    dup2(err_fds[1], STDERR_FILENO);
    close(out_fds[1]);
    close(err_fds[1]);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(126);
  }
  close(out_fds[1]);
  close(err_fds[1]);
  Outcome outcome;
  drain_both(out_fds[0], err_fds[0], outcome.out, outcome.err);
  int raw = 0;
  waitpid(pid, &raw, 0);
  outcome.status = decode(raw);
  return outcome;
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
