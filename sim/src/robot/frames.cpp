#include "kelvor/robot/frames.h"

#include <cmath>
#include <numbers>

namespace kelvor::robot {

namespace {
constexpr double kRadPerDeg = std::numbers::pi / 180.0;
constexpr double kDegPerRad = 180.0 / std::numbers::pi;

// Canonical (-180, 180] for an atan2 result in degrees: -180 itself, and angles so near it that
// they would read -180 as a float, read 180.
double canonical(double deg) {
  if (deg <= -180.0 + kHalfTurnSnap) return 180.0;
  return deg > 180.0 ? 180.0 : deg;
}
}  // namespace

double wrapDeg(double deg) {
  double r = std::remainder(deg, 360.0);  // [-180, 180]
  if (r <= -180.0) r += 360.0;
  return r;
}

double cosDeg(double deg) {
  const double r = std::remainder(deg, 360.0);
  if (r == 0) return 1;
  if (r == 90 || r == -90) return 0;
  if (r == 180 || r == -180) return -1;
  return std::cos(r * kRadPerDeg);
}

double sinDeg(double deg) {
  const double r = std::remainder(deg, 360.0);
  if (r == 0 || r == 180 || r == -180) return 0;
  if (r == 90) return 1;
  if (r == -90) return -1;
  return std::sin(r * kRadPerDeg);
}

Rot rotationFromRpy(double rx, double ry, double rz) {
  const double cx = cosDeg(rx), sx = sinDeg(rx), cy = cosDeg(ry), sy = sinDeg(ry);
  const double cz = cosDeg(rz), sz = sinDeg(rz);
  Rot r;
  r << cz * cy, cz * sy * sx - sz * cx, cz * sy * cx + sz * sx,  //
      sz * cy, sz * sy * sx + cz * cx, sz * sy * cx - cz * sx,   //
      -sy, cy * sx, cy * cx;
  return r;
}

Rpy rpyFromRotation(const Rot& r) {
  const double cy = std::hypot(r(0, 0), r(1, 0));
  Rpy a;
  if (cy < kGimbalCos) {
    a.ry = r(2, 0) < 0 ? 90.0 : -90.0;
    a.rx = 0;
    a.rz = canonical(std::atan2(-r(0, 1), r(1, 1)) * kDegPerRad);
  } else {
    a.ry = std::atan2(-r(2, 0), cy) * kDegPerRad;
    a.rx = canonical(std::atan2(r(2, 1), r(2, 2)) * kDegPerRad);
    a.rz = canonical(std::atan2(r(1, 0), r(0, 0)) * kDegPerRad);
  }
  return a;
}

Frame frameFromXyzRpy(double x, double y, double z, double rx, double ry, double rz) {
  Frame f = Frame::Identity();
  f.linear() = rotationFromRpy(rx, ry, rz);
  f.translation() = Vec3(x, y, z);
  return f;
}

Result<Frame> frameFromH(const HRecord& h) {
  for (int i = 0; i < 6; ++i) {
    if (!std::isfinite(h[i])) return invalid("Value is not a finite number");
  }
  return frameFromXyzRpy(h[0], h[1], h[2], h[3], h[4], h[5]);
}

double tidy(double v) { return std::abs(v) < kTidyZero ? 0.0 : v; }

HRecord toH(const Frame& f, double spare) {
  const Rpy a = rpyFromRotation(f.linear());
  const Vec3 p = f.translation();
  return {tidy(p.x()), tidy(p.y()), tidy(p.z()), tidy(a.rx), tidy(a.ry), tidy(a.rz), spare};
}

}  // namespace kelvor::robot
