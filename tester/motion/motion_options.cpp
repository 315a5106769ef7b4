// The pose fields and the Comp and Path options, as the motion handlers read them.
#include "motion/motion_options.h"

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

bool KelvorTesterForm::readMotionOptions(unsigned inputs, MotionOptions& options) {
  if (inputs & kWithComp) {
    const int index = cmbComp->listIndex();
    if (index < 0) {
      showMessage(QStringLiteral("Select a Comp from the list (P or L)."), MsgIcon::Stop);
      cmbComp->setFocus(Qt::OtherFocusReason);
      return false;
    }
    options.comp = cmbComp->itemNumber(index);
  }
  // The Path is the selected item's text; typed text that matches no item is never passed.
  const int path = cmbPath->listIndex();
  if (path < 0) {
    showMessage(QStringLiteral("Select a Path from the list (@0, @P or @E)."), MsgIcon::Stop);
    cmbPath->setFocus(Qt::OtherFocusReason);
    return false;
  }
  options.path = toLibString(cmbPath->itemText(path));
  if (inputs & kWithLength) {
    const std::optional<float> length = readFloat(txtLength);
    if (!length) return false;
    options.length = *length;
  }
  options.next = chkNext->value() == 1 ? "NEXT" : nullptr;
  return true;
}
