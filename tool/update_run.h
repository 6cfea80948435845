// The update run: built-ins, the header's definitions, the main file's expansion, and the rows of the tag
// list.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/builtins.h"
#include "engine/expand.h"
#include "files/text_files.h"

namespace morvane {

inline constexpr const char kResultRowText[] = "（出力結果）";
inline constexpr const char kHeaderReadFailed[] = "ヘッダーファイルの読み込みに失敗しました。";
inline constexpr const char kMainReadFailed[] = "メインファイルの読み込みに失敗しました。";
inline constexpr const char kExpansionFailed[] = "メモリ不足またはオーバーフローが発生しました。";

// The file a run or a save is busy with.
enum class RunFile : uint8_t { kNone, kHeader, kMain, kSaved };

enum class MessageCause : uint8_t { kReadFailed, kExpansionFailed, kWriteFailed, kNoMemory };

// One message of a run or a save. The windows show `text`, the tool's fixed sentence; the command line
// tells the file and the cause.
struct ToolMessage {
  ToolMessage(const char* fixedText, RunFile subject, MessageCause why)
      : text(fixedText), file(subject), cause(why) {}

  const char* text;
  RunFile file = RunFile::kNone;
  MessageCause cause = MessageCause::kExpansionFailed;
  FileError fileError = FileError::kNone;  // for a read or write that failed
  int systemError = 0;                     // behind a FileError::kOther
  ExpansionFailureRecord expansion;        // for a failed expansion
};

// Shows one message to the user and returns when it has been seen.
using ReportError = std::function<void(const ToolMessage& message)>;

// What a front end may add to a run beyond the two paths.
struct RunOptions {
  // Tags defined after the built-ins and before the header, read-only, so that no file can change them, and
  // literal, so that their values come out as they stand (the command line's -D NAME=VALUE, a record's
  // fields). Names and values in the active code page; a later one of the same name wins.
  std::vector<std::pair<std::string, std::string>> definitions;
  // The clock and version readings of the built-ins; read afresh when null.
  const BuiltinReadings* builtins = nullptr;
  // How the header and the main file are read; ReadNamedFile (regular files only) when empty.
  std::function<int(const char* path, char* buffer, uint32_t limit)> readFile;
  // Called with the text of a file that is about to be expanded (header or main, in OutputBuffer), and once
  // its expansion has ended, whatever the outcome.
  std::function<void(RunFile file, const char* text)> beginExpansion;
  std::function<void(RunFile file)> endExpansion;
};

struct UpdateResult {
  bool completed = false;
  std::vector<std::string>
      rows;                 // kResultRowText, then every tag name in table order; empty unless completed
  bool readFailed = false;  // a header or main file could not be read
};

// kTextBufferSize bytes owned by the window (or the command-line tool); holds the last result.
extern char* OutputBuffer;

// Says that every byte of OutputBuffer, as it is now, is zero (fresh memory from calloc): the runs then clear
// only as far as they wrote, instead of the whole buffer each time. A buffer it was not said of is cleared
// whole, so nothing changes for a front end that says nothing. Nothing but the runs may write into the buffer
// after this.
void NoteOutputBufferIsZero();

// Runs one update with the two paths (either may be empty, which skips that file). A path the front end
// could not turn into a file name is passed as nullptr: it is that file's read failure. OutputBuffer must be
// allocated.
UpdateResult UpdateRun(const char* headerPath, const char* mainPath, const ReportError& report,
                       const RunOptions& options = RunOptions());

}  // namespace morvane
