// The independent check of the simulator's geometry: a running kelvor-sim is given a
// non-default arm, calibration, tool and work through the library; everything the chain needs
// is read back through the library, the same Denavit-Hartenberg chain is built with Orocos KDL,
// and J2P, J2T and P2J must agree with it to 0.01 mm and 0.01 degrees.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <kdl/chainfksolverpos_recursive.hpp>
#include <random>

#include "kdl_arm.h"
#include "kelvor.h"
#include "sim_process.h"
#include "test_util.h"

namespace kelvor::test {
namespace {

using kdl::Six;
constexpr double kMm = 0.01, kDeg = 0.01;  // agreement required

Six six(const float (&a)[7]) { return {a[0], a[1], a[2], a[3], a[4], a[5]}; }
KDL::Frame frameOfRecord(const float* r) {
  return kdl::frameOf(r[0], r[1], r[2], r[3], r[4], r[5]);
}

// Degrees between a unit vector of the T format and a KDL one.
double degBetween(const float* v, const KDL::Vector& k) {
  const KDL::Vector u(v[0], v[1], v[2]);
  return std::atan2((u * k).Norm(), KDL::dot(u, k)) / kdl::kRad;
}

struct Worst {
  double mm = 0, deg = 0;
  void add(double m, double d) {
    mm = std::max(mm, m);
    deg = std::max(deg, d);
  }
};

TEST(IndependentCheck, TheSimulatorAgreesWithKdlThroughTheLibrary) {
  SimProcess sim;
  ASSERT_EQ(connect(sim.eth()), KLV_OK);
  // A calibrated arm of the same kind, a tool and a work frame, all set through the library.
  const float ss[7] = {340, 12, -5, 365, 0, 95, 0}, aa[7] = {60, 310, 35, 0, 0, 20, 0};
  const float cal[7] = {0.5f, -1.25f, 2, -3, 1.5f, 10, 0};
  const float rot[7] = {0.25f, 0, 0.5f, 0, 0, -2, 0}, len[7] = {0, 2.5f, 0, 0, 0, 0, 0};
  const float tool[7] = {10, -20, 150, 5, -10, 30, 0}, work[7] = {300, 100, 50, 0, 10, -45, 0};
  ASSERT_EQ(klv_put_LinkParam(ss, aa), KLV_OK);
  ASSERT_EQ(klv_put_CalData(cal), KLV_OK);
  ASSERT_EQ(klv_put_MotorState(0), KLV_OK);
  ASSERT_EQ(klv_Calibrate(rot, len), KLV_OK);
  ASSERT_EQ(klv_put_ToolDef(5, tool), KLV_OK);
  ASSERT_EQ(klv_put_CurTool(5), KLV_OK);
  ASSERT_EQ(klv_put_WorkDef(6, work), KLV_OK);
  ASSERT_EQ(klv_put_CurWork(6), KLV_OK);

  // What the chain is built from comes back through the library.
  float gotSs[7], gotAa[7], gotCal[7], gotTool[7], gotWork[7];
  int32_t toolNo = -1, workNo = -1;
  ASSERT_EQ(klv_get_LinkParam(gotSs, gotAa), KLV_OK);
  ASSERT_EQ(klv_get_CalData(gotCal), KLV_OK);
  ASSERT_EQ(klv_get_CurTool(&toolNo), KLV_OK);
  ASSERT_EQ(klv_get_ToolDef(toolNo, gotTool), KLV_OK);
  ASSERT_EQ(klv_get_CurWork(&workNo), KLV_OK);
  ASSERT_EQ(klv_get_WorkDef(workNo, gotWork), KLV_OK);
  EXPECT_EQ(gotCal[0], 0.75f) << "the calibration rule: set += rot";
  EXPECT_EQ(gotAa[1], 312.5f) << "LinkAA += len";
  const KDL::Chain chain = kdl::chainOf(six(gotSs), six(gotAa), six(gotCal));
  KDL::ChainFkSolverPos_recursive fk(chain);
  const KDL::Frame kTool = frameOfRecord(gotTool), kWork = frameOfRecord(gotWork);

  std::mt19937 rng(17);
  Worst j2p, j2t, p2j;
  int cases = 0, solved = 0;
  double worstJoint = 0;
  for (; cases < 500; ++cases) {
    const Six joints = kdl::randomJoints(rng);
    float j[9] = {};
    for (int i = 0; i < 6; ++i) j[i] = static_cast<float>(joints[i]);
    Six asSent;
    for (int i = 0; i < 6; ++i) asSent[i] = j[i];
    KDL::Frame flange;
    ASSERT_GE(fk.JntToCart(kdl::jointsOf(asSent), flange), 0);
    const KDL::Frame tcp = kWork.Inverse() * flange * kTool;

    float p[8], t[11];
    ASSERT_EQ(klv_J2P(j, p), KLV_OK);
    j2p.add(kdl::mmApart(frameOfRecord(p), tcp), kdl::degApart(frameOfRecord(p), tcp));
    ASSERT_EQ(klv_J2T(j, t), KLV_OK);
    j2t.add((KDL::Vector(t[0], t[1], t[2]) - tcp.p).Norm(),
            std::max(degBetween(t + 3, tcp.M.UnitY()), degBetween(t + 6, tcp.M.UnitZ())));

    float back[9];
    if (klv_P2J(p, back) != KLV_OK) continue;  // near a singular position
    ++solved;
    Six again;
    for (int i = 0; i < 6; ++i) again[i] = back[i];
    KDL::Frame solvedFlange;
    ASSERT_GE(fk.JntToCart(kdl::jointsOf(again), solvedFlange), 0);
    const KDL::Frame solvedTcp = kWork.Inverse() * solvedFlange * kTool;
    p2j.add(kdl::mmApart(solvedTcp, tcp), kdl::degApart(solvedTcp, tcp));
    // With the Fig J2P gave, the joints themselves come back. Near J5 = 0 and near the
    // stretched elbow (forearm in line with the upper arm) the float rounding of P moves them
    // more: those are left out.
    const double bend = asSent[2] + gotCal[2] + std::atan2(gotSs[3], gotAa[2]) / kdl::kRad;
    if (std::abs(asSent[4] + gotCal[4]) > 2 && std::abs(bend) > 2) {
      for (int i = 0; i < 6; ++i) worstJoint = std::max(worstJoint, std::abs(again[i] - asSent[i]));
    }
  }
  ASSERT_EQ(klv_ClearError(0), KLV_OK);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
  std::printf(
      "[ figures  ] KDL through libkelvor: %d joint sets, J2P worst %.3g mm %.3g deg, J2T worst "
      "%.3g mm %.3g deg; P2J %d solved, worst %.3g mm %.3g deg, joints %.3g deg\n",
      cases, j2p.mm, j2p.deg, j2t.mm, j2t.deg, solved, p2j.mm, p2j.deg, worstJoint);
  EXPECT_LT(j2p.mm, kMm);
  EXPECT_LT(j2p.deg, kDeg);
  EXPECT_LT(j2t.mm, kMm);
  EXPECT_LT(j2t.deg, kDeg);
  EXPECT_LT(p2j.mm, kMm);
  EXPECT_LT(p2j.deg, kDeg);
  EXPECT_LT(worstJoint, kDeg);
  EXPECT_GT(solved, cases * 95 / 100);
}

}  // namespace
}  // namespace kelvor::test
