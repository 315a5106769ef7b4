// Every caption fits whole in its box, measured with the control's own font metrics against the
// rectangle its style draws the text in (a check box's or option button's indicator excluded).
#include <QFontInfo>
#include <QStyle>
#include <QStyleOptionButton>

#include "form_fixture.h"
#include "window_definition.h"

namespace {

// The rectangle the control draws its caption in, or an empty one for a control without one.
QRect captionRect(QWidget* w) {
  QStyleOptionButton option;
  option.initFrom(w);
  if (auto* push = dynamic_cast<PushCheckBox*>(w)) {
    const QStyleOptionButton button = push->buttonOption();
    return w->style()->subElementRect(QStyle::SE_PushButtonContents, &button, w);
  }
  if (qobject_cast<QCheckBox*>(w)) {
    return w->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, w);
  }
  if (qobject_cast<QRadioButton*>(w)) {
    return w->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, w);
  }
  if (qobject_cast<QPushButton*>(w)) {
    return w->style()->subElementRect(QStyle::SE_PushButtonContents, &option, w);
  }
  if (auto* label = qobject_cast<QLabel*>(w)) {
    // As QLabel draws: inside the frame and the margin, and half an "x" in from the side it is
    // aligned to when it has a frame.
    const int m = label->margin();
    QRect r = label->contentsRect().adjusted(m, m, -m, -m);
    const int indent =
        label->frameWidth() > 0 ? label->fontMetrics().horizontalAdvance('x') / 2 : 0;
    if (label->alignment() & Qt::AlignLeft) r.setLeft(r.left() + indent);
    if (label->alignment() & Qt::AlignRight) r.setRight(r.right() - indent);
    return r;
  }
  return {};
}

QString textOf(QWidget* w) {
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  return static_cast<QLabel*>(w)->text();
}

// The caption, blanks included, fits the width and the height of its rectangle.
void expectFits(QWidget* w, const QString& shown) {
  const QRect box = captionRect(w);
  const QSize text = w->fontMetrics().size(Qt::TextShowMnemonic | Qt::TextSingleLine, shown);
  EXPECT_LE(text.width(), box.width())
      << w->objectName().toStdString() << " \"" << shown.toStdString() << "\"";
  EXPECT_LE(w->fontMetrics().height(), box.height()) << w->objectName().toStdString();
}

// Shows another caption on the control for as long as it is measured.
void expectFitsAlso(QWidget* w, const QString& caption) {
  const QString before = textOf(w);
  if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(caption);
  } else {
    static_cast<QLabel*>(w)->setText(caption);
  }
  expectFits(w, caption);
  if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(before);
  } else {
    static_cast<QLabel*>(w)->setText(before);
  }
}

}  // namespace

TEST_F(FormTest, ControlsOtherThanTheGridsUseTheShippedFont) {
  EXPECT_EQ(QFontInfo(form->font()).family(), "Liberation Sans")
      << "Debian's fonts-liberation2 must be installed (tools/dev.sh installs it)";
  EXPECT_EQ(form->cmdConnect->fontInfo().pixelSize(), 10);
  EXPECT_EQ(QFontInfo(form->Label[32]->font()).family(), "Liberation Sans");
  EXPECT_EQ(QFontInfo(form->grdCtrlDef->font()).family(), "IPAPGothic") << "the grids keep theirs";
}

TEST_F(FormTest, EveryCaptionFitsItsBox) {
  int measured = 0;
  for (const winDef::Control& c : winDef::controls()) {
    QWidget* w = form->findChild<QWidget*>(QString::fromLatin1(c.name));
    const bool valueLabel = c.kind == winDef::Kind::Label && (c.flags & winDef::kBorder);
    if (captionRect(w).isEmpty() || valueLabel) continue;  // value labels are checked below
    expectFits(w, QString::fromUtf8(c.text));
    ++measured;
  }
  EXPECT_EQ(measured, 43 + 2 + 4 + 18) << "caption labels, option buttons, check boxes, buttons";

  // The captions handlers write: the state buttons' other captions, the widest error code and
  // the longest operation mode.
  expectFitsAlso(form->chkMotor, "Motor Off");
  expectFitsAlso(form->chkAutomode, "External Auto");
  expectFitsAlso(form->chkRobSlave, "RobSlave Stop");
  expectFitsAlso(form->lblError, "FFFFFFFF");
  expectFitsAlso(form->lblMode, "Internal Auto Mode");
  expectFitsAlso(form->lblMode, "External Auto Mode");
}
