// Reading the records of a data file as a stream: CSV as RFC 4180 has it, TSV, and JSON Lines.
#include "tool/records.h"

#include <cerrno>
#include <cstring>
#include <set>

#include "text/code_point.h"
#include "text/text.h"

namespace morvane {

namespace {

constexpr size_t kChunk = 1 << 16;
// A value must fit a text, as every value of a tag does.
constexpr size_t kLargestValue = kTextBufferSize - 1;

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameWord(const char* text, size_t length, const char* word) {
  if (std::strlen(word) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (AsciiLower(text[i]) != word[i]) return false;
  }
  return true;
}

}  // namespace

int RecordFormatFromName(const char* name, RecordFormat* format) {
  const size_t length = std::strlen(name);
  if (SameWord(name, length, "csv")) {
    *format = RecordFormat::kCsv;
  } else if (SameWord(name, length, "tsv")) {
    *format = RecordFormat::kTsv;
  } else if (SameWord(name, length, "jsonl")) {
    *format = RecordFormat::kJsonLines;
  } else {
    return 0;
  }
  return 1;
}

int RecordFormatFromPath(const char* path, RecordFormat* format) {
  const char* dot = std::strrchr(path, '.');
  if (dot == nullptr || std::strpbrk(dot, "/\\") != nullptr) return 0;
  const char* extension = dot + 1;
  const size_t length = std::strlen(extension);
  if (SameWord(extension, length, "tab")) {
    *format = RecordFormat::kTsv;
    return 1;
  }
  if (SameWord(extension, length, "ndjson")) {
    *format = RecordFormat::kJsonLines;
    return 1;
  }
  return RecordFormatFromName(extension, format);
}

bool UsableFieldName(const std::string& name) {
  return !name.empty() && name.size() <= 31 && name.find_first_of(" ]") == std::string::npos &&
         name.find('\0') == std::string::npos;
}

RecordReader::RecordReader(RecordFormat format, Source source)
    : format_(format), source_(std::move(source)), buffer_(kChunk) {}

int RecordReader::Peek() {
  if (position_ == filled_) {
    if (ended_) return -1;
    long got;
    do {
      got = source_(buffer_.data(), buffer_.size());
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
      ended_ = true;
      if (got < 0) readError_ = errno;
      return -1;
    }
    position_ = 0;
    filled_ = static_cast<size_t>(got);
  }
  return static_cast<unsigned char>(buffer_[position_]);
}

int RecordReader::Get() {
  const int c = Peek();
  if (c >= 0) {
    ++position_;
    if (c == '\n') ++line_;
  }
  return c;
}

void RecordReader::TakeCharacter(std::string* into) {
  const int c = Get();
  if (c < 0) return;
  if (into != nullptr) *into += static_cast<char>(c);
  // A lead byte takes its partner, whatever it is but the end: a second byte 0x5C is no backslash.
  if (IsLeadByte(static_cast<unsigned char>(c)) && Peek() >= 0) {
    const int partner = Get();
    if (into != nullptr) *into += static_cast<char>(partner);
  }
}

void RecordReader::SkipByteOrderMark() {
  // The first three bytes, however the source hands them over.
  while (!ended_ && filled_ - position_ < 3) {
    std::memmove(buffer_.data(), buffer_.data() + position_, filled_ - position_);
    filled_ -= position_;
    position_ = 0;
    long got;
    do {
      got = source_(buffer_.data() + filled_, buffer_.size() - filled_);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
      ended_ = true;
      if (got < 0) readError_ = errno;
      break;
    }
    filled_ += static_cast<size_t>(got);
  }
  if (Peek() != 0xEF || filled_ - position_ < 3) return;
  if (static_cast<unsigned char>(buffer_[position_ + 1]) == 0xBB &&
      static_cast<unsigned char>(buffer_[position_ + 2]) == 0xBF) {
    position_ += 3;
  }
}

void RecordReader::SkipToLineEnd() {
  for (int c = Peek(); c >= 0 && c != '\n'; c = Peek()) TakeCharacter(nullptr);
  Get();
}

int RecordReader::Next(Record* record, RecordError* error) {
  *error = RecordError{};
  if (!started_) {
    started_ = true;
    SkipByteOrderMark();
  }
  record->fields.clear();
  const int result =
      format_ == RecordFormat::kJsonLines ? NextJson(record, error) : NextDelimited(record, error);
  // A read that failed ends DATA wherever it stood.
  if (readError_ != 0 && (result >= 0 || !error->fatal)) {
    *error = RecordError{};
    error->problem = RecordProblem::kReadFailed;
    error->line = line_;
    error->systemError = readError_;
    error->fatal = true;
    return -1;
  }
  if (result == 1) record->index = records_++;
  if (result < 0 && !error->fatal) error->index = records_++;
  return result;
}

bool RecordReader::ReadRow(std::vector<std::string>* values, bool* blank, RecordProblem* problem,
                           size_t* problemField) {
  values->clear();
  *problem = RecordProblem::kNone;
  *blank = true;
  if (AtEnd()) return false;
  const char separator = format_ == RecordFormat::kTsv ? '\t' : ',';
  const bool quoting = format_ == RecordFormat::kCsv;
  std::string value;
  bool tooLarge = false;
  auto endValue = [&]() {
    if (tooLarge && *problem == RecordProblem::kNone) {
      *problem = RecordProblem::kFieldTooLarge;
      *problemField = values->size();
    }
    values->push_back(tooLarge ? std::string() : value);
    value.clear();
    tooLarge = false;
  };
  auto take = [&]() {
    TakeCharacter(value.size() < kLargestValue ? &value : nullptr);
    if (value.size() >= kLargestValue) tooLarge = true;
  };
  for (;;) {
    int c = Peek();
    if (c < 0) {
      endValue();
      return true;
    }
    if (c == '\r' || c == '\n') {
      Get();
      if (c == '\r') {
        if (Peek() == '\n') {
          Get();
        } else {
          ++line_;  // a CR alone ends a line too
        }
      }
      endValue();
      return true;
    }
    *blank = false;
    if (quoting && c == '"' && value.empty()) {
      // A quoted value: separators and line breaks inside it are bytes of the value; "" is one quote.
      Get();
      bool closed = false;
      while ((c = Peek()) >= 0) {
        if (c == '"') {
          Get();
          if (Peek() != '"') {
            closed = true;
            break;
          }
        }
        take();
      }
      if (!closed) {
        *problem = RecordProblem::kUnclosedQuote;
        *problemField = values->size();
        endValue();
        return true;
      }
      // What follows a closing quote before the separator joins the value, as common readers have it.
      continue;
    }
    if (c == separator) {
      Get();
      endValue();
      continue;
    }
    take();
  }
}

int RecordReader::NextDelimited(Record* record, RecordError* error) {
  std::vector<std::string> values;
  RecordProblem problem = RecordProblem::kNone;
  size_t problemField = 0;
  bool blank = false;
  for (;;) {
    const uint64_t line = line_;
    if (!ReadRow(&values, &blank, &problem, &problemField)) return 0;
    // An empty line is no record.
    if (blank) continue;
    error->line = line;
    if (problem != RecordProblem::kNone) {
      error->problem = problem;
      if (problemField < names_.size()) error->field = names_[problemField];
      // Without the first row's names no record can be read.
      error->fatal = names_.empty();
      return -1;
    }
    if (names_.empty()) {
      // The first row names the fields: every name must be one a tag can have, and each once.
      std::set<std::string> seen;
      for (const std::string& name : values) {
        const bool usable = UsableFieldName(name);
        if (!usable || !seen.insert(name).second) {
          error->problem = usable ? RecordProblem::kDuplicateName : RecordProblem::kBadName;
          error->field = name;
          error->fatal = true;
          return -1;
        }
      }
      names_ = values;
      continue;
    }
    if (values.size() != names_.size()) {
      error->problem =
          values.size() > names_.size() ? RecordProblem::kTooManyFields : RecordProblem::kTooFewFields;
      error->count = values.size();
      error->expected = names_.size();
      return -1;
    }
    record->line = line;
    for (size_t i = 0; i < values.size(); ++i) record->fields.push_back(RecordField{names_[i], values[i]});
    return 1;
  }
}

namespace {

// One JSON object of a line, read from its bytes. Strings keep the bytes of the code page as they are;
// escapes become characters of it.
class JsonLine {
 public:
  JsonLine(const std::string& text, Record* record, RecordError* error)
      : text_(text), record_(record), error_(error) {}

