// Rotation rule, P, T and J formats, tool and work frames, Dev, DevH and backing off.
#include "kelvor/robot/positions.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "robot_test_util.h"

namespace kelvor::robot {
namespace {

template <std::size_t N>
void expectArray(const std::array<double, N>& got, const std::array<double, N>& want,
                 double tol = 1e-9) {
  for (std::size_t i = 0; i < N; ++i) EXPECT_NEAR(got[i], want[i], tol) << "element " << i;
}

TEST(RotationRule, FixedAxesRollPitchYaw) {
  EXPECT_TRUE((rotationFromRpy(0, 0, 90) * Vec3::UnitX()).isApprox(Vec3::UnitY()));
  EXPECT_TRUE((rotationFromRpy(0, 90, 0) * Vec3::UnitX()).isApprox(-Vec3::UnitZ()));
  EXPECT_TRUE((rotationFromRpy(90, 0, 0) * Vec3::UnitY()).isApprox(Vec3::UnitZ()));
  const Rot r = rotationFromRpy(90, 0, 90);  // Rx first, then Rz about the fixed Z
  EXPECT_TRUE(r.col(0).isApprox(Vec3::UnitY()));
  EXPECT_TRUE(r.col(1).isApprox(Vec3::UnitZ()));
}

TEST(RotationRule, CanonicalAnglesAndTheChoiceAtRyNinety) {
  const Rpy down = rpyFromRotation(rotationFromRpy(-180, 0, 0));
  EXPECT_EQ(down.rx, 180);  // (-180, 180]
  // Just above -180 is in the range as a double but not as a float: it reads 180 as well.
  const Rpy nearly = rpyFromRotation(rotationFromRpy(-179.999999, 0, -179.999995));
  EXPECT_EQ(nearly.rx, 180);
  EXPECT_EQ(nearly.rz, 180);
  EXPECT_EQ(static_cast<float>(rpyFromRotation(rotationFromRpy(-179.9999, 0, 0)).rx), -179.9999f);
  const Rpy g = rpyFromRotation(rotationFromRpy(30, 90, 50));  // only Rz - Rx is defined
  EXPECT_EQ(g.rx, 0);
  EXPECT_EQ(g.ry, 90);
  EXPECT_NEAR(g.rz, 20, 1e-9);
  const Rpy h = rpyFromRotation(rotationFromRpy(30, -90, 50));  // only Rz + Rx
  EXPECT_EQ(h.ry, -90);
  EXPECT_NEAR(h.rz, 80, 1e-9);
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> any(-180, 180), pitch(-89.9, 89.9);
  for (int n = 0; n < 2000; ++n) {
    const Rpy a{any(rng), pitch(rng), any(rng)};
    const Rpy b = rpyFromRotation(rotationFromRpy(a.rx, a.ry, a.rz));
    EXPECT_NEAR(b.rx, a.rx, 1e-9);
    EXPECT_NEAR(b.ry, a.ry, 1e-9);
    EXPECT_NEAR(b.rz, a.rz, 1e-9);
  }
}

TEST(Formats, HomeReadsAsDocumented) {
  const Kinematics kin;
  expectArray(toP(kin.toPose({})), {480, 0, 700, 0, -90, 180, 0, 0});
  const Pose down = kin.toPose({{0, 0, 0, 0, 90, 0}, {5, 6, 7}});
  expectArray(toP(down), {400, 0, 620, 180, 0, 0, 0, 5});
  expectArray(toT(down), {400, 0, 620, 0, -1, 0, 0, 0, -1, 0, 5});
  const JArray j = toJ({{1e-12, 2, 3, 4, 5, 6}, {7, 8, 9}});
  EXPECT_EQ(j, (JArray{0, 2, 3, 4, 5, 6, 7, 8, 9}));
}

// P2T then T2P gives the pose back; the formats carry Fig and the extra axis.
TEST(Formats, PToTAndBackOverRandomPoses) {
  const Kinematics kin;
  std::mt19937 rng(11);
  double worstMm = 0, worstDeg = 0;
  for (int n = 0; n < 5000; ++n) {
    Joints j{test::randomAxes(rng), {double(n), 0, 0}};
    const PArray p = toP(kin.toPose(j));
    const Result<Pose> fromP = poseFromP(p);
    ASSERT_TRUE(fromP);
    const Result<Pose> fromT = poseFromT(toT(*fromP));
    ASSERT_TRUE(fromT);
    const PArray again = toP(*fromT);
    EXPECT_EQ(again[6], p[6]);
    EXPECT_EQ(again[7], n);
    worstMm = std::max(worstMm, test::mmApart(fromP->frame, fromT->frame));
    worstDeg = std::max(worstDeg, test::degApart(fromP->frame, fromT->frame));
    if (std::abs(p[4]) < 89.99) {  // away from Ry = +-90 the angles themselves come back
      for (int i = 0; i < 6; ++i) EXPECT_NEAR(again[i], p[i], 1e-7) << i;
    }
  }
  std::printf("[ figures  ] P2T then T2P: 5000 poses, worst %.3g mm %.3g deg\n", worstMm, worstDeg);
  EXPECT_LT(worstMm, 1e-9);
  EXPECT_LT(worstDeg, 1e-9);
}

TEST(Formats, RefusesWhatIsNoPose) {
  EXPECT_EQ(poseFromP(PArray{0, 0, 0, 0, 0, 0, 8, 0}).error().text, "Fig must be 0 to 7");
  EXPECT_EQ(poseFromP(PArray{0, 0, 0, 0, 0, 0, 2.5, 0}).error().text, "Fig must be 0 to 7");
  EXPECT_EQ(poseFromP(P7Array{0, 0, 0, 0, 0, 0, -1}).error().text, "Fig must be 0 to 7");
  EXPECT_EQ(poseFromP(PArray{0, NAN, 0, 0, 0, 0, 0, 0}).error().text,
            "Value is not a finite number");
  EXPECT_EQ(poseFromT(TArray{0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0}).error().text,
            "Orientation and approach vectors must be perpendicular unit vectors");
  EXPECT_FALSE(poseFromT(TArray{0, 0, 0, 0, 1, 0, 0, 0.1, 1, 0, 0}));
  EXPECT_FALSE(jointsFromJ({0, 0, 0, 0, 0, 0, 0, INFINITY, 0}));
  // Float rounding of the vectors is accepted and made exact.
  const Result<Pose> t = poseFromT(TArray{1, 2, 3, 0, 1.0000001, 0, 0, 0, 0.9999999, 4, 0});
  ASSERT_TRUE(t);
  EXPECT_TRUE(t->frame.linear().isUnitary(1e-12));
  EXPECT_EQ(t->fig, 4);
}

TEST(Frames, ToolAndWorkAgainstHandComputedCases) {
  const Joints down{{0, 0, 0, 0, 90, 0}, {}};
  // Tool 100 mm along the flange's Z: the TCP is 100 mm below the flange.
  Kinematics kin(Arm(), frameFromXyzRpy(0, 0, 100, 0, 0, 0));
  expectArray(toP(kin.toPose(down)), {400, 0, 520, 180, 0, 0, 0, 0});
  // Offset 10 mm along the flange's X (base +X here) and turned 90 degrees about its Z.
  kin = Kinematics(Arm(), frameFromXyzRpy(10, 0, 100, 0, 0, 90));
  const Pose tcp = kin.toPose(down);
  expectArray(toP(tcp), {410, 0, 520, 180, 0, -90, 0, 0});
  // Work frame at (100, 50, 0) turned 90 degrees: base (410, 0) is work (-50, -310).
  kin = Kinematics(Arm(), frameFromXyzRpy(10, 0, 100, 0, 0, 90),
                   frameFromXyzRpy(100, 50, 0, 0, 0, 90));
  const Pose inWork = kin.toPose(down);
  expectArray(toP(inWork), {-50, -310, 520, 180, 0, 180, 0, 0});
  const Result<Joints> back = kin.toJoints(inWork);
  ASSERT_TRUE(back);
  EXPECT_LT(test::maxJointError(back->axis, down.axis), 1e-9);
  // Records: H in and out, non-finite refused.
  expectArray(toH(*frameFromH({1, 2, 3, 10, 20, 30, 0}), 9), {1, 2, 3, 10, 20, 30, 9});
  EXPECT_FALSE(frameFromH({1, 2, 3, NAN, 0, 0, 0}));
}

TEST(Deviation, DevInWorkAxesDevHInToolAxes) {
  const Pose base = *poseFromP(PArray{400, 0, 500, 180, 0, 0, 5, 0});  // tool pointing down
  const Frame offset = frameFromXyzRpy(10, 20, 30, 0, 0, 0);
  expectArray(toP(devH(base, offset)), {410, -20, 470, 180, 0, 0, 5, 0});
  expectArray(toP(dev(base, offset)), {410, 20, 530, 180, 0, 0, 5, 0});
  // A rotation in the offset turns about the TCP.
  expectArray(toP(devH(base, frameFromXyzRpy(0, 0, 0, 0, 0, 90))),
              {400, 0, 500, 180, 0, -90, 5, 0});
  expectArray(toP(dev(base, frameFromXyzRpy(0, 0, 0, 0, 0, 90))), {400, 0, 500, 180, 0, 90, 5, 0});
  // Twice the offset applied one after the other.
  expectArray(toP7(devH(devH(base, offset), offset)), {420, -40, 440, 180, 0, 0, 5});
}

TEST(Deviation, BackOffAlongTheApproachAxis) {
  const Pose down = *poseFromP(PArray{400, 0, 500, 180, 0, 0, 0, 0});
  expectArray(toP(backOff(down, 50)), {400, 0, 550, 180, 0, 0, 0, 0});
  const Pose forward = *poseFromP(PArray{300, 0, 400, 0, 90, 0, 0, 0});  // approach +X
  expectArray(toP(backOff(forward, 20)), {280, 0, 400, 0, 90, 0, 0, 0});
  expectArray(toP(backOff(forward, -20)), {320, 0, 400, 0, 90, 0, 0, 0});
}

}  // namespace
}  // namespace kelvor::robot
