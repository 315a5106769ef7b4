// Motions: what a motion request asks for and how the controller keeps track of the motions it
// has accepted.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "kelvor/robot/arm.h"
#include "kelvor/robot/positions.h"
#include "model/clock.h"
#include "model/records.h"
#include "model/status.h"

namespace kelvor::sim::model {

using MotionId = uint64_t;

// Where a motion goes: joints (MoveJ, DriveA, Drive) or a position of the tool centre point in
// the work frame with its Fig (MoveP, MoveT, Approach, Depart).
using MotionTarget = std::variant<robot::Joints, robot::Pose>;

// Interpolation (Comp): 0 the default (joint), 1 "P" joint interpolation, 2 "L" linear.
inline constexpr int32_t kCompDefault = 0;
inline constexpr int32_t kCompJoint = 1;
inline constexpr int32_t kCompLinear = 2;

// A decoded motion request.
struct MotionRequest {
  int32_t comp = kCompDefault;
  MotionTarget target = robot::Joints{};
  std::string path;  // "@0" (or ""), "@E", "@P"
  std::string next;  // "NEXT": answer as soon as the motion is accepted; "": at its end
};

// An accepted motion, as the request that started it sees it.
struct MotionTicket {
  MotionId id = 0;
  bool replyAtEnd = true;  // the reply waits until the motion has ended
};

// Where a motion stands as of the controller's last tick.
struct MotionProgress {
  bool running = false;
  Time expectedEnd{};  // while running: when it will end unless something stops it
  Status result;       // once ended: how it ended
};

}  // namespace kelvor::sim::model
