// --deps: every file a run reads or tries to read, written as a make dependency file.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace morvane {

// Every file the run reads or tries to read, each once, in order: what --deps lists. The names are the file
// system's, and so is the target, as typed.
class DependencyList {
 public:
  DependencyList();
  ~DependencyList();
  DependencyList(const DependencyList&) = delete;
  DependencyList& operator=(const DependencyList&) = delete;

  // The file in make's form, gcc -MD -MP style: the rule, then an empty rule for each prerequisite so that
  // a deleted file does not stop make.
  std::string MakeRule(const std::string& target) const;

 private:
  static void Record(void* self, const char* fileName);

  std::vector<std::string> names_;
  std::set<std::string> seen_;
};

}  // namespace morvane
