// The texts of morvane-cli, in English and in Japanese: usage errors, the run's failures with their file
// and cause, and the warnings of --warn. One table serves every build.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "engine/expand.h"
#include "files/text_files.h"
#include "tool/update_run.h"

namespace morvane {

enum class Language : uint8_t { kEnglish, kJapanese };

// The language of the messages; English until a front end says otherwise.
void SetMessageLanguage(Language language);
Language MessageLanguage();

// Whether a locale name (the value of LC_ALL, LC_MESSAGES or LANG) asks for Japanese: it begins with "ja".
bool IsJapaneseLocaleName(const char* name);

enum class MessageId : uint8_t {
  // Usage
  kTryHelp,
  kUnknownOption,
  kAmbiguousOption,
  kOptionNeedsArgument,
  kOptionTakesNoArgument,
  kOptionsExclusive,
  kExpectedTwoFiles,
  kTooManyArguments,
  kBothStandardInput,
  kDefineNeedsValue,
  kDefineBadName,
  kDefineTableFull,
  kDepsNeedTarget,
  kDepsSameFile,
  kEmptyFileName,
  kUnknownCodePage,
  kUnknownEnvironmentCodePage,
  kArgumentNotInCodePage,
  kEpochMalformed,
  kEpochOutOfRange,
  kCannotWriteStandardOutput,
  kNoMemory,
  kOutputIsInput,
  kDepsNameRefused,
  kUnknownWarningClass,
  kWarningClassMissing,
  // A run's failures: FILE and the cause
  kCannotRead,
  kCannotWrite,
  kCannotExpand,
  kWarning,
  kWarningInPass,
  kDefineNeverReferenced,
  kWarningsHidden,
  kWarningHidden,
  kQuoteRunsOnAt,
  kQuoteRunsOnNote,
  kLineAndColumn,
  kNotInCodePage,
  kValidInCodePage,
  kByteOrderMark,
  kByteOrderMarkInValue,
  // --rows
  kNeedsRows,
  kBadJobs,
  kBadShard,
  kRowsStandardInput,
  kUnknownRowsFormat,
  kRowsFormatFromName,
  kFieldGivenByDefine,
  kFieldBadName,
  kFieldDuplicateName,
  kRecordTooManyFields,
  kRecordTooFewFields,
  kRecordUnclosedQuote,
  kRecordOfWarning,
  kRecordFieldTooLarge,
  kRecordNotAnObject,
  kRecordBadJson,
  kRecordNestedValue,
  kRecordNotInCodePage,
  kRecordOutputEmpty,
  kRecordOutputEscapes,
  kRecordOutputTooLong,
  kRecordTableFull,
  kDataCannotRead,
  kRecordOutputTwice,
  kRecordOutputNotFolder,
  kRecordsFailed,
  kRecordsWarnedStrict,
  kRecordsFailedKept,
  kRecordsFailedStreamed,
  kRecordsReplacedSome,
  kFieldNeverReferenced,
  kWorkerLost,
  // --watch
  kWatchStandardInput,
  kWatchNotAFile,
  kWatchNothing,
  kWatchUnavailable,
  kWatchStarted,
  kWatchRerun,
  kCannotReadDatafile,
  kMessageCount
};

// The text of `id` in the current language with {1}, {2}, ... replaced by `arguments`.
std::string FormatMessage(MessageId id, std::initializer_list<std::string> arguments = {});

// The text of `id` in the current language as it stands, its {1}, {2}, ... unfilled; allocates nothing.
const char* MessagePattern(MessageId id);

// Why a file could not be read or written, in the current language.
std::string FileErrorText(FileError error, int systemError, bool writing);

// Why an expansion ended without a result, in the current language.
std::string ExpansionFailureText(const ExpansionFailureRecord& failure);

// The whole message for one message of a run, for `fileName` (the header, main or output file as the user
// named it): "FILE: cannot read: CAUSE" in English; in Japanese the tool's fixed sentence first, then the
// file and the cause.
std::string RunMessageText(const ToolMessage& message, const std::string& fileName);

// The file and the cause of one message of a run, without the tool's fixed sentence: the second line of a
// window's message box, under that sentence.
std::string RunMessageDetail(const ToolMessage& message, const std::string& fileName);

// What a notice of the engine means, in the current language. `suggestion` is the keyword a word that is no
// keyword probably meant, or empty.
std::string NoticeText(const ExpansionNotice& notice, FileError fileError, int systemError);

// 1048575 as "1,048,575".
std::string GroupedNumber(uint64_t number);

}  // namespace morvane
