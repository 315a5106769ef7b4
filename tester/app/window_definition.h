// The window definition as data: one row per control, in tab order within each frame.
// Positions and sizes are in twips, relative to the containing frame (or the client area).
#pragma once

#include <span>

namespace winDef {

enum class Kind { Frame, Button, Check, PushCheck, Option, List, Combo, Text, Label, Grid, Line };

enum Flags : unsigned {
  kLeft = 0,
  kRight = 1u << 0,
  kCenter = 1u << 1,
  kBorder = 1u << 2,
  kGrayed = 1u << 3,  // check box stored with value 2
};

struct Control {
  const char* name;  // objectName: "txtPos(3)", "Frame(0)", "cmdExit"
  Kind kind;
  int frame;         // index of the containing frame, -1 for the window itself
  const char* text;  // caption or initial text (UTF-8)
  int left, top, width, height;
  int tab;  // tab index, -1 for controls without one
  unsigned flags;
  const char* field;  // how a conversion message names the field, or nullptr
};

struct ListItem {
  const char* combo;
  const char* text;
  int data;
};

struct Grid {
  const char* name;
  int rows, cols;
};

inline constexpr int kClientWidth = 10935;
inline constexpr int kClientHeight = 10425;
inline constexpr const char* kCaption = "Kelvor Tester";
inline constexpr const char* kFormName = "KelvorTesterForm";
// The grids' font; fontconfig has no such family on Linux, so the window substitutes a
// metric-compatible Japanese Gothic.
inline constexpr const char* kGridFont = "ＭＳ Ｐゴシック";
inline constexpr int kGridFontPoints = 9;

std::span<const Control> controls();
std::span<const ListItem> listItems();
std::span<const Grid> grids();

}  // namespace winDef
