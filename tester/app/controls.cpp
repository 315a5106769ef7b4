#include "controls.h"

#include <QHeaderView>
#include <QPainter>
#include <QStylePainter>

#include "ctrllib/number_text.h"

CommandButton::CommandButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  connect(this, &QAbstractButton::clicked, this, [this] {
    if (onClick) onClick();
  });
}

CheckBox::CheckBox(QWidget* parent) : QCheckBox(parent) { setTristate(true); }

void CheckBox::setValue(int value) {
  if (value == value_) return;
  value_ = value;
  setCheckState(value == 0 ? Qt::Unchecked : value == 1 ? Qt::Checked : Qt::PartiallyChecked);
  if (onClick) onClick();
}

QStyleOptionButton PushCheckBox::buttonOption() const {
  QStyleOptionButton option;
  option.initFrom(this);
  option.features = QStyleOptionButton::None;
  option.text = text();
  option.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
  if (value() == 1) option.state |= QStyle::State_On;
  return option;
}

void PushCheckBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  const QStyleOptionButton option = buttonOption();
  painter.drawControl(QStyle::CE_PushButtonBevel, option);
  QStyleOptionButton label = option;
  label.rect = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
  if (value() == 2) {  // grayed: a dithered face under the caption
    QColor dither = palette().color(QPalette::Mid);
    dither.setAlpha(110);
    painter.fillRect(label.rect, QBrush(dither, Qt::Dense5Pattern));
  }
  painter.drawControl(QStyle::CE_PushButtonLabel, label);
  if (option.state & QStyle::State_HasFocus) {
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(option);
    focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
}

OptionButton::OptionButton(QWidget* parent) : QRadioButton(parent) { setChecked(false); }

void OptionButton::setValue(bool value) {
  if (value == value_) return;
  value_ = value;
  showValue();
  if (!value) return;
  for (OptionButton* other : group_) {
    if (other != this && other->value_) {
      other->value_ = false;
      other->showValue();
    }
  }
  if (onClick) onClick();
}

void OptionButton::showValue() {
  // An auto-exclusive button refuses to be cleared while it is its group's checked one; the
  // window may clear it from code all the same.
  setAutoExclusive(value_);
  setChecked(value_);
  setAutoExclusive(true);
}

void OptionButton::nextCheckState() {
  if (!value_) setValue(true);
}

void OptionButton::focusInEvent(QFocusEvent* event) {
  // An auto-exclusive button takes the other buttons of its group out of the tab chain when it
  // gets the focus; the window's tab order lists every option button.
  QRadioButton::focusInEvent(event);
  for (OptionButton* member : group_) member->setFocusPolicy(Qt::StrongFocus);
}

ComboControl::ComboControl(bool editable, QWidget* parent) : QComboBox(parent) {
  setEditable(editable);
  setMaxVisibleItems(16);
  if (editable) {
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& t) { userTyped(t); });
  }
  connect(this, &QComboBox::activated, this, [this](int index) { userPicked(index); });
}

void ComboControl::addListItem(const QString& text, int32_t data) {
  const bool wasEmpty = count() == 0;
  const QString keep = currentText();
  blockSignals(true);
  addItem(text, data);
  if (wasEmpty && !typed_ && reported_ < 0) {
    // QComboBox selects the first item it is given; the window's lists start unselected.
    setCurrentIndex(-1);
    if (isEditable()) setEditText(keep);
  }
  blockSignals(false);
}

void ComboControl::clearSelectionSilently(const QString& text) {
  blockSignals(true);
  setCurrentIndex(-1);
  if (isEditable()) setEditText(text);
  blockSignals(false);
  typed_ = false;
  reported_ = -1;
}

void ComboControl::setListIndex(int index) {
  if (index < -1 || index >= count()) return;
  const int before = listIndex();
  blockSignals(true);
  setCurrentIndex(index);
  blockSignals(false);
  typed_ = false;
  reported_ = index;
  if (index != before && onClick) onClick();
}

void ComboControl::userPicked(int index) {
  const int before = reported_;
  typed_ = false;
  reported_ = index;
  if (index != before && onClick) onClick();
}

void ComboControl::userTyped(const QString& text) {
  const int match = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (match >= 0) {
    typed_ = false;
    if (match != currentIndex()) {
      blockSignals(true);
      setCurrentIndex(match);
      blockSignals(false);
    }
  } else {
    typed_ = true;
  }
  reported_ = listIndex();
}

FlexGrid::FlexGrid(QWidget* parent) : QTableWidget(parent) {
  horizontalHeader()->hide();
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(4);
  horizontalHeader()->setMinimumSectionSize(4);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTabKeyNavigation(false);  // Tab moves on to the next control
  setSelectionMode(QAbstractItemView::SingleSelection);
  setGridStyle(Qt::SolidLine);
  // Dark gray where there are no cells; the cells keep the grid's colours (setCells).
  QPalette empty = viewport()->palette();
  empty.setColor(QPalette::Base, QColor(128, 128, 128));
  viewport()->setPalette(empty);
}

void FlexGrid::setCells(int rows, int cols) {
  verticalHeader()->setDefaultSectionSize(std::min(16, (height() - 2) / std::max(1, rows)));
  setRowCount(rows);
  setColumnCount(cols);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      auto* item = new QTableWidgetItem;
      const bool fixed = r == 0 || c == 0;
      item->setBackground(palette().color(fixed ? QPalette::Button : QPalette::Base));
      item->setForeground(palette().color(fixed ? QPalette::ButtonText : QPalette::Text));
      item->setFlags(fixed ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      setItem(r, c, item);
    }
  }
}

QString FlexGrid::textMatrix(int row, int col) const {
  const QTableWidgetItem* cell = item(row, col);
  return cell ? cell->text() : QString();
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text) {
  QTableWidgetItem* cell = item(row, col);
  if (!cell) return;
  cell->setText(text);
  // As in a spreadsheet: numbers sit to the right of their cell, other text to the left.
  const bool number = row > 0 && col > 0 && numtext::toDouble(text).has_value();
  cell->setTextAlignment(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
}

void FlexGrid::setColWidth(int col, int twips) { setColumnWidth(col, twipsToPixels(twips)); }

int FlexGrid::colWidth(int col) const { return columnWidth(col) * 15; }
