// The window's control kinds. A value change made from code raises the control's Click
// handler at once, nested, exactly where a user's action would: a check box set to a different
// value, an option button set from false to true, a combo box set to a different selected
// index. Nothing else raises a handler.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTableWidget>
#include <functional>
#include <tuple>
#include <vector>

#include "window_definition.h"

using ClickHandler = std::function<void()>;

class CommandButton : public QPushButton {
 public:
  explicit CommandButton(const QString& text, QWidget* parent = nullptr);
  ClickHandler onClick;
};

// A check box holding 0 (cleared), 1 (set) or 2 (grayed, shown and announced to assistive
// technology as the mixed state). A click sets 1 when the value is 0 or 2 and 0 when it is 1,
// then raises Click.
class CheckBox : public QCheckBox {
 public:
  explicit CheckBox(QWidget* parent = nullptr);
  int value() const { return value_; }
  void setValue(int value);
  ClickHandler onClick;

 protected:
  void nextCheckState() override { setValue(value_ == 1 ? 0 : 1); }

 private:
  int value_ = 0;
};

// A check box in push-button look: a button that stays pressed while set, with a dithered face
// while grayed. Its caption is drawn over the face, so it stays legible in every state; the
// whole button takes the click.
class PushCheckBox : public CheckBox {
 public:
  using CheckBox::CheckBox;
  // How the button is drawn: raised, or sunken while pressed (State_Sunken) or set (State_On).
  QStyleOptionButton buttonOption() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// One member of an exclusive group of option buttons. The buttons are auto-exclusive, so
// assistive technology announces them as radio buttons and the arrow keys move the selection
// within the group, but the window keeps their values: a value set from code raises Click once,
// when it turns true. Each button stays a tab stop of its own.
class OptionButton : public QRadioButton {
 public:
  explicit OptionButton(QWidget* parent = nullptr);
  bool value() const { return value_; }
  void setValue(bool value);
  void setGroup(std::vector<OptionButton*> group) { group_ = std::move(group); }
  ClickHandler onClick;

 protected:
  void nextCheckState() override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  void showValue();
  bool value_ = false;
  std::vector<OptionButton*> group_;
};

// A dropdown list (pick only) or a dropdown combo (pick or type). Each item carries a 32-bit
// number. Typed text that equals an item's text selects that item; any other typed text leaves
// no item selected (listIndex() is -1) and is kept as typed.
class ComboControl : public QComboBox {
 public:
  ComboControl(bool editable, QWidget* parent = nullptr);
  int listIndex() const { return typed_ ? -1 : currentIndex(); }
  void setListIndex(int index);
  void addListItem(const QString& text, int32_t data);
  int32_t itemNumber(int index) const { return itemData(index).toInt(); }
  // Leaves no item selected without raising Click (the state the window is created in).
  void clearSelectionSilently(const QString& text);
  ClickHandler onClick;

 private:
  void userPicked(int index);
  void userTyped(const QString& text);
  bool typed_ = false;
  int reported_ = -1;
};

class TextBox : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
};

class LabelControl : public QLabel {
 public:
  using QLabel::QLabel;
};

// A grid of text cells with one fixed header row and one fixed header column, addressed by
// row and column from 0; column widths in twips.
class FlexGrid : public QTableWidget {
 public:
  explicit FlexGrid(QWidget* parent = nullptr);
  // Makes the grid rows x cols empty cells. Rows are as high as the font needs, lower where the
  // grid's height would not show them all.
  void setCells(int rows, int cols);
  QString textMatrix(int row, int col) const;
  void setTextMatrix(int row, int col, const QString& text);
  void setColWidth(int col, int twips);
  int colWidth(int col) const;  // in twips
};

inline int twipsToPixels(int twips) { return (twips * 2 + 15) / 30; }

// The class of each kind of control in the window definition, in the order of winDef::Kind.
using ControlClasses =
    std::tuple<QGroupBox, CommandButton, CheckBox, PushCheckBox, OptionButton, ComboControl,
               ComboControl, TextBox, LabelControl, FlexGrid, QFrame>;
static_assert(std::tuple_size_v<ControlClasses> == static_cast<size_t>(winDef::Kind::Line) + 1);
template <winDef::Kind K>
using ControlOf = std::tuple_element_t<static_cast<size_t>(K), ControlClasses>;
template <winDef::Kind K, int N>
using ControlArray = ControlOf<K>* [N];
