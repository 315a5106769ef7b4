// The window's look on top of the application's style (Fusion unless the user chose another):
// frames drawn with the painter instead of from an image file, whose first use would load and
// decode it and probe every image-format plugin while the window starts; rounded frames (the
// frames' and the text boxes') stretched from a small drawing of one instead of stroked box
// after box; the grids' lines in the light gray of a spreadsheet, inside a plain dark line.
#pragma once

#include <QPalette>
#include <QPixmap>
#include <QProxyStyle>
#include <vector>

#include "font_config_loader.h"

class TesterStyle : public QProxyStyle {
 public:
  // Rounded frames are drawn from pieces of a frame of this size (see drawTiled).
  static constexpr int kFrameTile = 9;

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
  enum TileKind { kTextBoxFrame, kGroupFrame };
  // A frame drawn small, for a kind of frame, a state and a palette.
  struct FrameTile {
    TileKind kind;
    QStyle::State state;
    QPalette palette;
    QPixmap pixmap;
  };
  // Draws on r what paint(painter, rect) draws on a rect, from a tile of it (see the .cpp);
  // false, drawing nothing, where a tile would not give the same pixels.
  template <class Paint>
  bool drawTiled(TileKind kind, const QStyleOption& option, const QRect& r, QPainter* painter,
                 bool filled, Paint paint) const;

  bool fusion_;  // the frames are drawn here only on Fusion, whose own use an image file
  mutable std::vector<FrameTile> frameTiles_;
};

// The window's look, set up before the window is made: waits for the font configuration that
// fonts has been loading, then sets a TesterStyle over the application's style, which owns it.
struct TesterLook {
  explicit TesterLook(FontConfigLoader& fonts);
};
