// The window's look on top of Fusion: frames drawn without Fusion's image look like Fusion's
// own, the grids' colours, and the set-up the program makes before its window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QPainter>
#include <QStyleFactory>
#include <memory>

#include "controls.h"
#include "font_config_loader.h"
#include "kelvor_tester_form.h"
#include "tester_style.h"

namespace {

// The widget as it paints itself with the style.
QImage render(QWidget& widget, QStyle* style) {
  widget.setStyle(style);
  QImage image(widget.size(), QImage::Format_ARGB32);
  image.fill(widget.palette().color(QPalette::Window));
  widget.render(&image);
  return image;
}

// Pixels whose colour differs by more than steps in some channel (every pixel when the sizes
// differ).
int pixelsOffBy(const QImage& a, const QImage& b, int steps) {
  if (a.size() != b.size()) return a.width() * a.height();
  int count = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      count += std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                         std::abs(qBlue(p) - qBlue(q))}) > steps;
    }
  }
  return count;
}

TEST(TesterStyle, FramesLookLikeFusionsOwnWithAndWithoutATitle) {
  std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("fusion")));
  TesterStyle tester(QStyleFactory::create(QStringLiteral("fusion")));
  for (const QString& title : {QStringLiteral("Controller Param"), QString()}) {
    QGroupBox box(title);
    box.setFont(KelvorTesterForm::windowFont());
    box.resize(240, 90);
    const QImage theirs = render(box, fusion.get());
    const QImage ours = render(box, &tester);
    // Fusion's image and the painter's lines differ by rounding, but for a few pixels at each
    // rounded corner; a frame a pixel off would differ along its whole line.
    EXPECT_LE(pixelsOffBy(theirs, ours, 3), 4 * 8) << title.toStdString();
  }
}

// A text box's frame as style draws it on a window-coloured image of size.
QImage textBoxFrame(const QStyle& style, QSize size, QStyle::State state, const QPalette& palette) {
  QStyleOptionFrame option;
  option.rect = QRect(QPoint(0, 0), size);
  option.state = state;
  option.palette = palette;
  option.lineWidth = 1;
  QImage image(size, QImage::Format_ARGB32);
  image.fill(palette.color(QPalette::Window));
  QPainter painter(&image);
  style.drawPrimitive(QStyle::PE_FrameLineEdit, &option, &painter);
  return image;
}

TEST(TesterStyle, TextBoxFramesAreFusionsWithinRoundingInEveryStateSizeAndPalette) {
  std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("fusion")));
  TesterStyle tester(QStyleFactory::create(QStringLiteral("fusion")));
  QPalette dark = fusion->standardPalette();
  dark.setColor(QPalette::Window, QColor(40, 40, 60));
  dark.setColor(QPalette::Highlight, QColor(200, 60, 0));
  const QStyle::State states[] = {
      QStyle::State_Enabled, QStyle::State_Enabled | QStyle::State_HasFocus, QStyle::State_None};
  // The smallest size the tile serves, the window's sizes, a tall one, and one Fusion draws.
  const QSize sizes[] = {
      {TesterStyle::kFrameTile, TesterStyle::kFrameTile}, {73, 21}, {140, 19}, {30, 200}, {8, 8}};
  // Each palette twice in turn: a frame drawn earlier in another palette is not reused.
  for (const QPalette& palette : {fusion->standardPalette(), dark, fusion->standardPalette()}) {
    for (const QStyle::State state : states) {
      for (const QSize size : sizes) {
        // At most a step of rounding where two of Fusion's lines cross on the tile.
        EXPECT_EQ(pixelsOffBy(textBoxFrame(tester, size, state, palette),
                              textBoxFrame(*fusion, size, state, palette), 1),
                  0)
            << size.width() << "x" << size.height() << " state " << state.toInt();
      }
    }
  }
  // Through a scaling painter Fusion draws the frame itself.
  QImage theirs(150, 50, QImage::Format_ARGB32), ours = theirs;
  for (auto [image, style] : {std::pair{&theirs, static_cast<QStyle*>(fusion.get())},
                              std::pair{&ours, static_cast<QStyle*>(&tester)}}) {
    image->fill(Qt::white);
    QPainter painter(image);
    painter.scale(1.5, 1.5);
    QStyleOptionFrame option;
    option.rect = QRect(2, 2, 80, 20);
    option.state = QStyle::State_Enabled;
    option.palette = fusion->standardPalette();
    style->drawPrimitive(QStyle::PE_FrameLineEdit, &option, &painter);
  }
  EXPECT_EQ(pixelsOffBy(ours, theirs, 1), 0);
}

TEST(TesterStyle, GridsHaveLightLinesADarkBorderAndGrayBelowTheirCells) {
  TesterStyle style(QStyleFactory::create(QStringLiteral("fusion")));
  FlexGrid grid;
  grid.resize(200, 100);
  grid.setCells(3, 2);
  grid.setColumnWidth(0, 60);
  grid.setColumnWidth(1, 60);
  const QImage image = render(grid, &style);
  EXPECT_EQ(image.pixel(0, 50), TesterStyle::kGridFrame);
  EXPECT_EQ(image.pixel(100, 0), TesterStyle::kGridFrame);
  EXPECT_EQ(image.pixel(150, 80), qRgb(128, 128, 128)) << "no cells there";
  // The line after the first column, inside the first row.
  const int line = 1 + grid.columnWidth(0) - 1;
  EXPECT_EQ(image.pixel(line, 8), TesterStyle::kGridLines);
  // Other widgets keep the style's own line colour.
  QTableWidget table;
  EXPECT_NE(style.styleHint(QStyle::SH_Table_GridLineColor, nullptr, &table),
            static_cast<int>(TesterStyle::kGridLines));
}

TEST(TesterLook, LoadsTheFontsThenPutsTheTesterStyleOverTheApplicationsStyle) {
  const QString before = QApplication::style()->name();
  {
    FontConfigLoader fonts;
    TesterLook look(fonts);
    auto* style = qobject_cast<QProxyStyle*>(QApplication::style());
    ASSERT_NE(dynamic_cast<TesterStyle*>(QApplication::style()), nullptr);
    EXPECT_EQ(style->baseStyle()->name(), before);
    fonts.wait();  // a second wait returns at once
  }
  QApplication::setStyle(QStyleFactory::create(before));
}

}  // namespace
