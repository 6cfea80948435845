// morvane-cli: one update run from the command line, for scripts and build systems.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "engine/builtins.h"
#include "engine/tag_table.h"
#include "engine/text.h"
#include "files/text_files.h"
#include "tool/cli/cli_options.h"
#include "tool/cli/cli_platform.h"
#include "tool/commands.h"
#include "tool/update_run.h"

namespace morvane {
namespace {

// A message of the run or of the tool itself, one line on standard error.
void PrintMessage(const char* message) {
  const std::string text = ProgramTextForTerminal(message);
  std::fprintf(stderr, "morvane-cli: %s\n", text.c_str());
  std::fflush(stderr);
}

int UsageError(const std::string& reason) {
  PrintMessage(reason.c_str());
  std::fputs("Try 'morvane-cli --help' for more information.\n", stderr);
  return kExitUsage;
}

// Selects the active code page: --codepage, else the platform's. 0 with a reason when unknown.
int ChooseCodePage(const CliOptions& options, std::string* reason) {
  if (StartCodePage(options.hasCodePage ? options.codePage.c_str() : nullptr)) return 1;
  *reason = options.hasCodePage ? "unknown code page '" + options.codePage + "'"
                                : std::string("MORVANE_CODEPAGE names an unknown code page");
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
      *reason = std::string("SOURCE_DATE_EPOCH='") + value +
                "' is not a number of seconds since 1970-01-01 UTC (decimal digits only)";
      return 0;
    case EpochValue::kOutOfRange:
      *reason = std::string("SOURCE_DATE_EPOCH='") + value + "' is a date beyond the year 65535";
      return 0;
  }
  return 1;
}

int ConvertArgument(std::string* argument, std::string* reason) {
  std::string converted;
  if (!ArgumentToCodePage(argument->c_str(), &converted)) {
    *reason = "'" + *argument + "' cannot be written in the active code page";
    return 0;
  }
  *argument = converted;
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
    const std::string text = ProgramTextForTerminal(kNoMemory);
    std::snprintf(gNoMemoryText, sizeof gNoMemoryText, "morvane-cli: %s\n", text.c_str());
  } catch (const std::bad_alloc&) {
  }
}

int ReportNoMemory() {
  std::fputs(gNoMemoryText, stderr);
  return kExitNotCompleted;
}

// Paths and the tag name arrive in the locale's encoding; the run takes them in the active code page.
int ConvertArguments(CliOptions* options, std::string* reason) {
  return ConvertArgument(&options->headerPath, reason) && ConvertArgument(&options->mainPath, reason) &&
         ConvertArgument(&options->output, reason) && ConvertArgument(&options->valueName, reason);
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
  } else if (!options.hasOutput) {
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

int Run(const CliOptions& given) {
  CliOptions options = given;
  std::string reason;
  if (!ChooseCodePage(options, &reason) || !CheckSourceDateEpoch(&reason) ||
      !ConvertArguments(&options, &reason)) {
    return UsageError(reason);
  }

  OutputBufferScope buffer;
  if (!buffer.Allocated()) return ReportNoMemory();
  FindModuleDirectory();
  ResetBaseDirectory();

  const ReportError report = [](const char* message) { PrintMessage(message); };
  const UpdateResult result = UpdateRun(options.headerPath.c_str(), options.mainPath.c_str(), report);
  if (!result.completed) return kExitNotCompleted;
  CommandState state;
  state.lastRunCompleted = result.completed;
  state.lastRunReadFailed = result.readFailed;

  // Standard output first, the file last: nothing that can run out of memory comes after the file is written.
  bool noSuchTag = false;
  bool cannotWrite = false;
  if (!PrintListing(options, result, &noSuchTag)) {
    PrintMessage("cannot write standard output");
    cannotWrite = true;
  }
  // A result that lacks a named file is not saved (status 1 says why).
  if (options.hasOutput) {
    const SaveOutcome saved = SaveCommand(state, options.output.c_str(), report);
    if (saved == SaveOutcome::kNoMemory) return ReportNoMemory();
    cannotWrite = cannotWrite || saved == SaveOutcome::kWriteFailed;
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
  PrepareNoMemoryText();
  // Out of memory anywhere ends the run with its message; the result file is written last, so never then.
  try {
    return Main(argc, argv);
  } catch (const std::bad_alloc&) {
    return ReportNoMemory();
  }
}
