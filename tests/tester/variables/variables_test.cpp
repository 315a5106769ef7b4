// "Get Value" and "Put Value": the type by item data, conversions first, the 1024-byte string.
#include "form_fixture.h"

namespace {

using Texts = std::vector<std::string>;

class VariableTest : public ConnectedFormTest {
 protected:
  void get() { QTest::mouseClick(form->cmdGetVariable, Qt::LeftButton); }
  void put(int index, const char* text) {
    form->cmbVariable->setListIndex(index);
    type(form->txtVariableValue, text);
    QTest::mouseClick(form->cmdPutVariable, Qt::LeftButton);
  }
  std::string shown() const { return form->txtVariableValue->text().toStdString(); }
};

TEST_F(VariableTest, ReadsEachTypeAndShowsItsText) {
  lib.script("get_VarI", value(-42));
  get();  // start-up: "I", number 0
  EXPECT_EQ(shown(), "-42");

  type(form->txtVariableNo, "7");
  lib.script("get_VarF", value(1234.5678));
  form->cmbVariable->setListIndex(1);
  get();
  EXPECT_EQ(shown(), "1234.568");
  lib.script("get_VarD", value(0.1234567890123456789));
  form->cmbVariable->setListIndex(2);
  get();
  EXPECT_EQ(shown(), "0.123456789012346");
  FakeReply s;
  s.text = "abc";
  lib.script("get_VarS", s);
  form->cmbVariable->setListIndex(3);
  get();
  EXPECT_EQ(shown(), "abc");
  lib.script("get_VarIO", value(255));
  form->cmbVariable->setListIndex(4);
  get();
  EXPECT_EQ(shown(), "255");

  EXPECT_EQ(lib.texts(), (Texts{"klv_get_VarI(0,out)", "klv_get_VarF(7,out)", "klv_get_VarD(7,out)",
                                "klv_get_VarS(7,buf,1024)", "klv_get_VarIO(7,out)"}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(VariableTest, TypeComesFromTheItemDataNotThePositionOrText) {
  form->cmbVariable->clear();
  form->cmbVariable->addListItem(QStringLiteral("first"), 5);
  form->cmbVariable->addListItem(QStringLiteral("second"), 3);
  form->cmbVariable->setListIndex(0);
  get();
  put(1, "1.5");
  EXPECT_EQ(lib.names(), (Texts{"klv_get_VarIO", "klv_put_VarD"}));
}

TEST_F(VariableTest, StringWriteIsPaddedWithSpacesToExactly1024Bytes) {
  put(3, "abc");
  EXPECT_EQ(lib.texts(), Texts{"klv_put_VarS(0,\"abc" + std::string(1021, ' ') + "\")"});

  // Longer text (pasted rather than typed) is cut after 1024 bytes, never inside a multi-byte
  // character.
  auto paste = [this](const std::string& text) {
    lib.clear();
    form->txtVariableValue->setText(QString::fromUtf8(text.c_str()));
    QTest::mouseClick(form->cmdPutVariable, Qt::LeftButton);
    return lib.last("klv_put_VarS")->args[1];
  };
  EXPECT_EQ(paste(std::string(1023, 'a') + "\xC3\xA9z"), "\"" + std::string(1023, 'a') + " \"");
  EXPECT_EQ(paste(std::string(1100, 'x')), "\"" + std::string(1024, 'x') + "\"");
  EXPECT_EQ(paste(std::string(1022, 'b') + "\xC3\xA9"),
            "\"" + std::string(1022, 'b') + "\xC3\xA9\"");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(VariableTest, NumericWritesConvertByTheirType) {
  put(0, "2.5");
  put(0, "3.5");
  put(4, "-1");
  put(2, "1e39");
  put(1, "0.5");
  EXPECT_EQ(lib.texts(),
            (Texts{"klv_put_VarI(0,2)", "klv_put_VarI(0,4)", "klv_put_VarIO(0,-1)",
                   "klv_put_VarD(0," + fakearg::d(1e39) + ")", "klv_put_VarF(0,0.5)"}));

  lib.clear();
  put(1, "1e39");
  EXPECT_TRUE(lib.calls().empty());
  EXPECT_EQ(messages.texts(),
            Texts{"\"1e39\" in Value is not a number within the range of a 32-bit float."});
}

TEST_F(VariableTest, TheValueIsConvertedBeforeTheNumber) {
  type(form->txtVariableNo, "n");
  put(0, "v");
  EXPECT_EQ(messages.texts(),
            Texts{"\"v\" in Value is not a number from -2147483648 to 2147483647."});
  messages.shown.clear();
  put(0, "1");
  EXPECT_EQ(messages.texts(), Texts{"\"n\" in No is not a number from -2147483648 to 2147483647."});
  EXPECT_TRUE(lib.calls().empty());
}

TEST_F(VariableTest, FailuresReportTheirCodesAndAFailedReadKeepsTheValue) {
  type(form->txtVariableValue, "previous");
  lib.script("get_VarI", value(99, 0x31));
  get();
  EXPECT_EQ(shown(), "previous");
  FakeReply s;
  s.result = -1;
  s.text = "junk";
  lib.script("get_VarS", s);
  form->cmbVariable->setListIndex(3);
  get();
  EXPECT_EQ(shown(), "previous");
  lib.script("put_VarS", 0x80000000);
  QTest::mouseClick(form->cmdPutVariable, Qt::LeftButton);
  EXPECT_EQ(messages.texts(),
            (Texts{"get_Var Failed (Error = 0x31)", "get_Var Failed (Error = 0xFFFFFFFF)",
                   "put_Var Failed (Error = 0x80000000)"}));
  for (const ShownMessage& m : messages.shown) EXPECT_EQ(m.icon, MsgIcon::Stop);
}

TEST_F(VariableTest, TypedNameWithNoItemStopsBothButtons) {
  form->cmbVariable->lineEdit()->selectAll();
  QTest::keyClicks(form->cmbVariable->lineEdit(), "X");
  ASSERT_EQ(form->cmbVariable->listIndex(), -1);
  get();
  QTest::mouseClick(form->cmdPutVariable, Qt::LeftButton);
  const std::string select = "Select a variable type from the Name list (I, F, D, S or IO).";
  EXPECT_EQ(messages.texts(), (Texts{select, select}));
  EXPECT_TRUE(lib.calls().empty());
  EXPECT_EQ(shown(), "0");
}

}  // namespace
