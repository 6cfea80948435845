// The tool's window: the eleven controls of the dialog, bound to the shared commands; around them what a
// desktop program adds: the warnings of the last run, remembered paths, a layout that follows the window's
// size, Auto-update, and keys.
#pragma once

#include <QDialog>
#include <QStringList>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "tool/commands.h"
#include "tool/dialog_template.h"
#include "tool/followed_files.h"
#include "tool/qt/dialog_hooks.h"
#include "tool/qt/path_boxes.h"
#include "tool/qt/window_layout.h"
#include "tool/qt/window_settings.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStringListModel;

namespace morvane {

class FileFollower;

// The view font: a fixed-pitch face with Japanese glyphs, 16 pixels high.
inline constexpr int kViewFontPixels = 16;

// Width in pixels of the mark around the tag list or the text view while it has the focus.
inline constexpr int kFocusMarkWidth = 2;

// The window's own texts beyond the template's.
inline constexpr const char kAutoUpdateText[] = "自動更新";
inline constexpr const char kRecentPathsText[] = "最近使ったファイル";
// The warnings line: "警告 3 件"; an automatic run's failure is told there, as it raises no message box.
inline constexpr const char kWarningCountText[] = "警告 %1 件";
inline constexpr const char kAutomaticFailureText[] = "自動更新: %1";
inline constexpr const char kMoreFailuresText[] = "（ほか %1 件）";

class MainWindow : public QDialog {
  Q_OBJECT

 public:
  // `settingsFile` is where the window remembers its paths across restarts (SettingsFilePath()); empty, it
  // starts empty and remembers nothing.
  explicit MainWindow(DialogHooks hooks, const QString& settingsFile = QString(), QWidget* parent = nullptr);
  ~MainWindow() override;

  // Start-up: module and base directory, OutputBuffer. Returns 0 (after telling the user) when the buffer
  // cannot be allocated; the window is then not to be shown.
  int Start();

  // The files named on the command line, header then main ("" leaves a box empty): they fill the boxes and
  // an Update runs once the window's loop has begun. Nothing runs when a path does not fit its box.
  void StartWith(const QStringList& paths);

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
  // Files dropped on a path box, and the key that opens its recent paths.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class RunKind { kManual, kAutomatic };

  // What the last run said: its messages in full (file and cause), the fixed sentences of those that no
  // message box showed, and its warnings.
  struct RunReport {
    RunKind kind = RunKind::kManual;
    QStringList messages;
    QStringList unshownSentences;
    QStringList warnings;
  };

  // The controls of the template, in its order, each of its kind; then the window's own.
  void CreateControls();
  void CreateOwnControls();
  // The commands behind the buttons, the list and the keys.
  void ConnectCommands();
  void Run(RunKind kind);
  void Report(const char* message, const QString& detail = QString());
  void Refresh(const std::vector<std::string>& tagNames, bool keepSelection);
  void ShowInView(const char* text);
  void ShowRunReport();
  void PlaceControls();
  // Shows the focus mark around the list or the view when one of them has the focus, else hides it.
  void PlaceFocusMark();
  // Puts paths into boxes, one each, when every one fits a box; else reports kPathTooLong and changes none.
  int FillBoxes(std::initializer_list<QLineEdit*> boxes, const QStringList& paths);
  bool DragOnto(QLineEdit* box, QEvent* event);
  // A paste or a drop of text that would not fit a box: told once the edit is over.
  void RefusedInsertion();
  void ShowRecentPaths(QLineEdit* box);
  void Remember();
  void RememberRun(bool headerRead, bool mainRead);
  void ShowRecentLists();
  void SetAutoUpdate(bool on);
  void FilesChanged();
  // Whether a command or a modal dialog is under way, so that an automatic run must wait.
  bool Busy() const;
  void UpdateTitle();
  void ReleaseBuffer();

  DialogHooks hooks_;
  CommandState state_;
  std::unique_ptr<char[]> buffer_;
  DialogUnits units_;
  // The folder of the last file chosen in a file dialog, and the name last chosen to save to, in this run
  // of the program (the folder starts as the one last saved to, remembered).
  QString lastFolder_;
  QString lastSaveName_;
  QString settingsFile_;
  RememberedState remembered_;
  FollowedFiles followed_;
  FileFollower* follower_ = nullptr;
  RunReport report_;
  bool running_ = false;
  bool refusalPending_ = false;
  bool listShown_ = false;

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
  QCheckBox* autoUpdate_ = nullptr;
  QPushButton* warningsLine_ = nullptr;
  QPlainTextEdit* warningsList_ = nullptr;
  QStringListModel* recentHeaders_ = nullptr;
  QStringListModel* recentMains_ = nullptr;
  QAction* headerRecent_ = nullptr;
  QAction* mainRecent_ = nullptr;
};

// The font of the text view.
QFont ViewFont();

}  // namespace morvane
