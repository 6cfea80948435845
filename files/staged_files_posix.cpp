// Files written as one on POSIX: each into a hidden temporary beside it, all put on disk with one sync of
// each file system, then renamed over their targets.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>

#include "files/text_files.h"
#include "files/text_files_platform.h"

namespace morvane {

namespace {

int Failed(int error) {
  FileError kind = FileError::kOther;
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      kind = FileError::kMissing;
      break;
    case EISDIR:
      kind = FileError::kFolder;
      break;
    case EACCES:
    case EPERM:
      kind = FileError::kNoAccess;
      break;
    case EROFS:
      kind = FileError::kReadOnly;
      break;
    case ENAMETOOLONG:
      kind = FileError::kPathTooLong;
      break;
    case ENOSPC:
    case EDQUOT:
      kind = FileError::kNoSpace;
      break;
    case EFBIG:
      kind = FileError::kTooLarge;
      break;
    default:
      break;
  }
  SetFileError(kind, error);
  return 0;
}

int FailedWith(FileError error) {
  SetFileError(error);
  return 0;
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
      return Failed(errno);
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

void RemoveFolders(const std::vector<std::string>& folders) {
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) rmdir(it->c_str());
}

}  // namespace

int StageTextFile(const char* path, const char* text, uint32_t length, bool makeFolders, StagedFile* staged) {
  *staged = StagedFile{};
  SetFileError(FileError::kNone);
  char formed[kPathBufferSize];
  if (!ResolvePath(path, formed)) return FailedWith(FileError::kPathTooLong);
  if (formed[0] == '\0') return FailedWith(FileError::kMissing);
  char native[PATH_MAX];
  if (!NativeFileName(formed, native, sizeof native)) return 0;
  std::string target = native;

  struct stat info;
  bool exists = lstat(target.c_str(), &info) == 0;
  // Written through a symbolic link to the file it names, keeping the link.
  if (exists && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(target.c_str(), resolved) == nullptr) return Failed(errno);
    target = resolved;
    exists = stat(target.c_str(), &info) == 0;
  }
  if (exists) {
    if (S_ISDIR(info.st_mode)) return FailedWith(FileError::kFolder);
    if (!S_ISREG(info.st_mode)) return FailedWith(FileError::kNotRegular);
    // A file without its owner's write bit is read-only for everyone, root included.
    if ((info.st_mode & S_IWUSR) == 0) return FailedWith(FileError::kReadOnly);
    if (access(target.c_str(), W_OK) != 0) return Failed(errno);
  }
  std::vector<std::string> made;
  if (makeFolders && !MakeFolders(target, &made)) {
    const int error = errno;
    RemoveFolders(made);
    return Failed(error);
  }

  const std::string folder = FolderOf(target);
  if (folder.size() + 16 >= PATH_MAX) {
    RemoveFolders(made);
    return FailedWith(FileError::kPathTooLong);
  }
  mode_t mode = exists ? info.st_mode & 07777 : NewFileMode();
  std::string temporary;
  const int fd = CreateTemporary(folder, mode, &temporary);
  if (fd < 0) {
    const int error = errno;
    RemoveFolders(made);
    return Failed(error);
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
    RemoveFolders(made);
    return Failed(error != 0 ? error : errno);
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
    if (fd < 0) return Failed(errno);
    struct stat info;
    int result = fstat(fd, &info);
    if (result == 0 && synced.insert(info.st_dev).second) result = syncfs(fd);
    const int error = errno;
    close(fd);
    if (result != 0) return Failed(error);
  }
  return 1;
}

int CommitStagedFile(const StagedFile& file) {
  SetFileError(FileError::kNone);
  if (rename(file.temporary.c_str(), file.target.c_str()) != 0) return Failed(errno);
  return 1;
}

void DiscardStagedFile(const StagedFile& file) {
  if (!file.temporary.empty()) unlink(file.temporary.c_str());
}

void RemoveMadeFolders(const std::vector<std::string>& folders) {
  RemoveFolders(folders);
}

}  // namespace morvane
