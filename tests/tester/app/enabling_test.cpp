// Which controls can be used in each connection state and with each transport.
#include <QEvent>
#include <QSet>

#include "form_fixture.h"
#include "window_definition.h"

namespace {

// When a control can be used, as the connection state decides it.
enum class Usable { Always, Disconnected, Connected, ConnectedWithParameter };

// The rule, stated by what a control does: the connection fields only while disconnected, Exit,
// the transport choice, the texts read from the controller and the static captions always,
// "Change Value" while connected with a parameter selected, and every other control (everything
// that talks to the controller) only while connected.
Usable usable(const QString& name) {
  static const QSet<QString> always = {"cmdExit",   "OptDevice(0)",       "OptDevice(1)",
                                       "lblRomVer", "lblSirial",          "lblRobotType",
                                       "lblMode",   "lblErrorDescription"};
  static const QSet<QString> beforeConnecting = {"cmdConnect", "txtIPAddress", "cmbPort",
                                                 "cmbBaudrate"};
  if (always.contains(name) || name.startsWith("Frame(") || name.startsWith("Label") ||
      name == "Line") {
    return Usable::Always;
  }
  if (beforeConnecting.contains(name)) return Usable::Disconnected;
  if (name == "cmdChangeCtrl") return Usable::ConnectedWithParameter;
  return Usable::Connected;
}

// Every control of the window with the rule that applies to it.
std::vector<std::pair<QWidget*, Usable>> everyControl(KelvorTesterForm& f) {
  std::vector<std::pair<QWidget*, Usable>> out;
  for (const winDef::Control& c : winDef::controls()) {
    const QString name = QString::fromLatin1(c.name);
    out.emplace_back(f.findChild<QWidget*>(name), usable(name));
  }
  return out;
}

// Checks every control against the rule for this state; controls that are always usable must
// have kept `kept` (the frames, which hold them all, stay enabled).
void expectEnabling(KelvorTesterForm& f, bool connected, bool parameter, bool kept) {
  for (const auto& [w, rule] : everyControl(f)) {
    bool expected = qobject_cast<QGroupBox*>(w) ? true : kept;
    if (rule == Usable::Disconnected) expected = !connected;
    if (rule == Usable::Connected) expected = connected;
    if (rule == Usable::ConnectedWithParameter) expected = connected && parameter;
    EXPECT_EQ(w->isEnabled(), expected) << w->objectName().toStdString();
  }
}

// Records, in order, the definition's controls whose enabled state changes.
class EnablingRecorder : public QObject {
 public:
  explicit EnablingRecorder(KelvorTesterForm& f) {
    for (const auto& entry : everyControl(f)) entry.first->installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::EnabledChange) changed.push_back(watched->objectName());
    return false;
  }
  std::vector<QString> changed;
};

}  // namespace

TEST_F(FormTest, DisconnectedAtStartUp) {
  // The transport selection narrows the connection fields to Ethernet's.
  EXPECT_TRUE(form->txtIPAddress->isEnabled());
  EXPECT_FALSE(form->cmbPort->isEnabled());
  EXPECT_FALSE(form->cmbBaudrate->isEnabled());
  form->OptDevice_Click(1);
  form->OptDevice_Click(0);
  form->SetConnectState(false);
  expectEnabling(*form, false, false, true);
}

TEST_F(FormTest, EachConnectionStateEnablesWhatItsRuleSays) {
  for (const bool kept : {true, false}) {
    // Controls outside the table keep whatever state they have.
    for (const auto& [w, rule] : everyControl(*form)) {
      if (rule == Usable::Always && !qobject_cast<QGroupBox*>(w)) w->setEnabled(kept);
    }
    for (const bool parameter : {false, true}) {
      form->cmbCtrlParam->setListIndex(parameter ? 1 : -1);
      form->SetConnectState(true);
      expectEnabling(*form, true, parameter, kept);
      form->SetConnectState(false);
      expectEnabling(*form, false, parameter, kept);
    }
  }
}

