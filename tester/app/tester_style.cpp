#include "tester_style.h"

#include <QApplication>
#include <QGroupBox>
#include <QPainter>
#include <QStyleOption>
#include <algorithm>

#include "controls.h"

namespace {

// Fusion's frame sits below the title by the height of the title's line or of a check
// indicator, whichever is higher, plus this.
constexpr int kFrameTopMargin = 3;

}  // namespace

TesterStyle::TesterStyle(QStyle* base)
    : QProxyStyle(base),
      fusion_(baseStyle()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0) {}

void TesterStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const {
  if (element == PE_Frame && dynamic_cast<const FlexGrid*>(widget)) {
    // A grid has a plain dark line around it.
    painter->save();
    painter->setPen(QColor::fromRgb(kGridFrame));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    painter->restore();
    return;
  }
  if (fusion_ && element == PE_FrameLineEdit && !(option->state & State_HasFocus)) {
    // The one text box with the focus is left to Fusion: its glow over the frame would be a
    // step of rounding off all along on a tile.
    const auto paint = [&](QPainter* p, const QRect& rect) {
      QStyleOptionFrame small;
      if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option)) {
        small = *frame;
      } else {
        small.QStyleOption::operator=(*option);
      }
      small.rect = rect;
      baseStyle()->drawPrimitive(PE_FrameLineEdit, &small, p, widget);
    };
    if (drawTiled(kTextBoxFrame, *option, option->rect, painter, false, paint)) return;
  }
  if (element != PE_FrameGroupBox || !fusion_) {
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    return;
  }
  const auto* box = qobject_cast<const QGroupBox*>(widget);
  const bool titled = !box || box->isCheckable() || !box->title().isEmpty();
  const int top = titled ? std::max(pixelMetric(PM_ExclusiveIndicatorHeight, option, widget),
                                    option->fontMetrics.height()) +
                               kFrameTopMargin
                         : kFrameTopMargin;
  // Fusion's look: a rounded gray line around a faint shade with a slightly darker rim, set
  // one pixel in from the left and the top.
  const auto paint = [](QPainter* p, const QRect& outer) {
    const QRect inner = outer.adjusted(1, 1, -1, -1);
    p->save();
    p->fillRect(inner, QColor(0, 0, 0, 0x03));
    p->setBrush(Qt::NoBrush);
    p->setPen(QColor(0, 0, 0, 0x04));
    p->drawRect(inner.adjusted(0, 0, -1, -1));
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(QColor(0x75, 0x75, 0x75, 0x32));
    p->drawRoundedRect(QRectF(outer).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    p->restore();
  };
  const QRect outer = option->rect.adjusted(1, top + 1, 0, 0);
  if (!drawTiled(kGroupFrame, *option, outer, painter, true, paint)) paint(painter, outer);
}

// Fusion strokes each rounded frame with antialiasing, box after box: the costliest part of
// painting the window's 46 text boxes and 8 frames. A frame is the same all along each side,
// its corners within a few pixels of the box's, so it is drawn once on a small tile, and each
// box gets the tile's corners as they are and its sides (and, for a filled frame, its middle)
// stretched: what drawing the frame itself gives, at most a step of rounding off where two
// lines cross (none in the standard palette). The frame is drawn directly where that would not
// hold: through a scaled or rotated painter, on a high-density screen, with a see-through
// painter, or on a box smaller than the tile.
template <class Paint>
bool TesterStyle::drawTiled(TileKind kind, const QStyleOption& option, const QRect& r,
                            QPainter* painter, bool filled, Paint paint) const {
  constexpr int corner = kFrameTile / 2;
  if (r.width() < kFrameTile || r.height() < kFrameTile ||
      painter->deviceTransform().type() > QTransform::TxTranslate ||
      painter->device()->devicePixelRatio() != 1.0 || painter->opacity() != 1.0 ||
      painter->compositionMode() != QPainter::CompositionMode_SourceOver) {
    return false;
  }
  auto tile = std::find_if(frameTiles_.begin(), frameTiles_.end(), [&](const FrameTile& t) {
    return t.kind == kind && t.state == option.state && t.palette == option.palette;
  });
  if (tile == frameTiles_.end()) {
    QImage image(kFrameTile, kFrameTile, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter tilePainter(&image);
      paint(&tilePainter, image.rect());
    }
    // Few states and palettes occur (enabled or not, in the application's palette).
    if (frameTiles_.size() >= 16) frameTiles_.erase(frameTiles_.begin());
    frameTiles_.push_back({kind, option.state, option.palette, QPixmap::fromImage(image)});
    tile = frameTiles_.end() - 1;
  }
  const QPixmap& pix = tile->pixmap;
  const int w = r.width() - 2 * corner, h = r.height() - 2 * corner;
  const int left = r.left() + corner, top = r.top() + corner;
  const int right = r.right() - corner + 1, bottom = r.bottom() - corner + 1;
  constexpr int far = kFrameTile - corner;
  painter->save();
  painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter->drawPixmap(r.left(), r.top(), pix, 0, 0, corner, corner);
  painter->drawPixmap(right, r.top(), pix, far, 0, corner, corner);
  painter->drawPixmap(r.left(), bottom, pix, 0, far, corner, corner);
  painter->drawPixmap(right, bottom, pix, far, far, corner, corner);
  painter->drawPixmap(QRect(left, r.top(), w, corner), pix, QRect(corner, 0, 1, corner));
  painter->drawPixmap(QRect(left, bottom, w, corner), pix, QRect(corner, far, 1, corner));
  painter->drawPixmap(QRect(r.left(), top, corner, h), pix, QRect(0, corner, corner, 1));
  painter->drawPixmap(QRect(right, top, corner, h), pix, QRect(far, corner, corner, 1));
  if (filled) painter->drawPixmap(QRect(left, top, w, h), pix, QRect(corner, corner, 1, 1));
  painter->restore();
  return true;
}

int TesterStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                           QStyleHintReturn* returnData) const {
  if (hint == SH_Table_GridLineColor && dynamic_cast<const FlexGrid*>(widget)) {
    return static_cast<int>(kGridLines);
  }
  return QProxyStyle::styleHint(hint, option, widget, returnData);
}

TesterLook::TesterLook(FontConfigLoader& fonts) {
  fonts.wait();
  QApplication::setStyle(new TesterStyle(QApplication::style()));
}
