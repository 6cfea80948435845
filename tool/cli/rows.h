// morvane-cli --rows DATA: HEADER and MAIN run once per record of DATA, each run as `morvane-cli -D
// FIELD=VALUE
// ... HEADER MAIN` would run, into files named by an -o pattern or onto standard output in record order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/builtins.h"
#include "files/text_files.h"
#include "tool/cli/run_files.h"
#include "tool/records.h"
#include "tool/warnings.h"

namespace morvane {

// What every record's run shares, made once before the first record.
struct RowsJob {
  std::string data;       // DATA as the file system names it ("-" for standard input), in the code page
  std::string dataShown;  // DATA as typed, for messages
  RecordFormat format = RecordFormat::kCsv;
  std::string header;  // HEADER and MAIN in the code page ("" skips one, as in one run)
  std::string main;
  std::string headerShown;
  std::string mainShown;
  std::string headerText;  // their texts, read once: every record expands the same templates
  std::string mainText;
  bool headerRead = true;  // false: the file could not be read (told once, before the records)
  bool mainRead = true;
  std::vector<std::pair<std::string, std::string>> definitions;  // -D, in the code page
  std::vector<std::string> definitionsShown;                     // their names as typed
  bool hasPattern = false;  // -o PATTERN: a file per record, else the documents go to standard output
  std::string pattern;      // in the code page
  bool warn = false;        // the warnings are told; without, counted in one line at the end (unless quiet)
  bool strict = false;
  bool quiet = false;
  WarningClasses classes = WarningClasses::Defaults();
  bool warnUnusedFields = false;  // a field that no record's run refers to is a warning
  bool keepGoing = false;
  uint64_t shardIndex = 0;
  uint64_t shardCount = 1;
  unsigned jobs = 1;
  BuiltinReadings builtins;  // read once, so that every record shows the same date and time
  // HEADER, MAIN and DATA, which no record's file may replace (nor may it a datafile the record read).
  std::vector<RunInput> inputs;
};

// One line for standard error, from one record's run.
struct RecordLine {
  bool warning = false;  // a warning: told once for all the records that give it
  std::string text;
};

// What one record's run gave.
struct RecordOutcome {
  uint64_t index = 0;
  uint64_t line = 0;
  int status = 0;  // the status the run alone would end with (0 completed cleanly)
  std::vector<RecordLine> lines;
  std::string document;                 // the result
  std::string stagePath;                // with a pattern: the file it goes to, staged by the merger
  StagedFile staged;                    // then the result in a temporary beside that file
  std::string outputShown;              // the file named by the pattern, for messages
  std::string outputKey;                // the same file, spelt one way, to find two records that name it
  std::vector<std::string> referenced;  // names of given tags that the run's expressions referred to
};

// Runs one record in this process: UpdateRun with the job's texts, -D and the record's fields, then the
// pattern. OutputBuffer must be allocated. The file itself is staged by the merger, in the one process that
// writes files: records that make files side by side in one folder contend for it and gain nothing.
RecordOutcome RunRecord(const RowsJob& job, const Record& record);

// The staged files of a run, kept in a temporary file rather than in memory (a run may stage hundreds of
// thousands), each with the line of its record and the name that tells two records' files apart.
class StagedSpool {
 public:
  struct Entry {
    uint64_t line = 0;
    std::string key;
    StagedFile file;
  };
  StagedSpool() = default;
  ~StagedSpool();
  StagedSpool(const StagedSpool&) = delete;
  StagedSpool& operator=(const StagedSpool&) = delete;

  // Adds an entry and returns where it stands.
  uint64_t Add(const Entry& entry);
  // The entry at `offset`, as Add returned it.
  Entry At(uint64_t offset);
  // Every entry, in the order added.
  void ForEach(const std::function<void(const Entry&)>& visit);
  void Clear();

