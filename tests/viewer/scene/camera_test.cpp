#include "scene/camera.h"

#include <gtest/gtest.h>

namespace kelvor::view {
namespace {

template <class V>
void expectNear(const V& a, const V& b, double tol = 1e-9) {
  EXPECT_NEAR((a - b).norm(), 0, tol) << a.transpose() << " vs " << b.transpose();
}

// A camera at 0.5 px/mm looking at (100, 200, 300) in an 800 x 600 window: the numbers below
// are worked out by hand from the view's description.
Camera fixed(View v) {
  Camera c(800, 600);
  c.setView(v);
  c.setScale(0.5);
  c.setTarget(Vec3(100, 200, 300));
  return c;
}

TEST(Camera, StandardViewsProjectAsTheirDescriptionSays) {
  const Vec3 p(140, 260, 380);  // 40, 60, 80 mm from the target
  // Front: from +X, Y to the right, Z up; nearer the eye means larger X.
  EXPECT_NEAR(fixed(View::Front).project(p).x(), 400 + 30, 1e-9);
  EXPECT_NEAR(fixed(View::Front).project(p).y(), 300 - 40, 1e-9);
  EXPECT_GT(fixed(View::Front).project(Vec3(1000, 200, 300)).z(),
            fixed(View::Front).project(Vec3(0, 200, 300)).z());
  // Side: from -Y, X to the right, Z up.
  EXPECT_NEAR(fixed(View::Side).project(p).x(), 400 + 20, 1e-9);
  EXPECT_NEAR(fixed(View::Side).project(p).y(), 300 - 40, 1e-9);
  EXPECT_GT(fixed(View::Side).project(Vec3(100, -500, 300)).z(), 0);
  // Top: X to the right, Y up.
  EXPECT_NEAR(fixed(View::Top).project(p).x(), 400 + 20, 1e-9);
  EXPECT_NEAR(fixed(View::Top).project(p).y(), 300 - 30, 1e-9);
  // Iso: the eye on the diagonal (+X, -Y, +Z); the three axes appear equally long.
  const Camera iso = fixed(View::Iso);
  expectNear<Vec3>(iso.back(), Vec3(1, -1, 1).normalized(), 1e-8);
  const Vec3 o = iso.project(Vec3::Zero());
  for (int i = 0; i < 3; ++i) {
    const Vec3 tip = iso.project(100 * Vec3::Unit(i));
    EXPECT_NEAR((tip - o).head<2>().norm(), 50 * std::sqrt(2.0 / 3.0), 1e-6) << i;
  }
}

TEST(Camera, BasisIsRightHandedAndOrthonormalEverywhere) {
  Camera c;
  for (double az : {-180.0, -90.0, -10.0, 0.0, 45.0, 170.0}) {
    for (double el : {-90.0, -30.0, 0.0, 60.0, 90.0}) {
      c.setDirection(az, el);
      EXPECT_NEAR(c.right().cross(c.up()).dot(c.back()), 1, 1e-12) << az << " " << el;
      EXPECT_NEAR(c.right().dot(c.up()), 0, 1e-12);
      EXPECT_NEAR(c.right().z(), 0, 1e-12);  // the horizon stays level
    }
  }
  c.setDirection(0, 120);
  EXPECT_EQ(c.elevation(), 90);
  c.setDirection(370, 0);
  EXPECT_NEAR(c.azimuth(), 10, 1e-12);
}

TEST(Camera, GesturesMoveTheViewAsThePointerDoes) {
  Camera c = fixed(View::Iso);
  const Vec3 p(300, -100, 500);
  const Vec3 before = c.project(p);
  c.pan(25, -40);
  expectNear<Vec3>(c.project(p), before + Vec3(25, -40, 0), 1e-9);

  // Zoom keeps the point under the pointer where it is and scales distances from it.
  const Vec3 under = c.project(p);
  const Vec3 other = c.project(Vec3(0, 0, 0));
  c.zoom(1.5, under.x(), under.y());
  EXPECT_NEAR(c.scale(), 0.75, 1e-12);
  expectNear<Eigen::Vector2d>(c.project(p).head<2>(), under.head<2>(), 1e-9);
  EXPECT_NEAR((c.project(Vec3::Zero()) - c.project(p)).head<2>().norm(),
              1.5 * (other - under).head<2>().norm(), 1e-9);
  c.zoom(0, 0, 0);  // ignored
  c.zoom(1e30, 0, 0);
  EXPECT_EQ(c.scale(), Camera::kMaxScale);

  // Orbit turns about the target, which stays in the middle of the window.
  const Vec3 t = c.target();
  c.orbit(100, -50);
  EXPECT_NEAR(c.azimuth(), -45 - 100 * Camera::kOrbitDegPerPixel, 1e-9);
  expectNear<Eigen::Vector2d>(c.project(t).head<2>(), Eigen::Vector2d(400, 300), 1e-9);
}

TEST(Camera, FitShowsEveryPointWithAMarginAndCentred) {
  const std::vector<Vec3> points{{-500, -200, 0}, {800, 300, 0}, {0, 0, 1200}, {100, 900, 40}};
  for (View v : {View::Iso, View::Front, View::Side, View::Top}) {
    const Camera c = Camera::standard(v, points, 640, 480);
    double x0 = 1e9, x1 = -1e9, y0 = 1e9, y1 = -1e9;
    for (const Vec3& p : points) {
      const Vec3 s = c.project(p);
      x0 = std::min(x0, s.x()), x1 = std::max(x1, s.x());
      y0 = std::min(y0, s.y()), y1 = std::max(y1, s.y());
    }
    EXPECT_GE(x0, 0) << viewName(v);
    EXPECT_LE(x1, 640);
    EXPECT_GE(y0, 0);
    EXPECT_LE(y1, 480);
    EXPECT_NEAR((x0 + x1) / 2, 320, 1e-6);
    EXPECT_NEAR((y0 + y1) / 2, 240, 1e-6);
    // One side is filled to the share the fit leaves.
    EXPECT_NEAR(std::max((x1 - x0) / 640, (y1 - y0) / 480), Camera::kFitFill, 1e-9);
  }
  Camera c = fixed(View::Top);
  c.fit({});
  EXPECT_EQ(c.scale(), 0.5);  // nothing to fit: unchanged
}

TEST(Camera, ViewNamesReadBackAndOthersAreRefused) {
  for (View v : {View::Iso, View::Front, View::Side, View::Top}) {
    EXPECT_EQ(viewFromName(viewName(v)), v);
  }
  EXPECT_EQ(viewFromName("Front"), std::nullopt);
  EXPECT_EQ(viewFromName(""), std::nullopt);
}

}  // namespace
}  // namespace kelvor::view
