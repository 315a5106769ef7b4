// Start-up and shutdown of the window.
#include "app/kelvor_tester_form.h"
#include "app/port_probe.h"

void KelvorTesterForm::Form_Load() {
  txtIPAddress->setText(QStringLiteral("192.168.0.1"));

  // Every port from COM1 to COM256 is tried, in order, every time.
  for (int n = 1; n <= 256; ++n) {
    if (ports_.isPresent(n)) cmbPort->addListItem(QStringLiteral("COM%1").arg(n), n);
  }
  if (cmbPort->count() > 0) {
    cmbPort->setListIndex(0);
  } else {
    OptDevice[1]->setEnabled(false);
  }

  cmbBaudrate->setListIndex(0);

  for (TextBox* field : txtPos) field->setText(QStringLiteral("0"));
  for (int i = 0; i < 6; ++i) {
    TxtRotDiff[i]->setText(QStringLiteral("0"));
    TxtLenDiff[i]->setText(QStringLiteral("0"));
  }

  lblRomVer->setText(QString());
  lblSirial->setText(QString());
  lblRobotType->setText(QString());

  grdCtrlParam->setColWidth(0, 1500);
  grdCtrlParam->setColWidth(1, 1300);
  grdCtrlParam->setTextMatrix(0, 0, QStringLiteral("Item"));
  grdCtrlParam->setTextMatrix(0, 1, QStringLiteral("Value"));
  grdCtrlParam->setTextMatrix(1, 0, QStringLiteral("Internal Speed"));
  grdCtrlParam->setTextMatrix(2, 0, QStringLiteral("External Speed"));
  grdCtrlParam->setTextMatrix(3, 0, QStringLiteral("Current Tool"));
  grdCtrlParam->setTextMatrix(4, 0, QStringLiteral("Current Work"));

  static const char* const kDefColumns[] = {"",   "X",  "Y",  "Z",   "RX",  "RY",  "RZ",
                                            "Dx", "Dy", "Dz", "I/O", "Pos", "Err", "Enable"};
  grdCtrlDef->setColWidth(0, 1200);
  for (int col = 1; col <= 13; ++col) grdCtrlDef->setColWidth(col, 1100);
  for (int col = 0; col <= 13; ++col) {
    grdCtrlDef->setTextMatrix(0, col, QString::fromLatin1(kDefColumns[col]));
  }
  grdCtrlDef->setTextMatrix(1, 0, QStringLiteral("ToolDef"));
  grdCtrlDef->setTextMatrix(2, 0, QStringLiteral("WorkDef"));
  grdCtrlDef->setTextMatrix(3, 0, QStringLiteral("AreaDef"));

  txtCtrlValue->setText(QStringLiteral("0"));
  lblError->setText(QStringLiteral("0"));
  lblErrorDescription->setText(QString());
  lblMode->setText(QString());

  cmbDefType->setListIndex(0);
  txtDefNo->setText(QStringLiteral("0"));
  cmbVariable->setListIndex(0);
  txtVariableNo->setText(QStringLiteral("0"));
  txtVariableValue->setText(QStringLiteral("0"));
  cmbComp->setListIndex(0);
  cmbPath->setListIndex(0);
  txtLength->setText(QStringLiteral("0"));

  SetConnectState(false);
  OptDevice_Click(0);
}

// Closing never disconnects: a connection still open is left to the controller library.
void KelvorTesterForm::Form_Unload(int& cancel) { cancel = 0; }

void KelvorTesterForm::cmdExit_Click() { close(); }
