// One record's run and the merging of the outcomes of all of them, in record order.
#include "tool/cli/rows.h"

#include <cstring>

#include "engine/expand.h"
#include "engine/tag_table.h"
#include "text/text.h"
#include "tool/cli/cli_options.h"
#include "tool/cli/cli_platform.h"
#include "tool/commands.h"
#include "tool/messages.h"
#include "tool/update_run.h"
#include "tool/warnings.h"

namespace morvane {

namespace {

// The working size of the pattern's expansion: a path is far shorter.
constexpr uint32_t kPatternBufferSize = 4096;

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

// A path that names a file from the root (or a drive, or a network share) rather than from a folder.
bool IsAbsolute(const std::string& path) {
  if (path.empty()) return false;
  if (path[0] == '/') return true;
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return true;
  const char c = path[0];
  return path.size() >= 2 && path[1] == ':' && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
}

// Whether a component of the path is "..". Components are split at '/' and at '\' of their own.
bool Climbs(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i <= path.size();) {
    if (i == path.size() || IsSeparator(path[i])) {
      if (path.compare(start, i - start, "..") == 0) return true;
      start = i + 1;
      ++i;
    } else {
      i += static_cast<size_t>(CharLength(path.c_str() + i));
    }
  }
  return false;
}

// One spelling of a path: separators as '/', no empty or "." components.
std::string PathKey(const std::string& path) {
  std::string key;
  if (!path.empty() && IsSeparator(path[0])) key += '/';
  size_t start = 0;
  for (size_t i = 0; i <= path.size();) {
    if (i == path.size() || IsSeparator(path[i])) {
      const std::string component = path.substr(start, i - start);
      if (!component.empty() && component != ".") {
        if (!key.empty() && key.back() != '/') key += '/';
        key += component;
      }
      start = i + 1;
      ++i;
    } else {
      i += static_cast<size_t>(CharLength(path.c_str() + i));
    }
  }
  return key;
}

std::string LineText(uint64_t line) {
  return std::to_string(line);
}

// The names a record's run gives itself: -D, then the record's fields.
std::vector<std::string> GivenNames(const RowsJob& job, const Record& record) {
  std::vector<std::string> names;
  for (const auto& [name, value] : job.definitions) names.push_back(name);
  for (const RecordField& field : record.fields) names.push_back(field.name);
  return names;
}

// Expands the -o pattern with the tags the record's run left: the path of its file, or a problem told in
// `outcome`.
bool PatternPath(const RowsJob& job, WarningCollector* warnings, RecordOutcome* outcome, std::string* path) {
  if (job.pattern.size() >= kPatternBufferSize) {
    outcome->lines.push_back(
        {false, FormatMessage(MessageId::kRecordOutputTooLong, {job.dataShown, LineText(outcome->line)})});
    return false;
  }
  char expanded[kPatternBufferSize];
  if (warnings != nullptr) warnings->Begin("-o", job.pattern.c_str());
  const int ok = ExpandText(expanded, job.pattern.c_str(), kPatternBufferSize);
  if (warnings != nullptr) warnings->End();
  if (!ok) {
    outcome->lines.push_back(
        {false, FormatMessage(MessageId::kRecordOutputTooLong, {job.dataShown, LineText(outcome->line)})});
    return false;
  }
  *path = expanded;
  const std::string shown = CodePageTextForMessage(path->c_str());
  const std::string at = LineText(outcome->line);
  if (path->empty()) {
    outcome->lines.push_back({false, FormatMessage(MessageId::kRecordOutputEmpty, {job.dataShown, at})});
    return false;
  }
  // The pattern says where the files go: a field can neither take them elsewhere nor up.
  if ((IsAbsolute(*path) && !IsAbsolute(job.pattern)) || (Climbs(*path) && !Climbs(job.pattern))) {
    outcome->lines.push_back(
        {false, FormatMessage(MessageId::kRecordOutputEscapes, {job.dataShown, at, shown})});
    return false;
  }
  char formed[kPathBufferSize];
  if (!ResolvePath(path->c_str(), formed)) {
    outcome->lines.push_back({false, FormatMessage(MessageId::kRecordOutputTooLong, {job.dataShown, at})});
    return false;
  }
  outcome->outputShown = shown;
  outcome->outputKey = PathKey(formed);
  return true;
}

// The exit statuses in the order in which one wins over another when several apply.
int Rank(int status) {
  switch (status) {
    case kExitUsage:
      return 0;
    case kExitNotCompleted:
      return 1;
    case kExitCannotWrite:
      return 2;
    case kExitWarnings:
      return 3;
    case kExitNoSuchTag:
      return 4;
    case kExitReadFailed:
      return 5;
    default:
      return 6;
  }
}

}  // namespace

