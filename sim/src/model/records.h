// The controller's fixed-size records, as they travel in the protocol, and its table sizes.
#pragma once

#include <array>
#include <cstddef>

namespace kelvor::sim::model {

using V = std::array<float, 3>;      // a vector
using H = std::array<float, 7>;      // tool, work, calibration and link records
using P = std::array<float, 8>;      // X, Y, Z, three angles, Fig, extra axis
using J = std::array<float, 9>;      // joint angles 1 to 6, then external axes
using T = std::array<float, 11>;     // X, Y, Z, orientation vector, approach vector, Fig, extra
using Area = std::array<float, 14>;  // an area definition

inline constexpr int kVarCount = 1000;    // I, F, D, V, P, J, T: 0 to 999
inline constexpr int kVarSCount = 100;    // S: 0 to 99
inline constexpr int kVarIOCount = 2048;  // IO: 0 to 2047
inline constexpr size_t kMaxVarS = 1024;  // bytes of a string variable
inline constexpr int kToolCount = 64;     // tools and works 0 to 63
inline constexpr int kAreaCount = 32;     // areas 0 to 31
inline constexpr int kTaskCount = 8;      // tasks 1 to 8
inline constexpr size_t kMaxProgramName = 32;

}  // namespace kelvor::sim::model
