// Path resolution and the two directories; the platform halves open, read and write the files.
#include "files/text_files.h"

#include <cstring>

#include "files/text_files_platform.h"

namespace morvane {

char BaseDirectory[kPathBufferSize] = {};
char ModuleDirectory[kPathBufferSize] = {};

namespace {

ReadObserver gReadObserver;
bool gStandardStreamClosed[3] = {};
ReadWatcher gReadWatcher = nullptr;
void* gReadWatcherContext = nullptr;
FileError gLastFileError = FileError::kNone;
int gLastSystemError = 0;

uint32_t gReadExtent = 0;

int Failed(FileError error) {
  SetFileError(error);
  return 0;
}

// False while BaseDirectory could not hold the directory it was given: every join against it then fails
// instead of resolving against the wrong folder.
bool gBaseDirectoryValid = true;

// Stores the directory part of `path` in `directory`: everything before its last separator. A name without
// any separator lies in the current directory, "." (on a platform with drive letters, "X:name" lies in
// "X:"), so a path joined to it opens beside that file rather than below a folder named like the file.
// Returns 0, leaving `directory` empty, when that part does not fit.
int StoreDirectoryOf(const char* path, char directory[kPathBufferSize]) {
  const char* separator = FindLastSeparator(path);
  const char* source = path;
  size_t length = 0;
  if (separator != nullptr) {
    length = static_cast<size_t>(separator - path);
  } else if (const size_t drive = DrivePrefixLength(path); drive != 0) {
    length = drive;
  } else if (path[0] != '\0') {
    source = ".";
    length = 1;
  }
  if (length >= kPathBufferSize) {
    directory[0] = '\0';
    return 0;
  }
  std::memcpy(directory, source, length);
  directory[length] = '\0';
  return 1;
}

}  // namespace

int ResolvePath(const char* path, char formed[kPathBufferSize]) {
  formed[0] = '\0';
  const size_t pathLength = std::strlen(path);
  size_t baseLength = 0;
  if (path[0] == '\\') {
    if (!gBaseDirectoryValid) return 0;
    baseLength = std::strlen(BaseDirectory);
  }
  if (baseLength + pathLength >= kPathBufferSize) return 0;
  std::memcpy(formed, BaseDirectory, baseLength);
  std::memcpy(formed + baseLength, path, pathLength + 1);
  return 1;
}

void SetFileError(FileError error, int systemError) {
  gLastFileError = error;
  gLastSystemError = systemError;
}

void NoteReadExtent(uint32_t bytes) {
  gReadExtent = bytes;
}

uint32_t LastReadExtent() {
  return gReadExtent;
}

void ResetReadExtent() {
  gReadExtent = 0;
}

FileError LastFileError() {
  return gLastFileError;
}

int LastSystemError() {
  return gLastSystemError;
}

namespace {

// A file a template names could not be read: the observer hears of every cause but a missing file, which
// the language reads as the empty value.
int Unreadable(const char* path) {
  const FileError error = LastFileError();
  if (error != FileError::kMissing && gReadObserver.unreadable != nullptr) {
    gReadObserver.unreadable(gReadObserver.context, path, error, LastSystemError());
  }
  return 0;
}

}  // namespace

int ReadTextFile(const char* path, char* buffer, uint32_t limit) {
  SetFileError(FileError::kNone);
  gReadExtent = 0;
  // The path is taken in full before the buffer, which may hold it, is written.
  char formed[kPathBufferSize];
  if (!ResolvePath(path, formed)) {
    SetFileError(FileError::kPathTooLong);
    return Unreadable(path);
  }
  if (formed[0] == '\0' || limit == 0) return Failed(FileError::kMissing);
  return ReadResolvedFile(formed, buffer, limit) ? 1 : Unreadable(formed);
}

int ReadNamedFile(const char* path, char* buffer, uint32_t limit) {
  SetFileError(FileError::kNone);
  gReadExtent = 0;
  if (std::strlen(path) >= kPathBufferSize) return Failed(FileError::kPathTooLong);
  if (path[0] == '\0' || limit == 0) return Failed(FileError::kMissing);
  return ReadResolvedFile(path, buffer, limit);
}

int ReadNamedStream(const char* path, char* buffer, uint32_t limit) {
  SetFileError(FileError::kNone);
  gReadExtent = 0;
  if (std::strlen(path) >= kPathBufferSize) return Failed(FileError::kPathTooLong);
  if (path[0] == '\0' || limit == 0) return Failed(FileError::kMissing);
  return ReadResolvedStream(path, buffer, limit);
}

void SetReadObserver(const ReadObserver& observer) {
  gReadObserver = observer;
}

bool ReadsObserved() {
  return gReadObserver.found != nullptr;
}

void RecordRead(const char* fileName, const FileIdentity* opened) {
  if (gReadObserver.found != nullptr) gReadObserver.found(gReadObserver.context, fileName, opened);
}

int ReadNamedFileIdentity(const char* path, FileIdentity* identity) {
  if (path[0] == '\0' || std::strlen(path) >= kPathBufferSize) return 0;
  return ReadFileIdentity(path, identity);
}

void SetStandardStreamClosed(StandardStream stream) {
  gStandardStreamClosed[static_cast<int>(stream)] = true;
}

bool StandardStreamWasClosed(StandardStream stream) {
  return gStandardStreamClosed[static_cast<int>(stream)];
}

void SetReadWatcher(ReadWatcher watcher, void* context) {
  gReadWatcher = watcher;
  gReadWatcherContext = context;
}

void RecordOpenAttempt(const char* fileName, int found) {
  if (gReadWatcher != nullptr) gReadWatcher(gReadWatcherContext, fileName, found);
}

namespace {

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

// The path without leading "./" (or ".\"), so that "./out.txt" and "out.txt" compare equal.
const char* WithoutCurrentFolder(const char* path) {
  while (path[0] == '.' && IsSeparator(path[1])) {
    path += 2;
    while (IsSeparator(*path)) ++path;
  }
  return path;
}

}  // namespace

int NamesSameFile(const char* first, const char* second) {
  const auto namesNoFile = [](const char* path) { return path[0] == '\0' || std::strcmp(path, "-") == 0; };
  if (namesNoFile(first) || namesNoFile(second)) return 0;
  if (std::strlen(first) >= kPathBufferSize || std::strlen(second) >= kPathBufferSize) return 0;
  FileIdentity firstIdentity{};
  FileIdentity secondIdentity{};
  const bool firstExists = ReadFileIdentity(first, &firstIdentity) != 0;
  const bool secondExists = ReadFileIdentity(second, &secondIdentity) != 0;
  // A file that does not exist yet (an -o target) can only be told by its name.
  if (!firstExists && !secondExists) {
    return std::strcmp(WithoutCurrentFolder(first), WithoutCurrentFolder(second)) == 0 ? 1 : 0;
  }
  return firstExists && secondExists && firstIdentity.SameFile(secondIdentity) ? 1 : 0;
}

int WriteTextFile(const char* path, const char* text) {
  SetFileError(FileError::kNone);
  char formed[kPathBufferSize];
  if (!ResolvePath(path, formed)) return Failed(FileError::kPathTooLong);
  if (formed[0] == '\0') return Failed(FileError::kMissing);
  const size_t length = std::strlen(text);
  if (length >= 0xFFFFFFFFu) return Failed(FileError::kTooLarge);
  return WriteResolvedFile(formed, text, static_cast<uint32_t>(length));
}

int StageTextFile(const char* path, const char* text, uint32_t length, bool makeFolders, StagedFile* staged) {
  *staged = StagedFile{};
  SetFileError(FileError::kNone);
  char formed[kPathBufferSize];
  if (!ResolvePath(path, formed)) return Failed(FileError::kPathTooLong);
  if (formed[0] == '\0') return Failed(FileError::kMissing);
  return StageResolvedFile(formed, text, length, makeFolders, staged);
}

void SetBaseDirectory(const char* path) {
  gBaseDirectoryValid = StoreDirectoryOf(path, BaseDirectory) != 0;
}

void ResetBaseDirectory() {
  std::memcpy(BaseDirectory, ModuleDirectory, kPathBufferSize);
  gBaseDirectoryValid = true;
}

void FindModuleDirectory() {
  char moduleFileName[kPathBufferSize];
  if (!ReadModuleFileName(moduleFileName, kPathBufferSize)) moduleFileName[0] = '\0';
  StoreDirectoryOf(moduleFileName, ModuleDirectory);
}

}  // namespace morvane
