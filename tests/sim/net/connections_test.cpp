// The simulator program's connections: the handshake comes first, and at its descriptor limit
// it neither spins nor leaves peers waiting.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kelvor.h"
#include "kelvor/protocol.h"
#include "loopback.h"
#include "raw_client.h"
#include "sim_process.h"
#include "temp_path.h"

namespace kelvor::test {
namespace {

using Clock = std::chrono::steady_clock;
using proto::Func;
using proto::Reader;
using proto::Writer;
using std::chrono::milliseconds;

TEST(SimConnections, RequestsBeforeTheHandshakeAndOtherVersionsAreRefused) {
  SimProcess sim;
  RawClient c(sim.port(), false);
  EXPECT_EQ(c.call(1, Func::put_VarI, Writer().i32(1).i32(5).take()), KLV_C_HANDSHAKE_REQUIRED);
  EXPECT_EQ(c.hello(2, proto::kProtocolVersion + 1), KLV_C_PROTOCOL_VERSION);
  EXPECT_EQ(c.call(3, Func::get_MotorState, {}), KLV_C_HANDSHAKE_REQUIRED);
  ASSERT_EQ(c.hello(4), KLV_OK);
  proto::Frame r;
  ASSERT_EQ(c.call(5, Func::get_VarI, Writer().i32(1).take(), &r), KLV_OK);
  Reader value(r.payload);
  value.i32();
  EXPECT_EQ(value.i32(), 0) << "the refused write did nothing";
  ASSERT_EQ(c.call(6, Func::get_ErrorCode, {}, &r), KLV_OK);
  Reader error(r.payload);
  error.i32();
  EXPECT_EQ(error.i32(), 0) << "nor was it latched";
}

// The CPU time a process has used so far (user and system), from /proc/PID/stat.
milliseconds cpuTime(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string skip;
  for (int i = 3; i < 14; ++i) fields >> skip;  // state to cmajflt
  long user = 0, system = 0;
  fields >> user >> system;
  return milliseconds((user + system) * 1000 / ::sysconf(_SC_CLK_TCK));
}

bool closedWithin(int fd, milliseconds limit) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, static_cast<int>(limit.count())) <= 0) return false;
  uint8_t b;
  return ::recv(fd, &b, 1, 0) <= 0;
}

int connectTo(int port) {
  const int fd = dialLoopback(port);
  EXPECT_GE(fd, 0);
  return fd;
}

TEST(SimConnections, AtTheDescriptorLimitAcceptingPausesAndWaitingPeersAreClosed) {
  const std::string log = tempPath("emfile.log");
  SimProcess sim({"--max-connections", "1000"}, log, 24);
  // Served peers until the simulator has no descriptor left.
  std::vector<std::unique_ptr<RawClient>> served;
  for (int i = 0; i < 24; ++i) {
    try {
      served.push_back(std::make_unique<RawClient>(sim.port()));
    } catch (const std::exception&) {
      break;
    }
  }
  ASSERT_GT(served.size(), 3u);
  ASSERT_LT(served.size(), 24u) << "the descriptor limit was not reached";

  // For a second, new peers keep arriving: each is closed soon, and the simulator stays idle.
  std::vector<int> waiting;
  const milliseconds before = cpuTime(sim.pid());
  const auto start = Clock::now();
  while (Clock::now() < start + std::chrono::seconds(1)) {
    waiting.push_back(connectTo(sim.port()));
    std::this_thread::sleep_for(milliseconds(50));
  }
  const milliseconds used = cpuTime(sim.pid()) - before;
  const auto wall = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
  std::printf("at the descriptor limit: %lld ms of CPU in %lld ms\n",
              static_cast<long long>(used.count()), static_cast<long long>(wall.count()));
  EXPECT_LT(used, wall / 4) << "accepting spins";
  EXPECT_TRUE(closedWithin(waiting.front(), milliseconds(3000)))
      << "a peer the simulator cannot take is closed, not left waiting";
  for (int fd : waiting) ::close(fd);

  // Once descriptors are free again, a new peer is served.
  served.clear();
  std::unique_ptr<RawClient> fresh;
  for (const auto until = Clock::now() + std::chrono::seconds(5); !fresh && Clock::now() < until;) {
    try {
      fresh = std::make_unique<RawClient>(sim.port());
    } catch (const std::exception&) {
      std::this_thread::sleep_for(milliseconds(50));
    }
  }
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->call(1, Func::get_MotorState, {}), KLV_OK);
  sim.stop();
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("Too many open files"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("accepting connections again"), std::string::npos) << text.str();
  ::unlink(log.c_str());
}

}  // namespace
}  // namespace kelvor::test
