#include "tool/cli/dependency_list.h"

#include "files/text_files.h"

namespace morvane {

namespace {

// Spaces and '#' take a backslash, '$' doubles, as make reads names.
std::string Escaped(const std::string& name) {
  std::string escaped;
  for (char c : name) {
    if (c == ' ' || c == '#') escaped += '\\';
    if (c == '$') escaped += '$';
    escaped += c;
  }
  return escaped;
}

}  // namespace

DependencyList::DependencyList() {
  SetReadRecorder(&DependencyList::Record, this);
}

DependencyList::~DependencyList() {
  SetReadRecorder(nullptr, nullptr);
}

std::string DependencyList::MakeRule(const std::string& target) const {
  std::string rule = Escaped(target) + ":";
  for (const std::string& name : names_) rule += " \\\n " + Escaped(name);
  rule += "\n";
  for (const std::string& name : names_) rule += "\n" + Escaped(name) + ":\n";
  return rule;
}

void DependencyList::Record(void* self, const char* fileName) {
  auto* list = static_cast<DependencyList*>(self);
  if (list->seen_.insert(fileName).second) list->names_.emplace_back(fileName);
}

}  // namespace morvane
