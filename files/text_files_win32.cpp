// The file layer on Windows: ANSI paths in the active code page, whole-file reads, and writes that replace
// the target only once the new content is safely on disk.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/text_files.h"
#include "files/text_files_platform.h"

namespace morvane {

namespace {

// What a system error from the file system means to the user.
FileError FromSystemError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return FileError::kMissing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileError::kNoAccess;
    case ERROR_WRITE_PROTECT:
      return FileError::kReadOnly;
    case ERROR_FILENAME_EXCED_RANGE:
      return FileError::kPathTooLong;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileError::kNoSpace;
    case ERROR_CANT_RESOLVE_FILENAME:
      return FileError::kSymlinkLoop;
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
      return FileError::kIoError;
    case ERROR_TOO_MANY_OPEN_FILES:
      return FileError::kTooManyOpen;
    default:
      return FileError::kOther;
  }
}

// Records the system error of the step that just failed; returns 0, the failed step's result.
int RecordSystemError() {
  const DWORD error = GetLastError();
  SetFileError(FromSystemError(error), static_cast<int>(error));
  return 0;
}

int Fail(FileError error) {
  SetFileError(error);
  return 0;
}

// Closes a handle on every path out of a function.
class HandleCloser {
 public:
  explicit HandleCloser(HANDLE handle) : handle_(handle) {}
  HandleCloser(const HandleCloser&) = delete;
  HandleCloser& operator=(const HandleCloser&) = delete;
  ~HandleCloser() { Close(); }
  void Close() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

// Length of the directory part of `path`, separator included: what a sibling file's name is put after.
// "C:name" keeps its drive prefix so the sibling stays on the same drive and folder.
size_t DirectoryPrefixLength(const char* path) {
  const char* separator = FindLastSeparator(path);
  if (separator != nullptr) return static_cast<size_t>(separator - path) + 1;
  return DrivePrefixLength(path);
}

// Creates a new file beside `target` for the write, its name in `temporary`. Near the path limit the name
// is cut to the room left (never shorter than the target's own name, which fits). INVALID_HANDLE_VALUE when
// none could be created.
HANDLE CreateSibling(const char* target, char temporary[kPathBufferSize]) {
  static unsigned counter = 0;
  const size_t prefix = DirectoryPrefixLength(target);
  if (prefix + 1 >= kPathBufferSize) return INVALID_HANDLE_VALUE;
  const size_t room = kPathBufferSize - 1 - prefix;
  for (int attempt = 0; attempt < 32; ++attempt) {
    const unsigned suffix = (GetCurrentProcessId() * 31u + counter++) & 0xFFFFFu;
    char name[16];
    std::snprintf(name, sizeof name, "~mv%05X", suffix);
    const size_t length = std::strlen(name);
    const char* tail = length > room ? name + (length - room) : name;
    std::memcpy(temporary, target, prefix);
    std::strcpy(temporary + prefix, tail);
    // Deletable while open, so that RemoveUnfinishedWrite can take it away in the middle of the write.
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return INVALID_HANDLE_VALUE;
  }
  return INVALID_HANDLE_VALUE;
}

// The temporary file of the write under way, while it exists, for RemoveUnfinishedWrite.
char gUnfinished[kPathBufferSize];
volatile LONG gUnfinishedNamed = 0;

int WriteAll(HANDLE file, const char* text, uint32_t length) {
  DWORD written = 0;
  if (!WriteFile(file, text, length, &written, nullptr) || written != length) return RecordSystemError();
  return FlushFileBuffers(file) ? 1 : RecordSystemError();
}

// Reads a pipe or a character device until its end: fewer than `limit` bytes, terminated. More is kTooLarge.
int ReadToEnd(HANDLE file, char* buffer, uint32_t limit) {
  DWORD total = 0;
  for (;;) {
    char extra;
    // Once the buffer is full but for its terminator, one more byte tells whether the file is larger.
    const bool full = total + 1 >= limit;
    DWORD got = 0;
    if (!ReadFile(file, full ? &extra : buffer + total, full ? 1 : limit - 1 - total, &got, nullptr)) {
      const DWORD error = GetLastError();
      if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) break;  // the writer is done
      buffer[total] = '\0';
      NoteReadExtent(static_cast<uint32_t>(total) + 1);
      return RecordSystemError();
    }
    if (got == 0) break;
    if (full) {
      buffer[total] = '\0';
      NoteReadExtent(static_cast<uint32_t>(total) + 1);
      return Fail(FileError::kTooLarge);
    }
    total += got;
  }
  buffer[total] = '\0';
  NoteReadExtent(static_cast<uint32_t>(total) + 1);
  return 1;
}

