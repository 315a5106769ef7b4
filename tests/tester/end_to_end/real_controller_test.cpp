// The whole path: the window, the real libkelvor.so.1 reached by dlopen, the wire, and a
// kelvor-sim on a free loopback port.
#include <gtest/gtest.h>

#include <QLocale>
#include <QTest>
#include <cmath>
#include <memory>
#include <vector>

#include "app/kelvor_tester_form.h"
#include "ctrllib/dynamic_kelvor.h"
#include "form_fixture.h"
#include "recording_messages.h"
#include "sim_process.h"

class RealController : public ::testing::Test {
 protected:
  void start(std::vector<std::string> simArgs = {}) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    sim = std::make_unique<kelvor::test::SimProcess>(std::move(simArgs));
    lib = std::make_unique<DynamicKelvor>(messages, KELVOR_LIBRARY_PATH);
    form = std::make_unique<KelvorTesterForm>(*lib, messages, ports);
    form->Form_Load();
    form->txtIPAddress->setText(QStringLiteral("127.0.0.1:%1").arg(sim->port()));
    QTest::mouseClick(form->cmdConnect, Qt::LeftButton);
  }
  void TearDown() override {
    if (form && form->cmdDisconnect->isEnabled())
      QTest::mouseClick(form->cmdDisconnect, Qt::LeftButton);
    QLocale::setDefault(QLocale::c());
  }

  RecordingMessages messages;
  FakePorts ports;
  std::unique_ptr<kelvor::test::SimProcess> sim;
  std::unique_ptr<DynamicKelvor> lib;
  std::unique_ptr<KelvorTesterForm> form;
};

TEST_F(RealController, ConnectShowsTheIdentityAndFillsTheParameters) {
  start({"--rom-version", "2.1.0", "--serial-no", "SN-42", "--robot-type", "KV6-TEST"});
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front().text;
  EXPECT_TRUE(form->cmdDisconnect->isEnabled());
  EXPECT_EQ(form->lblRomVer->text(), "2.1.0");
  EXPECT_EQ(form->lblSirial->text(), "SN-42");
  EXPECT_EQ(form->lblRobotType->text(), "KV6-TEST");
  for (int row = 1; row <= 4; ++row) EXPECT_FALSE(form->grdCtrlParam->textMatrix(row, 1).isEmpty());
  for (int i = 0; i < 6; ++i) {
    EXPECT_NE(form->txtCalSet[i]->text(), "Text1");
    EXPECT_NE(form->txtLinkAA[i]->text(), "Text1");
  }
  EXPECT_FALSE(form->lblMode->text().isEmpty());
  EXPECT_EQ(form->lblError->text(), "0");

  QTest::mouseClick(form->cmdDisconnect, Qt::LeftButton);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(form->cmdConnect->isEnabled());
  EXPECT_EQ(form->lblRomVer->text(), "2.1.0") << "nothing is cleared on disconnection";
}

TEST_F(RealController, ChangingTheSpeedShowsTheNewValue) {
  start();
  form->cmbCtrlParam->setListIndex(0);
  FormTest::type(form->txtCtrlValue, "37.5");
  QTest::mouseClick(form->cmdChangeCtrl, Qt::LeftButton);
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front().text;
  EXPECT_EQ(form->grdCtrlParam->textMatrix(1, 1), "37.5");

  // A speed the controller refuses leaves the grid as it was.
  FormTest::type(form->txtCtrlValue, "250");
  QTest::mouseClick(form->cmdChangeCtrl, Qt::LeftButton);
  ASSERT_EQ(messages.texts(), std::vector<std::string>{"Set Value Failed"});
  EXPECT_EQ(form->grdCtrlParam->textMatrix(1, 1), "37.5");
}

TEST_F(RealController, ARefusedMotorWriteRestoresTheBox) {
  start({"--fail", "put_MotorState=0x1234:always"});
  ASSERT_EQ(form->chkMotor->value(), 0);
  QTest::mouseClick(form->chkMotor, Qt::LeftButton);
  ASSERT_EQ(messages.texts(), std::vector<std::string>{"put_MotorState Failed (Error = 0x1234)"});
  EXPECT_EQ(messages.shown[0].icon, MsgIcon::Exclamation);
  EXPECT_EQ(form->chkMotor->value(), 0);
  EXPECT_EQ(form->chkMotor->text(), "Motor Off");
  EXPECT_TRUE(form->chkMotor->isEnabled());
}

// Types X to Fig into the pose fields.
void typePose(KelvorTesterForm& form, const std::vector<QString>& values) {
  for (size_t i = 0; i < values.size(); ++i) FormTest::type(form.txtPos[i], values[i]);
}

