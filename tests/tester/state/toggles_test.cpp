// The motor, automatic-mode and slave-mode boxes: read, compare, write, and undo a refusal.
#include "form_fixture.h"

using Strings = std::vector<std::string>;

namespace {}  // namespace

// Connected with motor off, slave mode off and the given automatic mode.
class ToggleTest : public FormTest {
 protected:
  void connectIn(int autoMode) {
    lib.script("get_AutoMode", value(autoMode));
    connect();
  }
  void click(QWidget* box) { QTest::mouseClick(box, Qt::LeftButton); }
  const ShownMessage& onlyMessage() {
    EXPECT_EQ(messages.shown.size(), 1u);
    return messages.shown.at(0);
  }
};

TEST_F(ToggleTest, MotorWritesOnlyWhenBoxAndControllerDisagree) {
  connectIn(1);
  lib.script("get_MotorState", value(1));
  click(form->chkMotor);  // the controller is already on
  EXPECT_EQ(lib.texts(), Strings{"klv_get_MotorState(out)"});
  EXPECT_EQ(form->chkMotor->text(), "Motor On");

  lib.clear();
  lib.script("get_MotorState", value(1));
  click(form->chkMotor);  // off, accepted
  EXPECT_EQ(lib.texts(), (Strings{"klv_get_MotorState(out)", "klv_put_MotorState(0)"}));
  EXPECT_EQ(form->chkMotor->value(), 0);
  EXPECT_EQ(form->chkMotor->text(), "Motor Off");
  EXPECT_TRUE(form->chkMotor->isEnabled());
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ToggleTest, RefusedMotorWriteIsUndoneWithoutASecondWrite) {
  connectIn(1);
  lib.script("put_MotorState", -1);
  click(form->chkMotor);
  EXPECT_EQ(lib.texts(), (Strings{"klv_get_MotorState(out)", "klv_put_MotorState(1)",
                                  "klv_get_MotorState(out)"}));
  EXPECT_EQ(onlyMessage().text, "put_MotorState Failed (Error = 0xFFFFFFFF)");
  EXPECT_EQ(onlyMessage().icon, MsgIcon::Exclamation);
  EXPECT_EQ(form->chkMotor->value(), 0);
  EXPECT_EQ(form->chkMotor->text(), "Motor Off");
}

TEST_F(ToggleTest, FailingStateReadsLeaveTheBoxDisabledWithItsOldCaption) {
  connectIn(1);
  bool disabledDuringRead = false;
  FakeReply failing = value(0, 0x21);
  failing.action = [&] { disabledDuringRead = !form->chkMotor->isEnabled(); };
  lib.script("get_MotorState", failing);
  click(form->chkMotor);
  EXPECT_TRUE(disabledDuringRead);
  EXPECT_EQ(onlyMessage().text, "get_MotorState Failed (Error = 0x21)");
  EXPECT_FALSE(form->chkMotor->isEnabled());
  EXPECT_EQ(form->chkMotor->value(), 1);
  EXPECT_EQ(form->chkMotor->text(), "Motor On");

  messages.shown.clear();
  lib.script("get_AutoMode", value(1, 4));
  click(form->chkAutomode);
  EXPECT_EQ(onlyMessage().text, "get_AutoMode Failed (Error = 0x4)");
  EXPECT_EQ(onlyMessage().icon, MsgIcon::Exclamation);
  EXPECT_FALSE(form->chkAutomode->isEnabled());
  EXPECT_EQ(lib.names().back(), "klv_get_AutoMode");
}

TEST_F(ToggleTest, AutomaticModeSwitchesAndOffersSlaveModeOnlyInInternalAuto) {
  connectIn(1);
  lib.script("get_AutoMode", value(1));
  lib.script("get_OperationMode", value(3));
  click(form->chkAutomode);
  EXPECT_EQ(lib.texts(), (Strings{"klv_get_AutoMode(out)", "klv_put_AutoMode(2)",
                                  "klv_get_OperationMode(out)"}));
  EXPECT_EQ(form->chkAutomode->value(), 1);
  EXPECT_EQ(form->chkAutomode->text(), "Internal Auto");
  EXPECT_TRUE(form->chkRobSlave->isEnabled());
  EXPECT_EQ(form->lblMode->text(), "Internal Auto Mode");

  lib.clear();
  lib.script("get_AutoMode", value(2));
  lib.script("get_OperationMode", value(4));
  click(form->chkAutomode);
  EXPECT_EQ(lib.texts(), (Strings{"klv_get_AutoMode(out)", "klv_put_AutoMode(1)",
                                  "klv_get_OperationMode(out)"}));
  EXPECT_EQ(form->chkAutomode->text(), "External Auto");
  EXPECT_FALSE(form->chkRobSlave->isEnabled());
  EXPECT_EQ(form->lblMode->text(), "External Auto Mode");

  lib.clear();
  lib.script("get_AutoMode", value(2));
  click(form->chkAutomode);  // already internal: no write, no mode refresh
  EXPECT_EQ(lib.names(), Strings{"klv_get_AutoMode"});
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ToggleTest, AutomaticModeZeroChangesOnlyTheCaption) {
  connectIn(1);
  lib.script("get_AutoMode", value(0));
  click(form->chkAutomode);
  EXPECT_EQ(lib.names(), Strings{"klv_get_AutoMode"});
  EXPECT_EQ(form->chkAutomode->value(), 1);
  EXPECT_EQ(form->chkAutomode->text(), "Internal Auto");
}

