#include "tester_style.h"

#include <QApplication>
#include <QGroupBox>
#include <QPainter>
#include <QStyleOption>

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
  const QRect outer = option->rect.adjusted(1, top + 1, 0, 0);
  const QRect inner = outer.adjusted(1, 1, -1, -1);
  painter->save();
  painter->fillRect(inner, QColor(0, 0, 0, 0x03));
  painter->setBrush(Qt::NoBrush);
  painter->setPen(QColor(0, 0, 0, 0x04));
  painter->drawRect(inner.adjusted(0, 0, -1, -1));
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(QColor(0x75, 0x75, 0x75, 0x32));
  painter->drawRoundedRect(QRectF(outer).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
  painter->restore();
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
