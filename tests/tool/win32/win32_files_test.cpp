// The Windows file layer and code page: ANSI paths in code page 932, what is refused, and safe replacement.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "text/code_page_platform.h"
#include "text/text.h"
#include "files/text_files.h"
#include "files/text_files_platform.h"
#include "tests/tool/win32/win32_test_support.h"

namespace morvane {
namespace {

using test::ScratchFolder;

class Win32FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u) << "run under code page 932 (Wine: LC_ALL=ja_JP.UTF-8)";
    ActivatePlatformCodePage();
  }

  // A buffer of `size` bytes, every byte 0x7E, so writes into it can be seen.
  static std::vector<char> Marked(size_t size) { return std::vector<char>(size, '~'); }

  ScratchFolder folder_;
};

TEST_F(Win32FilesTest, CodePageIsTheSystemsAnsiCodePageWithItsOwnLeadBytes) {
  int codePage = -1;
  ASSERT_EQ(DetectPlatformCodePage(&codePage), 1);
  EXPECT_EQ(codePage, kCodePage932);
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(byte)), IsDBCSLeadByte(static_cast<BYTE>(byte)) != 0)
        << byte;
    const bool in932 = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(byte)), in932) << byte;
  }
}

struct LeadByteCase {
  const char* name;
  unsigned char pairs[12];
  int pairCount;
  std::vector<int> leadBytes;  // every lead byte, in order
};

std::vector<int> Span(int first, int last) {
  std::vector<int> bytes;
  for (int b = first; b <= last; ++b) bytes.push_back(b);
  return bytes;
}

std::vector<int> Joined(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(Win32FilesTest, LeadBytesComeFromThePairsUpToTheFirstZero) {
  const LeadByteCase cases[] = {
      {"932", {0x81, 0x9F, 0xE0, 0xFC, 0, 0}, 6, Joined(Span(0x81, 0x9F), Span(0xE0, 0xFC))},
      {"stops at a zero pair", {0x81, 0x82, 0, 0, 0xE0, 0xE0}, 6, Span(0x81, 0x82)},
      {"stops at the count", {0x81, 0x81, 0x90, 0x91}, 1, {0x81}},
      {"none", {0, 0}, 6, {}},
      {"up to 0xFF", {0xFE, 0xFF, 0, 0}, 6, Span(0xFE, 0xFF)},
  };
  for (const LeadByteCase& leadCase : cases) {
    SetActiveLeadBytes(1361, leadCase.pairs, leadCase.pairCount);
    std::vector<int> found;
    for (int byte = 0; byte < 256; ++byte) {
      if (IsLeadByte(static_cast<unsigned char>(byte))) found.push_back(byte);
    }
    EXPECT_EQ(found, leadCase.leadBytes) << leadCase.name;
    EXPECT_EQ(ActiveCodePage(), 1361) << leadCase.name;
  }
  ActivatePlatformCodePage();
}

struct SizeCase {
  size_t fileSize;
  uint32_t limit;
  int result;
};

class SizeLimitTest : public Win32FilesTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(SizeLimitTest, ReadsOnlyFilesSmallerThanTheLimit) {
  const SizeCase& size = GetParam();
  const std::string content(size.fileSize, 'a');
  ScratchFolder::WriteBytes(folder_ / "sized.txt", content);
  std::vector<char> buffer = Marked(size.limit + 1);
  ASSERT_EQ(ReadTextFile((folder_ / "sized.txt").c_str(), buffer.data(), size.limit), size.result);
  if (size.result == 1) {
    EXPECT_EQ(std::string(buffer.data(), size.fileSize), content);
    EXPECT_EQ(buffer[size.fileSize], '\0');
  } else {
    EXPECT_EQ(buffer, Marked(size.limit + 1));
  }
}

INSTANTIATE_TEST_SUITE_P(Limits, SizeLimitTest,
                         ::testing::Values(SizeCase{0, 8, 1}, SizeCase{7, 8, 1}, SizeCase{8, 8, 0},
                                           SizeCase{9, 8, 0},
                                           SizeCase{kTextBufferSize - 1, kTextBufferSize, 1},
                                           SizeCase{kTextBufferSize, kTextBufferSize, 0}));

TEST_F(Win32FilesTest, RefusesFoldersDevicesAndMissingFiles) {
  const std::string sub = folder_.MakeFolder("sub");
  for (const std::string& path : {sub, std::string("NUL"), folder_ / "missing.txt"}) {
    std::vector<char> buffer = Marked(64);
    EXPECT_EQ(ReadTextFile(path.c_str(), buffer.data(), 64), 0) << path;
    EXPECT_EQ(buffer, Marked(64)) << path;
  }
  EXPECT_FALSE(ScratchFolder::Exists(folder_ / "missing.txt"));
}

TEST_F(Win32FilesTest, ReadsThroughAPathThatLiesInTheBuffer) {
  const std::string path = folder_ / "self.txt";
  const std::string content = "a text longer than the path that named it: " + std::string(300, 'z');
  ScratchFolder::WriteBytes(path, content);
  std::vector<char> buffer(1024, '\0');
  std::memcpy(buffer.data(), path.c_str(), path.size() + 1);
  ASSERT_EQ(ReadTextFile(buffer.data(), buffer.data(), 1024), 1);
  EXPECT_STREQ(buffer.data(), content.c_str());
}

TEST_F(Win32FilesTest, JapanesePathsWithTrailByte5CRoundTrip) {
  // ソ and 表 end in 0x5C in code page 932.
  const std::string folder = folder_.MakeFolder("表ソ");
  const std::string path = folder + "\\ソース表.txt";
  ASSERT_EQ(WriteTextFile(path.c_str(), "日本語の本文\r\n"), 1);
  char buffer[64];
  ASSERT_EQ(ReadTextFile(path.c_str(), buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, "日本語の本文\r\n");

  SetBaseDirectory(path.c_str());
  EXPECT_EQ(std::string(BaseDirectory), folder);
  ASSERT_EQ(ReadTextFile("\\ソース表.txt", buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, "日本語の本文\r\n");
}

TEST_F(Win32FilesTest, ANameWithoutSeparatorLiesInItsDrivesOrTheCurrentDirectory) {
  const struct {
    const char* path;
    const char* base;
  } cases[] = {{"main.txt", "."}, {"C:main.txt", "C:"}, {"表.txt", "."}, {"D:\\main.txt", "D:"}};
  for (const auto& c : cases) {
    SetBaseDirectory(c.path);
    EXPECT_STREQ(BaseDirectory, c.base) << c.path;
  }
}

TEST_F(Win32FilesTest, WriteReplacesTheFileAndLeavesNothingElse) {
  const std::string path = folder_ / "out.txt";
  ScratchFolder::WriteBytes(path, std::string(5000, 'o'));
  ASSERT_EQ(WriteTextFile(path.c_str(), "new\r\n"), 1);
  std::string written;
  ASSERT_TRUE(ScratchFolder::ReadBytes(path, &written));
  EXPECT_EQ(written, "new\r\n");
  EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"out.txt"});

  ASSERT_EQ(WriteTextFile(path.c_str(), ""), 1);
  ASSERT_TRUE(ScratchFolder::ReadBytes(path, &written));
  EXPECT_EQ(written, "");
  EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"out.txt"});
}

