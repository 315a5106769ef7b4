// What assistive technology reads from the window: each control's role, name and state, as
// the accessibility interface reports them to a screen reader.
#include <QAccessible>
#include <QAccessibleInterface>

#include "form_fixture.h"
#include "window_definition.h"

namespace {

QAccessible::Role roleOf(winDef::Kind kind) {
  switch (kind) {
    case winDef::Kind::Frame:
      return QAccessible::Grouping;
    case winDef::Kind::Button:
      return QAccessible::Button;
    case winDef::Kind::Check:
    case winDef::Kind::PushCheck:
      return QAccessible::CheckBox;
    case winDef::Kind::Option:
      return QAccessible::RadioButton;
    case winDef::Kind::List:
    case winDef::Kind::Combo:
      return QAccessible::ComboBox;
    case winDef::Kind::Text:
      return QAccessible::EditableText;
    case winDef::Kind::Label:
      return QAccessible::StaticText;
    case winDef::Kind::Grid:
      return QAccessible::Table;
    case winDef::Kind::Line:
      return QAccessible::Border;  // a plain frame, nothing to operate
  }
  return QAccessible::NoRole;
}

// The name a screen reader speaks: a caption as shown, without its mnemonic marker; a label's
// text, or the title of its frame while the label is empty; a list's selected text (on X11 a
// list is named by its value), or its field name while nothing is selected; the field name of a
// text box or grid.
QString nameShown(QWidget* w) {
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text().remove('&');
  if (auto* frame = qobject_cast<QGroupBox*>(w)) return frame->title();
  if (auto* label = qobject_cast<QLabel*>(w)) {
    return label->text().isEmpty() ? static_cast<QGroupBox*>(w->parentWidget())->title()
                                   : label->text();
  }
  if (auto* list = qobject_cast<QComboBox*>(w); list && !list->currentText().isEmpty()) {
    return list->currentText();
  }
  return KelvorTesterForm::fieldCaption(w);
}

// Every control as a screen reader finds it matches what the window shows.
void expectReadAsShown(KelvorTesterForm& form) {
  for (const winDef::Control& c : winDef::controls()) {
    QWidget* w = form.findChild<QWidget*>(QString::fromLatin1(c.name));
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    ASSERT_NE(a, nullptr) << c.name;
    EXPECT_EQ(a->role(), roleOf(c.kind)) << c.name;
    const QAccessible::State state = a->state();
    EXPECT_EQ(bool(state.disabled), !w->isEnabled()) << c.name;
    if (c.kind != winDef::Kind::Line) {
      EXPECT_EQ(a->text(QAccessible::Name), nameShown(w)) << c.name;
      EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << c.name;
    }
    if (auto* box = dynamic_cast<CheckBox*>(w)) {
      EXPECT_TRUE(state.checkable) << c.name;
      EXPECT_EQ(bool(state.checkStateMixed), box->value() == 2) << c.name;
      if (box->value() != 2) {
        EXPECT_EQ(bool(state.checked), box->value() == 1) << c.name;
      }
    }
    if (auto* option = dynamic_cast<OptionButton*>(w)) {
      EXPECT_EQ(bool(state.checked), option->value()) << c.name;
    }
    if (auto* field = qobject_cast<QLineEdit*>(w)) {
      EXPECT_EQ(a->text(QAccessible::Value), field->text()) << c.name;
    }
  }
}

}  // namespace

TEST_F(FormTest, AssistiveTechnologyReadsTheWindowAsShownAtStartUp) {
  expectReadAsShown(*form);
  // The two transport buttons are radio buttons, Ethernet selected; the slave button is mixed.
  QAccessibleInterface* ethernet = QAccessible::queryAccessibleInterface(form->OptDevice[0]);
  EXPECT_EQ(ethernet->role(), QAccessible::RadioButton);
  EXPECT_EQ(ethernet->text(QAccessible::Name), "Ethernet");
  EXPECT_TRUE(ethernet->state().checked);
  EXPECT_FALSE(QAccessible::queryAccessibleInterface(form->OptDevice[1])->state().checked);
  QAccessibleInterface* slave = QAccessible::queryAccessibleInterface(form->chkRobSlave);
  EXPECT_EQ(slave->role(), QAccessible::CheckBox);
  EXPECT_TRUE(slave->state().checkStateMixed);
  EXPECT_TRUE(slave->state().disabled);
}

TEST_F(FormTest, AssistiveTechnologyFollowsTheStateOfAConnectedWindow) {
  lib.script("get_MotorState", value(1));
  lib.script("get_AutoMode", value(2));
  lib.script("get_RobSlaveState", value(7));  // outside 0 to 2: shown grayed
  connect();
  ASSERT_EQ(form->chkMotor->value(), 1);
  ASSERT_EQ(form->chkRobSlave->value(), 2);
  QTest::mouseClick(form->OptDevice[1], Qt::LeftButton);
  expectReadAsShown(*form);
  EXPECT_TRUE(QAccessible::queryAccessibleInterface(form->chkMotor)->state().checked);
  EXPECT_TRUE(QAccessible::queryAccessibleInterface(form->OptDevice[1])->state().checked);
  EXPECT_FALSE(QAccessible::queryAccessibleInterface(form->OptDevice[0])->state().checked);
}
