// The update run: a fresh table with the built-ins, the header's definitions, then the main file's expansion.
#include "tool/update_run.h"

#include <cstring>
#include <new>
#include <utility>

#include "engine/builtins.h"
#include "engine/expand.h"
#include "engine/tag_table.h"
#include "files/text_files.h"
#include "text/text.h"

namespace morvane {

char* OutputBuffer = nullptr;

namespace {

// What of OutputBuffer may not be zero: all of it, until a front end says that the memory it gave is zero;
// from then on, as far as the runs wrote into it. Tied to the buffer, so that another one is cleared whole.
const char* gTrackedBuffer = nullptr;
uint32_t gOutputDirty = kTextBufferSize;

// Every byte of OutputBuffer becomes zero: those a run may have written are cleared, the others are already.
void ClearOutput() {
  if (OutputBuffer != gTrackedBuffer) {
    std::memset(OutputBuffer, 0, kTextBufferSize);
    return;
  }
  std::memset(OutputBuffer, 0, gOutputDirty);
  gOutputDirty = 0;
}

// A step of the run wrote into OutputBuffer up to `bytes` from its start.
void NoteOutputWritten(uint32_t bytes) {
  if (OutputBuffer == gTrackedBuffer && bytes > gOutputDirty)
    gOutputDirty = bytes > kTextBufferSize ? kTextBufferSize : bytes;
}

// After a read: as far as the file layer says it wrote, or, from a reader of the front end's own that does
// not say (it writes a text), to the text's terminator.
void NoteRead() {
  if (OutputBuffer != gTrackedBuffer) return;
  const uint32_t extent = LastReadExtent();
  NoteOutputWritten(extent != 0 ? extent
                                : static_cast<uint32_t>(strnlen(OutputBuffer, kTextBufferSize - 1)) + 1);
}

// Ends a run whose expansion failed, or that ran out of memory: the one shared message and an empty result.
UpdateResult Fail(UpdateResult& result, const ReportError& report, RunFile file, MessageCause cause) {
  ToolMessage message{kExpansionFailed, file, cause};
  if (cause == MessageCause::kExpansionFailed) message.expansion = LastExpansionFailure();
  report(message);
  ClearOutput();
  result.completed = false;
  result.rows.clear();
  return result;
}

// The front end's own definitions: read-only tags that no file can change, with literal values that no pass
// reads again. They follow the built-ins in a table cleared for this run, so a name is looked up among the
// entries made so far alone, and a new one takes the next entry.
void DefineGiven(const std::vector<std::pair<std::string, std::string>>& definitions) {
  int used = kBuiltinCount;
  for (const auto& [name, value] : definitions) {
    TagEntry* entry = gTagTable.FindAmongFirst(name.c_str(), used);
    if (entry == nullptr) {
      if (used == kTagCapacity) continue;  // a full table takes no more, as Define would refuse it
      entry = &gTagTable.entries[used++];
      TagTable::Create(entry, name.c_str());
    }
    entry->SetData(value.data(), static_cast<uint32_t>(value.size()));
    entry->flags |= TAG_READONLY | TAG_LITERAL;
  }
}

enum class ReadOutcome : uint8_t { kRead, kUnread, kNoMemory };

// Header or main file: BaseDirectory becomes its directory, then the file is read into OutputBuffer. The
// path is opened as given (relative to the working directory or absolute), never joined to BaseDirectory;
// a path that no path buffer can hold, or a file the front end could not name (nullptr), is not opened.
// Converting the path can run out of memory, which ends the run as a failed expansion would.
ReadOutcome ReadStep(const char* path, const RunOptions& options) {
  if (path == nullptr) return ReadOutcome::kUnread;
  if (std::strlen(path) >= kPathBufferSize) {
    ReadNamedFile(path, OutputBuffer, kTextBufferSize);  // tells LastFileError why
    NoteRead();
    return ReadOutcome::kUnread;
  }
  SetBaseDirectory(path);
  ResetReadExtent();
  try {
    const int read = options.readFile ? options.readFile(path, OutputBuffer, kTextBufferSize)
                                      : ReadNamedFile(path, OutputBuffer, kTextBufferSize);
    NoteRead();
    return read ? ReadOutcome::kRead : ReadOutcome::kUnread;
  } catch (const std::bad_alloc&) {
    NoteOutputWritten(kTextBufferSize);
    return ReadOutcome::kNoMemory;
  }
}

enum class StepOutcome : uint8_t { kDone, kExpansionFailed, kNoMemory };

// One file of the run, header or main: read, then expanded (the main file into OutputBuffer, the header
// for its definitions only). An empty path skips it; an unread file is reported and leaves OutputBuffer
// empty.
StepOutcome FileStep(const char* path, RunFile file, UpdateResult& result, const ReportError& report,
                     const RunOptions& options) {
  if (path != nullptr && path[0] == '\0') return StepOutcome::kDone;
  const ReadOutcome read = ReadStep(path, options);
  if (read == ReadOutcome::kNoMemory) return StepOutcome::kNoMemory;
  if (read == ReadOutcome::kUnread) {
    ToolMessage message{file == RunFile::kHeader ? kHeaderReadFailed : kMainReadFailed, file,
                        MessageCause::kReadFailed};
    message.fileError = path == nullptr ? FileError::kPathNotNameable : LastFileError();
    message.systemError = LastSystemError();
    report(message);
    result.readFailed = true;
    // A short read leaves part of the file; the result of an unread file is empty.
    ClearOutput();
    return StepOutcome::kDone;
  }
  if (options.beginExpansion) options.beginExpansion(file, OutputBuffer);
  const int expanded =
      ExpandText(file == RunFile::kMain ? OutputBuffer : nullptr, OutputBuffer, kTextBufferSize);
  if (expanded && file == RunFile::kMain) NoteOutputWritten(LastExpansionLength() + 1);
  if (options.endExpansion) options.endExpansion(file);
  return expanded ? StepOutcome::kDone : StepOutcome::kExpansionFailed;
}

}  // namespace

void NoteOutputBufferIsZero() {
  gTrackedBuffer = OutputBuffer;
  gOutputDirty = 0;
}

UpdateResult UpdateRun(const char* headerPath, const char* mainPath, const ReportError& report,
                       const RunOptions& options) {
  UpdateResult result;
  ResetBaseDirectory();
  gTagTable.ClearAll();
  try {
    const BuiltinReadings readings = options.builtins != nullptr ? *options.builtins : ReadBuiltinReadings();
    DefineBuiltinsIntoClearedTable(readings.clock, readings.version);
    DefineGiven(options.definitions);
  } catch (const std::bad_alloc&) {
    return Fail(result, report, RunFile::kNone, MessageCause::kNoMemory);
  }

  for (const auto& [path, file] :
       {std::pair{headerPath, RunFile::kHeader}, std::pair{mainPath, RunFile::kMain}}) {
    ClearOutput();
    const StepOutcome outcome = FileStep(path, file, result, report, options);
    if (outcome == StepOutcome::kExpansionFailed)
      return Fail(result, report, file, MessageCause::kExpansionFailed);
    if (outcome == StepOutcome::kNoMemory) return Fail(result, report, file, MessageCause::kNoMemory);
  }

  // The rows are the run's last allocations; without them there is nothing to show.
  try {
    result.rows.emplace_back(kResultRowText);
    for (const TagEntry& entry : gTagTable.entries) {
      if (entry.InUse()) result.rows.emplace_back(entry.name);
    }
  } catch (const std::bad_alloc&) {
    return Fail(result, report, RunFile::kNone, MessageCause::kNoMemory);
  }
  result.completed = true;
  return result;
}

}  // namespace morvane
