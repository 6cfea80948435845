// Files on POSIX. Paths arrive in the active code page with '\' separators; their backslashes become '/'
// and they are converted to the locale's encoding of file names before anything is opened.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/text_files.h"
#include "files/text_files_platform.h"
#include "text/locale_charset_posix.h"

namespace morvane {

namespace {

constexpr size_t kNativePathSize = PATH_MAX;

// Whether paths must be converted between the active code page and the locale's encoding of file names.
bool NeedsConversion() {
  if (ActiveCodePageCharset() == nullptr) return false;
  int localeCodePage = kCodePageNone;
  return !(CodePageFromName(LocaleCharset(), &localeCodePage) && localeCodePage == ActiveCodePage());
}

// What an errno from the file system means to the user.
FileError FromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return FileError::kMissing;
    case EISDIR:
      return FileError::kFolder;
    case EACCES:
    case EPERM:
      return FileError::kNoAccess;
    case EROFS:
      return FileError::kReadOnly;
    case ENAMETOOLONG:
      return FileError::kPathTooLong;
    case ENOSPC:
    case EDQUOT:
      return FileError::kNoSpace;
    case EFBIG:
      return FileError::kTooLarge;
    default:
      return FileError::kOther;
  }
}

// Records the errno of the step that just failed; returns 0, the failed step's result.
int RecordErrno() {
  const int error = errno;
  SetFileError(FromErrno(error), error);
  return 0;
}

int Fail(FileError error) {
  SetFileError(error);
  return 0;
}

// The path to hand to the system for a resolved path in the active code page. Separators become '/' while
// the path is still in the active code page, stepping by its characters, so a second byte 0x5C (the 表 of
// code page 932) stays what it is whether or not the path is then converted.
int NativePath(const char* formed, char native[kNativePathSize]) {
  char slashed[kNativePathSize];
  const size_t length = std::strlen(formed);
  if (length >= kNativePathSize) return Fail(FileError::kPathTooLong);
  for (size_t i = 0; i < length;) {
    const size_t step = static_cast<size_t>(CharLength(formed + i));
    slashed[i] = formed[i] == '\\' ? '/' : formed[i];
    if (step == 2) slashed[i + 1] = formed[i + 1];
    i += step;
  }
  slashed[length] = '\0';
  if (NeedsConversion()) {
    if (ConvertText(ActiveCodePageCharset(), LocaleCharset(), slashed, native, kNativePathSize)) return 1;
    return Fail(FileError::kPathNotNameable);
  }
  std::memcpy(native, slashed, length + 1);
  return 1;
}

