// Random joint sets and pose distances shared by the robot model's tests.
#pragma once

#include <Eigen/Geometry>
#include <cmath>
#include <numbers>
#include <random>

#include "kelvor/robot/robot.h"

namespace kelvor::robot::test {

// Joint angles uniformly within the limits.
inline Axes randomAxes(std::mt19937& rng) {
  Axes j;
  for (int i = 0; i < kAxes; ++i) {
    j[i] = std::uniform_real_distribution<double>(kJointLimits[i].min, kJointLimits[i].max)(rng);
  }
  return j;
}

inline double mmApart(const Frame& a, const Frame& b) {
  return (a.translation() - b.translation()).norm();
}

// Angle of the rotation between two frames, degrees.
inline double degApart(const Frame& a, const Frame& b) {
  const Eigen::AngleAxisd d(a.linear().transpose() * b.linear());
  return std::abs(d.angle()) * 180 / std::numbers::pi;
}

inline double maxJointError(const Axes& a, const Axes& b) {
  double e = 0;
  for (int i = 0; i < kAxes; ++i) e = std::max(e, std::abs(a[i] - b[i]));
  return e;
}

// Whether joints are within the inverse kinematics' singular thresholds (with a margin).
inline bool nearSingular(const Arm& arm, const Axes& j, double margin = 2) {
  const Nearness n = arm.nearness(j);
  return n.shoulder < margin * kShoulderSingular || n.elbow < margin * kElbowSingular ||
         n.wrist < margin * kWristSingular;
}

}  // namespace kelvor::robot::test
