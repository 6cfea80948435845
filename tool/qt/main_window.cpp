#include "tool/qt/main_window.h"

#include <QCollator>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <cstring>
#include <new>

#include "engine/text.h"
#include "files/text_files.h"
#include "tool/qt/icon_art.h"
#include "tool/qt/text_codec.h"

namespace morvane {

namespace {

// The template's size and the text view's rectangle, in dialog units.
constexpr int kDialogWidth = 418;
constexpr int kDialogHeight = 263;
constexpr int kViewX = 6;
constexpr int kViewY = 84;
constexpr int kViewWidth = 408;
constexpr int kViewHeight = 174;

// A row's bytes (a tag name in the active code page) stay with the row for the lookup when it is picked.
QListWidgetItem* MakeRow(const QString& display, const char* bytes) {
  auto* item = new QListWidgetItem(display);
  item->setData(Qt::UserRole, QByteArray(bytes));
  return item;
}

// Reads a path box for a run: its text in the active code page, cut to the bytes a path buffer takes.
// Returns 0 when the text has no form in the code page.
int ReadPathBox(const QLineEdit* box, std::string* bytes) {
  if (!EncodeText(box->text(), bytes)) return 0;
  CutAtCharacter(bytes, kBoxTextMax);
  return 1;
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

  // Created in the template's order, which is also the Tab order.
  update_ = new QPushButton(QString::fromUtf8(kUpdateCaption), this);
  update_->setObjectName(QStringLiteral("update"));
  update_->setDefault(true);
  save_ = new QPushButton(QString::fromUtf8(kSaveCaption), this);
  save_->setObjectName(QStringLiteral("save"));
  headerLabel_ = new QLabel(QString::fromUtf8(kHeaderLabel), this);
  headerLabel_->setObjectName(QStringLiteral("headerLabel"));
  headerBox_ = new QLineEdit(this);
  headerBox_->setObjectName(QStringLiteral("headerBox"));
  headerOpen_ = new QPushButton(QString::fromUtf8(kOpenCaption), this);
  headerOpen_->setObjectName(QStringLiteral("headerOpen"));
  mainLabel_ = new QLabel(QString::fromUtf8(kMainLabel), this);
  mainLabel_->setObjectName(QStringLiteral("mainLabel"));
  mainBox_ = new QLineEdit(this);
  mainBox_->setObjectName(QStringLiteral("mainBox"));
  mainOpen_ = new QPushButton(QString::fromUtf8(kOpenCaption), this);
  mainOpen_->setObjectName(QStringLiteral("mainOpen"));
  tagListLabel_ = new QLabel(QString::fromUtf8(kTagListLabel), this);
  tagListLabel_->setObjectName(QStringLiteral("tagListLabel"));
  tagList_ = new QListWidget(this);
  tagList_->setObjectName(QStringLiteral("tagList"));
  tagList_->setSelectionMode(QAbstractItemView::SingleSelection);
  tagList_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  view_ = new QPlainTextEdit(this);
  view_->setObjectName(QStringLiteral("view"));
  view_->setReadOnly(true);
  view_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  view_->setLineWrapMode(QPlainTextEdit::NoWrap);
  view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  view_->setTabChangesFocus(true);
  view_->setFocusPolicy(Qt::StrongFocus);
  view_->setFont(ViewFont());

  QWidget* order[] = {update_, save_, headerBox_, headerOpen_, mainBox_, mainOpen_, tagList_, view_};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  connect(update_, &QPushButton::clicked, this, [this] { Update(); });
  connect(save_, &QPushButton::clicked, this, [this] { Save(); });
  connect(headerOpen_, &QPushButton::clicked, this, [this] { OpenInto(headerBox_); });
  connect(mainOpen_, &QPushButton::clicked, this, [this] { OpenInto(mainBox_); });
  connect(tagList_, &QListWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });

  // Dialog units at the dialog font's scale, as the platform's dialogs measure them.
  QFontMetrics metrics(font());
  int alphabet =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseUnitX_ = std::max(1, (alphabet / 26 + 1) / 2);
  baseUnitY_ = std::max(1, metrics.height());
  QSize size = DialogUnitsToPixels(0, 0, kDialogWidth, kDialogHeight).size();
  setMinimumSize(size);
  resize(size);
  PlaceControls();
  update_->setFocus();
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
  update_->setGeometry(DialogUnitsToPixels(6, 6, 60, 12));
  save_->setGeometry(DialogUnitsToPixels(72, 6, 60, 12));
  headerLabel_->setGeometry(DialogUnitsToPixels(6, 24, 264, 8));
  headerBox_->setGeometry(DialogUnitsToPixels(6, 36, 234, 12));
  headerOpen_->setGeometry(DialogUnitsToPixels(246, 36, 24, 12));
  mainLabel_->setGeometry(DialogUnitsToPixels(6, 54, 264, 8));
  mainBox_->setGeometry(DialogUnitsToPixels(6, 66, 234, 12));
  mainOpen_->setGeometry(DialogUnitsToPixels(246, 66, 24, 12));
  tagListLabel_->setGeometry(DialogUnitsToPixels(276, 6, 138, 8));
  tagList_->setGeometry(DialogUnitsToPixels(276, 18, 138, 60));
  // The view keeps the template's margins and takes whatever room the window gains.
  QRect view = DialogUnitsToPixels(kViewX, kViewY, kViewWidth, kViewHeight);
  QSize template_size = DialogUnitsToPixels(0, 0, kDialogWidth, kDialogHeight).size();
  view.setWidth(view.width() + std::max(0, width() - template_size.width()));
  view.setHeight(view.height() + std::max(0, height() - template_size.height()));
  view_->setGeometry(view);
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
  ReportError report = [this](const char* message) { Report(message); };
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
  // A refilled list starts at its top, with the result row in view.
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
  QString chosen = hooks_.saveFile(this);
  if (chosen.isEmpty()) return;
  std::string path;
  bool named = EncodeText(chosen, &path) != 0;
  Update();
  if (named) {
    SaveCommand(state_, path.c_str(), [this](const char* message) { Report(message); });
  } else if (state_.ResultSavable()) {
    // A name with no form in the code page cannot be written.
    Report(kWriteFailed);
  }
}

void MainWindow::OpenInto(QLineEdit* box) {
  QString chosen = hooks_.openFile(this, box->text());
  if (!chosen.isEmpty()) box->setText(chosen);
}

}  // namespace morvane
