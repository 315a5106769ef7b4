// The window definition: every control of the window, one row each, in tab order within each
// frame. Positions and sizes are in twips, relative to the containing frame (or the client area).
//
// The list is the one place a control is named. The window declares its members, creates and
// binds each control, and wires its Click handler from it, so adding or renaming a control is one
// row here (plus its handler, if it has one). A row is
//   C(member, kind, event, frame, text, left, top, width, height, tab, flags, field)
// for a single control and
//   A(member, index, kind, event, frame, text, left, top, width, height, tab, flags, field)
// for a member of a control array, whose name is "member(index)". `event` is Click when the
// control raises Click into its handler `member_Click` (a control array's handler receives the
// index), NoClick otherwise. `frame` is the containing frame's index, -1 for the window itself.
// `tab` is the tab index, -1 for none. `field` is how messages and assistive technology name a
// control that has no caption of its own (text boxes, lists, grids), or nullptr.
#pragma once

#include <algorithm>
#include <span>
#include <string_view>

namespace winDef {

enum class Kind { Frame, Button, Check, PushCheck, Option, List, Combo, Text, Label, Grid, Line };
enum class Event { NoClick, Click };

// Alignment of the text, a label's border, a check box's stored value.
enum Flags : unsigned {
  kLeft = 0,
  kRight = 1u << 0,
  kCenter = 1u << 1,
  kBorder = 1u << 2,
  kGrayed = 1u << 3,  // check box stored with value 2
};
// The short forms the table uses.
inline constexpr unsigned R = kRight, CE = kCenter, BD = kBorder, GRAY = kGrayed;

// clang-format off
// Row n of the joint table (J1 at the top): its caption and its three fields, side by side.
#define KLV_JOINT_ROW(A, n, joint) \
  A(Label1, n,             Label,     NoClick,   2, joint,                     240, 3870 + 310 * n,  375,  240, 30 + 4 * n, 0, nullptr) \
  A(txtCalSet, n,          Text,      NoClick,   2, "Text1",                   600, 3840 + 310 * n,  975,  300, 31 + 4 * n, R, "Calset " joint) \
  A(txtLinkSS, n,          Text,      NoClick,   2, "Text1",                  1680, 3840 + 310 * n,  975,  300, 32 + 4 * n, R, "LinkSS " joint) \
  A(txtLinkAA, n,          Text,      NoClick,   2, "Text1",                  2760, 3840 + 310 * n,  975,  300, 33 + 4 * n, R, "LinkAA " joint)

#define KELVOR_WINDOW_CONTROLS(C, A) \
  /* member, index         kind       event    frame text                       left    top  width height tab flags  field */ \
  A(Frame, 0,              Frame,     NoClick,  -1, "Connection",              120,   120, 5295, 2565,   0, 0,     nullptr) \
  A(Frame, 1,              Frame,     NoClick,  -1, "Controller Infomation",   120,  2790, 5295, 1575,  11, 0,     nullptr) \
  A(Frame, 2,              Frame,     NoClick,  -1, "Controller Param",        120,  4470, 5295, 5835,  18, 0,     nullptr) \
  A(Frame, 3,              Frame,     NoClick,  -1, "Controller Status",      5520,   120, 5295, 1185,  56, 0,     nullptr) \
  A(Frame, 4,              Frame,     NoClick,  -1, "Controller Error",       5520,  1410, 5295, 1185,  61, 0,     nullptr) \
  A(Frame, 5,              Frame,     NoClick,  -1, "Variable",               5520,  2700, 5295, 1215,  66, 0,     nullptr) \
  A(Frame, 6,              Frame,     NoClick,  -1, "Robot Position",         5520,  4020, 5295, 3405,  75, 0,     nullptr) \
  A(Frame, 7,              Frame,     NoClick,  -1, "Calibrate",              5520,  7530, 5295, 2325, 109, 0,     nullptr) \
  \
  /* Connection */ \
  A(OptDevice, 0,          Option,    Click,     0, "&Ethernet",               240,   360, 1455,  300,   1, 0,     nullptr) \
  A(Label, 0,              Label,     NoClick,   0, "IPAddress : ",            480,   690,  975,  240,   2, R,     nullptr) \
  C(txtIPAddress,          Text,      NoClick,   0, "txtIPAddress",           1560,   660, 3615,  300,   3, 0,     "IPAddress") \
  A(OptDevice, 1,          Option,    Click,     0, "&RS232C",                 240,  1050, 1455,  300,   4, 0,     nullptr) \
  A(Label, 1,              Label,     NoClick,   0, "Port No : ",              480,  1380,  975,  240,   5, R,     nullptr) \
  C(cmbPort,               List,      NoClick,   0, "",                       1560,  1350, 3615,  300,   6, 0,     "Port No") \
  A(Label, 2,              Label,     NoClick,   0, "Baudrate : ",             480,  1770,  975,  240,   7, R,     nullptr) \
  C(cmbBaudrate,           List,      NoClick,   0, "",                       1560,  1740, 3615,  300,   8, 0,     "Baudrate") \
  C(cmdConnect,            Button,    Click,     0, "&Connect",                120,  2130, 2415,  300,   9, 0,     nullptr) \
  C(cmdDisconnect,         Button,    Click,     0, "&Disconnect",            2760,  2130, 2415,  300,  10, 0,     nullptr) \
  \
  /* Controller Infomation */ \
  A(Label, 3,              Label,     NoClick,   1, "Rom Version : ",          240,   390, 1215,  240,  12, R,     nullptr) \
  C(lblRomVer,             Label,     NoClick,   1, "lblRomVer",              1560,   360, 3615,  300,  13, BD,    nullptr) \
  A(Label, 5,              Label,     NoClick,   1, "Sirial No.  : ",          240,   780, 1215,  240,  14, R,     nullptr) \
  C(lblSirial,             Label,     NoClick,   1, "lblSirial",              1560,   750, 3615,  300,  15, BD,    nullptr) \
  A(Label, 4,              Label,     NoClick,   1, "Robot Type  : ",          240,  1170, 1215,  240,  16, R,     nullptr) \
  C(lblRobotType,          Label,     NoClick,   1, "lblRobotType",           1560,  1140, 3615,  300,  17, BD,    nullptr) \
  \
  /* Controller Param */ \
  C(grdCtrlParam,          Grid,      NoClick,   2, "",                        120,   360, 3000, 1170,  19, 0,     "Controller Param") \
  C(cmbCtrlParam,          List,      Click,     2, "",                       3240,   360, 1935,  300,  20, 0,     "Controller Param name") \
  C(txtCtrlValue,          Text,      NoClick,   2, "txtCtrlValue",           3240,   750, 1935,  300,  21, R,     "Controller Param value") \
  C(cmdChangeCtrl,         Button,    Click,     2, "Change Value",           3240,  1140, 1935,  300,  22, 0,     nullptr) \
  C(grdCtrlDef,            Grid,      NoClick,   2, "",                        120,  1620, 5055, 1440,  23, 0,     "Definitions") \
  C(cmbDefType,            Combo,     NoClick,   2, "cmbDefType",              120,  3150, 1455,  300,  24, 0,     "Def Type") \
  C(txtDefNo,              Text,      NoClick,   2, "txtDefNo",               1680,  3150, 1455,  300,  25, R,     "Def No") \
  C(cmdGetDef,             Button,    Click,     2, "Get Def",                3240,  3150, 1935,  300,  26, 0,     nullptr) \
  A(Label2, 0,             Label,     NoClick,   2, "Calset",                  600,  3600,  975,  240,  27, CE,    nullptr) \
  A(Label2, 1,             Label,     NoClick,   2, "LinkSS",                 1680,  3600,  975,  240,  28, CE,    nullptr) \
  A(Label2, 2,             Label,     NoClick,   2, "LinkAA",                 2760,  3600,  975,  240,  29, CE,    nullptr) \
  KLV_JOINT_ROW(A, 0, "J1") \
  KLV_JOINT_ROW(A, 1, "J2") \
  KLV_JOINT_ROW(A, 2, "J3") \
  KLV_JOINT_ROW(A, 3, "J4") \
  KLV_JOINT_ROW(A, 4, "J5") \
  KLV_JOINT_ROW(A, 5, "J6") \
  C(cmdGetCtrl,            Button,    Click,     2, "Get",                    3840,  5000, 1335,  300,  54, 0,     nullptr) \
  C(cmdPutCtrl,            Button,    Click,     2, "Put",                    3840,  5390, 1335,  300,  55, 0,     nullptr) \
  \
  /* Controller Status */ \
  C(lblMode,               Label,     NoClick,   3, "lblMode",                 120,   360, 5055,  300,  57, BD|CE, nullptr) \
  C(chkMotor,              PushCheck, Click,     3, "Motor On",                120,   750, 1575,  300,  58, 0,     nullptr) \
  C(chkAutomode,           PushCheck, Click,     3, "Internal Auto",          1850,   750, 1575,  300,  59, 0,     nullptr) \
  C(chkRobSlave,           PushCheck, Click,     3, "RobSlave Start",         3600,   750, 1575,  300,  60, GRAY,  nullptr) \
  \
  /* Controller Error */ \
  C(lblError,              Label,     NoClick,   4, "lblError",                120,   360,  855,  300,  62, BD|R,  nullptr) \
  C(lblErrorDescription,   Label,     NoClick,   4, "lblErrorDescription",    1050,   360, 4125,  300,  63, BD,    nullptr) \
  C(cmdGetError,           Button,    Click,     4, "Get Error",               120,   750, 2415,  300,  64, 0,     nullptr) \
  C(cmdClearError,         Button,    Click,     4, "Clear Error",            2760,   750, 2415,  300,  65, 0,     nullptr) \
  \
  /* Variable */ \
  A(Label, 28,             Label,     NoClick,   5, "Name : ",                 120,   390,  615,  240,  67, 0,     nullptr) \
  C(cmbVariable,           Combo,     NoClick,   5, "cmbVariable",             720,   360,  615,  300,  68, 0,     "Name") \
  A(Label, 29,             Label,     NoClick,   5, "No : ",                  1440,   390,  375,  240,  69, 0,     nullptr) \
  C(txtVariableNo,         Text,      NoClick,   5, "txtVariableNo",          1800,   360,  735,  300,  70, R,     "No") \
  A(Label, 30,             Label,     NoClick,   5, "Value : ",               2760,   390,  615,  240,  71, 0,     nullptr) \
  C(txtVariableValue,      Text,      NoClick,   5, "txtVariableValue",       3360,   360, 1815,  300,  72, 0,     "Value") \
  C(cmdGetVariable,        Button,    Click,     5, "Get Value",               120,   750, 2415,  300,  73, 0,     nullptr) \
  C(cmdPutVariable,        Button,    Click,     5, "Put Value",              2760,   750, 2415,  300,  74, 0,     nullptr) \
  \
  /* Robot Position */ \
  A(txtPos, 0,             Text,      NoClick,   6, "txtPos(0)",               520,   360, 1200,  300,  76, R,     "X") \
  A(txtPos, 1,             Text,      NoClick,   6, "txtPos(1)",              2220,   360, 1200,  300,  77, R,     "Y") \
  A(txtPos, 2,             Text,      NoClick,   6, "txtPos(2)",              3960,   360, 1200,  300,  78, R,     "Z") \
  A(Label, 6,              Label,     NoClick,   6, "X",                       150,   390,  255,  240,  79, R,     nullptr) \
  A(Label, 7,              Label,     NoClick,   6, "Y",                      1850,   390,  255,  240,  80, R,     nullptr) \
  A(Label, 8,              Label,     NoClick,   6, "Z",                      3600,   390,  255,  240,  81, R,     nullptr) \
  A(Label, 9,              Label,     NoClick,   6, "Rx",                      150,   780,  255,  240,  82, R,     nullptr) \
  A(txtPos, 3,             Text,      NoClick,   6, "txtPos(3)",               520,   750, 1200,  300,  83, R,     "Rx") \
  A(Label, 10,             Label,     NoClick,   6, "Ry",                     1850,   780,  255,  240,  84, R,     nullptr) \
  A(txtPos, 4,             Text,      NoClick,   6, "txtPos(4)",              2220,   750, 1200,  300,  85, R,     "Ry") \
  A(Label, 11,             Label,     NoClick,   6, "Rz",                     3600,   780,  255,  240,  86, R,     nullptr) \
  A(txtPos, 5,             Text,      NoClick,   6, "txtPos(5)",              3960,   750, 1200,  300,  87, R,     "Rz") \
  A(Label, 12,             Label,     NoClick,   6, "Fig",                     150,  1170,  255,  240,  88, R,     nullptr) \
  A(txtPos, 6,             Text,      NoClick,   6, "txtPos(6)",               520,  1140, 1200,  300,  89, R,     "Fig") \
  C(cmdPosition,           Button,    Click,     6, "GetPostion",             2220,  1140, 2955,  300,  90, 0,     nullptr) \
  A(Label, 14,             Label,     NoClick,   6, "Oy",                     1850,  1550,  255,  240,  91, R,     nullptr) \
  A(Label, 15,             Label,     NoClick,   6, "Ox",                      150,  1550,  255,  240,  92, R,     nullptr) \
  A(txtPos, 7,             Text,      NoClick,   6, "txtPos(7)",               520,  1520, 1200,  300,  93, R,     "Ox") \
  A(txtPos, 8,             Text,      NoClick,   6, "txtPos(8)",              2220,  1520, 1200,  300,  94, R,     "Oy") \
  A(Label, 13,             Label,     NoClick,   6, "Oz",                     3600,  1550,  255,  240,  95, R,     nullptr) \
  A(txtPos, 9,             Text,      NoClick,   6, "txtPos(9)",              3960,  1520, 1200,  300,  96, R,     "Oz") \
  C(cmdCalcDevH,           Button,    Click,     6, "Calc DEVH",               520,  1910, 1215,  300,  97, 0,     nullptr) \
  C(cmdMove,               Button,    Click,     6, "Move",                   2220,  1910, 2955,  300,  98, 0,     nullptr) \
  C(Line,                  Line,      NoClick,   6, "",                        150,  2355, 5040,   15,  -1, 0,     nullptr) \
  C(cmbComp,               Combo,     NoClick,   6, "cmbComp",                 720,  2535,  615,  300,  99, 0,     "Comp") \
  C(cmbPath,               Combo,     NoClick,   6, "cmbPath",                2040,  2535,  615,  300, 100, 0,     "Path") \
  C(txtLength,             Text,      NoClick,   6, "txtLength",              3480,  2535,  735,  300, 101, R,     "Length") \
  C(chkNext,               Check,     NoClick,   6, "Next",                   4440,  2535,  735,  300, 102, 0,     nullptr) \
  A(Label, 31,             Label,     NoClick,   6, "Path : ",                1440,  2565,  495,  240, 103, 0,     nullptr) \
  A(Label, 32,             Label,     NoClick,   6, "Length : ",              2760,  2565,  615,  240, 104, 0,     nullptr) \
  A(Label, 33,             Label,     NoClick,   6, "Comp : ",                 120,  2565,  615,  240, 105, 0,     nullptr) \
  C(cmdApproach,           Button,    Click,     6, "Approach",                120,  2925, 1575,  300, 106, 0,     nullptr) \
  C(cmdDepart,             Button,    Click,     6, "Depart",                 1850,  2925, 1575,  300, 107, 0,     nullptr) \
  C(cmdDriveA,             Button,    Click,     6, "DriveA",                 3600,  2925, 1575,  300, 108, 0,     nullptr) \
  \
  /* Calibrate */ \
  A(TxtRotDiff, 0,         Text,      NoClick,   7, "TxtRotDiff(0)",           525,   360, 1215,  300, 110, R,     "Rot1") \
  A(TxtRotDiff, 1,         Text,      NoClick,   7, "TxtRotDiff(1)",          2220,   360, 1215,  300, 111, R,     "Rot2") \
  A(TxtRotDiff, 2,         Text,      NoClick,   7, "TxtRotDiff(2)",          3960,   360, 1215,  300, 112, R,     "Rot3") \
  A(Label, 16,             Label,     NoClick,   7, "Rot1",                    120,   390,  375,  240, 113, 0,     nullptr) \
  A(Label, 17,             Label,     NoClick,   7, "Rot2",                   1800,   390,  375,  240, 114, 0,     nullptr) \
  A(Label, 18,             Label,     NoClick,   7, "Rot3",                   3525,   390,  375,  240, 115, 0,     nullptr) \
  A(Label, 19,             Label,     NoClick,   7, "Rot4",                    120,   780,  375,  240, 116, 0,     nullptr) \
  A(TxtRotDiff, 3,         Text,      NoClick,   7, "TxtRotDiff(3)",           525,   750, 1215,  300, 117, R,     "Rot4") \
  A(Label, 20,             Label,     NoClick,   7, "Rot5",                   1800,   780,  375,  240, 118, 0,     nullptr) \
  A(TxtRotDiff, 4,         Text,      NoClick,   7, "TxtRotDiff(4)",          2220,   750, 1215,  300, 119, R,     "Rot5") \
  A(Label, 21,             Label,     NoClick,   7, "Rot6",                   3525,   780,  375,  240, 120, 0,     nullptr) \
  A(TxtRotDiff, 5,         Text,      NoClick,   7, "TxtRotDiff(5)",          3960,   750, 1215,  300, 121, R,     "Rot6") \
  A(Label, 22,             Label,     NoClick,   7, "Len1",                    120,  1170,  375,  240, 122, 0,     nullptr) \
  A(TxtLenDiff, 0,         Text,      NoClick,   7, "TxtLenDiff(0)",           525,  1140, 1215,  300, 123, R,     "Len1") \
  A(Label, 23,             Label,     NoClick,   7, "Len2",                   1800,  1170,  375,  240, 124, 0,     nullptr) \
  A(TxtLenDiff, 1,         Text,      NoClick,   7, "TxtLenDiff(1)",          2220,  1140, 1215,  300, 125, R,     "Len2") \
  A(Label, 24,             Label,     NoClick,   7, "Len3",                   3525,  1170,  375,  240, 126, 0,     nullptr) \
  A(TxtLenDiff, 2,         Text,      NoClick,   7, "TxtLenDiff(2)",          3960,  1140, 1215,  300, 127, R,     "Len3") \
  A(Label, 25,             Label,     NoClick,   7, "Len4",                    120,  1550,  375,  240, 128, 0,     nullptr) \
  A(TxtLenDiff, 3,         Text,      NoClick,   7, "TxtLenDiff(3)",           525,  1520, 1215,  300, 129, R,     "Len4") \
  A(Label, 26,             Label,     NoClick,   7, "Len5",                   1800,  1550,  375,  240, 130, 0,     nullptr) \
  A(TxtLenDiff, 4,         Text,      NoClick,   7, "TxtLenDiff(4)",          2220,  1520, 1215,  300, 131, R,     "Len5") \
  A(Label, 27,             Label,     NoClick,   7, "Len6",                   3525,  1550,  375,  240, 132, 0,     nullptr) \
  A(TxtLenDiff, 5,         Text,      NoClick,   7, "TxtLenDiff(5)",          3960,  1520, 1215,  300, 133, R,     "Len6") \
  C(cmdCalcCalset,         Button,    Click,     7, "Calc Calset",             525,  1910, 4650,  300, 134, 0,     nullptr) \
  \
  /* On the window itself, last in tab order */ \
  C(cmdExit,               Button,    Click,    -1, "Exit",                   9480, 10020, 1335,  300, 135, 0,     nullptr)

// clang-format on

// The items of each list, in index order: (text, item number) pairs.
// clang-format off
#define KELVOR_WINDOW_LISTS(LIST) \
  LIST(cmbBaudrate,  {"9600bps", 9600}, {"19200bps", 19200}, {"38400bps", 38400}, {"57600bps", 57600}, \
                     {"115200bps", 115200}) \
  LIST(cmbCtrlParam, {"Speed", 0}, {"ExtSpeed", 1}, {"CurTool", 2}, {"CurWork", 3}) \
  LIST(cmbDefType,   {"Tool Def", 0}, {"Work Def", 0}, {"Area Def", 0}) \
  LIST(cmbComp,      {"P", 1}, {"L", 2}) \
  LIST(cmbPath,      {"@0", 1}, {"@P", 2}, {"@E", 3}) \
  LIST(cmbVariable,  {"I", 1}, {"F", 2}, {"D", 3}, {"S", 4}, {"IO", 5})

// The cells of each grid: rows and columns, the first of each fixed.
#define KELVOR_WINDOW_GRIDS(GRID) \
  GRID(grdCtrlParam, 5, 2) \
  GRID(grdCtrlDef,   4, 14)
// clang-format on

struct Control {
  const char* name;    // "txtPos(3)", "Frame(0)", "cmdExit"
  const char* member;  // "txtPos", "Frame", "cmdExit"
  int index;           // the place in the control array, -1 for a single control
  Kind kind;
  Event event;
  int frame;
  const char* text;  // caption or initial text (UTF-8)
  int left, top, width, height;
  int tab;
  unsigned flags;
  const char* field;
};

struct ListItem {
  const char* text;
  int data;
};

#define KLV_DEFINE_ONE(member, kind, event, ...) \
  Control{#member, #member, -1, Kind::kind, Event::event, __VA_ARGS__},
#define KLV_DEFINE_EACH(member, index, kind, event, ...) \
  Control{#member "(" #index ")", #member, index, Kind::kind, Event::event, __VA_ARGS__},
inline constexpr Control kControls[] = {KELVOR_WINDOW_CONTROLS(KLV_DEFINE_ONE, KLV_DEFINE_EACH)};
#undef KLV_DEFINE_ONE
#undef KLV_DEFINE_EACH

inline std::span<const Control> controls() { return kControls; }

// The number of members of a control array: one more than its highest index.
constexpr int arraySize(std::string_view member) {
  int size = 0;
  for (const Control& c : kControls) {
    if (member == c.member) size = std::max(size, c.index + 1);
  }
  return size;
}

inline constexpr int kClientWidth = 10935;
inline constexpr int kClientHeight = 10425;
inline constexpr const char* kCaption = "Kelvor Tester";
inline constexpr const char* kFormName = "KelvorTesterForm";
// The font of every control but the grids: a sans-serif face narrow enough that each caption
// fits its box, sized in pixels like the boxes themselves, so that a screen's DPI setting cannot
// push a caption out of its box.
inline constexpr const char* kFont = "Liberation Sans";
inline constexpr int kFontPixels = 10;
// The grids' font; fontconfig has no such family on Linux, so the window substitutes a
// metric-compatible Japanese Gothic.
inline constexpr const char* kGridFont = "ＭＳ Ｐゴシック";
inline constexpr int kGridFontPoints = 9;

}  // namespace winDef
