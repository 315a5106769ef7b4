// Readings as the link delivers them, for tests that need no controller.
#pragma once

#include "state/controller_state.h"

namespace kelvor::view::test {

// The default arm at J = 0 with tool 1 (145 mm along the flange's Z) and work 0: the tool
// centre point is at (625, 0, 700).
inline Reading defaultArmReading() {
  Reading r;
  r.connected = r.complete = r.known = true;
  r.serial = 1;
  ControllerState& s = r.state;
  s.linkSs = HRecord7{350, 0, 0, 350, 0, 80, 0};
  s.linkAa = HRecord7{50, 300, 50, 0, 0, 0, 0};
  s.cal = HRecord7{};
  s.toolNo = 1;
  s.tool = HRecord7{0, 0, 145, 0, 0, 0, 0};
  s.workNo = 0;
  s.work = HRecord7{};
  s.motion = 0;
  s.motor = 0;
  s.mode = 4;
  s.error = 0;
  return r;
}

}  // namespace kelvor::view::test
