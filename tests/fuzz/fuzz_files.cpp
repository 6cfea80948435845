// The platform half of the file layer for the expansion harness: a few files held in memory, found by their
// last path component, so a fuzzed datafile path never reaches the real file system (no device is opened,
// and every run sees the same files). The portable half, ResolvePath included, is the product's own.
#include <cstring>

#include "text/unicode_width.h"
#include "files/text_files.h"
#include "files/text_files_platform.h"
#include "tests/fuzz/fuzz_support.h"

namespace morvane {

bool fuzz::gServedInvalidUtf8 = false;

namespace {

struct MemoryFile {
  const char* name;
  const char* bytes;
  uint32_t size;
};

constexpr char kNulInside[] = "before\0[x data=\"after\"]";

constexpr MemoryFile kFiles[] = {
    {"a.txt", "[a data=\"from a\"]<[a]>", 22},      {"self.txt", "[s datafile=\"self.txt\"][s]", 26},
    {"nul.txt", kNulInside, sizeof kNulInside - 1}, {"lead.txt", "ab\x81", 3},
    {"tags.txt", "[x][y data=\"[x]\"]\\[z]", 21},   {"empty.txt", "", 0},
};

const char* LastComponent(const char* path) {
  const char* separator = FindLastSeparator(path);
  return separator != nullptr ? separator + 1 : path;
}

}  // namespace

size_t DrivePrefixLength(const char*) {
  return 0;
}

int ReadResolvedFile(const char* formed, char* buffer, uint32_t limit) {
  FUZZ_CHECK(strnlen(formed, kPathBufferSize) < kPathBufferSize);
  const char* name = LastComponent(formed);
  // A file one byte below the limit is read whole; one of the limit is refused.
  if (std::strcmp(name, "largest.txt") == 0) {
    std::memset(buffer, 'x', limit - 1);
    buffer[limit - 1] = '\0';
    return 1;
  }
  if (std::strcmp(name, "short.txt") == 0) {
    // A read cut short: what arrived stands at the start, the terminator at the file's size.
    std::memcpy(buffer, "[p", 2);
    if (limit > 8) buffer[8] = '\0';
    return 0;
  }
  for (const MemoryFile& file : kFiles) {
    if (std::strcmp(name, file.name) != 0) continue;
    if (file.size >= limit) return 0;
    std::memcpy(buffer, file.bytes, file.size);
    buffer[file.size] = '\0';
    for (const char* p = file.bytes; p < file.bytes + file.size;) {
      const int sequence = WellFormedLength(p, file.bytes + file.size);
      if (sequence == 0) {
        fuzz::gServedInvalidUtf8 = true;
        break;
      }
      p += sequence;
    }
    return 1;
  }
  // Missing files, and everything that is not a regular file (FIFO, directory, device), fail untouched.
  return 0;
}

// Only the command line reads standard input and pipes; the harness never does.
int ReadResolvedStream(const char*, char*, uint32_t) {
  SetFileError(FileError::kNotRegular);
  return 0;
}

void RemoveUnfinishedWrite() {}

// Only the command line compares its file names; the harness never does.
int ReadFileIdentity(const char*, FileIdentity*) {
  return 0;
}

int WriteResolvedFile(const char*, const char*, uint32_t) {
  return 0;
}

// Only the command line's --rows stages files; the harness never does.
int StageResolvedFile(const char*, const char*, uint32_t, bool, StagedFile*) {
  return 0;
}

int ReadModuleFileName(char* buffer, uint32_t size) {
  if (size < 16) return 0;
  std::memcpy(buffer, "/fuzz/morvane", 14);
  return 1;
}

}  // namespace morvane
