// The parameter grid, its editor and the parameter refresh.
#include "app/kelvor_tester_form.h"
#include "ctrllib/number_text.h"

void KelvorTesterForm::cmbCtrlParam_Click() {
  cmdChangeCtrl->setEnabled(cmbCtrlParam->listIndex() >= 0);
  txtCtrlValue->setText(QStringLiteral("0"));
}

void KelvorTesterForm::cmdChangeCtrl_Click() {
  // The item's position selects the parameter, not its text.
  const int index = cmbCtrlParam->listIndex();
  if (index < 0 || index > 3) return;

  int32_t rc = 0;
  if (index <= 1) {
    const std::optional<float> value = readFloat(txtCtrlValue);
    if (!value) return;
    rc = index == 0 ? lib().klv_put_Speed(*value) : lib().klv_put_ExtSpeed(*value);
  } else {
    const std::optional<int32_t> value = readInt32(txtCtrlValue);
    if (!value) return;
    rc = index == 2 ? lib().klv_put_CurTool(*value) : lib().klv_put_CurWork(*value);
  }
  if (rc != 0) {
    showMessage(QStringLiteral("Set Value Failed"), MsgIcon::Stop);
    return;
  }
  cmdGetCtrl_Click();
}

// Every step runs whatever the steps before it gave.
void KelvorTesterForm::cmdGetCtrl_Click() {
  const QString zero = QStringLiteral("0");
  float speed = 0.0F;
  int32_t rc = lib().klv_get_Speed(&speed);
  grdCtrlParam->setTextMatrix(1, 1, rc == 0 ? numtext::floatText(speed) : zero);
  float extSpeed = 0.0F;
  rc = lib().klv_get_ExtSpeed(&extSpeed);
  grdCtrlParam->setTextMatrix(2, 1, rc == 0 ? numtext::floatText(extSpeed) : zero);
  int32_t tool = 0;
  rc = lib().klv_get_CurTool(&tool);
  grdCtrlParam->setTextMatrix(3, 1, rc == 0 ? numtext::intText(tool) : zero);
  int32_t work = 0;
  rc = lib().klv_get_CurWork(&work);
  grdCtrlParam->setTextMatrix(4, 1, rc == 0 ? numtext::intText(work) : zero);

  readCalData();
  readLinkParam();
  ShowOperationMode();

  int32_t motor = 0;
  rc = lib().klv_get_MotorState(&motor);
  if (rc == 0) {
    setBoxFromCode(chkMotor, boxValueOf(motor));
  } else {
    showFailure(QStringLiteral("get_MotorState"), rc, MsgIcon::Stop);
  }

  int32_t mode = 0;
  rc = lib().klv_get_AutoMode(&mode);
  if (rc == 0) {
    setBoxFromCode(chkAutomode, mode == 2 ? 1 : 0);
    chkAutomode->setEnabled(mode != 0);
    chkRobSlave->setEnabled(mode != 0 && mode != 1);
  } else {
    showFailure(QStringLiteral("get_AutoMode"), rc, MsgIcon::Stop);
  }

  int32_t slave = 0;
  rc = lib().klv_get_RobSlaveState(&slave);
  if (rc == 0) {
    setBoxFromCode(chkRobSlave, boxValueOf(slave));
  } else {
    showFailure(QStringLiteral("get_RobSlaveState"), rc, MsgIcon::Stop);
  }

  cmdGetError_Click();
}
