#include "app/snapshot.h"

#include <QImageWriter>
#include <algorithm>
#include <chrono>

#include "app/status_line.h"
#include "link/mailbox.h"
#include "link/poller.h"
#include "render/renderer.h"
#include "scene/scene.h"
#include "state/arm_model.h"

namespace kelvor::view {

QImage snapshotImage(const Reading& reading, View view, int width, int height,
                     const QString& connection) {
  const ArmModel model = makeArmModel(reading);
  const Scene scene = buildScene(model);
  RenderOptions o;
  o.statusLines = statusLines(reading, model, connection);
  return renderImage(scene, snapshotCamera(scene, view, width, height), o);
}

Camera snapshotCamera(const Scene& scene, View view, int width, int height) {
  const int band = statusBandHeight(kStatusLines);
  Camera camera = Camera::standard(view, scene.envelope, width, std::max(1, height - band));
  // Same scale, the window grown by the band below: the target moves down by half of it.
  const Vec3 shift = camera.up() * (band / 2.0) / camera.scale();
  camera.resize(width, height);
  camera.setTarget(camera.target() - shift);
  return camera;
}

int takeSnapshot(const ViewerOptions& options, std::ostream& err) {
  Mailbox mailbox;
  LinkOptions link;
  link.connection = options.connection;
  link.timeoutMs = options.timeoutMs;
  link.rateHz = options.rateHz;
  std::optional<Reading> reading;
  {
    Poller poller(link, [&](const Reading& r) { mailbox.put(r); });
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(options.waitSeconds));
    reading = mailbox.waitFor([](const Reading& r) { return r.complete || r.givenUp; }, deadline);
  }
  if (reading && reading->givenUp) {
    err << "kelvor-view: " << options.connection << ": " << reading->problem << "\n";
    return 1;
  }
  if (!reading || !reading->complete) {
    err << "kelvor-view: no complete read from " << options.connection << " within "
        << options.waitSeconds << " s";
    if (reading && !reading->problem.empty()) err << ": " << reading->problem;
    err << "\n";
    return 1;
  }
  const QImage image = snapshotImage(*reading, options.view, options.width.value_or(kSnapshotWidth),
                                     options.height.value_or(kSnapshotHeight),
                                     QString::fromStdString(options.connection));
  QImageWriter writer(QString::fromStdString(options.snapshot), "png");
  if (!writer.write(image)) {
    err << "kelvor-view: cannot write " << options.snapshot << ": "
        << writer.errorString().toStdString() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace kelvor::view
