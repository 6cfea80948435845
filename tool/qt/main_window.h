// The tool's window: the eleven controls of the dialog, bound to the shared commands.
#pragma once

#include <QDialog>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "tool/commands.h"
#include "tool/dialog_template.h"
#include "tool/qt/dialog_hooks.h"
#include "tool/qt/path_boxes.h"

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace morvane {

// The view font: a fixed-pitch face with Japanese glyphs, 16 pixels high.
inline constexpr int kViewFontPixels = 16;

// Width in pixels of the mark around the tag list or the text view while it has the focus.
inline constexpr int kFocusMarkWidth = 2;

class MainWindow : public QDialog {
  Q_OBJECT

 public:
  explicit MainWindow(DialogHooks hooks, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Start-up: module and base directory, OutputBuffer. Returns 0 (after telling the user) when the buffer
  // cannot be allocated; the window is then not to be shown.
  int Start();

  // The commands, as the buttons and the list run them.
  void Update();
  void Save();
  void OpenInto(QLineEdit* box);
  void SelectionChanged();

  // Converts a dialog-unit rectangle of the template to pixels at the dialog font's scale.
  QRect DialogUnitsToPixels(int x, int y, int width, int height) const;

 public slots:
  void reject() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  // Files dropped on a path box.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The controls of the template, in its order, each of its kind.
  void CreateControls();
  // The commands behind the buttons and the list.
  void ConnectCommands();
  void Report(const char* message);
  void Refresh(const std::vector<std::string>& tagNames);
  void ShowInView(const char* text);
  void PlaceControls();
  // Shows the focus mark around the list or the view when one of them has the focus, else hides it.
  void PlaceFocusMark();
  // Puts paths into boxes, one each, when every one fits a box; else reports kPathTooLong and changes none.
  int FillBoxes(std::initializer_list<QLineEdit*> boxes, const QStringList& paths);
  bool DragOnto(QLineEdit* box, QEvent* event);
  void ReleaseBuffer();

  DialogHooks hooks_;
  CommandState state_;
  std::unique_ptr<char[]> buffer_;
  int baseUnitX_ = 0;
  int baseUnitY_ = 0;
  // The folder of the last file chosen in a file dialog, and the name last chosen to save to, in this run
  // of the program.
  QString lastFolder_;
  QString lastSaveName_;

  // Every control in template order; the ones the commands use also by name.
  QWidget* controls_[kDialogControlCount] = {};
  QPushButton* update_ = nullptr;
  QPushButton* save_ = nullptr;
  QLineEdit* headerBox_ = nullptr;
  QPushButton* headerOpen_ = nullptr;
  QLineEdit* mainBox_ = nullptr;
  QPushButton* mainOpen_ = nullptr;
  QListWidget* tagList_ = nullptr;
  QPlainTextEdit* view_ = nullptr;
  QFrame* focusMark_ = nullptr;
};

// The font of the text view.
QFont ViewFont();

}  // namespace morvane
