// Reading and clearing the controller's error.
#include "form_fixture.h"

using Strings = std::vector<std::string>;

namespace {
FakeReply code(double c, int32_t result = 0) { return FakeReply{result, {c}, {}, true, {}}; }
FakeReply description(std::string t, bool nul = true) {
  return FakeReply{0, {}, std::move(t), nul, {}};
}
}  // namespace

class ErrorTest : public ConnectedFormTest {
 protected:
  void getError() { QTest::mouseClick(form->cmdGetError, Qt::LeftButton); }
  void clearError() { QTest::mouseClick(form->cmdClearError, Qt::LeftButton); }
};

TEST_F(ErrorTest, CodeIsShownInHexadecimalWithItsDescription) {
  lib.script("get_ErrorCode", code(255));
  lib.script("get_ErrorDescription", description("Servo overrun"));
  getError();
  EXPECT_EQ(lib.texts(), (Strings{"klv_get_ErrorCode(out)", "klv_get_ErrorDescription(buf,1024)"}));
  EXPECT_EQ(form->lblError->text(), "FF");
  EXPECT_EQ(form->lblErrorDescription->text(), "Servo overrun");

  lib.script("get_ErrorCode", code(-1));
  lib.script("get_ErrorDescription", description(std::string(1024, 'x'), false));
  getError();
  EXPECT_EQ(form->lblError->text(), "FFFFFFFF");
  EXPECT_EQ(form->lblErrorDescription->text().size(), 1024) << "a full buffer is shown whole";
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ErrorTest, FailingReadsClearTheDescriptionAndKeepWhatWasRead) {
  form->lblError->setText("1A");
  form->lblErrorDescription->setText("old text");
  lib.script("get_ErrorCode", code(7, -2));
  getError();
  EXPECT_EQ(lib.names(), Strings{"klv_get_ErrorCode"});
  EXPECT_EQ(form->lblError->text(), "1A");
  EXPECT_EQ(form->lblErrorDescription->text(), "");

  lib.script("get_ErrorCode", code(0x30));
  lib.script("get_ErrorDescription", FakeReply{5, {}, std::string("junk"), true, {}});
  getError();
  EXPECT_EQ(form->lblError->text(), "30");
  EXPECT_EQ(form->lblErrorDescription->text(), "");
  EXPECT_EQ(messages.texts(), (Strings{"get_ErrorCode Failed (Error = 0xFFFFFFFE)",
                                       "get_ErrorDescription Failed (Error = 0x5)"}));
  for (const ShownMessage& m : messages.shown) EXPECT_EQ(m.icon, MsgIcon::Stop);
}

TEST_F(ErrorTest, ClearingShowsTheClearedStateWithoutReadingAgain) {
  form->lblError->setText("FF");
  form->lblErrorDescription->setText("Servo overrun");
  lib.script("ClearError", 0x11);
  clearError();
  EXPECT_EQ(lib.texts(), Strings{"klv_ClearError(0)"});
  expectOnlyMessage("ClearError Failed (Error = 0x11)", MsgIcon::Stop);
  EXPECT_EQ(form->lblError->text(), "FF");
  EXPECT_EQ(form->lblErrorDescription->text(), "Servo overrun");

  lib.clear();
  clearError();
  EXPECT_EQ(lib.texts(), Strings{"klv_ClearError(0)"});
  EXPECT_EQ(form->lblError->text(), "0");
  EXPECT_EQ(form->lblErrorDescription->text(), "");
}
