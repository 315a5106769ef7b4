#include "link/poller.h"

#include <gtest/gtest.h>

#include <mutex>
#include <sstream>
#include <thread>

#include "sim_controller.h"
#include "temp_path.h"
#include "text_lines.h"

namespace kelvor::view {
namespace {

using namespace std::chrono_literals;
using test::countLines;
using test::SimController;

// Every reading the link publishes, in order.
struct Recorder {
  std::mutex m;
  std::vector<Reading> all;
  void operator()(const Reading& r) {
    const std::lock_guard lock(m);
    all.push_back(r);
  }
  std::vector<Reading> copy() {
    const std::lock_guard lock(m);
    return all;
  }
};

TEST(Poller, ReadsWhatTheControllerHolds) {
  SimController c;
  c.setUpArm();
  const JRecord j = c.drive({10, 20, -30, 40, 50, 60, 0, 0, 0});
  // After the drive: a controller that watches areas would stop the arm in this one.
  const AreaRecord14 area{450, 0, 250, 0, 0, 30, 300, 400, 300, 1000, 0, 1, 1, 0};
  c.putArea(3, area);
  const Reading r = c.read();
  ASSERT_TRUE(r.complete);
  EXPECT_TRUE(r.connected);
  EXPECT_EQ(r.state.joints, j);
  EXPECT_EQ(r.state.linkSs, (HRecord7{350, 0, 0, 350, 0, 80, 0}));
  EXPECT_EQ(r.state.linkAa, (HRecord7{50, 300, 50, 0, 0, 0, 0}));
  EXPECT_EQ(r.state.toolNo, 1);
  EXPECT_EQ(r.state.tool, (HRecord7{0, 0, 145, 0, 0, 0, 0}));
  EXPECT_EQ(r.state.areas[3], area);
  EXPECT_EQ(r.state.areas[4], AreaRecord14{});
  EXPECT_EQ(r.state.motor, 1);
  EXPECT_EQ(r.state.motion, 0);
  EXPECT_EQ(r.state.error, 0);
  ASSERT_EQ(r.trail.size(), 1u);
  EXPECT_EQ(r.trail[0].joints, j);
}

// A refused read is not repeated on the same connection (each refusal latches an error on the
// controller), and the joints are never read faster than the rate.
TEST(Poller, AsksARefusedItemOnceAndNeverPollsFasterThanTheRate) {
  const std::string trace = kelvor::test::tempPath("viewer-trace.txt");
  SimController c({"--trace", "--fail", "get_AreaDef=0x1006:always"}, trace);
  Recorder rec;
  LinkOptions o;
  o.connection = c.eth();
  o.rateHz = 20;
  const auto start = std::chrono::steady_clock::now();
  {
    Poller poller(o, std::ref(rec));
    std::this_thread::sleep_for(2500ms);
  }
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  c.sim().stop();
  EXPECT_EQ(countLines(trace, "request #"), countLines(trace, "reply   #"));
  EXPECT_EQ(countLines(trace, "get_AreaDef("), kAreaCount);
  const int joints = countLines(trace, "get_CurrentJ()");
  EXPECT_GE(joints, 2);
  EXPECT_LE(joints, elapsed * o.rateHz + 1);
  EXPECT_GE(countLines(trace, "get_LinkParam()"), 2);  // the slow items come again

  const std::vector<Reading> all = rec.copy();
  ASSERT_FALSE(all.empty());
  const Reading& last = all.back();
  EXPECT_TRUE(last.complete);
  EXPECT_NE(last.problem.find("get_AreaDef refused"), std::string::npos) << last.problem;
  for (const auto& a : last.state.areas) EXPECT_FALSE(a);
  EXPECT_EQ(last.state.error, 0x1006);
}

// Without a controller the attempts come ever more rarely; once it listens, the link finds it.
TEST(Poller, RetriesAMissingControllerWithAGrowingWaitAndFindsItWhenItComes) {
  int port = 0;
  {
    kelvor::test::SimProcess probe;  // a port that was free a moment ago
    port = probe.port();
  }
  Recorder rec;
  LinkOptions o;
  o.connection = "eth:127.0.0.1:" + std::to_string(port);
  o.firstRetry = 0.2;
  o.longestRetry = 0.8;
  o.timeoutMs = 300;
  Poller poller(o, std::ref(rec));
  std::this_thread::sleep_for(2500ms);
  std::vector<Reading> all = rec.copy();
  ASSERT_GE(all.size(), 3u);
  // Attempts at 0, 0.2, 0.6, 1.4 and 2.2 s.
  EXPECT_LE(all.back().attempts, 5);
  const double waits[] = {0.2, 0.4, 0.8, 0.8, 0.8};
  for (std::size_t i = 0; i < all.size(); ++i) {
    EXPECT_FALSE(all[i].connected);
    EXPECT_EQ(all[i].attempts, int(i) + 1);
    EXPECT_DOUBLE_EQ(all[i].retryIn, waits[std::min<std::size_t>(i, 4)]);
    EXPECT_NE(all[i].problem.find("0x80000005"), std::string::npos) << all[i].problem;
  }

  SimController back({"--listen", "127.0.0.1:" + std::to_string(port)});
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < deadline) {
    all = rec.copy();
    if (all.back().complete) break;
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_TRUE(all.back().connected && all.back().complete) << all.back().problem;
  EXPECT_TRUE(all.back().problem.empty());
}

}  // namespace
}  // namespace kelvor::view
