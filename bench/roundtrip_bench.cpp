// What a library call costs against what the loopback itself costs. In one run:
//   - a scalar get (get_MotorState) through the library, and the refresh the tester makes
//     after connecting, each beside a bare ping-pong of the same frame sizes to a server
//     process that does nothing but recv and send (the floor of any TCP round trip): once
//     with the library talking to that same server (the client's share) and once to
//     kelvor-sim (client and simulator together);
//   - the whole connect: klv_Connect, the three identity reads and the refresh;
//   - system calls per call, counted by running this program again under `perf stat`;
//   - heap allocations per call, counted by the malloc below.
// Times are medians of interleaved rounds, so a busy machine slows both sides alike.
//
//   roundtrip_bench                        the figures
//   roundtrip_bench --calls get|refresh N PORT
//                                          N calls to a running simulator, for perf stat
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "kelvor.h"
#include "kelvor/protocol.h"
#include "sim_process.h"
#include "test_util.h"

// Every heap allocation of the process, the library's included, passes here.
extern "C" void* __libc_malloc(size_t);          // NOLINT
extern "C" void* __libc_calloc(size_t, size_t);  // NOLINT
extern "C" void* __libc_realloc(void*, size_t);  // NOLINT
static std::atomic<unsigned long> g_allocations{0};
extern "C" void* malloc(size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(n);
}
extern "C" void* calloc(size_t n, size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, n);
}

