// The window as it opens: every control's text, selection and enabled state after start-up,
// the serial-port probe, and shutdown.
#include <QApplication>
#include <QFontInfo>
#include <QHeaderView>

#include "form_fixture.h"
#include "window_definition.h"

namespace {

QStringList itemTexts(const ComboControl* combo) {
  QStringList out;
  for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
  return out;
}

QList<int> itemNumbers(const ComboControl* combo) {
  QList<int> out;
  for (int i = 0; i < combo->count(); ++i) out << combo->itemNumber(i);
  return out;
}

}  // namespace

TEST_F(FormTest, WindowHasItsCaptionSizeAndEveryControlByName) {
  EXPECT_EQ(form->objectName(), "KelvorTesterForm");
  EXPECT_EQ(form->windowTitle(), "Kelvor Tester");
  EXPECT_EQ(form->size(), QSize(729, 695));
  int count = 0;
  for (const winDef::Control& c : winDef::controls()) {
    QWidget* w = form->findChild<QWidget*>(QString::fromLatin1(c.name));
    ASSERT_NE(w, nullptr) << c.name;
    EXPECT_EQ(w->geometry(), QRect(twipsToPixels(c.left), twipsToPixels(c.top),
                                   twipsToPixels(c.width), std::max(1, twipsToPixels(c.height))))
        << c.name;
    ++count;
  }
  EXPECT_EQ(count, 137);
  // Controls in frames are positioned inside their frame.
  EXPECT_EQ(form->txtPos[3]->parentWidget(), form->Frame[6]);
  EXPECT_EQ(form->txtPos[3]->objectName(), "txtPos(3)");
  EXPECT_EQ(form->Label[28]->objectName(), "Label(28)");
  EXPECT_EQ(form->Label1[5]->text(), "J6");
  EXPECT_EQ(form->cmdExit->parentWidget(), form.get());
  EXPECT_EQ(form->cmdExit->geometry(), QRect(632, 668, 89, 20));
}

TEST_F(FormTest, CaptionsKeepTheirSpacingAndMnemonics) {
  EXPECT_EQ(form->Label[3]->text(), "Rom Version : ");
  EXPECT_EQ(form->Label[5]->text(), "Sirial No.  : ");
  EXPECT_EQ(form->Label[4]->text(), "Robot Type  : ");
  EXPECT_EQ(form->Frame[1]->title(), "Controller Infomation");
  EXPECT_EQ(form->cmdPosition->text(), "GetPostion");
  EXPECT_EQ(form->cmdConnect->text(), "&Connect");
  EXPECT_EQ(form->cmdDisconnect->text(), "&Disconnect");
  EXPECT_EQ(form->OptDevice[0]->text(), "&Ethernet");
  EXPECT_EQ(form->OptDevice[1]->text(), "&RS232C");
  int ampersands = 0;
  for (const winDef::Control& c : winDef::controls()) {
    ampersands += QString::fromUtf8(c.text).contains(QLatin1Char('&'));
  }
  EXPECT_EQ(ampersands, 4);
}

