// "Move": the typed pose as a T position, moved to with the Comp, Path and Next options.
#include "app/kelvor_tester_form.h"
#include "motion/motion_options.h"

void KelvorTesterForm::cmdMove_Click() {
  PositionP pose{};
  if (!readPose(pose.data())) return;
  // The selections are checked before the first call, so a missing one commands nothing.
  MotionOptions options;
  if (!readMotionOptions(kWithComp, options)) return;

  PositionT target{};
  int32_t rc = lib().klv_P2T(pose.data(), target.data());
  if (rc != 0) {
    showFailure(QStringLiteral("P2T"), rc, MsgIcon::Stop);
    return;
  }
  rc = lib().klv_MoveT(options.comp, options.path.constData(), target.data(), options.next);
  if (rc != 0) showFailure(QStringLiteral("MoveT"), rc, MsgIcon::Stop);
}
