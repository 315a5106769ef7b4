// "Approach", "Depart" and "DriveA". Each call has its own argument order and uses only the
// options it needs; every input is read and converted before the first library call.
#include "app/kelvor_tester_form.h"
#include "motion/motion_options.h"

void KelvorTesterForm::cmdApproach_Click() {
  PositionP pose{};
  if (!readPose(pose.data())) return;
  MotionOptions options;
  if (!readMotionOptions(kWithComp | kWithLength, options)) return;

  const int32_t rc = lib().klv_ApproachP(options.comp, pose.data(), options.path.constData(),
                                         options.length, options.next);
  if (rc != 0) showFailure(QStringLiteral("ApproachP"), rc, MsgIcon::Stop);
}

void KelvorTesterForm::cmdDepart_Click() {
  MotionOptions options;
  if (!readMotionOptions(kWithComp | kWithLength, options)) return;

  const int32_t rc =
      lib().klv_Depart(options.comp, options.path.constData(), options.length, options.next);
  if (rc != 0) showFailure(QStringLiteral("Depart"), rc, MsgIcon::Stop);
}

void KelvorTesterForm::cmdDriveA_Click() {
  PositionP pose{};
  if (!readPose(pose.data())) return;
  MotionOptions options;  // Comp and Length play no part in a joint drive
  if (!readMotionOptions(0, options)) return;

  PositionJ joints{};
  int32_t rc = lib().klv_P2J(pose.data(), joints.data());
  if (rc != 0) {
    showFailure(QStringLiteral("P2J"), rc, MsgIcon::Stop);
    return;
  }
  rc = lib().klv_DriveA(options.path.constData(), joints.data(), options.next);
  if (rc != 0) showFailure(QStringLiteral("DriveA"), rc, MsgIcon::Stop);
}