namespace {

namespace p = kelvor::proto;
using Clock = std::chrono::steady_clock;

// One library call of a sequence, with the outputs' signature for its frame sizes.
struct Step {
  p::Func func;
  int32_t (*call)();
};

char g_text[1100];
int32_t g_int;
float g_floats[14];

int32_t intCall(int32_t (*f)(int32_t*)) { return f(&g_int); }

// The tester's reads after connecting: the identity, then the refresh of every shown value.
const Step kIdentity[] = {
    {p::Func::get_RomVersion, [] { return klv_get_RomVersion(g_text, sizeof g_text); }},
    {p::Func::get_SerialNo, [] { return klv_get_SerialNo(g_text, sizeof g_text); }},
    {p::Func::get_RobotType, [] { return klv_get_RobotType(g_text, sizeof g_text); }},
};
const Step kRefresh[] = {
    {p::Func::get_Speed, [] { return klv_get_Speed(g_floats); }},
    {p::Func::get_ExtSpeed, [] { return klv_get_ExtSpeed(g_floats); }},
    {p::Func::get_CurTool, [] { return intCall(klv_get_CurTool); }},
    {p::Func::get_CurWork, [] { return intCall(klv_get_CurWork); }},
    {p::Func::get_CalData, [] { return klv_get_CalData(g_floats); }},
    {p::Func::get_LinkParam, [] { return klv_get_LinkParam(g_floats, g_floats + 7); }},
    {p::Func::get_OperationMode, [] { return intCall(klv_get_OperationMode); }},
    {p::Func::get_MotorState, [] { return intCall(klv_get_MotorState); }},
    {p::Func::get_AutoMode, [] { return intCall(klv_get_AutoMode); }},
    {p::Func::get_RobSlaveState, [] { return intCall(klv_get_RobSlaveState); }},
    {p::Func::get_ErrorCode, [] { return intCall(klv_get_ErrorCode); }},
    {p::Func::get_ErrorDescription, [] { return klv_get_ErrorDescription(g_text, sizeof g_text); }},
};
const Step kScalar[] = {{p::Func::get_MotorState, [] { return intCall(klv_get_MotorState); }}};

template <size_t N>
bool runAll(const Step (&steps)[N]) {
  for (const Step& s : steps) {
    if (s.call() != KLV_OK) return false;
  }
  return true;
}

// Bytes of a frame carrying payload bytes.
size_t frameSize(size_t payload) { return p::kHeaderSize + p::kMinBody + payload + p::kCrcSize; }

// The request and reply frame sizes of a step; a string output is taken at the length the
// last call read (g_text still holds it).
std::pair<size_t, size_t> frameSizes(const Step& s) {
  const p::FuncInfo& info = *p::findFunc(static_cast<uint16_t>(s.func));
  size_t reply = 4;  // the result code
  for (const char* c = info.reply; *c; ++c) {
    if (*c == 's') {
      reply += 2 + std::strlen(g_text);
    } else if (*c == 'd') {
      reply += 8;
    } else {
      reply += 4 * std::max<size_t>(1, p::arrayLength(*c));
    }
  }
  return {frameSize(0), frameSize(reply)};
}

// The bare round trip: a process that reads each request whole and answers with as many
// bytes as the request's first two bytes ask for, over a blocking TCP socket with no
// deadline, no framing and no checks. It also answers the library's frames, with zeros for
// every output (the handshake excepted), so that the library can be timed against the same
// server: the client's own share of a call.
class PingPongServer {
 public:
  PingPongServer() {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(listener, 4) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
      std::perror("ping-pong server");
      std::exit(1);
    }
    port_ = ntohs(a.sin_port);
    pid_ = ::fork();
    if (pid_ == 0) acceptLoop(listener);
    ::close(listener);
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      std::perror("ping-pong connect");
      std::exit(1);
    }
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  ~PingPongServer() {
    ::close(fd_);
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  PingPongServer(const PingPongServer&) = delete;
  PingPongServer& operator=(const PingPongServer&) = delete;

  std::string eth() const { return "eth:127.0.0.1:" + std::to_string(port_); }

  void roundTrip(size_t request, size_t reply) {
    buf_[0] = static_cast<uint8_t>(reply & 0xFF);
    buf_[1] = static_cast<uint8_t>(reply >> 8);
    buf_[2] = static_cast<uint8_t>(request & 0xFF);
    buf_[3] = static_cast<uint8_t>(request >> 8);
    if (::send(fd_, buf_, request, MSG_NOSIGNAL) != static_cast<ssize_t>(request)) std::abort();
    readFull(fd_, buf_, reply);
  }

 private:
  static void readFull(int fd, uint8_t* buf, size_t n) {
    for (size_t got = 0; got < n;) {
      const ssize_t r = ::recv(fd, buf + got, n - got, 0);
      if (r <= 0) std::_Exit(0);
      got += static_cast<size_t>(r);
    }
  }
  [[noreturn]] static void acceptLoop(int listener) {
    for (;;) {
      const int fd = ::accept(listener, nullptr, nullptr);
      if (fd < 0) std::_Exit(0);
      if (::fork() == 0) serve(fd);
      ::close(fd);
    }
  }
  [[noreturn]] static void serve(int fd) {
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    uint8_t buf[p::kMaxFrame];
    std::vector<uint8_t> reply;
    for (;;) {
      readFull(fd, buf, 4);
      if (buf[0] == p::kMarker0 && buf[1] == p::kMarker1) {
        const size_t body = buf[2] | (buf[3] << 8);
        readFull(fd, buf + 4, body + p::kCrcSize);
        const auto seq = static_cast<uint16_t>(buf[5] | (buf[6] << 8));
        const auto func = static_cast<uint16_t>(buf[7] | (buf[8] << 8));
        const p::FuncInfo* info = p::findFunc(func);
        p::Writer out;
        out.i32(KLV_OK);
        for (const char* c = info ? info->reply : ""; *c; ++c) {
          if (*c == 's') {
            out.str("");
          } else if (*c == 'd') {
            out.f64(0);
          } else if (c == info->reply && func == static_cast<uint16_t>(p::Func::Hello)) {
            out.i32(p::kProtocolVersion);
          } else {
            for (size_t i = std::max<size_t>(1, p::arrayLength(*c)); i > 0; --i) out.i32(0);
          }
        }
        p::encodeFrame(p::FrameType::kReply, seq, func, out.bytes().data(), out.bytes().size(),
                       reply);
      } else {
        const size_t request = buf[2] | (buf[3] << 8);
        readFull(fd, buf + 4, request - 4);
        reply.assign(buf, buf + (buf[0] | (buf[1] << 8)));
      }
      if (::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) !=
          static_cast<ssize_t>(reply.size())) {
        std::_Exit(0);
      }
    }
  }

