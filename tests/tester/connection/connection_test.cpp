// Connect, identity, disconnect and the operation-mode label, against the scripted library.
#include "form_fixture.h"

using Strings = std::vector<std::string>;

namespace {

FakeReply text(const char* t) { return FakeReply{0, {}, std::string(t), true, {}}; }

// The calls a connect makes before the parameter refresh starts.
Strings firstCalls(const FakeKelvor& lib, size_t n) {
  Strings all = lib.texts();
  all.resize(std::min(all.size(), n));
  return all;
}

}  // namespace

class ConnectionTest : public FormTest {
 protected:
  void clickConnect() { QTest::mouseClick(form->cmdConnect, Qt::LeftButton); }
  bool connected() const {
    return form->cmdDisconnect->isEnabled() && !form->cmdConnect->isEnabled();
  }
};

TEST_F(ConnectionTest, EthernetConnectSendsTheAddressAsTypedThenReadsIdentityAndRefreshes) {
  type(form->txtIPAddress, " 127.0.0.1");
  bool connectedDuringRead = false;
  FakeReply rom = text("ROM 2.10");
  rom.action = [&] { connectedDuringRead = connected(); };
  lib.script("get_RomVersion", rom);
  lib.script("get_SerialNo", text("SN-0042"));
  lib.script("get_RobotType", text("KV-6"));
  clickConnect();

  EXPECT_EQ(
      firstCalls(lib, 5),
      (Strings{"klv_Connect(\"eth: 127.0.0.1\",400,0)", "klv_get_RomVersion(buf,1024)",
               "klv_get_SerialNo(buf,1024)", "klv_get_RobotType(buf,1024)", "klv_get_Speed(out)"}));
  EXPECT_EQ(lib.names().back(), "klv_get_ErrorDescription") << "the refresh runs to its end";
  EXPECT_TRUE(connectedDuringRead) << "Connected before the identity is read";
  EXPECT_EQ(form->lblRomVer->text(), "ROM 2.10");
  EXPECT_EQ(form->lblSirial->text(), "SN-0042");
  EXPECT_EQ(form->lblRobotType->text(), "KV-6");
  EXPECT_TRUE(connected());
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ConnectionTest, EmptyAddressSendsJustTheTransportPrefix) {
  type(form->txtIPAddress, "");
  clickConnect();
  EXPECT_EQ(lib.texts().front(), "klv_Connect(\"eth:\",400,0)");
}

TEST_F(ConnectionTest, RefusedConnectShowsTheCodeAndStaysDisconnected) {
  type(form->txtIPAddress, "127.0.0.1");
  lib.script("Connect", -1);
  clickConnect();
  EXPECT_EQ(lib.names(), Strings{"klv_Connect"});
  expectOnlyMessage("Connection Failed (Error = 0xFFFFFFFF)", MsgIcon::Exclamation);
  EXPECT_FALSE(connected());
  EXPECT_TRUE(form->txtIPAddress->isEnabled());
}

TEST_F(ConnectionTest, FailingIdentityReadsEachReportInOrderAndTheConnectionStays) {
  type(form->txtIPAddress, "127.0.0.1");
  form->lblRomVer->setText("old rom");
  lib.script("get_RomVersion", FakeReply{10, {}, std::string("junk"), true, {}});
  lib.script("get_SerialNo", -1);
  lib.script("get_RobotType", 0x7F);
  clickConnect();

  EXPECT_EQ(messages.texts(), (Strings{"get_RomVersion Failed (Error = 0xA)",
                                       "get_SerialNo Failed (Error = 0xFFFFFFFF)",
                                       "get_RobotType Failed (Error = 0x7F)"}));
  for (const ShownMessage& m : messages.shown) EXPECT_EQ(m.icon, MsgIcon::Exclamation);
  EXPECT_EQ(form->lblRomVer->text(), "old rom");
  EXPECT_EQ(form->lblSirial->text(), "");
  EXPECT_TRUE(connected());
  EXPECT_EQ(lib.count("get_Speed"), 1);
  EXPECT_EQ(lib.names().back(), "klv_get_ErrorDescription");
}

