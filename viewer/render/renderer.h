// The software renderer: draws a scene for a camera with QPainter, on a window or an image,
// the same way everywhere, without a graphics card. Solids get flat Lambert shading from a
// light above the viewer's left shoulder; faces and lines are drawn back to front (the
// painter's algorithm), so translucent areas show what is behind them.
#pragma once

#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "scene/camera.h"
#include "scene/scene.h"

namespace kelvor::view {

struct RenderOptions {
  // Only this layer, on a transparent background, without legend: the tests' masks.
  std::optional<Layer> only;
  // Lines of text in a band at the bottom (the snapshot's status line).
  QStringList statusLines;
  // A banner across the view, e.g. "not connected"; the scene is drawn faded under it.
  QString banner;
  // Without antialiasing: about a third of the time, for frames that follow each other
  // quickly while the arm or the camera moves.
  bool fast = false;
};

// Draws on the painter's device, which is camera.width() x camera.height() pixels.
void render(QPainter& painter, const Scene& scene, const Camera& camera,
            const RenderOptions& options = {});
QImage renderImage(const Scene& scene, const Camera& camera, const RenderOptions& options = {});

// Where the labels go: each box as given unless it meets one before it, else moved down below
// the one it meets, as often as needed, so that no two labels are drawn over each other.
std::vector<QRectF> placeLabels(std::vector<QRectF> boxes);

// Height in pixels of the status band for n lines.
int statusBandHeight(int lines);

}  // namespace kelvor::view
