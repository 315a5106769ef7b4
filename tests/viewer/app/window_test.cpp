#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include "app/view_window.h"
#include "readings.h"
#include "sim_controller.h"

namespace kelvor::view {
namespace {

ViewerOptions optionsFor(const std::string& connection) {
  ViewerOptions o;
  o.connection = connection;
  o.timeoutMs = 300;
  o.width = 800;
  o.height = 600;
  return o;
}

TEST(Window, StatusLineShowsJointsPositionAndState) {
  ViewWindow w(optionsFor("eth:127.0.0.1:1"), false);
  EXPECT_NE(w.statusText().indexOf("connecting to eth:127.0.0.1:1"), -1)
      << w.statusText().toStdString();

  Reading r = test::defaultArmReading();
  r.state.joints = {0, 0, 0, 0, 90, 0, 0, 0, 0};
  r.state.motor = 1;
  r.state.motion = 1;
  r.state.error = 0x1001;
  r.state.errorText = "Motor is off";
  w.showReading(r);
  const QString text = w.statusText();
  // J5 = 90 points the flange down: the tool centre point hangs 145 mm below it.
  for (const char* part :
       {"J5    90.00", "X   400.00", "Z   475.00", "Rx   180.00", "Ry     0.00", "Fig 0",
        "Motor on", "External Auto", "moving", "Error 0x1001 Motor is off"}) {
    EXPECT_NE(text.indexOf(QLatin1String(part)), -1) << part << "\n" << text.toStdString();
  }
  EXPECT_TRUE(w.view().banner().isEmpty());

  r.connected = false;
  r.problem = "Connection refused by the controller (0x80000005)";
  r.retryIn = 2;
  w.showReading(r);
  EXPECT_NE(w.statusText().indexOf("not connected to eth:127.0.0.1:1: Connection refused"), -1)
      << w.statusText().toStdString();
  EXPECT_NE(w.statusText().indexOf("next try in 2 s"), -1);
  EXPECT_EQ(w.view().banner(), "not connected");
}

TEST(Window, KeysChooseTheStandardViewsAndFitTheArm) {
  ViewWindow w(optionsFor("eth:127.0.0.1:1"), false);
  w.show();
  QApplication::setActiveWindow(&w);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.showReading(test::defaultArmReading());
  const struct {
    Qt::Key key;
    double azimuth, elevation;
  } keys[] = {
      {Qt::Key_F, 0, 0}, {Qt::Key_S, -90, 0}, {Qt::Key_T, -90, 90}, {Qt::Key_I, -45, 35.26}};
  for (const auto& k : keys) {
    QTest::keyClick(&w.view(), k.key);
    EXPECT_NEAR(w.view().camera().azimuth(), k.azimuth, 0.01) << k.key;
    EXPECT_NEAR(w.view().camera().elevation(), k.elevation, 0.01) << k.key;
  }
  const double standard = w.view().camera().scale();
  QTest::keyClick(&w.view(), Qt::Key_A);
  const Camera& fit = w.view().camera();
  EXPECT_GT(fit.scale(), standard);  // the arm alone is smaller than its reach
  for (const Vec3& p : w.view().scene().armNow) {
    const Vec3 s = fit.project(p);
    EXPECT_TRUE(s.x() >= 0 && s.x() <= fit.width() && s.y() >= 0 && s.y() <= fit.height());
  }
}

TEST(Window, MouseOrbitsPansAndZooms) {
  ViewWindow w(optionsFor("eth:127.0.0.1:1"), false);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.showReading(test::defaultArmReading());
  ViewWidget& v = w.view();
  const auto drag = [&](Qt::MouseButton b, QPointF from, QPointF to) {
    QMouseEvent press(QEvent::MouseButtonPress, from, v.mapToGlobal(from), b, b, Qt::NoModifier);
    QApplication::sendEvent(&v, &press);
    QMouseEvent move(QEvent::MouseMove, to, v.mapToGlobal(to), Qt::NoButton, b, Qt::NoModifier);
    QApplication::sendEvent(&v, &move);
  };
  const Camera before = v.camera();
  drag(Qt::LeftButton, {100, 100}, {150, 80});
  EXPECT_NEAR(v.camera().azimuth(), before.azimuth() - 50 * Camera::kOrbitDegPerPixel, 1e-9);
  EXPECT_NEAR(v.camera().elevation(), before.elevation() - 20 * Camera::kOrbitDegPerPixel, 1e-9);

  const Vec3 p(300, 0, 500);
  const Vec3 at = v.camera().project(p);
  drag(Qt::RightButton, {200, 200}, {230, 190});
  EXPECT_NEAR((v.camera().project(p) - at - Vec3(30, -10, 0)).norm(), 0, 1e-9);

  const double scale = v.camera().scale();
  QWheelEvent wheel({300, 200}, v.mapToGlobal(QPointF(300, 200)), {}, {0, 120}, Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&v, &wheel);
  EXPECT_NEAR(v.camera().scale(), scale * ViewWidget::kWheelZoomPerNotch, 1e-12);

  // Moved by hand, the view stays put when a new reading comes.
  const Camera moved = v.camera();
  w.showReading(test::defaultArmReading());
  EXPECT_EQ(v.camera().scale(), moved.scale());
  EXPECT_EQ(v.camera().azimuth(), moved.azimuth());
}

// The real link: the controller goes away and comes back on the same port.
TEST(Window, AVanishedControllerShowsNotConnectedAndIsFoundWhenItReturns) {
  auto sim = std::make_unique<test::SimController>();
  sim->setUpArm();
  const int port = sim->sim().port();
  ViewWindow w(optionsFor(sim->eth()));
  const auto shows = [&](const char* text) { return w.statusText().contains(QLatin1String(text)); };
  ASSERT_TRUE(QTest::qWaitFor([&] { return shows("Motor off"); }, 10000))
      << w.statusText().toStdString();
  EXPECT_TRUE(w.view().banner().isEmpty());

  sim.reset();
  ASSERT_TRUE(QTest::qWaitFor([&] { return shows("not connected"); }, 10000))
      << w.statusText().toStdString();
  EXPECT_EQ(w.view().banner(), "not connected");
  EXPECT_TRUE(shows("J1     0.00"));  // the last known joints stay

  // A fresh controller: the window's link holds the process's one connection now, so it
  // stays as it starts.
  sim = std::make_unique<test::SimController>(
      std::vector<std::string>{"--listen", "127.0.0.1:" + std::to_string(port)});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !shows("not connected") && shows("Motor off"); }, 15000))
      << w.statusText().toStdString();
  EXPECT_TRUE(w.view().banner().isEmpty());
}

}  // namespace
}  // namespace kelvor::view
