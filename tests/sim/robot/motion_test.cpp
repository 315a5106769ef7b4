// Timed motions: joint and linear interpolation, speed scaling, path ends, blending and stops.
#include "kelvor/robot/motion.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "robot_test_util.h"

namespace kelvor::robot {
namespace {

const Joints kDown{{0, 0, 0, 0, 90, 0}, {}};  // flange (400, 0, 620) pointing down

Joints joints(const Axes& a) { return {a, {}}; }

TEST(JointMotion, TrapezoidOfTheLeadingAxisByHand) {
  // J1 90 degrees at 250 deg/s and 1000 deg/s^2: 0.25 s ramps of 31.25 degrees, 27.5 degrees
  // at full speed in 0.11 s.
  const Result<Motion> m =
      planJointMotion(joints({}), joints({90, 10, 0, 0, 0, 0}), PathEnd::Exact, 100);
  ASSERT_TRUE(m);
  EXPECT_NEAR(m->duration(), 0.61, 1e-12);
  EXPECT_NEAR(m->joints(0.25).axis[0], 31.25, 1e-9);
  const Joints half = m->joints(0.305);  // every axis halfway at half time
  EXPECT_NEAR(half.axis[0], 45, 1e-9);
  EXPECT_NEAR(half.axis[1], 5, 1e-9);
  EXPECT_EQ(m->joints(0.61), joints({90, 10, 0, 0, 0, 0}));
  EXPECT_FALSE(m->ended(0.6));
  EXPECT_TRUE(m->ended(0.61));
}

// Over random moves: every axis within its speed and acceleration at the given percent, all
// ending together, and half the duration at twice the speed.
TEST(JointMotion, LimitsAndSpeedScalingOverRandomMoves) {
  std::mt19937 rng(3);
  const double dt = 1e-3;
  for (int n = 0; n < 200; ++n) {
    const Joints a = joints(test::randomAxes(rng)), b = joints(test::randomAxes(rng));
    const double speed = std::uniform_real_distribution<double>(1, 50)(rng);
    const Result<Motion> m = planJointMotion(a, b, PathEnd::Exact, speed);
    const Result<Motion> twice = planJointMotion(a, b, PathEnd::Exact, 2 * speed);
    ASSERT_TRUE(m && twice);
    EXPECT_NEAR(twice->duration() * 2, m->duration(), 1e-12 * m->duration());
    const double k = speed / 100;
    Axes prevSpeed{};
    for (double t = 0; t < m->duration(); t += dt) {
      const Joints p = m->joints(t), q = m->joints(t + dt);
      for (int i = 0; i < kAxes; ++i) {
        const double v = (q.axis[i] - p.axis[i]) / dt;
        EXPECT_LE(std::abs(v), kJointLimits[i].speed * k * (1 + 1e-9));
        EXPECT_LE(std::abs(v - prevSpeed[i]) / dt, kJointLimits[i].accel * k * k * 1.01 + 1e-6);
        prevSpeed[i] = v;
      }
    }
    EXPECT_EQ(m->joints(m->duration()), b);
  }
}

TEST(JointMotion, RefusesABadTargetOrSpeed) {
  EXPECT_EQ(planJointMotion(kDown, joints({0, 0, 75, 0, 0, 0}), PathEnd::Exact, 10).error().text,
            "J3 beyond its limit");
  EXPECT_EQ(planJointMotion(kDown, kDown, PathEnd::Exact, 0).error().text,
            "Speed must be from 0.01 to 100 percent");
  EXPECT_FALSE(planJointMotion(kDown, kDown, PathEnd::Exact, 100.5));
  EXPECT_FALSE(planJointMotion(kDown, kDown, PathEnd::Exact, 0.005));
  EXPECT_FALSE(planJointMotion(kDown, kDown, PathEnd::Exact, NAN));
  const Result<Motion> still = planJointMotion(kDown, kDown, PathEnd::Exact, 10);
  ASSERT_TRUE(still);
  EXPECT_EQ(still->duration(), 0);
  EXPECT_TRUE(still->ended(0));
}

TEST(PathEnds, SettleAndBlendTimes) {
  EXPECT_EQ(pathEndFromText(""), PathEnd::Exact);
  EXPECT_EQ(pathEndFromText("@0"), PathEnd::Exact);
  EXPECT_EQ(pathEndFromText("@e"), PathEnd::Settle);
  EXPECT_EQ(pathEndFromText("@P"), PathEnd::Pass);
  EXPECT_FALSE(pathEndFromText("@X"));
  EXPECT_FALSE(pathEndFromText("@PP"));
  const Joints to = joints({90, 0, 0, 0, 0, 0});
  const Result<Motion> settle = planJointMotion(joints({}), to, PathEnd::Settle, 100);
  ASSERT_TRUE(settle);
  EXPECT_NEAR(settle->endTime(), 0.61 + kSettleTime, 1e-12);
  EXPECT_EQ(settle->joints(0.61), to);  // at the target while settling
  EXPECT_FALSE(settle->ended(0.7));
  const Result<Motion> pass = planJointMotion(joints({}), to, PathEnd::Pass, 100);
  ASSERT_TRUE(pass);
  EXPECT_NEAR(pass->blendStart(), 0.36, 1e-12);  // deceleration starts
  EXPECT_NEAR(pass->endTime(), 0.61, 1e-12);
}

class LinearMotion : public ::testing::Test {
 protected:
  Pose target(double x, double y, double z, double rx, double ry, double rz, int fig = 0) {
    return {frameFromXyzRpy(x, y, z, rx, ry, rz), fig, 0};
  }
  Kinematics kin_;
};

TEST_F(LinearMotion, StaysOnItsLineWithTheShortestRotation) {
  const Pose to = target(350, 150, 450, 180, 0, 45);
  const Result<Motion> m = planLinearMotion(kin_, kDown, to, PathEnd::Exact, 50);
  ASSERT_TRUE(m) << m.error().text;
  const Frame a = kin_.tcpInBase(kDown.axis);
  const Eigen::Quaterniond qa(a.linear()), qb(to.frame.linear());
  const Vec3 line = to.frame.translation() - a.translation();
  double worstMm = 0, worstDeg = 0, lastS = 0;
  for (double t = 0; t <= m->duration(); t += 0.002) {
    const Frame f = kin_.tcpInBase(m->joints(t).axis);
    const Vec3 d = f.translation() - a.translation();
    const double s = d.dot(line) / line.squaredNorm();
    EXPECT_GE(s, lastS - 1e-12);  // never backwards
    lastS = s;
    worstMm = std::max(worstMm, (d - s * line).norm());
    Frame expected = Frame::Identity();
    expected.linear() = qa.slerp(s, qb).toRotationMatrix();
    worstDeg = std::max(worstDeg, test::degApart(f, expected));
  }
  std::printf(
      "[ figures  ] linear motion sampled every 2 ms: worst %.3g mm off the line, %.3g deg "
      "off the slerp\n",
      worstMm, worstDeg);
  EXPECT_LT(worstMm, 1e-6);
  EXPECT_LT(worstDeg, 1e-6);
  const Frame end = kin_.tcpInBase(m->joints(m->duration()).axis);
  EXPECT_LT(test::mmApart(end, to.frame), 1e-9);
  // The TCP speed stays below 1000 mm/s at 50 %.
  const double peak = kTcpSpeed * 0.5;
  for (double t = 0; t < m->duration(); t += 0.01) {
    const Vec3 p = kin_.tcpInBase(m->joints(t).axis).translation();
    const Vec3 q = kin_.tcpInBase(m->joints(t + 0.001).axis).translation();
    EXPECT_LE((q - p).norm() / 0.001, peak * (1 + 1e-6));
  }
}

TEST_F(LinearMotion, TimeHalvesWhenTheSpeedDoubles) {
  const Pose to = target(300, -200, 300, 180, 20, 0);
  for (double speed : {5.0, 20.0, 50.0}) {
    const Result<Motion> a = planLinearMotion(kin_, kDown, to, PathEnd::Exact, speed);
    const Result<Motion> b = planLinearMotion(kin_, kDown, to, PathEnd::Exact, 2 * speed);
    ASSERT_TRUE(a && b);
    EXPECT_NEAR(b->duration() * 2, a->duration(), 1e-9);
  }
}

TEST_F(LinearMotion, RefusedBeforeItStarts) {
  // The wrist centre passes over the base, through axis 1.
  const Joints from = *kin_.toJoints(target(270, -260, 980, -50, 30, -60));
  Result<Motion> m =
      planLinearMotion(kin_, from, target(-138, 276, 980, -50, 30, -60), PathEnd::Exact, 10);
  ASSERT_FALSE(m);
  EXPECT_EQ(m.error().kind, Failure::Singular);
  EXPECT_EQ(m.error().text, "Path through a singular position (wrist centre on axis 1)");
  // Both ends within reach, a point between them not.
  const Joints high = *kin_.toJoints(target(182, 83, 998, -74, -37, -50));
  const Pose other = target(273, 37, 1017, 51, -51, 123);
  ASSERT_TRUE(kin_.toJoints(other));
  m = planLinearMotion(kin_, high, other, PathEnd::Exact, 10);
  ASSERT_FALSE(m);
  EXPECT_EQ(m.error().kind, Failure::Unreachable);
  EXPECT_EQ(m.error().text, "Path out of reach");
  // J6 would have to pass 180 degrees on the way.
  const Joints wound{{0, 0, 0, 0, 90, 170}, {}};
  const Pose turned = devH(kin_.toPose(wound), frameFromXyzRpy(0, 0, 0, 0, 0, 20));
  ASSERT_TRUE(kin_.toJoints(turned));  // the target alone is fine: J6 -170
  m = planLinearMotion(kin_, wound, turned, PathEnd::Exact, 10);
  ASSERT_FALSE(m);
  EXPECT_EQ(m.error().kind, Failure::JointLimit);
  EXPECT_EQ(m.error().text, "J6 beyond its limit on the path");
  // A Fig change needs a singular position on the way.
  const Pose flipped = kin_.toPose(joints({0, 10, 10, 60, -45, 0}));
  ASSERT_EQ(flipped.fig, kFigFlip);
  m = planLinearMotion(kin_, kDown, flipped, PathEnd::Exact, 10);
  ASSERT_FALSE(m);
  EXPECT_EQ(m.error().text, "Path through a singular position (Fig changes)");
  // The target itself names its own failure.
  m = planLinearMotion(kin_, kDown, target(1500, 0, 500, 180, 0, 0), PathEnd::Exact, 10);
  ASSERT_FALSE(m);
  EXPECT_EQ(m.error().text, "Position out of reach");
}

TEST_F(LinearMotion, PassesNearASingularityOnlySlowly) {
  const Joints from = *kin_.toJoints(target(200, -300, 500, 180, 0, 0));
  const Pose to = target(-100, 300, 500, 180, 0, 0);  // 45 mm from axis 1 at the closest
  const Result<Motion> m = planLinearMotion(kin_, from, to, PathEnd::Exact, 100);
  ASSERT_TRUE(m) << m.error().text;
  const double length = (to.frame.translation() - kin_.tcpInBase(from.axis).translation()).norm();
  EXPECT_GT(m->duration(), length / kTcpSpeed * 1.5);  // slowed down by J1's speed
  // Far from it the TCP keeps its own profile: 400 mm at 1000 mm/s and 4000 mm/s^2.
  const Joints left = *kin_.toJoints(target(400, -200, 500, 180, 0, 0));
  const Result<Motion> far =
      planLinearMotion(kin_, left, target(400, 200, 500, 180, 0, 0), PathEnd::Exact, 100);
  ASSERT_TRUE(far);
  EXPECT_NEAR(far->duration(), 0.65, 1e-9);
}

TEST(Trajectories, BlendIntoTheNextMotionAfterAPassEnd) {
  const Joints a = joints({}), b = joints({60, 0, 0, 0, 0, 0}), c = joints({60, 40, 0, 0, 0, 0});
  Trajectory traj(a);
  Motion first = *planJointMotion(a, b, PathEnd::Pass, 100);
  const double blend = first.blendStart();
  traj.start(first, 1.0);
  EXPECT_FALSE(traj.accepts(1.0 + blend - 0.01));
  EXPECT_TRUE(traj.accepts(1.0 + blend));
  EXPECT_EQ(traj.plannedEnd(), b);
  const Motion second = *planJointMotion(traj.plannedEnd(), c, PathEnd::Exact, 100);
  EXPECT_EQ(traj.start(second, 1.0 + blend), 1.0 + blend);
  // Both axes move during the overlap, and nothing jumps.
  const Joints mid = traj.joints(1.0 + first.duration() - 0.01);
  EXPECT_GT(mid.axis[1], 0);
  EXPECT_LT(mid.axis[0], 60);
  Joints prev = traj.joints(1.0);
  for (double t = 1.0; t < 3.0; t += 0.001) {
    const Joints now = traj.joints(t);
    for (int i = 0; i < kAxes; ++i) EXPECT_LE(std::abs(now.axis[i] - prev.axis[i]), 0.3);
    prev = now;
  }
  EXPECT_TRUE(traj.moving(1.0 + blend + second.duration() - 0.001));
  EXPECT_FALSE(traj.moving(1.0 + blend + second.duration()));
  EXPECT_EQ(traj.joints(10), c);
}

TEST(Trajectories, StopHoldsTheArmWhereItIs) {
  const Joints a = joints({}), b = joints({90, 0, 0, 0, 0, 0});
  Trajectory traj(a);
  EXPECT_FALSE(traj.moving(0));
  EXPECT_TRUE(traj.accepts(0));
  traj.start(*planJointMotion(a, b, PathEnd::Exact, 100), 0);
  EXPECT_FALSE(traj.accepts(0.2));
  Trajectory queued = traj;  // a motion not accepted yet waits for the end
  EXPECT_NEAR(queued.start(*planJointMotion(b, a, PathEnd::Exact, 100), 0.2), 0.61, 1e-12);
  EXPECT_EQ(queued.joints(0.61), b);
  EXPECT_EQ(queued.joints(5), a);
  traj.stopAt(0.2);
  const Joints held = traj.joints(0.2);
  EXPECT_EQ(traj.joints(5), held);
  EXPECT_FALSE(traj.moving(0.2));
  EXPECT_EQ(traj.plannedEnd(), held);
  // The next motion starts from there.
  traj.start(*planJointMotion(traj.plannedEnd(), a, PathEnd::Exact, 100), 1);
  EXPECT_EQ(traj.joints(1), held);
  EXPECT_EQ(traj.joints(9), a);

  Motion m = *planJointMotion(a, b, PathEnd::Settle, 100);
  m.stopAt(0.3);
  EXPECT_TRUE(m.ended(0.3));
  EXPECT_EQ(m.joints(2), m.joints(0.3));
}

}  // namespace
}  // namespace kelvor::robot
