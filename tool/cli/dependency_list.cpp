#include "tool/cli/dependency_list.h"

#include <cstring>

#include "tool/messages.h"

namespace morvane {

namespace {

enum class NamePlace : uint8_t { kTarget, kPrerequisite };

// The name without leading "./", as make reads it.
std::string WithoutCurrentFolder(const std::string& name) {
  size_t start = 0;
  while (name.compare(start, 2, "./") == 0) {
    start += 2;
    while (start < name.size() && name[start] == '/') ++start;
  }
  return name.substr(start);
}

// The suffixes GNU make knows without a makefile: an empty rule for ".c" or ".c.o" defines a suffix rule.
bool IsSuffixRule(const std::string& name) {
  static constexpr const char* kSuffixes[] = {
      ".out", ".a",   ".ln",      ".o",    ".c",      ".cc", ".C",  ".cpp", ".p",   ".f",   ".F", ".m",
      ".r",   ".y",   ".l",       ".ym",   ".yl",     ".s",  ".S",  ".mod", ".sym", ".def", ".h", ".info",
      ".dvi", ".tex", ".texinfo", ".texi", ".txinfo", ".w",  ".ch", ".web", ".sh",  ".elc", ".el"};
  for (const char* first : kSuffixes) {
    if (name.compare(0, std::strlen(first), first) != 0) continue;
    const std::string rest = name.substr(std::strlen(first));
    if (rest.empty()) return true;
    for (const char* second : kSuffixes) {
      if (rest == second) return true;
    }
  }
  return false;
}

UnusableName WhyUnusable(const std::string& name) {
  if (name.find('\n') != std::string::npos) return UnusableName::kLineBreak;
  if (name.find('\t') != std::string::npos) return UnusableName::kTab;
  if (name.find(';') != std::string::npos) return UnusableName::kSemicolon;
  if (name.find('=') != std::string::npos) return UnusableName::kEquals;
  if (name.empty()) return UnusableName::kNone;
  const char last = name.back();
  if (last == ' ' || last == '\r' || last == '\v' || last == '\f') return UnusableName::kTrailingSpace;
  if (last == '\\') return UnusableName::kTrailingBackslash;
  const std::string read = WithoutCurrentFolder(name);
  if (read.empty()) return UnusableName::kNone;
  if (read[0] == '~') return UnusableName::kLeadingTilde;
  // As make tells an archive member: a '(' after the first byte, a ')' at the end, something between.
  const size_t open = name.find('(');
  if (open != std::string::npos && open != 0 && last == ')' && open + 2 != name.size()) {
    return UnusableName::kArchiveMember;
  }
  if (read[0] == '.' && read.size() > 1 &&
      read.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_", 1) == std::string::npos) {
    return UnusableName::kSpecialTarget;
  }
  if (IsSuffixRule(read)) return UnusableName::kSuffixRule;
  return UnusableName::kNone;
}

// A byte that make reads as part of the rule's syntax at `place`, unless a backslash escapes it: spaces
// separate names, '#' begins a comment, ':' ends the targets, wildcards expand, '|' begins the order-only
// prerequisites and '%' makes a target a pattern.
bool TakesBackslash(char c, NamePlace place) {
  switch (c) {
    case ' ':
    case '#':
    case ':':
    case '*':
    case '?':
    case '[':  // a ']' without it is no wildcard, and make keeps a backslash before one
      return true;
    case '|':
      return place == NamePlace::kPrerequisite;
    case '%':
      return place == NamePlace::kTarget;
    default:
      return false;
  }
}

// The name as make reads it back at `place`: '$' doubled, syntax escaped with a backslash, and every
// backslash right before such an escape doubled, so that it stays a byte of the name.
std::string Escaped(const std::string& name, NamePlace place) {
  std::string escaped;
  size_t backslashes = 0;
  for (const char c : name) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    const bool escape = TakesBackslash(c, place);
    escaped.append(escape ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    if (c == '$') escaped += '$';
    escaped += c;
  }
  escaped.append(backslashes, '\\');
  return escaped;
}

}  // namespace

std::string UnusableNameText(UnusableName reason) {
  const bool japanese = MessageLanguage() == Language::kJapanese;
  switch (reason) {
    case UnusableName::kNone:
      break;
    case UnusableName::kLineBreak:
      return japanese ? "改行を含みます" : "it holds a line break";
    case UnusableName::kTab:
      return japanese ? "タブを含みます" : "it holds a tab";
    case UnusableName::kSemicolon:
      return japanese ? "; はレシピの始まりです" : "';' begins a recipe";
    case UnusableName::kEquals:
      return japanese ? "= があると変数の代入になります" : "'=' makes the line a variable assignment";
    case UnusableName::kTrailingSpace:
      return japanese ? "末尾の空白は落とされます" : "make drops the white space at its end";
    case UnusableName::kTrailingBackslash:
      return japanese ? "末尾が \\ です" : "it ends in a backslash";
    case UnusableName::kLeadingTilde:
      return japanese ? "先頭の ~ はホームフォルダーと読まれます" : "a '~' at its start names a home folder";
    case UnusableName::kArchiveMember:
      return japanese ? "NAME(MEMBER) はアーカイブのメンバーと読まれます"
                      : "NAME(MEMBER) names a member of an archive";
    case UnusableName::kSpecialTarget:
      return japanese ? "make の特殊ターゲットの名前です" : "it is the name of one of make's special targets";
    case UnusableName::kSuffixRule:
      return japanese ? "空の規則がサフィックス規則になります" : "an empty rule for it is a suffix rule";
  }
  return "";
}

std::string VisibleName(const std::string& name) {
  std::string shown;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      static const char kHex[] = "0123456789ABCDEF";
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 15];
    } else {
      shown += c;
    }
  }
  return shown;
}

void DependencyList::Add(const char* fileName) {
  if (seen_.insert(fileName).second) names_.emplace_back(fileName);
}

int DependencyList::MakeRule(const std::string& target, std::string* rule, std::string* refused,
                             UnusableName* reason) const {
  *reason = WhyUnusable(target);
  *refused = target;
  for (size_t i = 0; i < names_.size() && *reason == UnusableName::kNone; ++i) {
    *reason = WhyUnusable(names_[i]);
    *refused = names_[i];
  }
  if (*reason != UnusableName::kNone) return 0;
  refused->clear();
  *rule = Escaped(target, NamePlace::kTarget) + ":";
  for (const std::string& name : names_) *rule += " \\\n " + Escaped(name, NamePlace::kPrerequisite);
  *rule += "\n";
  for (const std::string& name : names_) *rule += "\n" + Escaped(name, NamePlace::kTarget) + ":\n";
  return 1;
}

}  // namespace morvane
