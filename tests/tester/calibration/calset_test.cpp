// "Calc Calset": twelve fields into two seven-element arrays, each by its own index.
#include "form_fixture.h"

using fakearg::floats;

namespace {

class CalsetTest : public ConnectedFormTest {
 protected:
  void click() { QTest::mouseClick(form->cmdCalcCalset, Qt::LeftButton); }
};

TEST_F(CalsetTest, StartUpValuesSendSevenZerosTwiceAndShowNothing) {
  click();
  const std::string zeros = floats({0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(lib.texts(), std::vector<std::string>{"klv_Calibrate(" + zeros + "," + zeros + ")"});
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(form->TxtRotDiff[0]->text(), "0");
}

TEST_F(CalsetTest, EachFieldFeedsTheElementOfItsOwnIndex) {
  for (int i = 0; i < 6; ++i) {
    type(form->TxtRotDiff[i], std::to_string(i + 1).c_str());
    type(form->TxtLenDiff[i], std::to_string(-(i + 1) * 10).c_str());
  }
  type(form->TxtLenDiff[4], "5.5");  // captioned "Len5"
  click();
  EXPECT_EQ(lib.texts(),
            std::vector<std::string>{"klv_Calibrate(" + floats({1, 2, 3, 4, 5, 6, 0}) + "," +
                                     floats({-10, -20, -30, -40, 5.5, -60, 0}) + ")"});
  EXPECT_EQ(form->TxtLenDiff[4]->text(), "5.5");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(CalsetTest, NonNumericLen5PreventsTheCall) {
  type(form->TxtLenDiff[4], "abc");
  click();
  EXPECT_TRUE(lib.calls().empty());
  EXPECT_EQ(messages.texts(),
            std::vector<std::string>{"\"abc\" in Len5 is not a number within the range of a 32-bit "
                                     "float."});
}

TEST_F(CalsetTest, RefusedCalculationShowsItsMessage) {
  lib.script("Calibrate", -2);
  click();
  expectOnlyMessage("Calibate Failed (Error = 0xFFFFFFFE)", MsgIcon::Stop);
}

}  // namespace