RecordOutcome RunRecord(const RowsJob& job, const Record& record) {
  RecordOutcome outcome;
  outcome.index = record.index;
  outcome.line = record.line;

  RunOptions run;
  run.builtins = &job.builtins;
  run.definitions = job.definitions;
  for (const RecordField& field : record.fields) run.definitions.emplace_back(field.name, field.value);
  // The templates were read once; every record expands the same texts.
  run.readFile = [&job](const char* path, char* buffer, uint32_t limit) {
    const std::string& text = std::strcmp(path, job.header.c_str()) == 0 ? job.headerText : job.mainText;
    if (text.size() >= limit) return 0;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 1;
  };
  const std::vector<std::string> given = GivenNames(job, record);
  WarningCollector warnings([&outcome](const std::string& line) { outcome.lines.push_back({true, line}); });
  if (job.warn) {
    warnings.SetGivenTags(given);
    run.beginExpansion = [&](RunFile file, const char* text) {
      warnings.Begin(file == RunFile::kHeader ? job.headerShown : job.mainShown, text);
    };
    run.endExpansion = [&](RunFile) { warnings.End(); };
  }
  const ReportError report = [&](const ToolMessage& message) {
    const std::string& name = message.file == RunFile::kHeader ? job.headerShown : job.mainShown;
    outcome.lines.push_back({false, RunMessageText(message, name)});
  };
  const UpdateResult result = UpdateRun(job.header.c_str(), job.main.c_str(), report, run);
  if (job.warn) {
    std::vector<std::string> unreferenced = warnings.UnreferencedGivenTags();
    const std::set<std::string> unused(unreferenced.begin(), unreferenced.end());
    for (const std::string& name : given) {
      if (unused.count(name) == 0) outcome.referenced.push_back(name);
    }
  }
  if (!result.completed) {
    outcome.status = kExitNotCompleted;
    return outcome;
  }
  if (job.strict && warnings.Count() > 0) {
    outcome.status = kExitWarnings;
    return outcome;
  }
  outcome.status = result.readFailed ? kExitReadFailed : kExitOk;
  if (!job.hasPattern) {
    outcome.document = OutputBuffer;
    return outcome;
  }
  if (outcome.status != kExitOk) return outcome;

  std::string path;
  const size_t before = warnings.Count();
  if (!PatternPath(job, job.warn ? &warnings : nullptr, &outcome, &path)) {
    outcome.status = kExitReadFailed;
    return outcome;
  }
  if (job.strict && warnings.Count() > before) {
    outcome.status = kExitWarnings;
    return outcome;
  }
  if (!StageTextFile(path.c_str(), OutputBuffer, static_cast<uint32_t>(std::strlen(OutputBuffer)), true,
                     &outcome.staged)) {
    ToolMessage message(kWriteFailed, RunFile::kSaved, MessageCause::kWriteFailed);
    message.fileError = LastFileError();
    message.systemError = LastSystemError();
    outcome.lines.push_back({false, RunMessageText(message, outcome.outputShown)});
    outcome.staged = StagedFile{};
    outcome.status = kExitCannotWrite;
  }
  return outcome;
}

RowsMerger::RowsMerger(const RowsJob& job, LineSink lines, DocumentSink documents)
    : job_(job), lines_(std::move(lines)), documents_(std::move(documents)) {}

void RowsMerger::Fail(int status) {
  if (Rank(status) < Rank(status_)) status_ = status;
}

void RowsMerger::Take(RecordOutcome outcome) {
  ++records_;
  const std::string at = job_.dataShown + ":" + LineText(outcome.line) + ": ";
  // Two records that name one file: both fail, and neither file is written.
  if (!outcome.outputKey.empty() && outcome.status == kExitOk) {
    const auto [found, added] = outputs_.emplace(outcome.outputKey, outcome.line);
    if (!added) {
      outcome.lines.push_back({false, FormatMessage(MessageId::kRecordOutputTwice,
                                                    {job_.dataShown, LineText(outcome.line),
                                                     outcome.outputShown, LineText(found->second)})});
      outcome.status = kExitReadFailed;
      const auto earlier = stagedByLine_.find(found->second);
      if (earlier != stagedByLine_.end() && !staged_[earlier->second].failed) {
        staged_[earlier->second].failed = true;
        ++failed_;
      }
    }
  }
  for (const RecordLine& line : outcome.lines) {
    if (line.warning) {
      // A template's warning arises in every record alike: once is enough, with the first record's line.
      if (toldWarnings_.insert(line.text).second) Tell(at + line.text);
    } else if (line.text.rfind(job_.dataShown + ":", 0) == 0) {
      Tell("morvane-cli: " + line.text);
    } else {
      Tell("morvane-cli: " + at + line.text);
    }
  }
  for (std::string& name : outcome.referenced) referenced_.insert(std::move(name));
  // Standard output takes what the run alone would print: a result that lacks a file too.
  const bool printed = outcome.status == kExitOk || outcome.status == kExitReadFailed;
  if (!job_.hasPattern && printed && !outcome.document.empty()) {
    if (!documentsFailed_ && !documents_(outcome.document)) {
      documentsFailed_ = true;
      Tell("morvane-cli: " + FormatMessage(MessageId::kCannotWriteStandardOutput));
      Fail(kExitCannotWrite);
    }
  }
  if (!outcome.staged.temporary.empty()) {
    stagedByLine_[outcome.line] = staged_.size();
    staged_.push_back(Staged{std::move(outcome.staged), outcome.line, outcome.status != kExitOk});
  }
  if (outcome.status != kExitOk) {
    ++failed_;
    Fail(outcome.status);
  }
}