bool WriteAll(int fd, const char* bytes, size_t length) {
  while (length > 0) {
    const ssize_t written = write(fd, bytes, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

// The name of the temporary file of the write under way, while it has one, for RemoveUnfinishedWrite.
char gUnfinished[kNativePathSize];
volatile sig_atomic_t gUnfinishedNamed = 0;

void RememberUnfinished(const char* name) {
  std::memcpy(gUnfinished, name, std::strlen(name) + 1);
  gUnfinishedNamed = 1;
}

void ForgetUnfinished() {
  gUnfinishedNamed = 0;
}

// A hidden name beside `target` whose last six characters mkstemp may replace.
int TemporaryTemplate(const char* target, char temporary[kNativePathSize]) {
  const char* slash = std::strrchr(target, '/');
  const int directoryLength = slash != nullptr ? static_cast<int>(slash - target + 1) : 0;
  const int formedLength =
      std::snprintf(temporary, kNativePathSize, "%.*s.morvane-XXXXXX", directoryLength, target);
  return formedLength >= 0 && static_cast<size_t>(formedLength) < kNativePathSize;
}

bool WriteContent(int fd, mode_t mode, const char* text, uint32_t length) {
  // Temporary files are created for their owner alone; the result takes the old file's mode, or the usual
  // one.
  return (fchmod(fd, mode) == 0 && WriteAll(fd, text, length) && fsync(fd) == 0) || RecordErrno();
}

constexpr int kUnavailable = -1;

// Gives the complete unnamed file at `self` a temporary name beside the target, then renames it over the
// target.
int LinkOver(const char* self, const char* target) {
  char temporary[kNativePathSize];
  // mkstemp finds a free name; its empty file gives way to the complete one.
  if (!TemporaryTemplate(target, temporary)) return Fail(FileError::kPathTooLong);
  const int reserved = mkstemp(temporary);
  if (reserved < 0) return RecordErrno();
  close(reserved);
  RememberUnfinished(temporary);
  unlink(temporary);
  int result = 1;
  if (linkat(AT_FDCWD, self, AT_FDCWD, temporary, AT_SYMLINK_FOLLOW) != 0) {
    result = errno == EEXIST ? RecordErrno() : kUnavailable;
  } else if (rename(temporary, target) != 0) {
    result = RecordErrno();
    unlink(temporary);
  }
  ForgetUnfinished();
  return result;
}

// An unnamed file in the target's folder (Linux's O_TMPFILE) that gets a name only once complete: the
// target's own when there is no target yet, else a temporary one renamed over it at once. 1 written,
// 0 failed, kUnavailable when the system or the file system offers no unnamed files.
int WriteUnnamed(const char* target, bool exists, mode_t mode, const char* text, uint32_t length) {
#if defined(O_TMPFILE)
  char directory[kNativePathSize];
  const char* slash = std::strrchr(target, '/');
  if (slash == nullptr) {
    std::strcpy(directory, ".");
  } else {
    const size_t directoryLength = slash == target ? 1 : static_cast<size_t>(slash - target);
    std::memcpy(directory, target, directoryLength);
    directory[directoryLength] = '\0';
  }
  const int fd = open(directory, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return kUnavailable;
  char self[64];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
  if (!WriteContent(fd, mode, text, length)) {
    close(fd);
    return 0;
  }
  int result;
  if (!exists && linkat(AT_FDCWD, self, AT_FDCWD, target, AT_SYMLINK_FOLLOW) == 0) {
    result = 1;
  } else if (!exists && errno != EEXIST) {
    result = kUnavailable;  // no /proc to name the file through
  } else {
    result = LinkOver(self, target);
  }
  if (close(fd) != 0 && result == 1) result = RecordErrno();
  return result;
#else
  (void)target, (void)exists, (void)mode, (void)text, (void)length;
  return kUnavailable;
#endif
}

// A named temporary beside the target, renamed over it once complete.
int WriteThroughTemporary(const char* target, mode_t mode, const char* text, uint32_t length) {
  char temporary[kNativePathSize];
  if (!TemporaryTemplate(target, temporary)) return Fail(FileError::kPathTooLong);
  const int fd = mkstemp(temporary);
  if (fd < 0) return RecordErrno();
  RememberUnfinished(temporary);
  bool ok = WriteContent(fd, mode, text, length);
  ok = (close(fd) == 0 || RecordErrno()) && ok;
  ok = ok && (rename(temporary, target) == 0 || RecordErrno());
  if (!ok) unlink(temporary);
  ForgetUnfinished();
  return ok ? 1 : 0;
}

// Reads a pipe, FIFO or device until its end: fewer than `limit` bytes, terminated. More is kTooLarge.
int ReadToEnd(int fd, char* buffer, uint32_t limit) {
  size_t total = 0;
  for (;;) {
    char extra;
    // Once the buffer is full but for its terminator, one more byte tells whether the file is larger.
    char* into = total + 1 < limit ? buffer + total : &extra;
    const size_t room = total + 1 < limit ? limit - 1 - total : 1;
    const ssize_t got = read(fd, into, room);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      buffer[total] = '\0';
      return RecordErrno();
    }
    if (got == 0) break;
    if (into == &extra) {
      buffer[total] = '\0';
      return Fail(FileError::kTooLarge);
    }
    total += static_cast<size_t>(got);
  }
  buffer[total] = '\0';
  return 1;
}

// Reads the open file `fd` whole and closes it (unless it is standard input). A regular file is read by its
// size; with `streams`, a pipe, FIFO or character device is read to its end, else refused.
int ReadOpenFile(int fd, char* buffer, uint32_t limit, bool streams) {
  auto finish = [fd](int result) {
    if (fd != STDIN_FILENO) close(fd);
    return result;
  };
  struct stat info;
  if (fstat(fd, &info) != 0) return finish(RecordErrno());
  if (S_ISDIR(info.st_mode)) return finish(Fail(FileError::kFolder));
  if (!S_ISREG(info.st_mode)) {
    if (!streams || S_ISBLK(info.st_mode)) return finish(Fail(FileError::kNotRegular));
    return finish(ReadToEnd(fd, buffer, limit));
  }
  if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) >= limit) {
    return finish(Fail(FileError::kTooLarge));
  }
  const size_t size = static_cast<size_t>(info.st_size);
  size_t total = 0;
  while (total < size) {
    const ssize_t got = read(fd, buffer + total, size - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) RecordErrno();
    if (got <= 0) break;
    total += static_cast<size_t>(got);
  }
  buffer[size] = '\0';
  if (total == size) return finish(1);
  if (LastFileError() == FileError::kNone) SetFileError(FileError::kShortRead);
  return finish(0);
}

// Tells the recorder of a file that the open found, also one it found but could not open; the watcher hears
// of every name tried.
void RecordFound(const char* native, int fd) {
  const int error = errno;
  const bool found = fd >= 0 || (error != ENOENT && error != ENOTDIR);
  if (found) RecordRead(native);
  RecordOpenAttempt(native, found ? 1 : 0);
  errno = error;
}

}  // namespace

