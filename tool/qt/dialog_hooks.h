// The modal calls of the window: file dialogs and message boxes. Tests put their own functions in place.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QFileDialog;
class QWidget;

namespace morvane {

// Where a file dialog opens: a folder (empty: the dialog's own default) and the file name it proposes
// (may be empty).
struct FileDialogStart {
  QString folder;
  QString name;
};

struct DialogHooks {
  // Asks for a file to open; an empty result means cancelled.
  std::function<QString(QWidget* owner, const FileDialogStart& start)> openFile;
  // Asks for a file to save to; an empty result means cancelled.
  std::function<QString(QWidget* owner, const FileDialogStart& start)> saveFile;
  // Shows one message with the caption "エラー" and the warning icon, returning when it was closed: the
  // tool's fixed sentence, and under it the file and the cause (may be empty).
  std::function<void(QWidget* owner, const QString& text, const QString& detail)> showMessage;
};

// The platform's dialogs and message box.
DialogHooks PlatformDialogHooks();

// The file dialogs PlatformDialogHooks runs, configured but not shown.
std::unique_ptr<QFileDialog> MakeOpenDialog(QWidget* owner, const FileDialogStart& start);
std::unique_ptr<QFileDialog> MakeSaveDialog(QWidget* owner, const FileDialogStart& start);

}  // namespace morvane
