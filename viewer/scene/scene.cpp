#include "scene/scene.h"

#include <algorithm>
#include <cmath>

namespace kelvor::view {

namespace {

using robot::Frame;
using robot::kAxes;

constexpr double kPi = 3.14159265358979323846;
constexpr int kSides = 16;                // faces around a cylinder
constexpr double kPieceLength = 1.5;      // longest piece of a cylinder's side, in radii
constexpr double kTiny = 1e-6;            // mm: shorter segments are not drawn
constexpr double kSizeWithoutArm = 1000;  // mm: grid and views when there is no arm

// Proportions of the drawn arm, as shares of its reach: the radius of the rod along s_i and
// along a_i of joint i, and of the hub of joint i around its axis.
constexpr std::array<double, kAxes> kRodS{0.090, 0.060, 0.050, 0.045, 0.035, 0.033};
constexpr std::array<double, kAxes> kRodA{0.070, 0.055, 0.050, 0.040, 0.035, 0.030};
constexpr std::array<double, kAxes> kHub{0.000, 0.075, 0.062, 0.052, 0.045, 0.040};
constexpr double kHubLength = 2.6;  // hub length in hub radii
constexpr double kAxisOut = 0.06;   // joint axis lines reach this far out of their hub
constexpr double kPlateRadius = 0.16, kPlateHeight = 0.04;
constexpr double kFlangeRadius = 0.05, kFlangeThickness = 0.012;
constexpr double kToolRadius = 0.012;
constexpr double kTcpAxes = 0.15, kWorkAxes = 0.2;

class Builder {
 public:
  explicit Builder(Scene& s) : s_(s) {}

  // A closed cylinder from a to b; its side is cut into short pieces so that the painter's
  // depth order stays right where solids meet.
  void cylinder(const Vec3& a, const Vec3& b, double r, Rgba colour, Layer layer) {
    const Vec3 axis = b - a;
    const double length = axis.norm();
    if (length < kTiny || r <= 0) return;
    const Vec3 d = axis / length;
    const Vec3 u = d.unitOrthogonal(), v = d.cross(u);
    const int pieces = std::clamp(static_cast<int>(std::ceil(length / (kPieceLength * r))), 1, 24);
    std::array<Vec3, kSides> ring;
    for (int k = 0; k < kSides; ++k) {
      const double t = 2 * kPi * k / kSides;
      ring[k] = r * (std::cos(t) * u + std::sin(t) * v);
    }
    for (int k = 0; k < kSides; ++k) {
      const Vec3& r0 = ring[k];
      const Vec3& r1 = ring[(k + 1) % kSides];
      const Vec3 normal = (r0 + r1).normalized();
      for (int p = 0; p < pieces; ++p) {
        const Vec3 c0 = a + axis * (double(p) / pieces), c1 = a + axis * (double(p + 1) / pieces);
        face({c0 + r0, c0 + r1, c1 + r1, c1 + r0}, 4, normal, colour, true, layer);
      }
    }
    for (int k = 0; k < kSides; ++k) {  // the caps, as fans
      const Vec3& r0 = ring[k];
      const Vec3& r1 = ring[(k + 1) % kSides];
      face({a, a + r1, a + r0, a}, 3, -d, colour, true, layer);
      face({b, b + r0, b + r1, b}, 3, d, colour, true, layer);
    }
  }

  void face(const std::array<Vec3, 4>& p, int corners, const Vec3& normal, Rgba colour, bool solid,
            Layer layer) {
    s_.faces.push_back({p, corners, normal, colour, solid, layer});
  }

  void line(const Vec3& a, const Vec3& b, Rgba colour, float width, bool onTop, Layer layer) {
    s_.lines.push_back({a, b, colour, width, onTop, layer});
  }

  // X, Y and Z of a frame in red, green and blue.
  void axes(const Frame& f, double length, float width, Layer layer) {
    const Vec3 o = f.translation();
    const Rgba colours[3] = {palette::kX, palette::kY, palette::kZ};
    for (int i = 0; i < 3; ++i) {
      line(o, o + length * f.linear().col(i), colours[i], width, true, layer);
    }
  }

  void label(const Vec3& at, std::string text, Layer layer) {
    s_.labels.push_back({at, std::move(text), palette::kText, layer});
  }