  int port_ = 0;
  pid_t pid_ = -1;
  int fd_ = -1;
  uint8_t buf_[p::kMaxFrame]{};
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double microsSince(Clock::time_point start, size_t count) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() /
         static_cast<double>(count);
}

// Median time of one pass through steps, library against bare ping-pong, interleaved.
template <size_t N>
std::pair<double, double> compare(const Step (&steps)[N], PingPongServer& bare, int passes) {
  std::vector<std::pair<size_t, size_t>> sizes;
  for (const Step& s : steps) {
    s.call();  // the string lengths of this controller
    sizes.push_back(frameSizes(s));
  }
  std::vector<double> lib, raw;
  for (int round = 0; round < 21; ++round) {
    auto start = Clock::now();
    for (int i = 0; i < passes; ++i) {
      if (!runAll(steps)) {
        std::fprintf(stderr, "roundtrip_bench: a call failed\n");
        std::exit(1);
      }
    }
    lib.push_back(microsSince(start, static_cast<size_t>(passes)));
    start = Clock::now();
    for (int i = 0; i < passes; ++i) {
      for (const auto& [request, reply] : sizes) bare.roundTrip(request, reply);
    }
    raw.push_back(microsSince(start, static_cast<size_t>(passes)));
  }
  return {median(lib), median(raw)};
}

// Allocations per pass through steps, after the first passes have sized every buffer.
template <size_t N>
double allocationsPerPass(const Step (&steps)[N]) {
  for (int i = 0; i < 10; ++i) runAll(steps);
  const unsigned long before = g_allocations.load();
  constexpr int kPasses = 1000;
  for (int i = 0; i < kPasses; ++i) runAll(steps);
  return static_cast<double>(g_allocations.load() - before) / kPasses;
}

// Connect, identity and refresh; the disconnect is not timed.
double connectMicros(const std::string& eth) {
  std::vector<double> times;
  for (int i = 0; i < 51; ++i) {
    const auto start = Clock::now();
    if (kelvor::test::connect(eth) != KLV_OK || !runAll(kIdentity) || !runAll(kRefresh)) {
      std::fprintf(stderr, "roundtrip_bench: connect failed\n");
      std::exit(1);
    }
    times.push_back(microsSince(start, 1));
    klv_Disconnect();
  }
  return median(times);
}

// The system calls the breakdown names; the total counts every other one too.
constexpr const char* kSyscallNames[] = {"read",       "recvfrom", "recvmsg", "write",
                                         "sendto",     "sendmsg",  "poll",    "ppoll",
                                         "setsockopt", "fcntl",    "futex"};

// System calls of `--calls what n port`, counted by perf stat at the kernel's tracepoints
// (a tracer that stops the process at each call would slow it enough to change the path the
// library takes). "total" holds all of them; empty when perf cannot count.
std::map<std::string, long> countSyscalls(const char* self, const char* what, long n, int port) {
  char out[] = "/tmp/roundtrip_bench_perf_XXXXXX";
  const int fd = ::mkstemp(out);
  if (fd < 0) return {};
  ::close(fd);
  std::ostringstream cmd;
  cmd << "perf stat --no-inherit -x, -o " << out << " -e raw_syscalls:sys_enter";
  for (const char* name : kSyscallNames) cmd << ",syscalls:sys_enter_" << name;
  cmd << ' ' << self << " --calls " << what << ' ' << n << ' ' << port << " >/dev/null 2>&1";
  std::map<std::string, long> counts;
  if (std::system(cmd.str().c_str()) == 0) {
    std::ifstream in(out);
    for (std::string line; std::getline(in, line);) {
      // count,unit,event,...
      const auto first = line.find(',');
      const auto second = line.find(',', first + 1);
      const auto third = line.find(',', second + 1);
      if (line.empty() || !std::isdigit(static_cast<unsigned char>(line[0])) ||
          third == std::string::npos) {
        continue;
      }
      std::string event = line.substr(second + 1, third - second - 1);
      const auto colon = event.rfind("sys_enter");
      event = event == "raw_syscalls:sys_enter" ? "total" : event.substr(colon + 10);
      counts[event] = std::atol(line.c_str());
    }
  }
  ::unlink(out);
  return counts;
}

