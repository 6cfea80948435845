// The path boxes' habits apart from the window: `~`, the byte limit, dialog start folders, dragged files.
#include "tool/qt/path_boxes.h"

#include <QDir>
#include <QFile>
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

  // A refused edit that put in more than one character is told (a paste), a refused keystroke is not.
  void validatorTellsOfARefusedInsertion_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("told");
    const QString full(kBoxTextMax, 'f');
    QTest::newRow("one more character") << full << full + "x" << false;
    QTest::newRow("one more character inside") << full << "x" + full << false;
    QTest::newRow("a double-byte character") << full.left(257) << full.left(257) + QChar(0x3042) << false;
    QTest::newRow("a character beyond the BMP, one character")
        << full << full + QString::fromUcs4(U"\U0001F600") << false;
    QTest::newRow("a paste at the end") << QString("ab") << "ab" + QString(300, 'p') << true;
    QTest::newRow("a paste in the middle") << QString("ab") << "a" + QString(300, 'p') + "b" << true;
    QTest::newRow("a paste over a selection") << full << QString(kBoxTextMax + 1, 'p') << true;
    QTest::newRow("two characters") << full << full + "xy" << true;
    QTest::newRow("a paste that fits") << QString("ab") << "ab" + QString(10, 'p') << false;
  }
  void validatorTellsOfARefusedInsertion() {
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(bool, told);
    QVERIFY(SetActiveCodePage(kCodePage932));
    QLineEdit box;
    int refusals = 0;
    auto* validator = new BoxLengthValidator(&box, [&refusals] { ++refusals; });
    box.setValidator(validator);
    box.setText(before);
    QCOMPARE(box.text(), before);
    int position = 0;
    QString candidate = after;
    QCOMPARE(validator->validate(candidate, position),
             FitsBox(after) ? QValidator::Acceptable : QValidator::Invalid);
    QCOMPARE(refusals, told ? 1 : 0);
  }

  // Only files are dropped into a box: no folder, no name that leads to nothing.
  void allExistingFiles() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder")));
    QFile file(dir.filePath(QStringLiteral("a.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::link(file.fileName(), dir.filePath(QStringLiteral("link.txt"))));
    const QString a = dir.filePath(QStringLiteral("a.txt"));
    QVERIFY(AllExistingFiles({a, dir.filePath(QStringLiteral("link.txt"))}));
    QVERIFY(AllExistingFiles({}));
    QVERIFY(!AllExistingFiles({a, dir.filePath(QStringLiteral("folder"))}));
    QVERIFY(!AllExistingFiles({dir.filePath(QStringLiteral("missing.txt"))}));
    QVERIFY(!AllExistingFiles({QStringLiteral("/dev/null")}));
  }
};

}  // namespace morvane

QTEST_MAIN(morvane::PathBoxesTest)
#include "path_boxes_test.moc"
