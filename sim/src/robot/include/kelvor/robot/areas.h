// Areas: boxes in the base frame watched against the tool centre point during motions.
#pragma once

#include <array>
#include <vector>

#include "kelvor/robot/frames.h"
#include "kelvor/robot/motion.h"
#include "kelvor/robot/positions.h"
#include "kelvor/robot/result.h"

namespace kelvor::robot {

// Area record: centre X, Y, Z (mm, base frame), RX, RY, RZ (degrees, the box's orientation by
// rotationFromRpy), edge lengths Dx, Dy, Dz (mm, along the box's own axes), I/O variable
// number, Pos (0: entering counts, 1: leaving counts), Err (1: stop and latch an error),
// Enable (1: watched), one spare element.
using AreaRecord = std::array<double, 14>;

struct Area {
  Frame box = Frame::Identity();  // centre and orientation in the base frame
  Vec3 size = Vec3::Zero();       // edge lengths
  int io = 0;
  bool leaving = false;  // Pos 1
  bool error = false;    // Err 1
  bool enabled = false;  // Enable 1
};

// Refuses non-finite values, negative edge lengths, an I/O number that is not an integer from
// 0 to maxIo, and Pos, Err or Enable other than 0 or 1.
Result<Area> areaFromRecord(const AreaRecord& rec, int maxIo);

// Whether a point of the base frame is inside the box (the faces count as inside).
bool inside(const Area& area, const Vec3& point);
// The area's condition: inside for Pos 0, outside for Pos 1. Its I/O variable shows it (1 when
// the condition holds); the moment it becomes true is the one that counts (and stops the arm
// with Err).
bool counts(const Area& area, const Vec3& point);

struct AreaEvent {
  int area = 0;         // index in the list given
  double time = 0;      // seconds on the trajectory's clock
  bool counts = false;  // the condition became true (entered, or left with Pos 1) or false
};
inline constexpr double kAreaStep = 0.001;          // seconds
inline constexpr double kAreaTimeTolerance = 1e-7;  // seconds
inline constexpr int kMaxAreaSamples = 200000;
// Every change of an enabled area's condition while the TCP (of kin's tool, in the base frame)
// follows the trajectory from t0 to t1, in time order. The path is sampled every kAreaStep (or
// in kMaxAreaSamples steps over a long, slow interval) and each change is located to
// kAreaTimeTolerance. A box the TCP crosses within one step may be missed.
std::vector<AreaEvent> areaEvents(const Trajectory& trajectory, const Kinematics& kin,
                                  const std::vector<Area>& areas, double t0, double t1);

}  // namespace kelvor::robot
