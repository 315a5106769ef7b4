// Value changes made from code raise the control's Click handler exactly where a user's
// action would, and nothing else does.
#include <QImage>
#include <QResizeEvent>

#include "form_fixture.h"

TEST(ControlEvents, CheckBoxRaisesClickOnlyWhenItsValueChanges) {
  PushCheckBox box;
  std::vector<int> seen;
  box.onClick = [&] { seen.push_back(box.value()); };
  box.setValue(0);
  EXPECT_TRUE(seen.empty());
  box.setValue(1);
  box.setValue(1);
  box.setValue(2);
  EXPECT_EQ(seen, (std::vector<int>{1, 2}));
  EXPECT_EQ(box.checkState(), Qt::PartiallyChecked);
  EXPECT_FALSE(box.buttonOption().state & QStyle::State_On) << "grayed is not pressed";

  // A user's click: grayed and cleared become set, set becomes cleared.
  QTest::mouseClick(&box, Qt::LeftButton);
  EXPECT_EQ(box.value(), 1);
  EXPECT_TRUE(box.isChecked());
  EXPECT_TRUE(box.buttonOption().state & QStyle::State_On) << "set is pressed";
  QTest::mouseClick(&box, Qt::LeftButton);
  EXPECT_EQ(box.value(), 0);
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 1, 0}));
}

TEST(ControlEvents, NestedValueChangeInsideTheHandlerRunsTheHandlerAgain) {
  CheckBox box;
  std::vector<int> seen;
  box.onClick = [&] {
    seen.push_back(box.value());
    if (box.value() == 1) box.setValue(0);  // a refused change, undone from inside
  };
  box.click();
  EXPECT_EQ(seen, (std::vector<int>{1, 0}));
  EXPECT_EQ(box.value(), 0);
  EXPECT_EQ(box.checkState(), Qt::Unchecked);
}

TEST(ControlEvents, OptionButtonRaisesClickOnlyFromFalseToTrue) {
  OptionButton a, b;
  a.setGroup({&a, &b});
  b.setGroup({&a, &b});
  int clicksA = 0, clicksB = 0;
  a.onClick = [&] { ++clicksA; };
  b.onClick = [&] { ++clicksB; };
  a.setValue(true);
  a.setValue(true);
  EXPECT_EQ(clicksA, 1);
  b.setValue(true);
  EXPECT_FALSE(a.value());
  EXPECT_FALSE(a.isChecked());
  EXPECT_EQ(clicksB, 1);
  b.setValue(false);
  EXPECT_EQ(clicksB, 1);
  EXPECT_FALSE(b.isChecked()) << "code clears the selected button although it is auto-exclusive";
}

TEST_F(FormTest, ArrowKeysMoveTheTransportSelection) {
  form->show();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  int clicks = 0;
  form->OptDevice[1]->onClick = [&] {
    ++clicks;
    form->OptDevice_Click(1);
  };
  form->OptDevice[0]->setFocus();
  QTest::keyClick(form->OptDevice[0], Qt::Key_Down);
  EXPECT_TRUE(form->OptDevice[1]->value());
  EXPECT_FALSE(form->OptDevice[0]->value());
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(form->DeviceIndex, 1);
  EXPECT_TRUE(form->OptDevice[1]->hasFocus());
  EXPECT_TRUE(form->OptDevice[0]->focusPolicy() & Qt::TabFocus) << "both stay tab stops";
}

// Pixels of a control as drawn, as gray levels.
QImage drawn(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_Grayscale8); }

int differingPixels(const QImage& a, const QImage& b) {
  int count = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) count += a.pixel(x, y) != b.pixel(x, y);
  }
  return count;
}

TEST(ControlEvents, PushCheckBoxDrawsEachValueDistinctlyWithItsCaptionWhole) {
  PushCheckBox box;
  box.setText("RobSlave Start");
  box.resize(105, 20);
  const QImage cleared = drawn(box);
  box.setValue(1);
  const QImage set = drawn(box);
  box.setValue(2);
  const QImage grayed = drawn(box);
  const int face = 105 * 20;
  EXPECT_GT(differingPixels(cleared, set), face / 10);
  EXPECT_GT(differingPixels(cleared, grayed), face / 10);
  EXPECT_GT(differingPixels(set, grayed), face / 10);
  // The caption is drawn over the dither: every dark pixel of its letters is as dark as on the
  // cleared button.
  int ink = 0;
  for (int y = 0; y < cleared.height(); ++y) {
    for (int x = 0; x < cleared.width(); ++x) {
      const int level = qGray(cleared.pixel(x, y));
      if (level > 60) continue;
      ++ink;
      EXPECT_LE(qGray(grayed.pixel(x, y)), 60) << x << "," << y;
    }
  }
  EXPECT_GT(ink, 20) << "the caption is drawn";
}

TEST(ControlEvents, ComboRaisesClickWhenTheSelectedIndexChanges) {
  ComboControl combo(false);
  int clicks = 0;
  combo.onClick = [&] { ++clicks; };
  combo.addListItem("one", 1);
  combo.addListItem("two", 2);
  EXPECT_EQ(combo.listIndex(), -1) << "adding items selects nothing";
  EXPECT_EQ(clicks, 0);
  combo.setListIndex(1);
  combo.setListIndex(1);
  EXPECT_EQ(clicks, 1);
  combo.setListIndex(-1);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(combo.currentText(), "");
}

TEST(ControlEvents, TypingIntoADropdownComboLeavesNoItemSelected) {
  ComboControl combo(true);
  combo.clearSelectionSilently("cmbPath");
  combo.addListItem("@0", 1);
  combo.addListItem("@E", 3);
  EXPECT_EQ(combo.currentText(), "cmbPath");
  combo.setListIndex(0);
  combo.lineEdit()->selectAll();
  QTest::keyClicks(combo.lineEdit(), "@X");
  EXPECT_EQ(combo.listIndex(), -1);
  EXPECT_EQ(combo.currentText(), "@X") << "the typed text is kept";
  // Typing exactly an item's text selects that item.
  combo.lineEdit()->selectAll();
  QTest::keyClicks(combo.lineEdit(), "@E");
  EXPECT_EQ(combo.listIndex(), 1);
}

TEST_F(FormTest, ResizingMovesNoControl) {
  const QRect before = form->cmdExit->geometry();
  const QRect frame = form->Frame[6]->geometry();
  form->resize(1200, 900);
  form->resize(300, 200);
  EXPECT_EQ(form->cmdExit->geometry(), before);
  EXPECT_EQ(form->Frame[6]->geometry(), frame);
}
