// The TCP side in-process, with limits small enough to test quickly: the connection cap, the
// frame deadline, the garbage bound, keepalive, and idle peers left alone.
#include "net/tcp_server.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dispatch/dispatcher.h"
#include "kelvor.h"
#include "kelvor/protocol.h"
#include "model/clock.h"
#include "model/controller.h"
#include "net/service.h"
#include "raw_client.h"

namespace kelvor::sim::net {
namespace {

using Clock = std::chrono::steady_clock;
using proto::Func;
using std::chrono::milliseconds;
using test::RawClient;

// Room for a loaded machine on top of a limit: the point is that a peer is cut off at all.
constexpr milliseconds kSlack{3000};

// The simulator's TCP side on threads of its own: the first accepts, and each of them serves
// peers on its own event loop.
class LocalSim {
 public:
  explicit LocalSim(PeerLimits limits, int threads = 1) {
    service_.limits = limits;
    std::vector<asio::io_context*> more;
    for (int i = 1; i < threads; ++i) more.push_back(&moreLoops_.emplace_back(1));
    server_ = std::make_unique<TcpServer>(
        io_, service_, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0), more);
    server_->accept();
    port_ = server_->endpoint().port();
    threads_.emplace_back([this] { io_.run(); });
    for (asio::io_context& loop : moreLoops_) {
      threads_.emplace_back([&loop, work = asio::make_work_guard(loop)] { loop.run(); });
    }
  }
  ~LocalSim() {
    io_.stop();
    for (asio::io_context& loop : moreLoops_) loop.stop();
    for (std::thread& t : threads_) t.join();
  }
  int port() const { return port_; }

 private:
  model::Controller controller_;
  model::SteadyClock clock_;
  dispatch::Dispatcher dispatcher_{controller_, clock_};
  Service service_{dispatcher_};
  // Destroyed after io_: an accept pending on io_ holds a socket of one of these.
  std::deque<asio::io_context> moreLoops_;
  asio::io_context io_;
  std::unique_ptr<TcpServer> server_;
  std::vector<std::thread> threads_;
  int port_ = 0;
};

PeerLimits limits(milliseconds frameDeadline, size_t maxGarbage = 64 * 1024,
                  size_t maxConnections = 64) {
  PeerLimits l;
  l.frameDeadline = frameDeadline;
  l.maxGarbage = maxGarbage;
  l.maxConnections = maxConnections;
  return l;
}

// Reads until the peer closes the connection; false when it is still open at the deadline.
// Whatever arrives meanwhile is counted in bytes.
bool closedBy(int fd, Clock::time_point deadline, size_t* bytes = nullptr) {
  for (;;) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    uint8_t buf[65536];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return true;
    if (bytes) *bytes += static_cast<size_t>(n);
  }
}

std::vector<uint8_t> frameHeaderOf(size_t body) {
  return {proto::kMarker0, proto::kMarker1, static_cast<uint8_t>(body & 0xFF),
          static_cast<uint8_t>(body >> 8)};
}

TEST(TcpServer, AFrameThatHasBegunMustArriveInTimeWhileAnIdlePeerIsLeftAlone) {
  const milliseconds deadline{300};
  LocalSim sim(limits(deadline));
  RawClient idle(sim.port());
  RawClient slow(sim.port());
  // A frame whose bytes trickle in, each soon after the one before, but never all of them.
  const auto start = Clock::now();
  slow.sendBytes(frameHeaderOf(100));
  bool closed = false;
  while (!closed && Clock::now() < start + deadline + kSlack) {
    ::send(slow.fd(), "\x01", 1, MSG_NOSIGNAL);
    closed = closedBy(slow.fd(), Clock::now() + milliseconds(50));
  }
  EXPECT_TRUE(closed) << "the deadline counts from the frame's first byte";
  EXPECT_GE(Clock::now() - start, deadline);

  std::this_thread::sleep_until(start + 3 * deadline);
  EXPECT_EQ(idle.call(1, Func::get_MotorState, {}), KLV_OK) << "silence is no frame";
}

TEST(TcpServer, APeerSendingBytesThatFormNoFrameIsCutOffAfterTheLimit) {
  LocalSim sim(limits(milliseconds(60000), 8192));
  RawClient peer(sim.port());
  // Below the limit: skipped, and the allowance starts again after every frame.
  for (int i = 0; i < 3; ++i) {
    peer.sendBytes(std::vector<uint8_t>(6000, 0x11));
    EXPECT_EQ(peer.call(static_cast<uint16_t>(i + 1), Func::get_MotorState, {}), KLV_OK);
  }
  // The resynchronisation worst case: every fourth byte starts a frame that never checks out.
  std::vector<uint8_t> worst;
  for (int i = 0; i < 8192; ++i) worst.insert(worst.end(), {0xA5, 0x5A, 0x00, 0x08});
  ::send(peer.fd(), worst.data(), worst.size(), MSG_NOSIGNAL);
  EXPECT_TRUE(closedBy(peer.fd(), Clock::now() + kSlack));
}

