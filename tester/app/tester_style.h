// The window's look on top of the application's style (Fusion unless the user chose another):
// frames drawn with the painter instead of from an image file, whose first use would load and
// decode it and probe every image-format plugin while the window starts; the grids' lines in
// the light gray of a spreadsheet, inside a plain dark line.
#pragma once

#include <QProxyStyle>

#include "font_config_loader.h"

class TesterStyle : public QProxyStyle {
 public:
  // The colours of the lines between a grid's cells and around the grid.
  static constexpr QRgb kGridLines = 0xffc0c0c0;
  static constexpr QRgb kGridFrame = 0xff636363;

  // Wraps base, which it takes over (QApplication::style() for the application's own).
  explicit TesterStyle(QStyle* base);

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
  int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                const QWidget* widget = nullptr,
                QStyleHintReturn* returnData = nullptr) const override;

 private:
  bool fusion_;  // the frames are drawn here only on Fusion, whose own use an image file
};

// The window's look, set up before the window is made: waits for the font configuration that
// fonts has been loading, then sets a TesterStyle over the application's style, which owns it.
struct TesterLook {
  explicit TesterLook(FontConfigLoader& fonts);
};