// Whether the pose fields show want to 0.001 (mm, degrees): joints travel as floats, so a
// pose reached through them reads, say, Ry -6.9E-07 for 0.
bool fieldsShow(const KelvorTesterForm& form, const std::vector<QString>& want) {
  for (size_t i = 0; i < want.size(); ++i) {
    bool ok = false;
    const double v = QLocale().toDouble(form.txtPos[i]->text(), &ok);
    if (!ok || std::abs(v - QLocale().toDouble(want[i])) > 1e-3) return false;
  }
  return true;
}

// Presses "GetPostion" until the fields show want (the arm may still be on its way).
bool positionReaches(KelvorTesterForm& form, const std::vector<QString>& want) {
  for (int i = 0; i < 250; ++i) {
    QTest::mouseClick(form.cmdPosition, Qt::LeftButton);
    if (fieldsShow(form, want)) return true;
    QTest::qWait(20);
  }
  return false;
}

TEST_F(RealController, DriveAToATypedPoseThenGetPostionShowsItWithItsFig) {
  start();
  QTest::mouseClick(form->chkMotor, Qt::LeftButton);
  ASSERT_EQ(form->chkMotor->value(), 1);
  // Behind the base with the wrist flipped: only Fig 5 reaches it.
  const std::vector<QString> pose{"-330", "-20", "720", "20", "20", "-115", "5"};
  typePose(*form, pose);
  QTest::mouseClick(form->cmdDriveA, Qt::LeftButton);  // Path "@0", no Next
  ASSERT_EQ(messages.texts(), std::vector<std::string>{});
  typePose(*form, {"0", "0", "0", "0", "0", "0", "0"});
  QTest::mouseClick(form->cmdPosition, Qt::LeftButton);
  EXPECT_TRUE(fieldsShow(*form, pose));
  EXPECT_EQ(form->txtPos[6]->text(), "5");

  // In front of the base (Fig 0) the same position would need J1 at 180 degrees.
  typePose(*form, {"-330", "-20", "720", "20", "20", "-115", "0"});
  QTest::mouseClick(form->cmdDriveA, Qt::LeftButton);
  EXPECT_EQ(messages.texts(), std::vector<std::string>{"P2J Failed (Error = 0x100F)"});
}

TEST_F(RealController, EveryMotionButtonWorksWithTheWindowsOptions) {
  start();
  QTest::mouseClick(form->chkMotor, Qt::LeftButton);
  ASSERT_EQ(form->chkMotor->value(), 1);
  const std::vector<QString> pose{"350", "100", "450", "180", "0", "0", "0"};  // tool down
  typePose(*form, pose);
  QTest::mouseClick(form->cmdMove, Qt::LeftButton);  // Comp "P", Path "@0", no Next
  typePose(*form, {"0", "0", "0", "0", "0", "0", "0"});
  QTest::mouseClick(form->cmdPosition, Qt::LeftButton);
  EXPECT_TRUE(fieldsShow(*form, pose));

  // Linear, passing through: each motion is answered at once and blends into the next.
  form->chkNext->click();
  form->cmbComp->setListIndex(1);  // "L"
  form->cmbPath->setListIndex(1);  // "@P"
  FormTest::type(form->txtLength, "25");
  QTest::mouseClick(form->cmdApproach, Qt::LeftButton);  // 25 above the pose
  QTest::mouseClick(form->cmdDepart, Qt::LeftButton);    // 25 higher
  EXPECT_TRUE(positionReaches(*form, {"350", "100", "500", "180", "0", "0", "0"}));
  typePose(*form, pose);
  QTest::mouseClick(form->cmdDriveA, Qt::LeftButton);
  EXPECT_TRUE(positionReaches(*form, pose));
  typePose(*form, pose);
  FormTest::type(form->txtPos[7], "10");  // 10 along the tool's X, which points along +X
  QTest::mouseClick(form->cmdCalcDevH, Qt::LeftButton);
  EXPECT_EQ(form->txtPos[0]->text(), "360");
  EXPECT_EQ(messages.texts(), std::vector<std::string>{});
}

