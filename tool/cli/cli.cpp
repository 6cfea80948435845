// morvane-cli: one update run from the command line, for scripts and build systems.
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
#include "tool/commands.h"
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
  for (std::string* argument :
       {&options->headerPath, &options->mainPath, &options->output, &options->valueName, &options->deps}) {
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

// The dependency file must not be one of the files of the run: its rules would replace the result or a
// template. `options` holds the paths in the code page, `given` as typed.
int CheckDependencyFile(const CliOptions& options, const CliOptions& given, std::string* reason) {
  if (!options.hasDeps) return 1;
  const struct {
    bool named;
    const std::string& path;
    std::string typed;
  } files[] = {{options.hasOutput, options.output, "-o " + given.output},
               {true, options.headerPath, given.headerPath},
               {true, options.mainPath, given.mainPath}};
  for (const auto& file : files) {
    if (file.named && NamesSameFile(options.deps.c_str(), file.path.c_str())) {
      *reason = FormatMessage(MessageId::kDepsSameFile, {ArgumentForMessage(given.deps.c_str()),
                                                         ArgumentForMessage(file.typed.c_str())});
      return 0;
    }
  }
  return 1;
}

// Writes bytes to standard output; 0 on a failed write.
int PrintBytes(const char* bytes, size_t length) {
  return length == 0 || std::fwrite(bytes, 1, length, stdout) == length ? 1 : 0;
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
  std::snprintf(gNoMemoryText, sizeof gNoMemoryText, "morvane-cli: %s\n", kNoMemory);
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
class OutputBufferScope {
 public:
  OutputBufferScope() : buffer_(new (std::nothrow) char[kTextBufferSize]) { OutputBuffer = buffer_.get(); }
  ~OutputBufferScope() { OutputBuffer = nullptr; }
  OutputBufferScope(const OutputBufferScope&) = delete;
  OutputBufferScope& operator=(const OutputBufferScope&) = delete;
  bool Allocated() const { return buffer_ != nullptr; }

 private:
  std::unique_ptr<char[]> buffer_;
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

  if (!CheckDependencyFile(options, given, &reason)) return UsageError(reason);

  OutputBufferScope buffer;
  if (!buffer.Allocated()) return ReportNoMemory();
  FindModuleDirectory();
  ResetBaseDirectory();

  WarningCollector warnings([](const std::string& line) { PrintLine(line); });
  RunOptions run;
  run.definitions = options.definitions;
  run.readFile = ReadNamedStream;
  if (options.warn) {
    run.beginExpansion = [&](RunFile file, const char* text) { warnings.Begin(names.For(file), text); };
    run.endExpansion = [&](RunFile) { warnings.End(); };
  }
  const ReportError report = [&names](const ToolMessage& message) {
    PrintMessage(RunMessageText(message, names.For(message.file)));
  };
  std::unique_ptr<DependencyList> dependencies;
  if (options.hasDeps) dependencies = std::make_unique<DependencyList>();
  const UpdateResult result = UpdateRun(options.headerPath.c_str(), options.mainPath.c_str(), report, run);
  if (!result.completed) return kExitNotCompleted;
  if (options.strict && warnings.Count() > 0) return kExitWarnings;
  CommandState state;
  state.lastRunCompleted = result.completed;
  state.lastRunReadFailed = result.readFailed;
  // Made now, so that nothing that can run out of memory comes after a file has been written.
  const std::string dependencyRule =
      dependencies ? dependencies->MakeRule(given.hasDepsTarget ? given.depsTarget : given.output) : "";
  dependencies.reset();

  bool noSuchTag = false;
  bool cannotWrite = false;
  bool resultWritten = false;
  if (!PrintListing(options, result, &noSuchTag)) {
    PrintMessage(FormatMessage(MessageId::kCannotWriteStandardOutput));
    cannotWrite = true;
  } else if (ResultToStandardOutput(options)) {
    resultWritten = !result.readFailed;
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
  if (cannotWrite) return kExitCannotWrite;
  if (noSuchTag) return kExitNoSuchTag;
  return result.readFailed ? kExitReadFailed : kExitOk;
}

int Main(int argc, char** argv) {
  CliOptions options;
  std::string error;
  if (!ParseCliArguments(argc - 1, argv + 1, &options, &error)) return UsageError(error);
  if (options.help) {
    const std::string usage = ProgramTextForTerminal(kCliUsage);
    std::fputs(usage.c_str(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitCannotWrite;
  }
  if (options.version) {
    std::fputs(kCliVersion, stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitCannotWrite;
  }
  return Run(options);
}

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) {
  using namespace morvane;
  std::setlocale(LC_ALL, "");
  PrepareStreams();
  SetMessageLanguage(PreferredMessageLanguage());
  PrepareNoMemoryText();
  // Out of memory anywhere ends the run with its message; the result file is written last, so never then.
  try {
    return Main(argc, argv);
  } catch (const std::bad_alloc&) {
    return ReportNoMemory();
  }
}
