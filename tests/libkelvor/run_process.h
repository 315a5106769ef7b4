// Runs a program to its end for a test: given stdin, extra environment, captured stdout and
// stderr, and a deadline after which it is killed.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace kelvor::test {

struct ProcessResult {
  int exitCode = -1;  // -1 when killed by a signal (timedOut tells whether by the deadline)
  int signal = 0;
  bool timedOut = false;
  std::string out;
  std::string err;
};

// env entries are NAME=VALUE and replace the same names of this process's environment;
// NAME alone removes the variable.
inline ProcessResult runProcess(const std::vector<std::string>& args,
                                const std::vector<std::string>& env = {},
                                const std::string& input = {},
                                std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const std::string& x : env) replaced = replaced || x.substr(0, x.find('=')) == name;
    if (!replaced) envStrings.push_back(entry);
  }
  for (const std::string& x : env) {
    if (x.find('=') != std::string::npos) envStrings.push_back(x);
  }
  std::vector<std::string> argStrings = args;
  std::vector<char*> argv;
  for (auto& a : argStrings) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);

  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe");
  }
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  ::fcntl(in[1], F_SETFL, O_NONBLOCK);
  // A child that exits without reading stdin must not kill the test with SIGPIPE.
  struct sigaction ignore {};
  struct sigaction old {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &old);

  ProcessResult r;
  size_t written = 0;
  int stdinFd = in[1];
  if (input.empty()) {
    ::close(stdinFd);
    stdinFd = -1;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int open = 2;
  while (open > 0) {
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {stdinFd, POLLOUT, 0}};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      r.timedOut = true;
      ::kill(pid, SIGKILL);
      break;
    }
    if (::poll(fds, stdinFd >= 0 ? 3 : 2, static_cast<int>(left)) <= 0) continue;
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[4096];
      const ssize_t n = ::read(fds[k].fd, buf, sizeof buf);
      if (n > 0) {
        (k == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
      } else {
        ::close(fds[k].fd);
        (k == 0 ? out[0] : err[0]) = -1;
        --open;
      }
    }
    if (stdinFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = ::write(stdinFd, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 || written == input.size()) {
        ::close(stdinFd);
        stdinFd = -1;
      }
    }
  }
  for (int fd : {out[0], err[0], stdinFd}) {
    if (fd >= 0) ::close(fd);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::sigaction(SIGPIPE, &old, nullptr);
  if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  return r;
}

}  // namespace kelvor::test
