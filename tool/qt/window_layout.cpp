#include "tool/qt/window_layout.h"

#include <algorithm>

namespace morvane {

namespace {

// The Auto-update switch in the template's free room right of the Save button, in dialog units.
constexpr int kAutoUpdateX = 138;
constexpr int kAutoUpdateWidth = 100;
// The warnings line: a row of text, and the gap above it and above the list.
constexpr int kLineHeightUnits = 11;
constexpr int kGapUnits = 3;

}  // namespace

WindowLayout LayOutWindow(const DialogUnits& units, QSize size, bool lineShown, bool listShown) {
  WindowLayout layout;
  const QSize base = units.TemplateSize();
  const int extraWidth = size.width() - base.width();
  const int extraHeight = size.height() - base.height();
  // The boxes take two thirds of the width gained (or lost), the tag list the rest; the list grows by a
  // third of the height gained, never shrinks: the view gives up what the window loses.
  const int leftWidth = extraWidth * 2 / 3;
  const int rightWidth = extraWidth - leftWidth;
  const int listHeight = std::max(0, extraHeight / 3);

  QRect view;
  int viewIndex = 0;
  QRect tagListLabel;
  for (int i = 0; i < kDialogControlCount; ++i) {
    const DialogControl& control = kDialogControls[i];
    QRect place = units.Rect(control.x, control.y, control.width, control.height);
    switch (control.kind) {
      case ControlKind::kDefaultButton:
      case ControlKind::kButton:
        // The Open buttons stay beside their boxes; Update and Save stay where they are.
        if (control.x > kAutoUpdateX) place.translate(leftWidth, 0);
        break;
      case ControlKind::kLabel:
        if (control.x < kAutoUpdateX) {
          place.setWidth(place.width() + leftWidth);
        } else {
          place.translate(leftWidth, 0);
          place.setWidth(place.width() + rightWidth);
          tagListLabel = place;
        }
        break;
      case ControlKind::kPathBox:
        place.setWidth(place.width() + leftWidth);
        break;
      case ControlKind::kTagList:
        place.translate(leftWidth, 0);
        place.setWidth(place.width() + rightWidth);
        place.setHeight(place.height() + listHeight);
        break;
      case ControlKind::kView:
        place.translate(0, listHeight);
        place.setWidth(place.width() + extraWidth);
        place.setHeight(place.height() + extraHeight - listHeight);
        view = place;
        viewIndex = i;
        break;
    }
    layout.controls[i] = place;
  }

  layout.autoUpdate =
      QRect(units.X(kAutoUpdateX), units.Y(6),
            std::min(units.X(kAutoUpdateWidth), tagListLabel.left() - units.X(kAutoUpdateX) - units.X(4)),
            units.Y(12));

  // The line and the list take their room from the view's bottom.
  const int gap = units.Y(kGapUnits);
  if (lineShown) {
    const int lineHeight = units.Y(kLineHeightUnits);
    layout.warningsLine = QRect(view.left(), view.bottom() + 1 - lineHeight, view.width(), lineHeight);
    view.setBottom(layout.warningsLine.top() - gap - 1);
    if (listShown) {
      const int listRoom = view.height() / 3;
      layout.warningsList = QRect(view.left(), view.bottom() + 1 - listRoom, view.width(), listRoom);
      view.setBottom(layout.warningsList.top() - gap - 1);
    }
  }
  layout.controls[viewIndex] = view;
  return layout;
}

}  // namespace morvane