void RowsMerger::NoteFields(const Record& record) {
  for (const RecordField& field : record.fields) {
    if (fieldSeen_.insert(field.name).second) fieldNames_.push_back(field.name);
  }
}

void RowsMerger::TakeProblem(const RecordError& error) {
  ++records_;
  ++failed_;
  Fail(kExitReadFailed);
  const std::string line = LineText(error.line);
  const std::string field = CodePageTextForMessage(error.field.c_str());
  std::string text;
  switch (error.problem) {
    case RecordProblem::kTooManyFields:
    case RecordProblem::kTooFewFields:
      text =
          FormatMessage(error.problem == RecordProblem::kTooManyFields ? MessageId::kRecordTooManyFields
                                                                       : MessageId::kRecordTooFewFields,
                        {job_.dataShown, line, std::to_string(error.count), std::to_string(error.expected)});
      break;
    case RecordProblem::kUnclosedQuote:
      text = FormatMessage(MessageId::kRecordUnclosedQuote, {job_.dataShown, line});
      break;
    case RecordProblem::kFieldTooLarge:
      text = FormatMessage(MessageId::kRecordFieldTooLarge, {job_.dataShown, line, field});
      break;
    case RecordProblem::kNotAnObject:
      text = FormatMessage(MessageId::kRecordNotAnObject, {job_.dataShown, line});
      break;
    case RecordProblem::kBadJson:
      text = FormatMessage(MessageId::kRecordBadJson, {job_.dataShown, line, error.detail});
      break;
    case RecordProblem::kNestedValue:
      text = FormatMessage(MessageId::kRecordNestedValue, {job_.dataShown, line, field});
      break;
    case RecordProblem::kNotInCodePage:
      text = FormatMessage(MessageId::kRecordNotInCodePage, {job_.dataShown, line, field});
      break;
    case RecordProblem::kBadName:
      text = FormatMessage(MessageId::kFieldBadName, {job_.dataShown, line, field});
      break;
    case RecordProblem::kDuplicateName:
      text = FormatMessage(MessageId::kFieldDuplicateName, {job_.dataShown, line, field});
      break;
    case RecordProblem::kReadFailed:
    case RecordProblem::kNone:
      break;
  }
  Tell("morvane-cli: " + text);
}

void RowsMerger::Stop(const std::string& message, int status) {
  if (!message.empty()) Tell("morvane-cli: " + message);
  stopped_ = true;
  Fail(status);
}

void RowsMerger::DiscardAll() {
  std::vector<const StagedFile*> files;
  for (const Staged& staged : staged_) files.push_back(&staged.file);
  DiscardStagedFiles(files);
  staged_.clear();
  stagedByLine_.clear();
}

