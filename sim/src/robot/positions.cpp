#include "kelvor/robot/positions.h"

#include <cmath>

namespace kelvor::robot {

namespace {
Result<int> figFrom(double v) {
  if (!(v >= 0 && v < kFigCount) || v != std::floor(v)) return invalid("Fig must be 0 to 7");
  return static_cast<int>(v);
}

template <std::size_t N>
Result<Pose> fromP(const std::array<double, N>& p) {
  for (double v : p) {
    if (!std::isfinite(v)) return invalid("Value is not a finite number");
  }
  const Result<int> fig = figFrom(p[6]);
  if (!fig) return fig.error();
  return Pose{frameFromXyzRpy(p[0], p[1], p[2], p[3], p[4], p[5]), *fig, N > 7 ? p[N - 1] : 0.0};
}
}  // namespace

Result<Pose> poseFromP(const PArray& p) { return fromP(p); }
Result<Pose> poseFromP(const P7Array& p) { return fromP(p); }

Result<Pose> poseFromT(const TArray& t) {
  for (double v : t) {
    if (!std::isfinite(v)) return invalid("Value is not a finite number");
  }
  const Result<int> fig = figFrom(t[9]);
  if (!fig) return fig.error();
  const Vec3 o(t[3], t[4], t[5]);
  const Vec3 a(t[6], t[7], t[8]);
  if (std::abs(o.norm() - 1) > kVectorTolerance || std::abs(a.norm() - 1) > kVectorTolerance ||
      std::abs(o.dot(a)) > kVectorTolerance) {
    return invalid("Orientation and approach vectors must be perpendicular unit vectors");
  }
  const Vec3 z = a.normalized();
  const Vec3 y = (o - o.dot(z) * z).normalized();
  Pose pose{Frame::Identity(), *fig, t[10]};
  pose.frame.linear().col(0) = y.cross(z);
  pose.frame.linear().col(1) = y;
  pose.frame.linear().col(2) = z;
  pose.frame.translation() = Vec3(t[0], t[1], t[2]);
  return pose;
}

P7Array toP7(const Pose& pose) { return toH(pose.frame, pose.fig); }

PArray toP(const Pose& pose) {
  const P7Array h = toP7(pose);
  return {h[0], h[1], h[2], h[3], h[4], h[5], h[6], pose.extra};
}

TArray toT(const Pose& pose) {
  const Vec3 p = pose.frame.translation();
  const Vec3 o = pose.frame.linear().col(1);
  const Vec3 a = pose.frame.linear().col(2);
  return {tidy(p.x()), tidy(p.y()), tidy(p.z()), tidy(o.x()),      tidy(o.y()), tidy(o.z()),
          tidy(a.x()), tidy(a.y()), tidy(a.z()), double(pose.fig), pose.extra};
}

Pose Kinematics::toPose(const Joints& j) const {
  return {work_.inverse() * tcpInBase(j.axis), arm_.figOf(j.axis), j.external[0]};
}

Result<Joints> Kinematics::toJoints(const Pose& pose, const IkOptions& options,
                                    const Joints* referenceExternal) const {
  Result<Axes> axes = arm_.inverse(flangeFor(pose.frame), pose.fig, options);
  if (!axes) return axes.error();
  Joints j;
  j.axis = *axes;
  j.external = {pose.extra, 0, 0};
  if (referenceExternal) {
    j.external[1] = referenceExternal->external[1];
    j.external[2] = referenceExternal->external[2];
  }
  return j;
}

Pose dev(const Pose& base, const Frame& offset) {
  Pose out = base;
  out.frame.linear() = offset.linear() * base.frame.linear();
  out.frame.translation() = base.frame.translation() + offset.translation();
  return out;
}

Pose devH(const Pose& base, const Frame& offset) {
  Pose out = base;
  out.frame = base.frame * offset;
  return out;
}

Pose backOff(const Pose& target, double length) {
  Pose out = target;
  out.frame.translation() -= length * target.frame.linear().col(2);
  return out;
}

}  // namespace kelvor::robot
