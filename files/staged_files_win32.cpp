// Files written as one on Windows: each into a temporary beside it, flushed, then moved over its target.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "files/text_files.h"
#include "files/text_files_platform.h"

namespace morvane {

namespace {

int FailedWithSystemError() {
  const DWORD error = GetLastError();
  FileError kind = FileError::kOther;
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      kind = FileError::kMissing;
      break;
    case ERROR_ACCESS_DENIED:
      kind = FileError::kNoAccess;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      kind = FileError::kNoSpace;
      break;
    case ERROR_WRITE_PROTECT:
      kind = FileError::kReadOnly;
      break;
    default:
      break;
  }
  SetFileError(kind, static_cast<int>(error));
  return 0;
}

int FailedWith(FileError error) {
  SetFileError(error);
  return 0;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Length of the folder part of `path`, its last separator included.
size_t FolderLength(const std::string& path) {
  const char* separator = FindLastSeparator(path.c_str());
  if (separator != nullptr) return static_cast<size_t>(separator - path.c_str()) + 1;
  return DrivePrefixLength(path.c_str());
}

int MakeFolders(const std::string& target, std::vector<std::string>* made) {
  for (size_t i = DrivePrefixLength(target.c_str()) + 1; i < target.size(); ++i) {
    if (!IsSeparator(target[i])) continue;
    const std::string folder = target.substr(0, i);
    if (CreateDirectoryA(folder.c_str(), nullptr)) {
      made->push_back(folder);
    } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
      return FailedWithSystemError();
    }
  }
  return 1;
}

void RemoveFolders(const std::vector<std::string>& folders) {
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) RemoveDirectoryA(it->c_str());
}

}  // namespace

int StageTextFile(const char* path, const char* text, uint32_t length, bool makeFolders, StagedFile* staged) {
  *staged = StagedFile{};
  SetFileError(FileError::kNone);
  char formed[kPathBufferSize];
  if (!ResolvePath(path, formed)) return FailedWith(FileError::kPathTooLong);
  if (formed[0] == '\0') return FailedWith(FileError::kMissing);
  const std::string target = formed;
  const DWORD attributes = GetFileAttributesA(formed);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FailedWith(FileError::kFolder);
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return FailedWith(FileError::kReadOnly);
  }
  std::vector<std::string> made;
  if (makeFolders && !MakeFolders(target, &made)) {
    RemoveFolders(made);
    return 0;
  }
  static unsigned counter = 0;
  const size_t prefix = FolderLength(target);
  HANDLE file = INVALID_HANDLE_VALUE;
  std::string temporary;
  for (int attempt = 0; attempt < 32 && file == INVALID_HANDLE_VALUE; ++attempt) {
    char name[24];
    std::snprintf(name, sizeof name, "~mv%05X.tmp",
                  static_cast<unsigned>((GetCurrentProcessId() * 31u + counter++) & 0xFFFFFu));
    temporary = target.substr(0, prefix) + name;
    if (temporary.size() >= kPathBufferSize) break;
    file = CreateFileA(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS &&
        GetLastError() != ERROR_ALREADY_EXISTS)
      break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    FailedWithSystemError();
    RemoveFolders(made);
    return 0;
  }
  DWORD written = 0;
  // Windows has no sync of a whole volume for a program: each file is flushed as it is written.
  const bool ok =
      WriteFile(file, text, length, &written, nullptr) && written == length && FlushFileBuffers(file);
  if (!ok) FailedWithSystemError();
  CloseHandle(file);
  if (!ok) {
    DeleteFileA(temporary.c_str());
    RemoveFolders(made);
    return 0;
  }
  staged->temporary = temporary;
  staged->target = target;
  staged->folder = target.substr(0, prefix);
  staged->madeFolders = std::move(made);
  return 1;
}

int SyncStagedFolders(const std::vector<std::string>&) {
  return 1;
}

int CommitStagedFile(const StagedFile& file) {
  SetFileError(FileError::kNone);
  if (!MoveFileExA(file.temporary.c_str(), file.target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return FailedWithSystemError();
  return 1;
}

void DiscardStagedFile(const StagedFile& file) {
  if (!file.temporary.empty()) DeleteFileA(file.temporary.c_str());
}

void RemoveMadeFolders(const std::vector<std::string>& folders) {
  RemoveFolders(folders);
}

}  // namespace morvane
