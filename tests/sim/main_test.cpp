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
  EXPECT_EQ(std::memcmp(out, cal, sizeof cal), 0);
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
