// SetBaseDirectory and ResolvePath against a model of the directory cut and the join, then a real read of
// the joined path below a directory that does not exist, which exercises the conversion to a native path.
// Input: one control byte (bit 0: code page 932 or none), the file path, a NUL, and the path to resolve.
#include <sys/stat.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "text/text.h"
#include "files/text_files.h"
#include "tests/fuzz/fuzz_support.h"

namespace morvane::fuzz {
namespace {

// No file is ever opened: every real read is joined to this directory, which must not exist.
constexpr char kAbsentDirectory[] = "/nonexistent-morvane-fuzz";

// The directory part of a path: everything before its last separator character; "." for a name without
// any separator (no drive letters on this platform), nothing for the empty path.
std::string DirectoryOf(const char* path) {
  size_t cut = std::string::npos;
  for (size_t i = 0; path[i] != '\0';) {
    if (path[i] == '\\' || path[i] == '/') cut = i;
    i += static_cast<size_t>(CharLength(path + i));
  }
  if (cut == std::string::npos) return path[0] == '\0' ? std::string() : std::string(".");
  return std::string(path, cut);
}

}  // namespace
}  // namespace morvane::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::setlocale(LC_ALL, "C.UTF-8");
  struct stat info;
  if (stat(morvane::fuzz::kAbsentDirectory, &info) == 0) {
    morvane::fuzz::Fail(__FILE__, __LINE__, "the absent directory exists");
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace morvane;
  using namespace morvane::fuzz;
  if (size == 0) return 0;
  const std::unique_ptr<char[]> text = TextAfterCodePageByte(data, size);
  const char* filePath = text.get();
  const size_t filePathLength = std::strlen(filePath);
  const char* path = filePathLength + 1 < size ? filePath + filePathLength + 1 : filePath + filePathLength;

  SetBaseDirectory(filePath);
  const std::string directory = DirectoryOf(filePath);
  const bool baseValid = directory.size() < kPathBufferSize;
  FUZZ_CHECK(std::strcmp(BaseDirectory, baseValid ? directory.c_str() : "") == 0);

  const std::unique_ptr<char[]> formed(new char[kPathBufferSize]);
  const int resolved = ResolvePath(path, formed.get());
  std::string expected = path;
  bool fits = true;
  if (path[0] == '\\') {
    fits = baseValid;
    expected = directory + path;
  }
  fits = fits && expected.size() < kPathBufferSize;
  FUZZ_CHECK(resolved == (fits ? 1 : 0));
  FUZZ_CHECK(std::strcmp(formed.get(), fits ? expected.c_str() : "") == 0);

  // A path that begins with '\' joined to an absent directory: the read fails and leaves the buffer alone.
  if (path[0] == '\\') {
    SetBaseDirectory((std::string(kAbsentDirectory) + "/main.txt").c_str());
    char buffer[64];
    std::memset(buffer, 'k', sizeof buffer);
    FUZZ_CHECK(ReadTextFile(path, buffer, sizeof buffer) == 0);
    for (char c : buffer) FUZZ_CHECK(c == 'k');
  }
  return 0;
}