TEST_F(ToggleTest, RefusedModeWriteIsUndoneAndTheModeShownOnceAfterTheUndo) {
  connectIn(1);
  lib.always("get_AutoMode", value(1));
  lib.script("put_AutoMode", 0x102);
  click(form->chkAutomode);
  EXPECT_EQ(lib.texts(), (Strings{"klv_get_AutoMode(out)", "klv_put_AutoMode(2)",
                                  "klv_get_AutoMode(out)", "klv_get_OperationMode(out)"}));
  EXPECT_EQ(onlyMessage().text, "put_AutoMode Failed (Error = 0x102)");
  EXPECT_EQ(form->chkAutomode->value(), 0);
  EXPECT_EQ(form->chkAutomode->text(), "External Auto");
  EXPECT_FALSE(form->chkRobSlave->isEnabled());
}

// A controller that refuses every write while it reports a state the boxes do not mirror:
// each user action gives one refused write and one undo, and the undo writes nothing.
TEST_F(ToggleTest, UndoAgainstAControllerThatRefusesEverythingEndsAfterOneRestore) {
  connectIn(1);
  lib.always("get_MotorState", value(5));
  lib.always("put_MotorState", 1);
  lib.always("get_AutoMode", value(3));
  lib.always("put_AutoMode", 1);
  click(form->chkMotor);
  EXPECT_EQ(lib.texts(), (Strings{"klv_get_MotorState(out)", "klv_put_MotorState(1)",
                                  "klv_get_MotorState(out)"}));
  EXPECT_EQ(form->chkMotor->value(), 0);

  lib.clear();
  click(form->chkAutomode);
  EXPECT_EQ(lib.texts(), (Strings{"klv_get_AutoMode(out)", "klv_put_AutoMode(2)",
                                  "klv_get_AutoMode(out)", "klv_get_OperationMode(out)"}));
  EXPECT_EQ(form->chkAutomode->value(), 0);
  EXPECT_EQ(messages.texts(),
            (Strings{"put_MotorState Failed (Error = 0x1)", "put_AutoMode Failed (Error = 0x1)"}));
}

TEST_F(ToggleTest, SlaveCaptionChangesBeforeTheReadAndAgreementWritesNothing) {
  connectIn(2);
  QString captionDuringRead;
  FakeReply on = value(1);
  on.action = [&] { captionDuringRead = form->chkRobSlave->text(); };
  lib.script("get_RobSlaveState", on);
  click(form->chkRobSlave);
  EXPECT_EQ(captionDuringRead, "RobSlave Stop");
  EXPECT_EQ(lib.names(), Strings{"klv_get_RobSlaveState"});

  lib.clear();
  lib.script("get_RobSlaveState", value(1));
  click(form->chkRobSlave);
  EXPECT_EQ(lib.names(), (Strings{"klv_get_RobSlaveState", "klv_StopRobSlave"}));
  EXPECT_EQ(form->chkRobSlave->text(), "RobSlave Start");
  EXPECT_TRUE(form->chkRobSlave->isEnabled());
}

TEST_F(ToggleTest, FailingSlaveReadStillStartsAndARefusalTakesTheStateRead) {
  connectIn(2);
  // A careless library writes 1 although the read fails: the box takes 0 all the same.
  lib.script("get_RobSlaveState", value(1, 9));
  lib.script("StartRobSlave", 2);
  click(form->chkRobSlave);
  EXPECT_EQ(lib.names(),
            (Strings{"klv_get_RobSlaveState", "klv_StartRobSlave", "klv_get_RobSlaveState"}));
  EXPECT_EQ(onlyMessage().text, "get_RobSlaveState Failed (Error = 0x9)");
  EXPECT_EQ(onlyMessage().icon, MsgIcon::Exclamation);
  EXPECT_EQ(form->chkRobSlave->value(), 0);
  EXPECT_EQ(form->chkRobSlave->text(), "RobSlave Start");
}

TEST_F(ToggleTest, SlaveStateOutsideTheBoxRangeIsShownGrayedAndWritesNothing) {
  connectIn(2);
  lib.always("get_RobSlaveState", value(9));
  lib.script("StartRobSlave", 1);
  click(form->chkRobSlave);
  EXPECT_EQ(lib.names(),
            (Strings{"klv_get_RobSlaveState", "klv_StartRobSlave", "klv_get_RobSlaveState"}));
  EXPECT_EQ(form->chkRobSlave->value(), 2);
  EXPECT_EQ(form->chkRobSlave->text(), "RobSlave Stop");
  EXPECT_TRUE(messages.shown.empty()) << "a refused start shows nothing";
}
