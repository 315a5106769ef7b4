#include "state/arm_model.h"

#include <gtest/gtest.h>

#include <random>

#include "readings.h"

namespace kelvor::view {
namespace {

using robot::Vec3;

using test::defaultArmReading;

TEST(ArmModel, PlacesTheToolCentrePointAndThePositionByTheControllersRecords) {
  Reading r = defaultArmReading();
  r.state.joints = {0, 0, 0, 0, 90, 0, 0, 0, 0};  // the flange points at the floor
  r.state.work = HRecord7{350, -200, 100, 0, 0, 0, 0};
  const ArmModel m = makeArmModel(r);
  ASSERT_TRUE(m.kin) << m.problem;
  EXPECT_TRUE(m.problem.empty());
  EXPECT_NEAR((m.frames[6].translation() - Vec3(400, 0, 620)).norm(), 0, 1e-9);
  EXPECT_NEAR((m.tcp.translation() - Vec3(400, 0, 620 - 145)).norm(), 0, 1e-9);
  ASSERT_TRUE(m.pose);
  const robot::PArray p = robot::toP(*m.pose);  // in the work frame
  EXPECT_NEAR(p[0], 50, 1e-9);
  EXPECT_NEAR(p[1], 200, 1e-9);
  EXPECT_NEAR(p[2], 375, 1e-9);
}

TEST(ArmModel, SaysWhyThereIsNoArmAndStillShowsTheAreas) {
  Reading r = defaultArmReading();
  r.state.linkAa = HRecord7{};  // a controller that never had its link parameters set
  r.state.areas[4] = AreaRecord14{1, 2, 3, 0, 0, 0, 10, 10, 10, 1000, 0, 1, 1, 0};
  r.state.areas[5] = AreaRecord14{1, 2, 3, 0, 0, 0, 10, 10, 10, 1000, 0, 1, 0, 0};  // off
  r.state.areas[6] = AreaRecord14{1, 2, 3, 0, 0, 0, -1, 10, 10, 1000, 0, 1, 1, 0};  // invalid
  const ArmModel m = makeArmModel(r);
  EXPECT_FALSE(m.kin);
  EXPECT_FALSE(m.pose);
  EXPECT_NE(m.problem.find("LinkAA(2)"), std::string::npos) << m.problem;
  ASSERT_EQ(m.areas.size(), 1u);
  EXPECT_EQ(m.areas[0].no, 4);
  EXPECT_TRUE(m.areas[0].area.error);

  r = defaultArmReading();
  r.state.tool.reset();  // refused: the flange stands in
  const ArmModel noTool = makeArmModel(r);
  ASSERT_TRUE(noTool.kin);
  EXPECT_NEAR((noTool.tcp.translation() - Vec3(480, 0, 700)).norm(), 0, 1e-9);
  EXPECT_NE(noTool.problem.find("Tool"), std::string::npos);
}

TEST(ArmModel, PathFollowsTheTrailWithItsAges) {
  Reading r = defaultArmReading();
  r.time = 10;
  r.trail = {{7.5, {0, 0, 0, 0, 0, 0, 0, 0, 0}}, {9, {0, 0, 0, 0, 90, 0, 0, 0, 0}}};
  const ArmModel m = makeArmModel(r);
  ASSERT_EQ(m.path.size(), 2u);
  EXPECT_NEAR((m.path[0].at - Vec3(625, 0, 700)).norm(), 0, 1e-9);
  EXPECT_NEAR((m.path[1].at - Vec3(400, 0, 475)).norm(), 0, 1e-9);
  EXPECT_DOUBLE_EQ(m.path[0].age, 2.5);
  EXPECT_DOUBLE_EQ(m.path[1].age, 1);
}

// The standard views frame the reach: no pose may leave it, whatever the arm's proportions.
TEST(ArmModel, ReachBoundsEveryPose) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int arm = 0; arm < 20; ++arm) {
    robot::LinkParams links;
    links.ss = {unit(rng) * 600, unit(rng) * 100 - 50, unit(rng) * 100 - 50, unit(rng) * 600, 0,
                unit(rng) * 200};
    links.aa = {unit(rng) * 200, 50 + unit(rng) * 500, unit(rng) * 200, 0, 0, 0};
    const auto made = robot::Arm::make(links, {});
    ASSERT_TRUE(made) << made.error().text;
    const robot::Frame tool = robot::frameFromXyzRpy(unit(rng) * 100, 0, unit(rng) * 300, 0, 0, 0);
    const robot::Kinematics kin(*made, tool);
    const Reach reach = reachOf(kin);
    for (int k = 0; k < 500; ++k) {
      robot::Axes j;
      for (int i = 0; i < robot::kAxes; ++i) {
        const auto& lim = robot::kJointLimits[std::size_t(i)];
        j[std::size_t(i)] = lim.min + unit(rng) * (lim.max - lim.min);
      }
      const Vec3 tcp = kin.tcpInBase(j).translation();
      EXPECT_LE(tcp.head<2>().norm(), reach.radius + 1e-9);
      EXPECT_LE(tcp.z(), reach.top + 1e-9);
    }
  }
}

}  // namespace
}  // namespace kelvor::view
