#include "tool/qt/path_boxes.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

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

QValidator::State BoxLengthValidator::validate(QString& input, int&) const {
  return FitsBox(input) ? Acceptable : Invalid;
}

}  // namespace morvane
