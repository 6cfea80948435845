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
  WarningCollector warnings(
      [&outcome](const std::string& line) {
        outcome.lines.push_back({true, line});
      },
      job.classes);
  const bool listen = job.classes.Any();
  if (listen) {
    warnings.SetGivenTags(given);
    run.beginExpansion = [&](RunFile file, const char* text) {
      warnings.Begin(file == RunFile::kHeader ? job.headerShown : job.mainShown, text, file);
    };
    run.endExpansion = [&](RunFile) { warnings.End(); };
  }
  const ReportError report = [&](const ToolMessage& message) {
    const std::string& name = message.file == RunFile::kHeader ? job.headerShown : job.mainShown;
    outcome.lines.push_back({false, RunMessageText(message, name)});
  };
  // A datafile that exists but cannot be read leaves a result without it, which is never written.
  RunReads reads([&outcome](const UnreadableFile& file) {
    outcome.lines.push_back(
        {false, FormatMessage(MessageId::kCannotReadDatafile,
                              {file.templateName, CodePagePathForMessage(file.path.c_str()),
                               FileErrorText(file.error, file.systemError, false)})});
  });
  run.beginExpansion = [&, listen = run.beginExpansion](RunFile file, const char* text) {
    reads.BeginFile(file == RunFile::kHeader ? job.headerShown : job.mainShown);
    if (listen) listen(file, text);
  };
  const UpdateResult result = UpdateRun(job.header.c_str(), job.main.c_str(), report, run);
  if (listen) {
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
  outcome.status = result.readFailed || reads.UnreadableCount() > 0 ? kExitReadFailed : kExitOk;
  outcome.document = OutputBuffer;
  if (!job.hasPattern) return outcome;
  if (outcome.status != kExitOk) return outcome;

  std::string path;
  const size_t before = warnings.Count();
  if (!PatternPath(job, listen ? &warnings : nullptr, &outcome, &path)) {
    outcome.status = kExitReadFailed;
    return outcome;
  }
  if (job.strict && warnings.Count() > before) {
    outcome.status = kExitWarnings;
    return outcome;
  }
  // No record's file may replace a file the run reads: the templates, DATA, the record's datafiles.
  std::vector<RunInput> inputs = job.inputs;
  inputs.insert(inputs.end(), reads.Read().begin(), reads.Read().end());
  if (const RunInput* input = InputReplacedBy(path.c_str(), inputs)) {
    outcome.lines.push_back(
        {false, FormatMessage(MessageId::kOutputIsInput, {"-o " + outcome.outputShown, input->role})});
    outcome.status = kExitUsage;
    return outcome;
  }
  outcome.stagePath = std::move(path);
  return outcome;
}

void RowsMerger::StageDocument(RecordOutcome* outcome) {
  if (!StageTextFile(outcome->stagePath.c_str(), outcome->document.data(),
                     static_cast<uint32_t>(outcome->document.size()), true, &outcome->staged)) {
    ToolMessage message(kWriteFailed, RunFile::kSaved, MessageCause::kWriteFailed);
    message.fileError = LastFileError();
    message.systemError = LastSystemError();
    outcome->lines.push_back({false, RunMessageText(message, outcome->outputShown)});
    outcome->staged = StagedFile{};
    outcome->status = kExitCannotWrite;
  }
  outcome->document.clear();
}

RowsMerger::RowsMerger(const RowsJob& job, LineSink lines, DocumentSink documents)
    : job_(job), lines_(std::move(lines)), documents_(std::move(documents)) {}

void RowsMerger::Fail(int status) {
  if (Rank(status) < Rank(status_)) status_ = status;
}

namespace {

constexpr int kOffsetBits = 40;
constexpr uint64_t kOffsetMask = (uint64_t{1} << kOffsetBits) - 1;

}  // namespace

