// "Calc Calset": the six rotation and six length differences to the calibration calculation.
#include <array>

#include "app/kelvor_tester_form.h"

void KelvorTesterForm::cmdCalcCalset_Click() {
  std::array<float, 7> rotation{};  // element 6 has no field and stays 0
  std::array<float, 7> length{};
  for (int i = 0; i < 6; ++i) {
    const std::optional<float> rot = readFloat(TxtRotDiff[i]);
    if (!rot) return;
    rotation[i] = *rot;
    const std::optional<float> len = readFloat(TxtLenDiff[i]);
    if (!len) return;
    length[i] = *len;
  }
  // Whatever the library writes into the arrays is not looked at; success shows nothing.
  const int32_t rc = lib().klv_Calibrate(rotation.data(), length.data());
  if (rc != 0) showFailure(QStringLiteral("Calibate"), rc, MsgIcon::Stop);
}
