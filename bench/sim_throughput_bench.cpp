// kelvor-sim against a plain single-thread epoll server answering the same frames
// (epoll_baseline.h): requests per second with 1, 4 and 16 client processes doing scalar gets
// back to back over loopback, then what one request costs the simulator in steady state:
// system calls (counted by strace attached to the running simulator) and heap allocations
// (counted by the malloc of this program, around the simulator's server run in-process).
//
//   sim_throughput_bench [SECONDS_PER_RUN [ROUNDS [KELVOR_SIM_OPTION...]]]
//
// Options after ROUNDS go to the simulator, to compare settings: --threads 1, for instance.
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "alloc_counter.h"
#include "dispatch/dispatcher.h"
#include "epoll_baseline.h"
#include "kelvor.h"
#include "kelvor/protocol.h"
#include "loopback.h"
#include "model/clock.h"
#include "model/controller.h"
#include "net/service.h"
#include "net/tcp_server.h"
#include "sim_process.h"

namespace kelvor::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kVariable = 1;
constexpr long kWarmUp = 2000;
constexpr long kCounted = 20000;

std::vector<uint8_t> frame(proto::FrameType type, proto::Func func, std::vector<uint8_t> payload) {
  proto::Frame f;
  f.type = type;
  f.seq = 1;  // every request alike, so that the baseline's fixed reply is the right one
  f.func = static_cast<uint16_t>(func);
  f.payload = std::move(payload);
  return proto::encodeFrame(f);
}

// A blocking client that sends prepared frames and reads whole frames back, without
// allocating.
class Client {
 public:
  explicit Client(int port) : fd_(test::dialLoopback(port)) {
    if (fd_ < 0) fail("connect");
    static const std::vector<uint8_t> hello =
        frame(proto::FrameType::kRequest, proto::Func::Hello,
              proto::Writer().i32(proto::kProtocolVersion).str("bench").take());
    call(hello);
  }
  ~Client() { ::close(fd_); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // Sends one request and reads its reply, which must succeed.
  void call(const std::vector<uint8_t>& request) {
    if (::send(fd_, request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size())) {
      fail("send");
    }
    size_t have = 0, total = proto::kHeaderSize;
    while (have < total) {
      const ssize_t n = ::recv(fd_, buf_.data() + have, buf_.size() - have, 0);
      if (n <= 0) fail("recv");
      have += static_cast<size_t>(n);
      if (have >= proto::kHeaderSize) {
        total = proto::kHeaderSize + (buf_[2] | (buf_[3] << 8)) + proto::kCrcSize;
      }
    }
    const size_t codeAt = proto::kHeaderSize + proto::kMinBody;
    if (have != total || buf_[4] != static_cast<uint8_t>(proto::FrameType::kReply) ||
        total < codeAt + 4 || buf_[codeAt] != 0 || buf_[codeAt + 1] != 0) {
      fail("unexpected reply");
    }
  }

 private:
  [[noreturn]] static void fail(const char* what) {
    std::fprintf(stderr, "sim_throughput_bench: client: %s failed\n", what);
    std::exit(1);
  }
  int fd_;
  std::array<uint8_t, proto::kMaxFrame> buf_{};
};

const std::vector<uint8_t>& getRequest() {
  static const std::vector<uint8_t> r = frame(proto::FrameType::kRequest, proto::Func::get_VarI,
                                              proto::Writer().i32(kVariable).take());
  return r;
}

// Requests per second that `clients` processes get answered on port, each calling back to back
// for `seconds`; they all start together once every one has connected.
double throughput(int port, int clients, double seconds) {
  int ready[2], go[2], results[2];
  if (::pipe(ready) != 0 || ::pipe(go) != 0 || ::pipe(results) != 0) std::exit(1);
  std::vector<pid_t> pids;
  for (int i = 0; i < clients; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      Client c(port);
      const char one = 1;
      if (::write(ready[1], &one, 1) != 1) ::_exit(1);
      char start;
      if (::read(go[0], &start, 1) != 1) ::_exit(1);
      const auto end = Clock::now() + std::chrono::duration<double>(seconds);
      uint64_t done = 0;
      while (Clock::now() < end) {
        c.call(getRequest());
        ++done;
      }
      if (::write(results[1], &done, sizeof done) != sizeof done) ::_exit(1);
      ::_exit(0);
    }
    pids.push_back(pid);
  }
  for (int i = 0; i < clients; ++i) {
    char c;
    if (::read(ready[0], &c, 1) != 1) std::exit(1);
  }
  const std::string starts(static_cast<size_t>(clients), 's');
  if (::write(go[1], starts.data(), starts.size()) != clients) std::exit(1);
  uint64_t total = 0;
  for (int i = 0; i < clients; ++i) {
    uint64_t n = 0;
    if (::read(results[0], &n, sizeof n) != sizeof n) std::exit(1);
    total += n;
  }
  for (pid_t pid : pids) ::waitpid(pid, nullptr, 0);
  for (int fd : {ready[0], ready[1], go[0], go[1], results[0], results[1]}) ::close(fd);
  return static_cast<double>(total) / seconds;
}