enum class Reading : uint8_t {
  kRegularOnly,  // a file a template or a window names
  kStreams,      // a file named on the command line: pipes and character devices too
  kToTheEnd,     // standard input: whatever it is (also a file it was redirected from), to its end
};

// The identity of an open file.
int IdentityOf(HANDLE file, FileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file, &information)) return 0;
  identity->volume = information.dwVolumeSerialNumber;
  identity->index = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  identity->regular =
      GetFileType(file) == FILE_TYPE_DISK && (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  return 1;
}

// Reads the open file whole: a file on disk by its size; a pipe or character device to its end where
// `reading` allows it, else refused.
int ReadOpen(HANDLE file, char* buffer, uint32_t limit, Reading reading) {
  if (file == INVALID_HANDLE_VALUE || file == nullptr) return Fail(FileError::kStandardInputClosed);
  // Standard input is read as a stream whatever its type: redirected from a file, the handle may stand
  // anywhere in it, and Wine refuses the questions asked of a file on disk.
  if (reading == Reading::kToTheEnd) return ReadToEnd(file, buffer, limit);
  const DWORD type = GetFileType(file);
  if (type != FILE_TYPE_DISK) {
    if (reading != Reading::kStreams || (type != FILE_TYPE_PIPE && type != FILE_TYPE_CHAR)) {
      return Fail(type == FILE_TYPE_CHAR ? FileError::kDevice : FileError::kNotRegular);
    }
    return ReadToEnd(file, buffer, limit);
  }
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file, &information)) return RecordSystemError();
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Fail(FileError::kFolder);
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) return RecordSystemError();
  if (static_cast<unsigned long long>(size.QuadPart) >= limit) return Fail(FileError::kTooLarge);
  const DWORD wanted = static_cast<DWORD>(size.QuadPart);
  DWORD read = 0;
  const BOOL ok = ReadFile(file, buffer, wanted, &read, nullptr);
  if (!ok) RecordSystemError();
  buffer[wanted] = '\0';
  NoteReadExtent(wanted + 1);
  if (ok && read == wanted) return 1;
  if (ok) SetFileError(FileError::kShortRead);
  return 0;
}

// Opens the file at `formed` and reads it.
int ReadResolved(const char* formed, char* buffer, uint32_t limit, Reading reading) {
  HANDLE file = CreateFileA(formed, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  // Closed on every way out, also when the observer runs out of memory.
  HandleCloser closer(file);
  // The observer hears of every file found, also one that cannot be opened.
  const DWORD openError = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  const bool found = openError != ERROR_FILE_NOT_FOUND && openError != ERROR_PATH_NOT_FOUND;
  if (found && ReadsObserved()) {
    FileIdentity identity;
    const bool known = file != INVALID_HANDLE_VALUE && IdentityOf(file, &identity);
    RecordRead(formed, known ? &identity : nullptr);
  }
  RecordOpenAttempt(formed, found ? 1 : 0);
  SetLastError(openError);
  if (file == INVALID_HANDLE_VALUE) {
    // A folder cannot be opened as a file: say so rather than "access denied".
    const DWORD attributes = GetFileAttributesA(formed);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return Fail(FileError::kFolder);
    }
    return RecordSystemError();
  }
  return ReadOpen(file, buffer, limit, reading);
}

// The process's standard input, or INVALID_HANDLE_VALUE when it was started without one.
HANDLE StandardInput() {
  if (StandardStreamWasClosed(StandardStream::kInput)) return INVALID_HANDLE_VALUE;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  return input == nullptr ? INVALID_HANDLE_VALUE : input;
}

}  // namespace

size_t DrivePrefixLength(const char* path) {
  return (path[0] != '\0' && path[1] == ':') ? 2 : 0;
}

void ClaimStandardStreams() {
  // Windows gives a missing standard handle no number that a file could take; only its absence is noted.
  const struct {
    DWORD handle;
    StandardStream stream;
  } streams[] = {{STD_INPUT_HANDLE, StandardStream::kInput},
                 {STD_OUTPUT_HANDLE, StandardStream::kOutput},
                 {STD_ERROR_HANDLE, StandardStream::kError}};
  for (const auto& stream : streams) {
    const HANDLE handle = GetStdHandle(stream.handle);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) SetStandardStreamClosed(stream.stream);
  }
}

int ReadResolvedFile(const char* formed, char* buffer, uint32_t limit) {
  return ReadResolved(formed, buffer, limit, Reading::kRegularOnly);
}

