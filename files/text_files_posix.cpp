// Files on POSIX. Paths arrive in the active code page with '\' separators; their backslashes become '/'
// and they are converted to the locale's encoding of file names before anything is opened.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <vector>

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
    case EOVERFLOW:
      return FileError::kTooLarge;
    case ENXIO:  // a FIFO without a writer, a socket, a device without its driver
    case ENODEV:
      return FileError::kNotRegular;
    case ELOOP:
      return FileError::kSymlinkLoop;
    case EIO:
      return FileError::kIoError;
    case EMFILE:
    case ENFILE:
      return FileError::kTooManyOpen;
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

// Records `error` as the errno of the step that failed; returns 0.
int FailWithErrno(int error) {
  errno = error;
  return RecordErrno();
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

// Why a special file is not read or written as a regular one.
FileError SpecialFileError(mode_t mode) {
  if (S_ISDIR(mode)) return FileError::kFolder;
  if (S_ISSOCK(mode)) return FileError::kSocket;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileError::kDevice;
  return FileError::kNotRegular;
}

// Records why an open failed. A socket, and a device without its driver, refuse to be opened (ENXIO): what
// the path names then says more than the error.
int RecordOpenFailure(const char* native) {
  const int error = errno;
  struct stat info;
  if ((error == ENXIO || error == ENODEV) && stat(native, &info) == 0 && !S_ISREG(info.st_mode)) {
    SetFileError(SpecialFileError(info.st_mode), error);
    return 0;
  }
  errno = error;
  return RecordErrno();
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

// Holds back SIGINT and SIGTERM while a temporary name comes into being and is remembered, so that the
// handler never misses a name that exists (nor removes one that is not ours).
class TerminationSignalsHeld {
 public:
  TerminationSignalsHeld() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    held_ = sigprocmask(SIG_BLOCK, &signals, &previous_) == 0;
  }
  ~TerminationSignalsHeld() {
    if (held_) sigprocmask(SIG_SETMASK, &previous_, nullptr);
  }
  TerminationSignalsHeld(const TerminationSignalsHeld&) = delete;
  TerminationSignalsHeld& operator=(const TerminationSignalsHeld&) = delete;

 private:
  sigset_t previous_;
  bool held_ = false;
};

void RememberUnfinished(const char* name) {
  std::memcpy(gUnfinished, name, std::strlen(name) + 1);
  gUnfinishedNamed = 1;
}

void ForgetUnfinished() {
  gUnfinishedNamed = 0;
}

// Removes a temporary file of ours; a second try when the first fails, so that a passing failure (an
// interrupted call, a busy file system) leaves nothing behind.
void RemoveTemporary(const char* name) {
  if (unlink(name) != 0 && errno != ENOENT) unlink(name);
}

// The folder part of `target` with its separator ("" for a name in the working directory).
int DirectoryLength(const char* target) {
  const char* slash = std::strrchr(target, '/');
  return slash != nullptr ? static_cast<int>(slash - target + 1) : 0;
}

// A hidden name beside `target` whose last six characters mkstemp may replace.
int TemporaryTemplate(const char* target, char temporary[kNativePathSize]) {
  const int formedLength =
      std::snprintf(temporary, kNativePathSize, "%.*s.morvane-XXXXXX", DirectoryLength(target), target);
  return formedLength >= 0 && static_cast<size_t>(formedLength) < kNativePathSize;
}

// A hidden name beside `target` ending in six characters drawn from the process, the clock and a counter.
// The link that uses it refuses a name that is taken, and the caller draws again.
int TemporaryName(const char* target, char temporary[kNativePathSize]) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static uint64_t counter = 0;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  uint64_t seed = (static_cast<uint64_t>(getpid()) << 32) ^ static_cast<uint64_t>(now.tv_nsec) ^
                  (static_cast<uint64_t>(now.tv_sec) << 20) ^ (++counter * 0x9E3779B97F4A7C15ull);
  char suffix[7];
  for (int i = 0; i < 6; ++i) {
    seed ^= seed >> 33;
    seed *= 0xFF51AFD7ED558CCDull;
    seed ^= seed >> 29;
    suffix[i] = kLetters[seed % (sizeof kLetters - 1)];
  }
  suffix[6] = '\0';
  const int formedLength =
      std::snprintf(temporary, kNativePathSize, "%.*s.morvane-%s", DirectoryLength(target), target, suffix);
  return formedLength >= 0 && static_cast<size_t>(formedLength) < kNativePathSize;
}

