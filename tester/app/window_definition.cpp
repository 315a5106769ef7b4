#include "window_definition.h"

namespace winDef {
namespace {

constexpr Kind F = Kind::Frame, B = Kind::Button, C = Kind::Check, PC = Kind::PushCheck,
               O = Kind::Option, DL = Kind::List, DC = Kind::Combo, T = Kind::Text, L = Kind::Label,
               G = Kind::Grid, LN = Kind::Line;
constexpr unsigned R = kRight, CE = kCenter, BD = kBorder;

// clang-format off
constexpr Control kControls[] = {
  // name                  kind frame text                     left  top   width height tab flags      field
  {"Frame(0)",             F,  -1, "Connection",               120,  120,  5295, 2565,  0,  0,        nullptr},
  {"Frame(1)",             F,  -1, "Controller Infomation",    120,  2790, 5295, 1575,  11, 0,        nullptr},
  {"Frame(2)",             F,  -1, "Controller Param",         120,  4470, 5295, 5835,  18, 0,        nullptr},
  {"Frame(3)",             F,  -1, "Controller Status",        5520, 120,  5295, 1185,  56, 0,        nullptr},
  {"Frame(4)",             F,  -1, "Controller Error",         5520, 1410, 5295, 1185,  61, 0,        nullptr},
  {"Frame(5)",             F,  -1, "Variable",                 5520, 2700, 5295, 1215,  66, 0,        nullptr},
  {"Frame(6)",             F,  -1, "Robot Position",           5520, 4020, 5295, 3405,  75, 0,        nullptr},
  {"Frame(7)",             F,  -1, "Calibrate",                5520, 7530, 5295, 2325,  109, 0,       nullptr},

  // Connection
  {"OptDevice(0)",         O,  0, "&Ethernet",                 240,  360,  1455, 300,   1,  0,        nullptr},
  {"Label(0)",             L,  0, "IPAddress : ",              480,  690,  975,  240,   2,  R,        nullptr},
  {"txtIPAddress",         T,  0, "txtIPAddress",              1560, 660,  3615, 300,   3,  0,        nullptr},
  {"OptDevice(1)",         O,  0, "&RS232C",                   240,  1050, 1455, 300,   4,  0,        nullptr},
  {"Label(1)",             L,  0, "Port No : ",                480,  1380, 975,  240,   5,  R,        nullptr},
  {"cmbPort",              DL, 0, "",                          1560, 1350, 3615, 300,   6,  0,        nullptr},
  {"Label(2)",             L,  0, "Baudrate : ",               480,  1770, 975,  240,   7,  R,        nullptr},
  {"cmbBaudrate",          DL, 0, "",                          1560, 1740, 3615, 300,   8,  0,        nullptr},
  {"cmdConnect",           B,  0, "&Connect",                  120,  2130, 2415, 300,   9,  0,        nullptr},
  {"cmdDisconnect",        B,  0, "&Disconnect",               2760, 2130, 2415, 300,   10, 0,        nullptr},

  // Controller Infomation
  {"Label(3)",             L,  1, "Rom Version : ",            240,  390,  1215, 240,   12, R,        nullptr},
  {"lblRomVer",            L,  1, "lblRomVer",                 1560, 360,  3615, 300,   13, BD,       nullptr},
  {"Label(5)",             L,  1, "Sirial No.  : ",            240,  780,  1215, 240,   14, R,        nullptr},
  {"lblSirial",            L,  1, "lblSirial",                 1560, 750,  3615, 300,   15, BD,       nullptr},
  {"Label(4)",             L,  1, "Robot Type  : ",            240,  1170, 1215, 240,   16, R,        nullptr},
  {"lblRobotType",         L,  1, "lblRobotType",              1560, 1140, 3615, 300,   17, BD,       nullptr},

  // Controller Param
  {"grdCtrlParam",         G,  2, "",                          120,  360,  3000, 1170,  19, 0,        nullptr},
  {"cmbCtrlParam",         DL, 2, "",                          3240, 360,  1935, 300,   20, 0,        nullptr},
  {"txtCtrlValue",         T,  2, "txtCtrlValue",              3240, 750,  1935, 300,   21, R,        "Controller Param value"},
  {"cmdChangeCtrl",        B,  2, "Change Value",              3240, 1140, 1935, 300,   22, 0,        nullptr},
  {"grdCtrlDef",           G,  2, "",                          120,  1620, 5055, 1440,  23, 0,        nullptr},
  {"cmbDefType",           DC, 2, "cmbDefType",                120,  3150, 1455, 300,   24, 0,        nullptr},
  {"txtDefNo",             T,  2, "txtDefNo",                  1680, 3150, 1455, 300,   25, R,        "Def No"},
  {"cmdGetDef",            B,  2, "Get Def",                   3240, 3150, 1935, 300,   26, 0,        nullptr},
  {"Label2(0)",            L,  2, "Calset",                    600,  3600, 975,  240,   27, CE,       nullptr},
  {"Label2(1)",            L,  2, "LinkSS",                    1680, 3600, 975,  240,   28, CE,       nullptr},
  {"Label2(2)",            L,  2, "LinkAA",                    2760, 3600, 975,  240,   29, CE,       nullptr},
  {"Label1(0)",            L,  2, "J1",                        240,  3870, 375,  240,   30, 0,        nullptr},
  {"txtCalSet(0)",         T,  2, "Text1",                     600,  3840, 975,  300,   31, R,        "Calset J1"},
  {"txtLinkSS(0)",         T,  2, "Text1",                     1680, 3840, 975,  300,   32, R,        "LinkSS J1"},
  {"txtLinkAA(0)",         T,  2, "Text1",                     2760, 3840, 975,  300,   33, R,        "LinkAA J1"},
  {"Label1(1)",            L,  2, "J2",                        240,  4180, 375,  240,   34, 0,        nullptr},
  {"txtCalSet(1)",         T,  2, "Text1",                     600,  4150, 975,  300,   35, R,        "Calset J2"},
  {"txtLinkSS(1)",         T,  2, "Text1",                     1680, 4150, 975,  300,   36, R,        "LinkSS J2"},
  {"txtLinkAA(1)",         T,  2, "Text1",                     2760, 4150, 975,  300,   37, R,        "LinkAA J2"},
  {"Label1(2)",            L,  2, "J3",                        240,  4490, 375,  240,   38, 0,        nullptr},
  {"txtCalSet(2)",         T,  2, "Text1",                     600,  4460, 975,  300,   39, R,        "Calset J3"},
  {"txtLinkSS(2)",         T,  2, "Text1",                     1680, 4460, 975,  300,   40, R,        "LinkSS J3"},
  {"txtLinkAA(2)",         T,  2, "Text1",                     2760, 4460, 975,  300,   41, R,        "LinkAA J3"},
  {"Label1(3)",            L,  2, "J4",                        240,  4800, 375,  240,   42, 0,        nullptr},
  {"txtCalSet(3)",         T,  2, "Text1",                     600,  4770, 975,  300,   43, R,        "Calset J4"},
  {"txtLinkSS(3)",         T,  2, "Text1",                     1680, 4770, 975,  300,   44, R,        "LinkSS J4"},
  {"txtLinkAA(3)",         T,  2, "Text1",                     2760, 4770, 975,  300,   45, R,        "LinkAA J4"},
  {"Label1(4)",            L,  2, "J5",                        240,  5110, 375,  240,   46, 0,        nullptr},
  {"txtCalSet(4)",         T,  2, "Text1",                     600,  5080, 975,  300,   47, R,        "Calset J5"},
  {"txtLinkSS(4)",         T,  2, "Text1",                     1680, 5080, 975,  300,   48, R,        "LinkSS J5"},
  {"txtLinkAA(4)",         T,  2, "Text1",                     2760, 5080, 975,  300,   49, R,        "LinkAA J5"},
  {"Label1(5)",            L,  2, "J6",                        240,  5420, 375,  240,   50, 0,        nullptr},
  {"txtCalSet(5)",         T,  2, "Text1",                     600,  5390, 975,  300,   51, R,        "Calset J6"},
  {"txtLinkSS(5)",         T,  2, "Text1",                     1680, 5390, 975,  300,   52, R,        "LinkSS J6"},
  {"txtLinkAA(5)",         T,  2, "Text1",                     2760, 5390, 975,  300,   53, R,        "LinkAA J6"},
  {"cmdGetCtrl",           B,  2, "Get",                       3840, 5000, 1335, 300,   54, 0,        nullptr},
  {"cmdPutCtrl",           B,  2, "Put",                       3840, 5390, 1335, 300,   55, 0,        nullptr},

  // Controller Status
  {"lblMode",              L,  3, "lblMode",                   120,  360,  5055, 300,   57, BD | CE,  nullptr},
  {"chkMotor",             PC, 3, "Motor On",                  120,  750,  1575, 300,   58, 0,        nullptr},
  {"chkAutomode",          PC, 3, "Internal Auto",             1850, 750,  1575, 300,   59, 0,        nullptr},
  {"chkRobSlave",          PC, 3, "RobSlave Start",            3600, 750,  1575, 300,   60, kGrayed,  nullptr},

  // Controller Error
  {"lblError",             L,  4, "lblError",                  120,  360,  855,  300,   62, BD | R,   nullptr},
  {"lblErrorDescription",  L,  4, "lblErrorDescription",       1050, 360,  4125, 300,   63, BD,       nullptr},
  {"cmdGetError",          B,  4, "Get Error",                 120,  750,  2415, 300,   64, 0,        nullptr},
  {"cmdClearError",        B,  4, "Clear Error",               2760, 750,  2415, 300,   65, 0,        nullptr},

  // Variable
  {"Label(28)",            L,  5, "Name : ",                   120,  390,  615,  240,   67, 0,        nullptr},
  {"cmbVariable",          DC, 5, "cmbVariable",               720,  360,  615,  300,   68, 0,        nullptr},
  {"Label(29)",            L,  5, "No : ",                     1440, 390,  375,  240,   69, 0,        nullptr},
  {"txtVariableNo",        T,  5, "txtVariableNo",             1800, 360,  735,  300,   70, R,        "No"},
  {"Label(30)",            L,  5, "Value : ",                  2760, 390,  615,  240,   71, 0,        nullptr},
  {"txtVariableValue",     T,  5, "txtVariableValue",          3360, 360,  1815, 300,   72, 0,        "Value"},
  {"cmdGetVariable",       B,  5, "Get Value",                 120,  750,  2415, 300,   73, 0,        nullptr},
  {"cmdPutVariable",       B,  5, "Put Value",                 2760, 750,  2415, 300,   74, 0,        nullptr},

  // Robot Position
  {"txtPos(0)",            T,  6, "txtPos(0)",                 520,  360,  1200, 300,   76, R,        "X"},
  {"txtPos(1)",            T,  6, "txtPos(1)",                 2220, 360,  1200, 300,   77, R,        "Y"},
  {"txtPos(2)",            T,  6, "txtPos(2)",                 3960, 360,  1200, 300,   78, R,        "Z"},
  {"Label(6)",             L,  6, "X",                         150,  390,  255,  240,   79, R,        nullptr},
  {"Label(7)",             L,  6, "Y",                         1850, 390,  255,  240,   80, R,        nullptr},
  {"Label(8)",             L,  6, "Z",                         3600, 390,  255,  240,   81, R,        nullptr},
  {"Label(9)",             L,  6, "Rx",                        150,  780,  255,  240,   82, R,        nullptr},
  {"txtPos(3)",            T,  6, "txtPos(3)",                 520,  750,  1200, 300,   83, R,        "Rx"},
  {"Label(10)",            L,  6, "Ry",                        1850, 780,  255,  240,   84, R,        nullptr},
  {"txtPos(4)",            T,  6, "txtPos(4)",                 2220, 750,  1200, 300,   85, R,        "Ry"},
  {"Label(11)",            L,  6, "Rz",                        3600, 780,  255,  240,   86, R,        nullptr},
  {"txtPos(5)",            T,  6, "txtPos(5)",                 3960, 750,  1200, 300,   87, R,        "Rz"},
  {"Label(12)",            L,  6, "Fig",                       150,  1170, 255,  240,   88, R,        nullptr},
  {"txtPos(6)",            T,  6, "txtPos(6)",                 520,  1140, 1200, 300,   89, R,        "Fig"},
  {"cmdPosition",          B,  6, "GetPostion",                2220, 1140, 2955, 300,   90, 0,        nullptr},
  {"Label(14)",            L,  6, "Oy",                        1850, 1550, 255,  240,   91, R,        nullptr},
  {"Label(15)",            L,  6, "Ox",                        150,  1550, 255,  240,   92, R,        nullptr},
  {"txtPos(7)",            T,  6, "txtPos(7)",                 520,  1520, 1200, 300,   93, R,        "Ox"},
  {"txtPos(8)",            T,  6, "txtPos(8)",                 2220, 1520, 1200, 300,   94, R,        "Oy"},
  {"Label(13)",            L,  6, "Oz",                        3600, 1550, 255,  240,   95, R,        nullptr},
  {"txtPos(9)",            T,  6, "txtPos(9)",                 3960, 1520, 1200, 300,   96, R,        "Oz"},
  {"cmdCalcDevH",          B,  6, "Calc DEVH",                 520,  1910, 1215, 300,   97, 0,        nullptr},
  {"cmdMove",              B,  6, "Move",                      2220, 1910, 2955, 300,   98, 0,        nullptr},
  {"Line",                 LN, 6, "",                          150,  2355, 5040, 15,    -1, 0,        nullptr},
  {"cmbComp",              DC, 6, "cmbComp",                   720,  2535, 615,  300,   99, 0,        nullptr},
  {"cmbPath",              DC, 6, "cmbPath",                   2040, 2535, 615,  300,   100, 0,       nullptr},
  {"txtLength",            T,  6, "txtLength",                 3480, 2535, 735,  300,   101, R,       "Length"},
  {"chkNext",              C,  6, "Next",                      4440, 2535, 735,  300,   102, 0,       nullptr},
  {"Label(31)",            L,  6, "Path : ",                   1440, 2565, 495,  240,   103, 0,       nullptr},
  {"Label(32)",            L,  6, "Length : ",                 2760, 2565, 615,  240,   104, 0,       nullptr},
  {"Label(33)",            L,  6, "Comp : ",                   120,  2565, 615,  240,   105, 0,       nullptr},
  {"cmdApproach",          B,  6, "Approach",                  120,  2925, 1575, 300,   106, 0,       nullptr},
  {"cmdDepart",            B,  6, "Depart",                    1850, 2925, 1575, 300,   107, 0,       nullptr},
  {"cmdDriveA",            B,  6, "DriveA",                    3600, 2925, 1575, 300,   108, 0,       nullptr},

  // Calibrate
  {"TxtRotDiff(0)",        T,  7, "TxtRotDiff(0)",             525,  360,  1215, 300,   110, R,       "Rot1"},
  {"TxtRotDiff(1)",        T,  7, "TxtRotDiff(1)",             2220, 360,  1215, 300,   111, R,       "Rot2"},
  {"TxtRotDiff(2)",        T,  7, "TxtRotDiff(2)",             3960, 360,  1215, 300,   112, R,       "Rot3"},
  {"Label(16)",            L,  7, "Rot1",                      120,  390,  375,  240,   113, 0,       nullptr},
  {"Label(17)",            L,  7, "Rot2",                      1800, 390,  375,  240,   114, 0,       nullptr},
  {"Label(18)",            L,  7, "Rot3",                      3525, 390,  375,  240,   115, 0,       nullptr},
  {"Label(19)",            L,  7, "Rot4",                      120,  780,  375,  240,   116, 0,       nullptr},
  {"TxtRotDiff(3)",        T,  7, "TxtRotDiff(3)",             525,  750,  1215, 300,   117, R,       "Rot4"},
  {"Label(20)",            L,  7, "Rot5",                      1800, 780,  375,  240,   118, 0,       nullptr},
  {"TxtRotDiff(4)",        T,  7, "TxtRotDiff(4)",             2220, 750,  1215, 300,   119, R,       "Rot5"},
  {"Label(21)",            L,  7, "Rot6",                      3525, 780,  375,  240,   120, 0,       nullptr},
  {"TxtRotDiff(5)",        T,  7, "TxtRotDiff(5)",             3960, 750,  1215, 300,   121, R,       "Rot6"},
  {"Label(22)",            L,  7, "Len1",                      120,  1170, 375,  240,   122, 0,       nullptr},
  {"TxtLenDiff(0)",        T,  7, "TxtLenDiff(0)",             525,  1140, 1215, 300,   123, R,       "Len1"},
  {"Label(23)",            L,  7, "Len2",                      1800, 1170, 375,  240,   124, 0,       nullptr},
  {"TxtLenDiff(1)",        T,  7, "TxtLenDiff(1)",             2220, 1140, 1215, 300,   125, R,       "Len2"},
  {"Label(24)",            L,  7, "Len3",                      3525, 1170, 375,  240,   126, 0,       nullptr},
  {"TxtLenDiff(2)",        T,  7, "TxtLenDiff(2)",             3960, 1140, 1215, 300,   127, R,       "Len3"},
  {"Label(25)",            L,  7, "Len4",                      120,  1550, 375,  240,   128, 0,       nullptr},
  {"TxtLenDiff(3)",        T,  7, "TxtLenDiff(3)",             525,  1520, 1215, 300,   129, R,       "Len4"},
  {"Label(26)",            L,  7, "Len5",                      1800, 1550, 375,  240,   130, 0,       nullptr},
  {"TxtLenDiff(4)",        T,  7, "TxtLenDiff(4)",             2220, 1520, 1215, 300,   131, R,       "Len5"},
  {"Label(27)",            L,  7, "Len6",                      3525, 1550, 375,  240,   132, 0,       nullptr},
  {"TxtLenDiff(5)",        T,  7, "TxtLenDiff(5)",             3960, 1520, 1215, 300,   133, R,       "Len6"},
  {"cmdCalcCalset",        B,  7, "Calc Calset",               525,  1910, 4650, 300,   134, 0,       nullptr},

  // On the window itself, last in tab order
  {"cmdExit",              B,  -1, "Exit",                     9480, 10020, 1335, 300,  135, 0,       nullptr},
};

constexpr ListItem kListItems[] = {
  {"cmbBaudrate", "9600bps", 9600},   {"cmbBaudrate", "19200bps", 19200},
  {"cmbBaudrate", "38400bps", 38400}, {"cmbBaudrate", "57600bps", 57600},
  {"cmbBaudrate", "115200bps", 115200},
  {"cmbCtrlParam", "Speed", 0}, {"cmbCtrlParam", "ExtSpeed", 1},
  {"cmbCtrlParam", "CurTool", 2}, {"cmbCtrlParam", "CurWork", 3},
  {"cmbDefType", "Tool Def", 0}, {"cmbDefType", "Work Def", 0}, {"cmbDefType", "Area Def", 0},
  {"cmbComp", "P", 1}, {"cmbComp", "L", 2},
  {"cmbPath", "@0", 1}, {"cmbPath", "@P", 2}, {"cmbPath", "@E", 3},
  {"cmbVariable", "I", 1}, {"cmbVariable", "F", 2}, {"cmbVariable", "D", 3},
  {"cmbVariable", "S", 4}, {"cmbVariable", "IO", 5},
};

constexpr Grid kGrids[] = {
  {"grdCtrlParam", 5, 2},
  {"grdCtrlDef", 4, 14},
};
// clang-format on

}  // namespace

std::span<const Control> controls() { return kControls; }
std::span<const ListItem> listItems() { return kListItems; }
std::span<const Grid> grids() { return kGrids; }

}  // namespace winDef
