// "Get Def": the selection index chooses the call and the row of the definition grid.
#include "form_fixture.h"

namespace {

class DefGridTest : public ConnectedFormTest {
 protected:
  std::vector<std::string> row(int r) const {
    std::vector<std::string> out;
    for (int c = 1; c <= 13; ++c) out.push_back(form->grdCtrlDef->textMatrix(r, c).toStdString());
    return out;
  }
  void getDef(int index, const char* number) {
    form->cmbDefType->setListIndex(index);
    type(form->txtDefNo, number);
    QTest::mouseClick(form->cmdGetDef, Qt::LeftButton);
  }
};

using Cells = std::vector<std::string>;

TEST_F(DefGridTest, ToolThenWorkFillTheirOwnRowsAndColumnsOneToSix) {
  lib.script("get_ToolDef", reply(0, {1, 2, 3, 4.5, 5, 1234.5678, 77}));
  lib.script("get_WorkDef", reply(0, {11, 12, 13, 14, 15, 16, 88}));
  getDef(0, "3");
  getDef(1, "3");
  EXPECT_EQ(lib.texts(),
            (std::vector<std::string>{"klv_get_ToolDef(3,out[7])", "klv_get_WorkDef(3,out[7])"}));
  EXPECT_EQ(row(1), (Cells{"1", "2", "3", "4.5", "5", "1234.568", "", "", "", "", "", "", ""}));
  EXPECT_EQ(row(2), (Cells{"11", "12", "13", "14", "15", "16", "", "", "", "", "", "", ""}));
  EXPECT_EQ(row(3), Cells(13, ""));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DefGridTest, AreaFillsThirteenCellsAndNeverShowsElementThirteen) {
  lib.script("get_AreaDef", reply(0, {1, 2, 3, 4, 5, 6, 0.5, -0.25, 9, 10, 11, 0, 1.0, 99}));
  getDef(2, "-7");
  EXPECT_EQ(lib.texts(), std::vector<std::string>{"klv_get_AreaDef(-7,out[14])"});
  EXPECT_EQ(row(3),
            (Cells{"1", "2", "3", "4", "5", "6", "0.5", "-0.25", "9", "10", "11", "0", "1"}));
  EXPECT_EQ(form->grdCtrlDef->textMatrix(3, 0), "AreaDef");
  EXPECT_EQ(form->grdCtrlDef->textMatrix(0, 13), "Enable");
}

TEST_F(DefGridTest, FailedReadShowsItsMessageOnceAndKeepsStaleCells) {
  lib.script("get_ToolDef", reply(0, {1, 2, 3, 4, 5, 6, 7}));
  getDef(0, "1");
  lib.script("get_ToolDef", reply(0x12, {9, 9, 9, 9, 9, 9, 9}));
  getDef(0, "2");
  expectOnlyMessage("Def get Failed", MsgIcon::Stop);
  EXPECT_EQ(row(1), (Cells{"1", "2", "3", "4", "5", "6", "", "", "", "", "", "", ""}));
}

TEST_F(DefGridTest, NoSelectionDoesNothingAndABadNumberStopsBeforeTheCall) {
  form->cmbDefType->lineEdit()->selectAll();
  QTest::keyClicks(form->cmbDefType->lineEdit(), "Tool");
  ASSERT_EQ(form->cmbDefType->listIndex(), -1);
  type(form->txtDefNo, "abc");  // not even the number is looked at
  QTest::mouseClick(form->cmdGetDef, Qt::LeftButton);
  EXPECT_TRUE(lib.calls().empty());
  EXPECT_TRUE(messages.shown.empty());

  getDef(1, "x1");
  EXPECT_TRUE(lib.calls().empty());
  EXPECT_EQ(messages.texts(),
            std::vector<std::string>{"\"x1\" in Def No is not a number from -2147483648 to "
                                     "2147483647."});

  getDef(1, "2.5");  // rounds half to even
  EXPECT_EQ(lib.texts(), std::vector<std::string>{"klv_get_WorkDef(2,out[7])"});
}

}  // namespace
