// The main window as the dialog template describes it: its size and its eleven controls, in template order,
// which is also the Tab order. The Windows program's template (tool/resources/morvane.rc) is checked against
// this table by its tests; the Linux window lays itself out from it.
#pragma once

#include <cstdint>

#include "tool/resources/resource_ids.h"

namespace morvane {

// The template's size in dialog units.
inline constexpr int kDialogWidthUnits = 418;
inline constexpr int kDialogHeightUnits = 263;

enum class ControlKind : uint8_t { kDefaultButton, kButton, kLabel, kPathBox, kTagList, kView };

struct DialogControl {
  int id;  // -1 for the labels
  ControlKind kind;
  const char* text;         // the caption (compiled into code page 932 for Windows)
  const char* name;         // the control's object name in the Linux window
  uint32_t style;           // the window style in the template: WS_CHILD | WS_VISIBLE | ...
  int x, y, width, height;  // dialog units
};

inline constexpr DialogControl kDialogControls[] = {
    // WS_TABSTOP | BS_DEFPUSHBUTTON
    {IDC_UPDATE, ControlKind::kDefaultButton, "更新", "update", 0x50010001, 6, 6, 60, 12},
    // WS_TABSTOP | BS_PUSHBUTTON
    {IDC_SAVE, ControlKind::kButton, "ファイルに保存", "save", 0x50010000, 72, 6, 60, 12},
    // WS_GROUP | SS_LEFT
    {-1, ControlKind::kLabel, "ヘッダーファイルを指定します", "headerLabel", 0x50020000, 6, 24, 264, 8},
    // WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL
    {IDC_HEADER_PATH, ControlKind::kPathBox, "", "headerBox", 0x50810080, 6, 36, 234, 12},
    {IDC_HEADER_OPEN, ControlKind::kButton, "開く", "headerOpen", 0x50010000, 246, 36, 24, 12},
    {-1, ControlKind::kLabel, "メインファイルを指定します", "mainLabel", 0x50020000, 6, 54, 264, 8},
    {IDC_MAIN_PATH, ControlKind::kPathBox, "", "mainBox", 0x50810080, 6, 66, 234, 12},
    {IDC_MAIN_OPEN, ControlKind::kButton, "開く", "mainOpen", 0x50010000, 246, 66, 24, 12},
    {-1, ControlKind::kLabel, "タグ一覧", "tagListLabel", 0x50020000, 276, 6, 138, 8},
    // WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT
    {IDC_TAG_LIST, ControlKind::kTagList, "", "tagList", 0x50A10103, 276, 18, 138, 60},
    // WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
    // ES_READONLY
    {IDC_VIEW, ControlKind::kView, "", "view", 0x50B108C4, 6, 84, 408, 174},
};

inline constexpr int kDialogControlCount = sizeof kDialogControls / sizeof kDialogControls[0];
static_assert(kDialogControlCount == 11);

}  // namespace morvane
