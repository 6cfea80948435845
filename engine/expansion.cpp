// The pass loop: copy the text, hand each unescaped '[' to ProcessTag, repeat until no expression is left,
// then turn each escape into '['.
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "engine/byte_copy.h"
#include "engine/expand.h"
#include "engine/text.h"

namespace morvane {

char* ScratchBuffer = nullptr;
uint32_t ScratchBufferSize = 0;

namespace {

WorkBudget gBudget;

// Raised when the passes could never end.
struct RunawayExpansion {};

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
  PassOutput out{output, output + capacity - 1};
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
      ProcessTag(out, in, &outcome);
      // Literal brackets inside a long expression can read it again and again within one pass.
      if (out.reread > gBudget.bytes) throw RunawayExpansion{};
      // A literal bracket changes nothing, so it does not keep the passes going.
      if (outcome != TagOutcome::kLiteralBracket) ++counts.count;
      if (outcome == TagOutcome::kDefinition) ++counts.definitions;
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

void SetWorkBudget(const WorkBudget& budget) {
  gBudget = budget;
}

int ExpandText(char* destination, const char* source, uint32_t size) {
  std::unique_ptr<char[]> output;
  std::unique_ptr<char[]> input;
  std::unique_ptr<char[]> scratch;
  int succeeded = 0;
  try {
    output.reset(new char[size]);
    input.reset(new char[size]);
    scratch.reset(new char[size]);
    ScratchBuffer = scratch.get();
    ScratchBufferSize = size;

    const size_t sourceLength = strnlen(source, size);
    if (sourceLength == size) throw ExpansionOverflow{};

    // The first pass reads the source where it stands: nothing writes to it before the final copy. Each
    // later pass reads one working buffer and writes the other; the hand-over swaps them.
    const char* in = source;
    char* out = output.get();
    char* other = input.get();
    TextScan scan;
    uint64_t bytesRead = 0;
    uint64_t tagsHandled = 0;
    for (uint32_t passes = 1;; ++passes) {
      // A pass that would meet no '[' writes its input unchanged and ends the loop: it need not run.
      scan = ScanText(in);
      if (!scan.bracket) break;
      PassStats stats;
      ExpandPass(out, size, in, 0, &stats);
      if (stats.count == 0) {
        // Only literal brackets, so the output equals the input; the final pass takes them again.
        scan.escape = true;
        break;
      }
      // Without a definition the table did not change, so an unchanged text would repeat forever.
      if (stats.definitions == 0 && std::strcmp(out, in) == 0) throw RunawayExpansion{};
      if (passes == gBudget.passes) throw RunawayExpansion{};
      bytesRead += stats.read;
      tagsHandled += stats.count;
      if (bytesRead > gBudget.bytes || tagsHandled > gBudget.tags) throw RunawayExpansion{};
      in = out;
      std::swap(out, other);
    }
    if (destination != nullptr) {
      if (!scan.escape) {
        // The final pass would copy the text unchanged.
        if (destination != in) std::memmove(destination, in, std::strlen(in) + 1);
      } else if (in != source) {
        // Shorter than its input, the final pass always fits and cannot fail.
        ExpandPass(destination, size, in, 1);
      } else {
        // The destination may be the source itself.
        ExpandPass(out, size, in, 1);
        std::memcpy(destination, out, std::strlen(out) + 1);
      }
    }
    succeeded = 1;
  } catch (const ExpansionOverflow&) {
  } catch (const RunawayExpansion&) {
  } catch (const std::bad_alloc&) {
  }
  ScratchBuffer = nullptr;
  ScratchBufferSize = 0;
  return succeeded;
}

}  // namespace morvane