TEST(TcpServer, APeerThatDoesNotTakeItsRepliesIsCutOff) {
  const milliseconds deadline{300};
  LocalSim sim(limits(deadline));
  RawClient peer(sim.port());
  ASSERT_EQ(peer.call(1, Func::put_VarS, proto::Writer().i32(0).str(std::string(1024, 's')).take()),
            KLV_OK);
  // Requests for 1 KiB replies until neither side's buffers take more, none of them read.
  proto::Frame get;
  get.func = static_cast<uint16_t>(Func::get_VarS);
  get.payload = proto::Writer().i32(0).take();
  const std::vector<uint8_t> request = proto::encodeFrame(get);
  std::vector<uint8_t> burst;
  for (int i = 0; i < 256; ++i) burst.insert(burst.end(), request.begin(), request.end());
  const auto start = Clock::now();
  while (Clock::now() < start + kSlack &&
         ::send(peer.fd(), burst.data(), burst.size(), MSG_NOSIGNAL | MSG_DONTWAIT) > 0) {
  }
  std::this_thread::sleep_for(2 * deadline);
  size_t received = 0;
  EXPECT_TRUE(closedBy(peer.fd(), Clock::now() + kSlack, &received))
      << "still answering after " << received << " bytes";
}

// On several threads, where peers end on other threads than the one that accepts them.
TEST(TcpServer, PeersBeyondTheCapAreTurnedAwayWithACodeAndTheirPlaceIsFreedLater) {
  const milliseconds deadline{300};
  LocalSim sim(limits(deadline, 64 * 1024, 2), 3);
  auto first = std::make_unique<RawClient>(sim.port());
  RawClient second(sim.port());
  RawClient third(sim.port(), false);
  EXPECT_EQ(third.hello(1), KLV_C_TOO_MANY_CONNECTIONS);
  EXPECT_TRUE(closedBy(third.fd(), Clock::now() + kSlack)) << "closed after the reply";

  // A peer turned away that says nothing is closed after the frame deadline; beyond the
  // peers being turned away, one is closed at once without a word.
  std::vector<std::unique_ptr<RawClient>> silent;
  for (size_t i = 0; i < TcpServer::kMaxRefusing; ++i) {
    silent.push_back(std::make_unique<RawClient>(sim.port(), false));
  }
  RawClient surplus(sim.port(), false);
  size_t bytes = 0;
  EXPECT_TRUE(closedBy(surplus.fd(), Clock::now() + kSlack, &bytes));
  EXPECT_EQ(bytes, 0u);
  for (auto& s : silent) EXPECT_TRUE(closedBy(s->fd(), Clock::now() + deadline + kSlack));

  EXPECT_EQ(second.call(1, Func::get_MotorState, {}), KLV_OK) << "the served peers go on";
  first.reset();
  // The place becomes free once the simulator has seen the peer go.
  int32_t rc = KLV_C_TOO_MANY_CONNECTIONS;
  for (const auto until = Clock::now() + kSlack;
       rc == KLV_C_TOO_MANY_CONNECTIONS && Clock::now() < until;) {
    RawClient next(sim.port(), false);
    rc = next.hello(1);
  }
  EXPECT_EQ(rc, KLV_OK);
}

// The keepalive timer of the simulator's end of a connection, as /proc/net/tcp shows it: its
// timer kind (2: keepalive) and the seconds until it fires.
std::pair<int, double> serverTimer(int serverPort, int clientPort) {
  std::ifstream in("/proc/self/net/tcp");
  char local[32], remote[32];
  std::snprintf(local, sizeof local, "0100007F:%04X", serverPort);
  std::snprintf(remote, sizeof remote, "0100007F:%04X", clientPort);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string slot, l, r, state, queues, timer;
    fields >> slot >> l >> r >> state >> queues >> timer;
    if (l != local || r != remote) continue;
    const auto colon = timer.find(':');
    return {std::stoi(timer.substr(0, colon), nullptr, 16),
            static_cast<double>(std::stoul(timer.substr(colon + 1), nullptr, 16)) / 100.0};
  }
  return {-1, 0};
}

TEST(TcpServer, KeepaliveProbesAnIdlePeer) {
  LocalSim sim(PeerLimits{});
  RawClient peer(sim.port());
  sockaddr_in self{};
  socklen_t len = sizeof self;
  ASSERT_EQ(::getsockname(peer.fd(), reinterpret_cast<sockaddr*>(&self), &len), 0);
  const auto [kind, seconds] = serverTimer(sim.port(), ntohs(self.sin_port));
  EXPECT_EQ(kind, 2) << "a keepalive timer runs";
  EXPECT_GT(seconds, 30);
  EXPECT_LE(seconds, 60) << "the first probe after a minute of silence";
}

}  // namespace
}  // namespace kelvor::sim::net
