#include "kelvor/robot/arm.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace kelvor::robot {

namespace {
constexpr double kRadPerDeg = std::numbers::pi / 180.0;
constexpr double kDegPerRad = 180.0 / std::numbers::pi;
// cos(q3) beyond +-1 by less than this is rounding, not a position out of reach.
constexpr double kReachRounding = 1e-12;

// A_i = RotZ(theta) * TransZ(s) * TransX(a) * RotX(alpha), angles in degrees.
Frame dhFrame(double theta, double s, double a, double alpha) {
  const double ct = cosDeg(theta), st = sinDeg(theta), ca = cosDeg(alpha), sa = sinDeg(alpha);
  Frame f = Frame::Identity();
  f.linear() << ct, -st * ca, st * sa,  //
      st, ct * ca, -ct * sa,            //
      0, sa, ca;
  f.translation() = Vec3(a * ct, a * st, s);
  return f;
}

// Rotation part of A_i, theta in radians.
Rot dhRotation(double theta, double alpha) {
  const double ct = std::cos(theta), st = std::sin(theta), ca = cosDeg(alpha), sa = sinDeg(alpha);
  Rot r;
  r << ct, -st * ca, st * sa,  //
      st, ct * ca, -ct * sa,   //
      0, sa, ca;
  return r;
}

Error outOfReach() { return {Failure::Unreachable, 0, "Position out of reach"}; }
Error singular(const char* what) {
  return {Failure::Singular, 0, std::string("Singular position (") + what + ")"};
}
bool finite(const Frame& f) { return f.matrix().allFinite(); }
}  // namespace

Result<Joints> jointsFromJ(const JArray& j) {
  Joints out;
  for (int i = 0; i < 9; ++i) {
    if (!std::isfinite(j[i])) return invalid("Value is not a finite number");
    (i < kAxes ? out.axis[i] : out.external[i - kAxes]) = j[i];
  }
  return out;
}

JArray toJ(const Joints& j) {
  JArray out{};
  for (int i = 0; i < kAxes; ++i) out[i] = tidy(j.axis[i]);
  for (int i = 0; i < 3; ++i) out[kAxes + i] = j.external[i];
  return out;
}

Error limitError(int axis) {
  return {Failure::JointLimit, axis, "J" + std::to_string(axis) + " beyond its limit"};
}

Check checkLimits(const Axes& j) {
  for (int i = 0; i < kAxes; ++i) {
    if (!std::isfinite(j[i])) return invalid("Value is not a finite number");
    if (j[i] < kJointLimits[i].min - kLimitMargin || j[i] > kJointLimits[i].max + kLimitMargin) {
      return limitError(i + 1);
    }
  }
  return std::nullopt;
}

Check checkLinks(const LinkParams& l) {
  for (int i = 0; i < kAxes; ++i) {
    const std::string n = std::to_string(i + 1);
    if (!std::isfinite(l.ss[i]) || std::abs(l.ss[i]) > kMaxLink) {
      return invalid("LinkSS(" + n + ") must be a finite number within +-100000 mm");
    }
    if (!std::isfinite(l.aa[i]) || std::abs(l.aa[i]) > kMaxLink) {
      return invalid("LinkAA(" + n + ") must be a finite number within +-100000 mm");
    }
    if (l.aa[i] < 0) return invalid("LinkAA(" + n + ") is a length and must not be negative");
  }
  if (l.aa[1] == 0) return invalid("LinkAA(2) must be above 0: the arm has no upper arm");
  if (l.aa[2] == 0 && l.ss[3] == 0) {
    return invalid("LinkAA(3) and LinkSS(4) must not both be 0: the arm has no forearm");
  }
  if (l.aa[3] != 0) return invalid("LinkAA(4) must be 0: the wrist is spherical");
  if (l.aa[4] != 0) return invalid("LinkAA(5) must be 0: the wrist is spherical");
  if (l.ss[4] != 0) return invalid("LinkSS(5) must be 0: the wrist is spherical");
  return std::nullopt;
}

Check checkCalSet(const CalSet& cal) {
  for (int i = 0; i < kAxes; ++i) {
    if (!std::isfinite(cal[i]) || std::abs(cal[i]) > kMaxCal) {
      return invalid("Calset(" + std::to_string(i + 1) +
                     ") must be a finite number within +-360 degrees");
    }
  }
  return std::nullopt;
}

Result<Calibration> calibrate(const Calibration& now, const Axes& rot, const Axes& len) {
  Calibration next = now;
  for (int i = 0; i < kAxes; ++i) {
    if (!std::isfinite(rot[i]) || !std::isfinite(len[i])) {
      return invalid("Value is not a finite number");
    }
    next.cal[i] += rot[i];
    next.links.aa[i] += len[i];
  }
  if (Check e = checkCalSet(next.cal)) return *e;
  if (Check e = checkLinks(next.links)) return *e;
  return next;
}

Result<Arm> Arm::make(const LinkParams& links, const CalSet& cal) {
  if (Check e = checkLinks(links)) return *e;
  if (Check e = checkCalSet(cal)) return *e;
  return Arm(links, cal);
}

std::array<Frame, kAxes + 1> Arm::frames(const Axes& j) const {
  std::array<Frame, kAxes + 1> f;
  f[0] = Frame::Identity();
  for (int i = 0; i < kAxes; ++i) {
    f[i + 1] =
        f[i] * dhFrame(j[i] + cal_[i] + kThetaOffset[i], links_.ss[i], links_.aa[i], kTwist[i]);
  }
  return f;
}

Frame Arm::flange(const Axes& j) const { return frames(j)[kAxes]; }