  bool Read() {
    SkipSpace();
    if (!Take('{')) return Problem(RecordProblem::kNotAnObject, "");
    SkipSpace();
    std::set<std::string> seen;
    if (!Take('}')) {
      for (;;) {
        SkipSpace();
        std::string key;
        if (Peek() != '"') return Problem(RecordProblem::kBadJson, "a key in double quotes");
        if (!String(&key, "")) return false;
        SkipSpace();
        if (!Take(':')) return Problem(RecordProblem::kBadJson, "':' after a key");
        SkipSpace();
        std::string value;
        if (!Value(key, &value)) return false;
        if (!UsableFieldName(key)) {
          error_->field = key;
          return Problem(RecordProblem::kBadName, "");
        }
        if (!seen.insert(key).second) {
          error_->field = key;
          return Problem(RecordProblem::kDuplicateName, "");
        }
        record_->fields.push_back(RecordField{key, value});
        SkipSpace();
        if (Take(',')) continue;
        if (Take('}')) break;
        return Problem(RecordProblem::kBadJson, "',' or '}'");
      }
    }
    SkipSpace();
    if (at_ != text_.size()) return Problem(RecordProblem::kBadJson, "the end of the line after the object");
    return true;
  }

 private:
  int Peek() const { return at_ < text_.size() ? static_cast<unsigned char>(text_[at_]) : -1; }
  bool Take(char c) {
    if (Peek() != static_cast<unsigned char>(c)) return false;
    ++at_;
    return true;
  }
  void SkipSpace() {
    while (Peek() == ' ' || Peek() == '\t' || Peek() == '\r' || Peek() == '\n') ++at_;
  }
  bool Problem(RecordProblem problem, const char* expected) {
    error_->problem = problem;
    error_->detail = expected;
    return false;
  }

