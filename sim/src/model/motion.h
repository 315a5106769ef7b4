// Motions: what a motion request asks for and how the controller keeps track of the motions it
// has accepted.
#pragma once

#include <cstdint>
#include <string>

#include "model/clock.h"
#include "model/records.h"
#include "model/status.h"

namespace kelvor::sim::model {

using MotionId = uint64_t;

// A decoded motion request.
struct MotionRequest {
  int32_t comp = 0;  // interpolation: 0 default, 1 "P" (joint space), 2 "L" (linear)
  P target{};        // where the motion ends
  std::string path;  // path option: "@0", "@E", "@P", ...
  std::string next;  // "NEXT": answer as soon as the motion is accepted
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
