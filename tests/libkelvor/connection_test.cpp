// Connecting, library-side failure codes, fault injection and the serial path.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "com_ports.h"
#include "kelvor.h"
#include "loopback.h"
#include "runtime_dir.h"
#include "sim_process.h"
#include "test_util.h"

namespace kelvor::test {
namespace {

using Clock = std::chrono::steady_clock;

// A loopback port that nothing listens on (bound, then closed).
int unusedPort() {
  int port = 0;
  ::close(listenOnLoopback(port, 1));
  return port;
}

TEST(Connect, RejectsMalformedConnectionStrings) {
  const char* bad[] = {"",
                       "eth:",
                       "eth:127.0.0.1:",
                       "eth:127.0.0.1:0",
                       "eth:127.0.0.1:65536",
                       "eth:127.0.0.1:12a",
                       "eth:[::1",
                       "eth:[]:5",
                       "eth:[::1]x",
                       "eth:[::1 ]",
                       "eth:127.0.0.1\t",
                       "eth:host\x01name",
                       "tcp:127.0.0.1",
                       "ETH:127.0.0.1",
                       "com:3",
                       "com:3:115200N:8",
                       "com:0:115200N:8:1",
                       "com:257:115200N:8:1",
                       "com:3:115201N:8:1",
                       "com:3:4800N:8:1",
                       "com:3:115200X:8:1",
                       "com:3:115200:8:1",
                       "com:3:115200N:9:1",
                       "com:3:115200N:7:1",
                       "com:3:115200N:8:3",
                       "com:3:115200N:8:1:extra",
                       "com:x:115200N:8:1"};
  for (const char* s : bad) EXPECT_EQ(connect(s), KLV_E_BAD_CONNECTION_STRING) << s;
}

TEST(Connect, ArgumentAndStateErrors) {
  EXPECT_EQ(klv_Connect(nullptr, 400, 0), KLV_E_INVALID_ARGUMENT);
  SimProcess sim;
  EXPECT_EQ(connect(sim.eth(), -1), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(connect(sim.eth(), 400, 1), KLV_E_INVALID_ARGUMENT);
  int32_t v;
  EXPECT_EQ(klv_get_MotorState(&v), KLV_E_NOT_CONNECTED);
  EXPECT_EQ(klv_Disconnect(), KLV_E_NOT_CONNECTED);
  ASSERT_EQ(connect(sim.eth(), 0), KLV_OK);  // default timeout
  EXPECT_EQ(connect(sim.eth()), KLV_E_ALREADY_CONNECTED);
  EXPECT_EQ(klv_get_MotorState(&v), KLV_OK);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
  // Host names, IPv6 literals and the explicit port all reach the same simulator.
  ASSERT_EQ(connect("eth:localhost:" + std::to_string(sim.port())), KLV_OK);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

TEST(Connect, Ipv6Loopback) {
  const int fd = ::socket(AF_INET6, SOCK_STREAM, 0);
  sockaddr_in6 a{};
  a.sin6_family = AF_INET6;
  a.sin6_addr = in6addr_loopback;
  const bool v6 = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  if (fd >= 0) ::close(fd);
  if (!v6) GTEST_SKIP() << "no IPv6 loopback";
  SimProcess sim({"--listen", "[::1]:0"});
  ASSERT_EQ(connect("eth:[::1]:" + std::to_string(sim.port())), KLV_OK);
  int32_t v;
  EXPECT_EQ(klv_get_AutoMode(&v), KLV_OK);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

TEST(Connect, RefusedPort) {
  EXPECT_EQ(connect("eth:127.0.0.1:" + std::to_string(unusedPort())), KLV_E_CONNECTION_REFUSED);
}

TEST(Connect, VersionMismatchLeavesNoConnection) {
  SimProcess old({"--protocol-version", "99"});
  EXPECT_EQ(connect(old.eth()), KLV_E_VERSION_MISMATCH);
  int32_t v;
  EXPECT_EQ(klv_get_MotorState(&v), KLV_E_NOT_CONNECTED);
  SimProcess good;
  ASSERT_EQ(connect(good.eth()), KLV_OK);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

TEST(Failures, StalledReplyTimesOutAndTheNextCallWorks) {
  SimProcess sim({"--delay", "get_MotorState=700"});
  ASSERT_EQ(connect(sim.eth(), 400), KLV_OK);
  int32_t v;
  const auto start = Clock::now();
  EXPECT_EQ(klv_get_MotorState(&v), KLV_E_TIMEOUT);
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(390));
  EXPECT_LT(took, std::chrono::milliseconds(400 + 1000));
  // The late reply to the timed-out call is discarded by its sequence number.
  EXPECT_EQ(klv_get_AutoMode(&v), KLV_OK);
  EXPECT_EQ(v, 1) << "the simulator starts in external automatic mode";
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

// J1 by 90 degrees at an external speed of 50 %: 1.22 s.
const float kLongDrive[9] = {90, 0, 0, 0, 0, 0, 0, 0, 0};

TEST(Failures, ProgressFramesKeepLongMotionsAlive) {
  SimProcess sim;
  ASSERT_EQ(connect(sim.eth(), 300), KLV_OK);
  ASSERT_EQ(klv_put_MotorState(1), KLV_OK);
  ASSERT_EQ(klv_put_ExtSpeed(50), KLV_OK);
  EXPECT_EQ(klv_DriveA("", kLongDrive, ""), KLV_OK);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

TEST(Failures, ACallBehindAnotherThreadsLongMotionGivesUpAtItsTimeout) {
  SimProcess sim;
  ASSERT_EQ(connect(sim.eth(), 300), KLV_OK);
  ASSERT_EQ(klv_put_MotorState(1), KLV_OK);
  ASSERT_EQ(klv_put_ExtSpeed(50), KLV_OK);
  std::atomic<int32_t> motion{1};
  std::thread mover([&] { motion = klv_DriveA("@0", kLongDrive, nullptr); });
  // Until the motion holds the connection, calls still get through.
  int32_t v = 0, rc = KLV_OK;
  auto took = Clock::duration{};
  const auto giveUp = Clock::now() + std::chrono::seconds(2);
  while (rc == KLV_OK && Clock::now() < giveUp) {
    const auto start = Clock::now();
    rc = klv_get_MotorState(&v);
    took = Clock::now() - start;
  }
  mover.join();
  EXPECT_EQ(rc, KLV_E_TIMEOUT);
  EXPECT_GE(took, std::chrono::milliseconds(290));
  EXPECT_LT(took, std::chrono::milliseconds(300 + 1000));
  EXPECT_EQ(motion, KLV_OK) << "the motion itself is not disturbed";
  EXPECT_EQ(klv_get_MotorState(&v), KLV_OK);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

TEST(Failures, KilledControllerGivesConnectionLostThenReconnectWorks) {
  auto sim = std::make_unique<SimProcess>();
  ASSERT_EQ(connect(sim->eth()), KLV_OK);
  int32_t v;
  ASSERT_EQ(klv_get_MotorState(&v), KLV_OK);
  sim->stop(SIGKILL);
  EXPECT_EQ(klv_get_MotorState(&v), KLV_E_CONNECTION_LOST);
  EXPECT_EQ(klv_put_VarI(1, 1), KLV_E_CONNECTION_LOST);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
  sim = std::make_unique<SimProcess>();
  ASSERT_EQ(connect(sim->eth()), KLV_OK);
  EXPECT_EQ(klv_get_MotorState(&v), KLV_OK);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

TEST(Failures, DroppedConnection) {
  SimProcess sim({"--drop-after", "3"});  // the handshake and two calls
  ASSERT_EQ(connect(sim.eth()), KLV_OK);
  int32_t v;
  EXPECT_EQ(klv_get_MotorState(&v), KLV_OK);
  EXPECT_EQ(klv_get_MotorState(&v), KLV_OK);
  EXPECT_EQ(klv_get_MotorState(&v), KLV_E_CONNECTION_LOST);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
  ASSERT_EQ(connect(sim.eth()), KLV_OK);
  EXPECT_EQ(klv_get_MotorState(&v), KLV_OK);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

TEST(Failures, InjectedFaults) {
  SimProcess sim({"--fail", "get_MotorState=0x1234:2", "--fail", "klv_put_Speed=7:always", "--fail",
                  "get_AutoMode=0", "--fail", "get_CurTool=0x80000007"});
  ASSERT_EQ(connect(sim.eth()), KLV_OK);
  int32_t v;
  EXPECT_EQ(klv_get_MotorState(&v), 0x1234);
  EXPECT_EQ(klv_get_MotorState(&v), 0x1234);
  EXPECT_EQ(klv_get_MotorState(&v), KLV_OK);
  ASSERT_EQ(klv_get_ErrorCode(&v), KLV_OK);
  EXPECT_EQ(v, 0x1234);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(klv_put_Speed(50.0f), 7);
  EXPECT_EQ(klv_get_AutoMode(&v), KLV_E_PROTOCOL);  // success without its outputs
  EXPECT_EQ(klv_get_AutoMode(&v), KLV_OK);
  // A code of the library's own range never comes from the controller.
  EXPECT_EQ(klv_get_CurTool(&v), KLV_E_PROTOCOL);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

TEST(ErrorText, NamesEveryCode) {
  char buf[128];
  const int32_t codes[] = {KLV_OK,
                           KLV_E_NOT_CONNECTED,
                           KLV_E_ALREADY_CONNECTED,
                           KLV_E_BAD_CONNECTION_STRING,
                           KLV_E_HOST_NOT_FOUND,
                           KLV_E_CONNECTION_REFUSED,
                           KLV_E_PORT_OPEN,
                           KLV_E_TIMEOUT,
                           KLV_E_CONNECTION_LOST,
                           KLV_E_PROTOCOL,
                           KLV_E_VERSION_MISMATCH,
                           KLV_E_INVALID_ARGUMENT,
                           KLV_E_LIBRARY_NOT_FOUND,
                           KLV_E_FUNCTION_NOT_FOUND,
                           KLV_C_MOTOR_OFF,
                           KLV_C_STORAGE_FAILED,
                           KLV_C_OUT_OF_REACH,
                           KLV_C_JOINT_LIMIT,
                           KLV_C_SINGULAR,
                           KLV_C_MOTION_RUNNING,
                           KLV_C_AREA_STOP,
                           KLV_C_ERROR_LATCHED,
                           KLV_C_SPEED_ZERO,
                           KLV_C_INVALID_ARM,
                           KLV_C_FIXED_DEFINITION};
  std::set<std::string> seen;
  for (int32_t c : codes) {
    ASSERT_EQ(klv_ErrorText(c, buf, sizeof buf), KLV_OK);
    EXPECT_GT(std::strlen(buf), 5u) << c;
    seen.insert(buf);
  }
  EXPECT_EQ(seen.size(), std::size(codes));  // all different
  ASSERT_EQ(klv_ErrorText(0x4321, buf, sizeof buf), KLV_OK);
  EXPECT_STREQ(buf, "Controller error 0x4321");
  ASSERT_EQ(klv_ErrorText(KLV_C_MOTOR_OFF, buf, 6), KLV_OK);
  EXPECT_STREQ(buf, "Motor");
}

// The serial path over a pseudo-terminal behind one of the virtual COM ports.
class Serial : public ::testing::Test {
 protected:
  void start(std::vector<std::string> extra = {}) {
    extra.insert(extra.begin(), {"--pty", "COM" + std::to_string(com_)});
    sim_ = std::make_unique<SimProcess>(extra);
    sim_->readLineContaining("pty ");
  }
  void TearDown() override { sim_.reset(); }
  std::string conn(int com = 0) const {
    return "com:" + std::to_string(com ? com : com_) + ":115200N:8:1";
  }
  PrivateRuntimeDir runtime_;  // the virtual ports of this test only
  const int com_ = 200;
  const std::string link_ = kelvor::comDevicePath(com_);
  std::unique_ptr<SimProcess> sim_;
};

TEST_F(Serial, RoundTripsOverAPty) {
  start();
  ASSERT_EQ(connect(conn()), KLV_OK);
  ASSERT_EQ(klv_put_VarS(4, "over the line  "), KLV_OK);
  char buf[64];
  ASSERT_EQ(klv_get_VarS(4, buf, sizeof buf), KLV_OK);
  EXPECT_STREQ(buf, "over the line  ");
  const double d = -1.0 / 3.0;
  double got = 0;
  ASSERT_EQ(klv_put_VarD(9, d), KLV_OK);
  ASSERT_EQ(klv_get_VarD(9, &got), KLV_OK);
  EXPECT_TRUE(sameBits(d, got));
  ASSERT_EQ(klv_Disconnect(), KLV_OK);
  // A second session on the same line sees the same controller.
  ASSERT_EQ(connect("com:" + std::to_string(com_) + ":9600E:8:2"), KLV_OK);
  ASSERT_EQ(klv_get_VarD(9, &got), KLV_OK);
  EXPECT_TRUE(sameBits(d, got));
  ASSERT_EQ(klv_Disconnect(), KLV_OK);
}

TEST_F(Serial, MissingPortAndLostLine) {
  start();
  EXPECT_EQ(connect(conn(com_ + 1)), KLV_E_PORT_OPEN);
  ASSERT_EQ(connect(conn()), KLV_OK);
  int32_t v;
  ASSERT_EQ(klv_get_MotorState(&v), KLV_OK);
  sim_->stop(SIGKILL);
  EXPECT_EQ(klv_get_MotorState(&v), KLV_E_CONNECTION_LOST);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

// Only a terminal is opened behind a COM port, and only one nobody else could have put there.
TEST_F(Serial, PortsThatAreNotTerminalsOrLieOpenToOthersAreRefused) {
  start();
  const std::string plain = runtime_.path() + "/plain";
  std::ofstream(plain) << "not a terminal";
  const int other = com_ + 1;
  ASSERT_EQ(::symlink("/dev/null", kelvor::comDevicePath(other).c_str()), 0);
  EXPECT_EQ(connect(conn(other)), KLV_E_PORT_OPEN) << "a character device, but no terminal";
  ASSERT_EQ(::unlink(kelvor::comDevicePath(other).c_str()), 0);
  ASSERT_EQ(::symlink(plain.c_str(), kelvor::comDevicePath(other).c_str()), 0);
  EXPECT_EQ(connect(conn(other)), KLV_E_PORT_OPEN);

  ASSERT_EQ(::chmod(runtime_.portDir().c_str(), 0777), 0);
  EXPECT_EQ(connect(conn()), KLV_E_PORT_OPEN) << "anyone could have replaced the link";
  ASSERT_EQ(::chmod(runtime_.portDir().c_str(), 0700), 0);
  ASSERT_EQ(connect(conn()), KLV_OK);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

TEST_F(Serial, PortsBelongingToAnotherUserAreRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a link to another user";
  start();
  ASSERT_EQ(::lchown(link_.c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(connect(conn()), KLV_E_PORT_OPEN);
  ASSERT_EQ(::lchown(link_.c_str(), 0, 0), 0);
  ASSERT_EQ(::chown(runtime_.portDir().c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(connect(conn()), KLV_E_PORT_OPEN);
  ASSERT_EQ(::chown(runtime_.portDir().c_str(), 0, 0), 0);
  ASSERT_EQ(connect(conn()), KLV_OK);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

TEST_F(Serial, DroppedLineIsReplacedBehindTheSameLink) {
  start({"--drop-after", "2"});
  ASSERT_EQ(connect(conn()), KLV_OK);
  int32_t v;
  ASSERT_EQ(klv_get_MotorState(&v), KLV_OK);  // the second request; the third hangs up
  EXPECT_EQ(klv_get_MotorState(&v), KLV_E_CONNECTION_LOST);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
  // The simulator announces the new pseudo-terminal behind the link.
  sim_->readLineContaining("pty ");
  ASSERT_EQ(connect(conn()), KLV_OK);
  EXPECT_EQ(klv_get_MotorState(&v), KLV_OK);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

}  // namespace
}  // namespace kelvor::test
