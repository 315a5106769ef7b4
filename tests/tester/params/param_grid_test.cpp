// The parameter grid, its editor and the parameter refresh.
#include "form_fixture.h"

using Strings = std::vector<std::string>;

namespace {

const Strings kRefresh = {
    "klv_get_Speed",         "klv_get_ExtSpeed",   "klv_get_CurTool",
    "klv_get_CurWork",       "klv_get_CalData",    "klv_get_LinkParam",
    "klv_get_OperationMode", "klv_get_MotorState", "klv_get_AutoMode",
    "klv_get_RobSlaveState", "klv_get_ErrorCode",  "klv_get_ErrorDescription"};

}  // namespace

class ParamGridTest : public ConnectedFormTest {
 protected:
  void get() { QTest::mouseClick(form->cmdGetCtrl, Qt::LeftButton); }
  void change() { QTest::mouseClick(form->cmdChangeCtrl, Qt::LeftButton); }
  QString cell(int row) const { return form->grdCtrlParam->textMatrix(row, 1); }
};

TEST_F(ParamGridTest, SelectingAParameterOffersAChangeOfZeroFollowedByOneFullRefresh) {
  EXPECT_FALSE(form->cmdChangeCtrl->isEnabled());
  type(form->txtCtrlValue, "9");
  form->cmbCtrlParam->setListIndex(2);  // "CurTool"
  EXPECT_EQ(form->txtCtrlValue->text(), "0");
  EXPECT_TRUE(form->cmdChangeCtrl->isEnabled());
  EXPECT_TRUE(lib.calls().empty());

  change();
  Strings expected = {"klv_put_CurTool"};
  expected.insert(expected.end(), kRefresh.begin(), kRefresh.end());
  EXPECT_EQ(lib.names(), expected);
  EXPECT_EQ(lib.texts().front(), "klv_put_CurTool(0)");
}

TEST_F(ParamGridTest, ValuesAreWrittenByTypeAndShownAsPlainNumberText) {
  form->cmbCtrlParam->setListIndex(0);
  type(form->txtCtrlValue, "12.5");
  lib.script("get_Speed", value(100));
  lib.script("get_ExtSpeed", value(0.125));
  lib.script("get_CurTool", value(-3));
  lib.script("get_CurWork", value(7));
  change();
  EXPECT_EQ(lib.texts().front(), "klv_put_Speed(12.5)");
  EXPECT_EQ(cell(1), "100");
  EXPECT_EQ(cell(2), "0.125");
  EXPECT_EQ(cell(3), "-3");
  EXPECT_EQ(cell(4), "7");

  lib.clear();
  form->cmbCtrlParam->setListIndex(3);
  type(form->txtCtrlValue, "-41");
  change();
  EXPECT_EQ(lib.texts().front(), "klv_put_CurWork(-41)");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ParamGridTest, RefusedWriteOfAnyItemShowsSetValueFailedAndDoesNotRefresh) {
  const char* const writes[] = {"klv_put_Speed", "klv_put_ExtSpeed", "klv_put_CurTool",
                                "klv_put_CurWork"};
  for (int index = 0; index < 4; ++index) {
    lib.clear();
    messages.shown.clear();
    form->cmbCtrlParam->setListIndex(index);
    type(form->txtCtrlValue, "1");
    lib.script(writes[index], 0x42);
    change();
    EXPECT_EQ(lib.names(), Strings{writes[index]});
    expectOnlyMessage("Set Value Failed", MsgIcon::Stop);
  }
}

TEST_F(ParamGridTest, TextThatDoesNotConvertStopsBeforeAnyCall) {
  form->cmbCtrlParam->setListIndex(1);
  type(form->txtCtrlValue, "fast");
  change();
  form->cmbCtrlParam->setListIndex(2);
  type(form->txtCtrlValue, "9999999999");
  change();
  EXPECT_TRUE(lib.calls().empty());
  EXPECT_EQ(messages.shown.size(), 2u);
}

TEST_F(ParamGridTest, RefreshWithEveryCallFailingReportsInOrderAndZeroesTheGrid) {
  lib.script("get_Speed", value(3));
  lib.script("get_CurWork", value(4));
  get();
  EXPECT_EQ(cell(1), "3");
  for (const std::string& fn : kRefresh) lib.always(fn, value(8, -1));
  lib.clear();
  form->lblMode->setText("Teach Mode");
  get();

  EXPECT_EQ(lib.names(), Strings(kRefresh.begin(), kRefresh.end() - 1));
  for (int row = 1; row <= 4; ++row) EXPECT_EQ(cell(row), "0");
  EXPECT_EQ(messages.texts(), (Strings{"get_CalData Failed (Error = 0xFFFFFFFF)",
                                       "get_LinkParam Failed (Error = 0xFFFFFFFF)",
                                       "get_MotorState Failed (Error = 0xFFFFFFFF)",
                                       "get_AutoMode Failed (Error = 0xFFFFFFFF)",
                                       "get_RobSlaveState Failed (Error = 0xFFFFFFFF)",
                                       "get_ErrorCode Failed (Error = 0xFFFFFFFF)"}));
  for (const ShownMessage& m : messages.shown) EXPECT_EQ(m.icon, MsgIcon::Stop);
  EXPECT_EQ(form->lblMode->text(), "Teach Mode");
  EXPECT_EQ(form->txtCalSet[0]->text(), "0") << "a failed read leaves the boxes";
}

TEST_F(ParamGridTest, AutomaticModeDecidesWhichStateBoxesCanBeUsed) {
  struct Case {
    int mode, box;
    bool autoEnabled, slaveEnabled;
  };
  for (const Case c : {Case{2, 1, true, true}, Case{1, 0, true, false}, Case{0, 0, false, false},
                       Case{2, 1, true, true}}) {
    lib.always("get_AutoMode", value(c.mode));
    get();
    EXPECT_EQ(form->chkAutomode->value(), c.box) << "mode " << c.mode;
    EXPECT_EQ(form->chkAutomode->isEnabled(), c.autoEnabled) << "mode " << c.mode;
    EXPECT_EQ(form->chkRobSlave->isEnabled(), c.slaveEnabled) << "mode " << c.mode;
  }
  EXPECT_EQ(form->chkAutomode->text(), "Internal Auto") << "the box's own handler ran";
  EXPECT_EQ(lib.count("put_AutoMode"), 0);
}

// A check box holds 0, 1 or 2: a state it cannot mirror is shown grayed, and copying a
// state into a box never writes anything back.
TEST_F(ParamGridTest, CopiedStatesWriteNothingBackAndUnmirroredStatesShowGrayed) {
  lib.always("get_AutoMode", value(2));
  get();
  lib.always("get_MotorState", value(5));
  lib.always("get_AutoMode", value(3));
  lib.always("get_RobSlaveState", value(-4));
  get();
  EXPECT_EQ(form->chkMotor->value(), 2);
  EXPECT_EQ(form->chkMotor->text(), "Motor On");
  EXPECT_EQ(form->chkAutomode->value(), 0);
  EXPECT_EQ(form->chkRobSlave->value(), 2);
  for (const char* write : {"put_MotorState", "put_AutoMode", "StartRobSlave", "StopRobSlave"}) {
    EXPECT_EQ(lib.count(write), 0) << write;
  }
  EXPECT_TRUE(messages.shown.empty());
}