uint64_t RowsMerger::NamedBefore(const std::string& key, uint64_t offset) {
  const uint64_t hash = std::hash<std::string>{}(key);
  const uint64_t tag = hash >> kOffsetBits;
  // A spool beyond a terabyte leaves its later names unchecked rather than take more memory.
  if (offset + 1 > kOffsetMask) return 0;
  if (namesUsed_ * 8 >= names_.size() * 7) {
    // Twice the room, every entry placed again by the hash of its name.
    std::vector<uint64_t> old(names_.empty() ? 1024 : names_.size() * 2, 0);
    old.swap(names_);
    namesUsed_ = 0;
    for (const uint64_t stored : old) {
      if (stored == 0) continue;
      const std::string earlierKey = spool_.At((stored & kOffsetMask) - 1).key;
      size_t slot = std::hash<std::string>{}(earlierKey) & (names_.size() - 1);
      while (names_[slot] != 0) slot = (slot + 1) & (names_.size() - 1);
      names_[slot] = stored;
      ++namesUsed_;
    }
  }
  size_t slot = hash & (names_.size() - 1);
  for (; names_[slot] != 0; slot = (slot + 1) & (names_.size() - 1)) {
    if ((names_[slot] >> kOffsetBits) != tag) continue;
    const StagedSpool::Entry earlier = spool_.At((names_[slot] & kOffsetMask) - 1);
    if (earlier.key == key) return earlier.line;
  }
  names_[slot] = (tag << kOffsetBits) | (offset + 1);
  ++namesUsed_;
  return 0;
}

void RowsMerger::Take(RecordOutcome outcome) {
  ++records_;
  if (!outcome.stagePath.empty() && !stopped_) StageDocument(&outcome);
  const std::string at = job_.dataShown + ":" + LineText(outcome.line) + ": ";
  if (!outcome.staged.temporary.empty()) {
    for (std::string& folder : outcome.staged.madeFolders) madeFolders_.push_back(std::move(folder));
    outcome.staged.madeFolders.clear();
    folders_.insert(outcome.staged.folder);
    const uint64_t offset = spool_.Add(StagedSpool::Entry{outcome.line, outcome.outputKey, outcome.staged});
    if (outcome.status != kExitOk) failedLines_.insert(outcome.line);
    // Two records that name one file: both fail, and neither file is written.
    if (outcome.status == kExitOk) {
      const uint64_t earlier = NamedBefore(outcome.outputKey, offset);
      if (earlier != 0) {
        outcome.lines.push_back(
            {false, FormatMessage(MessageId::kRecordOutputTwice, {job_.dataShown, LineText(outcome.line),
                                                                  outcome.outputShown, LineText(earlier)})});
        outcome.status = kExitReadFailed;
        failedLines_.insert(outcome.line);
        if (failedLines_.insert(earlier).second) ++failed_;
      }
    }
  }
  for (const RecordLine& line : outcome.lines) {
    if (line.warning) {
      // A template's warning arises in every record alike: once is enough, with the first record's line.
      if (toldWarnings_.insert(line.text).second) TellWarning(WithRecord(line.text, outcome.line));
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
      // Nobody reads the documents any more: the records that remain would be run for nothing (and DATA
      // may never end).
      stopped_ = true;
      Tell("morvane-cli: " + FormatMessage(MessageId::kCannotWriteStandardOutput));
      Fail(kExitCannotWrite);
    }
  }
  if (outcome.status != kExitOk) {
    ++failed_;
    Fail(outcome.status);
    // A record's file that would replace an input is a mistake of the command, not of the record.
    if (outcome.status == kExitUsage) stopped_ = true;
  }
}

// A template's warning keeps its FILE:LINE:COLUMN form at the front, where editors and problem matchers look
// for it; the record that gave it goes before the class at its end.
std::string RowsMerger::WithRecord(const std::string& warning, uint64_t line) const {
  const std::string record = FormatMessage(MessageId::kRecordOfWarning, {job_.dataShown, LineText(line)});
  const size_t classStart = warning.rfind(" [");
  if (classStart == std::string::npos || warning.back() != ']') return warning + record;
  return warning.substr(0, classStart) + record + warning.substr(classStart);
}

