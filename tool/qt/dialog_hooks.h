// The modal calls of the window: file dialogs and message boxes. Tests put their own functions in place.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QFileDialog;
class QWidget;

namespace morvane {

struct DialogHooks {
  // Asks for a file to open, starting from `initial`; an empty result means cancelled.
  std::function<QString(QWidget* owner, const QString& initial)> openFile;
  // Asks for a file to save to; an empty result means cancelled.
  std::function<QString(QWidget* owner)> saveFile;
  // Shows one message with the caption "エラー" and the warning icon, returning when it was closed.
  std::function<void(QWidget* owner, const QString& text)> showMessage;
};

// The platform's dialogs and message box.
DialogHooks PlatformDialogHooks();

// The file dialogs PlatformDialogHooks runs, configured but not shown.
std::unique_ptr<QFileDialog> MakeOpenDialog(QWidget* owner, const QString& initial);
std::unique_ptr<QFileDialog> MakeSaveDialog(QWidget* owner);

}  // namespace morvane
