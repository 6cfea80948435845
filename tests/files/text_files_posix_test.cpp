// POSIX-only behaviour of the file layer: code-page paths, special files and a write cut short.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "text/text.h"
#include "files/text_files.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

class PosixFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::setlocale(LC_ALL, "C.UTF-8");
    SetActiveCodePage(kCodePage932);
    dir_ = fs::temp_directory_path() /
           ("morvane-posix-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    buffer_.reset(new char[kTextBufferSize]);
  }
  void TearDown() override {
    fs::remove_all(dir_);
    std::setlocale(LC_ALL, "C");
  }

  fs::path dir_;
  std::unique_ptr<char[]> buffer_;
};

TEST_F(PosixFilesTest, CodePagePathsAreConvertedBeforeBackslashesBecomeSlashes) {
  // 表 is 0x95 0x5C in code page 932 and E8 A1 A8 in UTF-8.
  fs::create_directories(dir_ / "\xE8\xA1\xA8");
  std::ofstream(dir_ / "\xE8\xA1\xA8" / "d.txt") << "table";
  const std::string cp932Dir = dir_.string() + "\\\x95\x5C";

  ASSERT_EQ(ReadTextFile((cp932Dir + "\\d.txt").c_str(), buffer_.get(), kTextBufferSize), 1);
  EXPECT_STREQ(buffer_.get(), "table");

  SetBaseDirectory((cp932Dir + "\\main.txt").c_str());
  EXPECT_EQ(std::string(BaseDirectory), cp932Dir);
  ASSERT_EQ(ReadTextFile("\\d.txt", buffer_.get(), kTextBufferSize), 1);
  ASSERT_EQ(WriteTextFile("\\w.txt", "\x83\x66\x81\x5B\x83\x5E"), 1);
  std::ifstream written(dir_ / "\xE8\xA1\xA8" / "w.txt", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "\x83\x66\x81\x5B\x83\x5E");

  // A path that is not valid code page 932 cannot be opened.
  EXPECT_EQ(ReadTextFile((dir_.string() + "/\x81").c_str(), buffer_.get(), kTextBufferSize), 0);
}

TEST_F(PosixFilesTest, OnlyRegularFilesAreRead) {
  const std::string fifo = (dir_ / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink("loop-b", dir_ / "loop-a");
  fs::create_symlink("loop-a", dir_ / "loop-b");
  fs::create_symlink("missing-target", dir_ / "dangling");
  for (const std::string& path : {fifo, (dir_ / "loop-a").string(), (dir_ / "dangling").string(),
                                  std::string("/dev/null"), std::string("/dev/zero"), dir_.string()}) {
    buffer_[0] = 'X';
    EXPECT_EQ(ReadTextFile(path.c_str(), buffer_.get(), kTextBufferSize), 0) << path;
    EXPECT_EQ(buffer_[0], 'X') << path;
  }
}

TEST_F(PosixFilesTest, WriteKeepsModeAndFollowsLinks) {
  const fs::path target = dir_ / "target.txt";
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("target.txt", dir_ / "link.txt");
  ASSERT_EQ(WriteTextFile((dir_ / "link.txt").c_str(), "new"), 1);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.txt"));
  std::ifstream in(target);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(PosixFilesTest, FilesWithoutTheOwnersWriteBitAreNeverReplaced) {
  // Root may write anything, so the mode decides; the same for every user.
  const fs::perms modes[] = {fs::perms::owner_read, fs::perms::owner_read | fs::perms::group_write,
                             fs::perms::owner_read | fs::perms::others_write, fs::perms::none};
  for (const fs::perms mode : modes) {
    const fs::path target = dir_ / "readonly.txt";
    std::ofstream(target) << "old";
    fs::permissions(target, mode);
    EXPECT_EQ(WriteTextFile(target.c_str(), "new"), 0) << static_cast<int>(mode);
    fs::permissions(target, fs::perms::owner_all);
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
    fs::remove(target);
  }
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 0u) << "no temporary file may remain";
}

TEST_F(PosixFilesTest, WriteCutShortLeavesTheOldFile) {
  const fs::path target = dir_ / "keep.txt";
  std::ofstream(target) << "precious old contents";
  const std::string big(64 * 1024, 'n');
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(WriteTextFile(target.c_str(), big.c_str()) == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the cut-short write must report failure";
  std::ifstream in(target);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious old contents");
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 1u) << "the temporary file must be removed";
}

// A Shift_JIS locale built into a private folder (glibc warns that the charmap is not ASCII compatible and
// exits 1, but writes the locale).
bool UseShiftJisLocale(const fs::path& folder) {
  const fs::path locales = folder / "locales";
  fs::create_directories(locales);
  const std::string command =
      "localedef -i ja_JP -f SHIFT_JIS '" + (locales / "ja_JP.SJIS").string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) == -1) return false;
  setenv("LOCPATH", locales.c_str(), 1);
  return std::setlocale(LC_ALL, "ja_JP.SJIS") != nullptr;
}

TEST_F(PosixFilesTest, DoubleBytePathsUnderTheirOwnLocaleKeepTheirSecondBytes) {
  ASSERT_TRUE(UseShiftJisLocale(dir_)) << "cannot build the ja_JP.SJIS locale";
  // No conversion: the locale and the code page are the same, so names on disk are code page 932 bytes.
  const std::string table = "\x95\x5C";  // 表
  const fs::path folder = dir_ / table;
  fs::create_directories(folder);
  std::ofstream(folder / "c.txt") << "in table";
  const std::string base = dir_.string() + "\\" + table;

  EXPECT_EQ(ReadTextFile((base + "\\c.txt").c_str(), buffer_.get(), kTextBufferSize), 1);
  EXPECT_STREQ(buffer_.get(), "in table");
  SetBaseDirectory((base + "\\main.txt").c_str());
  EXPECT_EQ(std::string(BaseDirectory), base);
  EXPECT_EQ(ReadTextFile("\\c.txt", buffer_.get(), kTextBufferSize), 1);
  EXPECT_EQ(WriteTextFile("\\"
                          "\x95\x5C.txt",
                          "saved"),
            1);
  std::ifstream written(folder / (table + ".txt"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "saved");
  unsetenv("LOCPATH");
}

}  // namespace
}  // namespace morvane
