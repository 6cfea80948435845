// Drives the real window: typing paths, clicking, picking rows, saving, closing.
#include "tool/qt/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <QtTest>
#include <memory>
#include <string>

#include "tests/support/front_end_cases.h"
#include "tests/tool/qt/code_page_bytes.h"
#include "tests/tool/qt/window_test_support.h"
#include "text/text.h"
#include "tool/qt/qt_translations.h"
#include "tool/update_run.h"

namespace morvane {

namespace {

// Sizes of the layout test that depend on the window.
constexpr int kFirstSize = -1;
constexpr int kMinimumSize = -2;
constexpr int kBelowMinimum = -3;

// An expansion that outgrows the 1 MiB buffers: the run fails.
const std::string kOverflowing = "[a data=\"0123456789\"][a loop=\"200000\"]";

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<Modals> modals_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<QTemporaryDir> dir_;
  QByteArray home_;
  QString workingDirectory_;

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

  QString Path(const char* name) { return dir_->filePath(QString::fromUtf8(name)); }

  // Types text key by key, any character (QTest::keyClicks takes Latin-1 only).
  void Type(QLineEdit* box, const QString& text) {
    box->clear();
    for (QChar character : text) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(character));
      QApplication::sendEvent(box, &press);
      QApplication::sendEvent(box, &release);
    }
    QCOMPARE(box->text(), text);
  }
  void Click(const char* button) { QTest::mouseClick(Child<QPushButton>(button), Qt::LeftButton); }

  QStringList Rows() {
    QStringList rows;
    for (int i = 0; i < List()->count(); ++i) rows << List()->item(i)->text();
    return rows;
  }
  void PickRow(int index) {
    QListWidgetItem* item = List()->item(index);
    QVERIFY(item != nullptr);
    List()->scrollToItem(item);
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, List()->visualItemRect(item).center());
    QVERIFY(item->isSelected());
  }
  void PickRow(const QString& text) {
    int index = Rows().indexOf(text);
    QVERIFY2(index >= 0, qPrintable(text));
    PickRow(index);
  }

  // Header and main file with Japanese names and values, in code page 932.
  void WriteJapaneseFiles() {
    WriteFile(
        Path("header.txt"),
        Sjis(
            "[会社 data=\"株式会社モルベーン\"][空 data=\"\"][無値 readonly=\"1\"]ヘッダーの本文は残らない"));
    WriteFile(Path("main.txt"), Sjis("宛先: [会社]\r\n件名: [件名 data=\"月次報告\"][件名]\r\n"));
  }
  void UpdateJapanese() {
    WriteJapaneseFiles();
    Type(HeaderBox(), Path("header.txt"));
    Type(MainBox(), Path("main.txt"));
    Click("update");
  }

 private:
  // A home folder and a working directory of the test's own, inside its folder: home/ and work/.
  void UseTestHomeAndWorkingDirectory() {
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("home/notes")));
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("work/sub")));
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("other")));
    qputenv("HOME", Path("home").toUtf8());
    QVERIFY(QDir::setCurrent(Path("work")));
    QCOMPARE(QDir::homePath(), Path("home"));
  }

  // Sends a drag of `urls` over a box and drops it; returns whether the box took the drag.
  bool DragAndDrop(QLineEdit* box, const QList<QUrl>& urls, Qt::DropActions actions) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = box->rect().center();
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &enter);
    QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &move);
    if (enter.isAccepted() != move.isAccepted()) return false;
    if (enter.isAccepted() && enter.dropAction() != Qt::CopyAction) return false;
    QDropEvent drop(QPointF(at), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &drop);
    QCoreApplication::processEvents();
    // What the drag source hears: a copy made, or nothing taken.
    return enter.isAccepted() && drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
  }

  // Types each character as a key; unlike Type, keeps what the box refuses out of the comparison.
  void TypeKeys(QLineEdit* box, const QString& text) {
    for (QChar character : text) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(character));
      QApplication::sendEvent(box, &press);
      QApplication::sendEvent(box, &release);
    }
  }

  // Moves the focus with the keyboard, as Tab does, so that styles show their keyboard focus.
  void TabInto(QWidget* target) {
    target->setFocus(Qt::TabFocusReason);
    QVERIFY(target->hasFocus());
  }

 private slots:
  void initTestCase() {
    QVERIFY(SetActiveCodePage(kCodePage932));
    home_ = qgetenv("HOME");
    workingDirectory_ = QDir::currentPath();
  }

  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    modals_ = std::make_unique<Modals>();
    window_ = std::make_unique<MainWindow>(RecordingHooks(modals_.get()));
    QVERIFY(window_->Start());
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  void cleanup() {
    window_.reset();
    qputenv("HOME", home_);
    QDir::setCurrent(workingDirectory_);
    SetActiveCodePage(kCodePage932);
    dir_.reset();
  }

  void controlsAndCaptions_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("update") << "update" << Text("更新");
    QTest::newRow("save") << "save" << Text("ファイルに保存");
    QTest::newRow("headerLabel") << "headerLabel" << Text("ヘッダーファイルを指定します");
    QTest::newRow("headerOpen") << "headerOpen" << Text("開く");
    QTest::newRow("mainLabel") << "mainLabel" << Text("メインファイルを指定します");
    QTest::newRow("mainOpen") << "mainOpen" << Text("開く");
    QTest::newRow("tagListLabel") << "tagListLabel" << Text("タグ一覧");
  }
  void controlsAndCaptions() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QWidget* control = window_->findChild<QWidget*>(name);
    QVERIFY(control != nullptr);
    if (auto* button = qobject_cast<QPushButton*>(control)) QCOMPARE(button->text(), caption);
    if (auto* label = qobject_cast<QLabel*>(control)) QCOMPARE(label->text(), caption);
  }

  void titleOrderAndDefaultButton() {
    QCOMPARE(window_->windowTitle(), QStringLiteral("Morvane"));
    // Eleven controls in the template's order.
    QStringList names;
    for (QObject* child : window_->children()) {
      if (child->isWidgetType()) names << child->objectName();
    }
    // The focus mark is no control and takes no focus; the window's own controls follow the template's.
    QCOMPARE(names, QStringList({"update", "save", "headerLabel", "headerBox", "headerOpen", "mainLabel",
                                 "mainBox", "mainOpen", "tagListLabel", "tagList", "view", "focusMark",
                                 "autoUpdate", "warningsLine", "warningsList"}));
    // Tab walks the tab stops in the same order, Auto-update after Save, from the header box, which has the
    // focus at start; the warnings line and list only while they are shown.
    QStringList order;
    QCOMPARE(QApplication::focusWidget(), HeaderBox());
    for (int i = 0; i < 9; ++i) {
      order << QApplication::focusWidget()->objectName();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, QStringList({"headerBox", "headerOpen", "mainBox", "mainOpen", "tagList", "view",
                                 "update", "save", "autoUpdate"}));
    QCOMPARE(QApplication::focusWidget(), HeaderBox());
    QVERIFY(!Child<QCheckBox>("autoUpdate")->isChecked());
    QVERIFY(Child<QPushButton>("update")->isDefault());
    QVERIFY(View()->isReadOnly());
    QCOMPARE(View()->lineWrapMode(), QPlainTextEdit::NoWrap);
  }

  void layoutInDialogUnits() {
    // Dialog units from the dialog font: a quarter of the average letter width, an eighth of the height.
    QFontMetrics metrics(window_->font());
    int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    double unitX = ((letters / 26 + 1) / 2) / 4.0;
    double unitY = metrics.height() / 8.0;
    QRect box = HeaderBox()->geometry();
    QVERIFY(qAbs(box.x() - 6 * unitX) <= 1 && qAbs(box.y() - 36 * unitY) <= 1);
    QVERIFY(qAbs(box.width() - 234 * unitX) <= 1 && qAbs(box.height() - 12 * unitY) <= 1);
    QRect list = List()->geometry();
    QVERIFY(qAbs(list.x() - 276 * unitX) <= 1 && qAbs(list.height() - 60 * unitY) <= 1);
    QVERIFY(qAbs(window_->width() - 418 * unitX) <= 1 && qAbs(window_->height() - 263 * unitY) <= 1);

    // Every control stands where the template puts it, with its caption.
    for (const DialogControl& control : kDialogControls) {
      QWidget* widget = Child<QWidget>(control.name);
      const QRect place = widget->geometry();
      QVERIFY2(qAbs(place.x() - control.x * unitX) <= 1 && qAbs(place.y() - control.y * unitY) <= 1,
               control.name);
      QVERIFY2(qAbs(place.width() - control.width * unitX) <= 1 &&
                   qAbs(place.height() - control.height * unitY) <= 1,
               control.name);
      if (auto* button = qobject_cast<QPushButton*>(widget)) QCOMPARE(button->text(), Text(control.text));
      if (auto* label = qobject_cast<QLabel*>(widget)) QCOMPARE(label->text(), Text(control.text));
    }
  }

  // Resized, the window keeps its margins and its rows: the boxes widen with two thirds of the width, the
  // tag list with the rest and a third of the height, the view takes what remains; smaller than its first
  // size down to a minimum. The same in pixels of any scale (the suite runs again at QT_SCALE_FACTOR=2).
  void layoutFollowsTheWindowSize_data() {
    // A size in pixels, or one of these.
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("the desktop's 1200 x 850") << 1200 << 850;
    QTest::newRow("wider only") << 1100 << kFirstSize;
    QTest::newRow("a little larger") << 700 << 480;
    QTest::newRow("smaller than at first") << 520 << 330;
    QTest::newRow("the minimum") << kMinimumSize << kMinimumSize;
    QTest::newRow("below the minimum") << kBelowMinimum << kBelowMinimum;
  }
  void layoutFollowsTheWindowSize() {
    QFETCH(int, width);
    QFETCH(int, height);
    const QSize first = window_->size();
    const QSize minimum = window_->minimumSize();
    QVERIFY(minimum.width() < first.width() && minimum.height() < first.height());
    auto place = [this](const char* name) { return Child<QWidget>(name)->geometry(); };
    const QRect update = place("update"), save = place("save"), header = place("headerBox");
    const QRect headerOpen = place("headerOpen"), list = place("tagList"), view = place("view");
    const QRect label = place("tagListLabel"), autoUpdate = place("autoUpdate");

    auto pixels = [](int asked, int atFirst, int atMinimum) {
      return asked == kFirstSize      ? atFirst
             : asked == kMinimumSize  ? atMinimum
             : asked == kBelowMinimum ? atMinimum - 100
                                      : asked;
    };
    const QSize target(pixels(width, first.width(), minimum.width()),
                       pixels(height, first.height(), minimum.height()));
    window_->resize(target);
    const QSize now = window_->size();
    QCOMPARE(now, target.expandedTo(minimum));
    const int dx = now.width() - first.width();
    const int dy = now.height() - first.height();

    // The buttons above stay; the boxes widen, their Open buttons beside them.
    QCOMPARE(place("update"), update);
    QCOMPARE(place("save"), save);
    QCOMPARE(place("headerBox").topLeft(), header.topLeft());
    QCOMPARE(place("headerBox").width(), header.width() + dx * 2 / 3);
    QCOMPARE(place("mainBox").width(), place("headerBox").width());
    QCOMPARE(place("headerOpen").left() - place("headerBox").right(), headerOpen.left() - header.right());
    QCOMPARE(place("headerOpen").size(), headerOpen.size());
    // The list keeps its right margin and grows by a third of the height gained, never less than at first.
    QCOMPARE(now.width() - place("tagList").right(), first.width() - list.right());
    QCOMPARE(place("tagList").height(), list.height() + std::max(0, dy / 3));
    QCOMPARE(place("tagListLabel").left(), place("tagList").left());
    QCOMPARE(place("tagListLabel").height(), label.height());
    // The view keeps every margin and the gap under the list.
    QCOMPARE(place("view").left(), view.left());
    QCOMPARE(now.width() - place("view").right(), first.width() - view.right());
    QCOMPARE(now.height() - place("view").bottom(), first.height() - view.bottom());
    QCOMPARE(place("view").top() - place("tagList").bottom(), view.top() - list.bottom());
    QVERIFY(place("view").height() >= 3 * QFontMetrics(View()->font()).height());
    // Auto-update stays beside Save, clear of the tag list's caption.
    QCOMPARE(place("autoUpdate").topLeft(), autoUpdate.topLeft());
    QVERIFY(place("autoUpdate").right() < place("tagListLabel").left());
    QVERIFY(place("autoUpdate").width() >= Child<QCheckBox>("autoUpdate")->sizeHint().width());

    // No control covers another, and every one lies inside the window.
    QList<QWidget*> shown;
    for (const DialogControl& control : kDialogControls) shown << Child<QWidget>(control.name);
    shown << Child<QWidget>("autoUpdate");
    for (QWidget* a : shown) {
      QVERIFY2(window_->rect().contains(a->geometry()), qPrintable(a->objectName()));
      for (QWidget* b : shown) {
        if (a != b)
          QVERIFY2(!a->geometry().intersects(b->geometry()),
                   qPrintable(a->objectName() + " " + b->objectName()));
      }
    }
  }

  void viewFontIsFixedPitchWithJapaneseGlyphs() {
    QFont font = View()->font();
    QCOMPARE(font.pixelSize(), kViewFontPixels);
    // Fixed pitch the Japanese way: every half-width letter one cell, a kanji two.
    QFontInfo info(font);
    QFontMetrics metrics(font);
    QVERIFY2(metrics.inFontUcs4(U'表'), qPrintable(info.family()));
    int cell = metrics.horizontalAdvance(QLatin1Char('W'));
    QCOMPARE(metrics.horizontalAdvance(QLatin1Char('i')), cell);
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("表")), 2 * cell);
  }

  void emptyBoxesListTheBuiltins() {
    Click("update");
    QVERIFY(modals_->messages.isEmpty());
    QStringList rows = Rows();
    QCOMPARE(rows.size(), 1 + 27);
    QCOMPARE(rows.front(), Text("（出力結果）"));
    QVERIFY(rows.contains("_eof") && rows.contains("_crlf") && rows.contains("_osservicepack"));
    QStringList names = rows.mid(1);
    QCollator collator;
    for (int i = 1; i < names.size(); ++i) QVERIFY(collator.compare(names[i - 1], names[i]) <= 0);
    QCOMPARE(View()->toPlainText(), QString());
  }

  void japaneseResultAndTags() {
    UpdateJapanese();
    QVERIFY(modals_->messages.isEmpty());
    QStringList rows = Rows();
    QCOMPARE(rows.front(), Text("（出力結果）"));
    for (const char* name : {"会社", "空", "無値", "件名"}) QVERIFY2(rows.contains(Text(name)), name);
    QString result = Text("宛先: 株式会社モルベーン\n件名: 月次報告\n");
    QCOMPARE(View()->toPlainText(), result);

    PickRow(Text("会社"));
    QCOMPARE(View()->toPlainText(), Text("株式会社モルベーン"));
    PickRow(0);
    QCOMPARE(View()->toPlainText(), result);
    PickRow(Text("件名"));
    QCOMPARE(View()->toPlainText(), Text("月次報告"));
    PickRow(Text("空"));
    QCOMPARE(View()->toPlainText(), QString());
    PickRow(Text("件名"));
    PickRow(Text("無値"));  // a tag without a value
    QCOMPARE(View()->toPlainText(), QString());
    PickRow(Text("件名"));
    PickRow(QStringLiteral("_eof"));  // one NUL byte
    QCOMPARE(View()->toPlainText(), QString());
  }

  void resultRowStaysFirstWhateverSortsBefore() {
    WriteFile(Path("main.txt"), "[!first data=\"1\"][ data=\"empty name\"]x");
    Type(MainBox(), Path("main.txt"));
    Click("update");
    QCOMPARE(Rows().front(), Text("（出力結果）"));
    QVERIFY(Rows().contains(QStringLiteral("!first")));
    PickRow(0);
    QCOMPARE(View()->toPlainText(), QStringLiteral("x"));
  }

  void rowsKeepTheirBytes() {
    // Two names that both decode to U+FFFD: each row still finds its own tag.
    WriteFile(Path("main.txt"), "[\x85\x40 data=\"one\"][\x86\x40 data=\"two\"]");
    Type(MainBox(), Path("main.txt"));
    Click("update");
    QStringList rows = Rows();
    int first = rows.indexOf(QStringLiteral("\uFFFD"));
    int second = rows.lastIndexOf(QStringLiteral("\uFFFD"));
    QVERIFY(first > 0 && second > first);
    QStringList values;
    PickRow(first);
    values << View()->toPlainText();
    PickRow(second);
    values << View()->toPlainText();
    values.sort();
    QCOMPARE(values, QStringList({"one", "two"}));
  }

  void noSelectionLeavesTheView() {
    UpdateJapanese();
    PickRow(Text("会社"));
    List()->clearSelection();
    QCOMPARE(View()->toPlainText(), Text("株式会社モルベーン"));
  }

  void enterRunsUpdate_data() {
    QTest::addColumn<QString>("focus");
    QTest::newRow("main path box") << "mainBox";
    QTest::newRow("header path box") << "headerBox";
    QTest::newRow("tag list") << "tagList";
    QTest::newRow("text view") << "view";
  }
  void enterRunsUpdate() {
    QFETCH(QString, focus);
    WriteFile(Path("main.txt"), "enter");
    Type(MainBox(), Path("main.txt"));
    QWidget* target = window_->findChild<QWidget*>(focus);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);
    QCOMPARE(View()->toPlainText(), QStringLiteral("enter"));
    QCOMPARE(Rows().size(), 28);
  }

  void readFailuresAreReportedInOrder() {
    WriteFile(Path("main.txt"), "main");
    Type(HeaderBox(), Path("missing.txt"));
    Type(MainBox(), Path("main.txt"));
    Click("update");
    QCOMPARE(modals_->messages, QStringList({Text("ヘッダーファイルの読み込みに失敗しました。")}));
    QCOMPARE(View()->toPlainText(), QStringLiteral("main"));

    modals_->messages.clear();
    Type(MainBox(), Path("missing-too.txt"));
    Click("update");
    QCOMPARE(modals_->messages, QStringList({Text("ヘッダーファイルの読み込みに失敗しました。"),
                                             Text("メインファイルの読み込みに失敗しました。")}));
    QCOMPARE(Rows().size(), 28);
    QCOMPARE(View()->toPlainText(), QString());
  }

  void unconvertiblePathsAreReadFailures() {
    WriteFile(Path("main.txt"), "[x data=\"1\"]main");
    // "é" has no form in code page 932.
    Type(HeaderBox(), Path("é.txt"));
    Type(MainBox(), Path("main.txt"));
    Click("update");
    QCOMPARE(modals_->messages, QStringList({Text("ヘッダーファイルの読み込みに失敗しました。")}));
    QCOMPARE(View()->toPlainText(), QStringLiteral("main"));

    modals_->messages.clear();
    Type(HeaderBox(), Path("missing.txt"));
    Type(MainBox(), Path("é.txt"));
    Click("update");
    QCOMPARE(modals_->messages, QStringList({Text("ヘッダーファイルの読み込みに失敗しました。"),
                                             Text("メインファイルの読み込みに失敗しました。")}));
    QCOMPARE(Rows().size(), 28);
    QCOMPARE(View()->toPlainText(), QString());

    // A header whose expansion fails ends the run before the main file is named.
    modals_->messages.clear();
    WriteFile(Path("header.txt"), kOverflowing);
    Type(HeaderBox(), Path("header.txt"));
    Click("update");
    QCOMPARE(modals_->messages, QStringList({Text("メモリ不足またはオーバーフローが発生しました。")}));
  }

  void failedRunKeepsListAndView() {
    UpdateJapanese();
    QStringList rows = Rows();
    QString view = View()->toPlainText();
    WriteFile(Path("main.txt"), kOverflowing);
    Click("update");
    QCOMPARE(modals_->messages, QStringList({Text("メモリ不足またはオーバーフローが発生しました。")}));
    QCOMPARE(Rows(), rows);
    QCOMPARE(View()->toPlainText(), view);
    // The table and the buffer hold the failed run: the result is empty, the header's tags are back,
    // the main file's are gone.
    PickRow(Text("会社"));
    QCOMPARE(View()->toPlainText(), Text("株式会社モルベーン"));
    PickRow(Text("件名"));
    QCOMPARE(View()->toPlainText(), QString());
    PickRow(Text("会社"));
    PickRow(0);
    QCOMPARE(View()->toPlainText(), QString());
  }

  void saveRunsUpdateThenWrites() {
    UpdateJapanese();
    // The file changes after the last Update: Save updates again before it writes.
    WriteFile(Path("main.txt"), Sjis("保存: [会社]"));
    modals_->saveAnswer = Path("saved.txt");
    Click("save");
    QCOMPARE(modals_->saveAsked, 1);
    QVERIFY(modals_->messages.isEmpty());
    QCOMPARE(ReadFile(Path("saved.txt")), QByteArray::fromStdString(Sjis("保存: 株式会社モルベーン")));
    QCOMPARE(View()->toPlainText(), Text("保存: 株式会社モルベーン"));
  }

  // The scenarios every front end runs, each in a fresh window.
  void sharedCases_data() {
    QTest::addColumn<int>("index");
    const std::vector<testing::FrontEndCase> cases = testing::FrontEndCases();
    for (size_t i = 0; i < cases.size(); ++i) QTest::newRow(cases[i].label) << static_cast<int>(i);
  }
  void sharedCases() {
    QFETCH(int, index);
    const testing::FrontEndCase c = testing::FrontEndCases()[static_cast<size_t>(index)];
    auto name = [this](const testing::BoxFile& file, const char* fileName) {
      if (file.kind == testing::BoxFile::kEmpty) return QString();
      if (file.kind == testing::BoxFile::kText) WriteFile(Path(fileName), file.text);
      return Path(fileName);
    };
    Type(HeaderBox(), name(c.header, "header.txt"));
    Type(MainBox(), name(c.main, "main.txt"));
    Click("update");
    QStringList messages;
    for (const std::string& message : c.messages) messages << QString::fromStdString(message);
    QCOMPARE(modals_->messages, messages);
    QCOMPARE(View()->toPlainText(), Text(c.view));
    QCOMPARE(static_cast<size_t>(Rows().size()), c.rows);
    if (c.refreshed) QCOMPARE(Rows().front(), Text("（出力結果）"));
    for (const auto& [row, shown] : c.picks) {
      if (row.empty()) {
        PickRow(0);
      } else {
        PickRow(QString::fromStdString(row));
      }
      QCOMPARE(View()->toPlainText(), QString::fromStdString(shown));
    }
    WriteFile(Path("saved.txt"), "old content");
    modals_->messages.clear();
    modals_->saveAnswer = Path("saved.txt");
    Click("save");
    QCOMPARE(modals_->messages, messages);
    QCOMPARE(ReadFile(Path("saved.txt")), QByteArray(c.saved ? c.view : "old content"));
  }

  void cancelledSaveRunsNothing() {
    WriteFile(Path("main.txt"), "x");
    Type(MainBox(), Path("main.txt"));
    modals_->saveAnswer = QString();
    Click("save");
    QCOMPARE(modals_->saveAsked, 1);
    QCOMPARE(Rows().size(), 0);
    QCOMPARE(View()->toPlainText(), QString());
    QVERIFY(modals_->messages.isEmpty());
  }

  void failedRunSaveLeavesAnExistingFile() {
    WriteFile(Path("saved.txt"), "keep me");
    WriteFile(Path("main.txt"), kOverflowing);
    Type(MainBox(), Path("main.txt"));
    modals_->saveAnswer = Path("saved.txt");
    Click("save");
    QCOMPARE(modals_->messages, QStringList({Text("メモリ不足またはオーバーフローが発生しました。")}));
    QCOMPARE(ReadFile(Path("saved.txt")), QByteArray("keep me"));
  }

  void saveAfterAnUnreadFileKeepsTheTarget_data() {
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("message");
    QTest::newRow("header missing") << "typo.txt"
                                    << "main.txt"
                                    << "ヘッダーファイルの読み込みに失敗しました。";
    QTest::newRow("main missing") << "header.txt"
                                  << "typo.txt"
                                  << "メインファイルの読み込みに失敗しました。";
    // é has no form in code page 932, so no file can have that name.
    QTest::newRow("header not nameable") << "é.txt"
                                         << "main.txt"
                                         << "ヘッダーファイルの読み込みに失敗しました。";
    QTest::newRow("main not nameable") << "header.txt"
                                       << "é.txt"
                                       << "メインファイルの読み込みに失敗しました。";
  }
  void saveAfterAnUnreadFileKeepsTheTarget() {
    QFETCH(QString, header);
    QFETCH(QString, main);
    QFETCH(QString, message);
    WriteJapaneseFiles();
    WriteFile(Path("saved.txt"), "a good file");
    Type(HeaderBox(), dir_->filePath(header));
    Type(MainBox(), dir_->filePath(main));
    modals_->saveAnswer = Path("saved.txt");
    Click("save");
    QCOMPARE(modals_->messages, QStringList({message}));
    QCOMPARE(ReadFile(Path("saved.txt")), QByteArray("a good file"));
    // The run completed all the same: the list shows it.
    QVERIFY(Rows().size() > 1);
  }

  void updateShowsTheListFromItsTop() {
    UpdateJapanese();
    window_->show();
    PickRow(List()->count() - 1);
    QVERIFY(List()->verticalScrollBar()->value() > 0);
    // Every refresh, also the one Save runs, starts the list at its top with the result row in view.
    Click("update");
    QCOMPARE(List()->verticalScrollBar()->value(), 0);
    PickRow(List()->count() - 1);
    modals_->saveAnswer = Path("saved.txt");
    Click("save");
    QCOMPARE(List()->verticalScrollBar()->value(), 0);
    QVERIFY(!List()->visualItemRect(List()->item(0)).isEmpty());
  }

  void platformDialogsSpeakTheLocalesLanguage() {
    auto buttonTexts = [this] {
      QStringList texts;
      const std::unique_ptr<QFileDialog> save = MakeSaveDialog(window_.get(), {});
      for (QAbstractButton* button : save->findChildren<QAbstractButton*>()) texts << button->text();
      QMessageBox box(QMessageBox::Warning, QString(), QString(), QMessageBox::Ok | QMessageBox::Cancel);
      for (QAbstractButton* button : box.buttons()) texts << button->text();
      return texts;
    };
    QVERIFY(buttonTexts().contains(QStringLiteral("Cancel")));
    QCOMPARE(InstallQtTranslations(qApp, QLocale(QLocale::C)), 0);
    QCOMPARE(InstallQtTranslations(qApp, QLocale(QLocale::Japanese, QLocale::Japan)), 1);
    const QStringList japanese = buttonTexts();
    qDeleteAll(qApp->findChildren<QTranslator*>());
    QVERIFY2(japanese.contains(Text("キャンセル")), qPrintable(japanese.join(QLatin1Char('|'))));
    QVERIFY(!japanese.contains(QStringLiteral("Cancel")));
    QVERIFY(buttonTexts().contains(QStringLiteral("Cancel")));
  }

  void saveFailuresAreReported_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("missing directory") << "no-such-dir/saved.txt";
    QTest::newRow("no form in the code page") << "é.txt";
  }
  void saveFailuresAreReported() {
    QFETCH(QString, name);
    modals_->saveAnswer = dir_->filePath(name);
    Click("save");
    QCOMPARE(modals_->messages, QStringList({Text("テキストファイルの書き込みに失敗しました。")}));
    QVERIFY(!QFile::exists(dir_->filePath(name)));
    // The run before the write completed and refreshed the window.
    QCOMPARE(Rows().size(), 28);
  }

  void openNamesTheFileOnly() {
    Type(HeaderBox(), QStringLiteral("typed.txt"));
    Type(MainBox(), QStringLiteral("main.txt"));
    modals_->openAnswer = Path("chosen.txt");
    Click("headerOpen");
    QCOMPARE(modals_->openNames, QStringList({"typed.txt"}));
    QCOMPARE(HeaderBox()->text(), Path("chosen.txt"));
    QCOMPARE(MainBox()->text(), QStringLiteral("main.txt"));
    QCOMPARE(Rows().size(), 0);

    modals_->openAnswer = QString();
    Click("mainOpen");
    QCOMPARE(modals_->openNames, QStringList({"typed.txt", "main.txt"}));
    QCOMPARE(MainBox()->text(), QStringLiteral("main.txt"));
    QVERIFY(modals_->messages.isEmpty());
  }

  void platformFileDialogs() {
    auto save = MakeSaveDialog(window_.get(), {dir_->path(), QStringLiteral("last.txt")});
    QCOMPARE(save->acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(save->defaultSuffix(), QStringLiteral("txt"));
    QVERIFY(!save->testOption(QFileDialog::DontConfirmOverwrite));
    save->setOption(QFileDialog::DontUseNativeDialog);
    auto* saveTypes = save->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(saveTypes != nullptr);
    QCOMPARE(saveTypes->count(), 1);
    QCOMPARE(saveTypes->itemText(0), Text("テキストファイル (*.txt)"));
    QCOMPARE(save->directory().absolutePath(), dir_->path());
    QCOMPARE(save->selectedFiles(), QStringList({Path("last.txt")}));

    auto open = MakeOpenDialog(window_.get(), {dir_->path(), QStringLiteral("initial.txt")});
    open->setOption(QFileDialog::DontUseNativeDialog);
    QCOMPARE(open->acceptMode(), QFileDialog::AcceptOpen);
    QCOMPARE(open->defaultSuffix(), QString());
    auto* types = open->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types != nullptr);
    QStringList labels;
    for (int i = 0; i < types->count(); ++i) labels << types->itemText(i);
    QCOMPARE(labels, QStringList({Text("テキストファイル (*.txt)"), Text("すべてのファイル (*.*)")}));
    QCOMPARE(open->selectedFiles(), QStringList({Path("initial.txt")}));
  }

  // The platform's own modal calls, answered from inside their loops.
  void platformMessageBox() {
    QString seen;
    QTimer::singleShot(0, [&seen] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      seen = box->windowTitle() + "|" + box->text() + "|" + QString::number(box->icon()) + "|" +
             QString::number(box->standardButtons());
      box->button(QMessageBox::Ok)->click();
    });
    PlatformDialogHooks().showMessage(window_.get(), Text("テキストファイルの書き込みに失敗しました。"),
                                      QString());
    QCOMPARE(seen, Text("エラー|テキストファイルの書き込みに失敗しました。|") +
                       QString::number(QMessageBox::Warning) + "|" + QString::number(QMessageBox::Ok));
  }

  void platformSaveDialogAddsTheExtension() {
    QString folder = dir_->path();
    QTimer::singleShot(0, [folder] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      dialog->setDirectory(folder);
      dialog->selectFile(QStringLiteral("report"));
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, as its button does
    });
    QString chosen = PlatformDialogHooks().saveFile(window_.get(), {});
    QCOMPARE(chosen, QDir(folder).filePath(QStringLiteral("report.txt")));
  }

  void platformOpenDialogStartsFromTheBox() {
    WriteFile(Path("header.txt"), "x");
    QString initial;
    QTimer::singleShot(0, [&initial] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      initial = dialog->selectedFiles().value(0);
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, as its button does
    });
    QString chosen =
        PlatformDialogHooks().openFile(window_.get(), {dir_->path(), QStringLiteral("header.txt")});
    QCOMPARE(initial, Path("header.txt"));
    QCOMPARE(chosen, Path("header.txt"));
  }

  void wholeMebibyteResult() {
    std::string text;
    for (int i = 0; text.size() < kTextBufferSize - 1; ++i) text += "line " + std::to_string(i) + "\n";
    text.resize(kTextBufferSize - 1);
    WriteFile(Path("main.txt"), text);
    Type(MainBox(), Path("main.txt"));
    Click("update");
    QVERIFY(modals_->messages.isEmpty());
    QCOMPARE(View()->toPlainText().size(), static_cast<qsizetype>(kTextBufferSize - 1));
    QCOMPARE(View()->toPlainText().toStdString(), text);
    PickRow(QStringLiteral("_eof"));
    PickRow(0);
    QCOMPARE(View()->toPlainText().size(), static_cast<qsizetype>(kTextBufferSize - 1));

    WriteFile(Path("main.txt"), text + "!");
    Click("update");
    QCOMPARE(modals_->messages, QStringList({Text("メインファイルの読み込みに失敗しました。")}));
    QCOMPARE(View()->toPlainText(), QString());
  }

  void escapeAndCloseBoxEndTheWindow_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("escape") << "mainBox" << int(Qt::Key_Escape) << int(Qt::NoModifier);
    QTest::newRow("close box") << "" << 0 << 0;
    QTest::newRow("ctrl+q in a path box") << "mainBox" << int(Qt::Key_Q) << int(Qt::ControlModifier);
    QTest::newRow("ctrl+q in the list") << "tagList" << int(Qt::Key_Q) << int(Qt::ControlModifier);
    QTest::newRow("ctrl+q in the view") << "view" << int(Qt::Key_Q) << int(Qt::ControlModifier);
    QTest::newRow("ctrl+q on a button") << "update" << int(Qt::Key_Q) << int(Qt::ControlModifier);
  }
  void escapeAndCloseBoxEndTheWindow() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    Click("update");
    QVERIFY(OutputBuffer != nullptr);
    if (focus.isEmpty()) {
      QVERIFY(window_->close());
    } else {
      QWidget* target = window_->findChild<QWidget*>(focus);
      TabInto(target);
      QTest::keyClick(target, static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
    }
    QVERIFY(!window_->isVisible());
    QCOMPARE(window_->result(), 0);
    QVERIFY(OutputBuffer == nullptr);
  }

  // In utf-8 fields count columns, so a table of Japanese names lines up in the view's fixed-pitch font.
  void utf8FieldsLineUpInTheView() {
    QVERIFY(SetActiveCodePage(kCodePageUtf8));
    WriteFile(Path("header.txt"),
              "[部署 data=\"開発部\"][氏名 data=\"山田 太郎\"][id data=\"7\"][en data=\"Sales team\"]");
    WriteFile(
        Path("main.txt"),
        "|[部署 min=\"10\"]|[氏名 max=\"7\"]|[id min=\"3\" align=\"right\" padding=\"0\"]|\n"
        "|[en min=\"10\" align=\"right\" padding=\".\"]|[en max=\"7\" align=\"center\"]|[氏名 max=\"3\"]|");
    Type(HeaderBox(), Path("header.txt"));
    Type(MainBox(), Path("main.txt"));
    Click("update");
    SetActiveCodePage(kCodePage932);
    QVERIFY(modals_->messages.isEmpty());
    QStringList lines = View()->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines, QStringList({Text("|開発部    |山田 太|007|"), Text("|Sales team|ales te|山 |")}));
    QFontMetrics metrics(View()->font());
    QCOMPARE(metrics.horizontalAdvance(lines[0]), metrics.horizontalAdvance(lines[1]));
    QVERIFY(Rows().contains(Text("部署")) && Rows().contains(Text("氏名")));
  }

  // `~` at the start of a box is the home folder; the box keeps what was typed.
  void homeFolderInTheBoxes_data() {
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("view");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("main file at home") << ""
                                       << "~/notes/main.txt"
                                       << "home " << QStringList();
    QTest::newRow("both at home") << "~/notes/header.txt"
                                  << "~/notes/main.txt"
                                  << "home notes" << QStringList();
    QTest::newRow("a tilde further on is a name") << ""
                                                  << "./~/notes/main.txt"
                                                  << "folder named ~" << QStringList();
    QTest::newRow("another user's tilde is a name") << ""
                                                    << "~other/main.txt"
                                                    << "folder named ~other" << QStringList();
    QTest::newRow("the home folder is no file")
        << "~"
        << "~/notes/main.txt"
        << "home " << QStringList({Text("ヘッダーファイルの読み込みに失敗しました。")});
  }
  void homeFolderInTheBoxes() {
    QFETCH(QString, header);
    QFETCH(QString, main);
    QFETCH(QString, view);
    QFETCH(QStringList, messages);
    UseTestHomeAndWorkingDirectory();
    WriteFile(Path("home/notes/header.txt"), "[who data=\"notes\"]");
    WriteFile(Path("home/notes/main.txt"), "home [who]");
    QVERIFY(QDir(Path("work")).mkpath(QStringLiteral("~/notes")));
    QVERIFY(QDir(Path("work")).mkpath(QStringLiteral("~other")));
    WriteFile(Path("work/~/notes/main.txt"), "folder named ~");
    WriteFile(Path("work/~other/main.txt"), "folder named ~other");
    Type(HeaderBox(), header);
    Type(MainBox(), main);
    Click("update");
    QCOMPARE(modals_->messages, messages);
    QCOMPARE(View()->toPlainText(), view);
    QCOMPARE(HeaderBox()->text(), header);
    QCOMPARE(MainBox()->text(), main);
  }

  // An Open dialog starts where the box's path lies, else where the last file dialog ended.
  void openDialogStartFolders_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("choseBefore");
    QTest::addColumn<QString>("folder");  // inside the test's folder; "-" for none
    QTest::addColumn<QString>("name");
    QTest::newRow("empty box, first dialog") << "" << false << "-"
                                             << "";
    QTest::newRow("empty box, after a choice") << "" << true << "other"
                                               << "";
    QTest::newRow("beside the box's file") << "~/notes/main.txt" << true << "home/notes"
                                           << "main.txt";
    QTest::newRow("a file yet to be made") << "~/notes/new.txt" << false << "home/notes"
                                           << "new.txt";
    QTest::newRow("the home folder itself") << "~" << true << "home"
                                            << "";
    QTest::newRow("a folder in the box") << "~/notes/" << true << "home/notes"
                                         << "";
    QTest::newRow("relative to the working directory") << "sub/main.txt" << true << "work/sub"
                                                       << "main.txt";
    QTest::newRow("a bare name") << "main.txt" << true << "work"
                                 << "main.txt";
    QTest::newRow("a folder that does not exist") << "/no/such/folder/main.txt" << true << "other"
                                                  << "main.txt";
  }
  void openDialogStartFolders() {
    QFETCH(QString, typed);
    QFETCH(bool, choseBefore);
    QFETCH(QString, folder);
    QFETCH(QString, name);
    UseTestHomeAndWorkingDirectory();
    WriteFile(Path("home/notes/main.txt"), "x");
    if (choseBefore) {
      // The header's dialog ends in other/: the last folder used.
      modals_->openAnswer = Path("other/header.txt");
      Click("headerOpen");
      QCOMPARE(HeaderBox()->text(), Path("other/header.txt"));
    }
    Type(MainBox(), typed);
    modals_->openAnswer = QString();
    Click("mainOpen");
    QCOMPARE(modals_->openFolders.last(), folder == "-" ? QString() : Path(folder.toUtf8().constData()));
    QCOMPARE(modals_->openNames.last(), name);
    QCOMPARE(MainBox()->text(), typed);
  }

  // The Save dialog starts beside the main file, else where the last dialog ended, with the last name saved.
  void saveDialogStartsBesideTheMainFile() {
    UseTestHomeAndWorkingDirectory();
    WriteFile(Path("home/notes/main.txt"), "saved");
    Type(MainBox(), QStringLiteral("~/notes/main.txt"));
    modals_->saveAnswer = Path("other/out.txt");
    Click("save");
    QCOMPARE(ReadFile(Path("other/out.txt")), QByteArray("saved"));
    Click("save");
    Type(MainBox(), QString());
    modals_->saveAnswer = QString();
    Click("save");  // cancelled: remembers nothing
    Click("save");
    QCOMPARE(modals_->saveFolders,
             QStringList({Path("home/notes"), Path("home/notes"), Path("other"), Path("other")}));
    QCOMPARE(modals_->saveNames, QStringList({"", "out.txt", "out.txt", "out.txt"}));
    // The Open dialogs share the last folder.
    Click("mainOpen");
    QCOMPARE(modals_->openFolders, QStringList({Path("other")}));
  }

  // After an Update the result row is current, so the arrow keys go on from it.
  void keysMoveOnFromTheResultRow() {
    UpdateJapanese();
    const QString result = View()->toPlainText();
    QCOMPARE(List()->currentRow(), 0);
    QVERIFY(List()->item(0)->isSelected());
    TabInto(List());
    QTest::keyClick(List(), Qt::Key_Down);
    QCOMPARE(List()->currentRow(), 1);
    QVERIFY(List()->item(1)->isSelected());
    const QString second = View()->toPlainText();
    QTest::keyClick(List(), Qt::Key_Up);
    QCOMPARE(List()->currentRow(), 0);
    QCOMPARE(View()->toPlainText(), result);
    // The key showed what picking the second row shows.
    PickRow(1);
    QCOMPARE(View()->toPlainText(), second);
    QVERIFY(second != result);

    // Every refresh starts there again, also the one Save runs; a failed run leaves the list as it was.
    PickRow(List()->count() - 1);
    Click("update");
    QCOMPARE(List()->currentRow(), 0);
    PickRow(Text("会社"));
    modals_->saveAnswer = Path("saved.txt");
    Click("save");
    QCOMPARE(List()->currentRow(), 0);
    PickRow(Text("会社"));
    WriteFile(Path("main.txt"), kOverflowing);
    Click("update");
    QCOMPARE(List()->currentItem()->text(), Text("会社"));
  }

  // A box holds at most 258 bytes in the active code page: typing stops there, never inside a character.
  void typingStopsAtTheBoxLimit_data() {
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("held");
    const QString a = QStringLiteral("あ");
    const QString kana = QStringLiteral("ｱ");
    QTest::newRow("932, two-byte characters") << kCodePage932 << a.repeated(130) << a.repeated(129);
    QTest::newRow("932, no room for a second byte") << kCodePage932 << "x" + a.repeated(129) + "yz"
                                                    << "x" + a.repeated(128) + "y";
    QTest::newRow("932, half-width kana are one byte")
        << kCodePage932 << kana.repeated(260) << kana.repeated(258);
    QTest::newRow("932, single bytes") << kCodePage932 << QString(259, 'p') << QString(258, 'p');
    QTest::newRow("utf-8, three-byte characters") << kCodePageUtf8 << a.repeated(87) << a.repeated(86);
    QTest::newRow("utf-8, no room for the last bytes") << kCodePageUtf8 << "x" + a.repeated(86) + "yz"
                                                       << "x" + a.repeated(85) + "yz";
    QTest::newRow("utf-8, half-width kana are three bytes")
        << kCodePageUtf8 << kana.repeated(87) << kana.repeated(86);
  }
  void typingStopsAtTheBoxLimit() {
    QFETCH(int, codePage);
    QFETCH(QString, typed);
    QFETCH(QString, held);
    QVERIFY(SetActiveCodePage(codePage));
    for (QLineEdit* box : {HeaderBox(), MainBox()}) {
      box->clear();
      TypeKeys(box, typed);
      QCOMPARE(box->text(), held);
    }
  }

  // A path chosen in the Open dialog that does not fit the box is refused with the reason, not cut.
  void openRefusesAPathTooLongForTheBox_data() {
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("fits");
    const QString a = QStringLiteral("あ");
    QTest::newRow("932, 258 bytes") << kCodePage932 << "/" + a.repeated(128) + "x" << true;
    QTest::newRow("932, 259 bytes") << kCodePage932 << "/" + a.repeated(128) + "xy" << false;
    QTest::newRow("utf-8, 258 bytes") << kCodePageUtf8 << "/" + a.repeated(85) + "xx" << true;
    QTest::newRow("utf-8, 259 bytes") << kCodePageUtf8 << "/" + a.repeated(86) << false;
  }
  void openRefusesAPathTooLongForTheBox() {
    QFETCH(int, codePage);
    QFETCH(QString, chosen);
    QFETCH(bool, fits);
    QVERIFY(SetActiveCodePage(codePage));
    Type(HeaderBox(), QStringLiteral("before.txt"));
    modals_->openAnswer = chosen;
    Click("headerOpen");
    QCOMPARE(HeaderBox()->text(), fits ? chosen : QStringLiteral("before.txt"));
    QCOMPARE(modals_->messages, fits ? QStringList() : QStringList({Text("パスが長すぎます。")}));
  }

  // Files dragged from a file manager: one fills the box it is dropped on, two fill header, then main.
  void droppedFilesFillTheBoxes_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("urls");  // "long" stands for a path too long for a box
    QTest::addColumn<int>("actions");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("main");
    QTest::addColumn<bool>("tooLong");
    const int copyOrMove = int(Qt::CopyAction | Qt::MoveAction);
    QTest::newRow("one file on the header box")
        << "headerBox" << QStringList({"a.txt"}) << copyOrMove << true << "a.txt"
        << "typed main" << false;
    QTest::newRow("one file on the main box")
        << "mainBox" << QStringList({"a.txt"}) << copyOrMove << true << "typed header"
        << "a.txt" << false;
    QTest::newRow("two files on the main box")
        << "mainBox" << QStringList({"a.txt", "b.txt"}) << copyOrMove << true << "a.txt"
        << "b.txt" << false;
    QTest::newRow("two files on the header box")
        << "headerBox" << QStringList({"b.txt", "a.txt"}) << copyOrMove << true << "b.txt"
        << "a.txt" << false;
    QTest::newRow("a Japanese name") << "mainBox" << QStringList({"メイン.txt"}) << copyOrMove << true
                                     << "typed header"
                                     << "メイン.txt" << false;
    QTest::newRow("three files are refused")
        << "mainBox" << QStringList({"a.txt", "b.txt", "c.txt"}) << copyOrMove << false << "typed header"
        << "typed main" << false;
    QTest::newRow("a web address is refused")
        << "mainBox" << QStringList({"https://example.org/a.txt"}) << copyOrMove << false << "typed header"
        << "typed main" << false;
    QTest::newRow("a move only is refused")
        << "mainBox" << QStringList({"a.txt"}) << int(Qt::MoveAction) << false << "typed header"
        << "typed main" << false;
    QTest::newRow("a folder is refused")
        << "mainBox" << QStringList({"folder"}) << copyOrMove << false << "typed header"
        << "typed main" << false;
    QTest::newRow("a folder beside a file is refused")
        << "mainBox" << QStringList({"a.txt", "folder"}) << copyOrMove << false << "typed header"
        << "typed main" << false;
    QTest::newRow("a file that does not exist is refused")
        << "headerBox" << QStringList({"missing.txt"}) << copyOrMove << false << "typed header"
        << "typed main" << false;
    // Told why, and refused to the drag source too: the file manager must not take it for a copy made.
    QTest::newRow("a path too long is refused and changes neither box")
        << "mainBox" << QStringList({"a.txt", "long"}) << copyOrMove << false << "typed header"
        << "typed main" << true;
  }
  void droppedFilesFillTheBoxes() {
    QFETCH(QString, target);
    QFETCH(QStringList, urls);
    QFETCH(int, actions);
    QFETCH(bool, taken);
    QFETCH(QString, header);
    QFETCH(QString, main);
    QFETCH(bool, tooLong);
    Type(HeaderBox(), QStringLiteral("typed header"));
    Type(MainBox(), QStringLiteral("typed main"));
    // A path of more than 258 bytes, in folders of names the file system takes.
    const QString longName = QString(150, 'n') + QLatin1Char('/') + QString(150, 'n');
    for (const QString& file : {QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt"),
                                QStringLiteral("メイン.txt"), longName}) {
      QVERIFY(QDir(dir_->path()).mkpath(QFileInfo(dir_->filePath(file)).path()));
      WriteFile(dir_->filePath(file), "x");
    }
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("folder")));
    QList<QUrl> dragged;
    for (const QString& url : urls) {
      if (url.startsWith(QStringLiteral("https:"))) {
        dragged << QUrl(url);
      } else {
        dragged << QUrl::fromLocalFile(dir_->filePath(url == "long" ? longName : url));
      }
    }
    auto expected = [this](const QString& box) {
      return box.startsWith(QStringLiteral("typed")) ? box : dir_->filePath(box);
    };
    QCOMPARE(DragAndDrop(Child<QLineEdit>(target.toLatin1().constData()), dragged, Qt::DropActions(actions)),
             taken);
    QCOMPARE(HeaderBox()->text(), expected(header));
    QCOMPARE(MainBox()->text(), expected(main));
    QCOMPARE(modals_->messages, tooLong ? QStringList({Text("パスが長すぎます。")}) : QStringList());
    QCOMPARE(Rows().size(), 0);  // a drop only names the files
  }

  // The list and the view, whose frames show no focus of their own, get a mark in the highlight colour.
  void focusMarkFollowsTheFocus_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("marked");
    QTest::newRow("tag list") << "tagList" << true;
    QTest::newRow("text view") << "view" << true;
    QTest::newRow("path box") << "mainBox" << false;
    QTest::newRow("button") << "save" << false;
  }
  void focusMarkFollowsTheFocus() {
    QFETCH(QString, focus);
    QFETCH(bool, marked);
    UpdateJapanese();
    auto* mark = Child<QFrame>("focusMark");
    QWidget* target = Child<QWidget>(focus.toLatin1().constData());
    const QColor highlight = window_->palette().color(QPalette::Active, QPalette::Highlight);
    for (int grow : {0, 60}) {
      window_->resize(window_->size() + QSize(grow, grow));
      TabInto(target);
      QCOMPARE(mark->isVisible(), marked);
      const QImage picture = window_->grab().toImage();
      // Just outside each edge of the list and the view: the mark's colour there only for the focused one.
      for (QWidget* framed : {static_cast<QWidget*>(List()), static_cast<QWidget*>(View())}) {
        const QRect r = framed->geometry();
        const QPoint outside[] = {{r.left() - 1, r.center().y()},
                                  {r.right() + 1, r.center().y()},
                                  {r.center().x(), r.top() - 1},
                                  {r.center().x(), r.bottom() + 1}};
        for (const QPoint& at : outside) {
          QVERIFY2((picture.pixelColor(at) == highlight) == (marked && framed == target),
                   qPrintable(framed->objectName() + " " + QString::number(at.x()) + "," +
                              QString::number(at.y())));
        }
      }
    }
    // Leaving the list or the view takes the mark away.
    TabInto(HeaderBox());
    QVERIFY(!mark->isVisible());
  }

  // Not a check of pixels: a picture of the window for people to look at, the list focused after an Update.
  void screenshot() {
    UpdateJapanese();
    TabInto(List());
    QPixmap picture = window_->grab();
    QVERIFY(!picture.isNull());
    QVERIFY(picture.save(QStringLiteral(MORVANE_SCREENSHOT)));
  }
};

}  // namespace morvane

QTEST_MAIN(morvane::MainWindowTest)
#include "main_window_test.moc"