int RowsMerger::Finish() {
  bool warned = false;
  if (job_.warn && !stopped_) {
    std::set<std::string> told;
    for (size_t i = 0; i < job_.definitions.size(); ++i) {
      const std::string& name = job_.definitions[i].first;
      if (referenced_.count(name) != 0 || !told.insert(name).second) continue;
      Tell("morvane-cli: " + FormatMessage(MessageId::kDefineNeverReferenced, {job_.definitionsShown[i]}));
      warned = true;
    }
    for (const std::string& name : fieldNames_) {
      if (!job_.warnUnusedFields || referenced_.count(name) != 0) continue;
      Tell("morvane-cli: " + FormatMessage(MessageId::kFieldNeverReferenced,
                                           {CodePageTextForMessage(name.c_str()), job_.dataShown}));
      warned = true;
    }
  }
  if (warned && job_.strict) Fail(kExitWarnings);
  const bool failed = failed_ > 0 || stopped_ || (warned && job_.strict);
  if (failed && (!job_.keepGoing || stopped_ || (warned && job_.strict))) {
    DiscardAll();
    if (failed_ > 0) {
      Tell("morvane-cli: " +
           FormatMessage(job_.hasPattern ? MessageId::kRecordsFailed : MessageId::kRecordsFailedStreamed,
                         {job_.dataShown, GroupedNumber(failed_), GroupedNumber(records_)}));
    }
    return status_;
  }
  // Every file at once: their contents on disk, then each takes its place.
  std::vector<const StagedFile*> files;
  std::vector<const StagedFile*> discarded;
  for (const Staged& staged : staged_) (staged.failed ? discarded : files).push_back(&staged.file);
  size_t written = 0;
  bool refused = false;
  auto tellRefused = [&](const StagedFile& file) {
    refused = true;
    Tell("morvane-cli: " + FormatMessage(MessageId::kRecordsReplacedSome,
                                         {CodePageTextForMessage(file.target.c_str()),
                                          FileErrorText(LastFileError(), LastSystemError(), true),
                                          GroupedNumber(written), GroupedNumber(files.size())}));
  };
  if (!files.empty() && !SyncStagedFiles(files)) tellRefused(*files.front());
  for (const StagedFile* file : files) {
    if (!refused) {
      if (CommitStagedFile(*file)) {
        ++written;
        continue;
      }
      // The file system refused one: the rest are not written either, and the message says how far it got.
      tellRefused(*file);
    }
    discarded.push_back(file);
  }
  DiscardStagedFiles(discarded);
  if (refused) Fail(kExitCannotWrite);
  staged_.clear();
  if (failed_ > 0) {
    Tell("morvane-cli: " +
         FormatMessage(job_.hasPattern ? MessageId::kRecordsFailedKept : MessageId::kRecordsFailedStreamed,
                       {job_.dataShown, GroupedNumber(failed_), GroupedNumber(records_)}));
  }
  return status_;
}

RecordFeed::RecordFeed(const RowsJob& job, RowsMerger* merger, RecordReader::Source source)
    : job_(job), merger_(merger), reader_(job.format, std::move(source)) {}

int RecordFeed::Next(Record* record) {
  constexpr size_t kRoom = static_cast<size_t>(kTagCapacity - kBuiltinCount);
  std::set<std::string> defined;
  for (const auto& [name, value] : job_.definitions) defined.insert(name);
  for (;;) {
    if (merger_->Stopped()) return 0;
    RecordError error;
    const int read = reader_.Next(record, &error);
    if (read == 0) return 0;
    const bool mine = (read > 0 ? record->index : error.index) % job_.shardCount == job_.shardIndex;
    if (read < 0) {
      if (error.fatal) {
        const std::string line = std::to_string(error.line);
        const std::string field = CodePageTextForMessage(error.field.c_str());
        if (error.problem == RecordProblem::kBadName || error.problem == RecordProblem::kDuplicateName) {
          merger_->Stop(
              FormatMessage(error.problem == RecordProblem::kBadName ? MessageId::kFieldBadName
                                                                     : MessageId::kFieldDuplicateName,
                            {job_.dataShown, line, field}),
              kExitUsage);
        } else if (error.problem == RecordProblem::kReadFailed) {
          merger_->Stop(
              FormatMessage(MessageId::kDataCannotRead,
                            {job_.dataShown, FileErrorText(FileError::kOther, error.systemError, false)}),
              kExitReadFailed);
        } else {
          merger_->TakeProblem(error);
          merger_->Stop("", kExitReadFailed);
        }
        return 0;
      }
      if (mine) merger_->TakeProblem(error);
      continue;
    }
    if (!mine) continue;
    // A field that -D gives too would be given twice; a record must leave room for its tags.
    for (const RecordField& field : record->fields) {
      if (defined.count(field.name) != 0) {
        merger_->Stop(
            FormatMessage(MessageId::kFieldGivenByDefine, {job_.dataShown, std::to_string(record->line),
                                                           CodePageTextForMessage(field.name.c_str())}),
            kExitUsage);
        return 0;
      }
    }
    if (defined.size() + record->fields.size() > kRoom) {
      merger_->Stop(FormatMessage(MessageId::kRecordTableFull,
                                  {job_.dataShown, std::to_string(record->line), std::to_string(kRoom)}),
                    kExitUsage);
      return 0;
    }
    merger_->NoteFields(*record);
    return 1;
  }
}

void RunRecordsHere(const RowsJob& job, RowsMerger* merger, RecordFeed* feed,
                    const std::function<bool()>& interrupted) {
  // Asked now and then rather than after every record: a record takes microseconds, asking a system call.
  constexpr unsigned kRecordsBetweenQuestions = 32;
  Record record;
  for (unsigned done = 0; (done % kRecordsBetweenQuestions != 0 || !interrupted()) && feed->Next(&record);
       ++done) {
    merger->Take(RunRecord(job, record));
  }
}

}  // namespace morvane
