// The controller's current error: readout and clearing.
#include "app/kelvor_tester_form.h"
#include "ctrllib/lib_strings.h"
#include "ctrllib/number_text.h"

void KelvorTesterForm::cmdGetError_Click() {
  lblErrorDescription->setText(QString());

  int32_t code = 0;
  int32_t rc = lib().klv_get_ErrorCode(&code);
  if (rc != 0) {
    showFailure(QStringLiteral("get_ErrorCode"), rc, MsgIcon::Stop);
    return;
  }
  lblError->setText(numtext::hexCode(code));

  OutText description;
  rc = lib().klv_get_ErrorDescription(description.data(), description.capacity());
  if (rc != 0) {
    showFailure(QStringLiteral("get_ErrorDescription"), rc, MsgIcon::Stop);
    return;
  }
  lblErrorDescription->setText(description.text());
}

// A successful clear shows the cleared state at once; the controller is not read again.
void KelvorTesterForm::cmdClearError_Click() {
  const int32_t rc = lib().klv_ClearError(0);
  if (rc != 0) {
    showFailure(QStringLiteral("ClearError"), rc, MsgIcon::Stop);
    return;
  }
  lblError->setText(QStringLiteral("0"));
  lblErrorDescription->setText(QString());
}