namespace {
// Where a joint set stands relative to the three singular positions, with signs: the wrist
// centre's distance along the arm's x1 from axis 1 (mm), the elbow's bend from stretched and
// J5 + CalSet5 (degrees).
struct Branch {
  double reach, bend, wrist;
};
Branch branchOf(const Arm& arm, const Axes& j) {
  const LinkParams& l = arm.links();
  const CalSet& cal = arm.calSet();
  const Vec3 w = arm.frames(j)[4].translation();
  const double th1 = j[0] + cal[0];
  const double phi = std::atan2(l.ss[3], l.aa[2]) * kDegPerRad;
  return {w.x() * cosDeg(th1) + w.y() * sinDeg(th1), wrapDeg(j[2] + cal[2] + kThetaOffset[2] + phi),
          wrapDeg(j[4] + cal[4])};
}
}  // namespace

Nearness Arm::nearness(const Axes& j) const {
  const Branch b = branchOf(*this, j);
  const double th5 = std::abs(b.wrist);
  return {std::abs(b.reach), std::abs(b.bend), std::min(th5, 180.0 - th5)};
}

int Arm::figOf(const Axes& j) const {
  const Branch b = branchOf(*this, j);
  return (b.reach < 0 ? kFigBack : 0) | (b.bend < 0 ? kFigElbowDown : 0) |
         (b.wrist < 0 ? kFigFlip : 0);
}

Vec3 Arm::wristCentre(const Frame& flange) const {
  return flange.translation() - links_.ss[5] * flange.linear().col(2) -
         links_.aa[5] * flange.linear().col(0);
}

Rot Arm::baseToForearm(double th1, double th2, double th3) const {
  return dhRotation(th1, kTwist[0]) * dhRotation(th2, kTwist[1]) * dhRotation(th3, kTwist[2]);
}

Result<Axes> Arm::inverse(const Frame& flange, int fig, const IkOptions& options) const {
  if (!finite(flange)) return invalid("Value is not a finite number");
  if (fig < 0 || fig >= kFigCount) return invalid("Fig must be 0 to 7");
  const LinkParams& l = links_;
  const Vec3 w = wristCentre(flange);

  // Axis 1: the wrist centre lies in the arm's plane, offset sideways by s_2 + s_3.
  const double side = l.ss[1] + l.ss[2];
  const double rho = std::hypot(w.x(), w.y());
  const double r2 = rho * rho - side * side;
  if (r2 < 0 && rho < std::abs(side) - kShoulderSingular) return outOfReach();
  if (r2 < kShoulderSingular * kShoulderSingular) return singular("wrist centre on axis 1");
  const double r = (fig & kFigBack) ? -std::sqrt(r2) : std::sqrt(r2);
  const double th1 = std::atan2(w.y(), w.x()) - std::atan2(side, r);

  // Axes 2 and 3: a planar two-link arm, upper arm a_2, forearm from (a_3, s_4).
  const double px = r - l.aa[0];
  const double py = l.ss[0] - w.z();
  const double fore = std::hypot(l.aa[2], l.ss[3]);
  const double phi = std::atan2(l.ss[3], l.aa[2]);
  double c = (px * px + py * py - l.aa[1] * l.aa[1] - fore * fore) / (2 * l.aa[1] * fore);
  if (c > 1 + kReachRounding || c < -1 - kReachRounding) return outOfReach();
  c = std::clamp(c, -1.0, 1.0);
  const double bend = std::acos(c);
  if (bend < kElbowSingular * kRadPerDeg) return singular("elbow stretched");
  const double q3 = (fig & kFigElbowDown) ? -bend : bend;
  const double th2 =
      std::atan2(py, px) - std::atan2(fore * std::sin(q3), l.aa[1] + fore * std::cos(q3));
  const double th3 = q3 - phi;

  // Axes 4 to 6: the spherical wrist, R36 = RotZ(th4) RotX(90) RotZ(th5) RotX(-90) RotZ(th6).
  const Rot m = baseToForearm(th1, th2, th3).transpose() * flange.linear();
  const double s5 = std::hypot(m(0, 2), m(1, 2));
  double th5 = std::atan2(s5, m(2, 2));
  if (fig & kFigFlip) th5 = -th5;
  double th4, th6;
  const double wristGap = std::min(std::abs(th5), std::numbers::pi - std::abs(th5));
  if (wristGap < kWristSingular * kRadPerDeg) {
    if (options.refuseWristSingularity) return singular("J5 = 0");
    // Only th4 + th6 (J5 near 0) or th6 - th4 (near 180) is defined: keep J4, turn J6.
    const double j4 = options.reference ? (*options.reference)[3] : 0.0;
    th4 = (j4 + cal_[3] + kThetaOffset[3]) * kRadPerDeg;
    th6 = m(2, 2) > 0 ? std::atan2(m(1, 0), m(0, 0)) - th4 : std::atan2(m(1, 0), -m(0, 0)) + th4;
  } else if (th5 > 0) {
    th4 = std::atan2(-m(1, 2), -m(0, 2));
    th6 = std::atan2(-m(2, 1), m(2, 0));
  } else {
    th4 = std::atan2(m(1, 2), m(0, 2));
    th6 = std::atan2(m(2, 1), -m(2, 0));
  }

  const Axes theta{th1, th2, th3, th4, th5, th6};
  Axes j;
  for (int i = 0; i < kAxes; ++i) {
    const double v = theta[i] * kDegPerRad - cal_[i] - kThetaOffset[i];
    if (options.reference && options.nearReference) {
      const double ref = (*options.reference)[i];
      j[i] = ref + wrapDeg(v - ref);
    } else {
      j[i] = wrapDeg(v);
    }
  }
  if (Check e = checkLimits(j)) return *e;
  return j;
}

}  // namespace kelvor::robot