void RowsMerger::TellWarning(const std::string& line) {
  if (job_.warn) {
    Tell(line);
  } else {
    ++untoldWarnings_;
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
  spool_.ForEach([](const StagedSpool::Entry& entry) { DiscardStagedFile(entry.file); });
  spool_.Clear();
  RemoveMadeFolders(madeFolders_);
  madeFolders_.clear();
}

int RowsMerger::Finish() {
  const int status = FinishRecords();
  // Without --warn the run ends with how many warnings it had.
  if (untoldWarnings_ > 0 && !job_.quiet) {
    Tell("morvane-cli: " + (untoldWarnings_ == 1 ? FormatMessage(MessageId::kWarningHidden)
                                                 : FormatMessage(MessageId::kWarningsHidden,
                                                                 {GroupedNumber(untoldWarnings_)})));
  }
  return status;
}

int RowsMerger::FinishRecords() {
  bool warned = false;
  if (!stopped_) {
    std::set<std::string> told;
    for (size_t i = 0; i < job_.definitions.size(); ++i) {
      const std::string& name = job_.definitions[i].first;
      if (!job_.classes.Has(WarningClass::kUnusedDefine) || referenced_.count(name) != 0 ||
          !told.insert(name).second)
        continue;
      TellWarning(
          "morvane-cli: " + FormatMessage(MessageId::kDefineNeverReferenced, {job_.definitionsShown[i]}) +
          " [" + WarningClassName(WarningClass::kUnusedDefine) + "]");
      warned = true;
    }
    for (const std::string& name : fieldNames_) {
      if (!job_.warnUnusedFields || referenced_.count(name) != 0) continue;
      TellWarning("morvane-cli: " +
                  FormatMessage(MessageId::kFieldNeverReferenced,
                                {CodePageTextForMessage(name.c_str()), job_.dataShown}) +
                  " [" + WarningClassName(WarningClass::kUnusedField) + "]");
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
    } else if (job_.hasPattern && !stopped_) {
      // Only the warnings of the whole run (a -D or a field that nothing refers to) stopped the files.
      Tell("morvane-cli: " + FormatMessage(MessageId::kRecordsWarnedStrict, {job_.dataShown}));
    }
    return status_;
  }
  // Every file at once: their contents on disk, then each takes its place.
  uint64_t staged = 0;
  spool_.ForEach([&](const StagedSpool::Entry& entry) { staged += failedLines_.count(entry.line) == 0; });
  uint64_t written = 0;
  bool refused = false;
  auto tellRefused = [&](const std::string& target) {
    refused = true;
    Tell("morvane-cli: " + FormatMessage(MessageId::kRecordsReplacedSome,
                                         {CodePageTextForMessage(target.c_str()),
                                          FileErrorText(LastFileError(), LastSystemError(), true),
                                          GroupedNumber(written), GroupedNumber(staged)}));
  };
  if (staged > 0 && !SyncStagedFolders(std::vector<std::string>(folders_.begin(), folders_.end()))) {
    tellRefused(*folders_.begin());
  }
  spool_.ForEach([&](const StagedSpool::Entry& entry) {
    if (!refused && failedLines_.count(entry.line) == 0) {
      if (CommitStagedFile(entry.file)) {
        ++written;
        return;
      }
      // The file system refused one: the rest are not written either, and the message says how far it got.
      tellRefused(entry.file.target);
    }
    DiscardStagedFile(entry.file);
  });
  spool_.Clear();
  RemoveMadeFolders(madeFolders_);
  if (refused) Fail(kExitCannotWrite);
  if (failed_ > 0) {
    Tell("morvane-cli: " + FormatMessage(!job_.hasPattern     ? MessageId::kRecordsFailedStreamed
                                         : failed_ < records_ ? MessageId::kRecordsFailedKept
                                                              : MessageId::kRecordsFailed,
                                         {job_.dataShown, GroupedNumber(failed_), GroupedNumber(records_)}));
  }
  return status_;
}

StagedSpool::~StagedSpool() {
  if (file_ != nullptr) std::fclose(file_);
}

namespace {

void PutNumber(std::string* bytes, uint64_t value) {
  bytes->append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string* bytes, const std::string& text) {
  PutNumber(bytes, text.size());
  *bytes += text;
}

// Reads what PutNumber and PutText wrote, from a file or from memory.
class SpoolReader {
 public:
  SpoolReader(std::FILE* file, const std::string* memory, uint64_t at)
      : file_(file), memory_(memory), at_(at) {}
  uint64_t Number() {
    uint64_t value = 0;
    Bytes(reinterpret_cast<char*>(&value), sizeof value);
    return value;
  }
  std::string Text() {
    std::string text(Number(), '\0');
    Bytes(text.data(), text.size());
    return text;
  }
  uint64_t At() const { return at_; }

 private:
  void Bytes(char* into, size_t count) {
    if (file_ != nullptr) {
      if (std::fread(into, 1, count, file_) != count) std::memset(into, 0, count);
    } else if (at_ + count <= memory_->size()) {
      std::memcpy(into, memory_->data() + at_, count);
    }
    at_ += count;
  }
  std::FILE* file_;
  const std::string* memory_;
  uint64_t at_;
};

StagedSpool::Entry ReadEntry(SpoolReader& reader) {
  StagedSpool::Entry entry;
  entry.line = reader.Number();
  entry.key = reader.Text();
  entry.file.temporary = reader.Text();
  entry.file.target = reader.Text();
  entry.file.folder = reader.Text();
  return entry;
}

}  // namespace

std::string StagedSpool::Pack(const Entry& entry) const {
  std::string bytes;
  PutNumber(&bytes, entry.line);
  PutText(&bytes, entry.key);
  PutText(&bytes, entry.file.temporary);
  PutText(&bytes, entry.file.target);
  PutText(&bytes, entry.file.folder);
  return bytes;
}

uint64_t StagedSpool::Add(const Entry& entry) {
  if (!fileTried_) {
    fileTried_ = true;
    file_ = std::tmpfile();
  }
  const std::string bytes = Pack(entry);
  const uint64_t offset = size_;
  // Positioned anew only after a read: a seek costs the stream a refill of its buffer from the file.
  if (file_ != nullptr && ((!writing_ && fseeko(file_, static_cast<off_t>(size_), SEEK_SET) != 0) ||
                           std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())) {
    // A spool that cannot grow gives way to memory, with what it held.
    std::string held(size_, '\0');
    std::fflush(file_);
    if (fseeko(file_, 0, SEEK_SET) == 0) held.resize(std::fread(held.data(), 1, size_, file_));
    std::fclose(file_);
    file_ = nullptr;
    memory_ = std::move(held);
  }
  writing_ = file_ != nullptr;
  if (file_ == nullptr) memory_ += bytes;
  size_ += bytes.size();
  return offset;
}

StagedSpool::Entry StagedSpool::At(uint64_t offset) {
  writing_ = false;
  if (file_ != nullptr) {
    std::fflush(file_);
    fseeko(file_, static_cast<off_t>(offset), SEEK_SET);
  }
  SpoolReader reader(file_, &memory_, offset);
  return ReadEntry(reader);
}

void StagedSpool::ForEach(const std::function<void(const Entry&)>& visit) {
  writing_ = false;
  if (file_ != nullptr) {
    std::fflush(file_);
    fseeko(file_, 0, SEEK_SET);
  }
  SpoolReader reader(file_, &memory_, 0);
  while (reader.At() < size_) visit(ReadEntry(reader));
}

void StagedSpool::Clear() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  fileTried_ = false;
  writing_ = false;
  memory_.clear();
  size_ = 0;
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

int OpenRowsData(const RowsJob& job, RowsMerger* merger, FileStream* data) {
  if (data->Open(job.data.c_str())) return 1;
  merger->Stop(FormatMessage(MessageId::kDataCannotRead,
                             {job.dataShown, FileErrorText(LastFileError(), LastSystemError(), false)}),
               kExitReadFailed);
  return 0;
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
