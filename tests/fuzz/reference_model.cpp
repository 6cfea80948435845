#include "tests/fuzz/reference_model.h"

#include <cstring>

namespace morvane::model {

namespace {

// Overflow of a working buffer, or work beyond the budget: the expansion returns 0.
struct Failure {
  const char* reason;
};

// text[i], or the terminator once i reaches the end.
char At(const std::string& text, size_t i) {
  return i < text.size() ? text[i] : '\0';
}

std::string UpToNul(const std::string& text) {
  return text.substr(0, text.find('\0'));
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool Characters::Lead(char byte) const {
  const unsigned char b = static_cast<unsigned char>(byte);
  return doubleByte && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
}

size_t Characters::SignificantLength(const std::string& name) const {
  size_t i = 0;
  while (i < name.size()) {
    if (!Lead(name[i])) {
      i += 1;
    } else if (i + 1 < name.size()) {
      i += 2;
    } else {
      break;
    }
  }
  return i;
}

bool Characters::SameName(const std::string& a, const std::string& b) const {
  const size_t length = SignificantLength(a);
  return SignificantLength(b) == length && a.compare(0, length, b, 0, length) == 0;
}

Model::Model(Characters characters, uint32_t bufferSize, Budget budget, FileReader readFile)
    : table(kCapacity),
      characters_(characters),
      bufferSize_(bufferSize),
      budget_(budget),
      readFile_(readFile) {}

int Model::Expand(const std::string& buffer, std::string* result) {
  failed = nullptr;
  keys_.assign(kCapacity, std::string());
  for (size_t i = 0; i < kCapacity; ++i) keys_[i] = Key(table[i].name);
  // A hand-over keeps the text up to its first NUL, and the marks of those bytes.
  auto handOver = [](const Text& out) {
    Text next;
    next.bytes = UpToNul(out.bytes);
    next.literal.assign(out.literal.begin(), out.literal.begin() + static_cast<long>(next.bytes.size()));
    return next;
  };
  try {
    const size_t end = buffer.find('\0');
    if (end == std::string::npos || end >= bufferSize_) throw Failure{"unterminated"};
    Text text;
    text.bytes = buffer.substr(0, end);
    text.literal.assign(end, false);
    uint32_t passes = 0;
    uint64_t bytes = 0;
    uint64_t tags = 0;
    for (;;) {
      Pass pass{text, false};
      RunPass(pass);
      // No tag expression, or only literal brackets: the text stays as it is.
      if (pass.counted == 0) break;
      ++passes;
      Text next = handOver(pass.out);
      // Nothing defined and nothing changed: every further pass would do the same.
      if (pass.definitions == 0 && next.bytes == text.bytes && next.literal == text.literal)
        throw Failure{"unchanged"};
      if (passes == budget_.passes) throw Failure{"passes"};
      bytes += text.bytes.size() + pass.reread;
      tags += pass.counted;
      if (bytes > budget_.bytes) throw Failure{"bytes"};
      if (tags > budget_.tags) throw Failure{"tags"};
      text = std::move(next);
    }
    if (result != nullptr) {
      Pass final{text, true};
      RunPass(final);
      *result = UpToNul(final.out.bytes);
    }
    return 1;
  } catch (const Failure& failure) {
    failed = failure.reason;
    return 0;
  }
}

void Model::RunPass(Pass& pass) {
  const Text& whole = pass.whole;
  size_t i = 0;
  while (i < whole.bytes.size()) {
    if (whole.literal[i]) {
      Put(pass, whole.bytes.substr(i, 1), true);
      ++i;
      continue;
    }
    size_t end = i;
    while (end < whole.bytes.size() && !whole.literal[end]) ++end;
    const std::string segment = whole.bytes.substr(i, end - i);
    pass.in = &segment;
    RunSegment(pass);
    pass.in = nullptr;
    i = end;
  }
}

void Model::RunSegment(Pass& pass) {
  const std::string& in = *pass.in;
  size_t i = 0;
  while (i < in.size()) {
    const char c = in[i];
    if (c == '[') {
      const Outcome outcome = Tag(pass, i);
      ++pass.handed;
      if (outcome != Outcome::kLiteralBracket) ++pass.counted;
      if (outcome == Outcome::kDefinition) ++pass.definitions;
      if (pass.reread > budget_.bytes) throw Failure{"reread"};
    } else if (c == '\\' && At(in, i + 1) == '[') {
      Put(pass, pass.final ? "[" : "\\[");
      i += 2;
    } else {
      const size_t length = characters_.Lead(c) && At(in, i + 1) != '\0' ? 2 : 1;
      Put(pass, in.substr(i, length));
      i += length;
    }
  }
}

Model::Outcome Model::Tag(Pass& pass, size_t& at) {
  const std::string& in = *pass.in;
  const size_t start = at;
  size_t p = start + 1;
  auto literalBracket = [&]() {
    pass.reread += p - start - 1;
    Put(pass, "[");
    at = start + 1;
    return Outcome::kLiteralBracket;
  };

  std::string name;
  while (At(in, p) != ' ' && At(in, p) != ']' && At(in, p) != '\0') {
    if (name.size() == kNameMax) return literalBracket();
    name += in[p];
    ++p;
  }
  while (At(in, p) == ' ') ++p;

  int tag = FindName(name);
  bool definition = false;
  bool valueSet = false;
  int literal = -1;  // what literal= said: -1 nothing, 0 no, 1 yes
  Field field;
  while (At(in, p) != '\0') {
    std::string word;
    bool complete = false;
    for (;;) {
      const char c = At(in, p);
      if (c == '=') {
        ++p;
        complete = true;
        break;
      }
      if (c == ' ' || c == ']' || c == '\0') break;
      word += c;
      ++p;
    }
    if (complete) {
      const bool isData = KeywordIs(word, "data");
      const bool isDatafile = !isData && KeywordIs(word, "datafile");
      const bool isReadonly = !isData && !isDatafile && KeywordIs(word, "readonly");
      const bool known = isData || isDatafile || isReadonly || KeywordIs(word, "loop") ||
                         KeywordIs(word, "min") || KeywordIs(word, "max") || KeywordIs(word, "align") ||
                         KeywordIs(word, "padding") || KeywordIs(word, "literal");
      if (isData || isDatafile || isReadonly) {
        definition = true;
        if (tag < 0) {
          tag = FindFree();
          if (tag < 0) return literalBracket();
          Entry& created = table[static_cast<size_t>(tag)];
          created.inUse = true;
          created.readOnly = false;
          created.name = name;
          keys_[static_cast<size_t>(tag)] = Key(name);
        }
      }
      if (known) {
        const std::string value = Quoted(in, p);
        if (isData) {
          Entry& entry = table[static_cast<size_t>(tag)];
          if (!entry.readOnly) {
            Store(entry, value, value.size());
            valueSet = true;
          }
        } else if (isDatafile) {
          Entry& entry = table[static_cast<size_t>(tag)];
          if (!entry.readOnly) {
            if (fileBuffer_.size() != bufferSize_) fileBuffer_.assign(bufferSize_, '\0');
            // A file must be smaller than the working buffers, which are never larger than a text.
            if (readFile_(value.c_str(), fileBuffer_.data(), bufferSize_)) {
              const std::string text(fileBuffer_.data(), strnlen(fileBuffer_.data(), bufferSize_));
              pass.reread += text.size();
              Store(entry, text, text.size());
              valueSet = true;
            }
          }
        } else if (isReadonly) {
          Entry& entry = table[static_cast<size_t>(tag)];
          if (KeywordIs(value, "yes")) {
            entry.readOnly = true;
          } else if (KeywordIs(value, "no")) {
            entry.readOnly = false;
          }
        } else if (KeywordIs(word, "loop")) {
          field.loop = Number(value);
        } else if (KeywordIs(word, "min")) {
          const uint32_t v = Number(value);
          field.min = v <= field.max ? v : field.max;
        } else if (KeywordIs(word, "max")) {
          const uint32_t v = Number(value);
          field.max = v >= field.min ? v : field.min;
        } else if (KeywordIs(word, "align")) {
          if (KeywordIs(value, "left")) field.align = 'l';
          if (KeywordIs(value, "center")) field.align = 'c';
          if (KeywordIs(value, "right")) field.align = 'r';
        } else if (KeywordIs(word, "literal")) {
          if (KeywordIs(value, "yes")) literal = 1;
          if (KeywordIs(value, "no")) literal = 0;
        } else if (!value.empty()) {
          field.padding = value[0];
        }
      }
    }
    while (At(in, p) == ' ') ++p;
    if (At(in, p) == ']') {
      ++p;
      break;
    }
  }
  at = p;

  if (tag >= 0 && valueSet) table[static_cast<size_t>(tag)].literal = literal == 1;
  if (tag < 0) return Outcome::kMissing;
  if (definition) return Outcome::kDefinition;
  WriteField(pass, table[static_cast<size_t>(tag)], field);
  return Outcome::kReference;
}

void Model::Put(Pass& pass, const std::string& bytes, bool literal) const {
  // The text and its terminator must fit the working buffer.
  if (pass.out.bytes.size() + bytes.size() > bufferSize_ - 1) throw Failure{"overflow"};
  pass.out.bytes += bytes;
  pass.out.literal.insert(pass.out.literal.end(), bytes.size(), literal);
}

void Model::WriteField(Pass& pass, const Entry& entry, const Field& field) const {
  if (field.loop == 0) return;
  const std::string value = entry.hasValue ? entry.value : std::string();
  const uint64_t length = value.size();
  uint64_t width = length;
  uint64_t left = 0;  // padding bytes before the value
  std::string part = value;
  if (length < field.min) {
    width = field.min;
    if (field.align == 'r') left = field.min - length;
    if (field.align == 'c') left = (field.min - length) / 2;
  } else if (length > field.max) {
    width = field.max;
    uint64_t first = 0;
    if (field.align == 'r') first = length - field.max;
    if (field.align == 'c') first = (length - field.max) / 2;
    part = value.substr(first, field.max);
  }
  if (width == 0) return;
  // Checked before anything is built: min and loop may lie far beyond any buffer.
  if (pass.out.bytes.size() + width * field.loop > bufferSize_ - 1) throw Failure{"overflow"};
  // Read from its first byte, a lead byte of the value's part that has no partner there (it is the part's
  // last byte, or a NUL follows it) becomes a space.
  for (size_t i = 0; i < part.size();) {
    if (!characters_.Lead(part[i])) {
      i += 1;
    } else if (i + 1 < part.size() && part[i + 1] != '\0') {
      i += 2;
    } else {
      part[i] = ' ';
      i += 1;
    }
  }
  const std::string copy =
      std::string(left, field.padding) + part + std::string(width - left - part.size(), field.padding);
  for (uint32_t i = 0; i < field.loop; ++i) Put(pass, copy, entry.literal);
}

void Model::Store(Entry& entry, const std::string& bytes, size_t n) const {
  std::string stored(n, '\0');
  size_t i = 0;
  while (i < n) {
    const char c = At(bytes, i);
    if (c == '\0') break;
    if (characters_.Lead(c)) {
      if (i + 1 == n || At(bytes, i + 1) == '\0') break;
      stored[i] = c;
      stored[i + 1] = bytes[i + 1];
      i += 2;
    } else {
      stored[i] = c;
      i += 1;
    }
  }
  entry.hasValue = true;
  entry.value = stored;
}

std::string Model::Key(const std::string& name) const {
  return name.substr(0, characters_.SignificantLength(name));
}

int Model::FindName(const std::string& name) const {
  const std::string key = Key(name);
  for (size_t i = 0; i < kCapacity; ++i) {
    if (!table[i].inUse || keys_[i].size() != key.size()) continue;
    size_t same = 0;
    while (same < key.size() && keys_[i][same] == key[same]) ++same;
    if (same == key.size()) return static_cast<int>(i);
  }
  return -1;
}

int Model::FindFree() const {
  for (size_t i = 0; i < kCapacity; ++i) {
    if (!table[i].inUse) return static_cast<int>(i);
  }
  return -1;
}

std::string Model::Quoted(const std::string& in, size_t& at) const {
  std::string value;
  if (At(in, at) != '"') return value;
  ++at;
  for (;;) {
    const char c = At(in, at);
    if (c == '\0') break;
    if (c == '"') {
      ++at;
      break;
    }
    if (c == '\\' && At(in, at + 1) == '"') {
      value += '"';
      at += 2;
    } else if (c == '\\') {
      value += '\\';
      at += 1;
    } else if (characters_.Lead(c) && At(in, at + 1) != '\0') {
      value += in.substr(at, 2);
      at += 2;
    } else {
      value += c;
      at += 1;
    }
  }
  return value;
}

bool Model::KeywordIs(const std::string& text, const char* keyword) const {
  std::string folded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (characters_.Lead(text[i])) {
      // A double-byte character matches no keyword; a lone lead byte at the end is the end.
      if (i + 1 < text.size()) return false;
      break;
    }
    folded += AsciiLower(text[i]);
  }
  return folded == keyword;
}

uint32_t Model::Number(const std::string& text) {
  size_t i = 0;
  while (At(text, i) == ' ' || (At(text, i) >= 0x09 && At(text, i) <= 0x0D)) ++i;
  bool negative = false;
  if (At(text, i) == '+' || At(text, i) == '-') {
    negative = At(text, i) == '-';
    ++i;
  }
  uint64_t base = 10;
  if (At(text, i) == '0' && (At(text, i + 1) == 'x' || At(text, i + 1) == 'X')) {
    base = 16;
    i += 2;
  } else if (At(text, i) == '0') {
    base = 8;
  }
  const uint64_t beyond = 0x100000000ull;  // any value above 4294967295
  uint64_t value = 0;
  for (;; ++i) {
    const char c = At(text, i);
    uint64_t digit = 99;
    if (c >= '0' && c <= '9') digit = static_cast<uint64_t>(c - '0');
    if (c >= 'a' && c <= 'z') digit = static_cast<uint64_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'Z') digit = static_cast<uint64_t>(c - 'A' + 10);
    if (digit >= base) break;
    value = value * base + digit;
    if (value > beyond) value = beyond;
  }
  if (value >= beyond) return 0xFFFFFFFFu;
  const uint32_t result = static_cast<uint32_t>(value);
  return negative ? 0u - result : result;
}

}  // namespace morvane::model
