// The file layer against real files in a temporary folder.
#include "files/text_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "text/text.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

class TextFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetActiveCodePage(kCodePage932);
    dir_ = fs::temp_directory_path() /
           ("morvane-files-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    buffer_.reset(new char[kTextBufferSize + 1]);
    std::memset(buffer_.get(), 'X', kTextBufferSize + 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string Contents(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
  std::unique_ptr<char[]> buffer_;
};

TEST_F(TextFilesTest, ReadsWholeFilesBelowTheLimit) {
  struct Case {
    std::string bytes;
    std::string text;  // what callers see: up to the first NUL
  };
  const Case cases[] = {
      {"", ""},
      {"line\r\nnext\r\n", "line\r\nnext\r\n"},
      {"\xEF\xBB\xBFwith mark", "\xEF\xBB\xBFwith mark"},
      {std::string("front\0back", 10), "front"},
      {"\x83\x66\x81\x5B\x83\x5E", "\x83\x66\x81\x5B\x83\x5E"},
  };
  for (const Case& c : cases) {
    Write("f.txt", c.bytes);
    ASSERT_EQ(ReadTextFile(Path("f.txt").c_str(), buffer_.get(), kTextBufferSize), 1);
    EXPECT_EQ(std::string(buffer_.get()), c.text);
    EXPECT_EQ(std::memcmp(buffer_.get(), c.bytes.data(), c.bytes.size()), 0);
    EXPECT_EQ(buffer_[c.bytes.size()], '\0');
  }
}

TEST_F(TextFilesTest, SizeLimitBoundary) {
  Write("fits.txt", std::string(kTextBufferSize - 1, 'a'));
  ASSERT_EQ(ReadTextFile(Path("fits.txt").c_str(), buffer_.get(), kTextBufferSize), 1);
  EXPECT_EQ(buffer_[kTextBufferSize - 1], '\0');
  EXPECT_EQ(buffer_[kTextBufferSize - 2], 'a');

  std::memset(buffer_.get(), 'X', kTextBufferSize + 1);
  Write("big.txt", std::string(kTextBufferSize, 'a'));
  EXPECT_EQ(ReadTextFile(Path("big.txt").c_str(), buffer_.get(), kTextBufferSize), 0);
  EXPECT_EQ(buffer_[0], 'X') << "a refused file leaves the buffer untouched";
}

TEST_F(TextFilesTest, UnreadablePathsFail) {
  const std::string tooLong(kPathBufferSize, 'p');
  for (const std::string& path : {std::string(), Path("missing.txt"), dir_.string(), tooLong}) {
    EXPECT_EQ(ReadTextFile(path.c_str(), buffer_.get(), kTextBufferSize), 0) << path;
    EXPECT_EQ(buffer_[0], 'X') << path;
  }
  EXPECT_FALSE(fs::exists(dir_ / "missing.txt"));
}

TEST_F(TextFilesTest, BackslashPathsJoinTheBaseDirectory) {
  fs::create_directories(dir_ / "sub");
  Write("sub/x.txt", "in sub");
  SetBaseDirectory(Path("main.txt").c_str());
  EXPECT_EQ(std::string(BaseDirectory), dir_.string());
  ASSERT_EQ(ReadTextFile("\\sub\\x.txt", buffer_.get(), kTextBufferSize), 1);
  EXPECT_STREQ(buffer_.get(), "in sub");

  char formed[kPathBufferSize];
  ASSERT_EQ(ResolvePath("\\sub\\x.txt", formed), 1);
  EXPECT_EQ(std::string(formed), dir_.string() + "\\sub\\x.txt");
  ASSERT_EQ(ResolvePath("other\\y.txt", formed), 1);
  EXPECT_STREQ(formed, "other\\y.txt");
  ASSERT_EQ(ResolvePath("\\\\server\\share", formed), 1);
  EXPECT_EQ(std::string(formed), dir_.string() + "\\\\server\\share");
}

TEST_F(TextFilesTest, BaseDirectoryCuts) {
  struct Case {
    const char* path;
    const char* base;
  };
  const Case cases[] = {
      {"C:\\work\\sub\\main.txt", "C:\\work\\sub"},
      {"C:\\main.txt", "C:"},
      {"main.txt", "."},
      {"\x95\x5C.txt", "."},
      {"/home/u/main.txt", "/home/u"},
      {"C:\\\x95\x5C\\\x95\x5C.txt", "C:\\\x95\x5C"},
      {"dir\\\x83\x5C", "dir"},
  };
  for (const Case& c : cases) {
    SetBaseDirectory(c.path);
    EXPECT_STREQ(BaseDirectory, c.base) << c.path;
  }
  // A name without separator lies in the current directory, which the join then names.
  char formed[kPathBufferSize];
  SetBaseDirectory("main.txt");
  ASSERT_EQ(ResolvePath("\\x.txt", formed), 1);
  EXPECT_STREQ(formed, ".\\x.txt");
}

TEST_F(TextFilesTest, FormedPathsMustFit) {
  char formed[kPathBufferSize];
  const std::string base(200, 'b');
  SetBaseDirectory((base + "\\f.txt").c_str());
  EXPECT_EQ(ResolvePath(("\\" + std::string(58, 'p')).c_str(), formed), 1);
  EXPECT_EQ(ResolvePath(("\\" + std::string(59, 'p')).c_str(), formed), 0);
  EXPECT_STREQ(formed, "");
  // A directory too long to hold makes every join fail rather than resolve elsewhere.
  SetBaseDirectory((std::string(300, 'd') + "\\f.txt").c_str());
  EXPECT_EQ(ResolvePath("\\x.txt", formed), 0);
  EXPECT_EQ(ResolvePath("x.txt", formed), 1);
  ResetBaseDirectory();
  EXPECT_EQ(ResolvePath("\\x.txt", formed), 1);
}

TEST_F(TextFilesTest, PathAndBufferMayBeTheSameStorage) {
  Write("same.txt", "contents of same");
  std::strcpy(buffer_.get(), Path("same.txt").c_str());
  ASSERT_EQ(ReadTextFile(buffer_.get(), buffer_.get(), kTextBufferSize), 1);
  EXPECT_STREQ(buffer_.get(), "contents of same");
}

TEST_F(TextFilesTest, WritesReplaceWhole) {
  ASSERT_EQ(WriteTextFile(Path("out.txt").c_str(), "first version, long"), 1);
  EXPECT_EQ(Contents("out.txt"), "first version, long");
  ASSERT_EQ(WriteTextFile(Path("out.txt").c_str(), "short\r\n"), 1);
  EXPECT_EQ(Contents("out.txt"), "short\r\n");
  ASSERT_EQ(WriteTextFile(Path("out.txt").c_str(), ""), 1);
  EXPECT_EQ(Contents("out.txt"), "");
  EXPECT_TRUE(fs::exists(dir_ / "out.txt"));

  SetBaseDirectory(Path("x").c_str());
  ASSERT_EQ(WriteTextFile("\\joined.txt", "j"), 1);
  EXPECT_EQ(Contents("joined.txt"), "j");
}

TEST_F(TextFilesTest, FailedWritesLeaveNothingBehind) {
  fs::create_directories(dir_ / "target-dir");
  EXPECT_EQ(WriteTextFile(Path("target-dir").c_str(), "x"), 0);
  EXPECT_TRUE(fs::is_directory(dir_ / "target-dir"));
  EXPECT_EQ(WriteTextFile(Path("no-such-dir/out.txt").c_str(), "x"), 0);
  EXPECT_EQ(WriteTextFile("", "x"), 0);
  size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) entries += entry.path().filename() != "target-dir";
  EXPECT_EQ(entries, 0u) << "no temporary file may remain";
}

TEST_F(TextFilesTest, ModuleDirectoryIsTheProgramsFolder) {
  FindModuleDirectory();
  EXPECT_NE(ModuleDirectory[0], '\0');
  ResetBaseDirectory();
  EXPECT_STREQ(BaseDirectory, ModuleDirectory);
}

}  // namespace
}  // namespace morvane
