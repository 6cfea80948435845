// The window as a desktop program: the warnings of a run, the file and cause under a message, remembered
// paths, Auto-update, keys, files on the command line, and the boxes' refusals.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "tests/tool/qt/window_test_support.h"
#include "text/text.h"
#include "tool/messages.h"
#include "tool/qt/file_follower.h"
#include "tool/qt/main_window.h"
#include "tool/qt/window_settings.h"
#include "tool/qt/window_start.h"
#include "tool/update_run.h"

namespace morvane {

class DesktopWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<Modals> modals_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<QTemporaryDir> dir_;
  QByteArray configHome_;

  // A fresh window that remembers in `settingsFile` (empty: nothing).
  void Open(const QString& settingsFile = QString()) {
    window_.reset();
    modals_ = std::make_unique<Modals>();
    window_ = std::make_unique<MainWindow>(RecordingHooks(modals_.get()), settingsFile);
    QVERIFY(window_->Start());
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  template <typename T>
  T* Child(const char* name) {
    T* child = window_->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) qFatal("no control %s", name);
    return child;
  }
  QLineEdit* HeaderBox() { return Child<QLineEdit>("headerBox"); }
  QLineEdit* MainBox() { return Child<QLineEdit>("mainBox"); }
  QListWidget* List() { return Child<QListWidget>("tagList"); }
  QPlainTextEdit* View() { return Child<QPlainTextEdit>("view"); }
  QCheckBox* AutoUpdate() { return Child<QCheckBox>("autoUpdate"); }
  QPushButton* Line() { return Child<QPushButton>("warningsLine"); }
  QPlainTextEdit* WarningsList() { return Child<QPlainTextEdit>("warningsList"); }
  QString Path(const char* name) { return dir_->filePath(QString::fromUtf8(name)); }
  void Click(const char* button) { QTest::mouseClick(Child<QPushButton>(button), Qt::LeftButton); }
  void UpdateWith(const QString& header, const QString& main) {
    HeaderBox()->setText(header);
    MainBox()->setText(main);
    Click("update");
  }
  QStringList Rows() {
    QStringList rows;
    for (int i = 0; i < List()->count(); ++i) rows << List()->item(i)->text();
    return rows;
  }
  void PickRow(const QString& text) {
    QListWidgetItem* item = List()->item(Rows().indexOf(text));
    QVERIFY2(item != nullptr, qPrintable(text));
    List()->scrollToItem(item);
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, List()->visualItemRect(item).center());
    QVERIFY(item->isSelected());
  }
  QStringList ListedWarnings() {
    return WarningsList()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }
  // Writes through a new file renamed over the old, as editors save.
  void ReplaceByRename(const QString& path, const std::string& bytes) {
    WriteFile(path + ".new", bytes);
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::rename(path + ".new", path));
  }

 private slots:
  void initTestCase() {
    QVERIFY(SetActiveCodePage(kCodePageUtf8));
    configHome_ = qgetenv("XDG_CONFIG_HOME");
  }
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    Open();
  }
  void cleanup() {
    window_.reset();
    SetMessageLanguage(Language::kEnglish);
    SetActiveCodePage(kCodePageUtf8);
    qputenv("XDG_CONFIG_HOME", configHome_);
    dir_.reset();
  }

  // Under the view, the number of the last run's warnings; the line opens their list, told as --warn tells
  // them, in the locale's language. Nothing when there are none.
  void warningsLineAndList_data() {
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("listed");  // MAIN stands for the main box's text
    QTest::addColumn<QByteArray>("text");
    const QByteArray mistakes = "[x dta=\"v\"]<[x]>\n";
    QTest::newRow("English")
        << false << Text("警告 3 件")
        << QStringList({"MAIN:1:1: warning: no tag 'x': the expression is dropped [unknown-tag]",
                        "MAIN:1:4: warning: 'dta' is no keyword: ignored, and its value is "
                        "read as words; did you mean 'data'? [unknown-keyword]",
                        "MAIN:1:13: warning: no tag 'x': the expression is dropped [unknown-tag]"})
        << mistakes;
    QTest::newRow("Japanese")
        << true << Text("警告 3 件")
        << QStringList({Text("MAIN:1:1: 警告: タグ 'x' がありません。式は消えます [unknown-tag]"),
                        Text("MAIN:1:4: 警告: 'dta' はキーワードではありません。無視され、"
                             "その値は単語として読まれます。'data' のことですか [unknown-keyword]"),
                        Text("MAIN:1:13: 警告: タグ 'x' がありません。式は消えます [unknown-tag]")})
        << mistakes;
    // The main file's own bytes are looked at too.
    QTest::newRow("ByteOrderMark")
        << false << Text("警告 1 件")
        << QStringList({"MAIN:1:1: warning: the file begins with a UTF-8 byte-order mark: it is copied into "
                        "the result [bom]"})
        << QByteArray("\xEF\xBB\xBF[x data=\"v\"][x]\n");
  }
  void warningsLineAndList() {
    QFETCH(bool, japanese);
    QFETCH(QString, line);
    QFETCH(QStringList, listed);
    QFETCH(QByteArray, text);
    if (japanese) SetMessageLanguage(Language::kJapanese);
    const int viewHeight = View()->height();
    QVERIFY(!Line()->isVisible());
    WriteFile(Path("main.txt"), text.toStdString());
    UpdateWith(QString(), Path("main.txt"));
    QVERIFY(modals_->messages.isEmpty());
    QVERIFY(Line()->isVisible());
    QCOMPARE(Line()->text(), line);
    QVERIFY(!WarningsList()->isVisible());
    // The line's room comes from the view.
    QVERIFY(View()->geometry().bottom() < Line()->geometry().top());
    QVERIFY(View()->height() < viewHeight);

    Click("warningsLine");
    QVERIFY(WarningsList()->isVisible());
    listed.replaceInStrings(QStringLiteral("MAIN"), Path("main.txt"));
    QCOMPARE(ListedWarnings(), listed);
    QVERIFY(View()->geometry().bottom() < WarningsList()->geometry().top());
    QVERIFY(WarningsList()->geometry().bottom() < Line()->geometry().top());
    Click("warningsLine");
    QVERIFY(!WarningsList()->isVisible());

    // A run without warnings takes the line and the list away, and gives the view its room back.
    Click("warningsLine");
    WriteFile(Path("main.txt"), "[x data=\"v\"][x]");
    Click("update");
    QVERIFY(!Line()->isVisible());
    QVERIFY(!WarningsList()->isVisible());
    QCOMPARE(View()->height(), viewHeight);
    QCOMPARE(View()->toPlainText(), QStringLiteral("v"));
  }

  // The message boxes keep their sentence and add the file and the cause under it, as morvane-cli names them;
  // the list holds the whole message.
  void messageBoxesTellTheFileAndTheCause_data() {
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("sentence");
    QTest::addColumn<QString>("detail");  // DIR stands for the test's folder
    QTest::newRow("a missing header") << false << "missing.txt"
                                      << "" << Text("ヘッダーファイルの読み込みに失敗しました。")
                                      << "DIR/missing.txt: cannot read: No such file or directory";
    QTest::newRow("a folder as main") << false << ""
                                      << "folder" << Text("メインファイルの読み込みに失敗しました。")
                                      << "DIR/folder: cannot read: is a folder";
    QTest::newRow("an overflow")
        << false << ""
        << "big.txt" << Text("メモリ不足またはオーバーフローが発生しました。")
        << "DIR/big.txt: cannot expand: tag 'a' would write 2,000,000 bytes, more than the 1,048,575 a "
           "result holds (see its loop and min)";
    QTest::newRow("in Japanese") << true << "missing.txt"
                                 << "" << Text("ヘッダーファイルの読み込みに失敗しました。")
                                 << Text("DIR/missing.txt: ファイルがありません");
  }
  void messageBoxesTellTheFileAndTheCause() {
    QFETCH(bool, japanese);
    QFETCH(QString, header);
    QFETCH(QString, main);
    QFETCH(QString, sentence);
    QFETCH(QString, detail);
    if (japanese) SetMessageLanguage(Language::kJapanese);
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("folder")));
    WriteFile(Path("big.txt"), "[a data=\"0123456789\"][a loop=\"200000\"]");
    auto inDir = [this](const QString& name) { return name.isEmpty() ? name : dir_->filePath(name); };
    UpdateWith(inDir(header), inDir(main));
    detail.replace(QStringLiteral("DIR"), dir_->path());
    QCOMPARE(modals_->messages, QStringList({sentence}));
    QCOMPARE(modals_->details, QStringList({detail}));
    // A manual run's messages have been seen: the line stays away, the list holds them in full.
    QVERIFY(!Line()->isVisible());
    const QString whole = japanese ? sentence + QLatin1Char(' ') + detail : detail;
    QCOMPARE(ListedWarnings(), QStringList({whole}));
  }

  void saveFailureTellsTheFileAndTheCause() {
    modals_->saveAnswer = Path("no-such-folder/out.txt");
    Click("save");
    QCOMPARE(modals_->messages, QStringList({Text("テキストファイルの書き込みに失敗しました。")}));
    QCOMPARE(modals_->details,
             QStringList({Path("no-such-folder/out.txt") + ": cannot write: no such folder"}));
  }

  void platformMessageBoxShowsTheSecondLine() {
    QString seen;
    QTimer::singleShot(0, [&seen] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      seen = box->text() + "|" + box->informativeText();
      if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        seen += "|" + QString::number(label->textFormat());
      box->button(QMessageBox::Ok)->click();
    });
    PlatformDialogHooks().showMessage(window_.get(), Text("メインファイルの読み込みに失敗しました。"),
                                      QStringLiteral("<b>main</b>.txt: cannot read: is a folder"));
    QCOMPARE(seen,
             Text("メインファイルの読み込みに失敗しました。|<b>main</b>.txt: cannot read: is a folder|") +
                 QString::number(Qt::PlainText));
  }

  // The two paths (absolute), the recent paths of each box, the folder last saved to and Auto-update are
  // kept in the freedesktop config folder; the title names the main file.
  void settingsRoundTrip() {
    qputenv("XDG_CONFIG_HOME", Path("config").toUtf8());
    const QString settings = SettingsFilePath();
    QCOMPARE(settings, Path("config/morvane/morvane.conf"));
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("out")));
    WriteFile(Path("header.txt"), "[who data=\"settings\"]");
    WriteFile(Path("main.txt"), "hello [who]");
    Open(settings);
    QCOMPARE(HeaderBox()->text(), QString());
    QCOMPARE(window_->windowTitle(), QStringLiteral("Morvane"));
    // Relative to the working directory, as typed.
    const QString working = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_->path()));
    UpdateWith(QStringLiteral("header.txt"), QStringLiteral("./main.txt"));
    QCOMPARE(View()->toPlainText(), QStringLiteral("hello settings"));
    QCOMPARE(window_->windowTitle(), QStringLiteral("main.txt - Morvane"));
    AutoUpdate()->click();
    modals_->saveAnswer = Path("out/result.txt");
    Click("save");
    QVERIFY(window_->close());
    QVERIFY(QDir::setCurrent(working));
    QVERIFY(QFile::exists(settings));

    Open(settings);
    QCOMPARE(HeaderBox()->text(), Path("header.txt"));
    QCOMPARE(MainBox()->text(), Path("main.txt"));
    QCOMPARE(window_->windowTitle(), QStringLiteral("main.txt - Morvane"));
    QVERIFY(AutoUpdate()->isChecked());
    QVERIFY(Rows().isEmpty());  // named, not run
    auto recent = [this](QLineEdit* box) {
      return static_cast<QStringListModel*>(box->completer()->model())->stringList();
    };
    QCOMPARE(recent(HeaderBox()), QStringList({Path("header.txt")}));
    QCOMPARE(recent(MainBox()), QStringList({Path("main.txt")}));
    // Without a main file to start beside, the Save dialog starts in the folder last saved to.
    MainBox()->clear();
    modals_->saveAnswer = QString();
    Click("save");
    QCOMPARE(modals_->saveFolders, QStringList({Path("out")}));

    // A file that could not be read is offered by no box; at most ten, newest first, each once.
    UpdateWith(Path("typo.txt"), Path("main.txt"));
    QCOMPARE(recent(HeaderBox()), QStringList({Path("header.txt")}));
    for (int i = 0; i < 12; ++i) {
      const QString name = Path(qPrintable(QStringLiteral("main%1.txt").arg(i)));
      WriteFile(name, "x");
      UpdateWith(QString(), name);
    }
    UpdateWith(QString(), Path("main5.txt"));
    QStringList expected;
    expected << Path("main5.txt");
    for (int i = 11; expected.size() < kRecentPathsMax; --i) {
      if (i != 5) expected << Path(qPrintable(QStringLiteral("main%1.txt").arg(i)));
    }
    QCOMPARE(recent(MainBox()), expected);
    QVERIFY(window_->close());
    QCOMPARE(LoadRemembered(settings).recentMains, expected);
    QCOMPARE(LoadRemembered(settings).mainPath, Path("main5.txt"));
  }

  // What a settings file holds is taken only where a box can hold it.
  void rememberedPathsMustFitABox() {
    const QString settings = Path("morvane.conf");
    RememberedState state;
    state.headerPath = QStringLiteral("/") + QString(300, 'h');
    state.mainPath = QStringLiteral("relative/main.txt");
    state.recentMains =
        QStringList({Path("a.txt"), QStringLiteral("/") + QString(300, 'm'), Path("a.txt"), ""});
    QVERIFY(SaveRemembered(settings, state));
    const RememberedState loaded = LoadRemembered(settings);
    QCOMPARE(loaded.headerPath, QString());
    QCOMPARE(loaded.mainPath, QString());
    QCOMPARE(loaded.recentMains, QStringList({Path("a.txt")}));
    QCOMPARE(LoadRemembered(Path("none.conf")).autoUpdate, false);
    QCOMPARE(SaveRemembered(QString(), state), 1);
  }

  // Down (or Alt+Down) in a box offers all its recent paths; typing filters them.
  void recentPathsAreOffered() {
    for (const char* name : {"first.txt", "second.txt"}) {
      WriteFile(Path(name), name);
      UpdateWith(QString(), Path(name));
    }
    MainBox()->setFocus();
    MainBox()->clear();
    QTest::keyClick(MainBox(), Qt::Key_Down);
    QAbstractItemView* popup = MainBox()->completer()->popup();
    QTRY_VERIFY(popup->isVisible());
    QCOMPARE(popup->model()->rowCount(), 2);
    QCOMPARE(popup->model()->index(0, 0).data().toString(), Path("second.txt"));
    QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Return);
    QCOMPARE(MainBox()->text(), Path("first.txt"));
    QTRY_VERIFY(!popup->isVisible());
    // The header box has none yet: Down leaves it alone.
    HeaderBox()->setFocus();
    QTest::keyClick(HeaderBox(), Qt::Key_Down);
    QVERIFY(!HeaderBox()->completer()->popup()->isVisible());
  }

  void titleNamesTheMainFile_data() {
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("title");
    QTest::newRow("empty") << ""
                           << "Morvane";
    QTest::newRow("a path") << "/srv/reports/march.txt"
                            << "march.txt - Morvane";
    QTest::newRow("at home") << "~/notes/報告.txt" << Text("報告.txt - Morvane");
    QTest::newRow("a folder") << "/srv/reports/"
                              << "Morvane";
  }
  void titleNamesTheMainFile() {
    QFETCH(QString, main);
    QFETCH(QString, title);
    MainBox()->setText(main);
    QCOMPARE(window_->windowTitle(), title);
  }

  // Auto-update reruns Update when a file of the last run changes on disk, also when an editor saves by
  // rename, also a datafile, also one that did not exist; it keeps the picked row.
  void autoUpdateFollowsEdits_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("byRename");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("picked");    // the row picked before the change, still picked after it
    QTest::addColumn<QString>("view");      // what it shows after the change
    QTest::addColumn<QString>("rowAfter");  // a row the run after the change lists, or ""
    QTest::newRow("main rewritten") << "main.txt" << false << "[n datafile=\"\\notes.txt\"]changed [n]"
                                    << "n"
                                    << "notes"
                                    << "";
    QTest::newRow("main replaced by rename") << "main.txt" << true << "[n data=\"renamed\"][n]"
                                             << "n"
                                             << "renamed"
                                             << "";
    QTest::newRow("header rewritten") << "header.txt" << false << "[o data=\"other\"]"
                                      << "n"
                                      << "notes"
                                      << "o";
    QTest::newRow("a datafile rewritten") << "notes.txt" << false << "new notes"
                                          << "n"
                                          << "new notes"
                                          << "";
    QTest::newRow("a datafile replaced by rename") << "notes.txt" << true << "renamed notes"
                                                   << "n"
                                                   << "renamed notes"
                                                   << "";
    QTest::newRow("a datafile that appears, in a new folder") << "later/later.txt" << false << "late"
                                                              << "l"
                                                              << "late"
                                                              << "";
    QTest::newRow("the picked tag gone: the result") << "main.txt" << false << "only text"
                                                     << "n"
                                                     << "only text"
                                                     << "";
  }
  void autoUpdateFollowsEdits() {
    QFETCH(QString, file);
    QFETCH(bool, byRename);
    QFETCH(QString, text);
    QFETCH(QString, picked);
    QFETCH(QString, view);
    QFETCH(QString, rowAfter);
    WriteFile(Path("header.txt"), "[h data=\"header\"]");
    WriteFile(Path("notes.txt"), "notes");
    WriteFile(Path("main.txt"), "[n datafile=\"\\notes.txt\"][l datafile=\"\\later\\later.txt\"]<[n]|[l]>");
    QVERIFY(!AutoUpdate()->isChecked());  // off by default
    AutoUpdate()->click();
    UpdateWith(Path("header.txt"), Path("main.txt"));
    QCOMPARE(View()->toPlainText(), QStringLiteral("<notes|>"));
    PickRow(picked);

    const QString path = Path(file.toUtf8().constData());
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    if (byRename) {
      ReplaceByRename(path, text.toStdString());
    } else {
      WriteFile(path, text.toStdString());
    }
    QTRY_COMPARE_WITH_TIMEOUT(View()->toPlainText(), view, 5000);
    if (!rowAfter.isEmpty()) QTRY_VERIFY_WITH_TIMEOUT(Rows().contains(rowAfter), 5000);
    const bool tagGone = view == QStringLiteral("only text");
    QCOMPARE(List()->currentItem()->text(), tagGone ? Text("（出力結果）") : picked);
    QVERIFY(modals_->messages.isEmpty());
  }

  // Off, nothing follows; an automatic run that fails raises no message box but tells it in the line; the
  // switch is remembered.
  void autoUpdateOffAndFailures() {
    WriteFile(Path("main.txt"), "first");
    UpdateWith(QString(), Path("main.txt"));
    WriteFile(Path("main.txt"), "second");
    QTest::qWait(kFollowQuietMilliseconds * 3);
    QCOMPARE(View()->toPlainText(), QStringLiteral("first"));

    // Switched on, what changed meanwhile counts at once.
    AutoUpdate()->click();
    QTRY_COMPARE_WITH_TIMEOUT(View()->toPlainText(), QStringLiteral("second"), 5000);
    QVERIFY(QFile::remove(Path("main.txt")));
    QTRY_COMPARE_WITH_TIMEOUT(Line()->text(), Text("自動更新: メインファイルの読み込みに失敗しました。"),
                              5000);
    QVERIFY(modals_->messages.isEmpty());
    QVERIFY(Line()->isVisible());
    Click("warningsLine");
    QCOMPARE(ListedWarnings(), QStringList({Path("main.txt") + ": cannot read: No such file or directory"}));
    // The file back, the line goes.
    WriteFile(Path("main.txt"), "third");
    QTRY_COMPARE_WITH_TIMEOUT(View()->toPlainText(), QStringLiteral("third"), 5000);
    QVERIFY(!Line()->isVisible());
    AutoUpdate()->click();
    WriteFile(Path("main.txt"), "fourth");
    QTest::qWait(kFollowQuietMilliseconds * 3);
    QCOMPARE(View()->toPlainText(), QStringLiteral("third"));
  }

  // Saving a result that the template reads itself starts no run of its own.
  void savingIsNoEditToFollow() {
    WriteFile(Path("main.txt"), "[r datafile=\"\\result.txt\"]<[r]>");
    AutoUpdate()->click();
    UpdateWith(QString(), Path("main.txt"));
    QCOMPARE(View()->toPlainText(), QStringLiteral("<>"));
    modals_->saveAnswer = Path("result.txt");
    Click("save");
    QCOMPARE(ReadFile(Path("result.txt")), QByteArray("<>"));
    QTest::qWait(kFollowQuietMilliseconds * 4);
    QCOMPARE(View()->toPlainText(), QStringLiteral("<>"));
  }

  // F5 Update, Ctrl+S Save, Ctrl+O opens the main file, Ctrl+Shift+O the header; the buttons' mnemonics,
  // which leave their captions as they are.
  void keysRunTheCommands_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("command");
    QTest::newRow("F5") << int(Qt::Key_F5) << int(Qt::NoModifier) << "update";
    QTest::newRow("Ctrl+S") << int(Qt::Key_S) << int(Qt::ControlModifier) << "save";
    QTest::newRow("Ctrl+O") << int(Qt::Key_O) << int(Qt::ControlModifier) << "open main";
    QTest::newRow("Ctrl+Shift+O") << int(Qt::Key_O) << int(Qt::ControlModifier | Qt::ShiftModifier)
                                  << "open header";
    QTest::newRow("Alt+U") << int(Qt::Key_U) << int(Qt::AltModifier) << "update";
    QTest::newRow("Alt+S") << int(Qt::Key_S) << int(Qt::AltModifier) << "save";
    QTest::newRow("Alt+H") << int(Qt::Key_H) << int(Qt::AltModifier) << "open header";
    QTest::newRow("Alt+M") << int(Qt::Key_M) << int(Qt::AltModifier) << "open main";
    QTest::newRow("Alt+A") << int(Qt::Key_A) << int(Qt::AltModifier) << "auto-update";
  }
  void keysRunTheCommands() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, command);
    WriteFile(Path("main.txt"), "keys");
    WriteFile(Path("chosen.txt"), "x");
    MainBox()->setText(Path("main.txt"));
    modals_->openAnswer = Path("chosen.txt");
    // From the box the focus starts in.
    QCOMPARE(QApplication::focusWidget(), HeaderBox());
    QTest::keyClick(HeaderBox(), static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
    if (command == "update") QTRY_COMPARE(View()->toPlainText(), QStringLiteral("keys"));
    if (command == "save") QTRY_COMPARE(modals_->saveAsked, 1);
    if (command == "open main") QTRY_COMPARE(MainBox()->text(), Path("chosen.txt"));
    if (command == "open header") QTRY_COMPARE(HeaderBox()->text(), Path("chosen.txt"));
    if (command == "auto-update") QTRY_VERIFY(AutoUpdate()->isChecked());
    // Exactly that command.
    QCOMPARE(modals_->saveAsked, command == "save" ? 1 : 0);
    QCOMPARE(modals_->openNames.size(), command.startsWith(QStringLiteral("open")) ? 1 : 0);
    QCOMPARE(AutoUpdate()->isChecked(), command == "auto-update");
    for (const char* name : {"update", "save", "headerOpen", "mainOpen"}) {
      QVERIFY(!Child<QPushButton>(name)->text().contains(QLatin1Char('&')));
      QVERIFY(!Child<QPushButton>(name)->toolTip().isEmpty());
    }
  }

  // morvane [HEADER [MAIN]]: the files fill the boxes and an Update runs once the window is up.
  void startWithFiles_data() {
    QTest::addColumn<QStringList>("paths");  // in the test's folder, but "" and "long"
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("view");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("header and main") << QStringList({"header.txt", "main.txt"}) << "header.txt"
                                     << "main.txt"
                                     << "Hello, start" << QStringList();
    QTest::newRow("the header alone") << QStringList({"header.txt"}) << "header.txt"
                                      << ""
                                      << "" << QStringList();
    QTest::newRow("no header") << QStringList({"", "main.txt"}) << ""
                               << "main.txt"
                               << "Hello, " << QStringList();
    QTest::newRow("a missing main file")
        << QStringList({"header.txt", "typo.txt"}) << "header.txt"
        << "typo.txt"
        << "" << QStringList({Text("メインファイルの読み込みに失敗しました。")});
    QTest::newRow("a path too long") << QStringList({"header.txt", "long"}) << ""
                                     << ""
                                     << "-" << QStringList({Text("パスが長すぎます。")});
  }
  void startWithFiles() {
    QFETCH(QStringList, paths);
    QFETCH(QString, header);
    QFETCH(QString, main);
    QFETCH(QString, view);
    QFETCH(QStringList, messages);
    WriteFile(Path("header.txt"), "[who data=\"start\"]");
    WriteFile(Path("main.txt"), "Hello, [who]");
    auto inDir = [this](const QString& name) {
      if (name == "long") return QStringLiteral("/") + QString(300, 'l');
      return name.isEmpty() ? name : dir_->filePath(name);
    };
    QStringList given;
    for (const QString& path : paths) given << inDir(path);
    window_->StartWith(given);
    // Nothing happens before the window's loop runs.
    QCOMPARE(HeaderBox()->text(), QString());
    QTRY_VERIFY(!modals_->messages.isEmpty() || !Rows().isEmpty());
    QCOMPARE(HeaderBox()->text(), inDir(header));
    QCOMPARE(MainBox()->text(), inDir(main));
    QCOMPARE(modals_->messages, messages);
    if (view == "-") {
      QVERIFY(Rows().isEmpty());  // no run
    } else {
      QCOMPARE(View()->toPlainText(), view);
    }
  }

  void windowArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("command");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("error");
    const int open = int(WindowCommand::kOpen), usage = int(WindowCommand::kUsageError);
    QTest::newRow("none") << QStringList() << open << QStringList() << "";
    QTest::newRow("a header") << QStringList({"h.txt"}) << open << QStringList({"h.txt"}) << "";
    QTest::newRow("header and main") << QStringList({"h.txt", "m.txt"}) << open
                                     << QStringList({"h.txt", "m.txt"}) << "";
    QTest::newRow("an empty header") << QStringList({"", "m.txt"}) << open << QStringList({"", "m.txt"})
                                     << "";
    QTest::newRow("-- before a name with a dash")
        << QStringList({"--", "-h.txt", "m.txt"}) << open << QStringList({"-h.txt", "m.txt"}) << "";
    QTest::newRow("--help") << QStringList({"--help"}) << int(WindowCommand::kHelp) << QStringList() << "";
    QTest::newRow("-h") << QStringList({"-h"}) << int(WindowCommand::kHelp) << QStringList() << "";
    QTest::newRow("--version") << QStringList({"--version"}) << int(WindowCommand::kVersion) << QStringList()
                               << "";
    QTest::newRow("three files") << QStringList({"a", "b", "c"}) << usage << QStringList()
                                 << "too many arguments: the window takes HEADER and MAIN at most";
    QTest::newRow("an unknown option")
        << QStringList({"--bogus", "m.txt"}) << usage << QStringList() << "unknown option '--bogus'";
    QTest::newRow("Qt's own options")
        << QStringList({"-platform", "offscreen"}) << usage << QStringList() << "unknown option '-platform'";
    QTest::newRow("--help with a file")
        << QStringList({"--help", "m.txt"}) << usage << QStringList() << "--help stands alone";
    QTest::newRow("standard input")
        << QStringList({"-", "m.txt"}) << usage << QStringList()
        << "'-' is standard input, which the window does not read (see morvane-cli)";
  }
  void windowArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(int, command);
    QFETCH(QStringList, files);
    QFETCH(QString, error);
    std::vector<std::string> storage{"morvane"};
    for (const QString& argument : arguments) storage.push_back(argument.toStdString());
    std::vector<const char*> argv;
    for (const std::string& argument : storage) argv.push_back(argument.c_str());
    std::string reason;
    std::vector<std::string> parsed;
    QCOMPARE(int(ParseWindowArguments(static_cast<int>(argv.size()), argv.data(), &reason, &parsed)),
             command);
    QStringList got;
    for (const std::string& file : parsed) got << QString::fromStdString(file);
    if (command == int(WindowCommand::kOpen)) QCOMPARE(got, files);
    QCOMPARE(QString::fromStdString(reason), error);
  }

  // A paste or drop of text that would go beyond the box says so and leaves the box as it was; a keystroke
  // beyond it only stops.
  void pasteBeyondTheLimit_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("pasted");  // characters
    QTest::addColumn<bool>("refused");
    QTest::newRow("Ctrl+V over the limit") << "ctrl+v" << 300 << true;
    QTest::newRow("Shift+Insert over the limit") << "shift+insert" << 300 << true;
    QTest::newRow("the Paste command over the limit") << "paste" << 300 << true;
    QTest::newRow("a paste that fits") << "ctrl+v" << 100 << false;
    QTest::newRow("a paste that ends exactly at the limit") << "paste" << 248 << false;
    QTest::newRow("one character too many") << "paste" << 249 << true;
    QTest::newRow("a keystroke beyond the limit") << "type" << 0 << false;
  }
  void pasteBeyondTheLimit() {
    QFETCH(QString, how);
    QFETCH(int, pasted);
    QFETCH(bool, refused);
    QLineEdit* box = MainBox();
    const QString before = QString(10, 'b');
    box->setText(before);
    box->setFocus();
    box->end(false);
    QApplication::clipboard()->setText(QString(pasted, 'p'));
    if (how == "ctrl+v") QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    if (how == "shift+insert") QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
    if (how == "paste") box->paste();
    if (how == "type") {
      box->setText(QString(kBoxTextMax, 'b'));
      QTest::keyClick(box, Qt::Key_X);
    }
    QCoreApplication::processEvents();
    QCOMPARE(modals_->messages, refused ? QStringList({Text("パスが長すぎます。")}) : QStringList());
    if (how == "type") {
      QCOMPARE(box->text(), QString(kBoxTextMax, 'b'));
    } else {
      QCOMPARE(box->text(), refused ? before : before + QString(pasted, 'p'));
    }
  }

  // The Open dialog takes existing files only: a name that leads to none is refused by the dialog itself.
  void openDialogTakesExistingFilesOnly() {
    const std::unique_ptr<QFileDialog> dialog = MakeOpenDialog(window_.get(), {});
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
    QStringList seen;
    QTimer::singleShot(0, [this, &seen] {
      auto* open = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (open == nullptr) return;
      // The dialog's own warning comes up inside accept: answer it, then give up.
      QTimer::singleShot(0, [&seen, open] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
          seen << QStringLiteral("warned");
          box->button(QMessageBox::Ok)->click();
        }
        seen << (open->isVisible() ? QStringLiteral("still open") : QStringLiteral("closed"));
        open->reject();
      });
      open->setDirectory(dir_->path());
      open->selectFile(QStringLiteral("missing.txt"));
      static_cast<QDialog*>(open)->accept();
    });
    const QString chosen = PlatformDialogHooks().openFile(window_.get(), {dir_->path(), QString()});
    QCOMPARE(seen, QStringList({"warned", "still open"}));
    QCOMPARE(chosen, QString());
  }
};

}  // namespace morvane

QTEST_MAIN(morvane::DesktopWindowTest)
#include "desktop_window_test.moc"
