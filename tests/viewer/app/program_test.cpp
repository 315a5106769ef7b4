// kelvor-view itself, run as a user runs it.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>

#include "app/snapshot.h"
#include "pixels.h"
#include "render/renderer.h"
#include "sim_controller.h"
#include "state/arm_model.h"
#include "temp_path.h"

#ifndef KELVOR_VIEW_PATH
#error "KELVOR_VIEW_PATH must name the kelvor-view executable"
#endif

namespace kelvor::view {
namespace {

struct ProgramRun {
  int status = -1;
  QString err;
};

ProgramRun runViewer(const QStringList& args) {
  QProcess p;
  p.setProgram(QStringLiteral(KELVOR_VIEW_PATH));
  p.setArguments(args);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("QT_QPA_PLATFORM"));  // the snapshot must need no display by itself
  env.remove(QStringLiteral("DISPLAY"));
  p.setProcessEnvironment(env);
  p.start();
  if (!p.waitForFinished(30000)) {
    p.kill();
    p.waitForFinished();
    return {};
  }
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
          QString::fromLocal8Bit(p.readAllStandardError())};
}

QString temp(const char* name) { return QString::fromStdString(kelvor::test::tempPath(name)); }

TEST(Program, ASnapshotAfterAJointDriveDiffersFromOneBeforeOnlyInTheArmsPixels) {
  test::SimController c;
  c.setUpArm();
  const QString before = temp("before.png"), after = temp("after.png");
  const QString eth = QString::fromStdString(c.eth());
  ASSERT_EQ(runViewer({eth, "--snapshot", before}).status, 0);
  const Scene sceneBefore = buildScene(makeArmModel(c.read()));
  c.drive({40, 25, -35, 60, -45, 90, 0, 0, 0});
  ASSERT_EQ(runViewer({eth, "--snapshot", after}).status, 0);
  const Scene sceneAfter = buildScene(makeArmModel(c.read()));

  const QImage a(before), b(after);
  ASSERT_EQ(a.size(), QSize(kSnapshotWidth, kSnapshotHeight));
  ASSERT_EQ(b.size(), a.size());
  // The camera frames the reach, not the pose: both snapshots look through the same one.
  ASSERT_EQ(sceneBefore.envelope, sceneAfter.envelope);
  const Camera cam = snapshotCamera(sceneAfter, View::Iso, a.width(), a.height());
  RenderOptions armOnly;
  armOnly.only = Layer::Arm;
  const QImage maskA = renderImage(sceneBefore, cam, armOnly);
  const QImage maskB = renderImage(sceneAfter, cam, armOnly);
  const auto nearArm = [&](int x, int y) {
    for (int dy = -2; dy <= 2; ++dy) {
      for (int dx = -2; dx <= 2; ++dx) {
        const QPoint p(x + dx, y + dy);
        if (maskA.valid(p) && (qAlpha(maskA.pixel(p)) || qAlpha(maskB.pixel(p)))) return true;
      }
    }
    return false;
  };
  const int scene = a.height() - statusBandHeight(3);  // the status line shows the joints
  int inside = 0, outside = 0;
  for (int y = 0; y < scene; ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if (a.pixel(x, y) == b.pixel(x, y)) continue;
      (nearArm(x, y) ? inside : outside) += 1;
    }
  }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(inside, 2000);
  QImage band = b.copy(0, scene, b.width(), b.height() - scene);
  EXPECT_NE(band, a.copy(0, scene, a.width(), a.height() - scene));
}

TEST(Program, SnapshotTakesSizeAndView) {
  test::SimController c;
  const QString file = temp("small.png");
  const ProgramRun r = runViewer(
      {QString::fromStdString(c.eth()), "--snapshot", file, "--size", "320x200", "--view", "top"});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_EQ(QImage(file).size(), QSize(320, 200));
}

TEST(Program, SnapshotFailuresSayWhyAndExitWith1) {
  int port = 0;
  {
    kelvor::test::SimProcess probe;
    port = probe.port();
  }
  ProgramRun r = runViewer({QStringLiteral("eth:127.0.0.1:%1").arg(port), "--snapshot",
                            temp("none.png"), "--wait", "0.5"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.contains("no complete read")) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("0x80000005")) << r.err.toStdString();

  // A connection string that can never work ends the wait at once.
  r = runViewer({"eth:", "--snapshot", temp("none.png"), "--wait", "60"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.contains("kelvor-view: eth:: ")) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("0x80000003")) << r.err.toStdString();

  test::SimController c;
  r = runViewer({QString::fromStdString(c.eth()), "--snapshot", "/nonexistent/dir/x.png"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.contains("cannot write /nonexistent/dir/x.png")) << r.err.toStdString();

  r = runViewer({"--size", "huge"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.err.contains("--size")) << r.err.toStdString();
}

}  // namespace
}  // namespace kelvor::view
