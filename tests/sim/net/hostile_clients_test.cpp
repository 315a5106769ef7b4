// Hostile clients against the simulator process: while others flood it with bytes that form
// no frame, leave frames unfinished and open and drop hundreds of connections, a well-behaved
// client keeps getting its answers within the tester's timeout, and the simulator's memory
// stays bounded.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kelvor.h"
#include "kelvor/protocol.h"
#include "loopback.h"
#include "sim_process.h"
#include "test_util.h"

namespace kelvor::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int32_t kTesterTimeoutMs = 400;
constexpr auto kAttack = std::chrono::seconds(4);

// A field of /proc/PID/status in KiB ("VmRSS", "VmHWM").
long statusKiB(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  }
  return -1;
}

// A loopback connection to port, or -1; no attacker blocks for long on it.
int dial(int port) { return dialLoopback(port, std::chrono::milliseconds(200)); }

// Drops the connection with a reset instead of an orderly close.
void reset(int fd) {
  const linger hard{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  ::close(fd);
}

struct Attack {
  std::atomic<bool> stop{false};
  std::atomic<long> garbageBytes{0};
  std::atomic<long> connections{0};
  std::atomic<long> unfinished{0};
};

// Keeps kFlooders connections sending the decoder's worst case (every fourth byte starts a
// frame that never checks out) as fast as the simulator takes it; a connection the simulator
// hangs up is replaced by a new one.
constexpr size_t kFlooders = 400;

void flood(int port, Attack& a) {
  std::vector<uint8_t> worst;
  for (int i = 0; i < 4096; ++i) worst.insert(worst.end(), {0xA5, 0x5A, 0x00, 0x08});
  std::vector<pollfd> peers;
  while (!a.stop) {
    while (peers.size() < kFlooders && !a.stop) {
      const int fd = dial(port);
      if (fd < 0) break;
      ++a.connections;
      peers.push_back({fd, POLLOUT, 0});
    }
    ::poll(peers.data(), peers.size(), 10);
    for (auto it = peers.begin(); it != peers.end();) {
      const ssize_t n =
          it->revents ? ::send(it->fd, worst.data(), worst.size(), MSG_NOSIGNAL | MSG_DONTWAIT) : 0;
      if (n < 0 && errno != EAGAIN) {
        reset(it->fd);
        it = peers.erase(it);
        continue;
      }
      if (n > 0) a.garbageBytes += n;
      ++it;
    }
  }
  for (const pollfd& p : peers) reset(p.fd);
}

// Opens connections that begin a frame and never finish it, and keeps them open.
void leaveFramesUnfinished(int port, Attack& a) {
  std::vector<int> open;
  const uint8_t begun[] = {0xA5, 0x5A, 0x40, 0x00, 0x01, 0x02};
  while (!a.stop && open.size() < 40) {
    const int fd = dial(port);
    if (fd < 0) continue;
    ++a.connections;
    ::send(fd, begun, sizeof begun, MSG_NOSIGNAL);
    ++a.unfinished;
    open.push_back(fd);
    std::this_thread::sleep_for(milliseconds(20));
  }
  while (!a.stop) std::this_thread::sleep_for(milliseconds(20));
  for (int fd : open) ::close(fd);
}

// Opens connections and drops them at once: some silent, some after half a request, some
// after a whole one whose reply they never read, half of them with a reset.
void churn(int port, Attack& a) {
  proto::Frame get;
  get.func = static_cast<uint16_t>(proto::Func::get_CurrentP);
  const std::vector<uint8_t> request = proto::encodeFrame(get);
  for (long i = 0; !a.stop; ++i) {
    const int fd = dial(port);
    if (fd < 0) continue;
    ++a.connections;
    if (i % 3 > 0) ::send(fd, request.data(), request.size() / (i % 3), MSG_NOSIGNAL);
    if (i % 2) {
      reset(fd);
    } else {
      ::close(fd);
    }
    if (i % 16 == 0) std::this_thread::sleep_for(milliseconds(5));
  }
}

TEST(SimUnderAttack, AWellBehavedClientIsServedWithinTheTestersTimeout) {
  SimProcess sim({}, "/dev/null");  // it reports every peer it cuts off
  ASSERT_EQ(connect(sim.eth(), kTesterTimeoutMs), KLV_OK);
  ASSERT_EQ(klv_put_VarS(7, std::string(KLV_MAX_STRING, 'k').c_str()), KLV_OK);
  const long rssBefore = statusKiB(sim.pid(), "VmRSS");

  Attack attack;
  std::vector<std::thread> attackers;
  attackers.emplace_back(flood, sim.port(), std::ref(attack));
  attackers.emplace_back(leaveFramesUnfinished, sim.port(), std::ref(attack));
  attackers.emplace_back(churn, sim.port(), std::ref(attack));

  long calls = 0;
  int32_t rc = KLV_OK;
  milliseconds worst{0};
  std::vector<char> text(KLV_MAX_STRING + 1);
  for (const auto end = Clock::now() + kAttack; rc == KLV_OK && Clock::now() < end; ++calls) {
    const auto start = Clock::now();
    int32_t value = 0;
    switch (calls % 3) {
      case 0:
        rc = klv_put_VarI(1, static_cast<int32_t>(calls));
        break;
      case 1:
        rc = klv_get_VarI(1, &value);
        if (rc == KLV_OK) {
          EXPECT_EQ(value, calls - 1);
        }
        break;
      default:
        rc = klv_get_VarS(7, text.data(), static_cast<int32_t>(text.size()));
        break;
    }
    worst = std::max(worst, std::chrono::duration_cast<milliseconds>(Clock::now() - start));
  }
  const long rssPeak = statusKiB(sim.pid(), "VmHWM");
  const long rssAfter = statusKiB(sim.pid(), "VmRSS");
  attack.stop = true;
  for (auto& t : attackers) t.join();
  EXPECT_EQ(rc, KLV_OK) << "call " << calls << " failed";

  std::printf(
      "hostile clients: %ld connections, %ld KiB of garbage sent, %ld unfinished frames; the good "
      "client made %ld calls, worst %lld ms (timeout %d ms); simulator RSS %ld KiB before, "
      "%ld KiB after, peak %ld KiB\n",
      attack.connections.load(), attack.garbageBytes.load() / 1024, attack.unfinished.load(), calls,
      static_cast<long long>(worst.count()), kTesterTimeoutMs, rssBefore, rssAfter, rssPeak);
  EXPECT_GT(attack.connections, 200);
  // A sanitized build keeps freed memory in quarantine; its figures are printed only.
  if (!kSanitized) {
    EXPECT_LT(rssPeak - rssBefore, 32 * 1024) << "KiB the simulator grew by";
  }
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

}  // namespace
}  // namespace kelvor::test
