#include "tool/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCollator>
#include <QCompleter>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStringListModel>
#include <QStyle>
#include <algorithm>
#include <cstring>
#include <new>

#include "files/text_files.h"
#include "text/text.h"
#include "tool/messages.h"
#include "tool/qt/file_follower.h"
#include "tool/qt/icon_art.h"
#include "tool/qt/text_codec.h"
#include "tool/warnings.h"

namespace morvane {

namespace {

// A row's bytes (a tag name in the active code page) stay with the row for the lookup when it is picked.
QListWidgetItem* MakeRow(const QString& display, const char* bytes) {
  auto* item = new QListWidgetItem(display);
  item->setData(Qt::UserRole, QByteArray(bytes));
  return item;
}

// Reads a path box for a run: its text with `~` expanded, in the active code page (the box's own limit keeps
// it within a path buffer; only the home folder can make it longer, and the run refuses what it cannot hold).
// Returns 0 when the text has no form in the code page.
int ReadPathBox(const QLineEdit* box, std::string* bytes) {
  return EncodeText(ExpandHome(box->text()), bytes);
}

// A box's path as the file layer names the file it opens: the file system's form.
std::string FileSystemName(const QLineEdit* box) {
  return QFile::encodeName(ExpandHome(box->text())).toStdString();
}

// A drop from a file manager may offer to move the files; the window only names them.
bool AcceptAsCopy(QDropEvent* drop) {
  if (!(drop->possibleActions() & Qt::CopyAction)) return false;
  drop->setDropAction(Qt::CopyAction);
  drop->accept();
  return true;
}

// Tells the drag source that nothing was taken.
void Refuse(QDropEvent* drop) {
  drop->setDropAction(Qt::IgnoreAction);
  drop->ignore();
}

// The keys of a button's command, for its tool tip.
QString KeysTip(const QString& caption, const QString& keys) {
  return caption + QStringLiteral(" (") + keys + QStringLiteral(")");
}

}  // namespace

QFont ViewFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("IPAGothic"),
                    QStringLiteral("VL Gothic"), QStringLiteral("TakaoGothic"), QStringLiteral("monospace")});
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPixelSize(kViewFontPixels);
  font.setWeight(QFont::Normal);
  return font;
}

MainWindow::MainWindow(DialogHooks hooks, const QString& settingsFile, QWidget* parent)
    : QDialog(parent), hooks_(std::move(hooks)), settingsFile_(settingsFile) {
  setWindowTitle(QString::fromUtf8(kWindowTitle));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(MorvaneIcon());
  follower_ = new FileFollower(this);

  // Dialog units at the dialog font's scale, as the platform's dialogs measure them.
  QFontMetrics metrics(font());
  int alphabet =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  units_.baseX = std::max(1, (alphabet / 26 + 1) / 2);
  units_.baseY = std::max(1, metrics.height());

  CreateControls();
  CreateOwnControls();
  ConnectCommands();

  remembered_ = LoadRemembered(settingsFile_);
  lastFolder_ = remembered_.saveFolder;
  headerBox_->setText(remembered_.headerPath);
  mainBox_->setText(remembered_.mainPath);
  ShowRecentLists();
  {
    const QSignalBlocker quiet(autoUpdate_);
    autoUpdate_->setChecked(remembered_.autoUpdate);
  }
  UpdateTitle();

  setMinimumSize(units_.MinimumSize());
  resize(units_.TemplateSize());
  PlaceControls();
  headerBox_->setFocus();
}