  bool Hex4(uint32_t* value) {
    *value = 0;
    for (int i = 0; i < 4; ++i) {
      const int c = Peek();
      uint32_t digit;
      if (c >= '0' && c <= '9') {
        digit = static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        digit = static_cast<uint32_t>(c - 'A' + 10);
      } else {
        return false;
      }
      *value = *value * 16 + digit;
      ++at_;
    }
    return true;
  }

  // A string at a '"': its bytes, by characters of the code page, with the escapes resolved. `key` names
  // the value for a character the code page cannot hold.
  bool String(std::string* out, const std::string& key) {
    ++at_;
    for (;;) {
      const int c = Peek();
      if (c < 0) return Problem(RecordProblem::kBadJson, "a closing '\"'");
      if (c == '"') {
        ++at_;
        break;
      }
      if (c == '\\') {
        ++at_;
        const int e = Peek();
        ++at_;
        switch (e) {
          case '"':
          case '\\':
          case '/':
            *out += static_cast<char>(e);
            break;
          case 'b':
            *out += '\b';
            break;
          case 'f':
            *out += '\f';
            break;
          case 'n':
            *out += '\n';
            break;
          case 'r':
            *out += '\r';
            break;
          case 't':
            *out += '\t';
            break;
          case 'u': {
            uint32_t code = 0;
            if (!Hex4(&code)) return Problem(RecordProblem::kBadJson, "four hexadecimal digits after \\u");
            if (code >= 0xD800 && code <= 0xDBFF && Peek() == '\\' && at_ + 1 < text_.size() &&
                text_[at_ + 1] == 'u') {
              const size_t mark = at_;
              at_ += 2;
              uint32_t low = 0;
              if (Hex4(&low) && low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
              } else {
                at_ = mark;
              }
            }
            if (!AppendCodePoint(code, out)) {
              error_->field = key;
              return Problem(RecordProblem::kNotInCodePage, "");
            }
            break;
          }
          default:
            return Problem(RecordProblem::kBadJson, "an escape of JSON after '\\'");
        }
        continue;
      }
      // A character of the code page, whole: a second byte 0x5C or 0x22 is neither escape nor quote.
      const size_t length = IsLeadByte(static_cast<unsigned char>(c)) && at_ + 1 < text_.size() ? 2 : 1;
      out->append(text_, at_, length);
      at_ += length;
    }
    if (out->size() > kLargestValue) {
      error_->field = key;
      return Problem(RecordProblem::kFieldTooLarge, "");
    }
    return true;
  }

  // A value: a string, a number as written, true and false as those words, null as the empty value.
  bool Value(const std::string& key, std::string* out) {
    const int c = Peek();
    if (c == '"') return String(out, key);
    if (c == '{' || c == '[') {
      error_->field = key;
      return Problem(RecordProblem::kNestedValue, "");
    }
    for (const char* word : {"true", "false", "null"}) {
      const size_t length = std::strlen(word);
      if (text_.compare(at_, length, word) == 0) {
        at_ += length;
        if (word[0] != 'n') *out = word;
        return true;
      }
    }
    // A number, as JSON writes it: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    const size_t start = at_;
    Take('-');
    auto digits = [&]() {
      const size_t from = at_;
      while (Peek() >= '0' && Peek() <= '9') ++at_;
      return at_ > from;
    };
    if (Take('0')) {
      // no more digits after a leading 0
    } else if (!digits()) {
      return Problem(RecordProblem::kBadJson, "a value (a string, a number, true, false or null)");
    }
    if (Take('.') && !digits()) return Problem(RecordProblem::kBadJson, "digits after '.'");
    if (Peek() == 'e' || Peek() == 'E') {
      ++at_;
      if (!Take('+')) Take('-');
      if (!digits()) return Problem(RecordProblem::kBadJson, "digits of an exponent");
    }
    out->assign(text_, start, at_ - start);
    return true;
  }

  const std::string& text_;
  Record* record_;
  RecordError* error_;
  size_t at_ = 0;
};

}  // namespace

int RecordReader::NextJson(Record* record, RecordError* error) {
  std::string line;
  for (;;) {
    if (AtEnd()) return 0;
    const uint64_t number = line_;
    line.clear();
    bool tooLong = false;
    for (int c = Peek(); c >= 0 && c != '\n'; c = Peek()) {
      // A line holds one object of values that each fit a text; beyond some of those it is no record.
      if (line.size() > 4 * kTextBufferSize) {
        tooLong = true;
        TakeCharacter(nullptr);
      } else {
        TakeCharacter(&line);
      }
    }
    Get();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    error->line = number;
    if (tooLong) {
      error->problem = RecordProblem::kFieldTooLarge;
      return -1;
    }
    record->line = number;
    JsonLine json(line, record, error);
    if (!json.Read()) {
      record->fields.clear();
      return -1;
    }
    return 1;
  }
}

}  // namespace morvane
