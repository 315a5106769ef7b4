// "Approach", "Depart" and "DriveA". Each call has its own argument order and uses only the
// options it needs; every input is read and converted before the first library call.
#include "app/kelvor_tester_form.h"
#include "motion/motion_options.h"

void KelvorTesterForm::cmdApproach_Click() {
  PositionP pose{};
  if (!readPose(pose.data())) return;
  const std::optional<int32_t> comp = selectedComp();
  if (!comp) return;
  const std::optional<QByteArray> path = selectedPath();
  if (!path) return;
  const std::optional<float> length = readFloat(txtLength);
  if (!length) return;

  const int32_t rc =
      lib().klv_ApproachP(*comp, pose.data(), path->constData(), *length, nextArgument(*chkNext));
  if (rc != 0) showFailure(QStringLiteral("ApproachP"), rc, MsgIcon::Stop);
}

void KelvorTesterForm::cmdDepart_Click() {
  const std::optional<int32_t> comp = selectedComp();
  if (!comp) return;
  const std::optional<QByteArray> path = selectedPath();
  if (!path) return;
  const std::optional<float> length = readFloat(txtLength);
  if (!length) return;

  const int32_t rc = lib().klv_Depart(*comp, path->constData(), *length, nextArgument(*chkNext));
  if (rc != 0) showFailure(QStringLiteral("Depart"), rc, MsgIcon::Stop);
}

void KelvorTesterForm::cmdDriveA_Click() {
  PositionP pose{};
  if (!readPose(pose.data())) return;
  // Comp and Length play no part in a joint drive.
  const std::optional<QByteArray> path = selectedPath();
  if (!path) return;

  PositionJ joints{};
  int32_t rc = lib().klv_P2J(pose.data(), joints.data());
  if (rc != 0) {
    showFailure(QStringLiteral("P2J"), rc, MsgIcon::Stop);
    return;
  }
  rc = lib().klv_DriveA(path->constData(), joints.data(), nextArgument(*chkNext));
  if (rc != 0) showFailure(QStringLiteral("DriveA"), rc, MsgIcon::Stop);
}
