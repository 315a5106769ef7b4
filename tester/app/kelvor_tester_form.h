// The program's one window. Every control of the window definition is a public member under
// its own name (control arrays as C arrays), and every event handler is a public method named
// after its control and event. Each subsystem folder implements its own handlers.
#pragma once

#include <QWidget>
#include <cstdint>
#include <optional>

#include "controls.h"
#include "ctrllib/busy_kelvor.h"
#include "ctrllib/kelvor_api.h"
#include "ctrllib/messages.h"

// KLV_AT_INDEX_0(index)(tokens) gives the tokens when index is the literal 0 and nothing
// otherwise, so that a control array is declared once, at its first member.
#define KLV_AT_INDEX_0(index) KLV_SECOND(KLV_INDEX_IS_##index, KLV_DROP, ~)
#define KLV_INDEX_IS_0 ~, KLV_KEEP
#define KLV_SECOND(...) KLV_SECOND_(__VA_ARGS__)
#define KLV_SECOND_(first, second, ...) second
#define KLV_KEEP(...) __VA_ARGS__
#define KLV_DROP(...)

class PortProber;
class QLocale;
struct MotionOptions;

class KelvorTesterForm : public QWidget {
 public:
  KelvorTesterForm(KelvorApi& lib, MessageSink& messages, PortProber& ports,
                   QWidget* parent = nullptr);

  // ---- controls: a member per single control, an array per control array ----
#define KLV_DECLARE_ONE(member, kind, ...) ControlOf<winDef::Kind::kind>* member = nullptr;
#define KLV_DECLARE_EACH(member, index, kind, ...) \
  KLV_AT_INDEX_0(index)(ControlArray<winDef::Kind::kind, winDef::arraySize(#member)> member = {};)
  KELVOR_WINDOW_CONTROLS(KLV_DECLARE_ONE, KLV_DECLARE_EACH)
#undef KLV_DECLARE_ONE
#undef KLV_DECLARE_EACH

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

  // The fonts of the window's controls and of its grids.
  static QFont windowFont();
  static QFont gridFont();

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
  template <winDef::Kind K>
  ControlOf<K>* create(const winDef::Control& c);
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

  BusyKelvor lib_;  // every call shows the wait cursor while it runs
  MessageSink& messages_;
  PortProber& ports_;
};

#undef KLV_AT_INDEX_0
#undef KLV_INDEX_IS_0
#undef KLV_SECOND
#undef KLV_SECOND_
#undef KLV_KEEP
#undef KLV_DROP
