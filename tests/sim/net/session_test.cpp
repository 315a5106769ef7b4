// A session over TCP against the simulator process: framing, refusals, one controller for all
// peers, tracing, progress frames while a motion runs, and peers served on several threads.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
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

// The simulator serving TCP peers on several threads: they share one controller, every request
// is executed whole, a motion's reply still waits for the motion, the state file keeps the last
// acknowledged values, the trace keeps its lines whole, and a signal stops every thread.
constexpr int kThreads = 4;
constexpr int kPeers = 8;
constexpr int kRounds = 150;

int threadsOf(int pid) {
  const std::string dir = "/proc/" + std::to_string(pid) + "/task";
  DIR* d = ::opendir(dir.c_str());
  if (!d) return -1;
  int n = 0;
  while (const dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
  ::closedir(d);
  return n;
}

int32_t valueOf(RawClient& c, uint16_t seq, Func f, std::vector<uint8_t> payload) {
  Frame r;
  EXPECT_EQ(c.call(seq, f, std::move(payload), &r), KLV_OK);
  Reader rd(r.payload);
  rd.i32();
  return rd.i32();
}

TEST(SimThreads, PeersOnSeveralThreadsShareOneControllerAndEachRequestIsWhole) {
  const std::string state = tempPath("threads-state");
  const std::string trace = tempPath("threads-trace");
  ::unlink(state.c_str());
  {
    SimProcess sim({"--threads", std::to_string(kThreads), "--state", state, "--trace"}, trace);
    // At least: a sanitizer's runtime may add a thread of its own to a threaded process.
    EXPECT_GE(threadsOf(sim.pid()), kThreads);

    // Peers hammer the controller at once, each its own variable and one they all share; a
    // mover drives the arm meanwhile and its reply waits for the motion.
    std::atomic<int> wrong{0};
    std::vector<std::thread> peers;
    for (int p = 0; p < kPeers; ++p) {
      peers.emplace_back([&, p] {
        RawClient c(sim.port());
        for (uint16_t i = 1; i <= kRounds; ++i) {
          const int32_t value = p * 1000 + i;
          if (c.call(i, Func::put_VarI, Writer().i32(p).i32(value).take()) != KLV_OK ||
              valueOf(c, i, Func::get_VarI, Writer().i32(p).take()) != value ||
              c.call(i, Func::put_VarI, Writer().i32(99).i32(value).take()) != KLV_OK) {
            ++wrong;
          }
        }
      });
    }
    RawClient mover(sim.port());
    ASSERT_EQ(mover.call(1, Func::put_MotorState, Writer().i32(1).take()), KLV_OK);
    const float j[9] = {90, 0, 0, 0, 0, 0, 0, 0, 0};  // 0.61 s at the external speed of 100 %
    EXPECT_EQ(mover.call(2, Func::DriveA, Writer().str("").floats(j, 9).str("").take()), KLV_OK);
    EXPECT_GE(mover.progressFrames(), 2);
    for (std::thread& t : peers) t.join();
    EXPECT_EQ(wrong, 0);

    // The shared variable holds one peer's last value, whole.
    RawClient reader(sim.port());
    const int32_t shared = valueOf(reader, 1, Func::get_VarI, Writer().i32(99).take());
    EXPECT_EQ(shared % 1000, kRounds);
    EXPECT_LT(shared / 1000, kPeers);
    EXPECT_EQ(sim.stop(SIGTERM), 0);
  }

  // Every trace line is one peer's whole line.
  std::ifstream in(trace);
  int lines = 0;
  for (std::string line; std::getline(in, line); ++lines) {
    ASSERT_EQ(line.rfind("[tcp ", 0), 0u) << line;
    ASSERT_EQ(line.find("[tcp ", 1), std::string::npos) << line;
  }
  EXPECT_GT(lines, kPeers * kRounds * 6);  // three requests and three replies a round

  // What was acknowledged was stored.
  SimProcess sim({"--state", state});
  RawClient c(sim.port());
  for (int p = 0; p < kPeers; ++p) {
    EXPECT_EQ(valueOf(c, 1, Func::get_VarI, Writer().i32(p).take()), p * 1000 + kRounds);
  }
  Frame r;
  ASSERT_EQ(c.call(2, Func::get_CurrentJ, {}, &r), KLV_OK);
  Reader rd(r.payload);
  rd.i32();
  EXPECT_EQ(rd.f32(), 90.0f);
  ::unlink(state.c_str());
  ::unlink(trace.c_str());
}

TEST(SimThreads, OneThreadServesEveryPeer) {
  SimProcess sim({"--threads", "1"});
  EXPECT_EQ(threadsOf(sim.pid()), 1);
  RawClient a(sim.port());
  RawClient b(sim.port());
  EXPECT_EQ(a.call(1, Func::put_VarI, Writer().i32(3).i32(42).take()), KLV_OK);
  EXPECT_EQ(valueOf(b, 1, Func::get_VarI, Writer().i32(3).take()), 42);
}

}  // namespace
}  // namespace kelvor::test
