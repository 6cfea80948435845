#include "engine/tag_table.h"

#include <cstring>

#include "engine/text.h"

namespace morvane {

TagTable gTagTable;

int TagEntry::SetName(const char* newName) {
  const size_t length = std::strlen(newName);
  if (length > static_cast<size_t>(kTagNameMax)) return 0;
  std::memcpy(name, newName, length + 1);
  return 1;
}

int TagEntry::SetData(const char* bytes, uint32_t newLength) {
  if (data != nullptr) {
    delete[] data;
    data = nullptr;
    length = 0;
  }
  // The entry stays without a value if this throws.
  data = new char[static_cast<size_t>(newLength) + 1];
  BoundedCopy(data, bytes, newLength);
  data[newLength] = '\0';
  length = newLength;
  return 1;
}

void TagEntry::Clear() {
  flags = 0;
  name[0] = '\0';
  delete[] data;
  data = nullptr;
  length = 0;
}

namespace {

inline uint64_t LoadWord(const char* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

}  // namespace

TagEntry* TagTable::Find(const char* name) {
  // Names are equal exactly when their bytes agree once a trailing lone lead byte is dropped. So an entry
  // matches when its first `length` bytes are the name's effective bytes and it ends right there (a NUL, or
  // a lone lead byte and then the NUL). The prefix is compared eight bytes at a time under a mask; the
  // bytes of an entry behind its terminator may be stale, but its terminator then falls inside the prefix
  // and differs from the name's byte there, which is never NUL.
  const uint32_t length = EffectiveNameLength(name);
  if (length > static_cast<uint32_t>(kTagNameMax)) return nullptr;
  constexpr int kWords = (kTagNameMax + 1) / 8;
  char keyBytes[kTagNameMax + 1] = {};
  char maskBytes[kTagNameMax + 1] = {};
  std::memcpy(keyBytes, name, length);
  std::memset(maskBytes, 0xFF, length);
  uint64_t key[kWords];
  uint64_t mask[kWords];
  for (int w = 0; w < kWords; ++w) {
    key[w] = LoadWord(keyBytes + 8 * w);
    mask[w] = LoadWord(maskBytes + 8 * w);
  }
  const int words = static_cast<int>((length + 7) / 8);

  // The first eight bytes reject nearly every entry, used or not; they are tested four entries at a time
  // with one branch.
  auto headMatches = [&](const TagEntry& entry) { return ((LoadWord(entry.name) ^ key[0]) & mask[0]) == 0; };
  auto matches = [&](const TagEntry& entry) {
    if (!entry.InUse() || !headMatches(entry)) return false;
    for (int w = 1; w < words; ++w) {
      if (((LoadWord(entry.name + 8 * w) ^ key[w]) & mask[w]) != 0) return false;
    }
    const unsigned char next = static_cast<unsigned char>(entry.name[length]);
    if (next == 0) return true;
    return length < static_cast<uint32_t>(kTagNameMax) && IsLeadByte(next) && entry.name[length + 1] == '\0';
  };
  static_assert(kTagCapacity % 4 == 0);
  for (int i = 0; i < kTagCapacity; i += 4) {
    const bool any = headMatches(entries[i]) | headMatches(entries[i + 1]) | headMatches(entries[i + 2]) |
                     headMatches(entries[i + 3]);
    if (!any) continue;
    for (int k = i; k < i + 4; ++k) {
      if (matches(entries[k])) return &entries[k];
    }
  }
  return nullptr;
}

TagEntry* TagTable::FindFree() {
  for (TagEntry& entry : entries) {
    if (!entry.InUse()) return &entry;
  }
  return nullptr;
}

void TagTable::Create(TagEntry* entry, const char* name) {
  entry->flags = TAG_IN_USE;
  entry->SetName(name);
}

int TagTable::Define(const char* name, const char* bytes, uint32_t length) {
  if (std::strlen(name) > static_cast<size_t>(kTagNameMax)) return 0;
  TagEntry* entry = Find(name);
  if (entry != nullptr) {
    if (entry->ReadOnly()) return 0;
    return entry->SetData(bytes, length);
  }
  entry = FindFree();
  if (entry == nullptr) return 0;
  Create(entry, name);
  return entry->SetData(bytes, length);
}

void TagTable::ClearAll() {
  for (TagEntry& entry : entries) entry.Clear();
}

}  // namespace morvane
