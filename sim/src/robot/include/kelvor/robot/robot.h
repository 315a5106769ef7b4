// The robot model: geometry, positions, motions and areas of a small six-axis arm.
#pragma once

#include "kelvor/robot/areas.h"
#include "kelvor/robot/arm.h"
#include "kelvor/robot/defaults.h"
#include "kelvor/robot/frames.h"
#include "kelvor/robot/motion.h"
#include "kelvor/robot/positions.h"
#include "kelvor/robot/result.h"
