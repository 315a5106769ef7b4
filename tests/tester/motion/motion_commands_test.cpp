// "Move", "Approach", "Depart" and "DriveA": argument order, options and early stops.
#include "form_fixture.h"

using fakearg::floats;

namespace {

using Texts = std::vector<std::string>;

const std::string kPoseP = floats({1, 2, 3, 4, 5, 6, 7, 0});
const std::string kZerosT = floats({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
const std::string kZerosJ = floats({0, 0, 0, 0, 0, 0, 0, 0, 0});

class MotionTest : public ConnectedFormTest {
 protected:
  void SetUp() override {
    ConnectedFormTest::SetUp();
    for (int i = 0; i < 7; ++i) type(form->txtPos[i], std::to_string(i + 1).c_str());
    lib.clear();
  }
  void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  static void typeInto(ComboControl* combo, const char* text) {
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), text);
  }
};

TEST_F(MotionTest, StartUpOptionsForEveryCommand) {
  lib.script("P2T", reply(0, {1.5, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  lib.script("P2J", reply(0, {9, 8, 7, 6, 5, 4, 3, 2, 1}));
  click(form->cmdMove);
  click(form->cmdApproach);
  click(form->cmdDepart);
  click(form->cmdDriveA);
  EXPECT_EQ(lib.texts(),
            (Texts{"klv_P2T(" + kPoseP + ",out[11])",
                   "klv_MoveT(1,\"@0\"," + floats({1.5, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) + ",null)",
                   "klv_ApproachP(1," + kPoseP + ",\"@0\",0,null)", "klv_Depart(1,\"@0\",0,null)",
                   "klv_P2J(" + kPoseP + ",out[9])",
                   "klv_DriveA(\"@0\"," + floats({9, 8, 7, 6, 5, 4, 3, 2, 1}) + ",null)"}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MotionTest, CompAndPathSelectionsAndNextOnAndOff) {
  form->cmbComp->setListIndex(1);
  form->cmbPath->setListIndex(2);
  click(form->chkNext);
  ASSERT_EQ(form->chkNext->value(), 1);
  click(form->cmdMove);
  click(form->cmdApproach);
  click(form->cmdDepart);
  click(form->cmdDriveA);  // ignores Comp "L"
  EXPECT_EQ(
      lib.texts(),
      (Texts{"klv_P2T(" + kPoseP + ",out[11])", "klv_MoveT(2,\"@E\"," + kZerosT + ",\"NEXT\")",
             "klv_ApproachP(2," + kPoseP + ",\"@E\",0,\"NEXT\")", "klv_Depart(2,\"@E\",0,\"NEXT\")",
             "klv_P2J(" + kPoseP + ",out[9])", "klv_DriveA(\"@E\"," + kZerosJ + ",\"NEXT\")"}));

  lib.clear();
  click(form->chkNext);
  form->cmbPath->setListIndex(1);
  click(form->cmdMove);
  click(form->cmdDepart);
  EXPECT_EQ(lib.last("klv_MoveT")->text(), "klv_MoveT(2,\"@P\"," + kZerosT + ",null)");
  EXPECT_EQ(lib.last("klv_Depart")->text(), "klv_Depart(2,\"@P\",0,null)");
}

TEST_F(MotionTest, EachCommandUsesOnlyItsOwnInputs) {
  // Depart takes no pose, Move no Length or offsets, DriveA no Length.
  type(form->txtPos[7], "x");
  type(form->txtPos[9], "y");
  type(form->txtLength, "abc");
  click(form->cmdMove);
  click(form->cmdDriveA);
  EXPECT_EQ(lib.names(), (Texts{"klv_P2T", "klv_MoveT", "klv_P2J", "klv_DriveA"}));
  EXPECT_TRUE(messages.shown.empty());

  lib.clear();
  type(form->txtPos[6], "");
  type(form->txtLength, "25.5");
  click(form->cmdDepart);
  EXPECT_EQ(lib.texts(), Texts{"klv_Depart(1,\"@0\",25.5,null)"});
  EXPECT_EQ(form->txtPos[0]->text(), "1") << "a command never rewrites the pose";
  EXPECT_EQ(form->txtPos[6]->text(), "");
}

TEST_F(MotionTest, LengthFollowsTheLocaleAndStopsApproachAndDepartWhenNotANumber) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  type(form->txtLength, "25,5");
  click(form->cmdApproach);
  click(form->cmdDepart);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(lib.texts(), (Texts{"klv_ApproachP(1," + kPoseP + ",\"@0\",25.5,null)",
                                "klv_Depart(1,\"@0\",25.5,null)"}));

  lib.clear();
  type(form->txtLength, "abc");
  click(form->cmdApproach);
  click(form->cmdDepart);
  EXPECT_TRUE(lib.calls().empty());
  const std::string refused =
      "\"abc\" in Length is not a number within the range of a 32-bit float.";
  EXPECT_EQ(messages.texts(), (Texts{refused, refused}));
}

TEST_F(MotionTest, FailedConversionStopsBeforeTheMotionCall) {
  lib.script("P2T", 0x105);
  lib.script("P2J", -2);
  click(form->cmdMove);
  click(form->cmdDriveA);
  EXPECT_EQ(lib.names(), (Texts{"klv_P2T", "klv_P2J"}));
  EXPECT_EQ(messages.texts(),
            (Texts{"P2T Failed (Error = 0x105)", "P2J Failed (Error = 0xFFFFFFFE)"}));
}

TEST_F(MotionTest, RefusedMotionsReportTheirOwnWords) {
  lib.always("MoveT", 1);
  lib.always("ApproachP", 2);
  lib.always("Depart", 0xAB);
  lib.always("DriveA", 0x7FFFFFFF);
  click(form->cmdMove);
  click(form->cmdApproach);
  click(form->cmdDepart);
  click(form->cmdDriveA);
  EXPECT_EQ(messages.texts(),
            (Texts{"MoveT Failed (Error = 0x1)", "ApproachP Failed (Error = 0x2)",
                   "Depart Failed (Error = 0xAB)", "DriveA Failed (Error = 0x7FFFFFFF)"}));
  for (const ShownMessage& m : messages.shown) EXPECT_EQ(m.icon, MsgIcon::Stop);
}

TEST_F(MotionTest, TypedCompWithNoItemStopsTheCommandsThatUseIt) {
  typeInto(form->cmbComp, "Q");
  ASSERT_EQ(form->cmbComp->listIndex(), -1);
  click(form->cmdMove);
  click(form->cmdApproach);
  click(form->cmdDepart);
  const std::string select = "Select a Comp from the list (P or L).";
  EXPECT_EQ(messages.texts(), (Texts{select, select, select}));
  EXPECT_TRUE(lib.calls().empty());
  for (const ShownMessage& m : messages.shown) EXPECT_EQ(m.icon, MsgIcon::Stop);

  click(form->cmdDriveA);
  EXPECT_EQ(lib.names(), (Texts{"klv_P2J", "klv_DriveA"}));

  // Typing an item's exact text selects it.
  lib.clear();
  typeInto(form->cmbComp, "L");
  click(form->cmdDepart);
  EXPECT_EQ(lib.texts(), Texts{"klv_Depart(2,\"@0\",0,null)"});
}

TEST_F(MotionTest, TypedPathWithNoItemStopsEveryMotionAndIsNeverPassed) {
  typeInto(form->cmbPath, "@X");
  ASSERT_EQ(form->cmbPath->listIndex(), -1);
  click(form->cmdMove);
  click(form->cmdApproach);
  click(form->cmdDepart);
  click(form->cmdDriveA);
  const std::string select = "Select a Path from the list (@0, @P or @E).";
  EXPECT_EQ(messages.texts(), (Texts{select, select, select, select}));
  EXPECT_TRUE(lib.calls().empty());

  // A pose that does not convert is reported before the missing selection.
  messages.shown.clear();
  type(form->txtPos[0], "x");
  click(form->cmdMove);
  EXPECT_EQ(messages.texts(),
            Texts{"\"x\" in X is not a number within the range of a 32-bit float."});
}

}  // namespace
