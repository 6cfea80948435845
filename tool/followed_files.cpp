#include "tool/followed_files.h"

#include <algorithm>

namespace morvane {

FollowedFiles::~FollowedFiles() {
  StopRecording();
}

void FollowedFiles::StartRecording() {
  files_.clear();
  SetReadWatcher(&FollowedFiles::Record, this);
  recording_ = true;
}

void FollowedFiles::StopRecording() {
  if (!recording_) return;
  SetReadWatcher(nullptr, nullptr);
  recording_ = false;
}

void FollowedFiles::Record(void* self, const char* fileName, int) {
  static_cast<FollowedFiles*>(self)->Add(fileName);
}

bool FollowedFiles::Has(const std::string& name) const {
  return std::any_of(files_.begin(), files_.end(), [&name](const File& file) { return file.name == name; });
}

void FollowedFiles::Add(const std::string& name) {
  if (name.empty() || Has(name)) return;
  files_.push_back({name, ReadFileStamp(name.c_str())});
}

void FollowedFiles::TakeAsWritten(const std::string& name) {
  const FileStamp written = ReadFileStamp(name.c_str());
  for (File& file : files_) {
    const FileStamp now = ReadFileStamp(file.name.c_str());
    if (now.SameFile(written)) file.stamp = now;
  }
}

const FollowedFiles::File* FollowedFiles::FirstChanged() const {
  for (const File& file : files_) {
    if (!(ReadFileStamp(file.name.c_str()) == file.stamp)) return &file;
  }
  return nullptr;
}

std::string FolderOfName(const std::string& name) {
  const size_t separator = name.find_last_of('/');
  if (separator == std::string::npos) return ".";
  if (separator == 0) return "/";
  return name.substr(0, separator);
}

std::vector<std::string> FollowedFiles::PlacesToWatch() const {
  std::vector<std::string> places;
  auto add = [&places](const std::string& place) {
    if (std::find(places.begin(), places.end(), place) == places.end()) places.push_back(place);
  };
  for (const File& file : files_) {
    if (ReadFileStamp(file.name.c_str()).exists) add(file.name);
    std::string folder = FolderOfName(file.name);
    while (!ReadFileStamp(folder.c_str()).folder && folder != "." && folder != "/")
      folder = FolderOfName(folder);
    add(folder);
  }
  return places;
}

}  // namespace morvane