 private:
  std::string Pack(const Entry& entry) const;
  // Where the bytes live: a file without a name, or this string when none could be made.
  std::FILE* file_ = nullptr;
  bool fileTried_ = false;
  bool writing_ = false;  // the stream's last use was a write at its end
  std::string memory_;
  uint64_t size_ = 0;
};

// Where the outcomes meet, in record order, whatever the order they were made in: it tells their lines
// (each warning once), writes the documents to standard output, finds two records that name one file, and in
// the end writes every staged file, or none.
class RowsMerger {
 public:
  using LineSink = std::function<void(const std::string& line)>;
  using DocumentSink = std::function<bool(const std::string& document)>;
  RowsMerger(const RowsJob& job, LineSink lines, DocumentSink documents);

  // One record's outcome, or a record that DATA could not give (a problem of the reader that is not
  // fatal, with its index).
  void Take(RecordOutcome outcome);
  // Stages the document of a record that has a file to go to, in a temporary beside it.
  void StageDocument(RecordOutcome* outcome);
  void TakeProblem(const RecordError& error);
  // The fields of a record as DATA gives it, in DATA's order, whoever runs it.
  void NoteFields(const Record& record);
  // A problem that ends DATA, or a usage error met in it (a field given with -D too): no record after it
  // runs, and no file is written. `status` is the exit status it asks for.
  void Stop(const std::string& message, int status);
  bool Stopped() const { return stopped_; }

  // Ends the run: the warnings about given tags, then every staged file written (when no record failed,
  // or with --keep-going those of the records that succeeded) or removed. Returns the exit status.
  int Finish();

  // The staged files not yet written or removed, for a run that is interrupted.
  void DiscardAll();

 private:
  void Fail(int status);
  int FinishRecords();
  void Tell(const std::string& line) { lines_(line); }
  // A template's warning with the record that gave it.
  std::string WithRecord(const std::string& warning, uint64_t line) const;
  // A warning is told with --warn, else counted for the line that ends the run.
  void TellWarning(const std::string& line);
  // The line of an earlier record whose file has the name `key`, or 0; remembers this one's otherwise.
  uint64_t NamedBefore(const std::string& key, uint64_t offset);

  const RowsJob& job_;
  LineSink lines_;
  DocumentSink documents_;
  std::set<std::string> toldWarnings_;
  uint64_t untoldWarnings_ = 0;
  StagedSpool spool_;
  // The spool offset of each staged file, by a hash of its name, open addressing, eight bytes an entry: the
  // hash's top 24 bits over the offset plus one (0 is no entry). How two records that name one file are
  // found, in little memory; the names themselves decide when two hashes agree.
  std::vector<uint64_t> names_;
  size_t namesUsed_ = 0;
  std::set<uint64_t> failedLines_;  // staged files whose records failed after all
  std::vector<std::string> madeFolders_;
  std::set<std::string> folders_;
  std::set<std::string> referenced_;
  std::vector<std::string> fieldNames_;  // every field name met, in the order first met
  std::set<std::string> fieldSeen_;
  uint64_t records_ = 0;
  uint64_t failed_ = 0;
  int status_ = 0;
  bool stopped_ = false;
  bool documentsFailed_ = false;
};

// The records of the job's shard, read in order from DATA: the problems of DATA go to the merger, and so does
// a usage error met in it (a field that -D gives too, more tags than the table holds), which ends them.
class RecordFeed {
 public:
  RecordFeed(const RowsJob& job, RowsMerger* merger, RecordReader::Source source);
  // 1 with the next record to run; 0 at the end of DATA or once the merger is stopped.
  int Next(Record* record);

 private:
  const RowsJob& job_;
  RowsMerger* merger_;
  RecordReader reader_;
};

// Opens DATA for the job; when it cannot be read, stops the merger with the cause and returns 0.
int OpenRowsData(const RowsJob& job, RowsMerger* merger, FileStream* data);

// Runs every record of the feed in this process, one after the other, until the feed ends or `interrupted`
// says so (asked every few records).
void RunRecordsHere(const RowsJob& job, RowsMerger* merger, RecordFeed* feed,
                    const std::function<bool()>& interrupted);

// Reads DATA and runs every record of the job's shard, on `job.jobs` processes where the platform can, and
// merges them. Returns the exit status.
int RunRows(const RowsJob& job, const RowsMerger::LineSink& lines, const RowsMerger::DocumentSink& documents);

}  // namespace morvane
