// The habits of the window's two path boxes on a Linux desktop: `~` for the home folder, the byte limit of
// a box, the folder a file dialog starts in, and files dropped from a file manager.
#pragma once

#include <QString>
#include <QStringList>
#include <QValidator>
#include <cstddef>
#include <functional>

class QLineEdit;
class QMimeData;

namespace morvane {

// A box holds at most this many bytes in the active code page, as the path buffer a run reads it into.
inline constexpr size_t kBoxTextMax = 258;

// Why a chosen or dropped path is not put into a box.
inline constexpr const char kPathTooLong[] = "パスが長すぎます。";

// `~` alone or `~/` at the start stands for the home folder ($HOME); any other text comes back unchanged.
QString ExpandHome(const QString& path);

// Whether a path fits a box: at most kBoxTextMax bytes in the active code page.
bool FitsBox(const QString& path);

// The folder a file dialog starts in for a box's path (home expanded, relative to the working directory,
// as the run reads it): the path itself when it is a folder, else the folder it lies in when that exists.
// An empty path, or one whose folder does not exist, gives `fallback`.
QString StartFolderOf(const QString& path, const QString& fallback);

// The name a file dialog proposes for a box's path: its last component, home expanded; empty for a folder.
QString StartNameOf(const QString& path);

// The local files of a drag, in order; empty when it carries no URL or any URL that is not a local file.
QStringList DraggedFiles(const QMimeData* data);

// Whether every path names an existing file (a link to one counts), not a folder or a device.
bool AllExistingFiles(const QStringList& paths);

// Keeps a box within kBoxTextMax bytes: a keystroke, paste or drop of text that would go beyond is refused.
// A refused keystroke only stops the typing; a refused insertion of more than one character (a paste, a
// drop of text, an input method's word) calls `refused`, which must not show anything modal right away
// (the box is still in the middle of the edit).
class BoxLengthValidator : public QValidator {
 public:
  BoxLengthValidator(QLineEdit* box, std::function<void()> refused);
  State validate(QString& input, int& position) const override;

 private:
  std::function<void()> refused_;
  QString accepted_;  // the box's text before the edit under validation
};

}  // namespace morvane
