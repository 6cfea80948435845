#include "tests/engine/engine_test_support.h"

#include <cstring>
#include <memory>

namespace morvane::testing {

std::optional<std::string> Expand(const std::string& text, uint32_t size) {
  std::unique_ptr<char[]> buffer(new char[kTextBufferSize]);
  std::memset(buffer.get(), 0, kTextBufferSize);
  std::memcpy(buffer.get(), text.data(), std::min<size_t>(text.size(), kTextBufferSize - 1));
  if (!ExpandText(buffer.get(), buffer.get(), size)) return std::nullopt;
  return std::string(buffer.get());
}

std::optional<std::string> ValueOf(const char* name) {
  const TagEntry* entry = gTagTable.Find(name);
  if (entry == nullptr) return std::nullopt;
  if (entry->data == nullptr) return std::string();
  return std::string(entry->data, entry->length);
}

void DefineAll(std::initializer_list<std::pair<const char*, const char*>> tags) {
  for (const auto& [name, value] : tags) {
    ASSERT_EQ(gTagTable.Define(name, value, static_cast<uint32_t>(std::strlen(value))), 1) << name;
  }
}

void FillTable() {
  for (int i = 0; i < kTagCapacity; ++i) {
    TagEntry& entry = gTagTable.entries[i];
    if (entry.InUse()) continue;
    const std::string name = "fill" + std::to_string(i);
    TagTable::Create(&entry, name.c_str());
  }
}

void ExpectTableConsistent() {
  for (int i = 0; i < kTagCapacity; ++i) {
    const TagEntry& entry = gTagTable.entries[i];
    if (!entry.InUse()) {
      EXPECT_EQ(entry.flags, 0u) << i;
      EXPECT_EQ(entry.data, nullptr) << i;
      EXPECT_EQ(entry.length, 0u) << i;
      continue;
    }
    EXPECT_LT(strnlen(entry.name, sizeof entry.name), sizeof entry.name) << i;
    EXPECT_EQ(entry.flags & ~(TAG_IN_USE | TAG_READONLY | TAG_LITERAL), 0u) << i;
    if (entry.data != nullptr) {
      EXPECT_EQ(entry.data[entry.length], '\0') << i;
    } else {
      EXPECT_EQ(entry.length, 0u) << i;
    }
    for (int j = 0; j < i; ++j) {
      if (!gTagTable.entries[j].InUse()) continue;
      EXPECT_FALSE(NamesEqual(gTagTable.entries[j].name, entry.name)) << j << " " << i;
    }
  }
}

}  // namespace morvane::testing