TEST_F(RealController, StateParameterDefinitionAndCalibrationButtonsWork) {
  start();
  EXPECT_EQ(form->lblMode->text(), "External Auto Mode");
  QTest::mouseClick(form->chkAutomode, Qt::LeftButton);
  EXPECT_EQ(form->chkAutomode->value(), 1);
  EXPECT_EQ(form->lblMode->text(), "Internal Auto Mode");
  ASSERT_TRUE(form->chkRobSlave->isEnabled());
  QTest::mouseClick(form->chkRobSlave, Qt::LeftButton);
  EXPECT_EQ(form->chkRobSlave->text(), "RobSlave Stop");
  QTest::mouseClick(form->chkRobSlave, Qt::LeftButton);
  EXPECT_EQ(form->chkRobSlave->value(), 0);

  // A calibrated arm of the same kind: the wrist stays spherical (LinkAA 4, 5 and LinkSS 5 0).
  const char* ss[6] = {"360", "5", "-5", "340", "0", "90"};
  const char* aa[6] = {"55", "310", "45", "0", "0", "10"};
  for (int i = 0; i < 6; ++i) {
    FormTest::type(form->txtCalSet[i], QString::number(i + 0.5));
    FormTest::type(form->txtLinkSS[i], ss[i]);
    FormTest::type(form->txtLinkAA[i], aa[i]);
  }
  QTest::mouseClick(form->cmdPutCtrl, Qt::LeftButton);
  for (int i = 0; i < 6; ++i) form->txtCalSet[i]->clear();
  QTest::mouseClick(form->cmdGetCtrl, Qt::LeftButton);
  EXPECT_EQ(form->txtCalSet[5]->text(), "5.5");
  EXPECT_EQ(form->txtLinkSS[3]->text(), "340");
  EXPECT_EQ(form->txtLinkAA[2]->text(), "45");

  // Definition 0 of each kind: the flange, the base frame, the work zone in front.
  const char* x[3] = {"0", "0", "450"};
  for (int kind = 0; kind < 3; ++kind) {
    form->cmbDefType->setListIndex(kind);
    QTest::mouseClick(form->cmdGetDef, Qt::LeftButton);
    EXPECT_EQ(form->grdCtrlDef->textMatrix(kind + 1, 1), x[kind]);
  }
  // Calibration adds the differences: the upper arm becomes 1.25 mm longer.
  FormTest::type(form->TxtLenDiff[1], "1.25");
  QTest::mouseClick(form->cmdCalcCalset, Qt::LeftButton);
  QTest::mouseClick(form->cmdGetCtrl, Qt::LeftButton);
  EXPECT_EQ(form->txtLinkAA[1]->text(), "311.25");
  QTest::mouseClick(form->cmdGetError, Qt::LeftButton);
  EXPECT_EQ(form->lblError->text(), "0");
  EXPECT_EQ(messages.texts(), std::vector<std::string>{});

  // A refusal latches the controller's error, which the readout then shows.
  form->cmbCtrlParam->setListIndex(2);
  FormTest::type(form->txtCtrlValue, "999");
  QTest::mouseClick(form->cmdChangeCtrl, Qt::LeftButton);
  EXPECT_EQ(messages.texts(), std::vector<std::string>{"Set Value Failed"});
  QTest::mouseClick(form->cmdGetError, Qt::LeftButton);
  EXPECT_NE(form->lblError->text(), "0");
  EXPECT_FALSE(form->lblErrorDescription->text().isEmpty());
  QTest::mouseClick(form->cmdClearError, Qt::LeftButton);
  QTest::mouseClick(form->cmdGetError, Qt::LeftButton);
  EXPECT_EQ(form->lblError->text(), "0");
}

TEST_F(RealController, VariablesRoundTripThroughTheController) {
  start();
  form->cmbVariable->setListIndex(3);  // S
  FormTest::type(form->txtVariableNo, "5");
  FormTest::type(form->txtVariableValue, "hello");
  QTest::mouseClick(form->cmdPutVariable, Qt::LeftButton);
  FormTest::type(form->txtVariableValue, "");
  QTest::mouseClick(form->cmdGetVariable, Qt::LeftButton);
  ASSERT_EQ(messages.texts(), std::vector<std::string>{});
  // The window hands the controller the text padded to 1024 characters; a read into the
  // 1024-byte buffer brings back at most 1023 of them and the NUL.
  EXPECT_EQ(form->txtVariableValue->text(), QString("hello").leftJustified(1023, QLatin1Char(' ')));

  form->cmbVariable->setListIndex(2);  // D
  FormTest::type(form->txtVariableValue, "0.1");
  QTest::mouseClick(form->cmdPutVariable, Qt::LeftButton);
  FormTest::type(form->txtVariableValue, "");
  QTest::mouseClick(form->cmdGetVariable, Qt::LeftButton);
  EXPECT_EQ(form->txtVariableValue->text(), "0.1");
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front().text;
}

TEST_F(RealController, ALostControllerGivesConnectionLostThenDisconnectWorks) {
  start();
  sim->stop(SIGKILL);
  QTest::mouseClick(form->cmdPosition, Qt::LeftButton);
  ASSERT_EQ(messages.texts(), std::vector<std::string>{"get_CurrentP Failed (Error = 0x80000008)"});
  QTest::mouseClick(form->cmdDisconnect, Qt::LeftButton);
  EXPECT_EQ(messages.shown.size(), 1u) << "disconnecting a lost connection succeeds";
  EXPECT_TRUE(form->cmdConnect->isEnabled());
}
