// Following edits, in the window and on the command line: the files an update run read or tried to read,
// each as the run found it, and which of them has changed since.
#pragma once

#include <string>
#include <vector>

#include "files/text_files.h"

namespace morvane {

class FollowedFiles {
 public:
  struct File {
    std::string name;  // the file system's form, relative to the working directory or absolute
    FileStamp stamp;   // as the run found it (also: that it did not exist)
  };

  FollowedFiles() = default;
  ~FollowedFiles();
  FollowedFiles(const FollowedFiles&) = delete;
  FollowedFiles& operator=(const FollowedFiles&) = delete;

  // Forgets the files of the last run and listens to the file layer (one listener at a time) until
  // StopRecording: every file a read tries to open is kept, each once, in the order first tried, stamped at
  // that moment, so that a change after the read is a change. A file that does not exist is kept too: its
  // appearing changes the result.
  void StartRecording();
  void StopRecording();

  // Adds a file the run did not get to try (a header or main file after a failed expansion), as it is now.
  void Add(const std::string& name);

  // A file the run itself wrote (the saved result), and perhaps also read: it is taken as it is now, so
  // that the write is no edit to follow, or every run would start the next.
  void TakeAsWritten(const std::string& name);

  // The first file no longer as the run found it: changed, replaced, gone or come. nullptr when none.
  const File* FirstChanged() const;

  const std::vector<File>& Files() const { return files_; }

  // Where to watch for each file: the file itself (when it exists) and the nearest folder on its way that
  // exists, where the file, or a folder on its way, would appear. Each name once.
  std::vector<std::string> PlacesToWatch() const;

 private:
  static void Record(void* self, const char* fileName, int found);
  bool Has(const std::string& name) const;

  std::vector<File> files_;
  bool recording_ = false;
};

// The folder that `name` lies in: "." for a bare name, "/" for one at the root.
std::string FolderOfName(const std::string& name);

}  // namespace morvane
