// Positions of the tool centre point in the work frame, the P and T formats, the tool and work
// frames, and the deviations, approach and depart offsets.
#pragma once

#include <array>

#include "kelvor/robot/arm.h"
#include "kelvor/robot/frames.h"
#include "kelvor/robot/result.h"

namespace kelvor::robot {

// A position: the tool centre point (TCP) in the work frame, its Fig and the extra axis.
struct Pose {
  Frame frame = Frame::Identity();
  int fig = 0;
  double extra = 0;
};

// P format: X, Y, Z (mm), Rx, Ry, Rz (degrees, rotationFromRpy), Fig, extra axis. The 7-element
// form (H record with Fig in element 6, as Dev and DevH take it) has no extra axis.
using PArray = std::array<double, 8>;
using P7Array = std::array<double, 7>;
// T format: X, Y, Z, orientation vector (the tool's Y axis), approach vector (its Z axis), Fig,
// extra axis.
using TArray = std::array<double, 11>;

// Refuse non-finite values and a Fig that is not an integer from 0 to 7.
Result<Pose> poseFromP(const PArray& p);
Result<Pose> poseFromP(const P7Array& p);
// The orientation and approach vectors must be unit vectors (within kVectorTolerance) and
// perpendicular (their dot product within kVectorTolerance of 0); the frame is then made exactly
// orthonormal, keeping the approach direction.
Result<Pose> poseFromT(const TArray& t);
inline constexpr double kVectorTolerance = 1e-3;

PArray toP(const Pose& pose);
P7Array toP7(const Pose& pose);
TArray toT(const Pose& pose);

// The arm with its current tool (flange to TCP) and work (base to work frame).
class Kinematics {
 public:
  explicit Kinematics(Arm arm = {}, Frame tool = Frame::Identity(), Frame work = Frame::Identity())
      : arm_(std::move(arm)), tool_(tool), work_(work) {}

  const Arm& arm() const { return arm_; }
  const Frame& tool() const { return tool_; }
  const Frame& work() const { return work_; }

  Frame tcpInBase(const Axes& j) const { return arm_.flange(j) * tool_; }
  // J2P and J2T: the TCP in the work frame, the Fig of the joints, extra axis = J element 6.
  Pose toPose(const Joints& j) const;
  // P2J and T2J for the pose's Fig. External axes: element 6 is the pose's extra axis, 7 and 8
  // those of the reference when one is given, else 0.
  Result<Joints> toJoints(const Pose& pose, const IkOptions& options = {},
                          const Joints* referenceExternal = nullptr) const;
  Frame flangeFor(const Frame& tcpInWork) const { return work_ * tcpInWork * tool_.inverse(); }

 private:
  Arm arm_;
  Frame tool_;
  Frame work_;
};

// Dev: shifts by the offset's X, Y, Z in the work frame and turns by its rotation about the
// TCP, both in the work frame's axes. DevH: the same in the tool frame (base * offset).
// Fig and extra axis are kept.
Pose dev(const Pose& base, const Frame& offset);
Pose devH(const Pose& base, const Frame& offset);
// The target backed off by length along the tool's approach axis (its Z): approach positions
// and depart from the current position.
Pose backOff(const Pose& target, double length);

}  // namespace kelvor::robot
