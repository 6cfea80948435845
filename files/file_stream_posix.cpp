// Reading a file in pieces on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "files/text_files.h"
#include "files/text_files_platform.h"

namespace morvane {

FileStream::~FileStream() {
  if (owned_) close(descriptor_);
}

int FileStream::Open(const char* path) {
  SetFileError(FileError::kNone);
  if (path[0] == '\0') {
    SetFileError(FileError::kMissing);
    return 0;
  }
  int fd = STDIN_FILENO;
  if (std::strcmp(path, "-") != 0) {
    char native[PATH_MAX];
    if (!NativeFileName(path, native, sizeof native)) return 0;
    fd = open(native, O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      SetFileError(error == ENOENT || error == ENOTDIR ? FileError::kMissing
                   : error == EACCES || error == EPERM ? FileError::kNoAccess
                                                       : FileError::kOther,
                   error);
      return 0;
    }
    owned_ = true;
  }
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    if (owned_) close(fd);
    owned_ = false;
    SetFileError(FileError::kFolder);
    return 0;
  }
  descriptor_ = fd;
  return 1;
}

long FileStream::Read(char* buffer, size_t size) {
  if (descriptor_ < 0) return 0;
  const ssize_t got = read(descriptor_, buffer, size);
  return static_cast<long>(got);
}

}  // namespace morvane
