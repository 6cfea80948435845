// The logic of the window's commands, shared by every front end; a window only binds its widgets to these.
#pragma once

#include <string>
#include <vector>

#include "tool/update_run.h"

namespace morvane {

inline constexpr const char kErrorCaption[] = "エラー";
inline constexpr const char kNoMemory[] = "メモリが不足しています。";
inline constexpr const char kWriteFailed[] = "テキストファイルの書き込みに失敗しました。";
inline constexpr const char kTextFilterLabel[] = "テキストファイル (*.txt)";
inline constexpr const char kTextFilterPattern[] = "*.txt";
inline constexpr const char kAllFilterLabel[] = "すべてのファイル (*.*)";
inline constexpr const char kAllFilterPattern[] = "*.*";
inline constexpr const char kDefaultExtension[] = "txt";
inline constexpr const char kWindowTitle[] = "Morvane";

// State a window keeps between commands.
struct CommandState {
  bool lastRunCompleted = false;
  // A named header or main file could not be read: the result lacks it, so it is not saved.
  bool lastRunReadFailed = false;

  // Whether Save may write the last run's result: it completed and read every file it was given.
  bool ResultSavable() const { return lastRunCompleted && !lastRunReadFailed; }
};

// Update: runs the update with the two paths (nullptr for a file that could not be named, see UpdateRun). On
// a completed run, `rows` receives the tag names to list below the result row (in table order; the window
// sorts them its own way and keeps the result row first). Returns whether the window refreshes its list and
// view. `options` as UpdateRun takes them (a window listens to the run's warnings through them).
bool UpdateCommand(CommandState& state, const char* headerPath, const char* mainPath,
                   const ReportError& report, std::vector<std::string>* tagNames,
                   const RunOptions& options = RunOptions());

// The text a picked row shows (up to its first NUL): row 0 the result, any other row its tag's value, an
// empty text for a row whose tag is gone or has no value. nullptr when no row is selected (index < 0):
// the view stays as it is.
const char* RowViewText(int index, const char* rowText);

enum class SaveOutcome : uint8_t {
  kWritten,
  kNotSavable,   // the last run did not complete, or missed a named file: nothing written, nothing reported
  kWriteFailed,  // reported with kWriteFailed
  kNoMemory,     // the write ran out of memory (converting the path): reported with kWriteFailed
};

// Save, after the window has run its Update for the chosen path: writes OutputBuffer when that run
// completed and read every file named (a typo must never empty a good file; the run's own messages have
// said what went wrong), and reports a failed write.
SaveOutcome SaveCommand(const CommandState& state, const char* path, const ReportError& report);

}  // namespace morvane
