// What morvane-cli learns from the reads of a run: the files it found (for --deps), the regular files it
// read (which no output may replace), and the files a template names that could not be read.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "files/text_files.h"
#include "tool/cli/dependency_list.h"

namespace morvane {

// A regular file a run reads, and how a message names it: its role and its name ("MAIN report.tmpl",
// "datafile ./prices.txt").
struct RunInput {
  std::string role;
  FileIdentity identity;
};

// Adds the file `path` names as given (HEADER, MAIN, DATA: "-" is standard input) to `inputs` when it is a
// regular file; devices, pipes and files that do not exist are no inputs.
void AddNamedInput(std::vector<RunInput>* inputs, const std::string& role, const char* path);

// The first of `inputs` that writing the output `path` (as given) would replace: the same regular file,
// whatever the name, link or folder it is reached by. nullptr when it is none of them.
const RunInput* InputReplacedBy(const char* path, const std::vector<RunInput>& inputs);

// A file a template names that exists but could not be read.
struct UnreadableFile {
  std::string templateName;  // the file being expanded, as the user named it
  std::string path;          // as formed, in the active code page
  FileError error;
  int systemError;
};

// Listens to the file layer for one run (one at a time).
class RunReads {
 public:
  using UnreadableSink = std::function<void(const UnreadableFile& file)>;
  // `sink` hears of each unreadable file once, as it arises.
  explicit RunReads(UnreadableSink sink);
  ~RunReads();
  RunReads(const RunReads&) = delete;
  RunReads& operator=(const RunReads&) = delete;

  // The file whose expansion begins, as the user named it: the datafiles read from now on are its.
  void BeginFile(const std::string& name) { expanding_ = name; }

  const DependencyList& Dependencies() const { return dependencies_; }
  // Every regular file the reads opened, each named "datafile NAME" (HEADER and MAIN are added by their
  // roles beforehand, so that they are found first).
  const std::vector<RunInput>& Read() const { return read_; }
  size_t UnreadableCount() const { return unreadable_.size(); }

 private:
  static void Found(void* self, const char* fileName, const FileIdentity* opened);
  static void Unreadable(void* self, const char* path, FileError error, int systemError);

  UnreadableSink sink_;
  std::string expanding_;
  DependencyList dependencies_;
  std::vector<RunInput> read_;
  std::vector<std::string> unreadable_;
};

}  // namespace morvane