// What the new file takes over from the one it replaces.
struct Replaced {
  bool exists = false;
  mode_t mode = 0;
  uid_t owner = 0;
  gid_t group = 0;
};

bool WriteContent(int fd, const Replaced& old, const char* text, uint32_t length) {
  if (!WriteAll(fd, text, length)) return RecordErrno();
  // Temporary files are created for their owner alone; once written (a write clears the set-ID bits), the
  // result takes the old file's owner, group and mode, or the usual mode. The owner comes before the mode,
  // as a change of owner clears the set-ID bits too; where the owner or group cannot be kept, those bits
  // go, so that no program runs as someone it did not before.
  mode_t mode = old.mode;
  if (old.exists && fchown(fd, old.owner, old.group) != 0) mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
  return (fchmod(fd, mode) == 0 && fsync(fd) == 0) || RecordErrno();
}

constexpr int kUnavailable = -1;

// Gives the complete unnamed file at `self` a temporary name beside the target, then renames it over the
// target. The name is made by the link itself, so no empty placeholder ever exists.
int LinkOver(const char* self, const char* target) {
  char temporary[kNativePathSize];
  for (int attempt = 0; attempt < 64; ++attempt) {
    if (!TemporaryName(target, temporary)) return Fail(FileError::kPathTooLong);
    int linkError = 0;
    {
      TerminationSignalsHeld held;
      if (linkat(AT_FDCWD, self, AT_FDCWD, temporary, AT_SYMLINK_FOLLOW) == 0) {
        RememberUnfinished(temporary);
      } else {
        linkError = errno;
      }
    }
    if (linkError == EEXIST) continue;  // another file has that name: draw again
    // No /proc to name the file through, or a file system that links no such file: the named way.
    if (linkError != 0) return kUnavailable;
    int result = 1;
    if (rename(temporary, target) != 0) {
      result = RecordErrno();
      RemoveTemporary(temporary);
    }
    ForgetUnfinished();
    return result;
  }
  SetFileError(FileError::kOther, EEXIST);
  return 0;
}

// An unnamed file in the target's folder (Linux's O_TMPFILE) that gets a name only once complete: the
// target's own when there is no target yet, else a temporary one renamed over it at once. 1 written,
// 0 failed, kUnavailable when the system or the file system offers no unnamed files.
int WriteUnnamed(const char* target, const Replaced& old, const char* text, uint32_t length) {
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
  if (!WriteContent(fd, old, text, length)) {
    close(fd);
    return 0;
  }
  int result;
  if (!old.exists && linkat(AT_FDCWD, self, AT_FDCWD, target, AT_SYMLINK_FOLLOW) == 0) {
    result = 1;
  } else if (!old.exists && errno != EEXIST) {
    result = kUnavailable;  // no /proc to name the file through
  } else {
    result = LinkOver(self, target);
  }
  // The content was on disk before it took the target's place, so a failing close changes nothing.
  close(fd);
  return result;
#else
  (void)target, (void)old, (void)text, (void)length;
  return kUnavailable;
#endif
}

// A named temporary beside the target, renamed over it once complete.
int WriteThroughTemporary(const char* target, const Replaced& old, const char* text, uint32_t length) {
  char temporary[kNativePathSize];
  if (!TemporaryTemplate(target, temporary)) return Fail(FileError::kPathTooLong);
  int fd;
  {
    TerminationSignalsHeld held;
    fd = mkstemp(temporary);
    if (fd >= 0) RememberUnfinished(temporary);
  }
  if (fd < 0) return RecordErrno();
  bool ok = WriteContent(fd, old, text, length);
  ok = (close(fd) == 0 || RecordErrno()) && ok;
  ok = ok && (rename(temporary, target) == 0 || RecordErrno());
  if (!ok) RemoveTemporary(temporary);
  ForgetUnfinished();
  return ok ? 1 : 0;
}

