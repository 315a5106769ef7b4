// Geometry of the arm: forward kinematics, closed-form inverse kinematics over random joint sets,
// Fig, failure kinds, link parameters and the calibration rule.
#include "kelvor/robot/arm.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "robot_test_util.h"

namespace kelvor::robot {
namespace {

using test::degApart;
using test::maxJointError;
using test::mmApart;

const double kPhi = std::atan2(350.0, 50.0) * 180 / std::numbers::pi;  // forearm angle

void expectAt(const Frame& f, double x, double y, double z) {
  EXPECT_NEAR(f.translation().x(), x, 1e-9);
  EXPECT_NEAR(f.translation().y(), y, 1e-9);
  EXPECT_NEAR(f.translation().z(), z, 1e-9);
}

TEST(ArmForward, HomeFramesOfTheDefaultArm) {
  const auto f = Arm().frames({});
  expectAt(f[0], 0, 0, 0);
  expectAt(f[1], 50, 0, 350);  // shoulder
  expectAt(f[2], 50, 0, 650);  // elbow
  expectAt(f[3], 50, 0, 700);
  expectAt(f[4], 400, 0, 700);                                // wrist centre
  expectAt(f[6], 480, 0, 700);                                // flange
  EXPECT_TRUE(f[6].linear().col(2).isApprox(Vec3(1, 0, 0)));  // approach forward
  EXPECT_TRUE(f[6].linear().col(0).isApprox(Vec3(0, 0, 1)));  // x up
  EXPECT_EQ(f[6].translation().y(), 0.0);                     // exact, not 1e-14
}

TEST(ArmForward, HandComputedJointSets) {
  const Arm arm;
  Frame f = arm.flange({0, 0, 0, 0, 90, 0});  // tool pointing down
  expectAt(f, 400, 0, 620);
  EXPECT_TRUE(f.linear().col(2).isApprox(Vec3(0, 0, -1)));
  expectAt(arm.flange({90, 0, 0, 0, 0, 0}), 0, 480, 700);
  expectAt(arm.flange({0, 90, 0, 0, 0, 0}), 400, 0, -80);  // upper arm forward
  expectAt(arm.flange({0, 0, -90, 0, 0, 0}), 0, 0, 1080);  // forearm up
  // J4 turns the flange about the forearm axis: the approach stays, x turns.
  f = arm.flange({0, 0, 0, 90, 0, 0});
  expectAt(f, 480, 0, 700);
  EXPECT_TRUE(f.linear().col(0).isApprox(Vec3(0, -1, 0)));
}

TEST(ArmFig, TableOfBits) {
  const Arm arm;
  EXPECT_EQ(arm.figOf({0, 0, 0, 0, 90, 0}), 0);
  EXPECT_EQ(arm.figOf({0, 0, 0, 0, -90, 0}), kFigFlip);
  EXPECT_EQ(arm.figOf({0, 40, -100, 0, 30, 0}), kFigElbowDown);  // past stretched
  EXPECT_EQ(arm.figOf({0, -100, 10, 0, 30, 0}), kFigBack);       // leaning back
  EXPECT_EQ(arm.figOf({0, -110, -130, 0, -30, 0}), kFigBack | kFigElbowDown | kFigFlip);
}

struct Case {
  const char* name;
  LinkParams links;
  CalSet cal;
};

class InverseProperty : public ::testing::TestWithParam<Case> {};

// J2P then P2J with the returned Fig gives the joints back; every other Fig that is reachable
// gives joints of the same flange pose and reports that Fig.
TEST_P(InverseProperty, RoundTripOverRandomJoints) {
  const Result<Arm> made = Arm::make(GetParam().links, GetParam().cal);
  ASSERT_TRUE(made);
  const Arm& arm = *made;
  std::mt19937 rng(20240611);
#ifdef __SANITIZE_ADDRESS__
  constexpr int kCases = 4000;  // unoptimised Eigen under the sanitizers is 250 times slower
#else
  constexpr int kCases = 20000;
#endif
  int singular = 0, alternatives = 0;
  double worstJoint = 0, worstMm = 0, worstDeg = 0;
  for (int n = 0; n < kCases; ++n) {
    const Axes j = test::randomAxes(rng);
    const Frame flange = arm.flange(j);
    const int fig = arm.figOf(j);
    const Result<Axes> back = arm.inverse(flange, fig);
    if (test::nearSingular(arm, j)) {
      ++singular;
      if (!back) {
        EXPECT_EQ(back.error().kind, Failure::Singular) << back.error().text;
      }
      continue;
    }
    ASSERT_TRUE(back) << back.error().text << " at case " << n;
    worstJoint = std::max(worstJoint, maxJointError(*back, j));
    for (int other = 0; other < kFigCount; ++other) {
      if (other == fig) continue;
      const Result<Axes> alt = arm.inverse(flange, other);
      if (!alt) {
        EXPECT_NE(alt.error().kind, Failure::InvalidValue);
        continue;
      }
      ++alternatives;
      const Frame again = arm.flange(*alt);
      worstMm = std::max(worstMm, mmApart(again, flange));
      worstDeg = std::max(worstDeg, degApart(again, flange));
      if (!test::nearSingular(arm, *alt)) {
        EXPECT_EQ(arm.figOf(*alt), other);
      }
    }
  }
  std::printf(
      "[ figures  ] %s: %d cases, %d near a singular position, worst joint error %.3g deg;"
      " %d other Figs reachable, worst %.3g mm %.3g deg\n",
      GetParam().name, kCases, singular, worstJoint, alternatives, worstMm, worstDeg);
  EXPECT_LT(worstJoint, 1e-3);
  EXPECT_LT(worstMm, 1e-6);
  EXPECT_LT(worstDeg, 1e-6);
  EXPECT_LT(singular, kCases / 100);
  EXPECT_GT(alternatives, kCases);  // most poses have several solutions
}

INSTANTIATE_TEST_SUITE_P(
    Arms, InverseProperty,
    ::testing::Values(Case{"default arm", {}, {}},
                      Case{"calibrated arm",
                           {{340, 12, -5, 365, 0, 95}, {60, 310, 35, 0, 0, 20}},
                           {0.5, -1.25, 2, -3, 1.5, 10}}),
    [](const auto& info) { return info.index == 0 ? "Default" : "Calibrated"; });

TEST(ArmInverse, FailureKindsAndTexts) {
  const Arm arm;
  Result<Axes> r = arm.inverse(frameFromXyzRpy(2000, 0, 700, 180, 0, 0), 0);
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().kind, Failure::Unreachable);
  EXPECT_EQ(r.error().text, "Position out of reach");
  r = arm.inverse(frameFromXyzRpy(20, 0, 300, 180, 0, 0), 0);  // inside the shoulder
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().kind, Failure::Unreachable);

