// The manual clock tests drive the controller with.
#include "model/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

namespace kelvor::sim::model {
namespace {

using std::chrono::milliseconds;

TEST(ManualClock, MovesOnlyWhenToldAndNeverBack) {
  ManualClock clock;
  const Time start = clock.now();
  EXPECT_GT(start, Time{}) << "the epoch stays free as a 'never' value";
  EXPECT_EQ(clock.now(), start);
  clock.advance(milliseconds(250));
  clock.advance(Duration::zero());
  EXPECT_EQ(clock.now() - start, milliseconds(250));
  EXPECT_THROW(clock.advance(milliseconds(-1)), std::invalid_argument);
  EXPECT_EQ(clock.now() - start, milliseconds(250));
}

TEST(ScaledClock, RunsFasterAndConvertsSpansBackToRealTime) {
  ManualClock real;
  const ScaledClock fast(real, 10);
  const Time start = fast.now();
  real.advance(milliseconds(250));
  EXPECT_EQ(fast.now() - start, milliseconds(2500));
  EXPECT_EQ(fast.toReal(milliseconds(2500)), milliseconds(250));
  EXPECT_EQ(fast.toReal(Duration(1)), Duration(1)) << "rounded up: a wait never ends early";
  const ScaledClock slow(real, 0.5);
  EXPECT_EQ(slow.toReal(milliseconds(100)), milliseconds(200));
  EXPECT_EQ(real.toReal(milliseconds(7)), milliseconds(7));
  EXPECT_THROW(ScaledClock(real, 0), std::invalid_argument);
}

}  // namespace
}  // namespace kelvor::sim::model
