// The simulated arm through the library against the simulator process: a motion with NEXT seen
// on its way, Fig round trips, refusals with their codes and descriptions, an area with Err,
// and the time scale.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "kelvor.h"
#include "sim_process.h"
#include "test_util.h"

namespace kelvor::test {
namespace {

using Clock = std::chrono::steady_clock;

template <size_t N>
void expectNear(const float (&got)[N], const float (&want)[N], double tol = 1e-3) {
  for (size_t i = 0; i < N; ++i) EXPECT_NEAR(got[i], want[i], tol) << "element " << i;
}

class Arm : public ::testing::Test {
 protected:
  void start(std::vector<std::string> args = {}) {
    sim_ = std::make_unique<SimProcess>(std::move(args));
    // A generous timeout: planning and watching areas are slow under the sanitizers.
    ASSERT_EQ(connect(sim_->eth(), 2000), KLV_OK);
    ASSERT_EQ(klv_put_MotorState(1), KLV_OK);
  }
  void TearDown() override { EXPECT_EQ(klv_Disconnect(), KLV_OK); }
  // Polls get_MotionState until the arm rests (at most 10 s).
  static void waitForRest() {
    int32_t moving = 1;
    const auto giveUp = Clock::now() + std::chrono::seconds(10);
    while (moving && Clock::now() < giveUp) {
      ASSERT_EQ(klv_get_MotionState(&moving), KLV_OK);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(moving, 0);
  }
  std::unique_ptr<SimProcess> sim_;
};

TEST_F(Arm, ANextMotionIsSeenOnItsWay) {
  start();
  ASSERT_EQ(klv_put_ExtSpeed(50), KLV_OK);  // external automatic mode: J1 90 degrees in 1.22 s
  const float target[9] = {90, 0, 0, 0, 0, 0, 0, 0, 0};
  const auto sent = Clock::now();
  ASSERT_EQ(klv_DriveA("@0", target, "NEXT"), KLV_OK);
  EXPECT_LT(Clock::now() - sent, std::chrono::milliseconds(500)) << "answered when accepted";

  // Another motion is refused while this one runs.
  EXPECT_EQ(klv_Drive("", 2, 5, ""), KLV_C_MOTION_RUNNING);
  EXPECT_EQ(errorDescription(), "Another motion is running");
  ASSERT_EQ(klv_ClearError(0), KLV_OK);

  int32_t moving = 1;
  float j[9], last = 0;
  int seenOnItsWay = 0;
  const auto giveUp = Clock::now() + std::chrono::seconds(10);
  while (moving && Clock::now() < giveUp) {
    ASSERT_EQ(klv_get_MotionState(&moving), KLV_OK);
    ASSERT_EQ(klv_get_CurrentJ(j), KLV_OK);
    EXPECT_GE(j[0], last) << "J1 only moves forward";
    last = j[0];
    if (moving && j[0] > 0 && j[0] < 90) ++seenOnItsWay;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(moving, 0);
  EXPECT_GT(seenOnItsWay, 5);
  ASSERT_EQ(klv_get_CurrentJ(j), KLV_OK);
  EXPECT_EQ(std::memcmp(j, target, sizeof j), 0);
}

// Leaning back with the wrist flipped: Fig 5 (shoulder back, wrist flipped).
const float kBackFlipped[9] = {0, -100, 10, 20, -30, 40, 0, 0, 0};

TEST_F(Arm, AFigFivePoseRoundTripsThroughDriveA) {
  start();
  float p[8], j[9], cur[8];
  ASSERT_EQ(klv_J2P(kBackFlipped, p), KLV_OK);
  EXPECT_EQ(p[6], 5);
  ASSERT_EQ(klv_P2J(p, j), KLV_OK);
  expectNear(j, kBackFlipped);
  ASSERT_EQ(klv_DriveA("@E", j, ""), KLV_OK);
  ASSERT_EQ(klv_get_CurrentP(cur), KLV_OK);
  expectNear(cur, p);
  EXPECT_EQ(cur[6], 5);
  float t[11], back[8];
  ASSERT_EQ(klv_get_CurrentT(t), KLV_OK);
  EXPECT_EQ(t[9], 5);
  ASSERT_EQ(klv_T2P(t, back), KLV_OK);
  expectNear(back, p);

  // The same position in front of the base would need J1 at 180 degrees.
  p[6] = 0;
  EXPECT_EQ(klv_P2J(p, j), KLV_C_JOINT_LIMIT);
  EXPECT_EQ(errorDescription(), "J1 beyond its limit");
}

TEST_F(Arm, RefusedMotionsNameWhatFailed) {
  start();
  const float far[8] = {2000, 0, 700, 180, 0, 0, 0, 0};
  EXPECT_EQ(klv_MoveP(1, "@0", far, ""), KLV_C_OUT_OF_REACH);
  EXPECT_EQ(errorDescription(), "Position out of reach");
  const float home[9] = {};
  EXPECT_EQ(klv_DriveA("@0", home, ""), KLV_C_ERROR_LATCHED) << "until the error is cleared";
  int32_t code = 0;
  ASSERT_EQ(klv_get_ErrorCode(&code), KLV_OK);
  EXPECT_EQ(code, KLV_C_OUT_OF_REACH) << "the cause stays latched";
  ASSERT_EQ(klv_ClearError(0), KLV_OK);

  const float beyond[9] = {0, 0, 80, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(klv_DriveA("@0", beyond, ""), KLV_C_JOINT_LIMIT);
  EXPECT_EQ(errorDescription(), "J3 beyond its limit");
  ASSERT_EQ(klv_ClearError(0), KLV_OK);
  const float overhead[8] = {0, 0, 1000, 0, 0, 0, 0, 0};
  EXPECT_EQ(klv_MoveP(1, "@0", overhead, ""), KLV_C_SINGULAR);
  EXPECT_EQ(errorDescription(), "Singular position (wrist centre on axis 1)");
  ASSERT_EQ(klv_ClearError(0), KLV_OK);

  ASSERT_EQ(klv_put_ExtSpeed(0), KLV_OK);
  EXPECT_EQ(klv_DriveA("@0", home, ""), KLV_C_SPEED_ZERO);
  EXPECT_EQ(errorDescription(), "External speed is 0");
  ASSERT_EQ(klv_ClearError(0), KLV_OK);
  ASSERT_EQ(klv_put_MotorState(0), KLV_OK);
  EXPECT_EQ(klv_DriveA("@0", home, ""), KLV_C_MOTOR_OFF);
}

TEST_F(Arm, AnAreaWithErrStopsTheArmWhereItEnters) {
  start();
  // The TCP of the gripper (tool 1) pointing down moves along Y through a box from Y 40 to 80.
  ASSERT_EQ(klv_put_CurTool(1), KLV_OK);
  const float from[8] = {400, -200, 400, 180, 0, 0, 0, 0}, to[8] = {400, 200, 400, 180, 0, 0, 0, 0};
  ASSERT_EQ(klv_MoveP(1, "@0", from, ""), KLV_OK);
  const float area[14] = {400, 60, 400, 0, 0, 0, 40, 40, 40, 1500, 0, 1, 1, 0};
  ASSERT_EQ(klv_put_AreaDef(9, area), KLV_OK);
  int32_t io = -1;
  ASSERT_EQ(klv_get_VarIO(1500, &io), KLV_OK);
  EXPECT_EQ(io, 0);

  EXPECT_EQ(klv_MoveP(2, "@0", to, ""), KLV_C_AREA_STOP);
  EXPECT_EQ(errorDescription(), "Area 9 entered: the arm stopped");
  float cur[8];
  ASSERT_EQ(klv_get_CurrentP(cur), KLV_OK);
  expectNear(cur, {400, 40, 400, 180, 0, 0, 0, 0}, 0.01);
  ASSERT_EQ(klv_get_VarIO(1500, &io), KLV_OK);
  EXPECT_EQ(io, 1);

  ASSERT_EQ(klv_ClearError(0), KLV_OK);
  ASSERT_EQ(klv_MoveP(2, "@0", from, ""), KLV_OK) << "out again";
  ASSERT_EQ(klv_get_VarIO(1500, &io), KLV_OK);
  EXPECT_EQ(io, 0);
}

// Five times as fast: a motion of 6.1 s at 10 % answers after about 1.2 s, the library kept
// waiting by progress frames although its timeout is shorter.
TEST_F(Arm, TheTimeScaleRunsMotionsFaster) {
  start({"--time-scale", "5"});
  ASSERT_EQ(klv_Disconnect(), KLV_OK);
  ASSERT_EQ(connect(sim_->eth(), 800), KLV_OK);
  ASSERT_EQ(klv_put_ExtSpeed(10), KLV_OK);
  const float target[9] = {90, 0, 0, 0, 0, 0, 0, 0, 0};
  const auto sent = Clock::now();
  ASSERT_EQ(klv_DriveA("@0", target, ""), KLV_OK);
  const auto took = Clock::now() - sent;
  EXPECT_GT(took, std::chrono::milliseconds(1200));
  EXPECT_LT(took, std::chrono::seconds(4)) << "model time converted to real time";
  int32_t moving = 1;
  ASSERT_EQ(klv_get_MotionState(&moving), KLV_OK);
  EXPECT_EQ(moving, 0);
}

}  // namespace
}  // namespace kelvor::test
