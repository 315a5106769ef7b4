// --snapshot: one frame rendered offscreen after the first complete read, for tests,
// documentation and bug reports.
#pragma once

#include <QImage>
#include <QString>
#include <ostream>

#include "app/options.h"
#include "scene/scene.h"
#include "state/controller_state.h"

namespace kelvor::view {

inline constexpr int kSnapshotWidth = 800, kSnapshotHeight = 600;

// The snapshot's camera: the standard view fitted to the arm's reach in the part of the image
// above the status band.
Camera snapshotCamera(const Scene& scene, View view, int width, int height);

// The frame of a reading: the standard view fitted to the arm's reach, the status line in a
// band at the bottom.
QImage snapshotImage(const Reading& reading, View view, int width, int height,
                     const QString& connection);

// Connects, waits at most options.waitSeconds for a complete read, writes the PNG. Returns the
// exit status (0, or 1 with the reason written to err).
int takeSnapshot(const ViewerOptions& options, std::ostream& err);

}  // namespace kelvor::view
