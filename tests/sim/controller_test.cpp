// The simulator's kinematics and option parsing, without a process.
#include "controller.h"

#include <gtest/gtest.h>

#include <cmath>

#include "faults.h"
#include "kelvor.h"

namespace kelvor::sim {
namespace {

TEST(Kinematics, PToTAndBackKeepsThePosition) {
  const P cases[] = {{100, -50, 20, 30, 45, 60, 3, 7},
                     {0, 0, 0, 0, 0, 0, 0, 0},
                     {1, 2, 3, -170, 120, -10, 1, 0},
                     {5, 5, 5, 0, 0, 90, 0, 0}};  // B = 0: A and C only as a sum
  for (const P& p : cases) {
    const T t = p2t(p);
    const double olen = t[3] * t[3] + t[4] * t[4] + t[5] * t[5];
    const double alen = t[6] * t[6] + t[7] * t[7] + t[8] * t[8];
    EXPECT_NEAR(olen, 1.0, 1e-5);
    EXPECT_NEAR(alen, 1.0, 1e-5);
    EXPECT_NEAR(t[3] * t[6] + t[4] * t[7] + t[5] * t[8], 0.0, 1e-5);  // orthogonal
    const T again = p2t(t2p(t));
    for (int i = 0; i < 11; ++i) EXPECT_NEAR(again[i], t[i], 1e-4) << i;
  }
}

TEST(Kinematics, JointsAreExactlyInvertible) {
  const P p{123.25f, -7.5f, 0.125f, 10, 20, 30, 2, 99};
  EXPECT_EQ(j2p(p2j(p), 2), p);
}

TEST(FaultRules, ParseCountsAndCodes) {
  std::string err;
  auto r = parseFailRule("get_MotorState=0x1234:always", err);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->code, 0x1234);
  EXPECT_EQ(r->remaining, -1);
  r = parseFailRule("klv_put_Speed=7:2", err);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->remaining, 2);
  r = parseFailRule("put_Speed=0x80000008", err);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->code, KLV_E_CONNECTION_LOST);
  EXPECT_EQ(r->remaining, 1);
  EXPECT_FALSE(parseFailRule("put_Speed", err));
  EXPECT_FALSE(parseFailRule("put_Speed=x", err));
  EXPECT_FALSE(parseFailRule("put_Speed=1:0", err));
  EXPECT_FALSE(parseDelayRule("put_Speed=-1", err));

  Faults f;
  f.fails.push_back(*parseFailRule("put_Speed=7:2", err));
  const auto id = static_cast<uint16_t>(proto::Func::put_Speed);
  EXPECT_EQ(f.takeFailure(id), 7);
  EXPECT_EQ(f.takeFailure(id), 7);
  EXPECT_FALSE(f.takeFailure(id));
}

}  // namespace
}  // namespace kelvor::sim