  r = arm.inverse(arm.flange({175, 0, 0, 0, 90, 0}), 0);
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().kind, Failure::JointLimit);
  EXPECT_EQ(r.error().axis, 1);
  EXPECT_EQ(r.error().text, "J1 beyond its limit");
  r = arm.inverse(arm.flange({0, 0, 0, 0, 130, 0}), 0);
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().text, "J5 beyond its limit");

  // The wrist centre on axis 1: the flange straight up above the base.
  r = arm.inverse(frameFromXyzRpy(0, 0, 1000, 0, 0, 0), 0);
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().kind, Failure::Singular);
  EXPECT_EQ(r.error().text, "Singular position (wrist centre on axis 1)");
  r = arm.inverse(arm.flange({0, 10, -kPhi, 0, 40, 0}), 0);
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().text, "Singular position (elbow stretched)");

  EXPECT_EQ(arm.inverse(Frame::Identity(), 8).error().text, "Fig must be 0 to 7");
  Frame nan = Frame::Identity();
  nan.translation().x() = std::nan("");
  EXPECT_EQ(arm.inverse(nan, 0).error().kind, Failure::InvalidValue);
}

TEST(ArmInverse, WristSingularityKeepsJ4) {
  const Arm arm;
  const Frame home = arm.flange({0, 10, 20, 30, 0, 40});
  Result<Axes> r = arm.inverse(home, 0);
  ASSERT_TRUE(r);
  EXPECT_NEAR((*r)[3], 0, 1e-9);   // no reference: J4 = 0
  EXPECT_NEAR((*r)[5], 70, 1e-9);  // J6 takes J4 + J6
  const Axes ref{0, 0, 0, 25, 0, 0};
  r = arm.inverse(home, 0, {&ref});
  ASSERT_TRUE(r);
  EXPECT_NEAR((*r)[3], 25, 1e-9);
  EXPECT_NEAR((*r)[5], 45, 1e-9);
  EXPECT_LT(mmApart(arm.flange(*r), home), 1e-9);
  EXPECT_LT(degApart(arm.flange(*r), home), 1e-9);
  r = arm.inverse(home, 0, {&ref, false, true});
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().text, "Singular position (J5 = 0)");
}

