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

// Raised when the passes could never end.
struct RunawayExpansion {};

// Bytes at which the bulk copy of a pass stops: NUL, '[', '\' and the lead bytes.
struct StopTable {
  unsigned char stop[256];
  // Bytes of 0x80 and above may stop the copy only when the code page has lead bytes (all of them are).
  uint64_t highMask;

  StopTable() : highMask(0) {
    for (int b = 0; b < 256; ++b) {
      stop[b] = gLeadByteTable[b];
      if (stop[b]) highMask = 0x8080808080808080ull;
    }
    stop[0] = 1;
    stop[static_cast<unsigned char>('[')] = 1;
    stop[static_cast<unsigned char>('\\')] = 1;
  }
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

// False only when none of the eight bytes can stop the copy: no NUL, '[' or '\', and no byte of 0x80 or
// above while the code page has lead bytes.
inline bool WordMayStop(const StopTable& table, uint64_t word) {
  return (ZeroByte(word) | ZeroByte(word ^ (kEveryByte * '[')) | ZeroByte(word ^ (kEveryByte * '\\')) |
          (word & table.highMask)) != 0;
}

// The end of the run of ordinary characters that starts at p: whole double-byte characters included.
// `end` is the text's terminator; whole words are read only before it.
inline const char* SkipOrdinary(const StopTable& table, const char* p, const char* end) {
  for (;;) {
    while (end - p >= 8 && !WordMayStop(table, LoadWord(p))) p += 8;
    // Character by character through the word that may stop; the terminator always does.
    const char* const wordEnd = p + 8;
    do {
      const unsigned char c = static_cast<unsigned char>(*p);
      if (!table.stop[c]) {
        ++p;
      } else if (IsLeadByte(c) && p[1] != '\0') {
        p += 2;
      } else {
        return p;
      }
    } while (p < wordEnd);
  }
}

// What an ordinary pass over a text would meet, found without writing anything.
struct TextScan {
  bool bracket = false;  // a '[' that the pass would hand to ProcessTag; the scan stops there
  bool escape = false;   // an escape before that point
};

TextScan ScanText(const StopTable& table, const char* text) {
  TextScan scan;
  const char* const end = text + std::strlen(text);
  const char* p = text;
  for (;;) {
    p = SkipOrdinary(table, p, end);
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
  const StopTable table;
  PassStats counts;
  PassOutput out{output, output + capacity - 1};
  // The input never changes during a pass, so its terminator stays where it is.
  const char* const end = input + std::strlen(input);
  const char* in = input;
  for (;;) {
    const char* run = in;
    in = SkipOrdinary(table, in, end);
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
  counts.read = static_cast<uint32_t>(in - input);
  if (stats != nullptr) *stats = counts;
  return counts.count;
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
    const StopTable table;
    const char* in = source;
    char* out = output.get();
    char* other = input.get();
    TextScan scan;
    uint64_t bytesRead = 0;
    uint64_t tagsHandled = 0;
    for (uint32_t passes = 1;; ++passes) {
      // A pass that would meet no '[' writes its input unchanged and ends the loop: it need not run.
      scan = ScanText(table, in);
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
      if (passes == kMaxPasses) throw RunawayExpansion{};
      bytesRead += stats.read;
      tagsHandled += stats.count;
      if (bytesRead > kMaxPassBytes || tagsHandled > kMaxPassTags) throw RunawayExpansion{};
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
