#include "kelvor/robot/motion.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

namespace kelvor::robot {

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kDegPerRad = 180.0 / std::numbers::pi;
// Blending is checked against the joint limits at this interval (seconds).
constexpr double kBlendCheckStep = 0.005;
// Shorter paths and smaller turns are no motion at all (mm, degrees).
constexpr double kNoMotion = 1e-9;

Joints lerp(const Joints& a, const Joints& b, double s) {
  Joints j;
  for (int i = 0; i < kAxes; ++i) j.axis[i] = a.axis[i] + s * (b.axis[i] - a.axis[i]);
  for (int i = 0; i < 3; ++i) j.external[i] = a.external[i] + s * (b.external[i] - a.external[i]);
  return j;
}

Joints plus(const Joints& a, const Joints& b, const Joints& minus) {
  Joints j;
  for (int i = 0; i < kAxes; ++i) j.axis[i] = a.axis[i] + b.axis[i] - minus.axis[i];
  for (int i = 0; i < 3; ++i) j.external[i] = a.external[i] + b.external[i] - minus.external[i];
  return j;
}

// The failure of a point on the path, named as such.
Error pathError(const Error& e) {
  switch (e.kind) {
    case Failure::Unreachable:
      return {e.kind, 0, "Path out of reach"};
    case Failure::JointLimit:
      return {e.kind, e.axis, e.text + " on the path"};
    case Failure::Singular:
      return {e.kind, 0, "Path through a singular" + e.text.substr(e.text.find(' '))};
    case Failure::InvalidValue:
      break;
  }
  return e;
}

// Where a motion leaves the arm: its target, or where it was stopped.
Joints finalJoints(const Motion& m) { return m.joints(m.endTime()); }

Error singularPath(const char* what) {
  return {Failure::Singular, 0, std::string("Path through a singular position (") + what + ")"};
}
}  // namespace

std::optional<PathEnd> pathEndFromText(std::string_view text) {
  if (text.empty() || text == "@0") return PathEnd::Exact;
  if (text.size() != 2 || text[0] != '@') return std::nullopt;
  switch (std::toupper(static_cast<unsigned char>(text[1]))) {
    case 'E':
      return PathEnd::Settle;
    case 'P':
      return PathEnd::Pass;
    default:
      return std::nullopt;
  }
}

Check checkSpeed(double percent) {
  if (!(percent >= kMinSpeed && percent <= 100)) {
    return invalid("Speed must be from 0.01 to 100 percent");
  }
  return std::nullopt;
}

Profile Profile::make(double peak, double accel) {
  Profile p;
  if (!(peak > 0) || !(accel > 0) || peak == kInf) return p;  // no motion
  if (peak * peak / accel >= 1) {
    p.ramp = std::sqrt(1 / accel);
    p.duration = 2 * p.ramp;
    p.peak = accel * p.ramp;
  } else {
    p.ramp = peak / accel;
    p.duration = 1 / peak + p.ramp;
    p.peak = peak;
  }
  p.accel = accel;
  return p;
}

double Profile::at(double t) const {
  if (t <= 0) return duration > 0 ? 0 : 1;
  if (t >= duration) return 1;
  if (t < ramp) return 0.5 * accel * t * t;
  if (t > duration - ramp) return 1 - 0.5 * accel * (duration - t) * (duration - t);
  return 0.5 * accel * ramp * ramp + peak * (t - ramp);
}

double Motion::endTime() const {
  const double natural = profile_.duration + (end_ == PathEnd::Settle ? kSettleTime : 0);
  return stop_ ? std::min(*stop_, natural) : natural;
}

double Motion::blendStart() const {
  if (end_ != PathEnd::Pass || stop_) return endTime();
  return profile_.duration - profile_.ramp;
}

void Motion::stopAt(double t) { stop_ = stop_ ? std::min(*stop_, t) : t; }

Joints Motion::joints(double t) const { return unstopped(stop_ ? std::min(t, *stop_) : t); }

