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

namespace {

WorkBudget gBudget;
ExpansionFailureRecord gLastFailure;

// Raised when the passes could never end, with the bound that ended them.
struct RunawayExpansion {
  ExpansionFailure reason;
  const char* firstReference = nullptr;  // for an unchanged pass: its first reference, if any
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

// What an ordinary pass over a text would meet, found without writing anything.
struct TextScan {
  bool bracket = false;  // a '[' that the pass would hand to ProcessTag; the scan stops there
  bool escape = false;   // an escape before that point
};

TextScan ScanText(const char* text) {
  TextScan scan;
  const char* const end = text + std::strlen(text);
  const char* p = text;
  for (;;) {
    p = SkipOrdinary(p, end);
    const char c = *p;
    if (c == '\0') return scan;
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

uint32_t ExpandPass(char* output, uint32_t capacity, const char* input, int isFinal, PassStats* stats) {
  PassStats counts;
  PassOutput out{output, output + capacity - 1, 0, output};
  // The input never changes during a pass, so its terminator stays where it is.
  const char* const end = input + std::strlen(input);
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
    if (c == '\0') break;
    if (c == '[') {
      TagOutcome outcome;
      const char* const expression = in;
      ProcessTag(out, in, &outcome);
      // Literal brackets inside a long expression can read it again and again within one pass.
      if (out.reread > gBudget.bytes) throw RunawayExpansion{ExpansionFailure::kTooMuchText};
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
  counts.read = static_cast<uint64_t>(in - input) + out.reread;
  if (stats != nullptr) *stats = counts;
  return counts.count;
}

namespace {

// Ordinary passes until one would meet no '[': returns the text they leave, the source itself when none
// ran, and whether it holds an escape. Raises RunawayExpansion for an expansion that could never end.
const char* OrdinaryPasses(const char* source, char* out, char* other, uint32_t size, bool* hasEscape) {
  // The first pass reads the source where it stands: nothing writes to it before the final copy. Each later
  // pass reads one working buffer and writes the other; the hand-over swaps them.
  const char* in = source;
  uint64_t bytesRead = 0;
  uint64_t tagsHandled = 0;
  for (uint32_t passes = 1;; ++passes) {
    // A pass that would meet no '[' writes its input unchanged and ends the loop: it need not run.
    const TextScan scan = ScanText(in);
    *hasEscape = scan.escape;
    if (!scan.bracket) return in;
    PassStats stats;
    gExpansionPass = passes;
    ExpandPass(out, size, in, 0, &stats);
    if (stats.count == 0) {
      // Only literal brackets, so the output equals the input; the final pass takes them again.
      *hasEscape = true;
      return in;
    }
    // Without a definition the table did not change, so an unchanged text would repeat forever.
    if (stats.definitions == 0 && std::strcmp(out, in) == 0) {
      throw RunawayExpansion{ExpansionFailure::kUnchangedPass, stats.firstReference};
    }
    if (passes == gBudget.passes) throw RunawayExpansion{ExpansionFailure::kTooManyPasses};
    bytesRead += stats.read;
    tagsHandled += stats.count;
    if (bytesRead > gBudget.bytes) throw RunawayExpansion{ExpansionFailure::kTooMuchText};
    if (tagsHandled > gBudget.tags) throw RunawayExpansion{ExpansionFailure::kTooManyExpressions};
    in = out;
    std::swap(out, other);
  }
}

// The final pass: `text` (the last ordinary pass's output, or the source when no pass ran) with each escape
// turned into '[', into destination. `spare`, a working buffer, is given when text is the source, which the
// destination may be; the final pass is never longer than its input, so it always fits and cannot fail.
void FinalPass(char* destination, const char* text, bool hasEscape, char* spare, uint32_t size) {
  if (!hasEscape) {
    if (destination != text) std::memmove(destination, text, std::strlen(text) + 1);
  } else if (spare == nullptr) {
    ExpandPass(destination, size, text, 1);
  } else {
    ExpandPass(spare, size, text, 1);
    std::memcpy(destination, spare, std::strlen(spare) + 1);
  }
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

int ExpandText(char* destination, const char* source, uint32_t size) {
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
    const char* text = OrdinaryPasses(source, output.get(), input.get(), size, &hasEscape);
    // When no pass ran, the text is the source and the output buffer is free for the final pass.
    if (destination != nullptr)
      FinalPass(destination, text, hasEscape, text == source ? output.get() : nullptr, size);
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
    NameAt(runaway.firstReference, gLastFailure.tag);
  } catch (const std::bad_alloc&) {
    gLastFailure.reason = ExpansionFailure::kOutOfMemory;
  }
  gExpansionPass = 0;
  ScratchBuffer = nullptr;
  gScratchBufferSize = 0;
  return succeeded;
}

}  // namespace morvane