void MainWindow::CreateControls() {
  // Created in the template's order, which is also the Tab order.
  QWidget* previous = nullptr;
  for (int i = 0; i < kDialogControlCount; ++i) {
    const DialogControl& control = kDialogControls[i];
    const QString text = QString::fromUtf8(control.text);
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::kDefaultButton:
      case ControlKind::kButton: {
        auto* button = new QPushButton(text, this);
        button->setDefault(control.kind == ControlKind::kDefaultButton);
        widget = button;
        break;
      }
      case ControlKind::kLabel:
        widget = new QLabel(text, this);
        break;
      case ControlKind::kPathBox: {
        auto* box = new QLineEdit(text, this);
        box->setValidator(new BoxLengthValidator(box, [this] { RefusedInsertion(); }));
        box->installEventFilter(this);
        widget = box;
        break;
      }
      case ControlKind::kTagList: {
        auto* list = new QListWidget(this);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        widget = list;
        break;
      }
      case ControlKind::kView: {
        auto* view = new QPlainTextEdit(this);
        view->setReadOnly(true);
        view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        view->setLineWrapMode(QPlainTextEdit::NoWrap);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view->setTabChangesFocus(true);
        view->setFocusPolicy(Qt::StrongFocus);
        view->setFont(ViewFont());
        widget = view;
        break;
      }
    }
    widget->setObjectName(QString::fromLatin1(control.name));
    controls_[i] = widget;
    if (control.kind != ControlKind::kLabel) {
      if (previous != nullptr) setTabOrder(previous, widget);
      previous = widget;
    }
    switch (control.id) {
      case IDC_UPDATE:
        update_ = static_cast<QPushButton*>(widget);
        break;
      case IDC_SAVE:
        save_ = static_cast<QPushButton*>(widget);
        break;
      case IDC_HEADER_PATH:
        headerBox_ = static_cast<QLineEdit*>(widget);
        break;
      case IDC_HEADER_OPEN:
        headerOpen_ = static_cast<QPushButton*>(widget);
        break;
      case IDC_MAIN_PATH:
        mainBox_ = static_cast<QLineEdit*>(widget);
        break;
      case IDC_MAIN_OPEN:
        mainOpen_ = static_cast<QPushButton*>(widget);
        break;
      case IDC_TAG_LIST:
        tagList_ = static_cast<QListWidget*>(widget);
        break;
      case IDC_VIEW:
        view_ = static_cast<QPlainTextEdit*>(widget);
        break;
      default:
        break;
    }
  }

  // Not a control: a frame in the highlight colour just outside the list or the view, whose frames show no
  // focus of their own in Qt's default style (the path boxes' do).
  focusMark_ = new QFrame(this);
  focusMark_->setObjectName(QStringLiteral("focusMark"));
  focusMark_->setFrameStyle(QFrame::Box | QFrame::Plain);
  focusMark_->setLineWidth(kFocusMarkWidth);
  focusMark_->setAttribute(Qt::WA_TransparentForMouseEvents);
  focusMark_->setFocusPolicy(Qt::NoFocus);
  QPalette markColours = focusMark_->palette();
  markColours.setColor(QPalette::WindowText, markColours.color(QPalette::Active, QPalette::Highlight));
  focusMark_->setPalette(markColours);
  focusMark_->hide();
}

