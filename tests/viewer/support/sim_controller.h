// A kelvor-sim on a free loopback port, set up with the default arm, driven through the
// library, and read the way the viewer reads it. The library has one connection per process:
// every step here connects and disconnects, and read() runs the viewer's link alone.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "kelvor.h"
#include "kelvor/robot/robot.h"
#include "link/mailbox.h"
#include "link/poller.h"
#include "sim_process.h"
#include "test_util.h"

namespace kelvor::view::test {

inline constexpr robot::HRecord kTool1{0, 0, 145, 0, 0, 0, 0};  // 145 mm along the flange's Z

class SimController {
 public:
  explicit SimController(std::vector<std::string> args = {}, const std::string& stderrFile = {})
      : sim_(std::move(args), stderrFile) {}

  kelvor::test::SimProcess& sim() { return sim_; }
  std::string eth() const { return sim_.eth(); }

  // The default arm, no calibration, tool 1 current, work 0, every area off, full speed.
  void setUpArm() {
    Session s(eth());
    const robot::LinkParams links;
    std::array<float, 7> ss{}, aa{}, zero{};
    for (int i = 0; i < robot::kAxes; ++i) {
      ss[std::size_t(i)] = static_cast<float>(links.ss[std::size_t(i)]);
      aa[std::size_t(i)] = static_cast<float>(links.aa[std::size_t(i)]);
    }
    ASSERT_EQ(klv_put_LinkParam(ss.data(), aa.data()), KLV_OK);
    ASSERT_EQ(klv_put_CalData(zero.data()), KLV_OK);
    const auto tool = robot::convertArray<float>(kTool1);
    ASSERT_EQ(klv_put_ToolDef(1, tool.data()), KLV_OK);
    ASSERT_EQ(klv_put_CurTool(1), KLV_OK);
    ASSERT_EQ(klv_put_CurWork(0), KLV_OK);
    const std::array<float, 14> off{};
    for (int n = 0; n < kAreaCount; ++n) ASSERT_EQ(klv_put_AreaDef(n, off.data()), KLV_OK);
    klv_put_Speed(100);  // which speed applies depends on the mode; both go to full speed
    klv_put_ExtSpeed(100);
  }

  void putArea(int no, const std::array<float, 14>& rec) {
    Session s(eth());
    ASSERT_EQ(klv_put_AreaDef(no, rec.data()), KLV_OK);
  }

  // Drives to j with DriveA and returns the joints the controller reads back.
  JRecord drive(const JRecord& j) {
    Session s(eth());
    EXPECT_EQ(klv_put_MotorState(1), KLV_OK);
    EXPECT_EQ(klv_DriveA("@0", j.data(), nullptr), KLV_OK);
    JRecord back{};
    EXPECT_EQ(klv_get_CurrentJ(back.data()), KLV_OK);
    return back;
  }

  // The first complete reading of the viewer's link.
  Reading read() {
    Mailbox box;
    LinkOptions o;
    o.connection = eth();
    Poller poller(o, [&](const Reading& r) { box.put(r); });
    const auto r = box.waitFor([](const Reading& x) { return x.complete; },
                               std::chrono::steady_clock::now() + std::chrono::seconds(10));
    EXPECT_TRUE(r && r->complete) << (r ? r->problem : "no reading");
    return r ? *r : Reading{};
  }

 private:
  struct Session {
    explicit Session(const std::string& eth) {
      EXPECT_EQ(kelvor::test::connect(eth, 5000), KLV_OK);
    }
    ~Session() { klv_Disconnect(); }
  };
  kelvor::test::SimProcess sim_;
};

}  // namespace kelvor::view::test
