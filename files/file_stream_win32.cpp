// Reading a file in pieces on Windows.
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "files/text_files.h"
#include "files/text_files_platform.h"

namespace morvane {

FileStream::~FileStream() {
  if (owned_) CloseHandle(static_cast<HANDLE>(handle_));
}

int FileStream::Open(const char* path) {
  SetFileError(FileError::kNone);
  if (path[0] == '\0') {
    SetFileError(FileError::kMissing);
    return 0;
  }
  if (std::strcmp(path, "-") == 0) {
    handle_ = GetStdHandle(STD_INPUT_HANDLE);
    return 1;
  }
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    SetFileError(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileError::kMissing
                 : error == ERROR_ACCESS_DENIED                                 ? FileError::kNoAccess
                                                                                : FileError::kOther,
                 static_cast<int>(error));
    return 0;
  }
  handle_ = file;
  owned_ = true;
  return 1;
}

long FileStream::Read(char* buffer, size_t size) {
  if (handle_ == nullptr) return 0;
  DWORD got = 0;
  const DWORD wanted = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  if (!ReadFile(static_cast<HANDLE>(handle_), buffer, wanted, &got, nullptr)) {
    // A pipe whose writer is gone has ended.
    if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
    errno = EIO;
    return -1;
  }
  return static_cast<long>(got);
}

}  // namespace morvane
