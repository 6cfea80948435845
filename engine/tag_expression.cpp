// Reading one tag expression: its name, its attributes, and what it does to the table and the output.
#include <cstring>

#include "engine/expand.h"
#include "engine/text.h"
#include "files/text_files.h"

namespace morvane {

namespace {

enum class Keyword : uint8_t { kData, kDatafile, kReadonly, kLoop, kMin, kMax, kAlign, kPadding, kNone };

// In the order a word is compared with them.
constexpr const char* kKeywords[] = {"data", "datafile", "readonly", "loop",
                                     "min",  "max",      "align",    "padding"};

Keyword MatchKeyword(const char* word) {
  for (int i = 0; i < 8; ++i) {
    if (KeywordEquals(word, kKeywords[i])) return static_cast<Keyword>(i);
  }
  return Keyword::kNone;
}

bool IsDefining(Keyword keyword) {
  return keyword == Keyword::kData || keyword == Keyword::kDatafile || keyword == Keyword::kReadonly;
}

// The state of one expression while its attributes are read.
struct Expression {
  TagEntry* tag = nullptr;
  bool definition = false;
  FieldSpec spec;
};

void ApplyValue(Expression& expression, Keyword keyword, const char* value, PassOutput& out) {
  FieldSpec& spec = expression.spec;
  TagEntry* tag = expression.tag;
  switch (keyword) {
    case Keyword::kData:
      // A read-only tag keeps its value; the expression is still a definition.
      if (!tag->ReadOnly()) tag->SetData(value, static_cast<uint32_t>(std::strlen(value)));
      break;
    case Keyword::kDatafile:
      if (!tag->ReadOnly()) {
        const uint32_t limit = ScratchBufferSize < kTextBufferSize ? ScratchBufferSize : kTextBufferSize;
        // The file replaces its own path in the scratch buffer.
        if (ReadTextFile(value, ScratchBuffer, limit)) {
          const uint32_t length = static_cast<uint32_t>(std::strlen(ScratchBuffer));
          out.reread += length;
          tag->SetData(ScratchBuffer, length);
        }
      }
      break;
    case Keyword::kReadonly:
      if (KeywordEquals(value, "yes")) {
        tag->flags |= TAG_READONLY;
      } else if (KeywordEquals(value, "no")) {
        tag->flags &= ~TAG_READONLY;
      }
      break;
    case Keyword::kLoop:
      spec.loop = ParseNumber(value);
      break;
    case Keyword::kMin: {
      const uint32_t v = ParseNumber(value);
      spec.min = v <= spec.max ? v : spec.max;
      break;
    }
    case Keyword::kMax: {
      const uint32_t v = ParseNumber(value);
      spec.max = v >= spec.min ? v : spec.min;
      break;
    }
    case Keyword::kAlign:
      if (KeywordEquals(value, "left")) {
        spec.align = Align::kLeft;
      } else if (KeywordEquals(value, "center")) {
        spec.align = Align::kCenter;
      } else if (KeywordEquals(value, "right")) {
        spec.align = Align::kRight;
      }
      break;
    case Keyword::kPadding:
      if (value[0] != '\0') spec.padding.TakeFirstCharacter(value);
      break;
    case Keyword::kNone:
      break;
  }
}

}  // namespace

const char* ParseQuoted(const char* in, char* dest, uint32_t destSize) {
  char* const destEnd = dest + destSize - 1;  // the terminator's slot
  auto append = [&](const char* bytes, int count) {
    if (count > destEnd - dest) throw ExpansionOverflow{};
    std::memcpy(dest, bytes, static_cast<size_t>(count));
    dest += count;
  };
  if (*in != '"') {
    *dest = '\0';
    return in;
  }
  ++in;
  for (;;) {
    const char c = *in;
    if (c == '\0') break;
    if (c == '"') {
      ++in;
      break;
    }
    if (c == '\\' && in[1] == '"') {
      append("\"", 1);
      in += 2;
      continue;
    }
    const int length = (c == '\\') ? 1 : CharLength(in);
    append(in, length);
    in += length;
  }
  *dest = '\0';
  return in;
}

namespace {

// Reads the name that follows the '[' at p: bytes up to a space, ']' or NUL. false, with p where the scan
// stopped, when it runs to kTagNameMax + 1 bytes.
bool ReadName(const char*& p, char (&name)[kTagNameMax + 1]) {
  int length = 0;
  while (*p != ' ' && *p != ']' && *p != '\0') {
    if (length == kTagNameMax) return false;
    name[length++] = *p++;
  }
  name[length] = '\0';
  return true;
}

// Collects one word at the start of the scratch buffer, up to its '='. true, with p past the '=', when a
// '=' ended it; false, with p on the space, ']' or NUL that did (the word is dropped).
bool ReadWord(const char*& p, char* scratch, uint32_t scratchSize) {
  uint32_t length = 0;
  for (;;) {
    const char c = *p;
    if (c == '=') {
      scratch[length] = '\0';
      ++p;
      return true;
    }
    if (c == ' ' || c == ']' || c == '\0') return false;
    if (length + 1 >= scratchSize) throw ExpansionOverflow{};
    scratch[length++] = c;
    ++p;
  }
}

// A defining keyword makes the expression's tag when it has none yet: the free entry with the lowest index.
// false when the table is full.
bool MakeDefinedTag(Expression& expression, const char* name) {
  expression.definition = true;
  if (expression.tag != nullptr) return true;
  TagEntry* entry = gTagTable.FindFree();
  if (entry == nullptr) return false;
  TagTable::Create(entry, name);
  expression.tag = entry;
  return true;
}

// Reads the attributes from p up to the expression's end (one byte past its ']', or its NUL), each acting at
// once. false, with p where it stopped, when a definition finds the table full.
bool ReadAttributes(const char*& p, Expression& expression, const char* name, PassOutput& out) {
  char* const scratch = ScratchBuffer;
  const uint32_t scratchSize = ScratchBufferSize;
  while (*p != '\0') {
    if (ReadWord(p, scratch, scratchSize)) {
      const Keyword keyword = MatchKeyword(scratch);
      // An unknown word has no value: scanning goes on right after its '='.
      if (keyword != Keyword::kNone) {
        if (IsDefining(keyword) && !MakeDefinedTag(expression, name)) return false;
        p = ParseQuoted(p, scratch, scratchSize);
        ApplyValue(expression, keyword, scratch, out);
      }
    }
    while (*p == ' ') ++p;
    if (*p == ']') {
      ++p;
      break;
    }
  }
  return true;
}

}  // namespace

int ProcessTag(PassOutput& out, const char*& in, TagOutcome* outcome) {
  TagOutcome ignored;
  TagOutcome& result = outcome != nullptr ? *outcome : ignored;
  const char* const start = in;
  if (*start != '[') {
    result = TagOutcome::kMissing;
    return 0;
  }
  const char* p = start + 1;
  auto literalBracket = [&]() {
    // The pass reads everything scanned here again, from the byte after the '['.
    out.reread += static_cast<uint64_t>(p - start - 1);
    out.Put('[');
    in = start + 1;
    result = TagOutcome::kLiteralBracket;
    return 0;
  };

  char name[kTagNameMax + 1];
  if (!ReadName(p, name)) return literalBracket();
  while (*p == ' ') ++p;
  Expression expression;
  expression.tag = gTagTable.Find(name);
  if (!ReadAttributes(p, expression, name, out)) return literalBracket();
  in = p;

  if (expression.tag == nullptr) {
    result = TagOutcome::kMissing;
    return 0;
  }
  if (expression.definition) {
    result = TagOutcome::kDefinition;
    return 1;
  }
  WriteField(out, *expression.tag, expression.spec);
  result = TagOutcome::kReference;
  return 1;
}

}  // namespace morvane