// The baseline server in a child process, answering with the reply the simulator gives.
class Baseline {
 public:
  explicit Baseline(const std::vector<uint8_t>& reply) {
    const int fd = test::listenOnLoopback(port_, 64);
    pid_ = ::fork();
    if (pid_ == 0) serveEpollBaseline(fd, reply);
    ::close(fd);
  }
  ~Baseline() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  int port() const { return port_; }

 private:
  int port_ = 0;
  pid_t pid_ = -1;
};

// System calls of the simulator per request in steady state, by name: strace attaches to the
// running simulator after a warm-up, counts while one client makes kCounted requests, and
// detaches. Empty when strace cannot attach.
std::map<std::string, double> syscallsPerRequest(test::SimProcess& sim) {
  Client c(sim.port());
  for (long i = 0; i < kWarmUp; ++i) c.call(getRequest());
  char out[] = "/tmp/kelvor-strace-XXXXXX";
  const int outFd = ::mkstemp(out);
  if (outFd < 0) return {};
  ::close(outFd);
  int err[2];
  if (::pipe(err) != 0) return {};
  const pid_t strace = ::fork();
  if (strace == 0) {
    ::dup2(err[1], 2);
    const std::string pid = std::to_string(sim.pid());
    ::execlp("strace", "strace", "-f", "-c", "-o", out, "-p", pid.c_str(), nullptr);
    ::_exit(127);
  }
  ::close(err[1]);
  // strace says on stderr when it has attached (to every thread).
  std::string said;
  char buf[256];
  ssize_t n;
  while (said.find("attached") == std::string::npos && (n = ::read(err[0], buf, sizeof buf)) > 0) {
    said.append(buf, static_cast<size_t>(n));
  }
  std::map<std::string, double> perRequest;
  if (said.find("attached") != std::string::npos) {
    for (long i = 0; i < kCounted; ++i) c.call(getRequest());
  }
  ::kill(strace, SIGINT);
  ::waitpid(strace, nullptr, 0);
  ::close(err[0]);
  if (said.find("attached") == std::string::npos) {
    std::fprintf(stderr, "sim_throughput_bench: strace could not attach: %s\n", said.c_str());
    ::unlink(out);
    return {};
  }
  // Rows: % time, seconds, usecs/call, calls, [errors,] syscall.
  std::ifstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream row(line);
    std::vector<std::string> cols;
    for (std::string col; row >> col;) cols.push_back(col);
    if (cols.size() < 5 || cols[0].find_first_not_of("0123456789.") != std::string::npos) continue;
    perRequest[cols.back()] += std::stod(cols[3]) / kCounted;
  }
  ::unlink(out);
  return perRequest;
}

