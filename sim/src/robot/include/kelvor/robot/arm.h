// The six-axis arm: standard Denavit-Hartenberg geometry, forward and closed-form inverse
// kinematics, Fig, joint limits, link parameters, calibration set and the calibration rule.
#pragma once

#include <array>
#include <optional>

#include "kelvor/robot/frames.h"
#include "kelvor/robot/result.h"

namespace kelvor::robot {

inline constexpr int kAxes = 6;
using Axes = std::array<double, kAxes>;  // J1 to J6 in degrees

// J format: 9 elements, axes 1 to 6 then three external axes kept as given.
struct Joints {
  Axes axis{};
  std::array<double, 3> external{};
  bool operator==(const Joints&) const = default;
};
using JArray = std::array<double, 9>;
Result<Joints> jointsFromJ(const JArray& j);  // refuses non-finite values
JArray toJ(const Joints& j);

// Joint limits and joint motion limits at 100 % speed. Every range lies inside (-180, 180], so
// a pose and its Fig name exactly one joint set.
struct JointLimit {
  double min, max;  // degrees
  double speed;     // degrees per second
  double accel;     // degrees per second squared
};
inline constexpr std::array<JointLimit, kAxes> kJointLimits{{
    {-170, 170, 250, 1000},
    {-120, 135, 250, 1000},
    {-170, 70, 300, 1200},
    {-170, 170, 400, 1600},
    {-120, 120, 400, 1600},
    {-180, 180, 600, 2400},
}};
// A joint counts as beyond its limit only past this margin (degrees): float rounding of a
// value at the limit is not a violation.
inline constexpr double kLimitMargin = 1e-9;
// Names the first axis beyond its limit ("J3 beyond its limit"), or a non-finite value.
Check checkLimits(const Axes& j);

// Standard Denavit-Hartenberg, joint i: A_i = RotZ(theta_i) * TransZ(s_i) * TransX(a_i) *
// RotX(alpha_i) with theta_i = J_i + CalSet_i + theta0_i.
inline constexpr Axes kTwist{-90, 0, -90, 90, -90, 0};   // alpha_i
inline constexpr Axes kThetaOffset{0, -90, 0, 0, 0, 0};  // theta0_i

// LinkSS: offsets along the joint axes (s_i, mm); LinkAA: link lengths (a_i, mm). The wire's
// seventh element is not part of the arm.
struct LinkParams {
  Axes ss{350, 0, 0, 350, 0, 80};
  Axes aa{50, 300, 50, 0, 0, 0};
  bool operator==(const LinkParams&) const = default;
};
using CalSet = Axes;  // degrees added to each joint angle

// Largest magnitude accepted for a link parameter (mm) and a calibration value (degrees).
inline constexpr double kMaxLink = 100000;
inline constexpr double kMaxCal = 360;
// Refuses what makes no arm of this kind, with the reason: non-finite or huge values, a
// negative link length a_i, a_2 of 0, no forearm (a_3 and s_4 both 0), and a wrist that is not
// spherical (a_4, a_5 or s_5 not 0).
Check checkLinks(const LinkParams& links);
Check checkCalSet(const CalSet& cal);

// Calibration: calibration set += rot and LinkAA += len, joint by joint. Refused (nothing
// changes) when the result is not a valid arm.
struct Calibration {
  LinkParams links;
  CalSet cal{};
};
Result<Calibration> calibrate(const Calibration& now, const Axes& rot, const Axes& len);

// Fig bits: which of the eight inverse-kinematics solutions.
inline constexpr int kFigBack = 1;       // bit 0: wrist centre behind axis 1
inline constexpr int kFigElbowDown = 2;  // bit 1: elbow below the shoulder-wrist line
inline constexpr int kFigFlip = 4;       // bit 2: J5 + CalSet5 negative
inline constexpr int kFigCount = 8;

// Singular positions. Inverse kinematics refuses a wrist centre nearer than kShoulderSingular
// (mm) to axis 1 and an elbow within kElbowSingular (degrees) of stretched. Within
// kWristSingular (degrees) of J5 + CalSet5 = 0 it keeps J4 (of the reference, else 0) and
// turns J6 alone, unless told to refuse.
inline constexpr double kShoulderSingular = 1.0;
inline constexpr double kElbowSingular = 0.1;
inline constexpr double kWristSingular = 0.001;

struct IkOptions {
  // Joints the solution should stay near: J4 at the wrist singularity, and with nearReference
  // each angle's turn (the multiple of 360 nearest the reference instead of (-180, 180]).
  const Axes* reference = nullptr;
  bool nearReference = false;
  bool refuseWristSingularity = false;
};

// How near a joint set is to each singular position.
struct Nearness {
  double shoulder;  // mm from the wrist centre to axis 1
  double elbow;     // degrees from stretched
  double wrist;     // degrees from J5 + CalSet5 = 0
};

class Arm {
 public:
  Arm() = default;  // default link parameters, calibration set 0
  static Result<Arm> make(const LinkParams& links, const CalSet& cal);

  const LinkParams& links() const { return links_; }
  const CalSet& calSet() const { return cal_; }

  // Frames of the base (0) and of joints 1 to 6 in the base frame; frame 6 is the flange.
  std::array<Frame, kAxes + 1> frames(const Axes& j) const;
  Frame flange(const Axes& j) const;
  // The Fig of a joint set.
  int figOf(const Axes& j) const;
  Nearness nearness(const Axes& j) const;
  // Closed-form inverse kinematics of the flange frame for one Fig; the result is within
  // the joint limits or an error says why not.
  Result<Axes> inverse(const Frame& flange, int fig, const IkOptions& options = {}) const;

 private:
  Arm(const LinkParams& links, const CalSet& cal) : links_(links), cal_(cal) {}
  Vec3 wristCentre(const Frame& flange) const;
  Rot baseToForearm(double th1, double th2, double th3) const;  // rotation of frame 3 (radians)

  LinkParams links_;
  CalSet cal_{};
};

// Text of a joint-limit failure: "J3 beyond its limit".
Error limitError(int axis);

}  // namespace kelvor::robot
