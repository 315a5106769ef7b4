// Connect and disconnect, and the controller's identity shown after connecting.
#include "app/kelvor_tester_form.h"
#include "ctrllib/lib_strings.h"
#include "ctrllib/number_text.h"

void KelvorTesterForm::cmdConnect_Click() {
  OutText identity;

  // The selected option button decides the transport, not DeviceIndex.
  QString connection;
  if (OptDevice[0]->value()) {
    connection = QStringLiteral("eth:") + txtIPAddress->text();
  } else {
    // The numbers come from the items' data, never from their texts.
    connection = QStringLiteral("com:") +
                 numtext::intText(cmbPort->itemNumber(cmbPort->listIndex())) + QLatin1Char(':') +
                 numtext::intText(cmbBaudrate->itemNumber(cmbBaudrate->listIndex())) +
                 QStringLiteral("N:8:1");
  }

  QByteArray writable = toLibString(connection);
  int32_t rc = lib().klv_Connect(writable.data(), 400, 0);
  if (rc != 0) {
    showFailure(QStringLiteral("Connection"), rc, MsgIcon::Exclamation);
    return;
  }
  SetConnectState(true);

  // One buffer for all three reads, not cleared in between: each text ends at its own NUL.
  rc = lib().klv_get_RomVersion(identity.data(), identity.capacity());
  if (rc == 0) {
    lblRomVer->setText(identity.text());
  } else {
    showFailure(QStringLiteral("get_RomVersion"), rc, MsgIcon::Exclamation);
  }
  rc = lib().klv_get_SerialNo(identity.data(), identity.capacity());
  if (rc == 0) {
    lblSirial->setText(identity.text());
  } else {
    showFailure(QStringLiteral("get_SerialNo"), rc, MsgIcon::Exclamation);
  }
  rc = lib().klv_get_RobotType(identity.data(), identity.capacity());
  if (rc == 0) {
    lblRobotType->setText(identity.text());
  } else {
    showFailure(QStringLiteral("get_RobotType"), rc, MsgIcon::Exclamation);
  }

  cmdGetCtrl_Click();
}

void KelvorTesterForm::cmdDisconnect_Click() {
  const int32_t rc = lib().klv_Disconnect();
  if (rc != 0) {
    showFailure(QStringLiteral("Disconnection"), rc, MsgIcon::Exclamation);
    return;
  }
  SetConnectState(false);
  OptDevice_Click(DeviceIndex);
}