// Heap allocations per request of the simulator's TCP server, run in this process on its own
// thread, while one client of this process (which allocates nothing) makes kCounted requests.
double allocationsPerRequest() {
  sim::model::Controller controller;
  const sim::model::SteadyClock clock;
  sim::dispatch::Dispatcher dispatcher(controller, clock);
  sim::net::Service service{dispatcher};
  asio::io_context io;
  sim::net::TcpServer server(io, service,
                             asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0));
  server.accept();
  std::thread serving([&io] { io.run(); });
  double perRequest;
  {
    Client c(server.endpoint().port());
    for (long i = 0; i < kWarmUp; ++i) c.call(getRequest());
    const uint64_t before = allocations();
    for (long i = 0; i < kCounted; ++i) c.call(getRequest());
    perRequest = static_cast<double>(allocations() - before) / kCounted;
  }
  io.stop();
  serving.join();
  return perRequest;
}

int run(double seconds, int rounds, const std::vector<std::string>& simOptions) {
  std::printf(
      "sim_throughput_bench (%s build): get_VarI back to back from each client process,\n"
      "%.1f s per run, best of %d runs; kelvor-sim against a single-thread epoll server\n"
      "answering the same frames\n\n",
      KELVOR_BUILD_TYPE, seconds, rounds);
  if (!simOptions.empty()) {
    std::string options;
    for (const std::string& o : simOptions) options += ' ' + o;
    std::printf("kelvor-sim options:%s\n\n", options.c_str());
  }
  test::SimProcess sim(simOptions);
  // The baseline answers with the very reply the simulator gives to the same request.
  std::vector<uint8_t> reply;
  {
    Client c(sim.port());
    c.call(getRequest());
    proto::Frame r;
    r.type = proto::FrameType::kReply;
    r.seq = 1;
    r.func = static_cast<uint16_t>(proto::Func::get_VarI);
    r.payload = proto::Writer().i32(KLV_OK).i32(0).take();
    reply = proto::encodeFrame(r);
  }
  Baseline baseline(reply);
  std::printf("%8s %16s %16s %8s\n", "clients", "kelvor-sim/s", "baseline/s", "ratio");
  for (int clients : {1, 4, 16}) {
    double simBest = 0, baseBest = 0;
    for (int r = 0; r < rounds; ++r) {
      simBest = std::max(simBest, throughput(sim.port(), clients, seconds));
      baseBest = std::max(baseBest, throughput(baseline.port(), clients, seconds));
    }
    std::printf("%8d %16.0f %16.0f %8.2f\n", clients, simBest, baseBest, simBest / baseBest);
    std::fflush(stdout);
  }

  const auto calls = syscallsPerRequest(sim);
  if (calls.empty()) {
    std::printf("\nsystem calls per request: not measured (needs strace)\n");
  } else {
    double total = 0;
    std::string each;
    for (const auto& [name, n] : calls) {
      if (name == "total") continue;
      total += n;
      char part[64];
      std::snprintf(part, sizeof part, "%s%s %.2f", each.empty() ? "" : ", ", name.c_str(), n);
      each += part;
    }
    std::printf("\nsystem calls per request (strace, 1 client): %.2f (%s)\n", total, each.c_str());
  }
  std::printf("heap allocations per request (in-process server, 1 client): %.2f\n",
              allocationsPerRequest());
  return 0;
}

}  // namespace
}  // namespace kelvor::bench

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  if (seconds <= 0 || rounds <= 0) {
    std::fprintf(stderr,
                 "usage: sim_throughput_bench [SECONDS_PER_RUN [ROUNDS [KELVOR_SIM_OPTION...]]]\n");
    return 2;
  }
  std::signal(SIGPIPE, SIG_IGN);
  return kelvor::bench::run(seconds, rounds,
                            std::vector<std::string>(argv + std::min(argc, 3), argv + argc));
}
