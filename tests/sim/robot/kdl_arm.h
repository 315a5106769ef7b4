// The arm's Denavit-Hartenberg chain built with Orocos KDL from its numbers alone, for checks
// that do not use the robot model: the documented twists, offsets and joint limits, the link
// parameters and the calibration set.
#pragma once

#include <array>
#include <cmath>
#include <kdl/chain.hpp>
#include <kdl/frames.hpp>
#include <kdl/jntarray.hpp>
#include <numbers>
#include <random>

namespace kelvor::test::kdl {

inline constexpr double kRad = std::numbers::pi / 180;
using Six = std::array<double, 6>;

// Fixed twists alpha_i and joint offsets theta0_i (degrees), and the joint limits.
inline constexpr Six kTwist{-90, 0, -90, 90, -90, 0};
inline constexpr Six kThetaOffset{0, -90, 0, 0, 0, 0};
inline constexpr Six kMin{-170, -120, -170, -170, -120, -180};
inline constexpr Six kMax{170, 135, 70, 170, 120, 180};

// Joint i: RotZ(J_i + cal_i + theta0_i) * TransZ(ss_i) * TransX(aa_i) * RotX(alpha_i).
inline KDL::Chain chainOf(const Six& ss, const Six& aa, const Six& cal) {
  KDL::Chain chain;
  for (int i = 0; i < 6; ++i) {
    // The fixed part of theta goes into the tip frame: a KDL segment cancels a joint offset
    // against its tip frame.
    const double theta = (cal[i] + kThetaOffset[i]) * kRad;
    chain.addSegment(KDL::Segment(KDL::Joint(KDL::Joint::RotZ),
                                  KDL::Frame::DH(aa[i], kTwist[i] * kRad, ss[i], theta)));
  }
  return chain;
}

inline KDL::JntArray jointsOf(const Six& degrees) {
  KDL::JntArray q(6);
  for (int i = 0; i < 6; ++i) q(i) = degrees[i] * kRad;
  return q;
}

// X, Y, Z and the fixed-axis roll, pitch and yaw Rx, Ry, Rz in degrees.
inline KDL::Frame frameOf(double x, double y, double z, double rx, double ry, double rz) {
  return KDL::Frame(KDL::Rotation::RPY(rx * kRad, ry * kRad, rz * kRad), KDL::Vector(x, y, z));
}

// Joint angles uniformly within the limits.
inline Six randomJoints(std::mt19937& rng) {
  Six j;
  for (int i = 0; i < 6; ++i) j[i] = std::uniform_real_distribution<double>(kMin[i], kMax[i])(rng);
  return j;
}

// How far apart two frames are: mm between the origins, degrees of the rotation between them.
inline double mmApart(const KDL::Frame& a, const KDL::Frame& b) { return (a.p - b.p).Norm(); }
inline double degApart(const KDL::Frame& a, const KDL::Frame& b) {
  double x, y, z, w;  // from the quaternion: exact for small angles too
  (a.M.Inverse() * b.M).GetQuaternion(x, y, z, w);
  return 2 * std::atan2(std::sqrt(x * x + y * y + z * z), std::abs(w)) / kRad;
}

}  // namespace kelvor::test::kdl
