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

// Pixels whose colour differs by more than a rounding step.
int visiblyDifferent(const QImage& a, const QImage& b) {
  int count = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      const int step = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                 std::abs(qBlue(p) - qBlue(q))});
      if (step > 3) ++count;
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
    EXPECT_LE(visiblyDifferent(theirs, ours), 4 * 8) << title.toStdString();
  }
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
