// The position records of the motion commands and the Next option.
#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>

// Position of type P: X, Y, Z, Rx, Ry, Rz, Fig and an eighth element the program keeps at 0
// and never shows.
using PositionP = std::array<float, 8>;
// Positions of type T and J: filled by the library from a PositionP and handed back unchanged.
using PositionT = std::array<float, 11>;
using PositionJ = std::array<float, 9>;

// The options under the pose fields, as the motion calls take them.
struct MotionOptions {
  int32_t comp = 0;            // item data of the selected Comp item: 1 "P", 2 "L"
  QByteArray path;             // text of the selected Path item, in the system code page
  float length = 0.0f;         // the Length field
  const char* next = nullptr;  // "NEXT" while the Next box is set, otherwise no string at all
};

// Which options beyond Path and Next a command reads.
enum MotionInputs : unsigned { kWithComp = 1u << 0, kWithLength = 1u << 1 };