void MainWindow::CreateOwnControls() {
  // The Auto-update switch, in the Tab order after the Save button.
  autoUpdate_ = new QCheckBox(QString::fromUtf8(kAutoUpdateText), this);
  autoUpdate_->setObjectName(QStringLiteral("autoUpdate"));
  autoUpdate_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_A));
  autoUpdate_->setToolTip(KeysTip(QString::fromUtf8(kAutoUpdateText), QStringLiteral("Alt+A")));
  setTabOrder(save_, autoUpdate_);
  setTabOrder(autoUpdate_, headerBox_);

  // Under the view: the warnings of the last run, a line that opens their list.
  warningsLine_ = new QPushButton(this);
  warningsLine_->setObjectName(QStringLiteral("warningsLine"));
  warningsLine_->setFlat(true);
  warningsLine_->setCheckable(true);
  warningsLine_->setAutoDefault(false);
  warningsLine_->setStyleSheet(QStringLiteral("text-align: left; padding-left: 2px;"));
  warningsLine_->hide();
  warningsList_ = new QPlainTextEdit(this);
  warningsList_->setObjectName(QStringLiteral("warningsList"));
  warningsList_->setReadOnly(true);
  warningsList_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  warningsList_->setLineWrapMode(QPlainTextEdit::NoWrap);
  warningsList_->setTabChangesFocus(true);
  warningsList_->hide();
  setTabOrder(view_, warningsList_);
  setTabOrder(warningsList_, warningsLine_);

  // Each box offers its recent paths: while typing, and all of them on the Down key or its arrow.
  for (QLineEdit* box : {headerBox_, mainBox_}) {
    auto* model = new QStringListModel(box);
    auto* completer = new QCompleter(model, box);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setFilterMode(Qt::MatchContains);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    completer->setMaxVisibleItems(kRecentPathsMax);
    box->setCompleter(completer);
    QAction* recent =
        box->addAction(style()->standardIcon(QStyle::SP_ArrowDown), QLineEdit::TrailingPosition);
    recent->setToolTip(QString::fromUtf8(kRecentPathsText));
    recent->setVisible(false);
    connect(recent, &QAction::triggered, this, [this, box] { ShowRecentPaths(box); });
    if (box == headerBox_) {
      recentHeaders_ = model;
      headerRecent_ = recent;
    } else {
      recentMains_ = model;
      mainRecent_ = recent;
    }
  }
}

void MainWindow::ConnectCommands() {
  connect(update_, &QPushButton::clicked, this, [this] { Update(); });
  connect(save_, &QPushButton::clicked, this, [this] { Save(); });
  connect(headerOpen_, &QPushButton::clicked, this, [this] { OpenInto(headerBox_); });
  connect(mainOpen_, &QPushButton::clicked, this, [this] { OpenInto(mainBox_); });
  connect(tagList_, &QListWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });
  connect(autoUpdate_, &QCheckBox::toggled, this, [this](bool on) { SetAutoUpdate(on); });
  connect(warningsLine_, &QPushButton::toggled, this, [this](bool open) {
    listShown_ = open;
    PlaceControls();
  });
  connect(mainBox_, &QLineEdit::textChanged, this, [this] { UpdateTitle(); });
  connect(follower_, &FileFollower::changed, this, [this] { FilesChanged(); });

  // Mnemonics that leave the captions as they are, and the keys of a desktop program.
  const struct {
    QPushButton* button;
    Qt::Key mnemonic;
    const char* keys;
  } mnemonics[] = {{update_, Qt::Key_U, "F5, Alt+U"},
                   {save_, Qt::Key_S, "Ctrl+S, Alt+S"},
                   {headerOpen_, Qt::Key_H, "Ctrl+Shift+O, Alt+H"},
                   {mainOpen_, Qt::Key_M, "Ctrl+O, Alt+M"}};
  for (const auto& [button, mnemonic, keys] : mnemonics) {
    button->setShortcut(QKeySequence(Qt::ALT | mnemonic));
    button->setToolTip(KeysTip(button->text(), QString::fromLatin1(keys)));
  }
  const struct {
    QKeySequence key;
    void (MainWindow::*command)();
  } keys[] = {{QKeySequence(Qt::Key_F5), &MainWindow::Update},
              {QKeySequence(Qt::CTRL | Qt::Key_S), &MainWindow::Save}};
  for (const auto& [key, command] : keys) {
    auto* shortcut = new QShortcut(key, this);
    connect(shortcut, &QShortcut::activated, this, command);
  }
  auto* openMain = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
  connect(openMain, &QShortcut::activated, this, [this] { OpenInto(mainBox_); });
  auto* openHeader = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), this);
  connect(openHeader, &QShortcut::activated, this, [this] { OpenInto(headerBox_); });
  // Ctrl+Q ends a desktop program; here it does what Esc does.
  auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
  connect(quit, &QShortcut::activated, this, &MainWindow::reject);
  connect(qApp, &QApplication::focusChanged, this, [this] { PlaceFocusMark(); });
}

