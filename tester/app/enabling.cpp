// Which controls can be used, by connection state and by transport.
#include <algorithm>
#include <span>

#include "app/kelvor_tester_form.h"

// The controls SetConnectState switches, in the order it switches them, each row with the
// condition under which its controls end up enabled (otherwise disabled). A row of control arrays
// is walked index by index (TxtRotDiff(0), TxtLenDiff(0), TxtRotDiff(1), ...), a row of single
// controls from left to right. A control not listed keeps its enabled state.
// clang-format off
#define KELVOR_CONNECT_STATE(ROW) \
  ROW(!connected, cmdConnect) \
  ROW(connected,  cmdDisconnect) \
  ROW(!connected, txtIPAddress) \
  ROW(!connected, cmbPort) \
  ROW(!connected, cmbBaudrate) \
  ROW(connected,  txtPos) \
  ROW(connected,  TxtRotDiff, TxtLenDiff) \
  ROW(connected,  chkMotor, chkAutomode, chkRobSlave) \
  ROW(connected,  lblError) \
  ROW(connected,  cmdGetError, cmdClearError, cmdPosition, cmdMove, cmdCalcDevH) \
  ROW(connected,  cmbComp, cmbPath, txtLength, chkNext) \
  ROW(connected,  cmdApproach, cmdDepart, cmdDriveA) \
  ROW(connected,  grdCtrlParam) \
  ROW(connected,  txtCalSet, txtLinkSS, txtLinkAA) \
  ROW(connected,  cmbCtrlParam) \
  ROW(connected && cmbCtrlParam->listIndex() >= 0, cmdChangeCtrl) \
  ROW(connected,  cmdGetCtrl, cmdPutCtrl, txtCtrlValue) \
  ROW(connected,  grdCtrlDef) \
  ROW(connected,  cmbDefType, txtDefNo, cmdGetDef) \
  ROW(connected,  cmbVariable, txtVariableNo, txtVariableValue, cmdGetVariable, cmdPutVariable) \
  ROW(connected,  cmdCalcCalset)
// clang-format on

namespace {

// A single control as a run of one, a control array as its members.
template <class T>
std::span<T* const> membersOf(T* const& control) {
  return {&control, 1};
}
template <class T, size_t N>
std::span<T* const> membersOf(T* const (&array)[N]) {
  return array;
}

template <class... Controls>
void setEnabledInTurn(bool enabled, const Controls&... controls) {
  const size_t longest = std::max({membersOf(controls).size()...});
  for (size_t i = 0; i < longest; ++i) {
    ((i < membersOf(controls).size() ? membersOf(controls)[i]->setEnabled(enabled) : void()), ...);
  }
}

}  // namespace

void KelvorTesterForm::SetConnectState(bool connected) {
#define KLV_SET_ENABLED(when, ...) setEnabledInTurn(when, __VA_ARGS__);
  KELVOR_CONNECT_STATE(KLV_SET_ENABLED)
#undef KLV_SET_ENABLED
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
