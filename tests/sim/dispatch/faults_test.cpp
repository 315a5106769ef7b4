// Fault injection rules from the command line.
#include "dispatch/faults.h"

#include <gtest/gtest.h>

#include "kelvor.h"
#include "kelvor/protocol.h"

namespace kelvor::sim::dispatch {
namespace {

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
}  // namespace kelvor::sim::dispatch
