// The controller model in-process: when its persistent state counts as changed, how motions
// run with the clock, and the rules of the motion targets.
#include "model/controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>

#include "kelvor.h"

namespace kelvor::sim::model {
namespace {

using std::chrono::milliseconds;

TEST(ControllerPersistence, OnlyAcceptedChangesOfThePersistentStateCount) {
  Controller c;
  EXPECT_FALSE(c.takePersistentChange());
  int32_t i = 0;
  H h{};
  EXPECT_TRUE(c.variable(&PersistentState::varI, 5, i).ok());
  EXPECT_TRUE(c.definition(&PersistentState::tools, 5, h).ok());
  EXPECT_TRUE(c.setMotor(1).ok());
  EXPECT_TRUE(c.setSpeed(50).ok());
  EXPECT_FALSE(c.takePersistentChange()) << "reads and non-persistent settings";

  EXPECT_TRUE(c.setVariable(&PersistentState::varI, 5, 42).ok());
  EXPECT_TRUE(c.takePersistentChange());
  EXPECT_FALSE(c.takePersistentChange()) << "reported once";

  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(c.setVariable(&PersistentState::varI, kVarCount, 1).code,
            KLV_C_VAR_NUMBER_OUT_OF_RANGE);
  EXPECT_EQ(c.setVariable(&PersistentState::varIO, 3, 2).code, KLV_C_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(c.setVariable(&PersistentState::varS, 0, std::string(kMaxVarS + 1, 'x')).code,
            KLV_C_STRING_TOO_LONG);
  EXPECT_EQ(c.define(&PersistentState::areas, kAreaCount, Area{}).code, KLV_C_UNKNOWN_DEFINITION);
  EXPECT_EQ(c.define(&PersistentState::tools, 1, H{nan}).code, KLV_C_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(c.calibrate(H{}, H{}).code, KLV_C_MOTOR_ON);
  EXPECT_FALSE(c.takePersistentChange()) << "refusals change nothing";

  c.restore(PersistentState{});
  EXPECT_FALSE(c.takePersistentChange()) << "a loaded state is not a change";
  EXPECT_TRUE(c.setVariable(&PersistentState::varS, 0, std::string(kMaxVarS, 'x')).ok());
  EXPECT_TRUE(c.takePersistentChange());
  EXPECT_TRUE(c.setLinkParams(H{1}, H{2}).ok());
  EXPECT_TRUE(c.takePersistentChange());
}

class ControllerMotion : public ::testing::Test {
 protected:
  void SetUp() override {
    c.setMotionTime(milliseconds(500));
    c.tick(t0);
    ASSERT_TRUE(c.setMotor(1).ok());
  }
  MotionTicket moveTo(float x) {
    MotionRequest m;
    m.target = P{x, 0, 0, 0, 0, 0, 0, 0};
    MotionTicket ticket;
    EXPECT_TRUE(c.move(m, ticket).ok());
    return ticket;
  }

  Controller c;
  const Time t0 = Time{} + std::chrono::hours(1);
};

TEST_F(ControllerMotion, RunsUntilTheClockReachesItsEnd) {
  const MotionTicket ticket = moveTo(10);
  EXPECT_TRUE(ticket.replyAtEnd);
  EXPECT_EQ(c.currentP()[0], 10.0f);
  EXPECT_TRUE(c.moving());
  EXPECT_TRUE(c.motion(ticket.id).running);
  EXPECT_EQ(c.motion(ticket.id).expectedEnd, t0 + milliseconds(500));
  c.tick(t0 + milliseconds(499));
  EXPECT_TRUE(c.moving());
  c.tick(t0 + milliseconds(500));
  EXPECT_FALSE(c.moving());
  const MotionProgress done = c.motion(ticket.id);
  EXPECT_FALSE(done.running);
  EXPECT_TRUE(done.result.ok());
  // Time does not go back.
  c.tick(t0);
  EXPECT_EQ(c.now(), t0 + milliseconds(500));
}

TEST_F(ControllerMotion, OverlappingMotionsEndEachAtItsOwnTime) {
  const MotionTicket first = moveTo(1);
  c.tick(t0 + milliseconds(200));
  const MotionTicket second = moveTo(2);
  EXPECT_NE(first.id, second.id);
  c.tick(t0 + milliseconds(500));
  EXPECT_FALSE(c.motion(first.id).running);
  EXPECT_TRUE(c.motion(second.id).running);
  EXPECT_TRUE(c.moving());
  c.tick(t0 + milliseconds(700));
  EXPECT_FALSE(c.moving());
}

TEST_F(ControllerMotion, WithoutMotionTimeAMotionEndsAtOnce) {
  c.setMotionTime(Duration::zero());
  const MotionTicket ticket = moveTo(3);
  EXPECT_FALSE(c.motion(ticket.id).running);
  EXPECT_FALSE(c.moving());
}

TEST_F(ControllerMotion, RefusedMotionsLeaveTheArmWhereItIs) {
  moveTo(7);
  c.tick(t0 + milliseconds(500));
  MotionRequest m;
  MotionTicket ticket;
  m.comp = 3;
  EXPECT_EQ(c.move(m, ticket).text, "Comp (interpolation) out of range");
  m.comp = 2;
  m.target[4] = std::numeric_limits<float>::infinity();
  EXPECT_EQ(c.move(m, ticket).text, "Target position not finite");
  m.target[4] = 0;
  ASSERT_TRUE(c.setMotor(0).ok());
  EXPECT_EQ(c.move(m, ticket).code, KLV_C_MOTOR_OFF);
  EXPECT_EQ(c.currentP()[0], 7.0f);
  EXPECT_FALSE(c.moving());
}

TEST_F(ControllerMotion, DriveMovesOneJointAndKeepsTheFig) {
  MotionRequest m;
  m.target = P{100, 0, 200, 0, 0, 0, 1e30f, 5};  // a Fig no integer holds
  MotionTicket ticket;
  ASSERT_TRUE(c.move(m, ticket).ok());
  P target{};
  ASSERT_TRUE(c.driveTarget(3, 10, target).ok());  // joint 3 carries Z / 2
  EXPECT_EQ(target[2], 220.0f);
  EXPECT_EQ(target[6], 1e30f);
  EXPECT_EQ(target[7], 5.0f);
  EXPECT_EQ(c.driveTarget(0, 1, target).code, KLV_C_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(c.driveTarget(10, 1, target).text, "Axis number out of range");
}

TEST(ControllerErrors, LatchKeepsTheLastRefusalUntilCleared) {
  Controller c;
  EXPECT_EQ(c.errorDescription(), "No error");
  c.latch({});
  EXPECT_EQ(c.errorCode(), 0);
  c.latch(KLV_C_MOTOR_OFF);
  EXPECT_EQ(c.errorDescription(), "Motor is off");
  c.latch({KLV_C_VALUE_OUT_OF_RANGE, "Speed out of range (0 to 100 %)"});
  EXPECT_EQ(c.errorCode(), KLV_C_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(c.errorDescription(), "Speed out of range (0 to 100 %)");
  c.clearError(KLV_C_MOTOR_OFF);
  EXPECT_EQ(c.errorCode(), KLV_C_VALUE_OUT_OF_RANGE) << "only the latched code clears it";
  c.clearError(KLV_C_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(c.errorCode(), 0);
  c.latch(KLV_C_MOTOR_ON);
  c.clearError(0);
  EXPECT_EQ(c.errorDescription(), "No error");
}

}  // namespace
}  // namespace kelvor::sim::model
