#include "tool/qt/main_window.h"

#include <QApplication>
#include <QCollator>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <algorithm>
#include <cstring>
#include <new>

#include "text/text.h"
#include "files/text_files.h"
#include "tool/qt/icon_art.h"
#include "tool/qt/text_codec.h"

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

// A drop from a file manager may offer to move the files; the window only names them.
bool AcceptAsCopy(QDropEvent* drop) {
  if (!(drop->possibleActions() & Qt::CopyAction)) return false;
  drop->setDropAction(Qt::CopyAction);
  drop->accept();
  return true;
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

MainWindow::MainWindow(DialogHooks hooks, QWidget* parent) : QDialog(parent), hooks_(std::move(hooks)) {
  setWindowTitle(QString::fromUtf8(kWindowTitle));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowIcon(MorvaneIcon());
  CreateControls();
  ConnectCommands();

  // Dialog units at the dialog font's scale, as the platform's dialogs measure them.
  QFontMetrics metrics(font());
  int alphabet =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseUnitX_ = std::max(1, (alphabet / 26 + 1) / 2);
  baseUnitY_ = std::max(1, metrics.height());
  QSize size = DialogUnitsToPixels(0, 0, kDialogWidthUnits, kDialogHeightUnits).size();
  setMinimumSize(size);
  resize(size);
  PlaceControls();
  update_->setFocus();
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
        box->setValidator(new BoxLengthValidator(box));
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

void MainWindow::ConnectCommands() {
  connect(update_, &QPushButton::clicked, this, [this] { Update(); });
  connect(save_, &QPushButton::clicked, this, [this] { Save(); });
  connect(headerOpen_, &QPushButton::clicked, this, [this] { OpenInto(headerBox_); });
  connect(mainOpen_, &QPushButton::clicked, this, [this] { OpenInto(mainBox_); });
  connect(tagList_, &QListWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });
  // Ctrl+Q ends a desktop program; here it does what Esc does.
  auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
  connect(quit, &QShortcut::activated, this, &MainWindow::reject);
  connect(qApp, &QApplication::focusChanged, this, [this] { PlaceFocusMark(); });
}

MainWindow::~MainWindow() {
  ReleaseBuffer();
}

QRect MainWindow::DialogUnitsToPixels(int x, int y, int width, int height) const {
  auto scaleX = [this](int units) { return (units * baseUnitX_ + 2) / 4; };
  auto scaleY = [this](int units) { return (units * baseUnitY_ + 4) / 8; };
  return QRect(scaleX(x), scaleY(y), scaleX(width), scaleY(height));
}

void MainWindow::PlaceControls() {
  // The view keeps the template's margins and takes whatever room the window gains.
  const QSize templateSize = DialogUnitsToPixels(0, 0, kDialogWidthUnits, kDialogHeightUnits).size();
  const int extraWidth = std::max(0, width() - templateSize.width());
  const int extraHeight = std::max(0, height() - templateSize.height());
  for (int i = 0; i < kDialogControlCount; ++i) {
    const DialogControl& control = kDialogControls[i];
    QRect place = DialogUnitsToPixels(control.x, control.y, control.width, control.height);
    if (control.kind == ControlKind::kView) place.adjust(0, 0, extraWidth, extraHeight);
    controls_[i]->setGeometry(place);
  }
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

void MainWindow::ReleaseBuffer() {
  if (buffer_ && OutputBuffer == buffer_.get()) OutputBuffer = nullptr;
  buffer_.reset();
}

void MainWindow::reject() {
  ReleaseBuffer();
  QDialog::reject();
}

void MainWindow::Report(const char* message) {
  hooks_.showMessage(this, QString::fromUtf8(message));
}

void MainWindow::Update() {
  if (!buffer_) return;
  ReportError report = [this](const ToolMessage& message) { Report(message.text); };
  // A path with no form in the code page cannot name a file: the run reports it as that file's read failure.
  std::string headerPath;
  std::string mainPath;
  const bool headerNamed = ReadPathBox(headerBox_, &headerPath);
  const bool mainNamed = ReadPathBox(mainBox_, &mainPath);
  std::vector<std::string> tagNames;
  if (!UpdateCommand(state_, headerNamed ? headerPath.c_str() : nullptr,
                     mainNamed ? mainPath.c_str() : nullptr, report, &tagNames)) {
    return;
  }
  Refresh(tagNames);
}

void MainWindow::Refresh(const std::vector<std::string>& tagNames) {
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

  tagList_->clear();
  tagList_->addItem(MakeRow(QString::fromUtf8(kResultRowText), kResultRowText));
  for (const Row& row : rows) tagList_->addItem(MakeRow(row.display, row.bytes->c_str()));
  // A refilled list starts at its top with the result row current, as the view shows it, so the keys move
  // on from there.
  {
    const QSignalBlocker quiet(tagList_);
    tagList_->setCurrentRow(0);
  }
  tagList_->scrollToTop();
  ShowInView(OutputBuffer);
}

void MainWindow::ShowInView(const char* text) {
  view_->setPlainText(DecodeText(text));
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
  QString chosen = hooks_.saveFile(this, {StartFolderOf(mainBox_->text(), lastFolder_), lastSaveName_});
  if (chosen.isEmpty()) return;
  lastFolder_ = QFileInfo(chosen).absolutePath();
  lastSaveName_ = QFileInfo(chosen).fileName();
  std::string path;
  bool named = EncodeText(chosen, &path) != 0;
  Update();
  if (named) {
    SaveCommand(state_, path.c_str(), [this](const ToolMessage& message) { Report(message.text); });
  } else if (state_.ResultSavable()) {
    // A name with no form in the code page cannot be written.
    Report(kWriteFailed);
  }
}

void MainWindow::OpenInto(QLineEdit* box) {
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

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == headerBox_ || watched == mainBox_) return DragOnto(static_cast<QLineEdit*>(watched), event);
  return QDialog::eventFilter(watched, event);
}

// One file fills the box it is dropped on; two fill the header box, then the main box. A drag of text is
// the box's own business; one of anything else (more files, a web address) is refused.
bool MainWindow::DragOnto(QLineEdit* box, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  auto* drag = static_cast<QDropEvent*>(event);
  const QMimeData* data = drag->mimeData();
  if (data == nullptr || !data->hasUrls()) return false;
  const QStringList files = DraggedFiles(data);
  if ((files.size() != 1 && files.size() != 2) || !AcceptAsCopy(drag)) {
    drag->ignore();
    return true;
  }
  if (type != QEvent::Drop) return true;
  // Filled once the drop has ended: a message about it must not hold up the file manager's drag.
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

}  // namespace morvane