TEST_F(ConnectionTest, ShorterTextInTheReusedIdentityBufferShowsOnlyItself) {
  type(form->txtIPAddress, "127.0.0.1");
  lib.script("get_RomVersion", text("VERSION-1.23.456"));
  lib.script("get_SerialNo", text("S7"));
  // The buffer is not cleared between reads: a text without a NUL runs on into the earlier
  // text's tail.
  lib.script("get_RobotType", FakeReply{0, {}, std::string("ABC"), false, {}});
  clickConnect();
  EXPECT_EQ(form->lblSirial->text(), "S7");
  EXPECT_EQ(form->lblRobotType->text(), "ABCSION-1.23.456");
}

TEST_F(ConnectionTest, FailedDisconnectionChangesNothing) {
  connect();
  lib.script("Disconnect", 3);
  QTest::mouseClick(form->cmdDisconnect, Qt::LeftButton);
  EXPECT_EQ(lib.texts(), Strings{"klv_Disconnect()"});
  expectOnlyMessage("Disconnection Failed (Error = 0x3)", MsgIcon::Exclamation);
  EXPECT_TRUE(connected());
  EXPECT_FALSE(form->txtIPAddress->isEnabled());
  EXPECT_TRUE(form->chkMotor->isEnabled());
}

TEST_F(ConnectionTest, DisconnectionReappliesTheTransportChosenLast) {
  connect();
  form->lblMode->setText("Teach Mode");
  QTest::mouseClick(form->cmdDisconnect, Qt::LeftButton);
  EXPECT_EQ(lib.texts(), Strings{"klv_Disconnect()"});
  EXPECT_FALSE(connected());
  EXPECT_TRUE(form->txtIPAddress->isEnabled());
  EXPECT_FALSE(form->cmbPort->isEnabled());
  EXPECT_EQ(form->lblMode->text(), "Teach Mode") << "nothing is cleared";

  connect();
  QTest::mouseClick(form->OptDevice[1], Qt::LeftButton);  // chosen while connected
  QTest::mouseClick(form->cmdDisconnect, Qt::LeftButton);
  EXPECT_FALSE(form->txtIPAddress->isEnabled());
  EXPECT_TRUE(form->cmbPort->isEnabled());
  EXPECT_TRUE(form->cmbBaudrate->isEnabled());
  form->close();
  EXPECT_EQ(lib.count("Disconnect"), 1) << "closing the window never disconnects";
}

// A window that found only COM12.
class SerialConnectionTest : public ConnectionTest {
 protected:
  void SetUp() override {
    ports = FakePorts({12});
    FormTest::SetUp();
  }
};

TEST_F(SerialConnectionTest, SerialStringIsBuiltFromTheItemNumbers) {
  QTest::mouseClick(form->OptDevice[1], Qt::LeftButton);
  form->cmbBaudrate->setListIndex(3);  // "57600bps"
  clickConnect();
  EXPECT_EQ(lib.texts().front(), "klv_Connect(\"com:12:57600N:8:1\",400,0)");

  QTest::mouseClick(form->cmdDisconnect, Qt::LeftButton);
  form->cmbPort->setItemData(0, 5);  // the number, not the text "COM12", is sent
  lib.clear();
  clickConnect();
  EXPECT_EQ(lib.texts().front(), "klv_Connect(\"com:5:57600N:8:1\",400,0)");
}

TEST_F(ConnectionTest, OperationModeShowsTheFourModesAndIgnoresEverythingElse) {
  const std::pair<int, const char*> modes[] = {
      {1, "Manual Mode"}, {2, "Teach Mode"}, {3, "Internal Auto Mode"}, {4, "External Auto Mode"}};
  for (const auto& [mode, caption] : modes) {
    lib.script("get_OperationMode", FakeReply{0, {double(mode)}, {}, true, {}});
    form->ShowOperationMode();
    EXPECT_EQ(form->lblMode->text(), caption);
  }
  lib.script("get_OperationMode", FakeReply{0, {0}, {}, true, {}});
  lib.script("get_OperationMode", FakeReply{0, {7}, {}, true, {}});
  lib.script("get_OperationMode", FakeReply{-5, {1}, {}, true, {}});
  for (int k = 0; k < 3; ++k) form->ShowOperationMode();
  EXPECT_EQ(form->lblMode->text(), "External Auto Mode");
  EXPECT_TRUE(messages.shown.empty()) << "a failed read is silent";
  EXPECT_EQ(lib.texts().back(), "klv_get_OperationMode(out)");
}