MainWindow::~MainWindow() {
  follower_->Stop();
  ReleaseBuffer();
}

QRect MainWindow::DialogUnitsToPixels(int x, int y, int width, int height) const {
  return units_.Rect(x, y, width, height);
}

void MainWindow::PlaceControls() {
  const bool lineShown = !warningsLine_->text().isEmpty();
  const WindowLayout layout = LayOutWindow(units_, size(), lineShown, lineShown && listShown_);
  for (int i = 0; i < kDialogControlCount; ++i) controls_[i]->setGeometry(layout.controls[i]);
  autoUpdate_->setGeometry(layout.autoUpdate);
  warningsLine_->setVisible(lineShown);
  if (lineShown) warningsLine_->setGeometry(layout.warningsLine);
  warningsList_->setVisible(lineShown && listShown_);
  if (lineShown && listShown_) warningsList_->setGeometry(layout.warningsList);
  PlaceFocusMark();
}

void MainWindow::PlaceFocusMark() {
  QWidget* focus = focusWidget();
  if ((focus != tagList_ && focus != view_) || !focus->hasFocus()) {
    focusMark_->hide();
    return;
  }
  const int w = kFocusMarkWidth;
  focusMark_->setGeometry(focus->geometry().adjusted(-w, -w, w, w));
  focusMark_->raise();
  focusMark_->show();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  PlaceControls();
}

int MainWindow::Start() {
  FindModuleDirectory();
  ResetBaseDirectory();
  buffer_.reset(new (std::nothrow) char[kTextBufferSize]());
  if (!buffer_) {
    Report(kNoMemory);
    return 0;
  }
  OutputBuffer = buffer_.get();
  return 1;
}

void MainWindow::StartWith(const QStringList& paths) {
  QStringList both = paths.mid(0, 2);
  while (both.size() < 2) both << QString();
  // Once the window is up, so that a message has it as its owner.
  QMetaObject::invokeMethod(
      this,
      [this, both] {
        if (FillBoxes({headerBox_, mainBox_}, both)) Update();
      },
      Qt::QueuedConnection);
}

void MainWindow::ReleaseBuffer() {
  if (buffer_ && OutputBuffer == buffer_.get()) OutputBuffer = nullptr;
  buffer_.reset();
}

void MainWindow::reject() {
  follower_->Stop();
  Remember();
  ReleaseBuffer();
  QDialog::reject();
}

void MainWindow::Report(const char* message, const QString& detail) {
  hooks_.showMessage(this, QString::fromUtf8(message), detail);
}

bool MainWindow::Busy() const {
  const QWidget* modal = QApplication::activeModalWidget();
  return running_ || (modal != nullptr && modal != this);
}

void MainWindow::Update() {
  Run(RunKind::kManual);
}

