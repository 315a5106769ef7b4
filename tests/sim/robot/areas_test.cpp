// Areas: the box test, records, and the events of a TCP moving through boxes.
#include "kelvor/robot/areas.h"

#include <gtest/gtest.h>

#include "kelvor/robot/defaults.h"
#include "robot_test_util.h"

namespace kelvor::robot {
namespace {

constexpr int kMaxIo = 2047;

Area box(double x, double y, double z, double rz, double dx, double dy, double dz, bool leaving,
         bool enabled = true) {
  return *areaFromRecord({x, y, z, 0, 0, rz, dx, dy, dz, 7, double(leaving), 1, double(enabled), 0},
                         kMaxIo);
}

TEST(Areas, InsideAnOrientedBox) {
  const Area a = box(100, 0, 0, 45, 100, 20, 10, false);  // long side along the diagonal
  EXPECT_TRUE(inside(a, {100, 0, 0}));
  EXPECT_TRUE(inside(a, {130, 30, 4}));
  EXPECT_FALSE(inside(a, {130, -30, 0}));  // across the box
  EXPECT_FALSE(inside(a, {130, 30, 6}));
  EXPECT_TRUE(inside(box(0, 0, 0, 0, 10, 10, 10, false), {5, 5, 5}));  // faces count
  EXPECT_TRUE(counts(a, {100, 0, 0}));
  EXPECT_FALSE(counts(box(100, 0, 0, 45, 100, 20, 10, true), {100, 0, 0}));
}

TEST(Areas, RecordsAreChecked) {
  AreaRecord r{0, 0, 0, 0, 0, 0, 10, 10, 10, 5, 0, 1, 1, 0};
  const Result<Area> a = areaFromRecord(r, kMaxIo);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->io, 5);
  EXPECT_TRUE(a->error && a->enabled && !a->leaving);
  r[7] = -1;
  EXPECT_EQ(areaFromRecord(r, kMaxIo).error().text, "Area edge lengths must not be negative");
  r[7] = 10, r[9] = 2048;
  EXPECT_EQ(areaFromRecord(r, kMaxIo).error().text, "Area I/O must be an I/O variable number");
  r[9] = 1.5;
  EXPECT_FALSE(areaFromRecord(r, kMaxIo));
  r[9] = 1, r[12] = 0.5;
  EXPECT_EQ(areaFromRecord(r, kMaxIo).error().text, "Area Pos, Err and Enable must be 0 or 1");
  r[12] = 1, r[2] = NAN;
  EXPECT_FALSE(areaFromRecord(r, kMaxIo));
  for (const AreaRecord& d : kDefaultAreas) EXPECT_TRUE(areaFromRecord(d, kMaxIo));
  for (const HRecord& h : kDefaultTools) EXPECT_TRUE(frameFromH(h));
}

// The TCP moves along Y at X 400, Z 500 (tool down) through a box from Y -50 to 50.
class AreaEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    const Joints from = *kin_.toJoints({frameFromXyzRpy(400, -200, 500, 180, 0, 0), 0, 0});
    traj_ = Trajectory(from);
    const Pose to{frameFromXyzRpy(400, 200, 500, 180, 0, 0), 0, 0};
    const Result<Motion> m = planLinearMotion(kin_, from, to, PathEnd::Exact, 20);
    ASSERT_TRUE(m);
    traj_.start(*m, 0);
    end_ = m->duration();
  }
  double yAt(double t) const { return kin_.tcpInBase(traj_.joints(t).axis).translation().y(); }
  Kinematics kin_;
  Trajectory traj_;
  double end_ = 0;
};

TEST_F(AreaEvents, EnteringAndLeavingAreFoundWhereTheyHappen) {
  const std::vector<Area> areas{box(400, 0, 500, 0, 100, 100, 100, false),
                                box(400, 100, 500, 0, 50, 50, 50, true),  // TCP starts outside
                                box(400, 0, 500, 0, 100, 100, 100, false, false)};
  const std::vector<AreaEvent> ev = areaEvents(traj_, kin_, areas, 0, end_);
  // Area 0 (Pos 0) counts from Y -50 to 50; area 1 (Pos 1, leaving counts) counts at the start,
  // stops counting when entered at Y 75 and counts again when left at Y 125; area 2 is disabled.
  ASSERT_EQ(ev.size(), 4u);
  const struct {
    int area;
    bool counts;
    double y;
  } want[] = {{0, true, -50}, {0, false, 50}, {1, false, 75}, {1, true, 125}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ev[i].area, want[i].area) << i;
    EXPECT_EQ(ev[i].counts, want[i].counts) << i;
    EXPECT_NEAR(yAt(ev[i].time), want[i].y, 1e-3) << i;
  }
  EXPECT_TRUE(areaEvents(traj_, kin_, areas, end_, end_ + 1).empty());  // standing still
}

TEST_F(AreaEvents, StoppingWhereTheAreaIsEntered) {
  const std::vector<Area> areas{box(400, 60, 500, 0, 40, 40, 40, false)};
  const std::vector<AreaEvent> ev = areaEvents(traj_, kin_, areas, 0, end_);
  ASSERT_FALSE(ev.empty());
  EXPECT_TRUE(ev[0].counts);
  traj_.stopAt(ev[0].time);
  EXPECT_NEAR(yAt(end_), 40, 1e-3);
  EXPECT_FALSE(traj_.moving(ev[0].time));
}

}  // namespace
}  // namespace kelvor::robot
