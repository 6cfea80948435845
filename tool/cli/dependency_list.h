// --deps: every file a run reads or tries to read, written as a make dependency file.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace morvane {

// Why GNU make could not read a file's name in a dependency file, whatever the escaping.
enum class UnusableName : uint8_t {
  kNone,
  kLineBreak,          // a line break ends the rule
  kTab,                // no escape keeps a tab in an empty rule's target
  kSemicolon,          // ';' begins a recipe
  kEquals,             // '=' makes the line a variable assignment
  kTrailingSpace,      // make drops white space (and a CR) at a name's end
  kTrailingBackslash,  // a backslash at the end escapes what follows the name
  kLeadingTilde,       // '~' at the start names a home folder
  kArchiveMember,      // "lib(member)" names a member of an archive
  kSpecialTarget,      // ".PHONY", ".SUFFIXES", ...: make's own targets
  kSuffixRule,         // ".c", ".c.o", ...: an empty rule for it is a suffix rule
};

// The reason in the messages' language, for a message.
std::string UnusableNameText(UnusableName reason);

// A name as a message shows it: line breaks, tabs and other control bytes written as \n, \t, \xHH.
std::string VisibleName(const std::string& name);

// Every file the run reads or tries to read, each once, in order: what --deps lists. The names are the file
// system's, and so is the target, as typed.
class DependencyList {
 public:
  // A file the run read or found.
  void Add(const char* fileName);

  // The file in make's form, gcc -MD -MP style: the rule, then an empty rule for each prerequisite so that
  // a deleted file does not stop make. Names are escaped as GNU make reads them. Returns 0, with the name
  // and why in *refused and *reason, when make could not read one of them, the target included.
  int MakeRule(const std::string& target, std::string* rule, std::string* refused,
               UnusableName* reason) const;

 private:
  std::vector<std::string> names_;
  std::set<std::string> seen_;
};

}  // namespace morvane