int ReadResolvedStream(const char* formed, char* buffer, uint32_t limit) {
  if (std::strcmp(formed, "-") == 0) return ReadOpen(StandardInput(), buffer, limit, Reading::kToTheEnd);
  return ReadResolved(formed, buffer, limit, Reading::kStreams);
}

FileStamp ReadFileStamp(const char* fileName) {
  FileStamp stamp;
  HANDLE file = CreateFileA(fileName, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return stamp;
  HandleCloser closer(file);
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file, &information)) return stamp;
  auto ticks = [](const FILETIME& time) {
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  };
  stamp.exists = true;
  stamp.folder = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  stamp.volume = information.dwVolumeSerialNumber;
  stamp.index = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  stamp.size = (static_cast<uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
  stamp.modified = ticks(information.ftLastWriteTime);
  stamp.changed = ticks(information.ftCreationTime);
  return stamp;
}

int ReadFileIdentity(const char* formed, FileIdentity* identity) {
  if (std::strcmp(formed, "-") == 0) {
    const HANDLE input = StandardInput();
    return input != INVALID_HANDLE_VALUE && IdentityOf(input, identity);
  }
  // No access asked and backup semantics: this opens folders and files in use too.
  HANDLE file = CreateFileA(formed, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  HandleCloser closer(file);
  return IdentityOf(file, identity);
}

int WriteResolvedFile(const char* formed, const char* text, uint32_t length) {
  // What could not be opened for writing is not replaced either: a read-only file or a folder.
  const DWORD attributes = GetFileAttributesA(formed);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Fail(FileError::kFolder);
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return Fail(FileError::kReadOnly);
  }
  char temporary[kPathBufferSize];
  HANDLE file = CreateSibling(formed, temporary);
  if (file == INVALID_HANDLE_VALUE) return RecordSystemError();
  std::memcpy(gUnfinished, temporary, sizeof gUnfinished);
  gUnfinishedNamed = 1;
  HandleCloser closer(file);
  const int written = WriteAll(file, text, length);
  closer.Close();
  int result = 1;
  if (!written || !MoveFileExA(temporary, formed, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    if (written) RecordSystemError();
    DeleteFileA(temporary);
    result = 0;
  }
  gUnfinishedNamed = 0;
  return result;
}

void RemoveUnfinishedWrite() {
  if (gUnfinishedNamed != 0) DeleteFileA(gUnfinished);
}

int ReadModuleFileName(char* buffer, uint32_t size) {
  // 259 bytes at most, as every path buffer; a name that does not fit is not a usable directory.
  const DWORD capacity = size < kPathBufferSize - 1 ? size : kPathBufferSize - 1;
  if (capacity == 0) return 0;
  const DWORD length = GetModuleFileNameA(nullptr, buffer, capacity);
  if (length == 0 || length >= capacity) {
    buffer[0] = '\0';
    return 0;
  }
  return 1;
}

int NativeFileName(const char* formed, char* native, size_t size) {
  const size_t length = std::strlen(formed);
  if (length >= size) return Fail(FileError::kPathTooLong);
  std::memcpy(native, formed, length + 1);
  return 1;
}

// Reading a file in pieces.
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
  if (file == INVALID_HANDLE_VALUE) return RecordSystemError();
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

namespace {

// Files written as one: each into a temporary beside it, flushed, then moved over its target.

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
      return RecordSystemError();
    }
  }
  return 1;
}

}  // namespace

int StageResolvedFile(const char* formed, const char* text, uint32_t length, bool makeFolders,
                      StagedFile* staged) {
  const std::string target = formed;
  const DWORD attributes = GetFileAttributesA(formed);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Fail(FileError::kFolder);
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return Fail(FileError::kReadOnly);
  }
  std::vector<std::string> made;
  if (makeFolders && !MakeFolders(target, &made)) {
    RemoveMadeFolders(made);
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
    RecordSystemError();
    RemoveMadeFolders(made);
    return 0;
  }
  DWORD written = 0;
  // Windows has no sync of a whole volume for a program: each file is flushed as it is written.
  const bool ok =
      WriteFile(file, text, length, &written, nullptr) && written == length && FlushFileBuffers(file);
  if (!ok) RecordSystemError();
  CloseHandle(file);
  if (!ok) {
    DeleteFileA(temporary.c_str());
    RemoveMadeFolders(made);
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
    return RecordSystemError();
  return 1;
}

void DiscardStagedFile(const StagedFile& file) {
  if (!file.temporary.empty()) DeleteFileA(file.temporary.c_str());
}

void RemoveMadeFolders(const std::vector<std::string>& folders) {
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) RemoveDirectoryA(it->c_str());
}

}  // namespace morvane
