#include "tests/fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/expand.h"
#include "engine/tag_table.h"
#include "engine/text.h"

namespace morvane::fuzz {

void Fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

namespace {

// The first entry in use whose name equals `name`, by the plain character comparison.
TagEntry* PlainFind(const char* name) {
  for (TagEntry& entry : gTagTable.entries) {
    if (entry.InUse() && NamesEqual(entry.name, name)) return &entry;
  }
  return nullptr;
}

// Names next to an entry's own: one byte longer, shorter, or with a lone lead byte behind. Find must agree
// with the plain comparison on each, whatever stale bytes lie behind the entries' terminators.
void CheckNeighbours(const TagEntry& entry) {
  const size_t length = std::strlen(entry.name);
  char probe[kTagNameMax + 2];
  std::memcpy(probe, entry.name, length + 1);
  if (length > 0) {
    probe[length - 1] = '\0';
    FUZZ_CHECK(gTagTable.Find(probe) == PlainFind(probe));
    probe[length - 1] = entry.name[length - 1];
  }
  for (const char extra : {'x', '\x81', '\0'}) {
    probe[length] = extra;
    probe[length + 1] = '\0';
    FUZZ_CHECK(gTagTable.Find(probe) == PlainFind(probe));
  }
}

}  // namespace

void CheckTable(int firstChecked) {
  for (int index = 0; index < kTagCapacity; ++index) {
    TagEntry& entry = gTagTable.entries[index];
    if (!entry.InUse()) {
      FUZZ_CHECK(entry.flags == 0);
      FUZZ_CHECK(entry.name[0] == '\0');
      FUZZ_CHECK(entry.data == nullptr);
      FUZZ_CHECK(entry.length == 0);
      continue;
    }
    FUZZ_CHECK(strnlen(entry.name, sizeof entry.name) < sizeof entry.name);
    FUZZ_CHECK((entry.flags & ~(TAG_IN_USE | TAG_READONLY)) == 0);
    if (entry.data == nullptr) {
      FUZZ_CHECK(entry.length == 0);
    } else {
      FUZZ_CHECK(entry.length < kTextBufferSize);
      FUZZ_CHECK(entry.data[entry.length] == '\0');
    }
    if (index >= firstChecked) {
      FUZZ_CHECK(gTagTable.Find(entry.name) == &entry);
      CheckNeighbours(entry);
    }
  }
}

void CheckIdle() {
  FUZZ_CHECK(ScratchBuffer == nullptr);
  FUZZ_CHECK(ScratchBufferSize == 0);
}

std::unique_ptr<char[]> TextOf(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> text(new char[size + 1]);
  if (size != 0) std::memcpy(text.get(), data, size);
  text[size] = '\0';
  return text;
}

}  // namespace morvane::fuzz
