// The camera: an orthographic view of the scene, pure geometry without any drawing. Distances
// keep their proportions in every direction of the view plane, so the scale bar holds wherever
// the camera looks.
//
// Screen coordinates are pixels from the top-left corner, x to the right and y down; the depth
// grows toward the eye. The camera looks at target from the direction given by azimuth (about
// the base's Z, from +X toward +Y) and elevation (from the floor up), both in degrees.
#pragma once

#include <Eigen/Geometry>
#include <optional>
#include <string_view>
#include <vector>

namespace kelvor::view {

using Vec3 = Eigen::Vector3d;

// The standard views. Front looks at the arm from +X (its reach), Y to the right; side from -Y,
// X to the right; top from above, X to the right and Y up; iso from (+X, -Y, +Z).
enum class View { Iso, Front, Side, Top };
std::optional<View> viewFromName(std::string_view name);  // "iso", "front", "side", "top"
const char* viewName(View view);

class Camera {
 public:
  Camera(int width = 800, int height = 600);
  // A standard view that shows all of points (fit()).
  static Camera standard(View view, const std::vector<Vec3>& points, int width, int height);

  double azimuth() const { return azimuth_; }
  double elevation() const { return elevation_; }
  const Vec3& target() const { return target_; }
  double scale() const { return scale_; }  // pixels per millimetre
  int width() const { return width_; }
  int height() const { return height_; }

  void setDirection(double azimuth, double elevation);  // elevation kept within +-90
  void setView(View view);                              // direction only
  void setTarget(const Vec3& target) { target_ = target; }
  void setScale(double pixelsPerMm);  // kept within kMinScale to kMaxScale
  void resize(int width, int height);

  // Unit vectors of the screen's right and up and of the direction toward the eye.
  Vec3 right() const;
  Vec3 up() const;
  Vec3 back() const;

  // World (base frame, mm) to screen x, y (pixels) and depth (mm toward the eye).
  Eigen::Affine3d screenFromWorld() const;
  Vec3 project(const Vec3& world) const { return screenFromWorld() * world; }

  // Mouse gestures, in pixels: orbit turns the view about the target, pan moves the scene with
  // the pointer, zoom scales by factor keeping the point under (x, y) where it is.
  void orbit(double dx, double dy);
  void pan(double dx, double dy);
  void zoom(double factor, double x, double y);
  // Keeps the direction, and centres and scales the view so that every point is inside it
  // with a margin. Nothing changes without points.
  void fit(const std::vector<Vec3>& points);

  static constexpr double kMinScale = 1e-5;
  static constexpr double kMaxScale = 1e3;
  static constexpr double kOrbitDegPerPixel = 0.4;
  static constexpr double kFitFill = 0.9;  // share of the window the fitted points fill

 private:
  double azimuth_ = -45;
  double elevation_ = 35.26438968;
  Vec3 target_ = Vec3::Zero();
  double scale_ = 0.5;
  int width_, height_;
};

}  // namespace kelvor::view
