// An independent check: the same Denavit-Hartenberg chain built with Orocos KDL from the link
// parameters and the calibration set must give the same frames, positions and joints.
#include <gtest/gtest.h>

#include <cstdio>
#include <kdl/chain.hpp>
#include <kdl/chainfksolverpos_recursive.hpp>
#include <kdl/frames.hpp>

#include "kdl_arm.h"
#include "robot_test_util.h"

namespace kelvor::robot {
namespace {

namespace kdl = ::kelvor::test::kdl;
constexpr double kMm = 0.01, kDeg = 0.01;  // agreement required

KDL::Chain chainOf(const LinkParams& l, const CalSet& cal) { return kdl::chainOf(l.ss, l.aa, cal); }

KDL::Frame kdlFrame(const HRecord& h) { return kdl::frameOf(h[0], h[1], h[2], h[3], h[4], h[5]); }

Frame fromKdl(const KDL::Frame& k) {
  Frame f = Frame::Identity();
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) f.linear()(r, c) = k.M(r, c);
    f.translation()(r) = k.p(r);
  }
  return f;
}

struct Worst {
  double mm = 0, deg = 0;
  void add(const Frame& a, const Frame& b) {
    mm = std::max(mm, test::mmApart(a, b));
    deg = std::max(deg, test::degApart(a, b));
  }
};

// Link parameters and calibration sets around the defaults, all valid.
Calibration randomArm(std::mt19937& rng) {
  auto u = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
  Calibration c;
  c.links.ss = {u(300, 400), u(-30, 30), u(-30, 30), u(250, 450), 0, u(50, 150)};
  c.links.aa = {u(0, 100), u(200, 400), u(0, 100), 0, 0, u(0, 30)};
  for (double& v : c.cal) v = u(-5, 5);
  return c;
}

TEST(AgainstKdl, EveryJointFrame) {
  std::mt19937 rng(5);
  Worst worst;
  int cases = 0;
  for (int a = 0; a < 20; ++a) {
    const Calibration c = a == 0 ? Calibration{} : randomArm(rng);
    const Arm arm = *Arm::make(c.links, c.cal);
    const KDL::Chain chain = chainOf(c.links, c.cal);  // the solver keeps a reference
    KDL::ChainFkSolverPos_recursive fk(chain);
    for (int n = 0; n < 500; ++n, ++cases) {
      const Axes j = test::randomAxes(rng);
      const auto frames = arm.frames(j);
      for (int s = 0; s <= kAxes; ++s) {
        KDL::Frame k;
        ASSERT_GE(fk.JntToCart(kdl::jointsOf(j), k, s), 0);
        worst.add(frames[s], fromKdl(k));
      }
    }
  }
  std::printf("[ figures  ] KDL frames: %d joint sets x 7 frames, worst %.3g mm %.3g deg\n", cases,
              worst.mm, worst.deg);
  EXPECT_LT(worst.mm, kMm);
  EXPECT_LT(worst.deg, kDeg);
}

// J2P with a tool and a work frame against KDL's composition and roll-pitch-yaw; P2J for every
// Fig that is reachable gives joints whose KDL flange carries the tool to the same position.
TEST(AgainstKdl, PositionsAndInverseWithToolAndWork) {
  std::mt19937 rng(9);
  Worst j2p, p2j;
  int cases = 0, solutions = 0;
  const HRecord tool{10, -20, 150, 5, -10, 30, 0}, work{300, 100, 50, 0, 10, -45, 0};
  for (int a = 0; a < 10; ++a) {
    const Calibration c = a == 0 ? Calibration{} : randomArm(rng);
    const Kinematics kin(*Arm::make(c.links, c.cal), *frameFromH(tool), *frameFromH(work));
    const KDL::Chain chain = chainOf(c.links, c.cal);  // the solver keeps a reference
    KDL::ChainFkSolverPos_recursive fk(chain);
    const KDL::Frame kTool = kdlFrame(tool), kWork = kdlFrame(work);
    for (int n = 0; n < 1000; ++n, ++cases) {
      const Axes j = test::randomAxes(rng);
      KDL::Frame flange;
      ASSERT_GE(fk.JntToCart(kdl::jointsOf(j), flange), 0);
      const KDL::Frame tcp = kWork.Inverse() * flange * kTool;
      const PArray p = toP(kin.toPose({j, {}}));
      // The P record read back through KDL's roll-pitch-yaw.
      j2p.add(fromKdl(kdlFrame({p[0], p[1], p[2], p[3], p[4], p[5], 0})), fromKdl(tcp));
      for (int fig = 0; fig < kFigCount; ++fig) {
        PArray withFig = p;
        withFig[6] = fig;
        const Result<Joints> back = kin.toJoints(*poseFromP(withFig));
        if (!back) continue;
        ++solutions;
        KDL::Frame again;
        ASSERT_GE(fk.JntToCart(kdl::jointsOf(back->axis), again), 0);
        p2j.add(fromKdl(kWork.Inverse() * again * kTool), fromKdl(tcp));
      }
    }
  }
  std::printf(
      "[ figures  ] KDL J2P: %d cases, worst %.3g mm %.3g deg; P2J: %d solutions, "
      "worst %.3g mm %.3g deg\n",
      cases, j2p.mm, j2p.deg, solutions, p2j.mm, p2j.deg);
  EXPECT_LT(j2p.mm, kMm);
  EXPECT_LT(j2p.deg, kDeg);
  EXPECT_LT(p2j.mm, kMm);
  EXPECT_LT(p2j.deg, kDeg);
  EXPECT_GT(solutions, cases);
}

}  // namespace
}  // namespace kelvor::robot
