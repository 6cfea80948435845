// --warn: what the language drops, ignores or only partly applies, told as FILE:LINE:COLUMN: warning: TEXT.
#pragma once

#include <bitset>
#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/expand.h"
#include "engine/tag_table.h"

namespace morvane {

// Listens to the engine while one text expands and tells its warnings when the text is done, in the order
// they arose, each distinct warning at one place once.
class WarningCollector {
 public:
  using Sink = std::function<void(const std::string& line)>;
  explicit WarningCollector(Sink sink) : sink_(std::move(sink)) {}
  WarningCollector(const WarningCollector&) = delete;
  WarningCollector& operator=(const WarningCollector&) = delete;
  ~WarningCollector();

  // Begins listening to the expansion of `text` (what its first pass reads) from the file `fileName`.
  void Begin(const std::string& fileName, const char* text);
  // Stops listening and tells the warnings of the text: a missing tag that exists now was defined after the
  // reference, or under another letter case, and says so.
  void End();

  // Warnings told so far.
  size_t Count() const { return told_; }

  // The tags the front end gave (-D, a record's fields), by name in the active code page: a data or
  // datafile that meets one of them, made read-only so, is the way to give a default and no warning. Their
  // references are counted. Given before the run's first Begin.
  void SetGivenTags(std::vector<std::string> names);
  // Counts a reference to `name` that the front end makes itself (--value).
  void CountReference(const std::string& name);
  // The given tags that no expression of the texts expanded since SetGivenTags referred to (a missing one
  // included), in the order they were given.
  std::vector<std::string> UnreferencedGivenTags() const;
  // Tells one warning that belongs to no place of a text (a -D that nothing refers to), as one line.
  void TellLine(const std::string& line);

 private:
  struct Pending {
    std::string place;  // "FILE:LINE:COLUMN" or "FILE: pass N" and the expression
    std::string text;
    bool missing = false;  // a missing tag, which End looks up by its name
    std::string missingTag;
    bool firstPass = true;
    size_t line = 0;  // in the first pass
    size_t column = 0;
    std::string lineOrPass[3];
  };

  static void Notify(void* self, const ExpansionNotice& notice);
  static void Referenced(void* self, const TagEntry& tag);
  // Whether `tag` is one the front end gave.
  bool Given(const TagEntry* tag) const;
  void Add(const ExpansionNotice& notice);
  // Line and column (1-based, columns in characters) of `at`, a byte of the text's first pass.
  void LineAndColumn(const char* at, size_t* line, size_t* column);
  std::string Line(const Pending& pending) const;

  Sink sink_;
  std::string fileName_;
  const char* text_ = nullptr;
  const char* lineStart_ = nullptr;
  size_t line_ = 1;
  std::vector<Pending> pending_;
  std::set<std::string> seen_;
  size_t told_ = 0;
  bool listening_ = false;
  std::vector<std::string> givenNames_;
  std::bitset<kTagCapacity> given_;        // entries of the given tags, once the run has defined them
  std::bitset<kTagCapacity> referenced_;   // entries that a reference wrote
  std::set<std::string> referencedNames_;  // references the front end counted itself
};

}  // namespace morvane
