// The dispatcher in-process with a manual clock: the refusal latch, the fault hooks, storing
// before the reply, and replies that wait for a motion.
#include "dispatch/dispatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>

#include "kelvor.h"
#include "kelvor/protocol.h"

namespace kelvor::sim::dispatch {
namespace {

using proto::Func;
using proto::Reader;
using proto::Writer;
using std::chrono::milliseconds;
using Outcome = Dispatcher::Outcome;

Outcome run(Dispatcher& d, Func f, std::vector<uint8_t> payload = {}) {
  return d.execute(static_cast<uint16_t>(f), payload);
}

// The single int32 output of an accepted reply.
int32_t intOutput(const Outcome& o) {
  Reader r(o.reply);
  EXPECT_EQ(r.i32(), KLV_OK);
  const int32_t v = r.i32();
  EXPECT_TRUE(r.ok()) << "one int32 output";
  return v;
}

class DispatcherTest : public ::testing::Test {
 protected:
  model::Controller ctl;
  model::ManualClock clock;
};

TEST_F(DispatcherTest, RefusalsAreLatchedAndAnsweredWithTheirCodeOnly) {
  Dispatcher d(ctl, clock);
  Outcome o = run(d, Func::put_Speed, Writer().f32(200).take());
  EXPECT_EQ(o.code, KLV_C_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(o.reply, Writer().i32(KLV_C_VALUE_OUT_OF_RANGE).take());
  EXPECT_EQ(ctl.errorDescription(), "Speed out of range (0 to 100 %)");

  o = d.execute(0x7777, {});
  EXPECT_EQ(o.code, KLV_C_UNKNOWN_FUNCTION);
  EXPECT_EQ(ctl.errorCode(), KLV_C_UNKNOWN_FUNCTION);
  o = run(d, Func::put_VarI, Writer().i32(1).take());  // the value is missing
  EXPECT_EQ(o.code, KLV_C_BAD_REQUEST);
  EXPECT_EQ(ctl.errorDescription(), "Malformed request");

  o = run(d, Func::get_ErrorCode);
  EXPECT_EQ(intOutput(o), KLV_C_BAD_REQUEST) << "reads leave the latch alone";
}

TEST_F(DispatcherTest, FaultHooksAnswerInsteadOfExecuting) {
  Faults faults;
  std::string error;
  faults.fails.push_back(*parseFailRule("put_VarI=0x1234", error));
  faults.fails.push_back(*parseFailRule("get_MotorState=0:always", error));
  faults.delays.push_back(*parseDelayRule("get_VarI=250", error));
  Dispatcher d(ctl, clock, faults);

  Outcome o = run(d, Func::put_VarI, Writer().i32(1).i32(5).take());
  EXPECT_EQ(o.code, 0x1234);
  EXPECT_EQ(o.reply.size(), 4u);
  EXPECT_EQ(ctl.errorDescription(), "Injected fault (0x1234)");
  o = run(d, Func::get_VarI, Writer().i32(1).take());
  EXPECT_EQ(intOutput(o), 0) << "the failed request was not executed";
  EXPECT_EQ(o.delay, milliseconds(250));

  o = run(d, Func::put_VarI, Writer().i32(1).i32(5).take());
  EXPECT_EQ(o.code, KLV_OK) << "the rule was used up";
  EXPECT_EQ(o.delay, milliseconds(0));
  o = run(d, Func::get_MotorState);
  EXPECT_EQ(o.reply, Writer().i32(0).take()) << "success without outputs";
  EXPECT_EQ(ctl.errorCode(), 0x1234) << "code 0 latches nothing";
}

TEST_F(DispatcherTest, AConnectionIsServedAfterAHandshakeInTheControllersVersionOnly) {
  model::Identity identity;
  identity.protocolVersion = 7;
  model::Controller seven(identity);
  Dispatcher d(seven, clock);
  Dispatcher::Peer peer;
  auto hello = [&](int32_t version) {
    return d.execute(peer, static_cast<uint16_t>(Func::Hello),
                     Writer().i32(version).str("test").take());
  };
  const auto motorState = static_cast<uint16_t>(Func::get_MotorState);
  Outcome o = d.execute(peer, motorState, {});
  EXPECT_EQ(o.reply, Writer().i32(KLV_C_HANDSHAKE_REQUIRED).take());
  o = d.execute(peer, 0x7777, {});
  EXPECT_EQ(o.code, KLV_C_HANDSHAKE_REQUIRED) << "whatever the function";
  o = hello(proto::kProtocolVersion);
  EXPECT_EQ(o.reply, Writer().i32(KLV_C_PROTOCOL_VERSION).take());
  EXPECT_EQ(d.execute(peer, motorState, {}).code, KLV_C_HANDSHAKE_REQUIRED);
  EXPECT_EQ(seven.errorCode(), 0) << "a connection's refusals are not the controller's error";

  o = hello(7);
  Reader r(o.reply);
  EXPECT_EQ(r.i32(), KLV_OK);
  EXPECT_EQ(r.i32(), 7);
  EXPECT_EQ(d.execute(peer, motorState, {}).code, KLV_OK);
  Dispatcher::Peer other;
  EXPECT_EQ(d.execute(other, motorState, {}).code, KLV_C_HANDSHAKE_REQUIRED)
      << "each connection shakes hands itself";
}

TEST_F(DispatcherTest, ChangesAreStoredBeforeTheReplyAndFailuresReported) {
  int stores = 0;
  int32_t stored = 0;
  bool failing = false;
  Dispatcher d(ctl, clock, {}, [&](const model::PersistentState& st, std::string& error) {
    ++stores;
    stored = st.varI[3];
    error = "disk full";
    return !failing;
  });
  EXPECT_EQ(run(d, Func::put_VarI, Writer().i32(3).i32(9).take()).code, KLV_OK);
  EXPECT_EQ(stores, 1);
  EXPECT_EQ(stored, 9);
  run(d, Func::get_VarI, Writer().i32(3).take());
  run(d, Func::put_MotorState, Writer().i32(1).take());
  run(d, Func::put_VarI, Writer().i32(-1).i32(9).take());
  EXPECT_EQ(stores, 1) << "reads, settings and refusals store nothing";

  failing = true;
  const Outcome o = run(d, Func::put_VarI, Writer().i32(3).i32(10).take());
  EXPECT_EQ(o.code, KLV_C_STORAGE_FAILED);
  EXPECT_EQ(o.reply.size(), 4u);
  EXPECT_EQ(ctl.errorDescription(), "State could not be stored");
  EXPECT_EQ(intOutput(run(d, Func::get_VarI, Writer().i32(3).take())), 9)
      << "a write that could not be stored does not take effect";
  const float tool[7] = {0, 0, 50, 0, 0, 0, 0};
  EXPECT_EQ(run(d, Func::put_ToolDef, Writer().i32(2).floats(tool, 7).take()).code,
            KLV_C_STORAGE_FAILED);

  failing = false;
  EXPECT_EQ(run(d, Func::put_VarI, Writer().i32(4).i32(1).take()).code, KLV_OK);
  EXPECT_EQ(stored, 9) << "nor does it come back with the next good store";
  EXPECT_EQ(ctl.persistent().tools[2], model::PersistentState().tools[2]);
}

// A DriveA of J1 to j1 degrees; from 0 to 90 at 100 %: 0.61 s.
std::vector<uint8_t> driveA(const char* next = "", float j1 = 90) {
  const float j[9] = {j1, 0, 0, 0, 0, 0, 0, 0, 0};
  return Writer().str("").floats(j, 9).str(next).take();
}

TEST_F(DispatcherTest, AMotionReplyWaitsUntilTheModelSaysTheMotionEnded) {
  Dispatcher d(ctl, clock);
  run(d, Func::put_MotorState, Writer().i32(1).take());
  run(d, Func::put_Speed, Writer().f32(100).take());
  Outcome motion = run(d, Func::DriveA, driveA());
  EXPECT_EQ(motion.code, KLV_OK);
  ASSERT_TRUE(motion.motion);
  EXPECT_EQ(d.awaitMotion(motion), milliseconds(610));

  clock.advance(milliseconds(300));
  EXPECT_EQ(intOutput(run(d, Func::get_MotionState)), 1);
  EXPECT_EQ(d.awaitMotion(motion), milliseconds(310));
  clock.advance(milliseconds(310));
  EXPECT_EQ(d.awaitMotion(motion), std::nullopt);
  EXPECT_FALSE(motion.motion);
  EXPECT_EQ(motion.reply, Writer().i32(KLV_OK).take());
  EXPECT_EQ(intOutput(run(d, Func::get_MotionState)), 0);

  // With NEXT the reply goes at once while the arm moves.
  motion = run(d, Func::DriveA, driveA("NEXT", 0));
  EXPECT_EQ(motion.code, KLV_OK);
  EXPECT_FALSE(motion.motion);
  EXPECT_EQ(intOutput(run(d, Func::get_MotionState)), 1);

  // A refused motion answers at once.
  run(d, Func::put_MotorState, Writer().i32(0).take());
  motion = run(d, Func::DriveA, driveA());
  EXPECT_EQ(motion.code, KLV_C_MOTOR_OFF);
  EXPECT_FALSE(motion.motion);
}

TEST_F(DispatcherTest, AMotionStoppedOnItsWayAnswersWithTheReasonAndStoresThePosition) {
  int stores = 0;
  Dispatcher d(ctl, clock, {}, [&](const model::PersistentState&, std::string&) {
    ++stores;
    return true;
  });
  run(d, Func::put_MotorState, Writer().i32(1).take());
  Outcome motion = run(d, Func::DriveA, driveA());
  ASSERT_TRUE(motion.motion);
  clock.advance(milliseconds(200));
  EXPECT_TRUE(d.awaitMotion(motion));
  EXPECT_EQ(stores, 0);
  ctl.tick(clock.now());
  ASSERT_TRUE(ctl.setMotor(0).ok());  // another peer switches the motor off
  EXPECT_EQ(d.awaitMotion(motion), std::nullopt);
  EXPECT_EQ(motion.code, KLV_C_MOTOR_OFF);
  EXPECT_EQ(motion.reply, Writer().i32(KLV_C_MOTOR_OFF).take());
  EXPECT_EQ(stores, 1) << "where the arm stopped";
}

// No number from the wire reaches a conversion it does not fit: every function that takes
// floats gets the worst ones in every float (the sanitizer build aborts on an undefined
// conversion), and a stored position with a Fig of 3e9 cannot be driven to.
TEST_F(DispatcherTest, TheWorstNumbersFromTheWireAreRefusedNotConverted) {
  Dispatcher d(ctl, clock);
  run(d, Func::put_MotorState, Writer().i32(1).take());
  const float worst[] = {3e9f,
                         -3e9f,
                         2147483648.0f,
                         std::numeric_limits<float>::max(),
                         std::numeric_limits<float>::lowest(),
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(),
                         std::numeric_limits<float>::quiet_NaN()};
  int calls = 0;
  for (const proto::FuncInfo& f : proto::allFuncs()) {
    const std::string_view sig = f.request;
    if (sig.find_first_not_of("is") == std::string_view::npos) continue;  // no float in it
    for (const float v : worst) {
      Writer w;
      for (const char c : sig) {
        if (c == 'i') {
          w.i32(1);
        } else if (c == 's') {
          w.str("");
        } else if (c == 'd') {
          w.f64(static_cast<double>(v));
        } else {
          for (size_t i = 0; i < proto::arrayLength(c); ++i) w.f32(v);
        }
      }
      Outcome o = d.execute(f.id, w.take());
      if (o.motion) {  // e.g. a Drive by -0 of a finite axis: let it end
        while (const auto left = d.awaitMotion(o)) clock.advance(*left + milliseconds(1));
      }
      EXPECT_TRUE(o.code == KLV_OK || o.code > 0) << f.name << ' ' << v;
      run(d, Func::ClearError, Writer().i32(0).take());
      ++calls;
    }
  }
  EXPECT_GT(calls, 100);

  float p[8] = {300, 0, 400, 180, 0, 180, 3e9f, 0};
  EXPECT_EQ(run(d, Func::put_VarP, Writer().i32(5).floats(p, 8).take()).code, KLV_OK)
      << "a variable holds any float";
  EXPECT_GT(run(d, Func::MoveP, Writer().i32(1).str("").floats(p, 8).str("").take()).code, 0);
  EXPECT_EQ(ctl.errorDescription(), "Fig must be 0 to 7");
  EXPECT_GT(run(d, Func::Drive, Writer().str("").i32(1).f32(3e9f).str("").take()).code, 0);
}

// Model time runs ten times as fast: the peer waits a tenth of the motion's time.
TEST_F(DispatcherTest, WaitsConvertModelTimeToRealTime) {
  const model::ScaledClock fast(clock, 10);
  Dispatcher d(ctl, fast);
  run(d, Func::put_MotorState, Writer().i32(1).take());
  Outcome motion = run(d, Func::DriveA, driveA());  // 0.61 s of model time at 10 %: 6.1 s
  EXPECT_EQ(d.awaitMotion(motion), milliseconds(610));
  clock.advance(milliseconds(300));
  EXPECT_EQ(d.awaitMotion(motion), milliseconds(310));
  EXPECT_EQ(intOutput(run(d, Func::get_MotionState)), 1);
  clock.advance(milliseconds(310));
  EXPECT_EQ(d.awaitMotion(motion), std::nullopt);
  EXPECT_EQ(motion.code, KLV_OK);
}

}  // namespace
}  // namespace kelvor::sim::dispatch
