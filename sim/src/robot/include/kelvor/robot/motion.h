// Timed motions that a controller steps with its clock: joint interpolation (Comp 1), linear
// TCP motion (Comp 2), path ends @0, @E and @P, and a trajectory that chains them.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "kelvor/robot/arm.h"
#include "kelvor/robot/positions.h"
#include "kelvor/robot/result.h"

namespace kelvor::robot {

enum class PathEnd {
  Exact,   // "@0" (or ""): ends when the target is reached
  Settle,  // "@E": ends kSettleTime after the target is reached, the axes at rest
  Pass,    // "@P": the next motion may start once this one decelerates
};
// "", "@0", "@E", "@P" (case-insensitive); anything else has no meaning.
std::optional<PathEnd> pathEndFromText(std::string_view text);
inline constexpr double kSettleTime = 0.2;  // seconds

// Linear motion limits at 100 % speed.
inline constexpr double kTcpSpeed = 1000;  // mm/s
inline constexpr double kTcpAccel = 4000;  // mm/s^2
inline constexpr double kRotSpeed = 180;   // degrees/s about the shortest rotation axis
inline constexpr double kRotAccel = 720;   // degrees/s^2
// A linear path is sampled at least every kPathStep mm and kPathTurn degrees.
inline constexpr double kPathStep = 1.0;
inline constexpr double kPathTurn = 0.5;
inline constexpr int kMaxPathSamples = 20000;
// A linear motion is refused as singular when its joints' speed limits would slow the TCP below
// the programmed speed by more than this factor somewhere on the path.
inline constexpr double kSingularSlowdown = 10;

// Speeds scale with speed percent k / 100 and accelerations with its square, so a duration is
// exactly inversely proportional to the speed.
struct Profile {
  double duration = 0;  // seconds from start to target
  double ramp = 0;      // acceleration time = deceleration time
  double peak = 0;      // peak of ds/dt
  double accel = 0;     // d2s/dt2 while ramping
  // Path parameter s in [0, 1] at time t: trapezoidal speed (triangular when short).
  double at(double t) const;
  // A profile covering s from 0 to 1 with ds/dt <= peak and |d2s/dt2| <= accel.
  static Profile make(double peak, double accel);
};

class Motion {
 public:
  double duration() const { return profile_.duration; }  // start to target
  double endTime() const;                                // + settle for @E; stop time if stopped
  double blendStart() const;  // @P: start of deceleration; else endTime()
  PathEnd pathEnd() const { return end_; }
  bool linear() const { return !samples_.empty(); }
  const Joints& start() const { return start_; }
  const Joints& target() const { return target_; }

  // Joints t seconds after the start (held at the start before 0, at the target or the stop
  // position after the end).
  Joints joints(double t) const;
  bool ended(double t) const { return t >= endTime(); }
  // Stops the arm at time t where it is then (an area with Err was entered).
  void stopAt(double t);
  std::optional<double> stopTime() const { return stop_; }

 private:
  friend Result<Motion> planJointMotion(const Joints&, const Joints&, PathEnd, double);
  friend Result<Motion> planLinearMotion(const Kinematics&, const Joints&, const Pose&, PathEnd,
                                         double);
  Motion() = default;
  Joints unstopped(double t) const;

  Joints start_, target_;
  PathEnd end_ = PathEnd::Exact;
  Profile profile_;
  std::optional<double> stop_;
  // Linear only: the TCP line in the base frame, the kinematics and the joints at each sample.
  std::optional<Kinematics> kin_;
  Vec3 p0_ = Vec3::Zero(), p1_ = Vec3::Zero();
  Eigen::Quaterniond q0_ = Eigen::Quaterniond::Identity(), q1_ = Eigen::Quaterniond::Identity();
  int fig_ = 0;
  std::vector<Axes> samples_;
};

// Speed percent must be from kMinSpeed to 100: slower motions would last for days.
Check checkSpeed(double percent);
inline constexpr double kMinSpeed = 0.01;

// Comp 1: every axis on a trapezoidal profile, all starting and ending together, within each
// axis's speed and acceleration (kJointLimits). The target must be within the limits.
Result<Motion> planJointMotion(const Joints& from, const Joints& to, PathEnd end,
                               double speedPercent);
// Comp 2: the TCP on a straight line to target (TCP in the work frame), the orientation on the
// shortest rotation, with the Fig of the target kept along the path. Refused before it starts
// when a point of the path is out of reach, beyond a limit or singular, or when the Fig
// changes between start and target (except a bit whose singular position the start is at).
Result<Motion> planLinearMotion(const Kinematics& kin, const Joints& from, const Pose& target,
                                PathEnd end, double speedPercent);

// The motions of the arm on the controller's clock (seconds). A @P motion blends into the next
// one: during the overlap the two motions' joint displacements add up.
class Trajectory {
 public:
  explicit Trajectory(const Joints& at = {}) : rest_(at) {}

  Joints joints(double t) const;
  bool moving(double t) const { return t < endTime(); }
  double endTime() const;
  // A new motion may start at t: nothing moves, or the last motion is @P and decelerating.
  bool accepts(double t) const;
  // Where the next motion starts from: the last motion's target (or stop position).
  Joints plannedEnd() const;
  // Starts a motion planned from plannedEnd() at t. When t is not accepted, or blending would
  // take a joint beyond its limit, the motion waits for the previous one to end. Returns the
  // start time used.
  double start(Motion motion, double t);
  // Stops where the arm is at t.
  void stopAt(double t);

 private:
  struct Segment {
    Motion motion;
    double t0;
  };
  Joints sum(double t) const;

  Joints rest_;  // where the first segment starts
  std::vector<Segment> segments_;
  std::optional<double> stop_;
};

}  // namespace kelvor::robot
