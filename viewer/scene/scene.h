// The scene: what the viewer draws, as flat faces, line segments, markers and labels in the
// base frame, built from the arm model. Pure geometry and colours; render/ turns it into
// pixels for a camera.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "scene/camera.h"
#include "state/arm_model.h"

namespace kelvor::view {

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba&) const = default;
};

// What a primitive belongs to; the renderer can draw one layer alone (the tests' masks).
enum class Layer : std::uint8_t {
  Floor,  // the grid and the base axes on it
  Area,   // the enabled areas
  Arm,    // everything that moves with the joints: links, axes, flange, tool, TCP frame
  Work,   // the current work frame
  Path,   // the path of the tool centre point
};

// A flat face of a solid or a translucent box: a triangle or a quadrangle.
struct Face {
  std::array<Vec3, 4> p;
  int corners = 4;
  Vec3 normal = Vec3::UnitZ();  // outward
  Rgba colour;
  bool solid = true;  // part of a closed solid: hidden when it faces away from the eye
  Layer layer = Layer::Arm;
};

struct Line {
  Vec3 a = Vec3::Zero(), b = Vec3::Zero();
  Rgba colour;
  float width = 1;     // pixels
  bool onTop = false;  // drawn over the solids (frames, path) instead of among them
  Layer layer = Layer::Arm;
};

// A dot of a fixed size on the screen: joint origins and the tool centre point.
struct Marker {
  Vec3 at = Vec3::Zero();
  Rgba fill;
  float radius = 3.5f;  // pixels
  Layer layer = Layer::Arm;
};

struct Label {
  Vec3 at = Vec3::Zero();
  std::string text;
  Rgba colour;
  Layer layer = Layer::Arm;
};

struct Scene {
  std::vector<Face> faces;
  std::vector<Line> lines;
  std::vector<Marker> markers;  // drawn last, in this order
  std::vector<Label> labels;
  double gridStep = 0;  // mm between grid lines
  // What the standard views fit: the arm's reach at any pose, the areas and the work frame.
  std::vector<Vec3> envelope;
  // What "fit" fits: the arm as it stands now, with its tool.
  std::vector<Vec3> armNow;
};

// The colours the scene uses, named once.
namespace palette {
inline constexpr Rgba kGrid{150, 156, 166, 255};
inline constexpr Rgba kBase{88, 94, 104, 255};
inline constexpr Rgba kLink{236, 148, 34, 255};
inline constexpr Rgba kHub{112, 118, 130, 255};
inline constexpr Rgba kFlange{176, 180, 190, 255};
inline constexpr Rgba kTool{64, 66, 72, 255};
inline constexpr Rgba kJointAxis{30, 30, 36, 200};
inline constexpr Rgba kJointMarker{255, 255, 255, 255};
inline constexpr Rgba kTcpMarker{255, 230, 0, 255};
inline constexpr Rgba kX{220, 30, 30, 255};
inline constexpr Rgba kY{20, 160, 40, 255};
inline constexpr Rgba kZ{30, 80, 230, 255};
inline constexpr Rgba kArea{40, 130, 230, 70};
inline constexpr Rgba kAreaEdge{20, 90, 190, 220};
inline constexpr Rgba kStopArea{230, 40, 40, 80};
inline constexpr Rgba kStopAreaEdge{190, 20, 20, 230};
inline constexpr Rgba kPath{200, 30, 200, 255};
inline constexpr Rgba kText{20, 24, 30, 255};
}  // namespace palette

Scene buildScene(const ArmModel& model);

// A round number of millimetres (1, 2 or 5 times a power of ten) near span / 10.
double niceStep(double span);

}  // namespace kelvor::view