Joints Motion::unstopped(double t) const {
  if (t <= 0) return start_;
  if (t >= profile_.duration) return target_;
  const double s = profile_.at(t);
  Joints j = lerp(start_, target_, s);
  if (!linear()) return j;
  // On the line: solve the exact pose, starting from the nearest sample below.
  const int n = static_cast<int>(samples_.size()) - 1;
  const int k = std::clamp(static_cast<int>(s * n), 0, n - 1);
  Frame tcp = Frame::Identity();
  tcp.linear() = q0_.slerp(s, q1_).toRotationMatrix();
  tcp.translation() = p0_ + s * (p1_ - p0_);
  const IkOptions options{&samples_[k], true, false};
  const Result<Axes> axes = kin_->arm().inverse(tcp * kin_->tool().inverse(), fig_, options);
  if (axes) {
    j.axis = *axes;
  } else {  // numerically at the edge between two checked samples: interpolate them
    const double f = s * n - k;
    for (int i = 0; i < kAxes; ++i) {
      j.axis[i] = samples_[k][i] + f * (samples_[k + 1][i] - samples_[k][i]);
    }
  }
  return j;
}

Result<Motion> planJointMotion(const Joints& from, const Joints& to, PathEnd end,
                               double speedPercent) {
  if (Check e = checkSpeed(speedPercent)) return *e;
  for (double v : to.external) {
    if (!std::isfinite(v)) return invalid("Value is not a finite number");
  }
  if (Check e = checkLimits(to.axis)) return *e;
  const double k = speedPercent / 100;
  double peak = kInf, accel = kInf;
  for (int i = 0; i < kAxes; ++i) {
    const double d = std::abs(to.axis[i] - from.axis[i]);
    if (d == 0) continue;
    peak = std::min(peak, kJointLimits[i].speed * k / d);
    accel = std::min(accel, kJointLimits[i].accel * k * k / d);
  }
  Motion m;
  m.start_ = from;
  m.target_ = to;
  m.end_ = end;
  m.profile_ = Profile::make(peak, accel);
  return m;
}

Result<Motion> planLinearMotion(const Kinematics& kin, const Joints& from, const Pose& target,
                                PathEnd end, double speedPercent) {
  if (Check e = checkSpeed(speedPercent)) return *e;
  if (!std::isfinite(target.extra)) return invalid("Value is not a finite number");
  const Arm& arm = kin.arm();
  // The target alone first, so that its own failure reads as such.
  const IkOptions atTarget{&from.axis, false, false};
  if (Result<Axes> t = arm.inverse(kin.flangeFor(target.frame), target.fig, atTarget); !t) {
    return t.error();
  }
  const int startFig = arm.figOf(from.axis);
  if (const int changed = startFig ^ target.fig) {
    const Nearness n = arm.nearness(from.axis);
    const bool free = (!(changed & kFigBack) || n.shoulder < kShoulderSingular) &&
                      (!(changed & kFigElbowDown) || n.elbow < kElbowSingular) &&
                      (!(changed & kFigFlip) || n.wrist < kWristSingular);
    if (!free) return singularPath("Fig changes");
  }

  Motion m;
  m.start_ = from;
  m.end_ = end;
  m.fig_ = target.fig;
  m.kin_ = kin;
  const Frame t0 = kin.tcpInBase(from.axis);
  const Frame t1 = kin.work() * target.frame;
  m.p0_ = t0.translation();
  m.p1_ = t1.translation();
  m.q0_ = Eigen::Quaterniond(t0.linear());
  m.q1_ = Eigen::Quaterniond(t1.linear());
  const double length = (m.p1_ - m.p0_).norm();
  const double turn = m.q0_.angularDistance(m.q1_) * kDegPerRad;

  const double steps = std::max(std::ceil(length / kPathStep), std::ceil(turn / kPathTurn));
  const int n = length < kNoMotion && turn < kNoMotion
                    ? 0
                    : static_cast<int>(std::clamp(steps, 1.0, double(kMaxPathSamples)));
  m.samples_.reserve(n + 1);
  m.samples_.push_back(from.axis);
  std::array<double, kAxes> rate{};  // largest |dJ/ds| of each axis, degrees per path
  int worstAxis = 0;
  double worst = 0;
  for (int k = 1; k <= n; ++k) {
    const double s = double(k) / n;
    Frame tcp = Frame::Identity();
    tcp.linear() = m.q0_.slerp(s, m.q1_).toRotationMatrix();
    tcp.translation() = m.p0_ + s * (m.p1_ - m.p0_);
    const IkOptions options{&m.samples_.back(), true, false};
    Result<Axes> j = arm.inverse(tcp * kin.tool().inverse(), target.fig, options);
    if (!j) return pathError(j.error());
    for (int i = 0; i < kAxes; ++i) {
      rate[i] = std::max(rate[i], std::abs((*j)[i] - m.samples_.back()[i]) * n);
      const double r = rate[i] / kJointLimits[i].speed;
      if (r > worst) worst = r, worstAxis = i;
    }
    m.samples_.push_back(*j);
  }
  m.target_.axis = m.samples_.back();
  m.target_.external = {target.extra, from.external[1], from.external[2]};
  if (n == 0) {
    m.samples_.push_back(from.axis);  // a linear motion of zero length
    return m;
  }

  const double k = speedPercent / 100;
  double peak = kInf, accel = kInf;
  if (length >= kNoMotion) {
    peak = std::min(peak, kTcpSpeed * k / length);
    accel = std::min(accel, kTcpAccel * k * k / length);
  }
  if (turn >= kNoMotion) {
    peak = std::min(peak, kRotSpeed * k / turn);
    accel = std::min(accel, kRotAccel * k * k / turn);
  }
  const double jointPeak = worst > 0 ? k / worst : kInf;
  if (peak > kSingularSlowdown * jointPeak) {
    if (worstAxis == 0) return singularPath("wrist centre on axis 1");
    if (worstAxis <= 2) return singularPath("elbow stretched");
    return singularPath("J5 = 0");
  }
  m.profile_ = Profile::make(std::min(peak, jointPeak), accel);
  return m;
}