TEST_F(Win32FilesTest, FailedWriteLeavesTheTargetAndNoTemporary) {
  const std::string readOnly = folder_ / "locked.txt";
  ScratchFolder::WriteBytes(readOnly, "kept");
  SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
  const std::string sub = folder_.MakeFolder("a folder");

  EXPECT_EQ(WriteTextFile(readOnly.c_str(), "lost"), 0);
  std::string content;
  ASSERT_TRUE(ScratchFolder::ReadBytes(readOnly, &content));
  EXPECT_EQ(content, "kept");

  EXPECT_EQ(WriteTextFile(sub.c_str(), "lost"), 0);
  EXPECT_TRUE(GetFileAttributesA(sub.c_str()) & FILE_ATTRIBUTE_DIRECTORY);

  EXPECT_EQ(WriteTextFile((folder_ / "missing\\out.txt").c_str(), "lost"), 0);

  std::vector<std::string> entries = folder_.Entries();
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"a folder", "locked.txt"}));
}

TEST_F(Win32FilesTest, WritesATargetOfTheLongestPath) {
  // Folders until the path is 257 bytes, then a one-byte name: 259 bytes in all.
  std::string folder = folder_.Path();
  while (folder.size() < 257) {
    const size_t remaining = 257 - folder.size();
    folder += "\\" + std::string(remaining <= 42 ? remaining - 1 : 40, 'd');
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  ASSERT_EQ(folder.size(), 257u);
  const std::string target = folder + "\\t";
  ASSERT_EQ(target.size(), 259u);
  ASSERT_EQ(WriteTextFile(target.c_str(), "long"), 1);
  char buffer[16];
  ASSERT_EQ(ReadTextFile(target.c_str(), buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, "long");
}

TEST_F(Win32FilesTest, ModuleDirectoryIsTheExecutablesFolder) {
  char name[kPathBufferSize];
  ASSERT_EQ(ReadModuleFileName(name, kPathBufferSize), 1);
  const std::string path = name;
  ASSERT_GT(path.size(), 4u);
  EXPECT_EQ(path.substr(path.size() - 4), ".exe");
  FindModuleDirectory();
  EXPECT_EQ(std::string(ModuleDirectory), path.substr(0, path.rfind('\\')));
}

}  // namespace
}  // namespace morvane