// A character device or a FIFO (/dev/null, a terminal, /dev/stdout on a pipe) takes the text as a stream:
// there is no file to replace.
int WriteToStream(const char* target, const char* text, uint32_t length) {
  const int fd = open(target, O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return RecordOpenFailure(target);
  bool ok = WriteAll(fd, text, length) || RecordErrno();
  ok = (close(fd) == 0 || RecordErrno()) && ok;
  return ok ? 1 : 0;
}

// Maps the pages a large read is about to fill in one call, rather than one fault at a time as the read
// reaches them (a quarter of the time of a run over a 1 MiB file). Only a hint: where the system cannot,
// the read faults them in as ever.
void PrefaultForWrite(char* buffer, size_t length) {
#if defined(MADV_POPULATE_WRITE)
  constexpr size_t kWorthIt = 64 << 10;
  if (length < kWorthIt) return;
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t first = reinterpret_cast<uintptr_t>(buffer) & ~(page - 1);
  const uintptr_t last = (reinterpret_cast<uintptr_t>(buffer) + length + page - 1) & ~(page - 1);
  madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
  (void)buffer, (void)length;
#endif
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
      NoteReadExtent(static_cast<uint32_t>(total) + 1);
      return RecordErrno();
    }
    if (got == 0) break;
    if (into == &extra) {
      buffer[total] = '\0';
      NoteReadExtent(static_cast<uint32_t>(total) + 1);
      return Fail(FileError::kTooLarge);
    }
    total += static_cast<size_t>(got);
  }
  buffer[total] = '\0';
  NoteReadExtent(static_cast<uint32_t>(total) + 1);
  return 1;
}

enum class Reading : uint8_t {
  kRegularOnly,  // a file a template or a window names
  kStreams,      // a file named on the command line: pipes, FIFOs and character devices too
  kToTheEnd,     // standard input: whatever it is, from where it stands to its end
};

// Reads the open file `fd` whole and closes it (unless it is standard input). A regular file is read by its
// size; a pipe, FIFO or character device to its end where `reading` allows it, else refused.
int ReadOpenFile(int fd, char* buffer, uint32_t limit, Reading reading) {
  auto finish = [fd](int result) {
    if (fd != STDIN_FILENO) close(fd);
    return result;
  };
  struct stat info;
  if (fstat(fd, &info) != 0) return finish(RecordErrno());
  if (S_ISDIR(info.st_mode)) return finish(Fail(FileError::kFolder));
  if (reading == Reading::kToTheEnd) return finish(ReadToEnd(fd, buffer, limit));
  if (!S_ISREG(info.st_mode)) {
    const bool stream = S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode);
    if (reading != Reading::kStreams || !stream) return finish(Fail(SpecialFileError(info.st_mode)));
    return finish(ReadToEnd(fd, buffer, limit));
  }
  if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) >= limit) {
    return finish(Fail(FileError::kTooLarge));
  }
  const size_t size = static_cast<size_t>(info.st_size);
  PrefaultForWrite(buffer, size + 1);
  size_t total = 0;
  while (total < size) {
    const ssize_t got = read(fd, buffer + total, size - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) RecordErrno();
    if (got <= 0) break;
    total += static_cast<size_t>(got);
  }
  buffer[size] = '\0';
  NoteReadExtent(static_cast<uint32_t>(size) + 1);
  if (total == size) return finish(1);
  if (LastFileError() == FileError::kNone) SetFileError(FileError::kShortRead);
  return finish(0);
}

void IdentityOf(const struct stat& info, FileIdentity* identity) {
  identity->volume = static_cast<uint64_t>(info.st_dev);
  identity->index = static_cast<uint64_t>(info.st_ino);
  identity->regular = S_ISREG(info.st_mode);
}

// Tells the observer of a file that the open found, also one it found but could not open; the watcher hears
// of every name tried. Either may run out of memory: the file is closed before that goes on.
void RecordFound(const char* native, int fd) {
  const int error = errno;
  const bool found = fd >= 0 || (error != ENOENT && error != ENOTDIR);
  try {
    if (found && ReadsObserved()) {
      FileIdentity identity;
      struct stat info;
      const bool known = fd >= 0 && fstat(fd, &info) == 0;
      if (known) IdentityOf(info, &identity);
      RecordRead(native, known ? &identity : nullptr);
    }
    RecordOpenAttempt(native, found ? 1 : 0);
  } catch (...) {
    if (fd >= 0) close(fd);
    throw;
  }
  errno = error;
}

}  // namespace

size_t DrivePrefixLength(const char*) {
  return 0;
}

void ClaimStandardStreams() {
  const StandardStream streams[] = {StandardStream::kInput, StandardStream::kOutput, StandardStream::kError};
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    SetStandardStreamClosed(streams[fd]);
    // The lowest free number is this one, as the ones below it are open by now.
    const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) close(opened);
  }
}

