// Value changes made from code raise the control's Click handler exactly where a user's
// action would, and nothing else does.
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
  EXPECT_FALSE(box.isChecked()) << "grayed is not pressed";

  // A user's click: grayed and cleared become set, set becomes cleared.
  QTest::mouseClick(&box, Qt::LeftButton);
  EXPECT_EQ(box.value(), 1);
  EXPECT_TRUE(box.isChecked());
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
  EXPECT_EQ(clicksB, 1);
  b.setValue(false);
  EXPECT_EQ(clicksB, 1);
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
