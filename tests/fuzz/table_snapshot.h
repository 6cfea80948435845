// A recorded state of the tag table: put back cheaply before each input, and the base against which an
// input's changes are checked, so that the harnesses need not rebuild or re-check what every input shares.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "tests/fuzz/reference_model.h"

namespace morvane::fuzz {

class TableSnapshot {
 public:
  // Records gTagTable as it stands and checks all of it once, under code page 932 and under none: the
  // invariants of every entry, no two names equal, and Find giving each entry for its own name and agreeing
  // with the plain comparison on the names next to it.
  void Take();

  // Makes gTagTable hold the recorded state again, rewriting only the entries that differ. A rewritten
  // entry is cleared first, so stale name bytes stay behind its terminator, as after any clear.
  void Restore() const;

  // Checks gTagTable after an input against the recorded state: the invariants of every entry; no entry in
  // use before has left use or changed its name (nothing in the language does either); each new entry is
  // what Find gives for its own name, and for the first new entries also for the names next to it as the
  // plain comparison says. Find's answer for an older name depends only on the entries up to that name's
  // own, so it is checked again only where a new entry took a free entry below it.
  void CheckChanges() const;

  const std::vector<model::Entry>& entries() const { return saved_; }

 private:
  // Significant bytes of each recorded name and its index, under code page none [0] and 932 [1].
  std::unordered_map<std::string, int> names_[2];
  std::vector<model::Entry> saved_;
};

}  // namespace morvane::fuzz
