#include "tool/qt/window_settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "tool/qt/path_boxes.h"

namespace morvane {

namespace {

const QString kHeaderKey = QStringLiteral("files/header");
const QString kMainKey = QStringLiteral("files/main");
const QString kRecentHeadersKey = QStringLiteral("files/recentHeaders");
const QString kRecentMainsKey = QStringLiteral("files/recentMains");
const QString kSaveFolderKey = QStringLiteral("save/folder");
const QString kAutoUpdateKey = QStringLiteral("window/autoUpdate");

// A path from the file as a box may hold it: absolute and within the box's limit, else nothing.
QString Fitting(const QString& path) {
  return !path.isEmpty() && QDir::isAbsolutePath(path) && FitsBox(path) ? path : QString();
}

QStringList FittingList(const QStringList& paths) {
  QStringList kept;
  for (const QString& path : paths) {
    const QString fitting = Fitting(path);
    if (!fitting.isEmpty() && !kept.contains(fitting) && kept.size() < kRecentPathsMax) kept << fitting;
  }
  return kept;
}

}  // namespace

QString SettingsFilePath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/morvane/morvane.conf");
}

RememberedState LoadRemembered(const QString& file) {
  RememberedState state;
  if (file.isEmpty()) return state;
  const QSettings settings(file, QSettings::IniFormat);
  state.headerPath = Fitting(settings.value(kHeaderKey).toString());
  state.mainPath = Fitting(settings.value(kMainKey).toString());
  state.recentHeaders = FittingList(settings.value(kRecentHeadersKey).toStringList());
  state.recentMains = FittingList(settings.value(kRecentMainsKey).toStringList());
  const QString folder = settings.value(kSaveFolderKey).toString();
  if (QDir::isAbsolutePath(folder)) state.saveFolder = folder;
  state.autoUpdate = settings.value(kAutoUpdateKey, false).toBool();
  return state;
}

int SaveRemembered(const QString& file, const RememberedState& state) {
  if (file.isEmpty()) return 1;
  QDir().mkpath(QFileInfo(file).absolutePath());
  QSettings settings(file, QSettings::IniFormat);
  settings.setValue(kHeaderKey, state.headerPath);
  settings.setValue(kMainKey, state.mainPath);
  settings.setValue(kRecentHeadersKey, state.recentHeaders);
  settings.setValue(kRecentMainsKey, state.recentMains);
  settings.setValue(kSaveFolderKey, state.saveFolder);
  settings.setValue(kAutoUpdateKey, state.autoUpdate);
  settings.sync();
  return settings.status() == QSettings::NoError ? 1 : 0;
}

void AddRecentPath(QStringList* recent, const QString& path) {
  if (path.isEmpty()) return;
  recent->removeAll(path);
  recent->prepend(path);
  while (recent->size() > kRecentPathsMax) recent->removeLast();
}

QString AbsoluteBoxPath(const QString& text) {
  if (text.isEmpty()) return QString();
  return QDir::cleanPath(QFileInfo(ExpandHome(text)).absoluteFilePath());
}

}  // namespace morvane
