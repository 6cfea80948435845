// The fixed table of named tags that lives for the whole process.
#pragma once

#include <cstdint>

namespace morvane {

inline constexpr int kTagCapacity = 1024;
inline constexpr int kTagNameMax = 31;

inline constexpr uint32_t TAG_IN_USE = 1;
inline constexpr uint32_t TAG_READONLY = 2;
// The value is literal: a reference writes it as a field that no later pass reads again, so its '[', ']',
// '\' and '"' come out as they stand. Set with the value (literal="yes", the command line's -D), cleared by
// any value set without it.
inline constexpr uint32_t TAG_LITERAL = 4;

class TagEntry {
 public:
  TagEntry() = default;
  TagEntry(const TagEntry&) = delete;
  TagEntry& operator=(const TagEntry&) = delete;
  ~TagEntry() { Clear(); }

  // Stores a name of at most kTagNameMax bytes; a longer one returns 0 and changes nothing.
  int SetName(const char* newName);
  // Replaces the value with exactly `newLength` bytes copied by BoundedCopy from `bytes`, plus a 0.
  // Out of memory leaves the entry without a value and throws std::bad_alloc.
  int SetData(const char* bytes, uint32_t newLength);
  // Back to the unused state, releasing the value.
  void Clear();

  bool InUse() const { return (flags & TAG_IN_USE) != 0; }
  bool ReadOnly() const { return (flags & TAG_READONLY) != 0; }
  bool Literal() const { return (flags & TAG_LITERAL) != 0; }

  uint32_t flags = 0;
  char name[kTagNameMax + 1] = {};
  char* data = nullptr;
  uint32_t length = 0;
};

class TagTable {
 public:
  // The entry in use whose name equals `name` (NamesEqual), first in index order, or nullptr.
  TagEntry* Find(const char* name);
  // The same among the first `count` entries alone: for a caller that has just filled the table from its
  // start and knows that no entry after those is in use.
  TagEntry* FindAmongFirst(const char* name, int count);
  // The unused entry with the lowest index, or nullptr when all are in use.
  TagEntry* FindFree();
  // Creation step on a free entry: flags exactly TAG_IN_USE, then the name.
  static void Create(TagEntry* entry, const char* name);
  // Defines or replaces a tag's value. 0 when the tag is read-only, the table is full or the name is too
  // long.
  int Define(const char* name, const char* bytes, uint32_t length);
  void ClearAll();

  TagEntry entries[kTagCapacity];
};

// The one table of the process.
extern TagTable gTagTable;

}  // namespace morvane