TEST(ArmInverse, NearReferenceChoosesTheTurn) {
  const Arm arm;
  const Frame f = arm.flange({0, 0, 0, 0, 60, 170});
  const Axes ref{0, 0, 0, 0, 60, 175};
  Result<Axes> r = arm.inverse(f, 0, {&ref, true});
  ASSERT_TRUE(r);
  EXPECT_NEAR((*r)[5], 170, 1e-9);
  const Axes across{0, 0, 0, 0, 60, -175};  // the nearest turn of 170 is -190: beyond J6's limit
  r = arm.inverse(f, 0, {&across, true});
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().text, "J6 beyond its limit");
}

TEST(ArmLimits, EachAxisAgainstItsRange) {
  EXPECT_FALSE(checkLimits({170, -120, 70, -170, 120, 180}));
  for (int i = 0; i < kAxes; ++i) {
    Axes j{};
    j[i] = kJointLimits[i].max + 0.01;
    const Check e = checkLimits(j);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->axis, i + 1);
    j[i] = kJointLimits[i].min - 0.01;
    EXPECT_TRUE(checkLimits(j));
  }
  EXPECT_EQ(checkLimits({0, 0, std::nan(""), 0, 0, 0})->kind, Failure::InvalidValue);
}

TEST(ArmLinks, RefusalsNameTheReason) {
  EXPECT_FALSE(checkLinks({}));
  const auto refused = [](auto change) {
    LinkParams l;
    change(l);
    const Check e = checkLinks(l);
    return e ? e->text : std::string("accepted");
  };
  EXPECT_EQ(refused([](LinkParams& l) { l.aa[3] = 1; }),
            "LinkAA(4) must be 0: the wrist is spherical");
  EXPECT_EQ(refused([](LinkParams& l) { l.aa[4] = -1; }),
            "LinkAA(5) is a length and must not be negative");
  EXPECT_EQ(refused([](LinkParams& l) { l.ss[4] = 2; }),
            "LinkSS(5) must be 0: the wrist is spherical");
  EXPECT_EQ(refused([](LinkParams& l) { l.aa[1] = 0; }),
            "LinkAA(2) must be above 0: the arm has no upper arm");
  EXPECT_EQ(refused([](LinkParams& l) { l.aa[2] = 0, l.ss[3] = 0; }),
            "LinkAA(3) and LinkSS(4) must not both be 0: the arm has no forearm");
  EXPECT_EQ(refused([](LinkParams& l) { l.ss[0] = INFINITY; }),
            "LinkSS(1) must be a finite number within +-100000 mm");
  EXPECT_EQ(refused([](LinkParams& l) { l.ss[1] = -40, l.aa[5] = 10; }), "accepted");
  EXPECT_TRUE(checkCalSet({0, 0, 0, 400, 0, 0}));
  EXPECT_FALSE(Arm::make({}, {0, 0, 0, 0, 0, std::nan("")}));
}

TEST(ArmCalibration, AddsRotationsAndLengthsJointByJoint) {
  const Calibration start{{}, {1, 0, 0, 0, 0, 0}};
  const Result<Calibration> c = calibrate(start, {0.5, -1, 0, 0, 2, 0}, {10, 20, -5, 0, 0, 3});
  ASSERT_TRUE(c);
  EXPECT_EQ(c->cal, (CalSet{1.5, -1, 0, 0, 2, 0}));
  EXPECT_EQ(c->links.aa, (Axes{60, 320, 45, 0, 0, 3}));
  EXPECT_EQ(c->links.ss, LinkParams().ss);
  const Result<Calibration> twice = calibrate(*c, {0.5, 0, 0, 0, 0, 0}, {});
  ASSERT_TRUE(twice);
  EXPECT_EQ(twice->cal[0], 2.0);
  const Result<Calibration> bad = calibrate(*c, {}, {0, 0, 0, 1, 0, 0});
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.error().text, "LinkAA(4) must be 0: the wrist is spherical");

  // The geometry follows: a longer upper arm lifts the home flange, Calset 1 turns it.
  const Result<Arm> arm = Arm::make(c->links, {10, 0, 0, 0, 0, 0});
  ASSERT_TRUE(arm);
  const Frame f = arm->flange({});
  const double reach = 60 + 350 + 80;  // a_1 + s_4 + s_6
  EXPECT_NEAR(f.translation().x(), reach * cosDeg(10), 1e-9);
  EXPECT_NEAR(f.translation().y(), reach * sinDeg(10), 1e-9);
  EXPECT_NEAR(f.translation().z(), 350 + 320 + 45 + 3, 1e-9);  // s_1 + a_2 + a_3 + a_6 (up)
}

}  // namespace
}  // namespace kelvor::robot
