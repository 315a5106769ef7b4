// The renderer against the real controller: the joints read back from kelvor-sim and the
// robot-model library's geometry say where every joint, the tool centre point and every area
// must appear; fixed cameras whose projection is worked out here by hand say at which pixel.
#include <gtest/gtest.h>

#include "pixels.h"
#include "render/renderer.h"
#include "sim_controller.h"
#include "state/arm_model.h"

namespace kelvor::view {
namespace {

using test::blobCentre;
using test::SimController;

constexpr int kW = 800, kH = 600;
constexpr double kScale = 0.4;
const Vec3 kTarget(250, 0, 400);

Camera fixedCamera(View v) {
  Camera c(kW, kH);
  c.setView(v);
  c.setScale(kScale);
  c.setTarget(kTarget);
  return c;
}

// Front looks from +X with Y to the right, side from -Y with X to the right, top from above
// with X to the right and Y up; screen y grows downward.
Eigen::Vector2d expectedPixel(View v, const Vec3& p) {
  const Vec3 d = p - kTarget;
  const double right = v == View::Front ? d.y() : d.x();
  const double up = v == View::Top ? d.y() : d.z();
  return {kW / 2.0 + kScale * right, kH / 2.0 - kScale * up};
}

TEST(Render, JointsAndToolCentrePointAppearWhereTheGeometrySays) {
  SimController c;
  c.setUpArm();
  const JRecord j = c.drive({25, 30, -40, 30, 50, 20, 0, 0, 0});
  const Reading r = c.read();
  ASSERT_EQ(r.state.joints, j);
  const Scene scene = buildScene(makeArmModel(r));

  // The geometry straight from the library, with the link parameters and tool put above.
  const robot::Kinematics kin(robot::Arm{}, *robot::frameFromH(test::kTool1));
  const robot::Axes axes = robot::jointsFromJ(robot::convertArray<double>(j))->axis;
  std::vector<std::pair<Vec3, Rgba>> points;
  for (const robot::Frame& f : kin.arm().frames(axes)) {
    points.push_back({f.translation(), palette::kJointMarker});
  }
  points.push_back({kin.tcpInBase(axes).translation(), palette::kTcpMarker});

  for (View v : {View::Front, View::Side, View::Top}) {
    const QImage img = renderImage(scene, fixedCamera(v));
    int checked = 0;
    for (const auto& [at, colour] : points) {
      const Eigen::Vector2d want = expectedPixel(v, at);
      // A marker with another one near it (but not on it) cannot be told apart.
      bool crowded = false;
      for (const auto& other : points) {
        const double d = (expectedPixel(v, other.first) - want).norm();
        crowded = crowded || (d > 0.01 && d < 14);
      }
      if (crowded) continue;
      const auto got = blobCentre(img, colour, want, 6);
      ASSERT_TRUE(got) << viewName(v) << " nothing at " << want.transpose();
      EXPECT_LT((*got - want).norm(), 1.0) << viewName(v) << " " << at.transpose();
      ++checked;
    }
    EXPECT_GE(checked, 5) << viewName(v);

    // The solids follow the links: the middle of the upper arm and of the forearm is arm.
    RenderOptions armOnly;
    armOnly.only = Layer::Arm;
    const QImage mask = renderImage(scene, fixedCamera(v), armOnly);
    const auto f = kin.arm().frames(axes);
    const Vec3 forearmEnd = f[3].translation() + 350 * f[3].linear().col(2);
    for (const Vec3& mid : {Vec3((f[1].translation() + f[2].translation()) / 2),
                            Vec3((f[3].translation() + forearmEnd) / 2)}) {
      EXPECT_GT(test::alphaAt(mask, expectedPixel(v, mid)), 200) << viewName(v);
    }
  }
}

TEST(Render, AnEnabledAreaAppearsWhereItsDefinitionSays) {
  SimController c;
  c.setUpArm();
  // A 400 x 160 x 200 box at (300, 350, 150) turned 30 degrees about Z.
  AreaRecord14 rec{300, 350, 150, 0, 0, 30, 400, 160, 200, 1003, 0, 0, 1, 0};
  c.putArea(7, rec);
  const Camera top = fixedCamera(View::Top);
  RenderOptions areaOnly;
  areaOnly.only = Layer::Area;

  const auto boxPoint = [](double u, double v) {  // box coordinates to the base frame
    const double a = 30 * 3.14159265358979323846 / 180;
    return Vec3(300 + u * std::cos(a) - v * std::sin(a), 350 + u * std::sin(a) + v * std::cos(a),
                150);
  };
  Reading r = c.read();
  Scene scene = buildScene(makeArmModel(r));
  QImage mask = renderImage(scene, top, areaOnly);
  for (double u : {-185.0, 0.0, 185.0}) {
    for (double v : {-65.0, 0.0, 65.0}) {
      EXPECT_GT(test::alphaAt(mask, expectedPixel(View::Top, boxPoint(u, v))), 0) << u << " " << v;
    }
  }
  for (const auto& [u, v] : {std::pair{-215.0, 0.0}, {215.0, 0.0}, {0.0, -95.0}, {0.0, 95.0}}) {
    EXPECT_EQ(test::alphaAt(mask, expectedPixel(View::Top, boxPoint(u, v))), 0) << u << " " << v;
  }
  const Eigen::Vector2d inside = expectedPixel(View::Top, boxPoint(-120, -40));
  const QColor blue = renderImage(scene, top).pixelColor(int(inside.x()), int(inside.y()));
  EXPECT_GT(blue.blue(), blue.red() + 40);

  rec[11] = 1;  // Err: the arm stops there, the box turns red
  c.putArea(7, rec);
  scene = buildScene(makeArmModel(c.read()));
  const QColor red = renderImage(scene, top).pixelColor(int(inside.x()), int(inside.y()));
  EXPECT_GT(red.red(), red.blue() + 40);

  rec[12] = 0;  // not enabled: not drawn
  c.putArea(7, rec);
  scene = buildScene(makeArmModel(c.read()));
  mask = renderImage(scene, top, areaOnly);
  EXPECT_EQ(test::alphaAt(mask, inside), 0);
  EXPECT_TRUE(scene.faces.end() ==
              std::find_if(scene.faces.begin(), scene.faces.end(),
                           [](const Face& f) { return f.layer == Layer::Area; }));
}

// Two areas whose tops meet in a view put their labels at one place; the second moves below.
TEST(Render, LabelsThatWouldCoverEachOtherAreMovedApart) {
  const QRectF a(100, 50, 40, 12), b(110, 55, 40, 12), c(110, 60, 40, 12), far(300, 50, 40, 12);
  const std::vector<QRectF> placed = placeLabels({a, b, c, far});
  ASSERT_EQ(placed.size(), 4u);
  EXPECT_EQ(placed[0], a);
  EXPECT_EQ(placed[1], b.translated(0, 7));   // just below a
  EXPECT_EQ(placed[2], c.translated(0, 14));  // below a, then below b
  EXPECT_EQ(placed[3], far);
  for (std::size_t i = 0; i < placed.size(); ++i) {
    for (std::size_t k = 0; k < i; ++k) EXPECT_FALSE(placed[i].intersects(placed[k])) << i << k;
  }
  EXPECT_TRUE(placeLabels({}).empty());
}

}  // namespace
}  // namespace kelvor::view
