#include "tests/fuzz/table_snapshot.h"

#include <cstring>

#include "engine/tag_table.h"
#include "text/text.h"
#include "tests/fuzz/fuzz_support.h"

namespace morvane::fuzz {

namespace {

model::Characters ActiveCharacters() {
  return model::Characters{ActiveCodePage() == kCodePage932};
}

std::string Significant(const model::Characters& characters, const std::string& name) {
  return name.substr(0, characters.SignificantLength(name));
}

uint32_t FlagsOf(const model::Entry& entry) {
  if (!entry.inUse) return 0;
  return TAG_IN_USE | (entry.readOnly ? TAG_READONLY : 0) | (entry.literal ? TAG_LITERAL : 0);
}

bool SameEntry(const TagEntry& entry, const model::Entry& saved) {
  if (entry.flags != FlagsOf(saved) || saved.name != entry.name) return false;
  if ((entry.data != nullptr) != saved.hasValue || entry.length != saved.value.size()) return false;
  return entry.data == nullptr || std::memcmp(entry.data, saved.value.data(), entry.length) == 0;
}

using NameMap = std::unordered_map<std::string, int>;

// The first entry in index order whose name the plain comparison finds equal to `name`: the lower of its
// places among the recorded names and the new ones (null when there are none).
TagEntry* PlainFind(const std::string& name, const NameMap& recorded, const NameMap* added) {
  const model::Characters characters = ActiveCharacters();
  const std::string key = Significant(characters, name);
  int found = -1;
  const auto old = recorded.find(key);
  if (old != recorded.end()) found = old->second;
  if (added != nullptr) {
    const auto now = added->find(key);
    if (now != added->end() && (found < 0 || now->second < found)) found = now->second;
  }
  return found < 0 ? nullptr : &gTagTable.entries[found];
}

// Names next to an entry's own: one byte shorter, or one longer ('x', a lone lead byte, or nothing behind
// the name but a stale byte's place). Find must give what the plain comparison gives, whatever stale bytes
// lie behind the entries' terminators.
void CheckNeighbours(const TagEntry& entry, const NameMap& recorded, const NameMap* added) {
  const size_t length = std::strlen(entry.name);
  char probe[kTagNameMax + 2];
  std::memcpy(probe, entry.name, length + 1);
  auto check = [&]() { FUZZ_CHECK(gTagTable.Find(probe) == PlainFind(probe, recorded, added)); };
  if (length > 0) {
    probe[length - 1] = '\0';
    check();
    probe[length - 1] = entry.name[length - 1];
  }
  for (const char extra : {'x', '\x81', '\0'}) {
    probe[length] = extra;
    probe[length + 1] = '\0';
    // A name of 32 bytes or more names no tag; Find must still answer.
    check();
  }
}

// New entries whose neighbours one input checks: the first ones it made. Each costs five lookups, and an
// input that makes hundreds of tags would spend most of its time on them.
constexpr int kNeighbourChecks = 32;

}  // namespace

void TableSnapshot::Take() {
  saved_.assign(kTagCapacity, model::Entry());
  for (int index = 0; index < kTagCapacity; ++index) {
    CheckEntry(index);
    const TagEntry& entry = gTagTable.entries[index];
    model::Entry& saved = saved_[static_cast<size_t>(index)];
    if (!entry.InUse()) continue;
    saved.inUse = true;
    saved.readOnly = entry.ReadOnly();
    saved.literal = entry.Literal();
    saved.name = entry.name;
    saved.hasValue = entry.data != nullptr;
    if (saved.hasValue) saved.value.assign(entry.data, entry.length);
  }
  const int codePage = ActiveCodePage();
  for (const int doubleByte : {0, 1}) {
    SetActiveCodePage(doubleByte ? kCodePage932 : kCodePageNone);
    const model::Characters characters = ActiveCharacters();
    names_[doubleByte].clear();
    for (int index = 0; index < kTagCapacity; ++index) {
      const model::Entry& saved = saved_[static_cast<size_t>(index)];
      if (!saved.inUse) continue;
      // No two names may be equal.
      FUZZ_CHECK(names_[doubleByte].emplace(Significant(characters, saved.name), index).second);
    }
    for (int index = 0; index < kTagCapacity; ++index) {
      const TagEntry& entry = gTagTable.entries[index];
      if (!entry.InUse()) continue;
      FUZZ_CHECK(gTagTable.Find(entry.name) == &entry);
      CheckNeighbours(entry, names_[doubleByte], nullptr);
    }
  }
  SetActiveCodePage(codePage);
}

void TableSnapshot::Restore() const {
  for (int index = 0; index < kTagCapacity; ++index) {
    TagEntry& entry = gTagTable.entries[index];
    const model::Entry& saved = saved_[static_cast<size_t>(index)];
    if (SameEntry(entry, saved)) continue;
    entry.Clear();
    if (!saved.inUse) continue;
    entry.flags = FlagsOf(saved);
    entry.SetName(saved.name.c_str());
    if (saved.hasValue) {
      // Byte for byte: a recorded value may hold what SetData would not store (a lone lead byte at its end).
      const size_t length = saved.value.size();
      entry.data = new char[length + 1];
      std::memcpy(entry.data, saved.value.data(), length);
      entry.data[length] = '\0';
      entry.length = static_cast<uint32_t>(length);
    }
  }
}

void TableSnapshot::CheckChanges() const {
  const model::Characters characters = ActiveCharacters();
  const NameMap& recorded = names_[characters.doubleByte ? 1 : 0];
  NameMap added;
  int lowestNew = kTagCapacity;
  for (int index = 0; index < kTagCapacity; ++index) {
    CheckEntry(index);
    const TagEntry& entry = gTagTable.entries[index];
    const model::Entry& saved = saved_[static_cast<size_t>(index)];
    if (saved.inUse) {
      FUZZ_CHECK(entry.InUse());
      FUZZ_CHECK(saved.name == entry.name);
    } else if (entry.InUse()) {
      if (lowestNew == kTagCapacity) lowestNew = index;
      // No new name equals a recorded one or another new one.
      const std::string key = Significant(characters, entry.name);
      FUZZ_CHECK(recorded.count(key) == 0);
      FUZZ_CHECK(added.emplace(key, index).second);
    }
  }
  int probed = 0;
  for (int index = lowestNew; index < kTagCapacity; ++index) {
    const TagEntry& entry = gTagTable.entries[index];
    if (!entry.InUse()) continue;
    FUZZ_CHECK(gTagTable.Find(entry.name) == &entry);
    if (saved_[static_cast<size_t>(index)].inUse || probed == kNeighbourChecks) continue;
    CheckNeighbours(entry, recorded, &added);
    ++probed;
  }
}

}  // namespace morvane::fuzz
