// The simulator program: its options and the state file across restarts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "kelvor.h"
#include "kelvor/protocol.h"
#include "sim_process.h"
#include "temp_path.h"
#include "test_util.h"

namespace kelvor::test {
namespace {

TEST(SimState, AcknowledgedValuesSurviveKill9) {
  const std::string file = tempPath("state");
  ::unlink(file.c_str());
  const float tool[7] = {1.5f, -2, 3, 4, 5, 6, 7};
  const float p[8] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f};
  const float cal[7] = {9, 8, 7, 6, 5, 4, 3};
  const float rot[7] = {1, 1, 1, 1, 1, 1, 1}, len[7] = {2, 4, 0, 0, 0, 0, 1};
  const float joints[9] = {10, -20, 30, -40, 50, -60, 7, 8, 9};
  {
    SimProcess sim({"--state", file});
    ASSERT_EQ(connect(sim.eth()), KLV_OK);
    for (int i = 0; i < 50; ++i) ASSERT_EQ(klv_put_VarI(i, i * 3 + 1), KLV_OK);
    ASSERT_EQ(klv_put_VarD(999, 1.0 / 7.0), KLV_OK);
    ASSERT_EQ(klv_put_VarS(0, " padded  "), KLV_OK);
    ASSERT_EQ(klv_put_VarIO(17, 1), KLV_OK);
    ASSERT_EQ(klv_put_VarP(3, p), KLV_OK);
    ASSERT_EQ(klv_put_ToolDef(2, tool), KLV_OK);
    ASSERT_EQ(klv_put_CalData(cal), KLV_OK);
    ASSERT_EQ(klv_Calibrate(rot, len), KLV_OK);
    ASSERT_EQ(klv_put_MotorState(1), KLV_OK);
    ASSERT_EQ(klv_DriveA("@0", joints, nullptr), KLV_OK);  // stored when the arm rests
    sim.stop(SIGKILL);
    EXPECT_EQ(klv_Disconnect(), KLV_OK);
  }
  SimProcess sim({"--state", file});
  ASSERT_EQ(connect(sim.eth()), KLV_OK);
  for (int i = 0; i < 50; ++i) {
    int32_t v = 0;
    ASSERT_EQ(klv_get_VarI(i, &v), KLV_OK);
    EXPECT_EQ(v, i * 3 + 1);
  }
  double d = 0;
  ASSERT_EQ(klv_get_VarD(999, &d), KLV_OK);
  EXPECT_TRUE(sameBits(d, 1.0 / 7.0));
  char buf[32];
  ASSERT_EQ(klv_get_VarS(0, buf, sizeof buf), KLV_OK);
  EXPECT_STREQ(buf, " padded  ");
  int32_t io = 0;
  ASSERT_EQ(klv_get_VarIO(17, &io), KLV_OK);
  EXPECT_EQ(io, 1);
  float out[8];
  ASSERT_EQ(klv_get_VarP(3, out), KLV_OK);
  EXPECT_EQ(std::memcmp(out, p, sizeof p), 0);
  ASSERT_EQ(klv_get_ToolDef(2, out), KLV_OK);
  EXPECT_EQ(std::memcmp(out, tool, sizeof tool), 0);
  ASSERT_EQ(klv_get_CalData(out), KLV_OK);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(out[i], cal[i] + rot[i]) << i;
  float ss[7], aa[7];
  ASSERT_EQ(klv_get_LinkParam(ss, aa), KLV_OK);
  EXPECT_EQ(aa[0], 52);
  EXPECT_EQ(aa[1], 304);
  EXPECT_EQ(aa[6], 1);
  float j[9];
  ASSERT_EQ(klv_get_CurrentJ(j), KLV_OK);
  EXPECT_EQ(std::memcmp(j, joints, sizeof j), 0);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
  ::unlink(file.c_str());
}

// Stopped while the arm moves, the simulator keeps where it stopped; without a state file
// the arm starts at J = 0.
TEST(SimState, AStopDuringAMotionKeepsWhereTheArmWas) {
  const std::string file = tempPath("stopped");
  ::unlink(file.c_str());
  {
    SimProcess sim({"--state", file});
    ASSERT_EQ(connect(sim.eth()), KLV_OK);
    ASSERT_EQ(klv_put_MotorState(1), KLV_OK);
    ASSERT_EQ(klv_put_ExtSpeed(20), KLV_OK);  // J1 by 90 degrees in 3 s
    const float target[9] = {90, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(klv_DriveA("@0", target, "NEXT"), KLV_OK);
    usleep(400 * 1000);
    EXPECT_EQ(sim.stop(SIGTERM), 0);
    EXPECT_EQ(klv_Disconnect(), KLV_OK);
  }
  float j[9];
  {
    SimProcess sim({"--state", file});
    ASSERT_EQ(connect(sim.eth()), KLV_OK);
    ASSERT_EQ(klv_get_CurrentJ(j), KLV_OK);
    EXPECT_GT(j[0], 0);
    EXPECT_LT(j[0], 45);
    EXPECT_EQ(klv_Disconnect(), KLV_OK);
  }
  SimProcess fresh;
  ASSERT_EQ(connect(fresh.eth()), KLV_OK);
  ASSERT_EQ(klv_get_CurrentJ(j), KLV_OK);
  EXPECT_EQ(j[0], 0);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
  ::unlink(file.c_str());
}

TEST(SimState, DamagedFileIsRefusedAtStart) {
  const std::string file = tempPath("damaged");
  {
    std::ofstream os(file);
    os << "kelvor-sim-state 1\nI 3 0000002a\n";  // no end line
  }
  EXPECT_EQ(simExitStatus({"--listen", "127.0.0.1:0", "--state", file}), 1);
  ::unlink(file.c_str());
}

TEST(SimOptions, BadOptionsAreRefusedAndHelpExplains) {
  EXPECT_EQ(simExitStatus({"--help"}), 0);
  EXPECT_NE(simExitStatus({"--fail", "no_such_function=1"}), 0);
  EXPECT_NE(simExitStatus({"--fail", "get_MotorState=1:sometimes"}), 0);
  EXPECT_NE(simExitStatus({"--delay", "get_MotorState"}), 0);
  EXPECT_NE(simExitStatus({"--listen", "127.0.0.1"}), 0);
  EXPECT_NE(simExitStatus({"--max-connections", "0"}), 0);
  EXPECT_NE(simExitStatus({"--time-scale", "0"}), 0);
}

TEST(SimOptions, ListeningBeyondLoopbackNeedsAllowRemote) {
  for (const char* address : {"0.0.0.0:0", "[::]:0", "192.0.2.1:0", "[::ffff:192.0.2.1]:0"}) {
    std::string err;
    EXPECT_EQ(simExitStatus({"--listen", address}, &err), 2) << address;
    EXPECT_NE(err.find("not a loopback address"), std::string::npos) << err;
    EXPECT_NE(err.find("--allow-remote"), std::string::npos) << err;
  }
  // Every loopback address is fine without it, and the flag itself is accepted.
  SimProcess v4({"--listen", "127.0.0.2:0"});
  SimProcess mapped({"--listen", "[::ffff:127.0.0.1]:0"});
  SimProcess allowed({"--allow-remote", "--listen", "127.0.0.1:0"});
}

TEST(SimOptions, IdentityStringsMustFitAReply) {
  const std::string longest(proto::kMaxString, 'r');
  std::string err;
  EXPECT_EQ(simExitStatus({"--rom-version", longest + "r"}, &err), 2);
  EXPECT_NE(err.find("--rom-version"), std::string::npos) << err;
  EXPECT_EQ(simExitStatus({"--serial-no", longest + "s"}), 2);
  EXPECT_EQ(simExitStatus({"--robot-type", longest + "t"}), 2);
  // The handshake names the robot type and the serial number in one string.
  EXPECT_EQ(
      simExitStatus({"--robot-type", std::string(600, 't'), "--serial-no", std::string(600, 's')}),
      2);

  SimProcess sim({"--rom-version", longest});
  ASSERT_EQ(connect(sim.eth()), KLV_OK);
  std::vector<char> buf(proto::kMaxString + 1);
  ASSERT_EQ(klv_get_RomVersion(buf.data(), static_cast<int32_t>(buf.size())), KLV_OK);
  EXPECT_EQ(std::string(buf.data()), longest);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

}  // namespace
}  // namespace kelvor::test