 private:
  Scene& s_;
};

void addGrid(Scene& s, double radius) {
  s.gridStep = niceStep(radius);
  const int n = static_cast<int>(std::ceil(radius / s.gridStep));
  const double e = n * s.gridStep;
  for (int i = -n; i <= n; ++i) {
    const double c = i * s.gridStep;
    Rgba colour = palette::kGrid;
    if (i == 0) colour = {110, 116, 126, 255};
    s.lines.push_back({Vec3(c, -e, 0), Vec3(c, e, 0), colour, 1, false, Layer::Floor});
    s.lines.push_back({Vec3(-e, c, 0), Vec3(e, c, 0), colour, 1, false, Layer::Floor});
  }
}

void addArea(Builder& b, Scene& s, const AreaBox& a) {
  const Rgba fill = a.area.error ? palette::kStopArea : palette::kArea;
  const Rgba edge = a.area.error ? palette::kStopAreaEdge : palette::kAreaEdge;
  const Frame& box = a.area.box;
  const Vec3 h = a.area.size / 2;
  const auto corner = [&](int i) {
    return Vec3(box *
                Vec3((i & 1) ? h.x() : -h.x(), (i & 2) ? h.y() : -h.y(), (i & 4) ? h.z() : -h.z()));
  };
  // Each face: its axis, its side and its corners in order around it.
  struct Side {
    int axis;
    double sign;
    std::array<int, 4> c;
  };
  constexpr std::array<Side, 6> kSidesOfBox{{{0, -1, {0, 4, 6, 2}},
                                             {0, 1, {1, 3, 7, 5}},
                                             {1, -1, {0, 1, 5, 4}},
                                             {1, 1, {2, 6, 7, 3}},
                                             {2, -1, {0, 2, 3, 1}},
                                             {2, 1, {4, 5, 7, 6}}}};
  for (const Side& f : kSidesOfBox) {
    const Vec3 normal = f.sign * box.linear().col(f.axis);
    b.face({corner(f.c[0]), corner(f.c[1]), corner(f.c[2]), corner(f.c[3])}, 4, normal, fill, false,
           Layer::Area);
  }
  for (int i = 0; i < 8; ++i) {
    for (int bit : {1, 2, 4}) {
      if (!(i & bit)) b.line(corner(i), corner(i | bit), edge, 1.5f, false, Layer::Area);
    }
    s.envelope.push_back(corner(i));
  }
  b.label(box * Vec3(0, 0, h.z()), "Area " + std::to_string(a.no), Layer::Area);
}

void addArm(Builder& b, Scene& s, const ArmModel& m, double size) {
  const robot::LinkParams& links = m.kin->arm().links();
  const auto& f = m.frames;
  const Vec3 o0 = f[0].translation();
  b.cylinder(o0, o0 + Vec3(0, 0, kPlateHeight * size), kPlateRadius * size, palette::kBase,
             Layer::Arm);
  for (int i = 0; i < kAxes; ++i) {
    const Vec3 origin = f[i].translation();
    const Vec3 z = f[i].linear().col(2);
    const Vec3 q = origin + links.ss[i] * z;
    const Vec3 next = f[i + 1].translation();
    if (kHub[i] > 0) {
      const double r = kHub[i] * size, half = kHubLength * r / 2;
      b.cylinder(origin - half * z, origin + half * z, r, palette::kHub, Layer::Arm);
    }
    const double axisHalf = (kHub[i] > 0 ? kHubLength * kHub[i] / 2 : kPlateHeight) + kAxisOut;
    const Vec3 axisEnd = i == 0 ? q : origin;
    b.line(origin - axisHalf * size * z, axisEnd + axisHalf * size * z, palette::kJointAxis, 1,
           false, Layer::Arm);
    b.cylinder(origin, q, kRodS[i] * size, i == 0 ? palette::kBase : palette::kLink, Layer::Arm);
    b.cylinder(q, next, kRodA[i] * size, palette::kLink, Layer::Arm);
  }
  const Frame& flange = f[kAxes];
  const Vec3 fz = flange.linear().col(2);
  b.cylinder(flange.translation() - kFlangeThickness * size * fz, flange.translation(),
             kFlangeRadius * size, palette::kFlange, Layer::Arm);
  b.cylinder(flange.translation(), m.tcp.translation(), kToolRadius * size, palette::kTool,
             Layer::Arm);
  b.axes(m.tcp, kTcpAxes * size, 2.5f, Layer::Arm);
  b.label(m.tcp.translation(), "TCP", Layer::Arm);
  for (const Frame& j : f) s.markers.push_back({j.translation(), palette::kJointMarker, 3.5f});
  s.markers.push_back({m.tcp.translation(), palette::kTcpMarker, 4.5f});

  for (const Face& face : s.faces) {
    if (face.layer != Layer::Arm) continue;
    for (int k = 0; k < face.corners; ++k) s.armNow.push_back(face.p[k]);
  }
  s.armNow.push_back(m.tcp.translation());
}

void addPath(Scene& s, const ArmModel& m) {
  if (m.path.size() < 2) return;
  const double oldest = std::max(m.path.front().age, 1e-9);
  for (std::size_t i = 1; i < m.path.size(); ++i) {
    Rgba c = palette::kPath;
    const double fade = std::clamp(m.path[i].age / oldest, 0.0, 1.0);
    c.a = static_cast<std::uint8_t>(std::lround(255 - 190 * fade));
    s.lines.push_back({m.path[i - 1].at, m.path[i].at, c, 2, true, Layer::Path});
  }
}

}  // namespace

double niceStep(double span) {
  if (!(span > 0) || !std::isfinite(span)) return 1;
  const double raw = span / 10;
  const double decade = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0}) {
    if (raw <= m * decade * 1.5) return m * decade;
  }
  return 10 * decade;
}

Scene buildScene(const ArmModel& m) {
  Scene s;
  Builder b(s);
  const Reach reach = m.kin ? reachOf(*m.kin) : Reach{kSizeWithoutArm, kSizeWithoutArm};
  const double size = reach.radius;

  addGrid(s, reach.radius);
  for (int k = 0; k < 24; ++k) {  // the reach: a cylinder about axis 1
    const double t = 2 * kPi * k / 24;
    const Vec3 rim(reach.radius * std::cos(t), reach.radius * std::sin(t), 0);
    s.envelope.push_back(rim);
    s.envelope.push_back(rim + Vec3(0, 0, reach.top));
  }
  for (const AreaBox& a : m.areas) addArea(b, s, a);

  b.axes(m.work, kWorkAxes * size, 1.5f, Layer::Work);
  b.label(m.work.translation(), m.workNo ? "Work " + std::to_string(*m.workNo) : "Work",
          Layer::Work);
  s.envelope.push_back(m.work.translation());

  if (m.kin) addArm(b, s, m, size);
  addPath(s, m);
  return s;
}

}  // namespace kelvor::view
