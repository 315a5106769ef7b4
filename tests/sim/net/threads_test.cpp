// The simulator serving TCP peers on several threads: they share one controller, every request
// is executed whole, a motion's reply still waits for the motion, the state file keeps the last
// acknowledged values, the trace keeps its lines whole, and a signal stops every thread.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kelvor.h"
#include "kelvor/protocol.h"
#include "raw_client.h"
#include "sim_process.h"
#include "temp_path.h"

namespace kelvor::test {
namespace {

using proto::Frame;
using proto::Func;
using proto::Reader;
using proto::Writer;

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
    EXPECT_EQ(threadsOf(sim.pid()), kThreads);

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
