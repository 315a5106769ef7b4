// The controller's state made into an arm: kinematics from its link parameters and calibration
// set, the joint frames, the tool centre point, the work frame, the enabled areas and the path
// the tool centre point travelled. The same robot-model library computes the controller's own
// positions, so what is drawn is where the controller says the arm is.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "kelvor/robot/robot.h"
#include "state/controller_state.h"

namespace kelvor::view {

struct AreaBox {
  int no = 0;  // area number 0 to 31
  robot::Area area;
};

struct PathPoint {
  robot::Vec3 at = robot::Vec3::Zero();  // tool centre point in the base frame
  double age = 0;                        // seconds before the newest read
};

struct ArmModel {
  // The arm's geometry; empty when the link parameters or the calibration set are missing or
  // describe no arm. problem then says why.
  std::optional<robot::Kinematics> kin;
  std::string problem;
  robot::Joints joints;
  // With kin: the base frame and the frames of joints 1 to 6 (6 is the flange), the tool centre
  // point in the base frame and the position (tool centre point in the work frame, with Fig).
  std::array<robot::Frame, robot::kAxes + 1> frames;
  robot::Frame tcp = robot::Frame::Identity();
  std::optional<robot::Pose> pose;
  robot::Frame work = robot::Frame::Identity();  // the current work frame in the base frame
  std::optional<int> workNo;
  std::vector<AreaBox> areas;   // enabled areas whose records are valid
  std::vector<PathPoint> path;  // oldest first
};

ArmModel makeArmModel(const Reading& reading);

// An upper bound of the distance from axis 1 that the tool centre point can reach, and of its
// height above the base: the box the standard views fit, whatever the pose.
struct Reach {
  double radius = 0;  // from axis 1
  double top = 0;     // highest point
};
Reach reachOf(const robot::Kinematics& kin);

}  // namespace kelvor::view
