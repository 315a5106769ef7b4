// "Get Def": one tool, work or area definition into its row of the definition grid.
#include <array>

#include "app/kelvor_tester_form.h"
#include "ctrllib/number_text.h"

void KelvorTesterForm::cmdGetDef_Click() {
  // The selection index picks the call and the row; the items' data are not used.
  const int kind = cmbDefType->listIndex();
  if (kind < 0 || kind > 2) return;
  const std::optional<int32_t> number = readInt32(txtDefNo);
  if (!number) return;

  std::array<float, 7> toolWork{};  // X, Y, Z, RX, RY, RZ and one element not shown
  std::array<float, 14> area{};     // X to Enable and one element not shown
  int32_t rc = 0;
  const float* record = toolWork.data();
  int shown = 6;
  switch (kind) {
    case 0:
      rc = lib().klv_get_ToolDef(*number, toolWork.data());
      break;
    case 1:
      rc = lib().klv_get_WorkDef(*number, toolWork.data());
      break;
    default:
      rc = lib().klv_get_AreaDef(*number, area.data());
      record = area.data();
      shown = 13;
      break;
  }
  if (rc != 0) {
    showMessage(QStringLiteral("Def get Failed"), MsgIcon::Stop);
    return;
  }
  for (int col = 1; col <= shown; ++col) {
    grdCtrlDef->setTextMatrix(kind + 1, col, numtext::floatText(record[col - 1]));
  }
}
