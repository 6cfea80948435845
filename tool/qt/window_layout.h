// Where the window's controls stand at any size: at the template's size exactly where the template puts
// them; a larger window widens the boxes and the tag list and gives the list a share of the height, and the
// view takes the rest; a smaller one, down to kMinimumWidthUnits by kMinimumHeightUnits, takes from them the
// same way. Below the view, the line of the last run's warnings and their list, while they are shown.
#pragma once

#include <QRect>
#include <QSize>

#include "tool/dialog_template.h"

namespace morvane {

// The smallest window, in dialog units: the buttons, the boxes and some of the list and the view.
inline constexpr int kMinimumWidthUnits = 300;
inline constexpr int kMinimumHeightUnits = 160;

// Dialog units at the dialog font's scale, as the platform's dialogs measure them: base units of the font
// (the average letter width and the line height), a quarter and an eighth of them per unit.
struct DialogUnits {
  int baseX = 1;
  int baseY = 1;

  int X(int units) const { return (units * baseX + 2) / 4; }
  int Y(int units) const { return (units * baseY + 4) / 8; }
  QRect Rect(int x, int y, int width, int height) const { return QRect(X(x), Y(y), X(width), Y(height)); }
  QSize TemplateSize() const { return QSize(X(kDialogWidthUnits), Y(kDialogHeightUnits)); }
  QSize MinimumSize() const { return QSize(X(kMinimumWidthUnits), Y(kMinimumHeightUnits)); }
};

struct WindowLayout {
  QRect controls[kDialogControlCount];  // in template order
  QRect autoUpdate;                     // the Auto-update switch, beside the Save button
  QRect warningsLine;                   // empty while hidden
  QRect warningsList;                   // empty while hidden
};

// The places in a window of `size` pixels (at least the minimum size).
WindowLayout LayOutWindow(const DialogUnits& units, QSize size, bool lineShown, bool listShown);

}  // namespace morvane
