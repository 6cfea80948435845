// Records of a data file, one document each: CSV (RFC 4180), TSV and JSON Lines, read as a stream so that
// the file may be far larger than a text. Bytes are in the active code page, read by its characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace morvane {

enum class RecordFormat : uint8_t { kCsv, kTsv, kJsonLines };

// "csv", "tsv" or "jsonl" (any letter case). 1 and *format when known.
int RecordFormatFromName(const char* name, RecordFormat* format);
// By the extension of a file's name: .csv, .tsv (or .tab), .jsonl (or .ndjson). 0 when none of them.
int RecordFormatFromPath(const char* path, RecordFormat* format);

struct RecordField {
  std::string name;
  std::string value;
};

struct Record {
  uint64_t line = 0;   // the line of DATA it begins on, from 1
  uint64_t index = 0;  // its place among the records, from 0
  std::vector<RecordField> fields;
};

enum class RecordProblem : uint8_t {
  kNone,
  kBadName,        // a field name that no tag can have (`field`)
  kDuplicateName,  // a field name given twice (`field`)
  kTooManyFields,  // more fields than the first row names (`count`, `expected`)
  kTooFewFields,   // fewer (`count`, `expected`)
  kUnclosedQuote,  // a quoted CSV field open to the end of DATA
  kFieldTooLarge,  // a value of kTextBufferSize bytes or more (`field`)
  kNotAnObject,    // a JSON line that is no object
  kBadJson,        // a JSON line that does not read (`detail`: what was expected)
  kNestedValue,    // an object or an array as a value (`field`)
  kNotInCodePage,  // a \u escape whose character the active code page cannot hold (`field`)
  kReadFailed,     // DATA could not be read (`systemError`)
};

struct RecordError {
  RecordProblem problem = RecordProblem::kNone;
  uint64_t line = 0;
  std::string field;
  std::string detail;
  size_t count = 0;
  size_t expected = 0;
  int systemError = 0;
  uint64_t index = 0;  // a record that could not be read still takes its place among the records
  // Whether no record can follow: the first row's names, or a failed read. Otherwise the reader goes on
  // with the next record.
  bool fatal = false;
};

// Whether a field name can be a tag a template refers to: 1 to 31 bytes, no space and no ']'.
bool UsableFieldName(const std::string& name);

class RecordReader {
 public:
  // Reads up to `size` bytes into `buffer`: the count, 0 at the end, -1 on a failure (then errno tells).
  using Source = std::function<long(char* buffer, size_t size)>;

  RecordReader(RecordFormat format, Source source);

  // 1 with the next record; 0 at the end of DATA; -1 with a problem. After a problem that is not fatal the
  // next call goes on after the record that had it.
  int Next(Record* record, RecordError* error);

 private:
  // The byte at the reading position, or -1 at the end (or after a failed read).
  int Peek();
  int Get();
  bool AtEnd() { return Peek() < 0; }
  // Takes the character at the reading position (two bytes for a lead byte and its partner) into `into`.
  void TakeCharacter(std::string* into);
  void SkipByteOrderMark();

  int NextDelimited(Record* record, RecordError* error);
  int NextJson(Record* record, RecordError* error);
  // Reads one CSV or TSV row into `values`; false at the end of DATA before any byte of a row. *blank tells
  // a line with nothing but its end; *problem a quote left open or a value too large (the `problemField`-th).
  bool ReadRow(std::vector<std::string>* values, bool* blank, RecordProblem* problem, size_t* problemField);
  void SkipToLineEnd();

  RecordFormat format_;
  Source source_;
  std::vector<char> buffer_;
  size_t position_ = 0;
  size_t filled_ = 0;
  bool ended_ = false;
  int readError_ = 0;
  uint64_t line_ = 1;
  uint64_t records_ = 0;
  bool started_ = false;
  std::vector<std::string> names_;  // CSV and TSV: the first row
};

}  // namespace morvane
