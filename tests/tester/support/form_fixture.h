// A started window (Form_Load done) against the scripted fake and the message recorder.
#pragma once

#include <gtest/gtest.h>

#include <QLocale>
#include <QTest>
#include <memory>
#include <set>

#include "app/kelvor_tester_form.h"
#include "app/port_probe.h"
#include "fake_kelvor.h"
#include "recording_messages.h"

// QString in test failure output as text, not as a list of 16-bit units.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

class FakePorts : public PortProber {
 public:
  explicit FakePorts(std::set<int> present = {}) : present_(std::move(present)) {}
  bool isPresent(int n) override {
    probed.push_back(n);
    return present_.count(n) > 0;
  }
  std::vector<int> probed;

 private:
  std::set<int> present_;
};

class FormTest : public ::testing::Test {
 public:
  // Types into a field as a user would: select everything, then type.
  static void type(QLineEdit* field, const QString& text) {
    field->selectAll();
    field->del();
    QTest::keyClicks(field, text);
  }
  static void type(QLineEdit* field, const char* text) { type(field, QString::fromUtf8(text)); }

  // Exactly one message has been shown, with this text and icon.
  void expectOnlyMessage(const std::string& text, MsgIcon icon) {
    ASSERT_EQ(messages.texts(), std::vector<std::string>{text});
    EXPECT_EQ(messages.shown[0].icon, icon);
  }

 protected:
  void SetUp() override {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    form = std::make_unique<KelvorTesterForm>(lib, messages, ports);
    form->Form_Load();
  }
  void TearDown() override { QLocale::setDefault(QLocale::c()); }

  // Connects over Ethernet to a loopback address with every call of the refresh succeeding,
  // then forgets the calls and messages made so far.
  void connect() {
    type(form->txtIPAddress, "127.0.0.1");
    QTest::mouseClick(form->cmdConnect, Qt::LeftButton);
    lib.clear();
    messages.shown.clear();
  }

  FakeKelvor lib;
  RecordingMessages messages;
  FakePorts ports{{1, 3}};
  std::unique_ptr<KelvorTesterForm> form;
};

// A window connected to the fake, with the connection's calls and messages forgotten.
class ConnectedFormTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    connect();
  }
};