void MainWindow::Run(RunKind kind) {
  if (!buffer_ || running_) return;
  running_ = true;
  report_ = RunReport();
  report_.kind = kind;
  // Messages and warnings name the files as the boxes do.
  const std::string headerName = headerBox_->text().toStdString();
  const std::string mainName = mainBox_->text().toStdString();
  auto nameOf = [&](RunFile file) {
    return file == RunFile::kHeader ? headerName : file == RunFile::kMain ? mainName : std::string();
  };
  bool headerRead = true;
  bool mainRead = true;
  ReportError report = [&](const ToolMessage& message) {
    // A file that was not read is no path to offer again; a failure before a file ends the run before it
    // is read.
    if (message.cause == MessageCause::kReadFailed) {
      (message.file == RunFile::kHeader ? headerRead : mainRead) = false;
    } else if (message.file != RunFile::kMain) {
      mainRead = false;
      if (message.file == RunFile::kNone) headerRead = false;
    }
    report_.messages << QString::fromStdString(RunMessageText(message, nameOf(message.file)));
    if (kind == RunKind::kManual) {
      Report(message.text, QString::fromStdString(RunMessageDetail(message, nameOf(message.file))));
    } else {
      // An editor's save may leave a file unreadable for a moment: no message box, the line tells it.
      report_.unshownSentences << QString::fromUtf8(message.text);
    }
  };
  WarningCollector warnings(
      [this](const std::string& line) { report_.warnings << QString::fromStdString(line); });
  RunOptions options;
  options.beginExpansion = [&](RunFile file, const char* text) { warnings.Begin(nameOf(file), text, file); };
  options.endExpansion = [&](RunFile) { warnings.End(); };

  // A path with no form in the code page cannot name a file: the run reports it as that file's read failure.
  std::string headerPath;
  std::string mainPath;
  const bool headerNamed = ReadPathBox(headerBox_, &headerPath);
  const bool mainNamed = ReadPathBox(mainBox_, &mainPath);
  std::vector<std::string> tagNames;
  followed_.StartRecording();
  const bool refreshed = UpdateCommand(state_, headerNamed ? headerPath.c_str() : nullptr,
                                       mainNamed ? mainPath.c_str() : nullptr, report, &tagNames, options);
  followed_.StopRecording();
  // The boxes' files are followed also where the run did not get to them.
  followed_.Add(FileSystemName(headerBox_));
  followed_.Add(FileSystemName(mainBox_));
  if (refreshed) Refresh(tagNames, kind == RunKind::kAutomatic);
  ShowRunReport();
  RememberRun(headerRead, mainRead);
  if (autoUpdate_->isChecked()) follower_->Follow(&followed_);
  running_ = false;
}

void MainWindow::Refresh(const std::vector<std::string>& tagNames, bool keepSelection) {
  // An automatic run keeps the picked row, and where the view stood in it.
  QByteArray kept;
  const int keptScroll[2] = {view_->verticalScrollBar()->value(), view_->horizontalScrollBar()->value()};
  if (keepSelection && tagList_->currentRow() > 0)
    kept = tagList_->currentItem()->data(Qt::UserRole).toByteArray();

  // The result row stays first; the tag names follow in the locale's order.
  struct Row {
    QString display;
    const std::string* bytes;
  };
  std::vector<Row> rows;
  rows.reserve(tagNames.size());
  for (const std::string& name : tagNames) rows.push_back({DecodeText(name.c_str()), &name});
  QCollator collator;
  std::stable_sort(rows.begin(), rows.end(), [&collator](const Row& a, const Row& b) {
    int order = collator.compare(a.display, b.display);
    return order != 0 ? order < 0 : *a.bytes < *b.bytes;
  });

  const QSignalBlocker quiet(tagList_);
  tagList_->clear();
  tagList_->addItem(MakeRow(QString::fromUtf8(kResultRowText), kResultRowText));
  int current = 0;
  for (const Row& row : rows) {
    tagList_->addItem(MakeRow(row.display, row.bytes->c_str()));
    if (!kept.isEmpty() && current == 0 && kept == QByteArray::fromStdString(*row.bytes))
      current = tagList_->count() - 1;
  }
  // A refilled list starts at its top with the result row current, as the view shows it, so the keys move
  // on from there; an automatic run stays on the row picked, while its tag exists.
  tagList_->setCurrentRow(current);
  if (current == 0) {
    tagList_->scrollToTop();
    ShowInView(OutputBuffer);
  } else {
    ShowInView(RowViewText(current, kept.constData()));
  }
  if (keepSelection && (current != 0 || kept.isEmpty())) {
    view_->verticalScrollBar()->setValue(keptScroll[0]);
    view_->horizontalScrollBar()->setValue(keptScroll[1]);
  }
}

void MainWindow::ShowInView(const char* text) {
  view_->setPlainText(DecodeText(text));
}

