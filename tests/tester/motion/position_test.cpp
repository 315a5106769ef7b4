// "GetPostion" and "Calc DEVH": numbers between the pose fields and the library.
#include "form_fixture.h"

using fakearg::floats;

namespace {

class PoseTest : public ConnectedFormTest {
 protected:
  std::vector<std::string> fields() const {
    std::vector<std::string> out;
    for (TextBox* f : form->txtPos) out.push_back(f->text().toStdString());
    return out;
  }
  void typePose(std::initializer_list<const char*> texts) {
    int i = 0;
    for (const char* t : texts) type(form->txtPos[i++], t);
  }
};

using Fields = std::vector<std::string>;

TEST_F(PoseTest, ReadoutWritesExactlySevenFieldsRoundedToSevenDigits) {
  typePose({"9", "9", "9", "9", "9", "9", "9", "5.5", "keep", ""});
  lib.script("get_CurrentP", reply(0, {1234.5678, 100, -0.5, 1e-5, 0, 12.5, 7, 99}));
  QTest::mouseClick(form->cmdPosition, Qt::LeftButton);

  EXPECT_EQ(lib.texts(), std::vector<std::string>{"klv_get_CurrentP(out[8])"});
  // Element 7 (99) is not shown anywhere; Ox, Oy and Oz keep what was typed.
  EXPECT_EQ(fields(),
            (Fields{"1234.568", "100", "-0.5", "1E-05", "0", "12.5", "7", "5.5", "keep", ""}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PoseTest, ReadoutUsesTheLocaleDecimalSeparator) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  lib.script("get_CurrentP", reply(0, {-0.5, 1234.5678, 1500, 0, 0, 0, 0, 0}));
  QTest::mouseClick(form->cmdPosition, Qt::LeftButton);
  const Fields shown = fields();
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(shown[0], "-0,5");
  EXPECT_EQ(shown[1], "1234,568");
  EXPECT_EQ(shown[2], "1500") << "no thousands separator";
}

TEST_F(PoseTest, FailedReadoutReportsTheCodeAndChangesNoField) {
  typePose({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"});
  lib.script("get_CurrentP", reply(-1, {5, 5, 5, 5, 5, 5, 5, 5}));
  QTest::mouseClick(form->cmdPosition, Qt::LeftButton);
  expectOnlyMessage("get_CurrentP Failed (Error = 0xFFFFFFFF)", MsgIcon::Stop);
  EXPECT_EQ(fields(), (Fields{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
}

TEST_F(PoseTest, DevHTwiceAppliesTheOffsetTwice) {
  typePose({"1", "2", "3", "4", "5", "6", "7", "10", "20", "30"});
  lib.script("DevH", reply(0, {11, 22, 33, 4, 5, 6, 7}));
  lib.script("DevH", reply(0, {21, 42, 63, 4, 5, 6, 7.25}));
  QTest::mouseClick(form->cmdCalcDevH, Qt::LeftButton);
  QTest::mouseClick(form->cmdCalcDevH, Qt::LeftButton);

  const std::string offset = floats({10, 20, 30, 0, 0, 0, 0});
  EXPECT_EQ(lib.texts(),
            (std::vector<std::string>{
                "klv_DevH(" + floats({1, 2, 3, 4, 5, 6, 7}) + "," + offset + ",out[7])",
                "klv_DevH(" + floats({11, 22, 33, 4, 5, 6, 7}) + "," + offset + ",out[7])"}));
  EXPECT_EQ(fields(), (Fields{"21", "42", "63", "4", "5", "6", "7.25", "10", "20", "30"}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PoseTest, DevHStopsOnANonNumericOffsetAndReportsFailures) {
  typePose({"1", "2", "3", "4", "5", "6", "7", "10", "20", "abc"});
  QTest::mouseClick(form->cmdCalcDevH, Qt::LeftButton);
  EXPECT_TRUE(lib.calls().empty());
  EXPECT_EQ(messages.texts(),
            std::vector<std::string>{"\"abc\" in Oz is not a number within the range of a 32-bit "
                                     "float."});

  messages.shown.clear();
  type(form->txtPos[9], "30");
  lib.script("DevH", reply(0x2A, {9, 9, 9, 9, 9, 9, 9}));
  QTest::mouseClick(form->cmdCalcDevH, Qt::LeftButton);
  expectOnlyMessage("Calc DevH Failed (Error = 0x2A)", MsgIcon::Stop);
  EXPECT_EQ(fields(), (Fields{"1", "2", "3", "4", "5", "6", "7", "10", "20", "30"}));
}

TEST_F(PoseTest, EmptyFigStopsEveryPoseCommandBeforeAnyCall) {
  typePose({"1", "2", "3", "4", "5", "6", ""});
  CommandButton* const buttons[] = {form->cmdMove, form->cmdApproach, form->cmdDriveA,
                                    form->cmdCalcDevH};
  for (CommandButton* button : buttons) {
    messages.shown.clear();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(
        messages.texts(),
        std::vector<std::string>{"Fig is empty. Type a number within the range of a 32-bit float."})
        << button->text().toStdString();
  }
  EXPECT_TRUE(lib.calls().empty());
}

}  // namespace
