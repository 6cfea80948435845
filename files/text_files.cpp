// Path resolution and the two directories; the platform halves open, read and write the files.
#include "files/text_files.h"

#include <cstring>

namespace morvane {

char BaseDirectory[kPathBufferSize] = {};
char ModuleDirectory[kPathBufferSize] = {};

namespace {

// False while BaseDirectory could not hold the directory it was given: every join against it then fails
// instead of resolving against the wrong folder.
bool gBaseDirectoryValid = true;

// Stores the directory part of `path` (the whole path when it has no separator) in `directory`.
// Returns 0, leaving `directory` empty, when that part does not fit.
int StoreDirectoryOf(const char* path, char directory[kPathBufferSize]) {
  const char* separator = FindLastSeparator(path);
  const size_t length = separator != nullptr ? static_cast<size_t>(separator - path) : std::strlen(path);
  if (length >= kPathBufferSize) {
    directory[0] = '\0';
    return 0;
  }
  std::memcpy(directory, path, length);
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

int ReadTextFile(const char* path, char* buffer, uint32_t limit) {
  // The path is taken in full before the buffer, which may hold it, is written.
  char formed[kPathBufferSize];
  if (!ResolvePath(path, formed) || formed[0] == '\0' || limit == 0) return 0;
  return ReadResolvedFile(formed, buffer, limit);
}

int WriteTextFile(const char* path, const char* text) {
  char formed[kPathBufferSize];
  if (!ResolvePath(path, formed) || formed[0] == '\0') return 0;
  const size_t length = std::strlen(text);
  if (length >= 0xFFFFFFFFu) return 0;
  return WriteResolvedFile(formed, text, static_cast<uint32_t>(length));
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
