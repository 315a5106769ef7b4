// Tool, work and area definitions a new controller starts with. Numbers not listed are all 0
// (tool 0 and work 0 are the identity; an area of zeros is disabled).
#pragma once

#include <array>

#include "kelvor/robot/areas.h"
#include "kelvor/robot/frames.h"

namespace kelvor::robot {

// Tools 0 to 3: none (the flange), a parallel gripper, a welding torch bent 25 degrees, an
// offset vacuum cup.
inline constexpr std::array<HRecord, 4> kDefaultTools{{
    {0, 0, 0, 0, 0, 0, 0},
    {0, 0, 145, 0, 0, 0, 0},
    {0, -60, 310, 25, 0, 0, 0},
    {45, 0, 95, 0, 0, 0, 0},
}};

// Works 0 to 3: the base, a table in front, a fixture turned 90 degrees to the right, a plate
// tilted 15 degrees.
inline constexpr std::array<HRecord, 4> kDefaultWorks{{
    {0, 0, 0, 0, 0, 0, 0},
    {350, -200, 100, 0, 0, 0, 0},
    {250, 300, 50, 0, 0, -90, 0},
    {400, 0, 200, 0, 15, 0, 0},
}};

// Areas 0 to 3 (base frame):
//   0 the work zone in front: I/O 1000 shows the TCP is in it
//   1 a forbidden zone on the left (a column): entering stops the arm with an error, I/O 1001
//   2 the cell: leaving it stops the arm with an error, I/O 1002 (disabled)
//   3 a conveyor turned 30 degrees: I/O 1003 (disabled)
inline constexpr std::array<AreaRecord, 4> kDefaultAreas{{
    {450, 0, 250, 0, 0, 0, 300, 400, 300, 1000, 0, 0, 1, 0},
    {200, -450, 300, 0, 0, 0, 250, 200, 600, 1001, 0, 1, 1, 0},
    {0, 0, 500, 0, 0, 0, 1600, 1600, 1200, 1002, 1, 1, 0, 0},
    {300, 350, 150, 0, 0, 30, 500, 200, 200, 1003, 0, 0, 0, 0},
}};

}  // namespace kelvor::robot
