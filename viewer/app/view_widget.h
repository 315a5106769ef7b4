// The 3D view: draws the scene with the software renderer and turns mouse gestures into camera
// moves. Until the user moves the camera it keeps the standard view fitted to the arm's reach.
// While the arm or the camera moves, frames are drawn without antialiasing; a moment after the
// last change the view is drawn once more in full quality.
#pragma once

#include <QPoint>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "scene/camera.h"
#include "scene/scene.h"

namespace kelvor::view {

class ViewWidget : public QWidget {
 public:
  explicit ViewWidget(View view, QWidget* parent = nullptr);

  void setScene(std::shared_ptr<const Scene> scene);
  void setBanner(const QString& banner);  // empty: none
  // A standard view, fitted to the arm's reach, the areas and the work frame.
  void showView(View view);
  // Keeps the direction and fits the arm as it stands now.
  void fitArm();

  const Camera& camera() const { return camera_; }
  const Scene& scene() const { return *scene_; }
  const QString& banner() const { return banner_; }

  static constexpr double kWheelZoomPerNotch = 1.2;
  static constexpr int kSettleMs = 150;  // quiet time before the full-quality frame

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  Camera camera_;
  std::shared_ptr<const Scene> scene_;
  void changed();  // repaints now, quickly, and in full quality once things settle

  QString banner_;
  QTimer settle_;
  bool fast_ = false;
  bool fitted_ = true;  // the camera follows the standard fit until the user moves it
  QPoint last_;
};

}  // namespace kelvor::view