TEST_F(FormTest, StartUpWritesItsTextsAndSelections) {
  EXPECT_EQ(form->txtIPAddress->text(), "192.168.0.1");
  for (TextBox* field : form->txtPos) EXPECT_EQ(field->text(), "0");
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(form->TxtRotDiff[i]->text(), "0");
    EXPECT_EQ(form->TxtLenDiff[i]->text(), "0");
    EXPECT_EQ(form->txtCalSet[i]->text(), "Text1");
    EXPECT_EQ(form->txtLinkSS[i]->text(), "Text1");
    EXPECT_EQ(form->txtLinkAA[i]->text(), "Text1");
  }
  EXPECT_EQ(form->lblRomVer->text(), "");
  EXPECT_EQ(form->lblSirial->text(), "");
  EXPECT_EQ(form->lblRobotType->text(), "");
  EXPECT_EQ(form->txtCtrlValue->text(), "0");
  EXPECT_EQ(form->lblError->text(), "0");
  EXPECT_EQ(form->lblErrorDescription->text(), "");
  EXPECT_EQ(form->lblMode->text(), "");
  EXPECT_EQ(form->txtDefNo->text(), "0");
  EXPECT_EQ(form->txtVariableNo->text(), "0");
  EXPECT_EQ(form->txtVariableValue->text(), "0");
  EXPECT_EQ(form->txtLength->text(), "0");

  EXPECT_EQ(form->cmbBaudrate->listIndex(), 0);
  EXPECT_EQ(form->cmbBaudrate->currentText(), "9600bps");
  EXPECT_EQ(form->cmbDefType->currentText(), "Tool Def");
  EXPECT_EQ(form->cmbVariable->currentText(), "I");
  EXPECT_EQ(form->cmbComp->currentText(), "P");
  EXPECT_EQ(form->cmbPath->currentText(), "@0");
  EXPECT_EQ(form->cmbCtrlParam->listIndex(), -1);
  EXPECT_EQ(form->cmbCtrlParam->currentText(), "");

  EXPECT_EQ(form->chkMotor->value(), 0);
  EXPECT_EQ(form->chkAutomode->value(), 0);
  EXPECT_EQ(form->chkRobSlave->value(), 2);
  EXPECT_EQ(form->chkNext->value(), 0);
  EXPECT_EQ(form->chkMotor->text(), "Motor On");
  EXPECT_EQ(form->chkAutomode->text(), "Internal Auto");
  EXPECT_EQ(form->chkRobSlave->text(), "RobSlave Start");

  EXPECT_TRUE(form->OptDevice[0]->value());
  EXPECT_FALSE(form->OptDevice[1]->value());
  EXPECT_EQ(form->DeviceIndex, 0);
  EXPECT_TRUE(lib.calls().empty()) << "start-up calls no library function";
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(FormTest, ListsHoldTheirItemsAndNumbers) {
  EXPECT_EQ(itemTexts(form->cmbBaudrate),
            QStringList({"9600bps", "19200bps", "38400bps", "57600bps", "115200bps"}));
  EXPECT_EQ(itemNumbers(form->cmbBaudrate), QList<int>({9600, 19200, 38400, 57600, 115200}));
  EXPECT_EQ(itemTexts(form->cmbCtrlParam),
            QStringList({"Speed", "ExtSpeed", "CurTool", "CurWork"}));
  EXPECT_EQ(itemNumbers(form->cmbCtrlParam), QList<int>({0, 1, 2, 3}));
  EXPECT_EQ(itemNumbers(form->cmbDefType), QList<int>({0, 0, 0}));
  EXPECT_EQ(itemTexts(form->cmbComp), QStringList({"P", "L"}));
  EXPECT_EQ(itemNumbers(form->cmbComp), QList<int>({1, 2}));
  EXPECT_EQ(itemTexts(form->cmbPath), QStringList({"@0", "@P", "@E"}));
  EXPECT_EQ(itemNumbers(form->cmbVariable), QList<int>({1, 2, 3, 4, 5}));
  EXPECT_EQ(itemTexts(form->cmbVariable), QStringList({"I", "F", "D", "S", "IO"}));
  // Dropdown lists take no typed text, dropdown combos do.
  EXPECT_FALSE(form->cmbPort->isEditable());
  EXPECT_FALSE(form->cmbBaudrate->isEditable());
  EXPECT_FALSE(form->cmbCtrlParam->isEditable());
  EXPECT_TRUE(form->cmbDefType->isEditable());
  EXPECT_TRUE(form->cmbComp->isEditable());
  EXPECT_TRUE(form->cmbPath->isEditable());
  EXPECT_TRUE(form->cmbVariable->isEditable());
}

TEST_F(FormTest, GridsShowTheirCaptionsAndWidths) {
  const FlexGrid* p = form->grdCtrlParam;
  EXPECT_EQ(p->rowCount(), 5);
  EXPECT_EQ(p->columnCount(), 2);
  EXPECT_EQ(p->textMatrix(0, 0), "Item");
  EXPECT_EQ(p->textMatrix(0, 1), "Value");
  EXPECT_EQ(p->textMatrix(1, 0), "Internal Speed");
  EXPECT_EQ(p->textMatrix(2, 0), "External Speed");
  EXPECT_EQ(p->textMatrix(3, 0), "Current Tool");
  EXPECT_EQ(p->textMatrix(4, 0), "Current Work");
  for (int r = 1; r <= 4; ++r) EXPECT_EQ(p->textMatrix(r, 1), "");
  EXPECT_EQ(p->colWidth(0), 1500);
  EXPECT_EQ(p->colWidth(1), 1305);  // 1300 twips is 86.7 pixels: the nearest whole pixel

  const FlexGrid* d = form->grdCtrlDef;
  EXPECT_EQ(d->rowCount(), 4);
  EXPECT_EQ(d->columnCount(), 14);
  const QStringList header = {"",   "X",  "Y",  "Z",   "RX",  "RY",  "RZ",
                              "Dx", "Dy", "Dz", "I/O", "Pos", "Err", "Enable"};
  for (int c = 0; c < 14; ++c) EXPECT_EQ(d->textMatrix(0, c), header[c]);
  EXPECT_EQ(d->textMatrix(1, 0), "ToolDef");
  EXPECT_EQ(d->textMatrix(2, 0), "WorkDef");
  EXPECT_EQ(d->textMatrix(3, 0), "AreaDef");
  EXPECT_EQ(d->colWidth(0), 1200);
  for (int c = 1; c < 14; ++c) EXPECT_EQ(d->colWidth(c), 1095) << c;  // 1100 twips, 73 pixels
  EXPECT_EQ(d->font().family(), QString::fromUtf8("ＭＳ Ｐゴシック"));
  EXPECT_EQ(d->font().pointSize(), 9);
  // There is no such family on Linux: the grids are drawn in the Japanese Gothic put in its
  // place (Debian's fonts-ipafont-gothic).
  EXPECT_EQ(QFontInfo(d->font()).family(), "IPAPGothic");
}

