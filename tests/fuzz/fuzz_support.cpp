#include "tests/fuzz/fuzz_support.h"

#include <sanitizer/asan_interface.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/builtins.h"
#include "engine/expand.h"
#include "engine/tag_table.h"
#include "text/text.h"

namespace morvane::fuzz {

void Fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

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

void CheckEntry(int index) {
  const TagEntry& entry = gTagTable.entries[index];
  if (!entry.InUse()) {
    FUZZ_CHECK(entry.flags == 0);
    FUZZ_CHECK(entry.name[0] == '\0');
    FUZZ_CHECK(entry.data == nullptr);
    FUZZ_CHECK(entry.length == 0);
    return;
  }
  FUZZ_CHECK(strnlen(entry.name, sizeof entry.name) < sizeof entry.name);
  FUZZ_CHECK((entry.flags & ~(TAG_IN_USE | TAG_READONLY | TAG_LITERAL)) == 0);
  if (entry.data == nullptr) {
    FUZZ_CHECK(entry.length == 0);
  } else {
    FUZZ_CHECK(entry.length < kTextBufferSize);
    FUZZ_CHECK(entry.data[entry.length] == '\0');
  }
}

void CheckIdle() {
  FUZZ_CHECK(ScratchBuffer == nullptr);
  FUZZ_CHECK(gScratchBufferSize == 0);
}

std::unique_ptr<char[]> TextOf(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> text(new char[size + 1]);
  if (size != 0) std::memcpy(text.get(), data, size);
  text[size] = '\0';
  return text;
}

std::unique_ptr<char[]> TextAfterCodePageByte(const uint8_t* data, size_t size) {
  SetActiveCodePage((data[0] & 1) != 0 ? kCodePage932 : kCodePageNone);
  return TextOf(data + 1, size - 1);
}

WorkBuffer::WorkBuffer() : bytes_(new char[kTextBufferSize]()), usable_(kTextBufferSize) {}

void WorkBuffer::Load(const uint8_t* text, size_t length, uint32_t size) {
  // The poisoned tail moves only when the size does: marking a whole buffer costs more than a small input.
  if (size != usable_) {
    ASAN_UNPOISON_MEMORY_REGION(bytes_.get(), kTextBufferSize);
    ASAN_POISON_MEMORY_REGION(bytes_.get() + size, kTextBufferSize - size);
    usable_ = size;
  }
  const size_t copied = length < size ? length : size;
  if (copied != 0) std::memcpy(bytes_.get(), text, copied);
  std::memset(bytes_.get() + copied, 0, size - copied);
}

HeaderAndMain SplitHeaderAndMain(const uint8_t* data, size_t size) {
  const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  const size_t headerLength = split != nullptr ? static_cast<size_t>(split - data) : 0;
  const uint8_t* mainText = split != nullptr ? split + 1 : data;
  return {data, headerLength, mainText, size - static_cast<size_t>(mainText - data)};
}

}  // namespace morvane::fuzz