void MainWindow::ShowRunReport() {
  QStringList parts;
  if (!report_.unshownSentences.isEmpty()) {
    QString failure = QString::fromUtf8(kAutomaticFailureText).arg(report_.unshownSentences.front());
    if (report_.unshownSentences.size() > 1)
      failure += QString::fromUtf8(kMoreFailuresText).arg(report_.unshownSentences.size() - 1);
    parts << failure;
  }
  if (!report_.warnings.isEmpty()) parts << QString::fromUtf8(kWarningCountText).arg(report_.warnings.size());
  warningsLine_->setText(parts.join(QStringLiteral("　")));
  warningsList_->setPlainText((report_.messages + report_.warnings).join(QLatin1Char('\n')));
  if (parts.isEmpty()) {
    const QSignalBlocker quiet(warningsLine_);
    warningsLine_->setChecked(false);
    listShown_ = false;
  }
  PlaceControls();
}

void MainWindow::SelectionChanged() {
  QList<QListWidgetItem*> selected = tagList_->selectedItems();
  int index = -1;
  QByteArray rowText;
  if (!selected.isEmpty()) {
    index = tagList_->row(selected.front());
    rowText = selected.front()->data(Qt::UserRole).toByteArray();
  }
  const char* text = RowViewText(index, rowText.constData());
  if (text != nullptr) ShowInView(text);
}

void MainWindow::Save() {
  if (running_) return;
  QString chosen = hooks_.saveFile(this, {StartFolderOf(mainBox_->text(), lastFolder_), lastSaveName_});
  if (chosen.isEmpty()) return;
  lastFolder_ = QFileInfo(chosen).absolutePath();
  lastSaveName_ = QFileInfo(chosen).fileName();
  remembered_.saveFolder = lastFolder_;
  std::string path;
  bool named = EncodeText(chosen, &path) != 0;
  Update();
  if (named) {
    const std::string savedName = chosen.toStdString();
    const SaveOutcome outcome = SaveCommand(state_, path.c_str(), [&](const ToolMessage& message) {
      Report(message.text, QString::fromStdString(RunMessageDetail(message, savedName)));
    });
    // A template may read the result it is saved to: that write is no edit to follow.
    if (outcome == SaveOutcome::kWritten) followed_.TakeAsWritten(QFile::encodeName(chosen).toStdString());
  } else if (state_.ResultSavable()) {
    // A name with no form in the code page cannot be written.
    ToolMessage message(kWriteFailed, RunFile::kSaved, MessageCause::kWriteFailed);
    message.fileError = FileError::kPathNotNameable;
    Report(kWriteFailed, QString::fromStdString(RunMessageDetail(message, chosen.toStdString())));
  }
  Remember();
}

void MainWindow::OpenInto(QLineEdit* box) {
  if (running_) return;
  const QString typed = box->text();
  QString chosen = hooks_.openFile(this, {StartFolderOf(typed, lastFolder_), StartNameOf(typed)});
  if (chosen.isEmpty()) return;
  lastFolder_ = QFileInfo(chosen).absolutePath();
  FillBoxes({box}, {chosen});
}

int MainWindow::FillBoxes(std::initializer_list<QLineEdit*> boxes, const QStringList& paths) {
  for (const QString& path : paths) {
    if (!FitsBox(path)) {
      Report(kPathTooLong);
      return 0;
    }
  }
  qsizetype i = 0;
  for (QLineEdit* box : boxes) box->setText(paths.value(i++));
  return 1;
}

void MainWindow::RefusedInsertion() {
  if (refusalPending_) return;
  refusalPending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        refusalPending_ = false;
        Report(kPathTooLong);
      },
      Qt::QueuedConnection);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != headerBox_ && watched != mainBox_) return QDialog::eventFilter(watched, event);
  auto* box = static_cast<QLineEdit*>(watched);
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    // Down, or Alt+Down as in a combo box, offers every recent path of the box.
    const bool down = key->key() == Qt::Key_Down &&
                      (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::AltModifier);
    if (down && !box->completer()->popup()->isVisible() && box->completer()->model()->rowCount() > 0) {
      ShowRecentPaths(box);
      return true;
    }
    return false;
  }
  return DragOnto(box, event);
}

