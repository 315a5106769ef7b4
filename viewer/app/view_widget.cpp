#include "app/view_widget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

#include "render/renderer.h"

namespace kelvor::view {

ViewWidget::ViewWidget(View view, QWidget* parent)
    : QWidget(parent), scene_(std::make_shared<Scene>()) {
  camera_.setView(view);
  setMinimumSize(160, 120);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&settle_, &QTimer::timeout, this, [this] {
    fast_ = false;
    update();
  });
}

void ViewWidget::changed() {
  fast_ = true;
  settle_.start();
  update();
}

void ViewWidget::setScene(std::shared_ptr<const Scene> scene) {
  scene_ = std::move(scene);
  if (fitted_) camera_.fit(scene_->envelope);
  changed();
}

void ViewWidget::setBanner(const QString& banner) {
  if (banner == banner_) return;
  banner_ = banner;
  update();
}

void ViewWidget::showView(View view) {
  camera_.setView(view);
  camera_.fit(scene_->envelope);
  fitted_ = true;
  update();
}

void ViewWidget::fitArm() {
  camera_.fit(scene_->armNow.empty() ? scene_->envelope : scene_->armNow);
  fitted_ = false;  // the arm moves on; the view stays where it was put
  update();
}

void ViewWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  RenderOptions o;
  o.banner = banner_;
  o.fast = fast_;
  kelvor::view::render(p, *scene_, camera_, o);  // not QWidget::render
}

void ViewWidget::resizeEvent(QResizeEvent*) {
  camera_.resize(width(), height());
  if (fitted_) camera_.fit(scene_->envelope);
}

void ViewWidget::mousePressEvent(QMouseEvent* event) {
  last_ = event->position().toPoint();
  setFocus();
}

void ViewWidget::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const QPoint d = at - last_;
  last_ = at;
  const Qt::MouseButtons b = event->buttons();
  const bool panning = (b & (Qt::RightButton | Qt::MiddleButton)) ||
                       ((b & Qt::LeftButton) && (event->modifiers() & Qt::ShiftModifier));
  if (panning) {
    camera_.pan(d.x(), d.y());
  } else if (b & Qt::LeftButton) {
    camera_.orbit(d.x(), d.y());
  } else {
    return;
  }
  fitted_ = false;
  changed();
}

void ViewWidget::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches == 0) return;
  const QPointF at = event->position();
  camera_.zoom(std::pow(kWheelZoomPerNotch, notches), at.x(), at.y());
  fitted_ = false;
  changed();
}

}  // namespace kelvor::view
