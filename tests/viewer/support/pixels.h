// Pixel checks on rendered images.
#pragma once

#include <Eigen/Core>
#include <QImage>
#include <optional>

#include "scene/scene.h"

namespace kelvor::view::test {

inline bool isColour(const QImage& img, int x, int y, Rgba c) {
  return img.pixel(x, y) == qRgba(c.r, c.g, c.b, c.a);
}

// The centre of the pixels of exactly colour c (opaque) within r pixels of around, in the
// painter's coordinates (pixel x covers x to x + 1); nullopt when there are none.
inline std::optional<Eigen::Vector2d> blobCentre(const QImage& img, Rgba c,
                                                 const Eigen::Vector2d& around, int r) {
  Eigen::Vector2d sum = Eigen::Vector2d::Zero();
  int n = 0;
  const int cx = static_cast<int>(around.x()), cy = static_cast<int>(around.y());
  for (int y = std::max(0, cy - r); y <= std::min(img.height() - 1, cy + r); ++y) {
    for (int x = std::max(0, cx - r); x <= std::min(img.width() - 1, cx + r); ++x) {
      if (isColour(img, x, y, c)) {
        sum += Eigen::Vector2d(x + 0.5, y + 0.5);
        ++n;
      }
    }
  }
  if (n == 0) return std::nullopt;
  return sum / n;
}

inline int alphaAt(const QImage& img, const Eigen::Vector2d& p) {
  return qAlpha(img.pixel(static_cast<int>(p.x()), static_cast<int>(p.y())));
}

}  // namespace kelvor::view::test