int ReadResolvedFile(const char* formed, char* buffer, uint32_t limit) {
  char native[kNativePathSize];
  if (!NativePath(formed, native)) return 0;
  // Non-blocking, so a FIFO or device never hangs the open; anything but a regular file is refused.
  const int fd = open(native, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  RecordFound(native, fd);
  if (fd < 0) return RecordOpenFailure(native);
  return ReadOpenFile(fd, buffer, limit, Reading::kRegularOnly);
}

int ReadResolvedStream(const char* formed, char* buffer, uint32_t limit) {
  if (std::strcmp(formed, "-") == 0) {
    if (StandardStreamWasClosed(StandardStream::kInput)) return Fail(FileError::kStandardInputClosed);
    return ReadOpenFile(STDIN_FILENO, buffer, limit, Reading::kToTheEnd);
  }
  char native[kNativePathSize];
  if (!NativePath(formed, native)) return 0;
  // A FIFO blocks here until a writer comes, as it does for cat.
  const int fd = open(native, O_RDONLY | O_NOCTTY | O_CLOEXEC);
  RecordFound(native, fd);
  if (fd < 0) return RecordOpenFailure(native);
  return ReadOpenFile(fd, buffer, limit, Reading::kStreams);
}

int ReadFileIdentity(const char* formed, FileIdentity* identity) {
  struct stat info;
  if (std::strcmp(formed, "-") == 0) {
    if (StandardStreamWasClosed(StandardStream::kInput) || fstat(STDIN_FILENO, &info) != 0) return 0;
  } else {
    char native[kNativePathSize];
    if (!NativePath(formed, native) || stat(native, &info) != 0) return 0;
  }
  IdentityOf(info, identity);
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

  struct stat info;
  const bool exists = stat(target, &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) {
    if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)) return WriteToStream(target, text, length);
    return Fail(SpecialFileError(info.st_mode));
  }
  // Write through a symbolic link to the file it names, keeping the link.
  struct stat link;
  if (lstat(target, &link) == 0 && S_ISLNK(link.st_mode)) {
    char resolved[kNativePathSize];
    if (realpath(target, resolved) == nullptr) return RecordErrno();
    std::memcpy(target, resolved, std::strlen(resolved) + 1);
  }
  // A file without its owner's write bit is read-only for everyone, root included (access() would let root
  // through), as on Windows; one the user may not write is refused too.
  Replaced old;
  if (exists) {
    if ((info.st_mode & S_IWUSR) == 0) return Fail(FileError::kReadOnly);
    if (access(target, W_OK) != 0) return RecordErrno();
    old.exists = true;
    old.mode = info.st_mode & 07777;
    old.owner = info.st_uid;
    old.group = info.st_gid;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    old.mode = 0666 & ~mask;
  }
  // The new content is complete on disk before it takes the target's place: the old file survives any
  // failure. An unnamed file leaves nothing behind even when the process is killed while it is written.
  const int unnamed = WriteUnnamed(target, old, text, length);
  if (unnamed != kUnavailable) return unnamed;
  return WriteThroughTemporary(target, old, text, length);
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

// Reading a file in pieces.

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
    if (fd < 0) return RecordErrno();
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

