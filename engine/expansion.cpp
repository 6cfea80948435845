// The pass loop: copy the text, hand each unescaped '[' to ProcessTag, repeat until no expression is left,
// then turn each escape into '['.
#include <cstring>
#include <memory>
#include <new>
#include <utility>

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

  StopTable() {
    for (int b = 0; b < 256; ++b) stop[b] = gLeadByteTable[b];
    stop[0] = 1;
    stop[static_cast<unsigned char>('[')] = 1;
    stop[static_cast<unsigned char>('\\')] = 1;
  }
};

// The end of the run of ordinary characters that starts at p: whole double-byte characters included.
inline const char* SkipOrdinary(const StopTable& table, const char* p) {
  for (;;) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (!table.stop[c]) {
      ++p;
    } else if (IsLeadByte(c) && p[1] != '\0') {
      p += 2;
    } else {
      return p;
    }
  }
}

}  // namespace

uint32_t ExpandPass(char* output, uint32_t capacity, const char* input, int isFinal, PassStats* stats) {
  const StopTable table;
  PassStats counts;
  PassOutput out{output, output + capacity - 1};
  const char* in = input;
  for (;;) {
    const char* run = in;
    in = SkipOrdinary(table, in);
    if (in != run) {
      const uint32_t length = static_cast<uint32_t>(in - run);
      out.Reserve(length);
      std::memcpy(out.cursor, run, length);
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
    std::memcpy(input.get(), source, sourceLength + 1);

    // Each pass reads one buffer and writes the other; the hand-over swaps them.
    char* in = input.get();
    char* out = output.get();
    for (uint32_t passes = 1;; ++passes) {
      PassStats stats;
      ExpandPass(out, size, in, 0, &stats);
      if (stats.count == 0) break;
      // Without a definition the table did not change, so an unchanged text would repeat forever.
      if (stats.definitions == 0 && std::strcmp(out, in) == 0) throw RunawayExpansion{};
      if (passes == kMaxPasses) throw RunawayExpansion{};
      std::swap(in, out);
    }
    if (destination != nullptr) {
      ExpandPass(in, size, out, 1);
      std::memcpy(destination, in, std::strlen(in) + 1);
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