double Trajectory::endTime() const {
  double end = -kInf;
  for (const Segment& s : segments_) end = std::max(end, s.t0 + s.motion.endTime());
  return stop_ ? std::min(end, *stop_) : end;
}

Joints Trajectory::sum(double t) const {
  Joints j = rest_;
  for (const Segment& s : segments_) {
    if (t > s.t0) j = plus(j, s.motion.joints(t - s.t0), s.motion.start());
  }
  return j;
}

Joints Trajectory::joints(double t) const { return sum(stop_ ? std::min(t, *stop_) : t); }

bool Trajectory::accepts(double t) const {
  if (!moving(t)) return true;
  const Segment& last = segments_.back();
  return !stop_ && last.motion.pathEnd() == PathEnd::Pass &&
         t >= last.t0 + last.motion.blendStart();
}

Joints Trajectory::plannedEnd() const {
  if (stop_) return joints(*stop_);
  Joints j = rest_;
  for (const Segment& s : segments_) j = plus(j, finalJoints(s.motion), s.motion.start());
  return j;
}

double Trajectory::start(Motion motion, double t) {
  if (!accepts(t)) t = endTime();  // not accepted yet: it waits for the running motion
  if (stop_ || !moving(t)) {
    rest_ = stop_ ? joints(*stop_) : plannedEnd();
    segments_.clear();
    stop_.reset();
  } else {
    // Blend: keep the overlap within the limits, else wait for the previous motion's end.
    const double previousEnd = endTime();
    segments_.push_back({motion, t});
    for (double u = t; u < previousEnd + kBlendCheckStep; u += kBlendCheckStep) {
      if (checkLimits(sum(std::min(u, previousEnd)).axis)) {
        t = previousEnd;
        break;
      }
    }
    segments_.pop_back();
    // Segments over by then no longer move: fold them into the rest position.
    std::erase_if(segments_, [&](const Segment& s) {
      if (s.t0 + s.motion.endTime() > t) return false;
      rest_ = plus(rest_, finalJoints(s.motion), s.motion.start());
      return true;
    });
  }
  segments_.push_back({std::move(motion), t});
  return t;
}

void Trajectory::stopAt(double t) { stop_ = stop_ ? std::min(*stop_, t) : t; }

}  // namespace kelvor::robot
