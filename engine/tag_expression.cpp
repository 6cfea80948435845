// Reading one tag expression: its name, its attributes, and what it does to the table and the output.
#include <cstdio>
#include <cstring>

#include "engine/expand.h"
#include "files/text_files.h"
#include "text/text.h"

namespace morvane {

namespace {

enum class Keyword : uint8_t {
  kData,
  kDatafile,
  kReadonly,
  kLoop,
  kMin,
  kMax,
  kAlign,
  kPadding,
  kLiteral,
  kNone
};

// In the order a word is compared with them.
constexpr const char* kKeywords[] = {"data", "datafile", "readonly", "loop",   "min",
                                     "max",  "align",    "padding",  "literal"};
static_assert(sizeof kKeywords / sizeof kKeywords[0] == static_cast<size_t>(Keyword::kNone));

Keyword MatchKeyword(const char* word) {
  for (int i = 0; i < static_cast<int>(Keyword::kNone); ++i) {
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
  const char* start = nullptr;  // its '['
  const char* name = "";
  bool valueNoticed = false;  // the value being applied was already noticed (unquoted), so it is not again
  bool valueSet = false;      // data or datafile gave the tag a value
  bool valueRefused = false;  // data or datafile met a read-only tag (which is noticed as such)
  // What literal= said, where it said yes or no: the value the expression sets is literal or not.
  enum class LiteralChoice : uint8_t { kUnsaid, kYes, kNo } literal = LiteralChoice::kUnsaid;
  const char* literalAt = nullptr;  // where that literal= value stands, for a notice
  const char* maxAt = nullptr;      // where the max= value stands, for the notice of a cut
};

bool Observed() {
  return gExpansionObserver.notify != nullptr;
}

// The notice of `event` about the byte `at` of the expression, for the observer.
ExpansionNotice MakeNotice(const Expression& expression, ExpansionEvent event, const char* at) {
  ExpansionNotice notice{};
  notice.event = event;
  notice.expression = expression.start;
  notice.at = at;
  notice.pass = gExpansionPass;
  notice.name = expression.name;
  notice.tag = expression.tag;
  notice.literalStop = gExpansionLiteralStop;
  return notice;
}

void Tell(const ExpansionNotice& notice) {
  gExpansionObserver.notify(gExpansionObserver.context, notice);
}

// Tells the observer, when there is one, what the language did with a part of the expression.
void Notify(const Expression& expression, ExpansionEvent event, const char* at, const char* word = nullptr,
            const char* keyword = nullptr, uint32_t number = 0) {
  if (!Observed()) return;
  ExpansionNotice notice = MakeNotice(expression, event, at);
  notice.word = word;
  notice.keyword = keyword;
  notice.number = number;
  Tell(notice);
}

// Whether a number's value reads as what it says: decimal digits without a leading 0 (but "0"), no sign, no
// trailing bytes, at most 4294967295.
bool PlainDecimal(const char* value) {
  const size_t length = std::strlen(value);
  if (length == 0 || length > 10 || (value[0] == '0' && length > 1)) return false;
  for (size_t i = 0; i < length; ++i) {
    if (value[i] < '0' || value[i] > '9') return false;
  }
  return length < 10 || std::strcmp(value, "4294967295") <= 0;
}

// A number's value, noticed when it does not read as plain decimal.
uint32_t ReadNumber(const Expression& expression, const char* keyword, const char* value, const char* at) {
  const uint32_t number = ParseNumber(value);
  if (Observed() && !expression.valueNoticed && !PlainDecimal(value)) {
    Notify(expression, ExpansionEvent::kNumber, at, value, keyword, number);
  }
  return number;
}

// `at` is where the value stands in the pass's input, for notices.
void ApplyValue(Expression& expression, Keyword keyword, const char* value, const char* at, PassOutput& out) {
  FieldSpec& spec = expression.spec;
  TagEntry* tag = expression.tag;
  switch (keyword) {
    case Keyword::kData:
      // A read-only tag keeps its value; the expression is still a definition.
      if (!tag->ReadOnly()) {
        tag->SetData(value, static_cast<uint32_t>(std::strlen(value)));
        expression.valueSet = true;
      } else {
        expression.valueRefused = true;
        Notify(expression, ExpansionEvent::kReadOnly, at, nullptr, "data");
      }
      break;
    case Keyword::kDatafile:
      if (!tag->ReadOnly()) {
        const uint32_t limit = gScratchBufferSize < kTextBufferSize ? gScratchBufferSize : kTextBufferSize;
        // The file replaces its own path in the scratch buffer, so the path is kept for a notice.
        char path[kPathBufferSize] = {};
        if (Observed()) std::snprintf(path, sizeof path, "%s", value);
        if (ReadTextFile(value, ScratchBuffer, limit)) {
          const uint32_t length = static_cast<uint32_t>(std::strlen(ScratchBuffer));
          out.reread += length;
          tag->SetData(ScratchBuffer, length);
          expression.valueSet = true;
          Notify(expression, ExpansionEvent::kDatafileRead, at, path);
        } else {
          Notify(expression, ExpansionEvent::kDatafileUnreadable, at, path);
        }
      } else {
        expression.valueRefused = true;
        Notify(expression, ExpansionEvent::kReadOnly, at, nullptr, "datafile");
      }
      break;
    case Keyword::kReadonly:
      if (KeywordEquals(value, "yes")) {
        tag->flags |= TAG_READONLY;
      } else if (KeywordEquals(value, "no")) {
        tag->flags &= ~TAG_READONLY;
      } else {
        if (!expression.valueNoticed) Notify(expression, ExpansionEvent::kBadChoice, at, value, "readonly");
      }
      break;
    case Keyword::kLoop:
      spec.loop = ReadNumber(expression, "loop", value, at);
      break;
    case Keyword::kMin: {
      const uint32_t v = ReadNumber(expression, "min", value, at);
      spec.min = v <= spec.max ? v : spec.max;
      break;
    }
    case Keyword::kMax: {
      const uint32_t v = ReadNumber(expression, "max", value, at);
      spec.max = v >= spec.min ? v : spec.min;
      expression.maxAt = at;
      break;
    }
    case Keyword::kAlign:
      if (KeywordEquals(value, "left")) {
        spec.align = Align::kLeft;
      } else if (KeywordEquals(value, "center")) {
        spec.align = Align::kCenter;
      } else if (KeywordEquals(value, "right")) {
        spec.align = Align::kRight;
      } else {
        if (!expression.valueNoticed) Notify(expression, ExpansionEvent::kBadChoice, at, value, "align");
      }
      break;
    case Keyword::kPadding:
      if (value[0] != '\0') {
        spec.padding.TakeFirstCharacter(value);
        // Outside utf-8 a field is padded with bytes, so a double-byte character gives only its lead byte.
        if (spec.padding.length < CharLength(value) && !expression.valueNoticed) {
          Notify(expression, ExpansionEvent::kDoubleBytePadding, at, value, "padding");
        }
      }
      break;
    case Keyword::kLiteral:
      if (KeywordEquals(value, "yes")) {
        expression.literal = Expression::LiteralChoice::kYes;
        expression.literalAt = at;
      } else if (KeywordEquals(value, "no")) {
        expression.literal = Expression::LiteralChoice::kNo;
        expression.literalAt = at;
      } else {
        if (!expression.valueNoticed) Notify(expression, ExpansionEvent::kBadChoice, at, value, "literal");
      }
      break;
    case Keyword::kNone:
      break;
  }
}

// The mark of the value that the expression set: literal when it said literal="yes", else not. Where it set
// no value, a literal= it said is ignored; on a read-only tag the notice of the refused value tells it.
void MarkValue(Expression& expression) {
  using LiteralChoice = Expression::LiteralChoice;
  if (expression.valueSet) {
    if (expression.literal == LiteralChoice::kYes) {
      expression.tag->flags |= TAG_LITERAL;
    } else {
      expression.tag->flags &= ~TAG_LITERAL;
    }
  } else if (expression.literal != LiteralChoice::kUnsaid && !expression.valueRefused) {
    Notify(expression, ExpansionEvent::kLiteralIgnored, expression.literalAt,
           expression.literal == LiteralChoice::kYes ? "yes" : "no", "literal");
  }
}

}  // namespace

const char* ParseQuoted(const char* in, char* dest, uint32_t destSize, bool* closed) {
  if (closed != nullptr) *closed = false;
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
      if (closed != nullptr) *closed = true;
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
// stopped and the first kTagNameMax bytes in `name`, when it runs to kTagNameMax + 1 bytes.
bool ReadName(const char*& p, char (&name)[kTagNameMax + 1]) {
  int length = 0;
  while (*p != ' ' && *p != ']' && *p != '\0') {
    if (length == kTagNameMax) {
      name[length] = '\0';
      return false;
    }
    name[length++] = *p++;
  }
  name[length] = '\0';
  return true;
}

// Collects one word at the start of the scratch buffer, up to its '=', and terminates it. true, with p past
// the '=', when a '=' ended it; false, with p on the space, ']' or NUL that did (the word is dropped).
bool ReadWord(const char*& p, char* scratch, uint32_t scratchSize) {
  uint32_t length = 0;
  for (;;) {
    const char c = *p;
    if (c == '=' || c == ' ' || c == ']' || c == '\0') {
      scratch[length] = '\0';
      if (c != '=') return false;
      ++p;
      return true;
    }
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

// Notices for a word that a space or the expression's end dropped: a space before '=' is told as such.
// Returns whether the words that follow (the '=' and its value) belong to that notice.
bool NoticeDroppedWord(const Expression& expression, const char* word, const char* wordStart, const char* p) {
  if (!Observed() || word[0] == '\0') return false;
  const char* next = p;
  while (*next == ' ') ++next;
  if (*p == ' ' && *next == '=') {
    Notify(expression, ExpansionEvent::kSpaceBeforeEquals, wordStart, word);
    return true;
  }
  Notify(expression, ExpansionEvent::kWordWithoutValue, wordStart, word);
  return false;
}

// Notices for the value that follows a keyword's '=' at p, before it is read.
void NoticeValue(const Expression& expression, const char* keyword, const char* p) {
  if (!Observed() || *p == '"') return;
  Notify(expression, *p == ' ' ? ExpansionEvent::kSpaceAfterEquals : ExpansionEvent::kUnquotedValue, p,
         nullptr, keyword);
}

// A closed value that took in a bracket or a line break, where more of a word follows its closing quote at
// once, and a word without '=' (`end` is past that quote): the quote of a later value most likely closed it,
// and what follows is the rest of that value. Attributes written without a space between them ("[b]"min=)
// have their '='. Returns whether it told so; the words that follow are then the remains of that value.
bool NoticeQuoteRunningOn(const Expression& expression, const char* valueStart, const char* end) {
  const char next = *end;
  if (next == ' ' || next == ']' || next == '\0' || next == '\r' || next == '\n' || next == '\t')
    return false;
  for (const char* p = end; *p != ' ' && *p != ']' && *p != '\0'; ++p) {
    if (*p == '=') return false;
  }
  for (const char* p = valueStart + 1; p < end - 1; p += CharLength(p)) {
    if (*p == '[' || *p == ']' || *p == '\n') {
      ExpansionNotice notice = MakeNotice(expression, ExpansionEvent::kQuoteRunsOn, valueStart);
      notice.until = end - 1;
      Tell(notice);
      return true;
    }
  }
  return false;
}

// Reads the attributes from p up to the expression's end (one byte past its ']', or its NUL), each acting at
// once. false, with p where it stopped, when a definition finds the table full. *closed tells whether a ']'
// ended the expression.
bool ReadAttributes(const char*& p, Expression& expression, const char* name, PassOutput& out, bool* closed) {
  char* const scratch = ScratchBuffer;
  const uint32_t scratchSize = gScratchBufferSize;
  // Set while the words read are the remains of a value already noticed (after a word that is no keyword,
  // an unquoted value, a space before '='), which are not noticed once more.
  bool quiet = false;
  *closed = false;
  while (*p != '\0') {
    const char* const wordStart = p;
    if (!ReadWord(p, scratch, scratchSize)) {
      if (!quiet) quiet = NoticeDroppedWord(expression, scratch, wordStart, p);
    } else {
      const Keyword keyword = MatchKeyword(scratch);
      // An unknown word has no value: scanning goes on right after its '='.
      if (keyword == Keyword::kNone) {
        if (!quiet) Notify(expression, ExpansionEvent::kUnknownWord, wordStart, scratch);
        quiet = true;
      } else {
        if (IsDefining(keyword) && !MakeDefinedTag(expression, name)) return false;
        const char* const valueStart = p;
        NoticeValue(expression, kKeywords[static_cast<int>(keyword)], p);
        quiet = *valueStart != '"';
        expression.valueNoticed = quiet;
        bool quoteClosed = false;
        p = ParseQuoted(p, scratch, scratchSize, &quoteClosed);
        if (*valueStart == '"' && !quoteClosed)
          Notify(expression, ExpansionEvent::kUnclosedQuote, valueStart);
        if (quoteClosed && Observed() && NoticeQuoteRunningOn(expression, valueStart, p)) quiet = true;
        ApplyValue(expression, keyword, scratch, valueStart, out);
      }
    }
    while (*p == ' ') ++p;
    if (*p == ']') {
      ++p;
      *closed = true;
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
  char name[kTagNameMax + 1];
  Expression expression;
  expression.start = start;
  expression.name = name;
  auto literalBracket = [&](ExpansionEvent event) {
    Notify(expression, event, start);
    // The pass reads everything scanned here again, from the byte after the '['.
    out.reread += static_cast<uint64_t>(p - start - 1);
    out.Put('[');
    in = start + 1;
    result = TagOutcome::kLiteralBracket;
    return 0;
  };

  if (!ReadName(p, name)) return literalBracket(ExpansionEvent::kLongName);
  while (*p == ' ') ++p;
  expression.tag = gTagTable.Find(name);
  bool closed = false;
  if (!ReadAttributes(p, expression, name, out, &closed)) return literalBracket(ExpansionEvent::kTableFull);
  if (!closed) Notify(expression, ExpansionEvent::kUnclosedExpression, start);
  in = p;

  if (expression.tag == nullptr) {
    Notify(expression, ExpansionEvent::kMissingTag, start, name);
    result = TagOutcome::kMissing;
    return 0;
  }
  MarkValue(expression);
  if (expression.definition) {
    result = TagOutcome::kDefinition;
    return 1;
  }
  if (!Observed()) {
    WriteField(out, *expression.tag, expression.spec);
  } else {
    uint32_t cutLength = 0;
    WriteField(out, *expression.tag, expression.spec, &cutLength);
    if (cutLength != 0) {
      ExpansionNotice notice = MakeNotice(expression, ExpansionEvent::kCut, expression.maxAt);
      notice.number = expression.spec.max;
      notice.length = cutLength;
      Tell(notice);
    }
  }
  if (gExpansionObserver.referenced != nullptr)
    gExpansionObserver.referenced(gExpansionObserver.context, *expression.tag);
  result = TagOutcome::kReference;
  return 1;
}

}  // namespace morvane
