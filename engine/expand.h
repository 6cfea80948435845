// The expansion engine: tag expressions, field output and the pass loop.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/tag_table.h"

namespace morvane {

// Raised by a write that would not leave room for the terminator in a working buffer. Caught only in
// ExpandText. A field that does not fit names its tag and its size in bytes, for the caller's diagnostics.
struct ExpansionOverflow {
  const TagEntry* field = nullptr;
  uint64_t bytes = 0;
  bool fieldAlone = false;  // the field by itself is larger than the whole buffer
};

// The scratch buffer of the running ExpandText (null when none runs) and its size in bytes.
extern char* ScratchBuffer;
extern uint32_t gScratchBufferSize;

enum class Align : uint8_t { kLeft, kCenter, kRight };

// What widens a field: one byte, or in code page utf-8 one whole character of up to 4 bytes.
struct FieldPadding {
  char bytes[4] = {' ', 0, 0, 0};
  uint8_t length = 1;

  // Takes the first character of a non-empty NUL-terminated value: in utf-8 a whole well-formed sequence
  // (a byte that begins none stands alone), in every other code page its first byte, even a lead byte.
  void TakeFirstCharacter(const char* value);
};

// Output settings of one tag expression. In code page utf-8 `min` and `max` count display columns, in the
// others bytes.
struct FieldSpec {
  uint32_t loop = 1;
  uint32_t min = 0;
  uint32_t max = 0xFFFFFFFFu;
  Align align = Align::kLeft;
  FieldPadding padding;
};

// The byte ranges of a text that fields of literal values wrote, in order, apart and not empty: no pass
// reads them again, neither for tag expressions nor for escapes, and the final pass copies them as they
// stand. An expression that runs into one ends where it begins, as at the end of the text.
struct LiteralSpan {
  uint32_t begin;
  uint32_t end;
};

class LiteralSpans {
 public:
  void Clear() { spans_.clear(); }
  bool Empty() const { return spans_.empty(); }
  size_t Count() const { return spans_.size(); }
  const LiteralSpan& operator[](size_t index) const { return spans_[index]; }
  // Adds [begin, end) behind the last span, joining the two when they touch.
  void Add(uint32_t begin, uint32_t end) {
    if (begin == end) return;
    if (!spans_.empty() && spans_.back().end == begin) {
      spans_.back().end = end;
    } else {
      spans_.push_back(LiteralSpan{begin, end});
    }
  }
  bool operator==(const LiteralSpans& other) const {
    if (spans_.size() != other.spans_.size()) return false;
    for (size_t i = 0; i < spans_.size(); ++i) {
      if (spans_[i].begin != other.spans_[i].begin || spans_[i].end != other.spans_[i].end) return false;
    }
    return true;
  }

 private:
  std::vector<LiteralSpan> spans_;
};

// The output cursor of a running pass and the position of the terminator's slot, which no write may take.
struct PassOutput {
  char* cursor;
  char* limit;
  // Bytes read besides the pass's own input: text after a literal bracket, which the pass reads again, and
  // files named by datafile. Counted against the work of one expansion.
  uint64_t reread = 0;
  // The start of the pass output, when known: a field larger than the whole buffer is told apart from a
  // result that outgrows it.
  const char* start = nullptr;
  // Where the pass records the literal fields it writes (with `start`), or nullptr: then they are text.
  LiteralSpans* literal = nullptr;

