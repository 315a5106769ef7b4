// The motor, automatic-mode and slave-mode boxes. Each handler reads the controller first and
// writes only when box and controller disagree; a refused write is undone on the box, which
// runs the handler again, nested.
//
// A value set from code (the undo of a refused write, or a state copied in by the parameter
// refresh) runs the box's handler with restoreDepth_ raised. Such a nested run reads, shows
// the caption and compares, but never writes: a controller that refuses every write while it
// reports a state the box cannot mirror would otherwise have each undo write and fail again
// without end. One user action thus gives at most one undo.
#include "app/kelvor_tester_form.h"

void KelvorTesterForm::setBoxFromCode(PushCheckBox* box, int value) {
  ++restoreDepth_;
  box->setValue(value);
  --restoreDepth_;
}

int KelvorTesterForm::boxValueOf(int32_t state) { return state == 0 || state == 1 ? state : 2; }

void KelvorTesterForm::chkMotor_Click() {
  chkMotor->setEnabled(false);
  int32_t state = 0;
  int32_t rc = lib().klv_get_MotorState(&state);
  if (rc != 0) {
    showFailure(QStringLiteral("get_MotorState"), rc, MsgIcon::Exclamation);
    return;
  }
  const int value = chkMotor->value();
  chkMotor->setText(value == 0 ? QStringLiteral("Motor Off") : QStringLiteral("Motor On"));
  chkMotor->setEnabled(true);
  if (value == state || restoreDepth_ > 0) return;

  rc = lib().klv_put_MotorState(value);
  if (rc != 0) {
    showFailure(QStringLiteral("put_MotorState"), rc, MsgIcon::Exclamation);
    setBoxFromCode(chkMotor, value == 0 ? 1 : 0);
  }
}

void KelvorTesterForm::chkAutomode_Click() {
  chkAutomode->setEnabled(false);
  int32_t mode = 0;
  int32_t rc = lib().klv_get_AutoMode(&mode);
  if (rc != 0) {
    showFailure(QStringLiteral("get_AutoMode"), rc, MsgIcon::Exclamation);
    return;
  }
  const int value = chkAutomode->value();
  chkAutomode->setText(value == 0 ? QStringLiteral("External Auto")
                                  : QStringLiteral("Internal Auto"));
  chkAutomode->setEnabled(true);
  if (mode == 0) return;  // nothing is ever written while the controller reports mode 0
  if ((value == 0 && mode == 1) || (value == 1 && mode == 2)) return;
  if (restoreDepth_ > 0) return;

  const int32_t wanted = value == 0 ? 1 : value == 1 ? 2 : mode;
  rc = lib().klv_put_AutoMode(wanted);
  if (rc != 0) {
    showFailure(QStringLiteral("put_AutoMode"), rc, MsgIcon::Exclamation);
    setBoxFromCode(chkAutomode, value == 0 ? 1 : 0);
  } else if (wanted == 1) {
    chkAutomode->setValue(0);
    chkRobSlave->setEnabled(false);
  } else if (wanted == 2) {
    // Slave mode is offered only in internal automatic mode.
    chkAutomode->setValue(1);
    chkRobSlave->setEnabled(true);
  }
  ShowOperationMode();
}

void KelvorTesterForm::chkRobSlave_Click() {
  const int value = chkRobSlave->value();
  chkRobSlave->setText(value == 0 ? QStringLiteral("RobSlave Start")
                                  : QStringLiteral("RobSlave Stop"));
  int32_t state = 0;
  const int32_t read = lib().klv_get_RobSlaveState(&state);
  if (read == 0 && state == value) return;
  if (read != 0) {
    showFailure(QStringLiteral("get_RobSlaveState"), read, MsgIcon::Exclamation);
  }
  if (restoreDepth_ > 0) return;

  int32_t rc = read;
  if (value == 0) {
    rc = lib().klv_StopRobSlave();
  } else if (value == 1) {
    rc = lib().klv_StartRobSlave();
  }
  // A refused start or stop shows nothing: the box takes the state the read delivered.
  if (rc != 0) setBoxFromCode(chkRobSlave, read == 0 ? boxValueOf(state) : 0);
}
