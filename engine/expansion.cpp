// The pass loop: copy the text, hand each unescaped '[' to ProcessTag, repeat until no expression is left,
// then turn each escape into '['.
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "engine/expand.h"
#include "text/byte_copy.h"
#include "text/text.h"

namespace morvane {

char* ScratchBuffer = nullptr;
uint32_t gScratchBufferSize = 0;
ExpansionObserver gExpansionObserver;
uint32_t gExpansionPass = 0;
const char* gExpansionLiteralStop = nullptr;

namespace {

WorkBudget gBudget;
ExpansionFailureRecord gLastFailure;
uint32_t gLastResultLength = 0;

// Raised when the passes could never end, with the bound that ended them.
struct RunawayExpansion {
  ExpansionFailure reason;
  const char* firstReference = nullptr;  // for an unchanged pass: its first reference, if any
  const char* passInput = nullptr;       // the input of the pass that reached a bound
};

constexpr uint64_t kEveryByte = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

inline uint64_t LoadWord(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Nonzero exactly when one of the eight bytes is 0.
inline uint64_t ZeroByte(uint64_t word) {
  return (word - kEveryByte) & ~word & kHighBits;
}

// Whether one of the eight bytes is a NUL, '[' or '\\'.
inline bool WordHasStopByte(uint64_t word) {
  return (ZeroByte(word) | ZeroByte(word ^ (kEveryByte * '[')) | ZeroByte(word ^ (kEveryByte * '\\'))) != 0;
}

inline bool IsStopByte(char c) {
  return c == '\0' || c == '[' || c == '\\';
}

// The end of the run of ordinary characters that starts at p, a character boundary: the first NUL, '[' or
// '\\' that begins a character, or a lead byte right before the terminator. `end` is the text's terminator.
//
// Stop bytes are found a word at a time whatever precedes them; only then is it decided whether one begins a
// character. A byte that is not a lead byte always ends a character, so the lead bytes right before a stop
// byte pair up from the first of them: an odd number of them makes the stop byte the second byte of a
// character. Those runs end at stop bytes, which are no lead bytes, so no byte is walked back over twice.
inline const char* SkipOrdinary(const char* p, const char* end) {
  const char* const start = p;
  for (;;) {
    const char* q = p;
    while (end - q >= 8 && !WordHasStopByte(LoadWord(q))) q += 8;
    while (!IsStopByte(*q)) ++q;
    const char* leads = q;
    while (leads > start && IsLeadByte(static_cast<unsigned char>(leads[-1]))) --leads;
    const bool secondByte = ((q - leads) & 1) != 0;
    // At the terminator a lead byte has no partner: it stops the run itself.
    if (q == end) return secondByte ? q - 1 : q;
    if (!secondByte) return q;
    p = q + 1;
  }
}

// Walks the literal spans of a text in order. While the text before the next span is read, that span's first
// byte is a NUL, so everything that reads up to a terminator (the scan of ordinary bytes, a tag expression,
// an escape's second byte) stops where the span begins; the byte is restored before the span is taken.
// Spans only ever belong to working buffers, which may be written; those behind the text's end (a NUL that
// a field wrote cut the text there) are no part of it.
class SpanCursor {
 public:
  SpanCursor(const char* text, const char* textEnd, const LiteralSpans* spans)
      : text_(const_cast<char*>(text)), textEnd_(textEnd), spans_(spans) {
    MarkNext();
  }
  SpanCursor(const SpanCursor&) = delete;
  SpanCursor& operator=(const SpanCursor&) = delete;
  ~SpanCursor() { Unmark(); }

  // The terminator of what may be read now: the next span's first byte, or the text's own terminator.
  const char* Stop() const { return marked_ != nullptr ? marked_ : textEnd_; }
  // Whether the NUL at p is a span's start rather than the text's end.
  bool AtSpan(const char* p) const { return p == marked_; }
  // The span that begins at Stop(), within the text; the next one is marked.
  LiteralSpan Take() {
    Unmark();
    LiteralSpan span = (*spans_)[next_++];
    const uint32_t length = static_cast<uint32_t>(textEnd_ - text_);
    if (span.end > length) span.end = length;
    MarkNext();
    return span;
  }

 private:
  void MarkNext() {
    if (spans_ == nullptr || next_ >= spans_->Count()) return;
    const LiteralSpan& span = (*spans_)[next_];
    if (text_ + span.begin >= textEnd_) return;
    marked_ = text_ + span.begin;
    markedByte_ = *marked_;
    *marked_ = '\0';
    gExpansionLiteralStop = marked_;
  }
  void Unmark() {
    if (marked_ == nullptr) return;
    *marked_ = markedByte_;
    marked_ = nullptr;
    gExpansionLiteralStop = nullptr;
  }

  char* text_;
  const char* textEnd_;
  const LiteralSpans* spans_;
  size_t next_ = 0;
  char* marked_ = nullptr;
  char markedByte_ = 0;
};

// What an ordinary pass over a text would meet, found without writing anything.
struct TextScan {
  bool bracket = false;  // a '[' that the pass would hand to ProcessTag; the scan stops there
  bool escape = false;   // an escape before that point
};

// `end` is the text's terminator.
TextScan ScanText(const char* text, const char* textEnd, const LiteralSpans* literal) {
  TextScan scan;
  SpanCursor spans(text, textEnd, literal);
  const char* end = spans.Stop();
  const char* p = text;
  for (;;) {
    p = SkipOrdinary(p, end);
    const char c = *p;
    if (c == '\0') {
      if (!spans.AtSpan(p)) return scan;
      p = text + spans.Take().end;
      end = spans.Stop();
      continue;
    }
    if (c == '[') {
      scan.bracket = true;
      return scan;
    }
    if (c == '\\' && p[1] == '[') {
      scan.escape = true;
      p += 2;
    } else {
      ++p;
    }
  }
}

}  // namespace

uint32_t ExpandPass(char* output, uint32_t capacity, const char* input, int isFinal, PassStats* stats,
                    const LiteralSpans* inputLiteral, LiteralSpans* outputLiteral) {
  PassStats counts;
  if (outputLiteral != nullptr) outputLiteral->Clear();
  PassOutput out{output, output + capacity - 1, 0, output, outputLiteral};
  // The input never changes during a pass, so its terminator stays where it is.
  SpanCursor spans(input, input + std::strlen(input), inputLiteral);
  const char* end = spans.Stop();
  const char* in = input;
  for (;;) {
    const char* run = in;
    in = SkipOrdinary(in, end);
    if (in != run) {
      const uint32_t length = static_cast<uint32_t>(in - run);
      out.Reserve(length);
      CopyBytes(out.cursor, run, length);
      out.cursor += length;
    }
    const char c = *in;
    if (c == '\0') {
      if (!spans.AtSpan(in)) break;
      // A literal span is copied as it stands and stays literal.
      const LiteralSpan span = spans.Take();
      const uint32_t length = span.end - span.begin;
      out.Reserve(length);
      const uint32_t begin = static_cast<uint32_t>(out.cursor - output);
      CopyBytes(out.cursor, input + span.begin, length);
      out.cursor += length;
      if (outputLiteral != nullptr) outputLiteral->Add(begin, begin + length);
      in = input + span.end;
      end = spans.Stop();
      continue;
    }
    if (c == '[') {
      TagOutcome outcome;
      const char* const expression = in;
      ProcessTag(out, in, &outcome);
      // Literal brackets inside a long expression can read it again and again within one pass.
      if (out.reread > gBudget.bytes) throw RunawayExpansion{ExpansionFailure::kTooMuchText, nullptr, input};
      // A literal bracket changes nothing, so it does not keep the passes going.
      if (outcome != TagOutcome::kLiteralBracket) ++counts.count;
      if (outcome == TagOutcome::kDefinition) ++counts.definitions;
      if (outcome == TagOutcome::kReference && counts.firstReference == nullptr) {
        counts.firstReference = expression;
      }
    } else if (c == '\\' && in[1] == '[') {
      if (!isFinal) out.Put('\\');
      out.Put('[');
      in += 2;
    } else {
      // A lone '\', or a lead byte right before the terminator: one byte of its own.
      out.Put(c);
      ++in;
    }
  }
  *out.cursor = '\0';
  counts.written = static_cast<uint32_t>(out.cursor - output);
  counts.read = static_cast<uint64_t>(in - input) + out.reread;
  if (stats != nullptr) *stats = counts;
  return counts.count;
}

namespace {

// The working buffers of one expansion, each with the literal spans of the text it holds.
struct WorkingText {
  char* bytes;
  LiteralSpans literal;
};

// Ordinary passes until one would meet no '[': returns the text they leave, the source itself when none
// ran, whether it holds an escape, and its literal spans (nullptr for the source, which has none). Raises
// RunawayExpansion for an expansion that could never end.
const char* OrdinaryPasses(const char* source, uint32_t sourceLength, WorkingText* out, WorkingText* other,
                           uint32_t size, bool* hasEscape, const LiteralSpans** textLiteral,
                           uint32_t* length) {
  // The first pass reads the source where it stands: nothing writes to it before the final copy. Each later
  // pass reads one working buffer and writes the other; the hand-over swaps them.
  const char* in = source;
  const LiteralSpans* inLiteral = nullptr;
  *length = sourceLength;
  uint64_t bytesRead = 0;
  uint64_t tagsHandled = 0;
  for (uint32_t passes = 1;; ++passes) {
    *textLiteral = inLiteral;
    // A pass that would meet no '[' writes its input unchanged and ends the loop: it need not run.
    const TextScan scan = ScanText(in, in + *length, inLiteral);
    *hasEscape = scan.escape;
    if (!scan.bracket) return in;
    PassStats stats;
    gExpansionPass = passes;
    ExpandPass(out->bytes, size, in, 0, &stats, inLiteral, &out->literal);
    if (stats.count == 0) {
      // Only literal brackets, so the output equals the input; the final pass takes them again.
      *hasEscape = true;
      return in;
    }
    // Without a definition the table did not change, so an unchanged text would repeat forever. A text that
    // only became literal is no repetition: the next pass reads less of it.
    if (stats.definitions == 0 && std::strcmp(out->bytes, in) == 0 &&
        (inLiteral != nullptr ? *inLiteral == out->literal : out->literal.Empty())) {
      throw RunawayExpansion{ExpansionFailure::kUnchangedPass, stats.firstReference};
    }
    if (passes == gBudget.passes) throw RunawayExpansion{ExpansionFailure::kTooManyPasses, nullptr, in};
    bytesRead += stats.read;
    tagsHandled += stats.count;
    if (bytesRead > gBudget.bytes) throw RunawayExpansion{ExpansionFailure::kTooMuchText, nullptr, in};
    if (tagsHandled > gBudget.tags)
      throw RunawayExpansion{ExpansionFailure::kTooManyExpressions, nullptr, in};
    in = out->bytes;
    inLiteral = &out->literal;
    // The text handed over ends at the first NUL the pass wrote (a field of _eof).
    *length = static_cast<uint32_t>(strnlen(in, stats.written));
    std::swap(out, other);
  }
}

// The final pass: `text` (the last ordinary pass's output, or the source when no pass ran) with each escape
// turned into '[', into destination; literal spans come out as they stand. `spare`, a working buffer, is
// given when text is the source, which the destination may be; the final pass is never longer than its
// input, so it always fits and cannot fail.
// `length` is the text's; returns the length of what it wrote.
uint32_t FinalPass(char* destination, const char* text, uint32_t length, const LiteralSpans* literal,
                   bool hasEscape, char* spare, uint32_t size) {
  PassStats stats;
  if (!hasEscape) {
    if (destination != text) std::memmove(destination, text, length + 1);
    return length;
  }
  if (spare == nullptr) {
    ExpandPass(destination, size, text, 1, &stats, literal);
  } else {
    ExpandPass(spare, size, text, 1, &stats, literal);
    std::memcpy(destination, spare, stats.written + 1);
  }
  return stats.written;
}

// The name of the expression at `expression` (its '['), as the expression reads it: at most kTagNameMax
// bytes up to a space, ']' or NUL.
void NameAt(const char* expression, char (&name)[kTagNameMax + 1]) {
  int length = 0;
  if (expression != nullptr) {
    for (const char* p = expression + 1; *p != ' ' && *p != ']' && *p != '\0' && length < kTagNameMax; ++p) {
      name[length++] = *p;
    }
  }
  name[length] = '\0';
}

// The tag that keeps the passes going, read from the input of the pass that reached a bound: the first
// expression there whose tag holds a value that is expanded again (not literal) and holds a '[' (an empty
// name when none does). Only what the passes themselves wrote is left that late, so that tag is part of the
// loop. Repeated names are looked up once, and the search gives up after a few thousand names.
void RunawayTagName(const char* text, char (&name)[kTagNameMax + 1]) {
  constexpr int kMostLookups = 4096;
  char last[kTagNameMax + 1] = "";
  bool looked = false;
  int lookups = 0;
  for (const char* p = text; *p != '\0' && lookups < kMostLookups; p += CharLength(p)) {
    if (*p == '\\' && p[1] == '[') {
      ++p;
      continue;
    }
    if (*p != '[') continue;
    NameAt(p, name);
    if (looked && std::strcmp(name, last) == 0) continue;
    std::memcpy(last, name, sizeof last);
    looked = true;
    ++lookups;
    const TagEntry* entry = gTagTable.Find(name);
    if (entry != nullptr && !entry->Literal() && entry->data != nullptr &&
        std::strchr(entry->data, '[') != nullptr)
      return;
  }
  name[0] = '\0';
}

}  // namespace

void SetWorkBudget(const WorkBudget& budget) {
  gBudget = budget;
}

void SetExpansionObserver(const ExpansionObserver& observer) {
  gExpansionObserver = observer;
}

const ExpansionFailureRecord& LastExpansionFailure() {
  return gLastFailure;
}

uint32_t LastExpansionLength() {
  return gLastResultLength;
}

int ExpandText(char* destination, const char* source, uint32_t size) {
  gLastResultLength = 0;
  std::unique_ptr<char[]> output;
  std::unique_ptr<char[]> input;
  std::unique_ptr<char[]> scratch;
  int succeeded = 0;
  gLastFailure = ExpansionFailureRecord{};
  try {
    output.reset(new char[size]);
    input.reset(new char[size]);
    scratch.reset(new char[size]);
    ScratchBuffer = scratch.get();
    gScratchBufferSize = size;

    const size_t sourceLength = strnlen(source, size);
    if (sourceLength == size) throw ExpansionOverflow{};

    bool hasEscape = false;
    WorkingText first{output.get(), {}};
    WorkingText second{input.get(), {}};
    const LiteralSpans* literal = nullptr;
    uint32_t length = 0;
    const char* text = OrdinaryPasses(source, static_cast<uint32_t>(sourceLength), &first, &second, size,
                                      &hasEscape, &literal, &length);
    // When no pass ran, the text is the source and the output buffer is free for the final pass.
    if (destination != nullptr) {
      gLastResultLength = FinalPass(destination, text, length, literal, hasEscape,
                                    text == source ? output.get() : nullptr, size);
    }
    succeeded = 1;
  } catch (const ExpansionOverflow& overflow) {
    gLastFailure.bytes = overflow.bytes;
    gLastFailure.reason =
        overflow.fieldAlone ? ExpansionFailure::kFieldTooLarge : ExpansionFailure::kResultTooLarge;
    if (overflow.field != nullptr)
      std::memcpy(gLastFailure.tag, overflow.field->name, sizeof gLastFailure.tag);
  } catch (const RunawayExpansion& runaway) {
    gLastFailure.reason = runaway.reason;
    // The working buffers, and so the pass's input, live until the function returns.
    if (runaway.passInput != nullptr) {
      RunawayTagName(runaway.passInput, gLastFailure.tag);
    } else {
      NameAt(runaway.firstReference, gLastFailure.tag);
    }
  } catch (const std::bad_alloc&) {
    gLastFailure.reason = ExpansionFailure::kOutOfMemory;
  }
  gExpansionPass = 0;
  ScratchBuffer = nullptr;
  gScratchBufferSize = 0;
  return succeeded;
}

}  // namespace morvane