  uint32_t Room() const { return static_cast<uint32_t>(limit - cursor); }
  // Makes sure `count` more bytes fit before the terminator's slot; raises ExpansionOverflow otherwise.
  void Reserve(uint64_t count) const {
    if (count > Room()) throw ExpansionOverflow{nullptr, count};
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
// returns where scanning goes on. `closed`, when given, tells whether a closing quote ended the value (false
// also when no value was quoted).
const char* ParseQuoted(const char* in, char* dest, uint32_t destSize, bool* closed = nullptr);

// Writes one reference to `entry` shaped by `spec`. `cutLength`, when given and `max` cut the value,
// receives the value's length in the units `max` counts (columns in utf-8, else bytes).
void WriteField(PassOutput& out, const TagEntry& entry, const FieldSpec& spec, uint32_t* cutLength = nullptr);

// What a pass did besides its output.
struct PassStats {
  uint32_t count = 0;        // '[' handed to ProcessTag, literal brackets not counted
  uint32_t definitions = 0;  // definitions executed
  uint64_t read = 0;         // input bytes read (terminator not counted), and the bytes read again
  uint32_t written = 0;      // bytes written before the terminator
  const char* firstReference = nullptr;  // the '[' of the pass's first reference, in its input
};

// One pass from input into output (capacity bytes). Returns the pass count. `inputLiteral` are the literal
// spans of the input, which then must be a working buffer (the pass marks a span's start with a NUL while it
// reads up to it, and restores it); `outputLiteral` receives those of the output.
uint32_t ExpandPass(char* output, uint32_t capacity, const char* input, int isFinal,
                    PassStats* stats = nullptr, const LiteralSpans* inputLiteral = nullptr,
                    LiteralSpans* outputLiteral = nullptr);

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
// Returns 1 on success, 0 on overflow, out of memory, or an expansion that could never end; then
// LastExpansionFailure tells which.
int ExpandText(char* destination, const char* source, uint32_t size);

// Why the last ExpandText returned 0.
enum class ExpansionFailure : uint8_t {
  kNone,
  kResultTooLarge,      // the text outgrew its working buffer (`tag`: the field being written, if one was)
  kFieldTooLarge,       // one reference's field (all its loops) is larger than a whole buffer: `tag`, `bytes`
  kUnchangedPass,       // a pass changed nothing and defined nothing; `tag` names its first reference, if any
  kTooManyPasses,       // more ordinary passes than the budget's
  kTooMuchText,         // more bytes read over all passes than the budget's
  kTooManyExpressions,  // more tag expressions over all passes than the budget's
  kOutOfMemory,
};

struct ExpansionFailureRecord {
  ExpansionFailure reason = ExpansionFailure::kNone;
  char tag[kTagNameMax + 1] = {};
  uint64_t bytes = 0;
};

const ExpansionFailureRecord& LastExpansionFailure();

// The length of the text the last ExpandText wrote into its destination (0 without one, or after a failure).
uint32_t LastExpansionLength();

// What the language drops, ignores or only partly applies, for a caller that wants to tell the user. The
// language itself reports nothing; an observer only listens.
enum class ExpansionEvent : uint8_t {
  kMissingTag,          // a reference to a tag that does not exist: dropped (`name`)
  kUnknownWord,         // a word before '=' that is no keyword: ignored, its value read as words (`word`)
  kWordWithoutValue,    // a word without '=': ignored (`word`)
  kSpaceBeforeEquals,   // a space between a word and '=': the word is dropped (`word`)
  kSpaceAfterEquals,    // a space after a keyword's '=': the value is empty (`keyword`)
  kUnquotedValue,       // a keyword's value that does not begin with '"': the empty value (`keyword`)
  kNumber,              // a number that is not plain decimal (`word`: the value; `number`: what it reads as)
  kBadChoice,           // an align or readonly value none of its words (`word`: the value)
  kDoubleBytePadding,   // a padding value that begins with a double-byte character: its first byte pads
  kUnclosedQuote,       // a quoted value open to the end of the text
  kUnclosedExpression,  // an expression without ']' before the end of the text
  kLongName,            // a name of 32 bytes or more: the '[' stays as text
  kTableFull,           // a new tag while the table is full: the '[' stays as text
  kReadOnly,            // data or datafile on a read-only tag: ignored (`keyword`)
  kDatafileUnreadable,  // a datafile that could not be read (`word`: the path); LastFileError says why
  kLiteralIgnored,      // literal= in an expression that sets no value (`word`: its value)
  // A closed quoted value that took in a bracket or a line break, and whose closing quote a word without '='
  // follows at once: most likely its own closing quote is missing, and the quote of a later value closed it.
  // `at` is its opening quote, `until` the quote that closed it.
  kQuoteRunsOn,
  kCut,           // a reference's value that max cut: `number` the width, `length` the value's (same units)
  kDatafileRead,  // a datafile was read (`word`: the path as written; `tag` holds the file's text)
};

struct ExpansionNotice {
  ExpansionEvent event;
  const char* expression;  // the expression's '[' in the pass's input
  const char* at;          // the byte the notice is about, in the pass's input
  uint32_t pass;           // 1 for the text itself; later passes read what earlier ones wrote
  const char* name;        // the expression's tag name as read so far
  const char* word;        // see the event; nullptr when it names none
  uint32_t number;
  const char* keyword;  // the keyword whose value the notice is about, or nullptr
  const TagEntry* tag;  // the expression's tag as the notice arises, or nullptr
  // Where the pass's input stops reading before a literal field (the text an expression reads ends there,
  // and a message quotes nothing beyond it), or nullptr when the text's own end comes first.
  const char* literalStop;
  uint32_t length;    // kCut: the value's length before the cut
  const char* until;  // kQuoteRunsOn: the quote that closed the value
};

// Called for every notice of the expansions that follow, and, when `referenced` is set, for every reference
// that writes a tag's value (no mistake: for a caller that counts which tags a run uses); functions and their
// context, no allocation.
struct ExpansionObserver {
  void (*notify)(void* context, const ExpansionNotice& notice) = nullptr;
  void* context = nullptr;
  void (*referenced)(void* context, const TagEntry& tag) = nullptr;
};

// Installs `observer` (an empty one removes it). With none, the engine does no work for notices.
void SetExpansionObserver(const ExpansionObserver& observer);

// The observer and the running pass, as the engine's parts read them, and where the running pass's input
// stops before its next literal field (nullptr when none follows).
extern ExpansionObserver gExpansionObserver;
extern uint32_t gExpansionPass;
extern const char* gExpansionLiteralStop;

}  // namespace morvane
