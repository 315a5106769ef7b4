// The program's one window. Every control of the window definition is a public member under
// its own name (control arrays as C arrays), and every event handler is a public method named
// after its control and event. Each subsystem folder implements its own handlers.
#pragma once

#include <QWidget>
#include <cstdint>
#include <optional>

#include "controls.h"
#include "ctrllib/kelvor_api.h"
#include "ctrllib/messages.h"

class PortProber;
class QLocale;
struct MotionOptions;

class KelvorTesterForm : public QWidget {
 public:
  KelvorTesterForm(KelvorApi& lib, MessageSink& messages, PortProber& ports,
                   QWidget* parent = nullptr);

  // ---- controls ----
  QGroupBox* Frame[8] = {};
  Label* Label_[34] = {};  // the static captions "Label(0)" to "Label(33)"
  Label* Label1[6] = {};
  Label* Label2[3] = {};
  QFrame* Line = nullptr;

  OptionButton* OptDevice[2] = {};
  TextBox* txtIPAddress = nullptr;
  ComboControl* cmbPort = nullptr;
  ComboControl* cmbBaudrate = nullptr;
  CommandButton* cmdConnect = nullptr;
  CommandButton* cmdDisconnect = nullptr;

  Label* lblRomVer = nullptr;
  Label* lblSirial = nullptr;
  Label* lblRobotType = nullptr;

  FlexGrid* grdCtrlParam = nullptr;
  ComboControl* cmbCtrlParam = nullptr;
  TextBox* txtCtrlValue = nullptr;
  CommandButton* cmdChangeCtrl = nullptr;
  FlexGrid* grdCtrlDef = nullptr;
  ComboControl* cmbDefType = nullptr;
  TextBox* txtDefNo = nullptr;
  CommandButton* cmdGetDef = nullptr;
  TextBox* txtCalSet[6] = {};
  TextBox* txtLinkSS[6] = {};
  TextBox* txtLinkAA[6] = {};
  CommandButton* cmdGetCtrl = nullptr;
  CommandButton* cmdPutCtrl = nullptr;

  Label* lblMode = nullptr;
  PushCheckBox* chkMotor = nullptr;
  PushCheckBox* chkAutomode = nullptr;
  PushCheckBox* chkRobSlave = nullptr;

  Label* lblError = nullptr;
  Label* lblErrorDescription = nullptr;
  CommandButton* cmdGetError = nullptr;
  CommandButton* cmdClearError = nullptr;

  ComboControl* cmbVariable = nullptr;
  TextBox* txtVariableNo = nullptr;
  TextBox* txtVariableValue = nullptr;
  CommandButton* cmdGetVariable = nullptr;
  CommandButton* cmdPutVariable = nullptr;

  TextBox* txtPos[10] = {};
  CommandButton* cmdPosition = nullptr;
  CommandButton* cmdCalcDevH = nullptr;
  CommandButton* cmdMove = nullptr;
  ComboControl* cmbComp = nullptr;
  ComboControl* cmbPath = nullptr;
  TextBox* txtLength = nullptr;
  CheckBox* chkNext = nullptr;
  CommandButton* cmdApproach = nullptr;
  CommandButton* cmdDepart = nullptr;
  CommandButton* cmdDriveA = nullptr;

  TextBox* TxtRotDiff[6] = {};
  TextBox* TxtLenDiff[6] = {};
  CommandButton* cmdCalcCalset = nullptr;

  CommandButton* cmdExit = nullptr;

  // The transport chosen by the last run of OptDevice_Click: 0 Ethernet, 1 RS-232C.
  int16_t DeviceIndex = 0;

  // ---- app/: start-up, shutdown, enabling ----
  void Form_Load();
  void Form_Unload(int& cancel);
  void cmdExit_Click();
  void SetConnectState(bool connected);
  void OptDevice_Click(int16_t index);

  // ---- connection/ ----
  void cmdConnect_Click();
  void cmdDisconnect_Click();
  void ShowOperationMode();

  // ---- state/ ----
  void chkMotor_Click();
  void chkAutomode_Click();
  void chkRobSlave_Click();

  // ---- errors/ ----
  void cmdGetError_Click();
  void cmdClearError_Click();

  // ---- motion/ ----
  void cmdPosition_Click();
  void cmdMove_Click();
  void cmdCalcDevH_Click();
  void cmdApproach_Click();
  void cmdDepart_Click();
  void cmdDriveA_Click();

  // ---- params/ ----
  void cmbCtrlParam_Click();
  void cmdChangeCtrl_Click();
  void cmdGetCtrl_Click();
  void cmdPutCtrl_Click();
  void cmdGetDef_Click();

  // ---- calibration/ ----
  void cmdCalcCalset_Click();

  // ---- variables/ ----
  void cmdGetVariable_Click();
  void cmdPutVariable_Click();

  // The field name a conversion message uses for a text box ("X", "Len5", "Calset J1").
  static QString fieldCaption(const QWidget* field);

 protected:
  void closeEvent(QCloseEvent* event) override;

  // ---- helpers shared by the handlers ----
  KelvorApi& lib() { return lib_; }
  // "<words> Failed (Error = 0x<HEX>)" in a modal box.
  void showFailure(const QString& words, int32_t code, MsgIcon icon);
  void showMessage(const QString& text, MsgIcon icon);
  // Read a field as a number. Text that does not convert shows a message that names the field
  // and quotes the text, puts the focus on the field with its text selected, and gives nullopt.
  std::optional<float> readFloat(TextBox* field);
  std::optional<double> readDouble(TextBox* field);
  std::optional<int32_t> readInt32(TextBox* field);

 private:
  void createControls();
  void wireEvents();
  void refuseField(TextBox* field, const QString& expected);

  // params/: steps 5 and 6 of the parameter refresh
  void readCalData();
  void readLinkParam();

  // motion/:
  // Reads X to Fig into pose[0..6]; false (after the conversion message) on the first field
  // that does not convert. The caller's other elements are left as they are.
  bool readPose(float* pose);
  // Reads the motion options a command uses (MotionInputs flags; the Path and Next always), in
  // the order Comp, Path, Length, Next. False, after a message, when a list has no selected
  // item or the Length does not convert.
  bool readMotionOptions(unsigned inputs, MotionOptions& options);

  // state/: raised while a box set from code (a restore or a refresh copy) runs its handler;
  // such a nested run reads and compares but never writes
  int restoreDepth_ = 0;
  // Sets a state box from code; its handler runs nested and writes nothing back.
  void setBoxFromCode(PushCheckBox* box, int value);
  // A check box holds 0, 1 or 2: any other controller state is shown grayed.
  static int boxValueOf(int32_t state);

  KelvorApi& lib_;
  MessageSink& messages_;
  PortProber& ports_;
};