// System calls per call in steady state: the difference between a long and a short run.
void printSyscalls(const char* self, const char* what, size_t callsPerPass, int port) {
  constexpr long kShort = 200, kLong = 2200;
  const auto few = countSyscalls(self, what, kShort, port);
  const auto many = countSyscalls(self, what, kLong, port);
  if (few.count("total") == 0 || many.count("total") == 0) {
    std::printf("  system calls per call: not counted (perf stat cannot count syscalls here)\n");
    return;
  }
  const double calls = static_cast<double>((kLong - kShort) * callsPerPass);
  auto perCall = [&](const std::string& name) {
    const auto a = few.find(name), b = many.find(name);
    if (a == few.end() || b == many.end()) return 0.0;
    return static_cast<double>(b->second - a->second) / calls;
  };
  std::string detail;
  double named = 0;
  for (const char* name : kSyscallNames) {
    const double per = perCall(name);
    if (per < 0.005) continue;
    named += per;
    char part[64];
    std::snprintf(part, sizeof part, "%s %.2f, ", name, per);
    detail += part;
  }
  const double total = perCall("total");
  char rest[32];
  std::snprintf(rest, sizeof rest, "other %.2f", std::max(0.0, total - named));
  std::printf("  system calls per call: %.2f (%s%s)\n", total, detail.c_str(), rest);
}

int callsMode(const std::string& what, long n, int port) {
  if (kelvor::test::connect("eth:127.0.0.1:" + std::to_string(port)) != KLV_OK) return 1;
  for (long i = 0; i < n; ++i) {
    if (!(what == "refresh" ? runAll(kRefresh) : runAll(kScalar))) return 1;
  }
  return klv_Disconnect() == KLV_OK ? 0 : 1;
}

void printComparison(const char* name, std::pair<double, double> t) {
  std::printf("  %-34s %8.2f us   bare ping-pong %8.2f us   ratio %.3f\n", name, t.first, t.second,
              t.first / t.second);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--calls") == 0) {
    return callsMode(argv[2], std::atol(argv[3]), std::atoi(argv[4]));
  }
  PingPongServer bare;  // forked before the simulator's pipe exists
  kelvor::test::SimProcess sim;
  std::printf("roundtrip_bench: the library's own share, against the bare server\n");
  if (kelvor::test::connect(bare.eth()) != KLV_OK) {
    std::fprintf(stderr, "roundtrip_bench: cannot connect to the bare server\n");
    return 1;
  }
  printComparison("scalar get (get_MotorState)", compare(kScalar, bare, 2000));
  printComparison("refresh (12 calls)", compare(kRefresh, bare, 200));
  klv_Disconnect();
  std::printf("roundtrip_bench: the library against kelvor-sim over loopback TCP\n");
  if (kelvor::test::connect(sim.eth()) != KLV_OK) {
    std::fprintf(stderr, "roundtrip_bench: cannot connect to kelvor-sim\n");
    return 1;
  }
  printComparison("scalar get (get_MotorState)", compare(kScalar, bare, 2000));
  std::printf("  heap allocations per call: %.2f\n", allocationsPerPass(kScalar));
  printComparison("refresh (12 calls)", compare(kRefresh, bare, 200));
  std::printf("  heap allocations per refresh: %.2f\n", allocationsPerPass(kRefresh));
  klv_Disconnect();
  std::printf("  connect, identity and refresh:     %8.2f us (target: under 1000 us)\n",
              connectMicros(sim.eth()));
  std::printf("scalar get:\n");
  printSyscalls(argv[0], "get", 1, sim.port());
  std::printf("refresh:\n");
  printSyscalls(argv[0], "refresh", std::size(kRefresh), sim.port());
  return 0;
}