void MainWindow::ShowRecentPaths(QLineEdit* box) {
  QCompleter* completer = box->completer();
  completer->setCompletionPrefix(QString());
  completer->complete();
}

// One file fills the box it is dropped on; two fill the header box, then the main box. A drag of text is
// the box's own business; one of anything else (more files, a folder, a web address) is refused, and so
// is a drop of a path too long for a box, with the reason: the drag source hears that nothing was taken.
bool MainWindow::DragOnto(QLineEdit* box, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  auto* drag = static_cast<QDropEvent*>(event);
  const QMimeData* data = drag->mimeData();
  if (data == nullptr || !data->hasUrls()) return false;
  const QStringList files = DraggedFiles(data);
  if ((files.size() != 1 && files.size() != 2) || !AllExistingFiles(files) || !AcceptAsCopy(drag)) {
    Refuse(drag);
    return true;
  }
  if (type != QEvent::Drop) return true;
  if (!std::all_of(files.begin(), files.end(), [](const QString& file) { return FitsBox(file); })) {
    Refuse(drag);
    // Told once the drop has ended: a message about it must not hold up the file manager's drag.
    QMetaObject::invokeMethod(
        this, [this] { Report(kPathTooLong); }, Qt::QueuedConnection);
    return true;
  }
  QMetaObject::invokeMethod(
      this,
      [this, box, files] {
        if (files.size() == 1) {
          FillBoxes({box}, files);
        } else {
          FillBoxes({headerBox_, mainBox_}, files);
        }
      },
      Qt::QueuedConnection);
  return true;
}

void MainWindow::Remember() {
  remembered_.headerPath = AbsoluteBoxPath(headerBox_->text());
  remembered_.mainPath = AbsoluteBoxPath(mainBox_->text());
  remembered_.autoUpdate = autoUpdate_->isChecked();
  SaveRemembered(settingsFile_, remembered_);
}

void MainWindow::RememberRun(bool headerRead, bool mainRead) {
  // Only files that were read: a typo is no path to offer again.
  if (headerRead) AddRecentPath(&remembered_.recentHeaders, AbsoluteBoxPath(headerBox_->text()));
  if (mainRead) AddRecentPath(&remembered_.recentMains, AbsoluteBoxPath(mainBox_->text()));
  ShowRecentLists();
  Remember();
}

void MainWindow::ShowRecentLists() {
  // A path longer than the box can hold is not offered (the box would cut it).
  auto fitting = [](const QStringList& paths) {
    QStringList kept;
    for (const QString& path : paths) {
      if (FitsBox(path)) kept << path;
    }
    return kept;
  };
  recentHeaders_->setStringList(fitting(remembered_.recentHeaders));
  recentMains_->setStringList(fitting(remembered_.recentMains));
  headerRecent_->setVisible(recentHeaders_->rowCount() > 0);
  mainRecent_->setVisible(recentMains_->rowCount() > 0);
}

void MainWindow::SetAutoUpdate(bool on) {
  if (on) {
    // The files of the last run, from now on; before any run there is nothing to follow yet.
    if (!followed_.Files().empty()) follower_->Follow(&followed_);
  } else {
    follower_->Stop();
  }
  Remember();
}

void MainWindow::FilesChanged() {
  if (!autoUpdate_->isChecked() || !buffer_) return;
  if (Busy()) {
    follower_->LookAgainLater();
    return;
  }
  Run(RunKind::kAutomatic);
}

void MainWindow::UpdateTitle() {
  const QString name = QFileInfo(ExpandHome(mainBox_->text())).fileName();
  const QString title = QString::fromUtf8(kWindowTitle);
  setWindowTitle(name.isEmpty() ? title : name + QStringLiteral(" - ") + title);
}

}  // namespace morvane
