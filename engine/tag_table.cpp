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

TagEntry* TagTable::Find(const char* name) {
  // Names are equal exactly when their bytes agree once a trailing lone lead byte is dropped, so an entry
  // whose effective first byte differs is rejected without a full comparison.
  const unsigned char first = EffectiveNameLength(name) == 0 ? 0 : static_cast<unsigned char>(name[0]);
  for (TagEntry& entry : entries) {
    if (!entry.InUse()) continue;
    const unsigned char entryFirst = static_cast<unsigned char>(entry.name[0]);
    if (entryFirst != first) {
      // Only a name that is a single lone lead byte reads as empty while its first byte is not 0.
      if (first != 0 || entry.name[1] != '\0' || !IsLeadByte(entryFirst)) continue;
    }
    if (NamesEqual(entry.name, name)) return &entry;
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
