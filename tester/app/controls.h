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

// A check box holding 0 (cleared), 1 (set) or 2 (grayed). A click sets 1 when the value is
// 0 or 2 and 0 when it is 1, then raises Click.
template <class Base>
class CheckControl : public Base {
 public:
  explicit CheckControl(QWidget* parent = nullptr);
  int value() const { return value_; }
  void setValue(int value);
  ClickHandler onClick;

 protected:
  void nextCheckState() override { setValue(value_ == 1 ? 0 : 1); }
  void paintEvent(QPaintEvent* event) override;

 private:
  void showValue();
  int value_ = 0;
};

using CheckBox = CheckControl<QCheckBox>;        // the ordinary box with its caption beside it
using PushCheckBox = CheckControl<QPushButton>;  // a button that stays pressed while set

// One member of an exclusive group of option buttons.
class OptionButton : public QRadioButton {
 public:
  explicit OptionButton(QWidget* parent = nullptr);
  bool value() const { return value_; }
  void setValue(bool value);
  void setGroup(std::vector<OptionButton*> group) { group_ = std::move(group); }
  ClickHandler onClick;

 protected:
  void nextCheckState() override;

 private:
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

// ---- template implementation ----

template <class Base>
CheckControl<Base>::CheckControl(QWidget* parent) : Base(parent) {
  Base::setCheckable(true);
  if constexpr (std::is_same_v<Base, QCheckBox>) Base::setTristate(true);
  showValue();
}

template <class Base>
void CheckControl<Base>::setValue(int value) {
  if (value == value_) return;
  value_ = value;
  showValue();
  if (onClick) onClick();
}

template <class Base>
void CheckControl<Base>::showValue() {
  if constexpr (std::is_same_v<Base, QCheckBox>) {
    Base::setCheckState(value_ == 0   ? Qt::Unchecked
                        : value_ == 1 ? Qt::Checked
                                      : Qt::PartiallyChecked);
  } else {
    Base::setChecked(value_ == 1);
    Base::update();
  }
}
