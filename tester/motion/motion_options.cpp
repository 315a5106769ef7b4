// The pose fields and the Comp and Path options, as the motion handlers read them.
#include "app/kelvor_tester_form.h"
#include "ctrllib/lib_strings.h"

bool KelvorTesterForm::readPose(float* pose) {
  for (int i = 0; i < 7; ++i) {
    const std::optional<float> value = readFloat(txtPos[i]);
    if (!value) return false;
    pose[i] = *value;
  }
  return true;
}

std::optional<int32_t> KelvorTesterForm::selectedComp() {
  const int index = cmbComp->listIndex();
  if (index < 0) {
    showMessage(QStringLiteral("Select a Comp from the list (P or L)."), MsgIcon::Stop);
    cmbComp->setFocus(Qt::OtherFocusReason);
    return std::nullopt;
  }
  return cmbComp->itemNumber(index);
}

std::optional<QByteArray> KelvorTesterForm::selectedPath() {
  const int index = cmbPath->listIndex();
  if (index < 0) {
    showMessage(QStringLiteral("Select a Path from the list (@0, @P or @E)."), MsgIcon::Stop);
    cmbPath->setFocus(Qt::OtherFocusReason);
    return std::nullopt;
  }
  return toLibString(cmbPath->itemText(index));
}
