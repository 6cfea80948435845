// The path boxes' habits apart from the window: `~`, the byte limit, dialog start folders, dragged files.
#include "tool/qt/path_boxes.h"

#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <memory>

#include "text/text.h"

namespace morvane {

class PathBoxesTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  QByteArray home_;

  QString Path(const char* name) { return dir_->filePath(QString::fromUtf8(name)); }

 private slots:
  void initTestCase() { home_ = qgetenv("HOME"); }
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("home/notes")));
    qputenv("HOME", Path("home").toUtf8());
    QVERIFY(SetActiveCodePage(kCodePage932));
  }
  void cleanup() {
    qputenv("HOME", home_);
    dir_.reset();
  }

  void expandsTheHomeFolder_data() {
    QTest::addColumn<QString>("home");  // relative to the test's folder; "/" for the root
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expanded");  // "HOME" stands for the home folder
    QTest::newRow("tilde alone") << "home"
                                 << "~"
                                 << "HOME";
    QTest::newRow("tilde slash") << "home"
                                 << "~/"
                                 << "HOME/";
    QTest::newRow("a file at home") << "home"
                                    << "~/notes/a.txt"
                                    << "HOME/notes/a.txt";
    QTest::newRow("another user") << "home"
                                  << "~bob/a.txt"
                                  << "~bob/a.txt";
    QTest::newRow("not at the start") << "home"
                                      << "a/~/b.txt"
                                      << "a/~/b.txt";
    QTest::newRow("a space first") << "home"
                                   << " ~/a.txt"
                                   << " ~/a.txt";
    QTest::newRow("empty") << "home"
                           << ""
                           << "";
    QTest::newRow("root's home") << "/"
                                 << "~/a.txt"
                                 << "/a.txt";
  }
  void expandsTheHomeFolder() {
    QFETCH(QString, home);
    QFETCH(QString, typed);
    QFETCH(QString, expanded);
    const QString homePath = home == "/" ? home : Path("home");
    qputenv("HOME", homePath.toUtf8());
    expanded.replace(QStringLiteral("HOME"), homePath);
    QCOMPARE(ExpandHome(typed), expanded);
  }

  void startFolderAndName_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("folder");  // "FALLBACK" for the fallback, else inside the test's folder
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << ""
                           << "FALLBACK"
                           << "";
    QTest::newRow("a file at home") << "~/notes/a.txt"
                                    << "home/notes"
                                    << "a.txt";
    QTest::newRow("the home folder") << "~"
                                     << "home"
                                     << "";
    QTest::newRow("a folder with a slash") << "~/notes/"
                                           << "home/notes"
                                           << "";
    QTest::newRow("a folder without") << "~/notes"
                                      << "home/notes"
                                      << "";
    QTest::newRow("a missing folder") << "~/gone/a.txt"
                                      << "FALLBACK"
                                      << "a.txt";
  }
  void startFolderAndName() {
    QFETCH(QString, typed);
    QFETCH(QString, folder);
    QFETCH(QString, name);
    const QString fallback = QStringLiteral("/fallback");
    QCOMPARE(StartFolderOf(typed, fallback),
             folder == "FALLBACK" ? fallback : Path(folder.toUtf8().constData()));
    QCOMPARE(StartNameOf(typed), name);
  }

  void draggedFiles_data() {
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("one") << QStringList({"file:///a/b.txt"}) << QStringList({"/a/b.txt"});
    QTest::newRow("in order") << QStringList({"file:///z.txt", "file:///a.txt"})
                              << QStringList({"/z.txt", "/a.txt"});
    QTest::newRow("escaped name") << QStringList({"file:///a/%E8%A1%A8%20x.txt"})
                                  << QStringList({"/a/表 x.txt"});
    QTest::newRow("a web address spoils the drag")
        << QStringList({"file:///a.txt", "https://example.org/b.txt"}) << QStringList();
    QTest::newRow("no urls") << QStringList() << QStringList();
  }
  void draggedFiles() {
    QFETCH(QStringList, urls);
    QFETCH(QStringList, files);
    QMimeData data;
    QList<QUrl> list;
    for (const QString& url : urls) list << QUrl(url);
    if (!list.isEmpty()) data.setUrls(list);
    data.setText(QStringLiteral("plain text"));
    QCOMPARE(DraggedFiles(&data), files);
    QCOMPARE(DraggedFiles(nullptr), QStringList());
  }

  void validatorRefusesWhatDoesNotFit_data() {
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fits");
    QTest::newRow("932, 258 bytes") << kCodePage932 << QString(129, QChar(0x3042)) << true;
    QTest::newRow("932, 259 bytes") << kCodePage932 << "x" + QString(129, QChar(0x3042)) << false;
    QTest::newRow("utf-8, 258 bytes") << kCodePageUtf8 << QString(86, QChar(0x3042)) << true;
    QTest::newRow("utf-8, 259 bytes") << kCodePageUtf8 << "x" + QString(86, QChar(0x3042)) << false;
  }
  void validatorRefusesWhatDoesNotFit() {
    QFETCH(int, codePage);
    QFETCH(QString, text);
    QFETCH(bool, fits);
    QVERIFY(SetActiveCodePage(codePage));
    QCOMPARE(FitsBox(text), fits);
    QLineEdit box;
    BoxLengthValidator validator(&box, {});
    int position = 0;
    QCOMPARE(validator.validate(text, position), fits ? QValidator::Acceptable : QValidator::Invalid);
  }
};

}  // namespace morvane

QTEST_MAIN(morvane::PathBoxesTest)
#include "path_boxes_test.moc"
