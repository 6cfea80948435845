// ExpandText over a header part and a main part, both expanded against one table as an update run does.
// Input: one control byte (bit 0: code page 932, else utf-8 for a main text of odd length and none for one of
// even length; bits 1-3: working buffer size; bits 4-5 both set: a table with only bits 6-7 entries free),
// then the header text, a NUL, and the main text. In utf-8 a result of valid UTF-8 texts and files is valid
// UTF-8.
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "engine/expand.h"
#include "engine/tag_table.h"
#include "text/text.h"
#include "text/unicode_width.h"
#include "files/text_files.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/table_snapshot.h"

namespace morvane::fuzz {
namespace {

// The full size is the slowest to run, so it comes up least.
constexpr uint32_t kSizes[] = {512, 512, 4096, 4096, 4096, 65536, 65536, kTextBufferSize};

// Fills the table up to `freeEntries` free entries with distinct names and no values, so that moving between
// the starting tables allocates nothing.
void FillTableBut(int freeEntries) {
  int index = 0;
  while (gTagTable.entries[index].InUse()) ++index;
  char name[4] = {};
  for (; index < kTagCapacity - freeEntries; ++index) {
    name[0] = static_cast<char>(0x01 + index % 16);
    name[1] = static_cast<char>('0' + index / 16);
    TagTable::Create(&gTagTable.entries[index], name);
  }
}

// The tables an input starts from: [0] the built-ins alone, [1 + n] the built-ins and a full table but n
// entries. Each is built and checked once; inputs only restore them.
TableSnapshot gStarts[5];

// The final text of a text that holds no tag expression: escapes become '[', all else stays. nullopt when
// the text holds an unescaped '['.
std::optional<std::string> WithoutTags(const char* text) {
  std::string result;
  for (const char* p = text; *p != '\0';) {
    if (*p == '[') return std::nullopt;
    if (p[0] == '\\' && p[1] == '[') {
      result += '[';
      p += 2;
      continue;
    }
    const int length = p[0] == '\\' ? 1 : CharLength(p);
    result.append(p, static_cast<size_t>(length));
    p += length;
  }
  return result;
}

// Whether `length` bytes are valid UTF-8.
bool ValidUtf8(const char* text, size_t length) {
  const char* const end = text + length;
  for (const char* p = text; p < end;) {
    const int sequence = WellFormedLength(p, end);
    if (sequence == 0) return false;
    p += sequence;
  }
  return true;
}

// Listens to every expansion as --warn does, so that the notices are fuzzed too: each names a place inside
// the pass's input (the sanitizer sees every byte read), a name the expression could have, and what its event
// says it carries.
void CheckNotice(void*, const ExpansionNotice& notice) {
  FUZZ_CHECK(notice.pass >= 1 && notice.expression != nullptr && notice.at != nullptr &&
             notice.name != nullptr);
  FUZZ_CHECK(notice.expression[0] == '[' && notice.at >= notice.expression);
  FUZZ_CHECK(std::strlen(notice.name) <= static_cast<size_t>(kTagNameMax));
  FUZZ_CHECK(std::strlen(notice.at) < kTextBufferSize);
  switch (notice.event) {
    case ExpansionEvent::kUnknownWord:
    case ExpansionEvent::kWordWithoutValue:
    case ExpansionEvent::kSpaceBeforeEquals:
    case ExpansionEvent::kMissingTag:
    case ExpansionEvent::kDatafileUnreadable:
      FUZZ_CHECK(notice.word != nullptr && std::strlen(notice.word) < kTextBufferSize);
      break;
    case ExpansionEvent::kNumber:
    case ExpansionEvent::kBadChoice:
    case ExpansionEvent::kDoubleBytePadding:
      FUZZ_CHECK(notice.word != nullptr && notice.keyword != nullptr);
      break;
    case ExpansionEvent::kSpaceAfterEquals:
    case ExpansionEvent::kUnquotedValue:
    case ExpansionEvent::kReadOnly:
      FUZZ_CHECK(notice.keyword != nullptr);
      break;
    case ExpansionEvent::kCut:
      FUZZ_CHECK(notice.tag != nullptr && notice.number < notice.length);
      break;
    case ExpansionEvent::kQuoteRunsOn:
      FUZZ_CHECK(notice.at[0] == '"' && notice.until > notice.at && notice.until[0] == '"');
      break;
    case ExpansionEvent::kDatafileRead:
      FUZZ_CHECK(notice.word != nullptr && notice.tag != nullptr);
      break;
    default:
      break;
  }
}

}  // namespace
}  // namespace morvane::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  using namespace morvane;
  using namespace morvane::fuzz;
  SetWorkBudget(kFuzzBudget);
  SetExpansionObserver(ExpansionObserver{&CheckNotice, nullptr});
  for (int start = 0; start < 5; ++start) {
    gTagTable.ClearAll();
    DefineFixedBuiltins();
    if (start != 0) FillTableBut(start - 1);
    gStarts[start].Take();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace morvane;
  using namespace morvane::fuzz;
  if (size == 0) return 0;
  const uint8_t control = data[0];
  const uint32_t bufferSize = kSizes[(control >> 1) & 7];
  ++data;
  --size;

  const HeaderAndMain texts = SplitHeaderAndMain(data, size);
  const size_t headerLength = texts.headerLength;
  const uint8_t* mainText = texts.main;
  const size_t mainLength = texts.mainLength;
  const int codePage = (control & 1) != 0      ? kCodePage932
                       : (mainLength & 1) != 0 ? kCodePageUtf8
                                               : kCodePageNone;
  SetActiveCodePage(codePage);
  const bool validUtf8 = codePage == kCodePageUtf8 &&
                         ValidUtf8(reinterpret_cast<const char*>(data), headerLength) &&
                         ValidUtf8(reinterpret_cast<const char*>(mainText), mainLength);
  gServedInvalidUtf8 = false;

  const TableSnapshot& start = gStarts[(control & 0x30) == 0x30 ? 1 + (control >> 6) : 0];
  start.Restore();
  SetBaseDirectory("\\fuzz\\header.txt");

  // The header: no destination; its source stays as it was, and a text that fills the buffer fails. Its
  // changes to the table are checked with the main text's.
  if (headerLength != 0) {
    static WorkBuffer header;
    static WorkBuffer before;
    header.Load(data, headerLength, bufferSize);
    before.Load(data, headerLength, bufferSize);
    const int result = ExpandText(nullptr, header.get(), bufferSize);
    FUZZ_CHECK(std::memcmp(header.get(), before.get(), bufferSize) == 0);
    if (headerLength >= bufferSize) FUZZ_CHECK(result == 0);
    CheckIdle();
  }

  // The main text: expanded in place. A failure leaves the buffer as it was; a success leaves a text that
  // fits the buffer.
  SetBaseDirectory("\\fuzz\\main.txt");
  static WorkBuffer buffer;
  static WorkBuffer before;
  buffer.Load(mainText, mainLength, bufferSize);
  before.Load(mainText, mainLength, bufferSize);
  const bool fits = strnlen(before.get(), bufferSize) < bufferSize;
  const std::optional<std::string> plain = fits ? WithoutTags(before.get()) : std::nullopt;
  const int result = ExpandText(buffer.get(), buffer.get(), bufferSize);
  CheckIdle();
  start.CheckChanges();
  if (result == 0) {
    FUZZ_CHECK(std::memcmp(buffer.get(), before.get(), bufferSize) == 0);
    FUZZ_CHECK(!plain.has_value());
  } else {
    FUZZ_CHECK(fits);
    FUZZ_CHECK(strnlen(buffer.get(), bufferSize) < bufferSize);
    if (plain.has_value()) FUZZ_CHECK(*plain == buffer.get());
    // Fields never split a character, so only a file read can bring in bytes that are not UTF-8.
    if (validUtf8 && !gServedInvalidUtf8) FUZZ_CHECK(ValidUtf8(buffer.get(), std::strlen(buffer.get())));
  }
  // Every block the input added to the table is released within the input: libFuzzer runs an input again,
  // looking for leaks, whenever it leaves more allocations than it found.
  start.Restore();
  return 0;
}