namespace {

// Files written as one: each into a hidden temporary beside it, all put on disk with one sync of each file
// system, then renamed over their targets.

// The folder part of a native path, "." for a name without one.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The folders this process has seen to exist: a run stages thousands of files into a few of them.
std::set<std::string> gKnownFolders;

// Makes the folders of `target` that do not exist, outermost first, and notes each it made.
int MakeFolders(const std::string& target, std::vector<std::string>* made) {
  const size_t last = target.rfind('/');
  if (last == std::string::npos || last == 0 || gKnownFolders.count(target.substr(0, last)) != 0) return 1;
  for (size_t slash = target.find('/', 1); slash != std::string::npos; slash = target.find('/', slash + 1)) {
    const std::string folder = target.substr(0, slash);
    if (mkdir(folder.c_str(), 0777) == 0) {
      made->push_back(folder);
    } else if (errno != EEXIST) {
      return RecordErrno();
    }
  }
  return 1;
}

// The mode a new file gets: 0666 less the process's umask, read once.
mode_t NewFileMode() {
  static const mode_t mode = [] {
    const mode_t mask = umask(0);
    umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

// A new file of a hidden name beside `target`, with `mode` as far as the umask lets it: its descriptor and
// its name, or -1.
int CreateTemporary(const std::string& folder, mode_t mode, std::string* name) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static uint64_t state = (static_cast<uint64_t>(getpid()) << 32) ^ static_cast<uint64_t>(time(nullptr)) ^
                          reinterpret_cast<uintptr_t>(&state);
  for (int attempt = 0; attempt < 64; ++attempt) {
    char suffix[7];
    for (int i = 0; i < 6; ++i) {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      suffix[i] = kLetters[(state >> 33) % (sizeof kLetters - 1)];
    }
    suffix[6] = '\0';
    *name = (folder == "/" ? "" : folder) + "/.morvane-" + suffix;
    const int fd = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 0777);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

int StageResolvedFile(const char* formed, const char* text, uint32_t length, bool makeFolders,
                      StagedFile* staged) {
  char native[PATH_MAX];
  if (!NativeFileName(formed, native, sizeof native)) return 0;
  std::string target = native;

  struct stat info;
  bool exists = lstat(target.c_str(), &info) == 0;
  // Written through a symbolic link to the file it names, keeping the link.
  if (exists && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(target.c_str(), resolved) == nullptr) return RecordErrno();
    target = resolved;
    exists = stat(target.c_str(), &info) == 0;
  }
  if (exists) {
    if (S_ISDIR(info.st_mode)) return Fail(FileError::kFolder);
    if (!S_ISREG(info.st_mode)) return Fail(FileError::kNotRegular);
    // A file without its owner's write bit is read-only for everyone, root included.
    if ((info.st_mode & S_IWUSR) == 0) return Fail(FileError::kReadOnly);
    if (access(target.c_str(), W_OK) != 0) return RecordErrno();
  }
  std::vector<std::string> made;
  if (makeFolders && !MakeFolders(target, &made)) {
    const int error = errno;
    RemoveMadeFolders(made);
    return FailWithErrno(error);
  }

  const std::string folder = FolderOf(target);
  if (folder.size() + 16 >= PATH_MAX) {
    RemoveMadeFolders(made);
    return Fail(FileError::kPathTooLong);
  }
  mode_t mode = exists ? info.st_mode & 07777 : NewFileMode();
  std::string temporary;
  const int fd = CreateTemporary(folder, mode, &temporary);
  if (fd < 0) {
    const int error = errno;
    RemoveMadeFolders(made);
    return FailWithErrno(error);
  }
  gKnownFolders.insert(folder);
  // The new file takes over the old one's owner and group where it may, before its mode (a change of owner
  // clears the set-ID bits); where it may not, it has no set-ID bits at all. A new file has its mode from
  // the start.
  bool ok = WriteAll(fd, text, length);
  if (ok && exists && (info.st_uid != geteuid() || info.st_gid != getegid()) &&
      fchown(fd, info.st_uid, info.st_gid) != 0) {
    mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
  }
  if (ok && (exists || (mode & ~static_cast<mode_t>(0777)) != 0 || (mode & 0777) != NewFileMode())) {
    ok = fchmod(fd, mode) == 0;
  }
  const int error = errno;
  ok = close(fd) == 0 && ok;
  if (!ok) {
    unlink(temporary.c_str());
    RemoveMadeFolders(made);
    return FailWithErrno(error != 0 ? error : errno);
  }
  staged->temporary = temporary;
  staged->target = target;
  staged->folder = folder;
  staged->madeFolders = std::move(made);
  return 1;
}

int SyncStagedFolders(const std::vector<std::string>& folders) {
  SetFileError(FileError::kNone);
  std::set<dev_t> synced;
  for (const std::string& folder : folders) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return RecordErrno();
    struct stat info;
    int result = fstat(fd, &info);
    if (result == 0 && synced.insert(info.st_dev).second) result = syncfs(fd);
    const int error = errno;
    close(fd);
    if (result != 0) return FailWithErrno(error);
  }
  return 1;
}

int CommitStagedFile(const StagedFile& file) {
  SetFileError(FileError::kNone);
  if (rename(file.temporary.c_str(), file.target.c_str()) != 0) return RecordErrno();
  return 1;
}

void DiscardStagedFile(const StagedFile& file) {
  if (!file.temporary.empty()) unlink(file.temporary.c_str());
}

void RemoveMadeFolders(const std::vector<std::string>& folders) {
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) rmdir(it->c_str());
}

}  // namespace morvane
