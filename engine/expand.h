// The expansion engine: tag expressions, field output and the pass loop.
#pragma once

#include <cstdint>

#include "engine/tag_table.h"

namespace morvane {

// Raised by a write that would not leave room for the terminator in a working buffer. Caught only in
// ExpandText.
struct ExpansionOverflow {};

// The scratch buffer of the running ExpandText (null when none runs) and its size in bytes.
extern char* ScratchBuffer;
extern uint32_t ScratchBufferSize;

enum class Align : uint8_t { kLeft, kCenter, kRight };

// Output settings of one tag expression.
struct FieldSpec {
  uint32_t loop = 1;
  uint32_t min = 0;
  uint32_t max = 0xFFFFFFFFu;
  Align align = Align::kLeft;
  char padding = ' ';
};

// The output cursor of a running pass and the position of the terminator's slot, which no write may take.
struct PassOutput {
  char* cursor;
  char* limit;
  // Bytes read besides the pass's own input: text after a literal bracket, which the pass reads again, and
  // files named by datafile. Counted against the work of one expansion.
  uint64_t reread = 0;

  uint32_t Room() const { return static_cast<uint32_t>(limit - cursor); }
  // Makes sure `count` more bytes fit before the terminator's slot; raises ExpansionOverflow otherwise.
  void Reserve(uint64_t count) const {
    if (count > Room()) throw ExpansionOverflow{};
  }
  void Put(char byte) {
    Reserve(1);
    *cursor++ = byte;
  }
};

// What one tag expression turned out to be.
enum class TagOutcome : uint8_t { kDefinition, kReference, kMissing, kLiteralBracket };

// Reads one tag expression at `in` (which must stand on '['), acts on the table and writes its replacement.
// Returns 1 for a definition or a reference, 0 otherwise; `outcome`, when given, tells which.
int ProcessTag(PassOutput& out, const char*& in, TagOutcome* outcome = nullptr);

// Reads a double-quoted value starting at `in` into dest (at most destSize bytes with its terminator) and
// returns where scanning goes on.
const char* ParseQuoted(const char* in, char* dest, uint32_t destSize);

// Writes one reference to `entry` shaped by `spec`.
void WriteField(PassOutput& out, const TagEntry& entry, const FieldSpec& spec);

// What a pass did besides its output.
struct PassStats {
  uint32_t count = 0;        // '[' handed to ProcessTag, literal brackets not counted
  uint32_t definitions = 0;  // definitions executed
  uint64_t read = 0;         // input bytes read (terminator not counted), and the bytes read again
};

// One pass from input into output (capacity bytes). Returns the pass count.
uint32_t ExpandPass(char* output, uint32_t capacity, const char* input, int isFinal,
                    PassStats* stats = nullptr);

// Most ordinary passes one expansion may take before it is taken to run away.
inline constexpr uint32_t kMaxPasses = 4096;
// Most bytes read (input, text read again after literal brackets, files), and most tag expressions, that the
// ordinary passes of one expansion may handle in all. Few passes over a large text cost as much as many over
// a small one, and one pass can read a text many times over; these bound the time a run can take.
inline constexpr uint64_t kMaxPassBytes = 32ull << 20;  // 32 passes over a full 1 MiB text
inline constexpr uint64_t kMaxPassTags = 1ull << 20;

// The bounds above as one expansion applies them.
struct WorkBudget {
  uint32_t passes = kMaxPasses;
  uint64_t bytes = kMaxPassBytes;
  uint64_t tags = kMaxPassTags;
};

// Test hook: later ExpandText calls apply `budget` instead. The fuzz harnesses take smaller bounds, so that
// one input stays cheap under the sanitizers; the product never calls it.
void SetWorkBudget(const WorkBudget& budget);

// Expands source until no tag expression is left, then resolves escapes into destination (when given).
// Returns 1 on success, 0 on overflow, out of memory, or an expansion that could never end.
int ExpandText(char* destination, const char* source, uint32_t size);

}  // namespace morvane
