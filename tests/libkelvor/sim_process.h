// Starts kelvor-sim as a child process for a test and waits for its ready line.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef KELVOR_SIM_PATH
#error "KELVOR_SIM_PATH must name the kelvor-sim executable"
#endif

namespace kelvor::test {

class SimProcess {
 public:
  // Starts the simulator on a free loopback port with extra arguments. When stderrFile is
  // given, the simulator's stderr goes there; with maxFiles, it may open no more descriptors.
  explicit SimProcess(std::vector<std::string> args = {}, const std::string& stderrFile = {},
                      rlim_t maxFiles = 0) {
    bool listen = false;
    for (const auto& a : args) listen = listen || a == "--listen";
    if (!listen) args.insert(args.begin(), {"--listen", "127.0.0.1:0"});
    args.insert(args.begin(), KELVOR_SIM_PATH);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      if (!stderrFile.empty()) {
        const int fd = ::open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) ::dup2(fd, 2);
      }
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      if (maxFiles > 0) {
        const rlimit limit{maxFiles, maxFiles};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(126);
      }
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    fd_ = out[0];
    const std::string ready = readLineContaining("listening on ");
    const auto colon = ready.rfind(':');
    port_ = std::atoi(ready.c_str() + colon + 1);
    if (port_ <= 0) throw std::runtime_error("no ready line from kelvor-sim: " + ready);
  }
  ~SimProcess() { stop(); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  std::string eth() const { return "eth:127.0.0.1:" + std::to_string(port_); }

  // Reads stdout lines until one contains text; throws after 10 s.
  std::string readLineContaining(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      const auto nl = pending_.find('\n');
      if (nl != std::string::npos) {
        std::string line = pending_.substr(0, nl);
        pending_.erase(0, nl + 1);
        if (line.find(text) != std::string::npos) return line;
        continue;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) throw std::runtime_error("kelvor-sim did not print '" + text + "'");
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char buf[256];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) throw std::runtime_error("kelvor-sim exited before printing '" + text + "'");
      pending_.append(buf, static_cast<size_t>(n));
    }
  }

  // Stops the simulator with a signal and reaps it; returns its wait status.
  int stop(int sig = SIGTERM) {
    int status = 0;
    if (pid_ > 0) {
      ::kill(pid_, sig);
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  int port_ = 0;
  std::string pending_;
};

// Runs the simulator with args, which must make it end at once, and gives its exit status
// (-1 when it had to be killed); what it printed to stderr goes to err when given.
inline int simExitStatus(std::vector<std::string> args, std::string* err = nullptr) {
  int errPipe[2];
  if (::pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(errPipe[1], 2);
    args.insert(args.begin(), KELVOR_SIM_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(errPipe[1]);
  // A simulator that starts serving instead would never end: it is stopped after a while.
  int status = 0;
  for (int i = 0; i < 200 && ::waitpid(pid, &status, WNOHANG) == 0; ++i) ::usleep(50000);
  if (::waitpid(pid, &status, WNOHANG) == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  char buf[4096];
  ssize_t n = 0;
  while ((n = ::read(errPipe[0], buf, sizeof buf)) > 0) {
    if (err) err->append(buf, static_cast<size_t>(n));
  }
  ::close(errPipe[0]);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace kelvor::test
