// Files written as one on POSIX: each into a hidden temporary beside it, all put on disk with one sync of
// each file system, then renamed over their targets.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
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

// Makes the folders of `target` that do not exist, outermost first, and notes each it made.
int MakeFolders(const std::string& target, std::vector<std::string>* made) {
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
  // Written through a symbolic link to the file it names, keeping the link.
  if (lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(target.c_str(), resolved) == nullptr) return Failed(errno);
    target = resolved;
  }
  const bool exists = stat(target.c_str(), &info) == 0;
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
  std::string temporary = (folder == "/" ? "" : folder) + "/.morvane-XXXXXX";
  if (temporary.size() >= PATH_MAX) {
    RemoveFolders(made);
    return FailedWith(FileError::kPathTooLong);
  }
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    const int error = errno;
    RemoveFolders(made);
    return Failed(error);
  }
  mode_t mode;
  if (exists) {
    mode = info.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  // The new file takes over the old one's owner and group where it may, before its mode (a change of owner
  // clears the set-ID bits); where it may not, it has no set-ID bits at all.
  bool ok = WriteAll(fd, text, length);
  if (ok && exists && fchown(fd, info.st_uid, info.st_gid) != 0)
    mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
  ok = ok && fchmod(fd, mode) == 0;
  const int error = errno;
  ok = close(fd) == 0 && ok;
  if (!ok) {
    unlink(temporary.c_str());
    RemoveFolders(made);
    return Failed(error != 0 ? error : errno);
  }
  staged->temporary = temporary;
  staged->target = target;
  staged->madeFolders = std::move(made);
  return 1;
}

int SyncStagedFiles(const std::vector<const StagedFile*>& files) {
  SetFileError(FileError::kNone);
  std::set<dev_t> synced;
  for (const StagedFile* file : files) {
    struct stat info;
    if (stat(file->temporary.c_str(), &info) != 0) return Failed(errno);
    if (!synced.insert(info.st_dev).second) continue;
    const int fd = open(FolderOf(file->temporary).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return Failed(errno);
    const int result = syncfs(fd);
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

void DiscardStagedFiles(const std::vector<const StagedFile*>& files) {
  // The temporaries first, then the folders, the last made first: a folder that two of them share empties.
  for (const StagedFile* file : files) {
    if (!file->temporary.empty()) unlink(file->temporary.c_str());
  }
  for (auto it = files.rbegin(); it != files.rend(); ++it) RemoveFolders((*it)->madeFolders);
}

}  // namespace morvane
