// "Move": the typed pose as a T position, moved to with the Comp, Path and Next options.
#include "app/kelvor_tester_form.h"
#include "motion/motion_options.h"

void KelvorTesterForm::cmdMove_Click() {
  PositionP pose{};
  if (!readPose(pose.data())) return;
  // Both selections are checked before the first call, so a missing one commands nothing.
  const std::optional<int32_t> comp = selectedComp();
  if (!comp) return;
  const std::optional<QByteArray> path = selectedPath();
  if (!path) return;

  PositionT target{};
  int32_t rc = lib().klv_P2T(pose.data(), target.data());
  if (rc != 0) {
    showFailure(QStringLiteral("P2T"), rc, MsgIcon::Stop);
    return;
  }
  rc = lib().klv_MoveT(*comp, path->constData(), target.data(), nextArgument(*chkNext));
  if (rc != 0) showFailure(QStringLiteral("MoveT"), rc, MsgIcon::Stop);
}
