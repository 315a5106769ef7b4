// The placeholder kinematics.
#include "model/kinematics.h"

#include <gtest/gtest.h>

namespace kelvor::sim::model {
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

}  // namespace
}  // namespace kelvor::sim::model
