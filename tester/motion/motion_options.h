// The position records of the motion commands and the Next option.
#pragma once

#include <array>

#include "app/controls.h"

// Position of type P: X, Y, Z, Rx, Ry, Rz, Fig and an eighth element the program keeps at 0
// and never shows.
using PositionP = std::array<float, 8>;
// Positions of type T and J: filled by the library from a PositionP and handed back unchanged.
using PositionT = std::array<float, 11>;
using PositionJ = std::array<float, 9>;

// "NEXT" while the Next box is set, otherwise no string at all.
inline const char* nextArgument(const CheckBox& next) {
  return next.value() == 1 ? "NEXT" : nullptr;
}
