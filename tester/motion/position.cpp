// "GetPostion": the robot's current position into the pose fields X to Fig.
#include "app/kelvor_tester_form.h"
#include "ctrllib/number_text.h"
#include "motion/motion_options.h"

void KelvorTesterForm::cmdPosition_Click() {
  PositionP position{};
  const int32_t rc = lib().klv_get_CurrentP(position.data());
  if (rc != 0) {
    showFailure(QStringLiteral("get_CurrentP"), rc, MsgIcon::Stop);
    return;
  }
  // Element 7 carries nothing for the window; Ox, Oy and Oz keep their text.
  for (int i = 0; i < 7; ++i) txtPos[i]->setText(numtext::floatText(position[i]));
}
