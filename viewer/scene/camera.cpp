#include "scene/camera.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace kelvor::view {

namespace {

constexpr double kRad = 3.14159265358979323846 / 180;

struct ViewDef {
  View view;
  const char* name;
  double azimuth, elevation;
};
// The one table of the standard views. Iso looks along the diagonal of a cube.
constexpr std::array<ViewDef, 4> kViews{{
    {View::Iso, "iso", -45, 35.26438968},
    {View::Front, "front", 0, 0},
    {View::Side, "side", -90, 0},
    {View::Top, "top", -90, 90},
}};

}  // namespace

std::optional<View> viewFromName(std::string_view name) {
  for (const ViewDef& v : kViews) {
    if (name == v.name) return v.view;
  }
  return std::nullopt;
}

const char* viewName(View view) {
  for (const ViewDef& v : kViews) {
    if (v.view == view) return v.name;
  }
  return "";
}

Camera::Camera(int width, int height) : width_(std::max(1, width)), height_(std::max(1, height)) {}

Camera Camera::standard(View view, const std::vector<Vec3>& points, int width, int height) {
  Camera c(width, height);
  c.setView(view);
  c.fit(points);
  return c;
}

void Camera::setDirection(double azimuth, double elevation) {
  azimuth_ = std::remainder(azimuth, 360.0);
  elevation_ = std::clamp(elevation, -90.0, 90.0);
}

void Camera::setView(View view) {
  for (const ViewDef& v : kViews) {
    if (v.view == view) setDirection(v.azimuth, v.elevation);
  }
}

void Camera::setScale(double pixelsPerMm) {
  if (std::isfinite(pixelsPerMm)) scale_ = std::clamp(pixelsPerMm, kMinScale, kMaxScale);
}

void Camera::resize(int width, int height) {
  width_ = std::max(1, width);
  height_ = std::max(1, height);
}

Vec3 Camera::back() const {
  const double a = azimuth_ * kRad, e = elevation_ * kRad;
  return {std::cos(e) * std::cos(a), std::cos(e) * std::sin(a), std::sin(e)};
}

// The derivative of back() by the elevation: defined at +-90 degrees too, where the azimuth
// then says which way is up on the screen.
Vec3 Camera::up() const {
  const double a = azimuth_ * kRad, e = elevation_ * kRad;
  return {-std::sin(e) * std::cos(a), -std::sin(e) * std::sin(a), std::cos(e)};
}

Vec3 Camera::right() const { return up().cross(back()); }

Eigen::Affine3d Camera::screenFromWorld() const {
  Eigen::Matrix3d rows;
  rows.row(0) = scale_ * right();
  rows.row(1) = -scale_ * up();
  rows.row(2) = back();
  Eigen::Affine3d m = Eigen::Affine3d::Identity();
  m.linear() = rows;
  m.translation() = Vec3(width_ / 2.0, height_ / 2.0, 0) - rows * target_;
  return m;
}

void Camera::orbit(double dx, double dy) {
  setDirection(azimuth_ - dx * kOrbitDegPerPixel, elevation_ + dy * kOrbitDegPerPixel);
}

void Camera::pan(double dx, double dy) { target_ += (-dx * right() + dy * up()) / scale_; }

void Camera::zoom(double factor, double x, double y) {
  if (!std::isfinite(factor) || factor <= 0) return;
  const Vec3 offset = (x - width_ / 2.0) * right() - (y - height_ / 2.0) * up();
  const Vec3 under = target_ + offset / scale_;  // the point under the pointer
  setScale(scale_ * factor);
  target_ = under - offset / scale_;
}

void Camera::fit(const std::vector<Vec3>& points) {
  if (points.empty()) return;
  const Vec3 r = right(), u = up();
  double x0 = std::numeric_limits<double>::infinity(), x1 = -x0, y0 = x0, y1 = -x0;
  for (const Vec3& p : points) {
    const double x = p.dot(r), y = p.dot(u);
    x0 = std::min(x0, x);
    x1 = std::max(x1, x);
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
  }
  if (!std::isfinite(x0 + x1 + y0 + y1)) return;
  target_ = (x0 + x1) / 2 * r + (y0 + y1) / 2 * u;
  const double w = std::max(x1 - x0, 1e-9), h = std::max(y1 - y0, 1e-9);
  setScale(kFitFill * std::min(width_ / w, height_ / h));
}

}  // namespace kelvor::view
