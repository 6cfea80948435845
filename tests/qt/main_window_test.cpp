// Drives the real window: typing paths, clicking, picking rows, saving, closing.
#include "tool/qt/main_window.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <string>

#include "engine/text.h"
#include "tests/qt/code_page_bytes.h"
#include "tool/update_run.h"

namespace morvane {

namespace {

// What the replaced modal calls saw and answer.
struct Modals {
  QStringList messages;
  QStringList openInitials;
  QString openAnswer;
  QString saveAnswer;
  int saveAsked = 0;
};

DialogHooks RecordingHooks(Modals* modals) {
  DialogHooks hooks;
  hooks.openFile = [modals](QWidget*, const QString& initial) {
    modals->openInitials << initial;
    return modals->openAnswer;
  };
  hooks.saveFile = [modals](QWidget*) {
    ++modals->saveAsked;
    return modals->saveAnswer;
  };
  hooks.showMessage = [modals](QWidget*, const QString& text) { modals->messages << text; };
  return hooks;
}

QString Text(const char* utf8) {
  return QString::fromUtf8(utf8);
}

void WriteFile(const QString& path, const std::string& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
  return file.readAll();
}

// An expansion that outgrows the 1 MiB buffers: the run fails.
const std::string kOverflowing = "[a data=\"0123456789\"][a loop=\"200000\"]";

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<Modals> modals_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<QTemporaryDir> dir_;

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

 private slots:
  void initTestCase() { QVERIFY(SetActiveCodePage(kCodePage932)); }

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
    QCOMPARE(names, QStringList({"update", "save", "headerLabel", "headerBox", "headerOpen", "mainLabel",
                                 "mainBox", "mainOpen", "tagListLabel", "tagList", "view"}));
    // Tab walks the tab stops in the same order, from the Update button, which has the focus at start.
    QStringList order;
    QWidget* focus = QApplication::focusWidget();
    QCOMPARE(focus, Child<QPushButton>("update"));
    for (int i = 0; i < 8; ++i) {
      order << QApplication::focusWidget()->objectName();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, QStringList({"update", "save", "headerBox", "headerOpen", "mainBox", "mainOpen",
                                 "tagList", "view"}));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("update"));
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

    // Extra room goes to the text view alone.
    QRect view = View()->geometry();
    window_->resize(window_->width() + 200, window_->height() + 120);
    QCOMPARE(View()->geometry(), view.adjusted(0, 0, 200, 120));
    QCOMPARE(List()->geometry(), list);
    QCOMPARE(HeaderBox()->geometry(), box);
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

  void saveWithEmptyBoxesWritesAnEmptyFile() {
    WriteFile(Path("saved.txt"), "old");
    modals_->saveAnswer = Path("saved.txt");
    Click("save");
    QVERIFY(modals_->messages.isEmpty());
    QCOMPARE(ReadFile(Path("saved.txt")), QByteArray());
    QCOMPARE(Rows().size(), 28);
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
    QCOMPARE(modals_->openInitials, QStringList({"typed.txt"}));
    QCOMPARE(HeaderBox()->text(), Path("chosen.txt"));
    QCOMPARE(MainBox()->text(), QStringLiteral("main.txt"));
    QCOMPARE(Rows().size(), 0);

    modals_->openAnswer = QString();
    Click("mainOpen");
    QCOMPARE(modals_->openInitials, QStringList({"typed.txt", "main.txt"}));
    QCOMPARE(MainBox()->text(), QStringLiteral("main.txt"));
    QVERIFY(modals_->messages.isEmpty());
  }

  void platformFileDialogs() {
    auto save = MakeSaveDialog(window_.get());
    QCOMPARE(save->acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(save->defaultSuffix(), QStringLiteral("txt"));
    QVERIFY(!save->testOption(QFileDialog::DontConfirmOverwrite));
    save->setOption(QFileDialog::DontUseNativeDialog);
    auto* saveTypes = save->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(saveTypes != nullptr);
    QCOMPARE(saveTypes->count(), 1);
    QCOMPARE(saveTypes->itemText(0), Text("テキストファイル (*.txt)"));

    auto open = MakeOpenDialog(window_.get(), Path("initial.txt"));
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
    PlatformDialogHooks().showMessage(window_.get(), Text("テキストファイルの書き込みに失敗しました。"));
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
    QString chosen = PlatformDialogHooks().saveFile(window_.get());
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
    QString chosen = PlatformDialogHooks().openFile(window_.get(), Path("header.txt"));
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
    QTest::addColumn<bool>("escape");
    QTest::newRow("escape") << true;
    QTest::newRow("close box") << false;
  }
  void escapeAndCloseBoxEndTheWindow() {
    QFETCH(bool, escape);
    Click("update");
    QVERIFY(OutputBuffer != nullptr);
    if (escape) {
      QTest::keyClick(MainBox(), Qt::Key_Escape);
    } else {
      QVERIFY(window_->close());
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

  // Not a check of pixels: a picture of the window for people to look at.
  void screenshot() {
    UpdateJapanese();
    PickRow(0);
    QPixmap picture = window_->grab();
    QVERIFY(!picture.isNull());
    QVERIFY(picture.save(QStringLiteral(MORVANE_SCREENSHOT)));
  }
};

}  // namespace morvane

QTEST_MAIN(morvane::MainWindowTest)
#include "main_window_test.moc"
