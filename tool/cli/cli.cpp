// morvane-cli: one update run from the command line, for scripts and build systems.
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/builtins.h"
#include "engine/tag_table.h"
#include "files/text_files.h"
#include "text/text.h"
#include "tool/cli/cli_options.h"
#include "tool/cli/cli_platform.h"
#include "tool/cli/dependency_list.h"
#include "tool/cli/rows.h"
#include "tool/cli/run_files.h"
#include "tool/cli/watch.h"
#include "tool/commands.h"
#include "tool/message_text.h"
#include "tool/messages.h"
#include "tool/update_run.h"
#include "tool/warnings.h"

namespace morvane {
namespace {

// One line on standard error: a text of the program (UTF-8 on POSIX) as the terminal shows it.
void PrintLine(const std::string& line) {
  const std::string text = ProgramTextForTerminal(line.c_str());
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

// A message of the run or of the tool itself.
void PrintMessage(const std::string& message) {
  PrintLine("morvane-cli: " + message);
}

int UsageError(const std::string& reason) {
  PrintMessage(reason);
  PrintLine(FormatMessage(MessageId::kTryHelp));
  return kExitUsage;
}

// Selects the active code page: --codepage, else the platform's. 0 with a reason when unknown.
int ChooseCodePage(const CliOptions& options, std::string* reason) {
  if (StartCodePage(options.hasCodePage ? options.codePage.c_str() : nullptr)) return 1;
  const char* environment = std::getenv("MORVANE_CODEPAGE");
  *reason = options.hasCodePage
                ? FormatMessage(MessageId::kUnknownCodePage, {ArgumentForMessage(options.codePage.c_str())})
                : FormatMessage(MessageId::kUnknownEnvironmentCodePage,
                                {ArgumentForMessage(environment != nullptr ? environment : "")});
  return 0;
}

// A build that sets SOURCE_DATE_EPOCH wants the same output every time: a value that cannot be that date is
// an error, not a silent fall-back to the real clock.
int CheckSourceDateEpoch(std::string* reason) {
  const char* value = std::getenv("SOURCE_DATE_EPOCH");
  switch (ClassifySourceDateEpoch(value)) {
    case EpochValue::kUnset:
    case EpochValue::kUsable:
      return 1;
    case EpochValue::kMalformed:
      *reason = FormatMessage(MessageId::kEpochMalformed, {ArgumentForMessage(value)});
      return 0;
    case EpochValue::kOutOfRange:
      *reason = FormatMessage(MessageId::kEpochOutOfRange, {ArgumentForMessage(value)});
      return 0;
  }
  return 1;
}

int ConvertArgument(std::string* argument, std::string* reason) {
  std::string converted;
  if (!ArgumentToCodePage(argument->c_str(), &converted)) {
    *reason = FormatMessage(MessageId::kArgumentNotInCodePage, {ArgumentForMessage(argument->c_str())});
    return 0;
  }
  *argument = converted;
  return 1;
}

// A name that an expression can define and then refer to: at most kTagNameMax bytes, none of them a space
// or ']', which end a name.
bool DefinableName(const std::string& name) {
  return name.size() <= static_cast<size_t>(kTagNameMax) && name.find_first_of(" ]") == std::string::npos;
}

// Paths, the tag name and the definitions arrive in the locale's encoding; the run takes them in the active
// code page.
int ConvertArguments(CliOptions* options, std::string* reason) {
  for (std::string* argument : {&options->headerPath, &options->mainPath, &options->output,
                                &options->valueName, &options->deps, &options->rows}) {
    if (!ConvertArgument(argument, reason)) return 0;
  }
  for (auto& [name, value] : options->definitions) {
    const std::string typed = ArgumentForMessage((name + "=" + value).c_str());
    if (!ConvertArgument(&name, reason) || !ConvertArgument(&value, reason)) return 0;
    if (!DefinableName(name)) {
      *reason = FormatMessage(MessageId::kDefineBadName, {typed});
      return 0;
    }
  }
  return 1;
}

// Every -D must find room in the table besides the built-ins: a definition that would be dropped is refused,
// naming the first that does not fit. `typed` are the definitions as typed, for the message.
int CheckDefinitionsFit(const CliOptions& options, const CliOptions& typed, std::string* reason) {
  constexpr size_t kRoom = static_cast<size_t>(kTagCapacity - kBuiltinCount);
  std::set<std::string> names;
  for (size_t i = 0; i < options.definitions.size(); ++i) {
    if (!names.insert(options.definitions[i].first).second) continue;
    if (names.size() > kRoom) {
      const auto& [name, value] = typed.definitions[i];
      *reason = FormatMessage(MessageId::kDefineTableFull,
                              {ArgumentForMessage((name + "=" + value).c_str()), std::to_string(kRoom)});
      return 0;
    }
  }
  return 1;
}

// The given names in the active code page, each once, in the order first given.
std::vector<std::string> GivenNames(const CliOptions& options) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const auto& definition : options.definitions) {
    if (seen.insert(definition.first).second) names.push_back(definition.first);
  }
  return names;
}

// The dependency file must not be the result's file: the rules would replace the result. `options` holds
// the paths in the code page, `given` as typed.
int CheckDependencyFile(const CliOptions& options, const CliOptions& given, std::string* reason) {
  if (!options.hasDeps || !options.hasOutput) return 1;
  if (!NamesSameFile(options.deps.c_str(), options.output.c_str())) return 1;
  // A device or a FIFO takes both as it takes everything (--deps /dev/null -o /dev/null).
  FileIdentity deps;
  if (ReadNamedFileIdentity(options.deps.c_str(), &deps) && !deps.regular) return 1;
  *reason = FormatMessage(MessageId::kDepsSameFile, {ArgumentForMessage(given.deps.c_str()),
                                                     ArgumentForMessage(("-o " + given.output).c_str())});
  return 0;
}

// No output may replace a file the run reads (a template replaced by its own expansion, a datafile by make
// rules): checked against HEADER and MAIN before the run, and against every file read after it, before
// anything is written.
int CheckOutputsAreNoInputs(const CliOptions& options, const CliOptions& given,
                            const std::vector<RunInput>& inputs, std::string* reason) {
  const struct {
    bool named;
    const std::string& path;
    std::string role;
  } outputs[] = {{options.hasOutput && !IsStandardStream(options.output), options.output,
                  "-o " + ArgumentForMessage(given.output.c_str())},
                 {options.hasDeps, options.deps, "--deps " + ArgumentForMessage(given.deps.c_str())}};
  for (const auto& output : outputs) {
    if (!output.named) continue;
    if (const RunInput* input = InputReplacedBy(output.path.c_str(), inputs)) {
      *reason = FormatMessage(MessageId::kOutputIsInput, {output.role, input->role});
      return 0;
    }
  }
  return 1;
}

// Writes bytes to standard output; 0 on a failed write, and on any write when the process was started
// without a standard output (the null device stands in for it).
int PrintBytes(const char* bytes, size_t length) {
  if (length == 0) return 1;
  if (StandardStreamWasClosed(StandardStream::kOutput)) return 0;
  return std::fwrite(bytes, 1, length, stdout) == length ? 1 : 0;
}

// The tag list: the result row, then every tag name in table order, one per line.
int PrintTags(const UpdateResult& result) {
  const std::string resultRow = ProgramTextForCodePage(kResultRowText);
  int ok = PrintBytes(resultRow.data(), resultRow.size());
  ok &= PrintBytes("\n", 1);
  for (size_t i = 1; i < result.rows.size(); ++i) {
    ok &= PrintBytes(result.rows[i].data(), result.rows[i].size());
    ok &= PrintBytes("\n", 1);
  }
  return ok;
}

// The out-of-memory message in the terminal's encoding, made at start-up so that telling it needs no memory.
char gNoMemoryText[256] = "";

void PrepareNoMemoryText() {
  // Should the conversion below run out of memory itself, the message in the program's own encoding.
  std::snprintf(gNoMemoryText, sizeof gNoMemoryText, "morvane-cli: %s\n",
                MessagePattern(MessageId::kNoMemory));
  try {
    const std::string text =
        ProgramTextForTerminal(("morvane-cli: " + FormatMessage(MessageId::kNoMemory)).c_str());
    std::snprintf(gNoMemoryText, sizeof gNoMemoryText, "%s\n", text.c_str());
  } catch (const std::bad_alloc&) {
  }
}

int ReportNoMemory() {
  std::fputs(gNoMemoryText, stderr);
  return kExitNotCompleted;
}

bool ResultToStandardOutput(const CliOptions& options) {
  return !options.hasOutput || IsStandardStream(options.output);
}

// What the run prints on standard output: the tag list, a tag's value, or the result. Sets *noSuchTag when
// --value names no tag. 0 when standard output cannot be written.
int PrintListing(const CliOptions& options, const UpdateResult& result, bool* noSuchTag) {
  int printed = 1;
  if (options.tags) {
    printed = PrintTags(result);
  } else if (options.hasValue) {
    const TagEntry* entry = gTagTable.Find(options.valueName.c_str());
    *noSuchTag = entry == nullptr;
    if (entry != nullptr && entry->data != nullptr)
      printed = PrintBytes(entry->data, std::strlen(entry->data));
  } else if (ResultToStandardOutput(options)) {
    printed = PrintBytes(OutputBuffer, std::strlen(OutputBuffer));
  }
  return std::fflush(stdout) == 0 && printed;
}

// Owns OutputBuffer for one run.
// Zero memory from the system: no page of it is touched until a run writes there, and the runs clear only
// what they wrote.
class OutputBufferScope {
 public:
  OutputBufferScope() : buffer_(static_cast<char*>(std::calloc(kTextBufferSize, 1))) {
    OutputBuffer = buffer_.get();
    if (OutputBuffer != nullptr) NoteOutputBufferIsZero();
  }
  ~OutputBufferScope() { OutputBuffer = nullptr; }
  OutputBufferScope(const OutputBufferScope&) = delete;
  OutputBufferScope& operator=(const OutputBufferScope&) = delete;
  bool Allocated() const { return buffer_ != nullptr; }