TEST_F(FormTest, ConnectStateSwitchesInTheOrderOfItsTable) {
  form->cmbCtrlParam->setListIndex(0);
  form->SetConnectState(false);  // every control of the table now changes on connecting
  EnablingRecorder recorder(*form);
  form->SetConnectState(true);

  std::vector<QString> expected = {"cmdConnect", "cmdDisconnect", "txtIPAddress", "cmbPort",
                                   "cmbBaudrate"};
  auto add = [&](std::initializer_list<const char*> names, int members = 0) {
    for (int i = 0; i < std::max(members, 1); ++i) {
      for (const char* n : names) expected.push_back(members ? QString("%1(%2)").arg(n).arg(i) : n);
    }
  };
  add({"txtPos"}, 10);
  add({"TxtRotDiff", "TxtLenDiff"}, 6);
  add({"chkMotor", "chkAutomode", "chkRobSlave", "lblError", "cmdGetError", "cmdClearError",
       "cmdPosition", "cmdMove", "cmdCalcDevH", "cmbComp", "cmbPath", "txtLength", "chkNext",
       "cmdApproach", "cmdDepart", "cmdDriveA", "grdCtrlParam"});
  add({"txtCalSet", "txtLinkSS", "txtLinkAA"}, 6);
  add({"cmbCtrlParam", "cmdChangeCtrl", "cmdGetCtrl", "cmdPutCtrl", "txtCtrlValue", "grdCtrlDef",
       "cmbDefType", "txtDefNo", "cmdGetDef", "cmbVariable", "txtVariableNo", "txtVariableValue",
       "cmdGetVariable", "cmdPutVariable", "cmdCalcCalset"});
  EXPECT_EQ(recorder.changed, expected);
}

TEST_F(FormTest, ChangeValueNeedsASelectedParameter) {
  form->cmbCtrlParam->setListIndex(2);
  form->SetConnectState(true);
  EXPECT_TRUE(form->cmdChangeCtrl->isEnabled());
  form->SetConnectState(false);
  EXPECT_FALSE(form->cmdChangeCtrl->isEnabled());
  EXPECT_EQ(form->cmbCtrlParam->listIndex(), 2) << "the selection survives a disconnection";
  form->SetConnectState(true);
  EXPECT_TRUE(form->cmdChangeCtrl->isEnabled());
}

TEST_F(FormTest, TransportSelectionSwitchesTheAddressAndPortFields) {
  QTest::mouseClick(form->OptDevice[1], Qt::LeftButton);
  EXPECT_TRUE(form->OptDevice[1]->value());
  EXPECT_FALSE(form->OptDevice[0]->value());
  EXPECT_FALSE(form->txtIPAddress->isEnabled());
  EXPECT_TRUE(form->cmbPort->isEnabled());
  EXPECT_TRUE(form->cmbBaudrate->isEnabled());
  EXPECT_EQ(form->DeviceIndex, 1);

  QTest::mouseClick(form->OptDevice[0], Qt::LeftButton);
  EXPECT_TRUE(form->OptDevice[0]->value());
  EXPECT_FALSE(form->OptDevice[1]->value());
  EXPECT_TRUE(form->txtIPAddress->isEnabled());
  EXPECT_FALSE(form->cmbPort->isEnabled());
  EXPECT_EQ(form->DeviceIndex, 0);

  // Clicking the selected option again changes nothing.
  QTest::mouseClick(form->OptDevice[0], Qt::LeftButton);
  EXPECT_TRUE(form->OptDevice[0]->value());
  EXPECT_EQ(form->DeviceIndex, 0);

  // Another index changes no control but is remembered.
  form->OptDevice_Click(7);
  EXPECT_EQ(form->DeviceIndex, 7);
  EXPECT_TRUE(form->OptDevice[0]->value());
  EXPECT_TRUE(lib.calls().empty());
}

TEST_F(FormTest, TransportSelectionWhileConnectedLeavesTheConnectionAlone) {
  form->SetConnectState(true);
  QTest::mouseClick(form->OptDevice[1], Qt::LeftButton);
  EXPECT_TRUE(form->cmbPort->isEnabled());
  EXPECT_TRUE(form->cmbBaudrate->isEnabled());
  EXPECT_FALSE(form->txtIPAddress->isEnabled());
  EXPECT_TRUE(form->cmdDisconnect->isEnabled());
  EXPECT_EQ(form->DeviceIndex, 1);
  EXPECT_TRUE(lib.calls().empty());
}

TEST_F(FormTest, AltLetterActivatesTheMnemonic) {
  form->show();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  QTest::keyClick(form.get(), Qt::Key_R, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return form->OptDevice[1]->value(); },
                              2000));  // a mnemonic clicks after a short press animation
  QTest::keyClick(form.get(), Qt::Key_E, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return form->OptDevice[0]->value(); }, 2000));
  EXPECT_EQ(form->DeviceIndex, 0);
}
