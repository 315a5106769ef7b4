// A session over TCP against the simulator process: framing, refusals, one controller for all
// peers, tracing, and progress frames while a motion runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kelvor.h"
#include "kelvor/protocol.h"
#include "raw_client.h"
#include "sim_process.h"
#include "temp_path.h"
#include "test_util.h"

namespace kelvor::test {
namespace {

using proto::Frame;
using proto::Func;
using proto::Reader;
using proto::Writer;

// Requests sent in one go, more than one read takes at a time, the last one split across
// two writes: each is answered, in order, and a peer that waits is not left waiting.
TEST(SimProtocol, AnswersRequestsSentBackToBackInOrder) {
  SimProcess sim;
  RawClient c(sim.port());
  ASSERT_EQ(c.call(1, Func::put_VarI, Writer().i32(2).i32(77).take()), KLV_OK);
  std::vector<uint8_t> burst;
  constexpr uint16_t kCount = 120;  // 15 bytes each: several reads' worth
  for (uint16_t seq = 10; seq < 10 + kCount; ++seq) {
    Frame get;
    get.seq = seq;
    get.func = static_cast<uint16_t>(Func::get_VarI);
    get.payload = Writer().i32(2).take();
    const auto bytes = proto::encodeFrame(get);
    burst.insert(burst.end(), bytes.begin(), bytes.end());
  }
  const std::vector<uint8_t> head(burst.begin(), burst.end() - 7),
      tail(burst.end() - 7, burst.end());
  c.sendBytes(head);
  for (uint16_t seq = 10; seq < 10 + kCount - 1; ++seq) {
    const Frame r = c.reply();
    ASSERT_EQ(r.seq, seq);
    Reader rd(r.payload);
    EXPECT_EQ(rd.i32(), KLV_OK);
    EXPECT_EQ(rd.i32(), 77);
  }
  c.sendBytes(tail);
  EXPECT_EQ(c.reply().seq, 10 + kCount - 1);
}

TEST(SimProtocol, AnswersAfterGarbageAndRejectsBadRequests) {
  SimProcess sim;
  RawClient c(sim.port());
  c.sendBytes({0x00, 0xA5, 0x42, 0xA5, 0x5A, 0xFF, 0xFF, 0x13});
  Frame r;
  EXPECT_EQ(c.call(5, Func::get_MotorState, {}, &r), KLV_OK);
  EXPECT_EQ(r.func, static_cast<uint16_t>(Func::get_MotorState));
  EXPECT_EQ(r.payload.size(), 8u);

  Frame unknown;
  unknown.seq = 6;
  unknown.func = 0x7777;
  c.sendBytes(proto::encodeFrame(unknown));
  r = c.reply();
  EXPECT_EQ(Reader(r.payload).i32(), KLV_C_UNKNOWN_FUNCTION);
  // put_VarI needs two int32s.
  EXPECT_EQ(c.call(7, Func::put_VarI, Writer().i32(1).take()), KLV_C_BAD_REQUEST);
  EXPECT_EQ(c.call(8, Func::get_VarI, Writer().i32(1).i32(2).take()), KLV_C_BAD_REQUEST);
}

TEST(SimProtocol, ClientsShareOneController) {
  SimProcess sim;
  RawClient a(sim.port());
  RawClient b(sim.port());
  EXPECT_EQ(a.call(1, Func::put_VarI, Writer().i32(10).i32(4711).take()), KLV_OK);
  Frame r;
  EXPECT_EQ(b.call(1, Func::get_VarI, Writer().i32(10).take(), &r), KLV_OK);
  Reader rd(r.payload);
  rd.i32();
  EXPECT_EQ(rd.i32(), 4711);
  // One client's refused request latches the error the other one sees.
  EXPECT_EQ(a.call(2, Func::put_Speed, Writer().f32(200.0f).take()), KLV_C_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(b.call(2, Func::get_ErrorCode, {}, &r), KLV_OK);
  Reader rd2(r.payload);
  rd2.i32();
  EXPECT_EQ(rd2.i32(), KLV_C_VALUE_OUT_OF_RANGE);
}

TEST(SimProtocol, HandshakeNamesVersionAndIdentity) {
  SimProcess sim({"--robot-type", "RT9", "--serial-no", "S77"});
  RawClient c(sim.port());
  Frame r;
  EXPECT_EQ(c.call(1, Func::Hello, Writer().i32(1).str("test").take(), &r), KLV_OK);
  Reader rd(r.payload);
  rd.i32();
  EXPECT_EQ(rd.i32(), proto::kProtocolVersion);
  const std::string id = rd.str();
  EXPECT_NE(id.find("RT9"), std::string::npos);
  EXPECT_NE(id.find("S77"), std::string::npos);
}

TEST(SimProtocol, MotionReplyWaitsForTheMotionWithProgressFrames) {
  SimProcess sim;
  RawClient mover(sim.port());
  RawClient observer(sim.port());
  ASSERT_EQ(mover.call(1, Func::put_MotorState, Writer().i32(1).take()), KLV_OK);
  const float j[9] = {90, 0, 0, 0, 0, 0, 0, 0, 0};  // 0.61 s at the external speed of 100 %
  mover.sendRequest(2, Func::DriveA, Writer().str("").floats(j, 9).str("").take());
  // The other peer sees the arm moving until the reply has come.
  Frame r;
  int32_t moving = 0;
  for (int i = 0; i < 100 && moving == 0; ++i) {
    ASSERT_EQ(observer.call(static_cast<uint16_t>(10 + i), Func::get_MotionState, {}, &r), KLV_OK);
    Reader rd(r.payload);
    rd.i32();
    moving = rd.i32();
  }
  EXPECT_EQ(moving, 1);
  r = mover.reply();
  EXPECT_EQ(r.seq, 2);
  EXPECT_EQ(Reader(r.payload).i32(), KLV_OK);
  EXPECT_GE(mover.progressFrames(), 2);
  ASSERT_EQ(observer.call(200, Func::get_MotionState, {}, &r), KLV_OK);
  Reader rd(r.payload);
  rd.i32();
  EXPECT_EQ(rd.i32(), 0);
}

TEST(SimOptions, TraceShowsRequestsAndReplies) {
  const std::string log = tempPath("trace");
  {
    SimProcess sim({"--trace"}, log);
    ASSERT_EQ(connect(sim.eth()), KLV_OK);
    ASSERT_EQ(klv_put_VarI(3, 42), KLV_OK);
    ASSERT_EQ(klv_put_VarS(1, "x y"), KLV_OK);
    EXPECT_EQ(klv_Disconnect(), KLV_OK);
  }
  std::ifstream in(log);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();
  EXPECT_NE(text.find("put_VarI(3, 42)"), std::string::npos) << text;
  EXPECT_NE(text.find("put_VarS(1, \"x y\")"), std::string::npos) << text;
  EXPECT_NE(text.find("put_VarI -> ok"), std::string::npos) << text;
  ::unlink(log.c_str());
}

}  // namespace
}  // namespace kelvor::test
