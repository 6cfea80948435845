#include "tool/qt/dialog_hooks.h"

#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QStringList>

#include "tool/commands.h"

namespace morvane {

namespace {

// A filter shown with its label; Qt takes its pattern from the last parenthesised group, so "*.*" keeps
// its label while matching every file, as it does on Windows, names without a dot included.
QString NameFilter(const char* label, const char* pattern) {
  QString qtPattern = QString::fromUtf8(pattern);
  if (qtPattern == QStringLiteral("*.*")) qtPattern = QStringLiteral("*");
  return QString::fromUtf8(label) + QStringLiteral(" (") + qtPattern + QStringLiteral(")");
}

void StartAt(QFileDialog& dialog, const FileDialogStart& start) {
  if (!start.folder.isEmpty()) dialog.setDirectory(start.folder);
  if (!start.name.isEmpty()) dialog.selectFile(start.name);
}

QString RunFileDialog(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return QString();
  QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.front();
}

}  // namespace

std::unique_ptr<QFileDialog> MakeOpenDialog(QWidget* owner, const FileDialogStart& start) {
  auto dialog = std::make_unique<QFileDialog>(owner);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  // Only a file that exists: the dialog itself says so of a name that leads to none, and opens a folder.
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setOption(QFileDialog::HideNameFilterDetails);
  dialog->setNameFilters(
      {NameFilter(kTextFilterLabel, kTextFilterPattern), NameFilter(kAllFilterLabel, kAllFilterPattern)});
  StartAt(*dialog, start);
  return dialog;
}

std::unique_ptr<QFileDialog> MakeSaveDialog(QWidget* owner, const FileDialogStart& start) {
  auto dialog = std::make_unique<QFileDialog>(owner);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setOption(QFileDialog::HideNameFilterDetails);
  dialog->setNameFilters({NameFilter(kTextFilterLabel, kTextFilterPattern)});
  dialog->setDefaultSuffix(QString::fromUtf8(kDefaultExtension));
  StartAt(*dialog, start);
  return dialog;
}

DialogHooks PlatformDialogHooks() {
  DialogHooks hooks;
  hooks.openFile = [](QWidget* owner, const FileDialogStart& start) {
    auto dialog = MakeOpenDialog(owner, start);
    return RunFileDialog(*dialog);
  };
  hooks.saveFile = [](QWidget* owner, const FileDialogStart& start) {
    auto dialog = MakeSaveDialog(owner, start);
    return RunFileDialog(*dialog);
  };
  hooks.showMessage = [](QWidget* owner, const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kErrorCaption), text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    if (!detail.isEmpty()) {
      box.setInformativeText(detail);
      // Plain text too: a file name may hold anything that looks like markup.
      if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
    }
    box.exec();
  };
  return hooks;
}

}  // namespace morvane
