// The update run: a fresh table with the built-ins, the header's definitions, then the main file's expansion.
#include "tool/update_run.h"

#include <cstring>
#include <new>

#include "engine/builtins.h"
#include "engine/expand.h"
#include "engine/tag_table.h"
#include "engine/text.h"
#include "files/text_files.h"

namespace morvane {

char* OutputBuffer = nullptr;

namespace {

void ClearOutput() {
  std::memset(OutputBuffer, 0, kTextBufferSize);
}

// Ends a run whose expansion failed: the one shared message and an empty result.
UpdateResult Fail(UpdateResult& result, const ReportError& report) {
  report(kExpansionFailed);
  ClearOutput();
  result.completed = false;
  result.rows.clear();
  return result;
}

enum class ReadOutcome : uint8_t { kRead, kUnread, kNoMemory };

// Header or main file: BaseDirectory becomes its directory, then the file is read into OutputBuffer. The
// path is opened as given (relative to the working directory or absolute), never joined to BaseDirectory;
// a path that no path buffer can hold, or a file the front end could not name (nullptr), is not opened.
// Converting the path can run out of memory, which ends the run as a failed expansion would.
ReadOutcome ReadStep(const char* path) {
  if (path == nullptr || std::strlen(path) >= kPathBufferSize) return ReadOutcome::kUnread;
  SetBaseDirectory(path);
  try {
    return ReadNamedFile(path, OutputBuffer, kTextBufferSize) ? ReadOutcome::kRead : ReadOutcome::kUnread;
  } catch (const std::bad_alloc&) {
    return ReadOutcome::kNoMemory;
  }
}

bool Named(const char* path) {
  return path == nullptr || path[0] != '\0';
}

}  // namespace

UpdateResult UpdateRun(const char* headerPath, const char* mainPath, const ReportError& report) {
  UpdateResult result;
  ResetBaseDirectory();
  gTagTable.ClearAll();
  try {
    DefineBuiltins();
  } catch (const std::bad_alloc&) {
    return Fail(result, report);
  }
  ClearOutput();

  if (Named(headerPath)) {
    const ReadOutcome read = ReadStep(headerPath);
    if (read == ReadOutcome::kNoMemory) return Fail(result, report);
    if (read == ReadOutcome::kUnread) {
      report(kHeaderReadFailed);
      result.readFailed = true;
    } else if (!ExpandText(nullptr, OutputBuffer, kTextBufferSize)) {
      return Fail(result, report);
    }
  }
  ClearOutput();

  if (Named(mainPath)) {
    const ReadOutcome read = ReadStep(mainPath);
    if (read == ReadOutcome::kNoMemory) return Fail(result, report);
    if (read == ReadOutcome::kUnread) {
      report(kMainReadFailed);
      result.readFailed = true;
      // A short read leaves part of the file; the result of an unread file is empty.
      ClearOutput();
    } else if (!ExpandText(OutputBuffer, OutputBuffer, kTextBufferSize)) {
      return Fail(result, report);
    }
  }

  // The rows are the run's last allocations; without them there is nothing to show.
  try {
    result.rows.emplace_back(kResultRowText);
    for (const TagEntry& entry : gTagTable.entries) {
      if (entry.InUse()) result.rows.emplace_back(entry.name);
    }
  } catch (const std::bad_alloc&) {
    return Fail(result, report);
  }
  result.completed = true;
  return result;
}

}  // namespace morvane