 private:
  struct Free {
    void operator()(char* buffer) const { std::free(buffer); }
  };
  std::unique_ptr<char, Free> buffer_;
};

// The files of the run as the user named them, for messages.
struct FileNames {
  std::string header;
  std::string main;
  std::string output;

  const std::string& For(RunFile file) const {
    static const std::string kNone;
    switch (file) {
      case RunFile::kHeader:
        return header;
      case RunFile::kMain:
        return main;
      case RunFile::kSaved:
        return output;
      case RunFile::kNone:
        break;
    }
    return kNone;
  }
};

int RunOnce(const CliOptions& options, const CliOptions& given, const FileNames& names);

// The line that ends a run whose warnings were counted but not told, as the terminal shows it; empty when
// there were none.
std::string UntoldWarningsLine(size_t count) {
  if (count == 0) return "";
  const std::string text = count == 1 ? FormatMessage(MessageId::kWarningHidden)
                                      : FormatMessage(MessageId::kWarningsHidden, {GroupedNumber(count)});
  return ProgramTextForTerminal(("morvane-cli: " + text).c_str()) + "\n";
}

// Reads HEADER or MAIN once for every record of --rows. 0 after telling why it could not be read.
int ReadTemplate(const std::string& path, RunFile file, const std::string& shown, std::string* text) {
  if (path.empty()) return 1;
  if (!ReadNamedStream(path.c_str(), OutputBuffer, kTextBufferSize)) {
    ToolMessage message(file == RunFile::kHeader ? kHeaderReadFailed : kMainReadFailed, file,
                        MessageCause::kReadFailed);
    message.fileError = LastFileError();
    message.systemError = LastSystemError();
    PrintMessage(RunMessageText(message, shown));
    return 0;
  }
  *text = OutputBuffer;
  return 1;
}

// --rows DATA: a run per record, as RunRows makes them. `options` holds the paths in the code page,
// `given` as typed.
int RunRowsCommand(const CliOptions& options, const CliOptions& given) {
  RowsJob job;
  job.data = options.rows;
  job.dataShown = ArgumentForMessage(given.rows.c_str());
  if (options.hasRowsFormat ? !RecordFormatFromName(options.rowsFormat.c_str(), &job.format)
                            : !RecordFormatFromPath(options.rows.c_str(), &job.format)) {
    return UsageError(options.hasRowsFormat ? FormatMessage(MessageId::kUnknownRowsFormat,
                                                            {ArgumentForMessage(given.rowsFormat.c_str())})
                                            : FormatMessage(MessageId::kRowsFormatFromName, {job.dataShown}));
  }
  job.header = options.headerPath;
  job.main = options.mainPath;
  job.headerShown = ArgumentForMessage(given.headerPath.c_str());
  job.mainShown = ArgumentForMessage(given.mainPath.c_str());
  job.definitions = options.definitions;
  for (const auto& [name, value] : given.definitions)
    job.definitionsShown.push_back(ArgumentForMessage(name.c_str()));
  job.hasPattern = options.hasOutput && !IsStandardStream(options.output);
  job.pattern = options.output;
  job.warn = options.warn;
  job.strict = options.strict;
  job.quiet = options.quiet;
  job.classes = options.warnings;
  job.warnUnusedFields = options.warnings.Has(WarningClass::kUnusedField);
  job.keepGoing = options.keepGoing;
  job.shardIndex = options.shardIndex;
  job.shardCount = options.shardCount;
  job.jobs = options.hasJobs ? options.jobs : OnlineProcessors();
  AddNamedInput(&job.inputs, "HEADER " + job.headerShown, options.headerPath.c_str());
  AddNamedInput(&job.inputs, "MAIN " + job.mainShown, options.mainPath.c_str());
  AddNamedInput(&job.inputs, "--rows " + job.dataShown, options.rows.c_str());

  OutputBufferScope buffer;
  if (!buffer.Allocated()) return ReportNoMemory();
  FindModuleDirectory();
  ResetBaseDirectory();
  // The templates and the clock once: every record expands the same texts at the same moment.
  if (!ReadTemplate(job.header, RunFile::kHeader, job.headerShown, &job.headerText) ||
      !ReadTemplate(job.main, RunFile::kMain, job.mainShown, &job.mainText)) {
    return kExitReadFailed;
  }
  // The templates passed through the buffer; the records' runs start from a clean one.
  std::memset(OutputBuffer, 0, kTextBufferSize);
  NoteOutputBufferIsZero();
  job.builtins = ReadBuiltinReadings();
  return RunRows(
      job, [](const std::string& line) { PrintLine(line); },
      [](const std::string& document) {
        return PrintBytes(document.data(), document.size()) != 0 && std::fflush(stdout) == 0;
      });
}

int Run(const CliOptions& given) {
  CliOptions options = given;
  std::string reason;
  if (options.hasOutput && IsStandardStream(options.output) && (options.tags || options.hasValue)) {
    return UsageError(
        FormatMessage(MessageId::kOptionsExclusive, {"-o -", options.tags ? "--tags" : "--value"}));
  }
  FileNames names{ArgumentForMessage(options.headerPath.c_str()),
                  ArgumentForMessage(options.mainPath.c_str()), ArgumentForMessage(options.output.c_str())};
  if (!ChooseCodePage(options, &reason) || !CheckSourceDateEpoch(&reason) ||
      !ConvertArguments(&options, &reason)) {
    return UsageError(reason);
  }

  if (!CheckDependencyFile(options, given, &reason) || !CheckDefinitionsFit(options, given, &reason))
    return UsageError(reason);
  if (given.watch) {
    // The runs of --rows read their datafiles in processes of their own, which no watch would hear of.
    if (options.hasRows)
      return UsageError(FormatMessage(MessageId::kOptionsExclusive, {"--watch", "--rows"}));
    if (!CheckWatchable(given, &reason)) return UsageError(reason);
    return WatchRuns(
        given, [&] { return RunOnce(options, given, names); }, PrintMessage);
  }
  if (options.hasRows) return RunRowsCommand(options, given);
  return RunOnce(options, given, names);
}

// One run of the command: `options` holds the paths in the code page, `given` as typed.
int RunOnce(const CliOptions& options, const CliOptions& given, const FileNames& names) {
  std::string reason;
  std::vector<RunInput> inputs;
  AddNamedInput(&inputs, "HEADER " + names.header, options.headerPath.c_str());
  AddNamedInput(&inputs, "MAIN " + names.main, options.mainPath.c_str());
  if (!CheckOutputsAreNoInputs(options, given, inputs, &reason)) return UsageError(reason);

  OutputBufferScope buffer;
  if (!buffer.Allocated()) return ReportNoMemory();
  FindModuleDirectory();
  ResetBaseDirectory();

  // The warnings are counted on every run; --warn tells them.
  const bool show = options.warn;
  WarningCollector warnings(
      [show](const std::string& line) {
        if (show) PrintLine(line);
      },
      options.warnings);
  // A datafile that exists but cannot be read leaves a result without it, which is never saved.
  RunReads reads([](const UnreadableFile& file) {
    PrintMessage(FormatMessage(MessageId::kCannotReadDatafile,
                               {file.templateName, CodePagePathForMessage(file.path.c_str()),
                                FileErrorText(file.error, file.systemError, false)}));
  });
  RunOptions run;
  run.definitions = options.definitions;
  run.readFile = ReadNamedStream;
  if (options.warnings.Any()) {
    warnings.SetGivenTags(GivenNames(options));
    if (options.hasValue) warnings.CountReference(options.valueName);
  }
  run.beginExpansion = [&](RunFile file, const char* text) {
    reads.BeginFile(names.For(file));
    if (options.warnings.Any()) warnings.Begin(names.For(file), text, file);
  };
  run.endExpansion = [&](RunFile) {
    if (options.warnings.Any()) warnings.End();
  };
  const ReportError report = [&names](const ToolMessage& message) {
    PrintMessage(RunMessageText(message, names.For(message.file)));
  };
  const UpdateResult result = UpdateRun(options.headerPath.c_str(), options.mainPath.c_str(), report, run);
  if (!result.completed) {
    if (!show && !options.quiet) std::fputs(UntoldWarningsLine(warnings.Count()).c_str(), stderr);
    return kExitNotCompleted;
  }
  // A -D that nothing refers to is most likely misspelt, in it or in the template.
  if (options.warnings.Has(WarningClass::kUnusedDefine)) {
    for (const std::string& name : warnings.UnreferencedGivenTags()) {
      warnings.TellLine("morvane-cli: " + FormatMessage(MessageId::kDefineNeverReferenced,
                                                        {CodePageTextForMessage(name.c_str())}),
                        WarningClass::kUnusedDefine);
    }
  }
  inputs.insert(inputs.end(), reads.Read().begin(), reads.Read().end());
  if (!CheckOutputsAreNoInputs(options, given, inputs, &reason)) return UsageError(reason);
  // Made now, so that nothing that can run out of memory comes after a file has been written.
  std::string dependencyRule;
  if (options.hasDeps) {
    std::string refused;
    UnusableName why = UnusableName::kNone;
    if (!reads.Dependencies().MakeRule(given.hasDepsTarget ? given.depsTarget : given.output, &dependencyRule,
                                       &refused, &why)) {
      return UsageError(
          FormatMessage(MessageId::kDepsNameRefused,
                        {VisibleName(ArgumentForMessage(refused.c_str())), UnusableNameText(why)}));
    }
  }
  if (options.strict && warnings.Count() > 0) return kExitWarnings;
  const bool readFailed = result.readFailed || reads.UnreadableCount() > 0;
  // Made now, so that telling it needs no memory once a file has been written.
  const std::string untold = show || options.quiet ? "" : UntoldWarningsLine(warnings.Count());
  const auto tellUntold = [&untold](int status) {
    if (!untold.empty()) std::fputs(untold.c_str(), stderr);
    return status;
  };
  CommandState state;
  state.lastRunCompleted = result.completed;
  state.lastRunReadFailed = readFailed;

  bool noSuchTag = false;
  bool cannotWrite = false;
  bool resultWritten = false;
  if (!PrintListing(options, result, &noSuchTag)) {
    PrintMessage(FormatMessage(MessageId::kCannotWriteStandardOutput));
    cannotWrite = true;
  } else if (ResultToStandardOutput(options)) {
    resultWritten = !readFailed;
  }
  // A result that lacks a named file is not saved (status 1 says why).
  if (options.hasOutput && !IsStandardStream(options.output)) {
    const SaveOutcome saved = SaveCommand(state, options.output.c_str(), report);
    if (saved == SaveOutcome::kNoMemory) return ReportNoMemory();
    cannotWrite = cannotWrite || saved == SaveOutcome::kWriteFailed;
    resultWritten = saved == SaveOutcome::kWritten;
  }
  // The dependency file goes with a result that was written, never alone.
  if (options.hasDeps && resultWritten && !WriteTextFile(options.deps.c_str(), dependencyRule.c_str())) {
    ToolMessage message(kWriteFailed, RunFile::kNone, MessageCause::kWriteFailed);
    message.fileError = LastFileError();
    message.systemError = LastSystemError();
    PrintMessage(RunMessageText(message, ArgumentForMessage(given.deps.c_str())));
    cannotWrite = true;
  }
  if (cannotWrite) return tellUntold(kExitCannotWrite);
  if (noSuchTag) return tellUntold(kExitNoSuchTag);
  return tellUntold(readFailed ? kExitReadFailed : kExitOk);
}

// Takes the character set of the locale the environment names, the one part of it the program uses (the
// language of the messages comes from the variables themselves; loading every category cost a dozen file
// opens at each start); 0 when there was not the memory for it. A locale that is not installed leaves the
// "C" locale, as in every program. The C library tells a shortage of memory by ENOMEM, or (loading from its
// archive) by a second try that succeeds.
int TakeEnvironmentLocale() {
  errno = 0;
  if (std::setlocale(LC_CTYPE, "") != nullptr) return 1;
  if (errno == ENOMEM) return 0;
  std::setlocale(LC_CTYPE, "");
  return 1;
}

int Main(int argc, char** argv) {
  CliOptions options;
  std::string error;
  if (!ParseCliArguments(argc - 1, argv + 1, &options, &error)) return UsageError(error);
  if (options.help || options.version) {
    const std::string text =
        options.help ? ProgramTextForTerminal(CliUsage(DocumentsFolder()).c_str()) : std::string(kCliVersion);
    if (PrintBytes(text.data(), text.size()) && std::fflush(stdout) == 0) return kExitOk;
    PrintMessage(FormatMessage(MessageId::kCannotWriteStandardOutput));
    return kExitCannotWrite;
  }
  return Run(options);
}

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) {
  using namespace morvane;
  // First of all, so that no file the program opens (a locale's, a temporary one) takes the number of a
  // standard stream the program was started without.
  ClaimStandardStreams();
  const int localeTaken = TakeEnvironmentLocale();
  PrepareStreams();
  SetMessageLanguage(PreferredMessageLanguage());
  PrepareNoMemoryText();
  // Without its locale the run would read its files in another code page: better no run.
  if (!localeTaken) return ReportNoMemory();
  // Out of memory anywhere ends the run with its message; the result file is written last, so never then.
  try {
    return Main(argc, argv);
  } catch (const std::bad_alloc&) {
    return ReportNoMemory();
  }
}