TEST_F(FormTest, AlignmentAndBordersFollowTheDefinition) {
  EXPECT_TRUE(form->txtIPAddress->alignment() & Qt::AlignLeft);
  EXPECT_TRUE(form->txtVariableValue->alignment() & Qt::AlignLeft);
  EXPECT_TRUE(form->txtPos[0]->alignment() & Qt::AlignRight);
  EXPECT_TRUE(form->txtCalSet[2]->alignment() & Qt::AlignRight);
  EXPECT_TRUE(form->lblError->alignment() & Qt::AlignRight);
  EXPECT_TRUE(form->lblMode->alignment() & Qt::AlignHCenter);
  EXPECT_NE(form->lblMode->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(form->Label[0]->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(form->Label[0]->focusPolicy(), Qt::NoFocus);
}

TEST_F(FormTest, TabOrderFollowsTheTabIndices) {
  form->show();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "OptDevice(0)")
      << "the window opens with the focus on the first control in tab order";
  form->SetConnectState(true);
  form->OptDevice_Click(0);
  // From the Ethernet option through the connection frame, then on into the next frames.
  form->OptDevice[0]->setFocus();
  std::vector<QString> visited;
  for (int k = 0; k < 6; ++k) {
    visited.push_back(QApplication::focusWidget()->objectName());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  // Connect and the disabled port lists are skipped; Tab leaves a grid instead of moving
  // between its cells.
  EXPECT_EQ(visited, (std::vector<QString>{"OptDevice(0)", "txtIPAddress", "OptDevice(1)",
                                           "cmdDisconnect", "grdCtrlParam", "cmbCtrlParam"}));
}

TEST(StartUpPorts, ListsPresentPortsInOrderAndSelectsTheFirst) {
  FakeKelvor lib;
  RecordingMessages messages;
  FakePorts ports({3, 1, 256});
  KelvorTesterForm form(lib, messages, ports);
  form.Form_Load();
  std::vector<int> expected(256);
  for (int n = 1; n <= 256; ++n) expected[static_cast<size_t>(n - 1)] = n;
  EXPECT_EQ(ports.probed, expected) << "all 256 names are tried, in order, every time";
  ASSERT_EQ(form.cmbPort->count(), 3);
  EXPECT_EQ(form.cmbPort->itemText(0), "COM1");
  EXPECT_EQ(form.cmbPort->itemNumber(0), 1);
  EXPECT_EQ(form.cmbPort->itemText(1), "COM3");
  EXPECT_EQ(form.cmbPort->itemNumber(1), 3);
  EXPECT_EQ(form.cmbPort->itemText(2), "COM256");
  EXPECT_EQ(form.cmbPort->listIndex(), 0);
  EXPECT_TRUE(form.OptDevice[1]->isEnabled());
}

TEST(StartUpPorts, NoPortDisablesTheSerialOption) {
  FakeKelvor lib;
  RecordingMessages messages;
  FakePorts ports;
  KelvorTesterForm form(lib, messages, ports);
  form.Form_Load();
  EXPECT_EQ(form.cmbPort->count(), 0);
  EXPECT_EQ(form.cmbPort->listIndex(), -1);
  EXPECT_FALSE(form.OptDevice[1]->isEnabled());
  EXPECT_TRUE(form.OptDevice[0]->value());
  // Nothing in the window enables it again, not even a connection round trip.
  form.SetConnectState(true);
  form.SetConnectState(false);
  form.OptDevice_Click(0);
  EXPECT_FALSE(form.OptDevice[1]->isEnabled());
}

TEST_F(FormTest, ExitClosesTheWindowWithoutALibraryCall) {
  form->show();
  form->SetConnectState(true);  // still connected when the user leaves
  QTest::mouseClick(form->cmdExit, Qt::LeftButton);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(lib.calls().empty());
  int cancel = 1;
  form->Form_Unload(cancel);
  EXPECT_EQ(cancel, 0);
}
