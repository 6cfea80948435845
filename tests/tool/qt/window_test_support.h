// What the window tests share: the modal calls replaced by recording ones, and files written and read.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <QtTest>
#include <string>

#include "tool/qt/dialog_hooks.h"

namespace morvane {

// What the replaced modal calls saw and answer.
struct Modals {
  QStringList messages;
  QStringList details;  // the second line of each message
  QStringList openNames;
  QStringList openFolders;
  QStringList saveNames;
  QStringList saveFolders;
  QString openAnswer;
  QString saveAnswer;
  int saveAsked = 0;
};

inline DialogHooks RecordingHooks(Modals* modals) {
  DialogHooks hooks;
  hooks.openFile = [modals](QWidget*, const FileDialogStart& start) {
    modals->openNames << start.name;
    modals->openFolders << start.folder;
    return modals->openAnswer;
  };
  hooks.saveFile = [modals](QWidget*, const FileDialogStart& start) {
    ++modals->saveAsked;
    modals->saveNames << start.name;
    modals->saveFolders << start.folder;
    return modals->saveAnswer;
  };
  hooks.showMessage = [modals](QWidget*, const QString& text, const QString& detail) {
    modals->messages << text;
    modals->details << detail;
  };
  return hooks;
}

inline QString Text(const char* utf8) {
  return QString::fromUtf8(utf8);
}

inline void WriteFile(const QString& path, const std::string& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
}

inline QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
  return file.readAll();
}

}  // namespace morvane
