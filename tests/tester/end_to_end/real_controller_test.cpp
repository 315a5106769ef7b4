// The whole path: the window, the real libkelvor.so.1 reached by dlopen, the wire, and a
// kelvor-sim on a free loopback port.
#include <gtest/gtest.h>

#include <QLocale>
#include <QTest>
#include <memory>

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

TEST_F(RealController, EveryMotionButtonWorksWithTheWindowsOptions) {
  start();
  QTest::mouseClick(form->chkMotor, Qt::LeftButton);
  ASSERT_EQ(form->chkMotor->value(), 1);
  FormTest::type(form->txtPos[0], "100.5");
  QTest::mouseClick(form->cmdMove, Qt::LeftButton);  // Comp "P", Path "@0", no Next
  for (TextBox* field : form->txtPos) FormTest::type(field, "0");
  QTest::mouseClick(form->cmdPosition, Qt::LeftButton);
  EXPECT_EQ(form->txtPos[0]->text(), "100.5");

  form->chkNext->click();
  form->cmbComp->setListIndex(1);  // "L"
  form->cmbPath->setListIndex(2);  // "@E"
  FormTest::type(form->txtLength, "25");
  QTest::mouseClick(form->cmdApproach, Qt::LeftButton);
  QTest::mouseClick(form->cmdDepart, Qt::LeftButton);
  QTest::mouseClick(form->cmdDriveA, Qt::LeftButton);
  FormTest::type(form->txtPos[7], "10");
  QTest::mouseClick(form->cmdCalcDevH, Qt::LeftButton);
  EXPECT_EQ(form->txtPos[0]->text(), "110.5");
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

  for (int i = 0; i < 6; ++i) {
    FormTest::type(form->txtCalSet[i], QString::number(i + 0.5));
    FormTest::type(form->txtLinkSS[i], QString::number(10 * i));
    FormTest::type(form->txtLinkAA[i], QString::number(-i));
  }
  QTest::mouseClick(form->cmdPutCtrl, Qt::LeftButton);
  for (int i = 0; i < 6; ++i) form->txtCalSet[i]->clear();
  QTest::mouseClick(form->cmdGetCtrl, Qt::LeftButton);
  EXPECT_EQ(form->txtCalSet[5]->text(), "5.5");
  EXPECT_EQ(form->txtLinkSS[3]->text(), "30");
  EXPECT_EQ(form->txtLinkAA[2]->text(), "-2");

  for (int kind = 0; kind < 3; ++kind) {
    form->cmbDefType->setListIndex(kind);
    QTest::mouseClick(form->cmdGetDef, Qt::LeftButton);
    EXPECT_EQ(form->grdCtrlDef->textMatrix(kind + 1, 1), "0");
  }
  FormTest::type(form->TxtLenDiff[4], "1.25");
  QTest::mouseClick(form->cmdCalcCalset, Qt::LeftButton);
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
