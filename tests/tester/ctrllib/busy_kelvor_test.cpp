// The wait cursor shows while a library call runs and never over a message box.
#include "ctrllib/busy_kelvor.h"

#include <QCursor>
#include <QGuiApplication>
#include <stdexcept>

#include "ctrllib/dynamic_kelvor.h"
#include "form_fixture.h"
#include "kelvor.h"

namespace {

bool waiting() {
  const QCursor* cursor = QGuiApplication::overrideCursor();
  return cursor && cursor->shape() == Qt::WaitCursor;
}

// The cursor once the window is idle again.
const QCursor* cursorWhenIdle() {
  QCoreApplication::processEvents();
  return QGuiApplication::overrideCursor();
}

// Forwards every call to the fake and notes whether the wait cursor showed during it.
class CursorProbe : public KelvorApi {
 public:
  explicit CursorProbe(KelvorApi& library) : library_(library) {}
#define KLV_PROBE(name, params, args) \
  int32_t name params override {      \
    busy.push_back(waiting());        \
    return library_.name args;        \
  }
  KELVOR_API_FUNCTIONS(KLV_PROBE)
#undef KLV_PROBE
  std::vector<bool> busy;

 private:
  KelvorApi& library_;
};

// A window whose library calls are watched for the wait cursor.
class BusyCursorTest : public FormTest {
 protected:
  void SetUp() override {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    form = std::make_unique<KelvorTesterForm>(probe, messages, ports);
    form->Form_Load();
    messages.onShow = [this](const ShownMessage&) { busyAtMessage.push_back(waiting()); };
  }
  CursorProbe probe{lib};
  std::vector<bool> busyAtMessage;
};

}  // namespace

TEST_F(BusyCursorTest, EveryCallOfAnOperationRunsUnderTheWaitCursor) {
  lib.script("get_SerialNo", 0x1005);  // a message in the middle of connecting
  type(form->txtIPAddress, "127.0.0.1");
  QTest::mouseClick(form->cmdConnect, Qt::LeftButton);
  ASSERT_GT(probe.busy.size(), 15u) << "connect, identity and the whole refresh";
  for (size_t i = 0; i < probe.busy.size(); ++i) EXPECT_TRUE(probe.busy[i]) << lib.texts()[i];
  EXPECT_EQ(busyAtMessage, std::vector<bool>{false}) << "the message box gets the normal cursor";
  EXPECT_TRUE(waiting()) << "up until the window is idle, so it does not flicker between calls";
  EXPECT_EQ(cursorWhenIdle(), nullptr) << "nothing is left after the operation";
}

TEST_F(BusyCursorTest, AMessageShownDuringACallGetsTheNormalCursor) {
  bool busyAfterTheBox = false;
  FakeReply reply;
  reply.result = KLV_E_TIMEOUT;
  reply.action = [&] {
    messages.show(QStringLiteral("the loader speaks"), MsgIcon::Stop);
    busyAfterTheBox = waiting();
  };
  lib.script("klv_Disconnect", reply);
  form->SetConnectState(true);
  QTest::mouseClick(form->cmdDisconnect, Qt::LeftButton);
  EXPECT_EQ(busyAtMessage, (std::vector<bool>{false, false}))
      << "neither the box inside the call nor the failure after it shows the wait cursor";
  EXPECT_TRUE(busyAfterTheBox) << "the rest of the call is busy again";
  EXPECT_EQ(cursorWhenIdle(), nullptr);
}

TEST(BusyKelvor, TheCursorComesBackHoweverTheCallEnds) {
  FakeKelvor fake;
  BusyKelvor library(fake);
  int32_t state = 0;
  fake.script("get_MotorState", 0x1001);
  EXPECT_EQ(library.klv_get_MotorState(&state), 0x1001);
  EXPECT_EQ(cursorWhenIdle(), nullptr);

  FakeReply throwing;
  throwing.action = [] { throw std::runtime_error("a broken library"); };
  fake.script("get_MotorState", throwing);
  EXPECT_THROW(library.klv_get_MotorState(&state), std::runtime_error);
  EXPECT_EQ(cursorWhenIdle(), nullptr);
}

TEST(BusyKelvor, TheLoadersMessageShowsTheNormalCursor) {
  RecordingMessages messages;
  std::vector<bool> busyAtMessage;
  messages.onShow = [&](const ShownMessage&) { busyAtMessage.push_back(waiting()); };
  DynamicKelvor missing(messages, "libkelvor-no-such-library.so.1");
  BusyKelvor library(missing);
  char conn[] = "eth:127.0.0.1";
  EXPECT_EQ(library.klv_Connect(conn, 400, 0), KLV_E_LIBRARY_NOT_FOUND);
  EXPECT_EQ(busyAtMessage, std::vector<bool>{false});
  EXPECT_EQ(cursorWhenIdle(), nullptr);
}
