// The window's commands, free of any widget: Update, the view text of a picked row, and Save.
#include "tool/commands.h"

#include <new>

#include "engine/tag_table.h"
#include "files/text_files.h"

namespace morvane {

bool UpdateCommand(CommandState& state, const char* headerPath, const char* mainPath,
                   const ReportError& report, std::vector<std::string>* tagNames, const RunOptions& options) {
  UpdateResult result = UpdateRun(headerPath, mainPath, report, options);
  state.lastRunCompleted = result.completed;
  state.lastRunReadFailed = result.readFailed;
  if (!result.completed) return false;
  if (tagNames != nullptr) {
    // rows[0] is the result row, which the window places itself.
    tagNames->assign(result.rows.begin() + 1, result.rows.end());
  }
  return true;
}

const char* RowViewText(int index, const char* rowText) {
  if (index < 0) return nullptr;
  if (index == 0) return OutputBuffer != nullptr ? OutputBuffer : "";
  if (rowText == nullptr) return "";
  const TagEntry* entry = gTagTable.Find(rowText);
  if (entry == nullptr || entry->data == nullptr) return "";
  return entry->data;
}

SaveOutcome SaveCommand(const CommandState& state, const char* path, const ReportError& report) {
  // A run that did not complete, or missed a file, has no result to save; its own message has been shown.
  if (!state.ResultSavable()) return SaveOutcome::kNotSavable;
  ToolMessage message{kWriteFailed, RunFile::kSaved, MessageCause::kWriteFailed};
  try {
    if (WriteTextFile(path, OutputBuffer)) return SaveOutcome::kWritten;
    message.fileError = LastFileError();
    message.systemError = LastSystemError();
  } catch (const std::bad_alloc&) {
    message.cause = MessageCause::kNoMemory;
  }
  report(message);
  return message.cause == MessageCause::kNoMemory ? SaveOutcome::kNoMemory : SaveOutcome::kWriteFailed;
}

}  // namespace morvane
