// Which controls can be used, by connection state and by transport.
#include "app/kelvor_tester_form.h"

void KelvorTesterForm::SetConnectState(bool connected) {
  cmdConnect->setEnabled(!connected);
  cmdDisconnect->setEnabled(connected);
  txtIPAddress->setEnabled(!connected);
  cmbPort->setEnabled(!connected);
  cmbBaudrate->setEnabled(!connected);
  for (TextBox* field : txtPos) field->setEnabled(connected);
  for (int i = 0; i < 6; ++i) {
    TxtRotDiff[i]->setEnabled(connected);
    TxtLenDiff[i]->setEnabled(connected);
  }
  chkMotor->setEnabled(connected);
  chkAutomode->setEnabled(connected);
  chkRobSlave->setEnabled(connected);
  lblError->setEnabled(connected);
  for (QWidget* w : {cmdGetError, cmdClearError, cmdPosition, cmdMove, cmdCalcDevH}) {
    w->setEnabled(connected);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{cmbComp, cmbPath, txtLength, chkNext}) {
    w->setEnabled(connected);
  }
  for (QWidget* w : {cmdApproach, cmdDepart, cmdDriveA}) w->setEnabled(connected);
  grdCtrlParam->setEnabled(connected);
  for (int i = 0; i < 6; ++i) {
    txtCalSet[i]->setEnabled(connected);
    txtLinkSS[i]->setEnabled(connected);
    txtLinkAA[i]->setEnabled(connected);
  }
  cmbCtrlParam->setEnabled(connected);
  cmdChangeCtrl->setEnabled(connected && cmbCtrlParam->listIndex() >= 0);
  for (QWidget* w : std::initializer_list<QWidget*>{cmdGetCtrl, cmdPutCtrl, txtCtrlValue}) {
    w->setEnabled(connected);
  }
  grdCtrlDef->setEnabled(connected);
  for (QWidget* w : std::initializer_list<QWidget*>{cmbDefType, txtDefNo, cmdGetDef}) {
    w->setEnabled(connected);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{cmbVariable, txtVariableNo, txtVariableValue,
                                                    cmdGetVariable, cmdPutVariable}) {
    w->setEnabled(connected);
  }
  cmdCalcCalset->setEnabled(connected);
}

void KelvorTesterForm::OptDevice_Click(int16_t index) {
  if (index == 0) {
    OptDevice[0]->setValue(true);
    OptDevice[1]->setValue(false);
    txtIPAddress->setEnabled(true);
    cmbPort->setEnabled(false);
    cmbBaudrate->setEnabled(false);
  } else if (index == 1) {
    OptDevice[0]->setValue(false);
    OptDevice[1]->setValue(true);
    txtIPAddress->setEnabled(false);
    cmbPort->setEnabled(true);
    cmbBaudrate->setEnabled(true);
  }
  DeviceIndex = index;
}