size_t DrivePrefixLength(const char*) {
  return 0;
}

int ReadResolvedFile(const char* formed, char* buffer, uint32_t limit) {
  char native[kNativePathSize];
  if (!NativePath(formed, native)) return 0;
  // Non-blocking, so a FIFO or device never hangs the open; anything but a regular file is refused.
  const int fd = open(native, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  RecordFound(native, fd);
  if (fd < 0) return RecordErrno();
  return ReadOpenFile(fd, buffer, limit, false);
}

int ReadResolvedStream(const char* formed, char* buffer, uint32_t limit) {
  if (std::strcmp(formed, "-") == 0) return ReadOpenFile(STDIN_FILENO, buffer, limit, true);
  char native[kNativePathSize];
  if (!NativePath(formed, native)) return 0;
  // A FIFO blocks here until a writer comes, as it does for cat.
  const int fd = open(native, O_RDONLY | O_NOCTTY | O_CLOEXEC);
  RecordFound(native, fd);
  if (fd < 0) return RecordErrno();
  return ReadOpenFile(fd, buffer, limit, true);
}

int ReadFileIdentity(const char* formed, FileIdentity* identity) {
  char native[kNativePathSize];
  struct stat info;
  if (!NativePath(formed, native) || stat(native, &info) != 0) return 0;
  identity->volume = static_cast<uint64_t>(info.st_dev);
  identity->index = static_cast<uint64_t>(info.st_ino);
  return 1;
}

FileStamp ReadFileStamp(const char* fileName) {
  FileStamp stamp;
  struct stat info;
  if (stat(fileName, &info) != 0) return stamp;
  constexpr int64_t kNanoseconds = 1000000000;
  stamp.exists = true;
  stamp.folder = S_ISDIR(info.st_mode);
  stamp.volume = static_cast<uint64_t>(info.st_dev);
  stamp.index = static_cast<uint64_t>(info.st_ino);
  stamp.size = static_cast<uint64_t>(info.st_size);
  stamp.modified = static_cast<int64_t>(info.st_mtim.tv_sec) * kNanoseconds + info.st_mtim.tv_nsec;
  stamp.changed = static_cast<int64_t>(info.st_ctim.tv_sec) * kNanoseconds + info.st_ctim.tv_nsec;
  return stamp;
}

int WriteResolvedFile(const char* formed, const char* text, uint32_t length) {
  char target[kNativePathSize];
  if (!NativePath(formed, target)) return 0;

  // Write through a symbolic link to the file it names, keeping the link.
  struct stat info;
  if (lstat(target, &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[kNativePathSize];
    if (realpath(target, resolved) == nullptr) return RecordErrno();
    std::memcpy(target, resolved, std::strlen(resolved) + 1);
  }
  // A file without its owner's write bit is read-only for everyone, root included (access() would let root
  // through), as on Windows; one the user may not write is refused too.
  const bool exists = stat(target, &info) == 0;
  if (exists) {
    if (S_ISDIR(info.st_mode)) return Fail(FileError::kFolder);
    if (!S_ISREG(info.st_mode)) return Fail(FileError::kNotRegular);
    if ((info.st_mode & S_IWUSR) == 0) return Fail(FileError::kReadOnly);
    if (access(target, W_OK) != 0) return RecordErrno();
  }

  mode_t mode;
  if (exists) {
    mode = info.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  // The new content is complete on disk before it takes the target's place: the old file survives any
  // failure. An unnamed file leaves nothing behind even when the process is killed.
  const int unnamed = WriteUnnamed(target, exists, mode, text, length);
  if (unnamed != kUnavailable) return unnamed;
  return WriteThroughTemporary(target, mode, text, length);
}

void RemoveUnfinishedWrite() {
  if (gUnfinishedNamed != 0) unlink(gUnfinished);
}

int ReadModuleFileName(char* buffer, uint32_t size) {
  char native[kNativePathSize];
  const ssize_t length = readlink("/proc/self/exe", native, sizeof native - 1);
  if (length <= 0) return 0;
  native[length] = '\0';
  if (NeedsConversion()) return ConvertText(LocaleCharset(), ActiveCodePageCharset(), native, buffer, size);
  if (static_cast<size_t>(length) >= size) return 0;
  std::memcpy(buffer, native, static_cast<size_t>(length) + 1);
  return 1;
}

int NativeFileName(const char* formed, char* native, size_t size) {
  char converted[kNativePathSize];
  if (!NativePath(formed, converted)) return 0;
  const size_t length = std::strlen(converted);
  if (length >= size) return Fail(FileError::kPathTooLong);
  std::memcpy(native, converted, length + 1);
  return 1;
}

}  // namespace morvane
