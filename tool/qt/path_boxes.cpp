#include "tool/qt/path_boxes.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <utility>

#include "tool/qt/text_codec.h"

namespace morvane {

QString ExpandHome(const QString& path) {
  // Only the user's own home: `~name` is a file name like any other, as the run would read it.
  if (path == QStringLiteral("~")) return QDir::homePath();
  if (!path.startsWith(QStringLiteral("~/"))) return path;
  QString home = QDir::homePath();
  if (home.endsWith(QLatin1Char('/'))) home.chop(1);  // root's home, "/"
  return home + path.mid(1);
}

bool FitsBox(const QString& path) {
  return EncodedLength(path) <= kBoxTextMax;
}

QString StartFolderOf(const QString& path, const QString& fallback) {
  if (path.isEmpty()) return fallback;
  const QFileInfo info(ExpandHome(path));
  if (info.isDir()) return QDir::cleanPath(info.absoluteFilePath());
  const QFileInfo folder(info.absolutePath());
  return folder.isDir() ? folder.absoluteFilePath() : fallback;
}

QString StartNameOf(const QString& path) {
  const QFileInfo info(ExpandHome(path));
  return path.isEmpty() || info.isDir() ? QString() : info.fileName();
}

QStringList DraggedFiles(const QMimeData* data) {
  QStringList files;
  if (data == nullptr || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) return QStringList();
    files << url.toLocalFile();
  }
  return files;
}

bool AllExistingFiles(const QStringList& paths) {
  for (const QString& path : paths) {
    if (!QFileInfo(path).isFile()) return false;
  }
  return true;
}

BoxLengthValidator::BoxLengthValidator(QLineEdit* box, std::function<void()> refused)
    : QValidator(box), refused_(std::move(refused)), accepted_(box->text()) {
  connect(box, &QLineEdit::textChanged, this, [this](const QString& text) { accepted_ = text; });
}

QValidator::State BoxLengthValidator::validate(QString& input, int&) const {
  if (FitsBox(input)) return Acceptable;
  // What the edit put in: the new text without what it shares with the old at either end.
  const qsizetype shortest = std::min(input.size(), accepted_.size());
  qsizetype same = 0;
  while (same < shortest && input[same] == accepted_[same]) ++same;
  qsizetype sameEnd = 0;
  while (sameEnd < shortest - same &&
         input[input.size() - 1 - sameEnd] == accepted_[accepted_.size() - 1 - sameEnd])
    ++sameEnd;
  const QString inserted = input.mid(same, input.size() - same - sameEnd);
  if (inserted.toUcs4().size() > 1 && refused_) refused_();
  return Invalid;
}

}  // namespace morvane
