// "Calc DEVH": the pose X to Fig shifted by Ox, Oy, Oz, written back into X to Fig.
#include <array>

#include "app/kelvor_tester_form.h"
#include "ctrllib/number_text.h"

void KelvorTesterForm::cmdCalcDevH_Click() {
  std::array<float, 7> base{};
  std::array<float, 7> offset{};  // elements 3 to 6 have no field and stay 0
  std::array<float, 7> result{};
  if (!readPose(base.data())) return;
  for (int j = 0; j < 3; ++j) {
    const std::optional<float> value = readFloat(txtPos[7 + j]);
    if (!value) return;
    offset[j] = *value;
  }

  const int32_t rc = lib().klv_DevH(base.data(), offset.data(), result.data());
  if (rc != 0) {
    showFailure(QStringLiteral("Calc DevH"), rc, MsgIcon::Stop);
    return;
  }
  for (int k = 0; k < 7; ++k) txtPos[k]->setText(numtext::floatText(result[k]));
}
