#include "model/kinematics.h"

#include <cmath>

namespace kelvor::sim::model {

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180.0;

}  // namespace

// Joints: X, Y, Z halved, A, B, C as they are, the extra axis on joint 7.
J p2j(const P& p) {
  J j{};
  for (int i = 0; i < 3; ++i) j[i] = p[i] * 0.5f;
  for (int i = 3; i < 6; ++i) j[i] = p[i];
  j[6] = p[7];
  return j;
}

P j2p(const J& j, int fig) {
  P p{};
  for (int i = 0; i < 3; ++i) p[i] = j[i] * 2.0f;
  for (int i = 3; i < 6; ++i) p[i] = j[i];
  p[6] = static_cast<float>(fig);
  p[7] = j[6];
  return p;
}

// Z-Y-Z Euler angles A, B, C to the orientation (second) and approach (third) columns of
// R = Rz(A) Ry(B) Rz(C).
T p2t(const P& p) {
  const double a = p[3] * kDeg, b = p[4] * kDeg, c = p[5] * kDeg;
  const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
  const double cc = std::cos(c), sc = std::sin(c);
  T t{};
  t[0] = p[0];
  t[1] = p[1];
  t[2] = p[2];
  t[3] = static_cast<float>(-ca * cb * sc - sa * cc);
  t[4] = static_cast<float>(-sa * cb * sc + ca * cc);
  t[5] = static_cast<float>(sb * sc);
  t[6] = static_cast<float>(ca * sb);
  t[7] = static_cast<float>(sa * sb);
  t[8] = static_cast<float>(cb);
  t[9] = p[6];
  t[10] = p[7];
  return t;
}

P t2p(const T& t) {
  const double ox = t[3], oy = t[4], oz = t[5], ax = t[6], ay = t[7], az = t[8];
  // Normal vector n = o x a; only its z component is needed.
  const double nz = ox * ay - oy * ax;
  P p{};
  p[0] = t[0];
  p[1] = t[1];
  p[2] = t[2];
  const double sb = std::sqrt(ax * ax + ay * ay);
  double a = 0, b = 0, c = 0;
  if (sb > 1e-9) {
    a = std::atan2(ay, ax);
    b = std::atan2(sb, az);
    c = std::atan2(oz, -nz);
  } else {
    // B = 0 or 180: only A + C (or A - C) is defined; put it all on C.
    b = az > 0 ? 0.0 : 180.0 * kDeg;
    c = az > 0 ? std::atan2(-ox, oy) : std::atan2(ox, oy);
  }
  p[3] = static_cast<float>(a / kDeg);
  p[4] = static_cast<float>(b / kDeg);
  p[5] = static_cast<float>(c / kDeg);
  p[6] = t[9];
  p[7] = t[10];
  return p;
}

}  // namespace kelvor::sim::model
