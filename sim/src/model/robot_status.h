// Between the controller's float records and codes and the robot model's types.
#pragma once

#include <array>
#include <cstddef>

#include "kelvor/robot/arm.h"
#include "kelvor/robot/frames.h"
#include "kelvor/robot/result.h"
#include "model/records.h"
#include "model/status.h"

namespace kelvor::sim::model {

// The controller's refusal for a failure of the robot model: its kind chooses the code, its
// text is the description.
Status refusal(const robot::Error& error);

// The six axes of a link parameter or calibration record (its seventh element is not part of
// the arm).
robot::Axes axesOf(const H& record);

template <std::size_t N>
std::array<double, N> wide(const std::array<float, N>& record) {
  return robot::convertArray<double>(record);
}
template <std::size_t N>
std::array<float, N> narrow(const std::array<double, N>& record) {
  return robot::convertArray<float>(record);
}

}  // namespace kelvor::sim::model
