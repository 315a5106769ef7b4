// The joint table: calibration set and link parameters read by the refresh, written by "Put".
#include "form_fixture.h"

using Strings = std::vector<std::string>;
using fakearg::floats;

class LinkCalTest : public FormTest {
 protected:
  void get() { QTest::mouseClick(form->cmdGetCtrl, Qt::LeftButton); }
  void put() { QTest::mouseClick(form->cmdPutCtrl, Qt::LeftButton); }
  static Strings texts(TextBox* const (&boxes)[6]) {
    Strings out;
    for (TextBox* box : boxes) out.push_back(box->text().toStdString());
    return out;
  }
};

TEST_F(LinkCalTest, PutSendsBackWhatTheRefreshShowedWithElementSixZero) {
  connect();
  lib.script("get_CalData", FakeReply{0, {1.5, 0, -2, 1234.5678, 0.25, 100, 99}, {}, true, {}});
  lib.script("get_LinkParam",
             FakeReply{0, {10, 11, 12, 13, 14, 15, 16, 20, 21, 22, 23, 24, 25, 26}, {}, true, {}});
  get();
  EXPECT_EQ(texts(form->txtCalSet), (Strings{"1.5", "0", "-2", "1234.568", "0.25", "100"}));
  EXPECT_EQ(texts(form->txtLinkSS), (Strings{"10", "11", "12", "13", "14", "15"}));
  EXPECT_EQ(texts(form->txtLinkAA), (Strings{"20", "21", "22", "23", "24", "25"}));

  lib.clear();
  type(form->txtLinkAA[2], "-0.5");
  put();
  EXPECT_EQ(lib.texts(),
            (Strings{"klv_put_CalData(" + floats({1.5F, 0, -2, 1234.568F, 0.25F, 100, 0}) + ")",
                     "klv_put_LinkParam(" + floats({10, 11, 12, 13, 14, 15, 0}) + "," +
                         floats({20, 21, -0.5F, 23, 24, 25, 0}) + ")"}));
  EXPECT_TRUE(messages.shown.empty()) << "success is not announced";
  EXPECT_EQ(form->txtLinkAA[2]->text(), "-0.5") << "nothing is read back";
}

TEST_F(LinkCalTest, FailedFirstReadsKeepTheDesignTextAndPutThenCallsNothing) {
  lib.script("get_CalData", FakeReply{4, {1, 2, 3, 4, 5, 6, 7}, {}, true, {}});
  lib.script("get_LinkParam", FakeReply{5, {1, 2, 3, 4, 5, 6, 7}, {}, true, {}});
  type(form->txtIPAddress, "127.0.0.1");
  QTest::mouseClick(form->cmdConnect, Qt::LeftButton);
  EXPECT_EQ(messages.texts(),
            (Strings{"get_CalData Failed (Error = 0x4)", "get_LinkParam Failed (Error = 0x5)"}));
  EXPECT_EQ(texts(form->txtCalSet), Strings(6, "Text1"));
  EXPECT_EQ(texts(form->txtLinkAA), Strings(6, "Text1"));

  lib.clear();
  messages.shown.clear();
  put();
  EXPECT_TRUE(lib.calls().empty());
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].text.find("Text1"), std::string::npos);
}

TEST_F(LinkCalTest, EmptyLastBoxStopsThePutBeforeEitherWrite) {
  connect();
  type(form->txtLinkAA[5], "");
  put();
  EXPECT_TRUE(lib.calls().empty());
  EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(LinkCalTest, BothWritesAreAttemptedAndEachFailureReported) {
  connect();
  lib.script("put_CalData", 3);
  put();
  EXPECT_EQ(lib.names(), (Strings{"klv_put_CalData", "klv_put_LinkParam"}));
  EXPECT_EQ(messages.texts(), Strings{"put_CalData Failed (Error = 0x3)"});

  messages.shown.clear();
  lib.script("put_CalData", -1);
  lib.script("put_LinkParam", 0x1F);
  put();
  EXPECT_EQ(messages.texts(), (Strings{"put_CalData Failed (Error = 0xFFFFFFFF)",
                                       "put_LinkParam Failed (Error = 0x1F)"}));
  for (const ShownMessage& m : messages.shown) EXPECT_EQ(m.icon, MsgIcon::Stop);
}
