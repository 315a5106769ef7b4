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

}  // namespace
}  // namespace kelvor::sim::model
