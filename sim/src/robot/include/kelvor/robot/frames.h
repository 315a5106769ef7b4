// Frames and the rotation rule shared by P positions and tool, work and area records.
#pragma once

#include <Eigen/Geometry>
#include <array>

#include "kelvor/robot/result.h"

namespace kelvor::robot {

using Vec3 = Eigen::Vector3d;
using Rot = Eigen::Matrix3d;
using Frame = Eigen::Isometry3d;

// Angle in degrees mapped to (-180, 180].
double wrapDeg(double deg);
// Cosine and sine of degrees, exact at multiples of 90 (so that J = 0 gives exact zeros).
double cosDeg(double deg);
double sinDeg(double deg);

// R = RotZ(rz) * RotY(ry) * RotX(rx), degrees: roll Rx, pitch Ry, yaw Rz about the fixed axes.
Rot rotationFromRpy(double rx, double ry, double rz);

struct Rpy {
  double rx = 0, ry = 0, rz = 0;
};
// The canonical angles of a rotation: Ry in [-90, 90], Rx and Rz in (-180, 180]. At Ry = +-90
// (cos Ry below kGimbalCos) only Rz - Rx or Rz + Rx is defined: Rx is then 0 and Rz carries
// the whole turn about the vertical. An Rx or Rz within kHalfTurnSnap of -180 reads 180, so
// that it stays in the range as a float (which cannot tell -179.999999 from -180).
Rpy rpyFromRotation(const Rot& r);
inline constexpr double kGimbalCos = 1e-10;
inline constexpr double kHalfTurnSnap = 1e-5;

Frame frameFromXyzRpy(double x, double y, double z, double rx, double ry, double rz);

// Tool and work records: X, Y, Z (mm), RX, RY, RZ (degrees, rule above), one spare element.
using HRecord = std::array<double, 7>;
// Refuses non-finite values. The spare element is ignored.
Result<Frame> frameFromH(const HRecord& h);
HRecord toH(const Frame& f, double spare = 0);

// Values within this distance of 0 are reported as 0 (mm and degrees), so that J = 0 reads
// Y 0 and not 1e-14.
inline constexpr double kTidyZero = 1e-9;
double tidy(double v);

// Conversions between the float arrays of the wire and the double arrays of the model.
template <class To, class From, std::size_t N>
std::array<To, N> convertArray(const std::array<From, N>& in) {
  std::array<To, N> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = static_cast<To>(in[i]);
  return out;
}

}  // namespace kelvor::robot
