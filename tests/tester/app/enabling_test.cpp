// Which controls can be used in each connection state and with each transport.
#include "form_fixture.h"

namespace {

// The controls that only work while connected ("Change Value" is checked on its own).
std::vector<QWidget*> connectedOnly(KelvorTesterForm& f) {
  std::vector<QWidget*> out = {
      f.cmdDisconnect,  f.chkMotor,      f.chkAutomode,   f.chkRobSlave,      f.lblError,
      f.cmdGetError,    f.cmdClearError, f.cmdPosition,   f.cmdMove,          f.cmdCalcDevH,
      f.cmbComp,        f.cmbPath,       f.txtLength,     f.chkNext,          f.cmdApproach,
      f.cmdDepart,      f.cmdDriveA,     f.grdCtrlParam,  f.cmbCtrlParam,     f.cmdGetCtrl,
      f.cmdPutCtrl,     f.txtCtrlValue,  f.grdCtrlDef,    f.cmbDefType,       f.txtDefNo,
      f.cmdGetDef,      f.cmbVariable,   f.txtVariableNo, f.txtVariableValue, f.cmdGetVariable,
      f.cmdPutVariable, f.cmdCalcCalset};
  for (QWidget* w : f.txtPos) out.push_back(w);
  for (int i = 0; i < 6; ++i) {
    out.insert(out.end(),
               {f.TxtRotDiff[i], f.TxtLenDiff[i], f.txtCalSet[i], f.txtLinkSS[i], f.txtLinkAA[i]});
  }
  return out;
}

// Never touched by the connection state.
std::vector<QWidget*> untouched(KelvorTesterForm& f) {
  return {f.cmdExit,   f.OptDevice[0], f.OptDevice[1], f.lblRomVer,
          f.lblSirial, f.lblRobotType, f.lblMode,      f.lblErrorDescription};
}

}  // namespace

TEST_F(FormTest, DisconnectedAtStartUp) {
  EXPECT_TRUE(form->cmdConnect->isEnabled());
  EXPECT_TRUE(form->txtIPAddress->isEnabled());
  EXPECT_FALSE(form->cmbPort->isEnabled());
  EXPECT_FALSE(form->cmbBaudrate->isEnabled());
  EXPECT_FALSE(form->cmdChangeCtrl->isEnabled());
  for (QWidget* w : connectedOnly(*form))
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  for (QWidget* w : untouched(*form)) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
}

TEST_F(FormTest, ConnectedEnablesEveryControllerOperation) {
  form->SetConnectState(true);
  EXPECT_FALSE(form->cmdConnect->isEnabled());
  EXPECT_FALSE(form->txtIPAddress->isEnabled());
  EXPECT_FALSE(form->cmbPort->isEnabled());
  EXPECT_FALSE(form->cmbBaudrate->isEnabled());
  for (QWidget* w : connectedOnly(*form))
    EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_FALSE(form->cmdChangeCtrl->isEnabled()) << "no parameter selected";
  for (QWidget* w : untouched(*form)) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();

  form->SetConnectState(false);
  EXPECT_TRUE(form->cmdConnect->isEnabled());
  // Both transports' fields come back; the transport selection narrows them again.
  EXPECT_TRUE(form->txtIPAddress->isEnabled());
  EXPECT_TRUE(form->cmbPort->isEnabled());
  EXPECT_TRUE(form->cmbBaudrate->isEnabled());
  for (QWidget* w : connectedOnly(*form))
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
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
