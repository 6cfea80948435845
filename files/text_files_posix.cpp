// Files on POSIX. Paths arrive in the active code page with '\' separators; they are converted to the
// locale's file-system encoding and their backslashes turned into '/' before anything is opened.
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/text_files.h"
#include "files/text_files_platform.h"

namespace morvane {

namespace {

constexpr size_t kNativePathSize = PATH_MAX;

// The encoding of file names: the locale's codeset, with UTF-8 standing in for plain ASCII.
const char* FileSystemCharset() {
  const char* codeset = nl_langinfo(CODESET);
  if (codeset == nullptr || *codeset == '\0' || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 ||
      std::strcmp(codeset, "ASCII") == 0) {
    return "UTF-8";
  }
  return codeset;
}

bool NeedsConversion() {
  if (ActiveCodePageCharset() == nullptr) return false;
  int localeCodePage = kCodePageNone;
  return !(CodePageFromName(FileSystemCharset(), &localeCodePage) && localeCodePage == ActiveCodePage());
}

// Converts a NUL-terminated text between charsets. Returns 0 when it cannot be converted or does not fit.
int Convert(const char* from, const char* to, const char* text, char* out, size_t outSize) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  char* inPtr = const_cast<char*>(text);
  size_t inLeft = std::strlen(text);
  char* outPtr = out;
  size_t outLeft = outSize - 1;
  const size_t status = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (status == static_cast<size_t>(-1) || inLeft != 0) return 0;
  *outPtr = '\0';
  return 1;
}

// The path to hand to the system for a resolved path in the active code page. Separators become '/' while
// the path is still in the active code page, stepping by its characters, so a second byte 0x5C (the 表 of
// code page 932) stays what it is whether or not the path is then converted.
int NativePath(const char* formed, char native[kNativePathSize]) {
  char slashed[kNativePathSize];
  const size_t length = std::strlen(formed);
  if (length >= kNativePathSize) return 0;
  for (size_t i = 0; i < length;) {
    const size_t step = static_cast<size_t>(CharLength(formed + i));
    slashed[i] = formed[i] == '\\' ? '/' : formed[i];
    if (step == 2) slashed[i + 1] = formed[i + 1];
    i += step;
  }
  slashed[length] = '\0';
  if (NeedsConversion())
    return Convert(ActiveCodePageCharset(), FileSystemCharset(), slashed, native, kNativePathSize);
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

}  // namespace

size_t DrivePrefixLength(const char*) {
  return 0;
}

int ReadResolvedFile(const char* formed, char* buffer, uint32_t limit) {
  char native[kNativePathSize];
  if (!NativePath(formed, native)) return 0;
  // Non-blocking, so a FIFO or device never hangs the open; anything but a regular file is refused.
  const int fd = open(native, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
      static_cast<unsigned long long>(info.st_size) >= limit) {
    close(fd);
    return 0;
  }
  const size_t size = static_cast<size_t>(info.st_size);
  size_t total = 0;
  while (total < size) {
    const ssize_t got = read(fd, buffer + total, size - total);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    total += static_cast<size_t>(got);
  }
  buffer[size] = '\0';
  close(fd);
  return total == size ? 1 : 0;
}

int WriteResolvedFile(const char* formed, const char* text, uint32_t length) {
  char target[kNativePathSize];
  if (!NativePath(formed, target)) return 0;

  // Write through a symbolic link to the file it names, keeping the link.
  struct stat info;
  if (lstat(target, &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[kNativePathSize];
    if (realpath(target, resolved) == nullptr) return 0;
    std::memcpy(target, resolved, std::strlen(resolved) + 1);
  }
  // A file without its owner's write bit is read-only for everyone, root included (access() would let root
  // through), as on Windows; one the user may not write is refused too.
  const bool exists = stat(target, &info) == 0;
  if (exists && (!S_ISREG(info.st_mode) || (info.st_mode & S_IWUSR) == 0 || access(target, W_OK) != 0)) {
    return 0;
  }

  // A temporary beside the target, renamed over it once complete: the old file survives any failure.
  char temporary[kNativePathSize];
  const char* slash = std::strrchr(target, '/');
  const int directoryLength = slash != nullptr ? static_cast<int>(slash - target + 1) : 0;
  const int formedLength =
      std::snprintf(temporary, sizeof temporary, "%.*s.morvane-XXXXXX", directoryLength, target);
  if (formedLength < 0 || static_cast<size_t>(formedLength) >= sizeof temporary) return 0;
  const int fd = mkstemp(temporary);
  if (fd < 0) return 0;

  mode_t mode;
  if (exists) {
    mode = info.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  // mkstemp creates the file for its owner alone; the result takes the old file's mode, or the usual one.
  bool ok = fchmod(fd, mode) == 0;
  ok = ok && WriteAll(fd, text, length) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary, target) == 0;
  if (!ok) unlink(temporary);
  return ok ? 1 : 0;
}

int ReadModuleFileName(char* buffer, uint32_t size) {
  char native[kNativePathSize];
  const ssize_t length = readlink("/proc/self/exe", native, sizeof native - 1);
  if (length <= 0) return 0;
  native[length] = '\0';
  if (NeedsConversion()) return Convert(FileSystemCharset(), ActiveCodePageCharset(), native, buffer, size);
  if (static_cast<size_t>(length) >= size) return 0;
  std::memcpy(buffer, native, static_cast<size_t>(length) + 1);
  return 1;
}

}  // namespace morvane
