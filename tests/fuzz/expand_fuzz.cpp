// ExpandText over a header part and a main part, both expanded against one table as an update run does.
// Input: one control byte (bit 0: code page 932, else utf-8 for a main text of odd length and none for one of
// even length; bits 1-3: working buffer size; bits 4-5 both set: a table with only bits 6-7 entries free),
// then the header text, a NUL, and the main text. In utf-8 a result of valid UTF-8 texts and files is valid
// UTF-8.
#include <sanitizer/asan_interface.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "engine/builtins.h"
#include "engine/expand.h"
#include "engine/tag_table.h"
#include "engine/text.h"
#include "engine/unicode_width.h"
#include "files/text_files.h"
#include "tests/fuzz/fuzz_support.h"

namespace morvane::fuzz {
namespace {

// The full size is the slowest to run, so it comes up least.
constexpr uint32_t kSizes[] = {512, 512, 4096, 4096, 4096, 65536, 65536, kTextBufferSize};

// The 27 built-in variables from one fixed reading, as every update run begins.
void DefineFixedBuiltins() {
  ClockReading clock;
  clock.wYear = 2008;
  clock.wMonth = 2;
  clock.wDay = 29;
  clock.wHour = 13;
  clock.wMinute = 5;
  clock.wMilliseconds = 7;
  VersionReading version;
  version.dwMajorVersion = 6;
  std::memcpy(version.szCSDVersion, "Service Pack 1", 15);
  DefineBuiltinsFrom(clock, version);
}

// Fills the table up to `freeEntries` free entries with distinct names; returns the first index left.
int FillTableBut(int freeEntries) {
  int index = 0;
  while (gTagTable.entries[index].InUse()) ++index;
  char name[4] = {};
  for (; index < kTagCapacity - freeEntries; ++index) {
    name[0] = static_cast<char>(0x01 + index % 16);
    name[1] = static_cast<char>('0' + index / 16);
    TagTable::Create(&gTagTable.entries[index], name);
    gTagTable.entries[index].SetData("f", 1);
  }
  return index;
}

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

// A working buffer of kTextBufferSize bytes, allocated once; only its first `size` bytes may be touched, the
// rest is poisoned so the sanitizer reports any access to it.
class WorkBuffer {
 public:
  WorkBuffer() : bytes_(new char[kTextBufferSize]) {}
  char* get() const { return bytes_.get(); }

  // Holds `text` (cut to `size` bytes, terminated only when it fits) and zeros up to `size`.
  void Load(const uint8_t* text, size_t length, uint32_t size) {
    ASAN_UNPOISON_MEMORY_REGION(bytes_.get(), kTextBufferSize);
    const size_t copied = length < size ? length : size;
    std::memcpy(bytes_.get(), text, copied);
    std::memset(bytes_.get() + copied, 0, size - copied);
    ASAN_POISON_MEMORY_REGION(bytes_.get() + size, kTextBufferSize - size);
  }

 private:
  std::unique_ptr<char[]> bytes_;
};

}  // namespace
}  // namespace morvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace morvane;
  using namespace morvane::fuzz;
  if (size == 0) return 0;
  const uint8_t control = data[0];
  const uint32_t bufferSize = kSizes[(control >> 1) & 7];
  ++data;
  --size;

  const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  const size_t headerLength = split != nullptr ? static_cast<size_t>(split - data) : 0;
  const uint8_t* mainText = split != nullptr ? split + 1 : data;
  const size_t mainLength = size - static_cast<size_t>(mainText - data);
  const int codePage = (control & 1) != 0      ? kCodePage932
                       : (mainLength & 1) != 0 ? kCodePageUtf8
                                               : kCodePageNone;
  SetActiveCodePage(codePage);
  const bool validUtf8 = codePage == kCodePageUtf8 &&
                         ValidUtf8(reinterpret_cast<const char*>(data), headerLength) &&
                         ValidUtf8(reinterpret_cast<const char*>(mainText), mainLength);
  gServedInvalidUtf8 = false;

  gTagTable.ClearAll();
  DefineFixedBuiltins();
  const int firstChecked = (control & 0x30) == 0x30 ? FillTableBut(control >> 6) : 0;
  SetBaseDirectory("\\fuzz\\header.txt");

  // The header: no destination; its source stays as it was, and a text that fills the buffer fails.
  if (headerLength != 0) {
    static WorkBuffer header;
    static WorkBuffer before;
    header.Load(data, headerLength, bufferSize);
    before.Load(data, headerLength, bufferSize);
    const int result = ExpandText(nullptr, header.get(), bufferSize);
    FUZZ_CHECK(std::memcmp(header.get(), before.get(), bufferSize) == 0);
    if (headerLength >= bufferSize) FUZZ_CHECK(result == 0);
    CheckIdle();
    CheckTable(firstChecked);
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
  CheckTable(firstChecked);
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
  gTagTable.ClearAll();
  return 0;
}
