// Files that are no regular readable text, named as header, main or datafile: each is reported (or, as a
// datafile, leaves its tag without a value) and the run goes on. A watchdog alarm turns a blocked open or
// read into a failure instead of a hang.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "engine/tag_table.h"
#include "tests/tool/temp_dir.h"
#include "tool/update_run.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

class HostileFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string fifo = dir_.Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directories(dir_.path() / "folder");
    fs::create_symlink("loop-b", dir_.path() / "loop-a");
    fs::create_symlink("loop-a", dir_.path() / "loop-b");
    fs::create_symlink("missing-target", dir_.path() / "dangling");
    hostile_ = {fifo,       dir_.Path("folder"), "/dev/null",           "/dev/zero",
                "/dev/tty", dir_.Path("loop-a"), dir_.Path("dangling"), dir_.Path("missing")};
    // Root opens any file whatever its mode; only another user has a file it cannot open.
    if (geteuid() != 0) {
      const std::string locked = dir_.Write("locked.txt", "[x data=\"secret\"]");
      chmod(locked.c_str(), 0);
      hostile_.push_back(locked);
    }
    // A writer that holds the FIFO open makes a blocking read wait for data that never comes.
    writer_ = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer_, 0);
    alarm(30);
  }
  void TearDown() override {
    alarm(0);
    close(writer_);
  }

  UpdateResult Run(const std::string& header, const std::string& main) {
    log_.messages.clear();
    return UpdateRun(header.c_str(), main.c_str(), log_.Sink());
  }

  TempDir dir_;
  OutputBufferScope buffer_;
  MessageLog log_;
  std::vector<std::string> hostile_;
  int writer_ = -1;
};

TEST_F(HostileFilesTest, AsHeader) {
  const std::string main = dir_.Write("main.txt", "main [h]");
  for (const std::string& path : hostile_) {
    const UpdateResult result = Run(path, main);
    EXPECT_TRUE(result.completed) << path;
    ASSERT_EQ(log_.messages.size(), 1u) << path;
    EXPECT_EQ(log_.messages[0], kHeaderReadFailed) << path;
    EXPECT_STREQ(OutputBuffer, "main ") << path;
  }
}

TEST_F(HostileFilesTest, AsMain) {
  const std::string header = dir_.Write("header.txt", "[h data=\"defined\"]");
  for (const std::string& path : hostile_) {
    const UpdateResult result = Run(header, path);
    EXPECT_TRUE(result.completed) << path;
    ASSERT_EQ(log_.messages.size(), 1u) << path;
    EXPECT_EQ(log_.messages[0], kMainReadFailed) << path;
    EXPECT_STREQ(OutputBuffer, "") << path;
    ASSERT_NE(gTagTable.Find("h"), nullptr) << path;
  }
}

TEST_F(HostileFilesTest, AsDatafile) {
  for (const std::string& path : hostile_) {
    const std::string main = dir_.Write(
        "main.txt", "[v data=\"old\"][v datafile=\"" + path + "\"][n datafile=\"" + path + "\"]<[v]>");
    const UpdateResult result = Run("", main);
    EXPECT_TRUE(result.completed) << path;
    EXPECT_TRUE(log_.messages.empty()) << path;
    EXPECT_STREQ(OutputBuffer, "<old>") << path;
    const TagEntry* created = gTagTable.Find("n");
    ASSERT_NE(created, nullptr) << path;
    EXPECT_EQ(created->data, nullptr) << path;
  }
}

TEST_F(HostileFilesTest, BinaryFilesEndAtTheirFirstNul) {
  std::string binary("[b data=\"before\"][b]\0[c data=\"after\"]", 36);
  for (int b = 0; b < 256; ++b) binary += static_cast<char>(b);
  const std::string path = dir_.Write("binary.bin", binary);
  const std::string main = dir_.Write("main.txt", "[d datafile=\"" + path + "\"]<[d]>");
  Run(path, main);
  EXPECT_TRUE(log_.messages.empty());
  EXPECT_EQ(gTagTable.Find("c"), nullptr);
  EXPECT_STREQ(OutputBuffer, "<before>");  // the value is expanded in the next pass
  Run("", path);
  EXPECT_STREQ(OutputBuffer, "before");
}

}  // namespace
}  // namespace morvane
