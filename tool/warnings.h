// --warn: what the language drops, ignores or only partly applies, told as
// FILE:LINE:COLUMN: warning: TEXT [CLASS].
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/expand.h"
#include "engine/tag_table.h"
#include "tool/update_run.h"

namespace morvane {

// The kinds of warnings. Each has a short name that ends its lines ("... [unknown-tag]") and that --warn=
// and --no-warn= take; the names stay as they are once given.
enum class WarningClass : uint8_t {
  kUnknownTag,      // a reference to a tag that does not exist
  kUnknownKeyword,  // a word before '=' that is no keyword, or '=' with no word
  kStrayWord,       // a word without '='
  kSpace,           // a space before or after '='
  kUnquoted,        // a value without quotes
  kNumber,          // a number that does not read as written
  kChoice,          // an align, readonly or literal value that is none of its words
  kPadding,         // a double-byte padding character
  kUnclosed,        // a quote or an expression left open, or a quote closed by a later value's
  kLongName,        // a name of 32 bytes or more
  kTableFull,       // a new tag in a full table
  kReadOnly,        // a definition of a read-only tag
  kDatafile,        // a datafile that cannot be read
  kLiteral,         // literal= in an expression that sets no value
  kCut,             // a value that max cut (off by default)
  kCodePage,        // a file that is not valid in the active code page
  kByteOrderMark,   // a byte-order mark copied into the result or a value
  kUnusedDefine,    // a -D that nothing refers to
  kUnusedField,     // a field of --rows DATA that nothing refers to (off by default)
  kCount
};

const char* WarningClassName(WarningClass warningClass);
// The class named `name` (exactly, lower case). false when none is.
bool FindWarningClass(const std::string& name, WarningClass* found);
// Every class name, in order, separated by ", ", for a message.
std::string WarningClassNames();

// Which classes a run tells and counts.
class WarningClasses {
 public:
  // Every class but those off by default (cut, unused-field).
  static WarningClasses Defaults();
  static WarningClasses All();

  bool Has(WarningClass warningClass) const { return bits_.test(static_cast<size_t>(warningClass)); }
  bool Any() const { return bits_.any(); }
  void Set(WarningClass warningClass, bool on) { bits_.set(static_cast<size_t>(warningClass), on); }
  // Switches the classes of a comma-separated list on or off; "all" stands for every class. 0, with the
  // first word that names no class in *unknown, when one does not (nothing is switched then).
  int Apply(const std::string& list, bool on, std::string* unknown);
  bool operator==(const WarningClasses& other) const = default;

 private:
  std::bitset<static_cast<size_t>(WarningClass::kCount)> bits_;
};

// Listens to the engine while one text expands and tells its warnings of the enabled classes when the text is
// done, in the order they arose, each distinct warning at one place once. Each file (HEADER, MAIN, every
// datafile) is looked at once for bytes that are no text of the active code page and for a byte-order mark.
class WarningCollector {
 public:
  using Sink = std::function<void(const std::string& line)>;
  explicit WarningCollector(Sink sink, WarningClasses classes = WarningClasses::Defaults())
      : sink_(std::move(sink)), classes_(classes) {}
  WarningCollector(const WarningCollector&) = delete;
  WarningCollector& operator=(const WarningCollector&) = delete;
  ~WarningCollector();

  // Begins listening to the expansion of `text` (what its first pass reads) from the file `fileName`: the
  // header, the main file, or (kNone) a text of no file, such as an -o pattern, whose bytes are not looked
  // at.
  void Begin(const std::string& fileName, const char* text, RunFile file = RunFile::kNone);
  // Stops listening and tells the warnings of the text: a missing tag that exists now was defined after the
  // reference, or under another letter case, and says so.
  void End();

  // Warnings told so far.
  size_t Count() const { return told_; }
  const WarningClasses& Classes() const { return classes_; }

  // The tags the front end gave (-D, a record's fields), by name in the active code page: a data or
  // datafile that meets one of them, made read-only so, is the way to give a default and no warning. Their
  // references are counted. Given before the run's first Begin.
  void SetGivenTags(std::vector<std::string> names);
  // Counts a reference to `name` that the front end makes itself (--value).
  void CountReference(const std::string& name);
  // The given tags that no expression of the texts expanded since SetGivenTags referred to (a missing one
  // included), in the order they were given.
  std::vector<std::string> UnreferencedGivenTags() const;
  // Tells one warning of `warningClass` that belongs to no place of a text (a -D that nothing refers to),
  // as one line, when the class is enabled.
  void TellLine(const std::string& line, WarningClass warningClass);

 private:
  struct Pending {
    WarningClass warningClass = WarningClass::kUnknownTag;
    std::string place;  // what tells two places apart: "LINE:COLUMN", or the expression of a later pass
    std::string text;
    bool missing = false;  // a missing tag, which End looks up by its name
    std::string missingTag;
    // Ordered by the place in the text's first pass; those of later passes after them, as they arose.
    bool firstPass = true;
    size_t line = 0;
    size_t column = 0;
    // As told: FILE:LINE:COLUMN, or FILE: pass N and the expression's first bytes.
    std::string fileName;
    bool inPass = false;
    std::string shownLine;
    std::string shownColumn;
    std::string pass;
    std::string expressionStart;
  };

  static void Notify(void* self, const ExpansionNotice& notice);
  static void Referenced(void* self, const TagEntry& tag);
  // Whether `tag` is one the front end gave.
  bool Given(const TagEntry* tag) const;
  void Add(const ExpansionNotice& notice);
  // Line and column (1-based, columns in characters) of `at`, a byte of the text's first pass.
  void LineAndColumn(const char* at, size_t* line, size_t* column);
  // Looks once at the bytes of the file `fileName` (its text in the active code page): a byte that is no
  // character there, and, when `copiedInto` is given, a byte-order mark at its start, which is copied into
  // the result ("") or into the value of that tag. `order` places the warnings among the text's others.
  void CheckFile(const std::string& fileName, const char* text, size_t length, const std::string* copiedInto,
                 const Pending& order);
  // Keeps a warning not yet told at its place; false when it was.
  bool Keep(Pending pending);
  std::string Line(const Pending& pending) const;

  Sink sink_;
  WarningClasses classes_;
  std::string fileName_;
  const char* text_ = nullptr;
  const char* lineStart_ = nullptr;
  size_t line_ = 1;
  std::vector<Pending> pending_;
  std::set<std::string> seen_;
  std::set<std::string> checkedFiles_;  // the files looked at in this run
  // The expression of the pass being read whose quoted value ran on (its later words are that value's).
  const char* runOnExpression_ = nullptr;
  uint32_t runOnPass_ = 0;
  std::string runOnPlace_;  // where that value began, for the notes of those words
  size_t told_ = 0;
  bool listening_ = false;
  std::vector<std::string> givenNames_;
  std::bitset<kTagCapacity> given_;        // entries of the given tags, once the run has defined them
  std::bitset<kTagCapacity> referenced_;   // entries that a reference wrote
  std::set<std::string> referencedNames_;  // references the front end counted itself
};

}  // namespace morvane
