// The window's commands without a window: Update, the text of a picked row, and Save.
#include "tool/commands.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "engine/builtins.h"
#include "engine/tag_table.h"
#include "tests/tool/temp_dir.h"

namespace morvane {
namespace {

std::string ReadBack(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class CommandsTest : public ::testing::Test {
 protected:
  TempDir dir_;
  OutputBufferScope buffer_;
  MessageLog log_;
  CommandState state_;
};

TEST_F(CommandsTest, UpdateListsTagNamesWithoutTheResultRow) {
  const std::string main = dir_.Write("m.txt", "[greeting data=\"hi\"][greeting]");
  std::vector<std::string> names;
  EXPECT_TRUE(UpdateCommand(state_, "", main.c_str(), log_.Sink(), &names));
  EXPECT_TRUE(state_.lastRunCompleted);
  ASSERT_EQ(names.size(), static_cast<size_t>(kBuiltinCount) + 1);
  EXPECT_EQ(names.front(), "_eof");
  EXPECT_EQ(names.back(), "greeting");
  EXPECT_STREQ(OutputBuffer, "hi");
}

TEST_F(CommandsTest, FailedUpdateKeepsTheListAndRecordsIt) {
  const std::string main = dir_.Write("m.txt", "[a data=\"0123456789abcdef\"][a loop=\"100000\"]");
  std::vector<std::string> names = {"previous"};
  state_.lastRunCompleted = true;
  EXPECT_FALSE(UpdateCommand(state_, "", main.c_str(), log_.Sink(), &names));
  EXPECT_FALSE(state_.lastRunCompleted);
  EXPECT_EQ(names, std::vector<std::string>{"previous"});
  EXPECT_EQ(log_.messages, std::vector<std::string>{kExpansionFailed});
}

TEST_F(CommandsTest, UpdateWithUnreadableFileStillCompletes) {
  std::vector<std::string> names;
  EXPECT_TRUE(UpdateCommand(state_, dir_.Path("none.txt").c_str(), "", log_.Sink(), &names));
  EXPECT_TRUE(state_.lastRunCompleted);
  EXPECT_EQ(log_.messages, std::vector<std::string>{kHeaderReadFailed});
  EXPECT_EQ(names.size(), static_cast<size_t>(kBuiltinCount));
}

TEST_F(CommandsTest, RowViewTexts) {
  const std::string main =
      dir_.Write("m.txt", "result[full data=\"value\"][empty data=\"\"][novalue readonly=\"yes\"]");
  ASSERT_TRUE(UpdateCommand(state_, "", main.c_str(), log_.Sink(), nullptr));
  EXPECT_EQ(RowViewText(-1, nullptr), nullptr);
  EXPECT_EQ(RowViewText(-1, "full"), nullptr);
  EXPECT_EQ(RowViewText(0, kResultRowText), OutputBuffer);
  EXPECT_STREQ(RowViewText(0, kResultRowText), "result");
  EXPECT_STREQ(RowViewText(3, "full"), "value");
  EXPECT_STREQ(RowViewText(3, "empty"), "");
  EXPECT_STREQ(RowViewText(3, "novalue"), "");
  EXPECT_STREQ(RowViewText(3, "_eof"), "");
  EXPECT_STREQ(RowViewText(3, "_systemname"), "Morvane");
  EXPECT_STREQ(RowViewText(3, "gone"), "");
  EXPECT_STREQ(RowViewText(3, nullptr), "");
}

TEST_F(CommandsTest, RowViewTextFollowsTheTableAfterAFailedRun) {
  ASSERT_TRUE(UpdateCommand(state_, "", dir_.Write("a.txt", "[kept data=\"1\"][lost data=\"2\"]").c_str(),
                            log_.Sink(), nullptr));
  const std::string failing =
      dir_.Write("b.txt", "[kept data=\"3\"][x data=\"0123456789\"][x loop=\"200000\"]");
  ASSERT_FALSE(UpdateCommand(state_, "", failing.c_str(), log_.Sink(), nullptr));
  EXPECT_STREQ(RowViewText(1, "kept"), "3");
  EXPECT_STREQ(RowViewText(2, "lost"), "");
  EXPECT_STREQ(RowViewText(0, kResultRowText), "");
}

TEST_F(CommandsTest, SaveWritesTheResultAfterACompletedRun) {
  ASSERT_TRUE(UpdateCommand(state_, "", dir_.Write("m.txt", "line1\r\nline2[_eof]tail").c_str(), log_.Sink(),
                            nullptr));
  const std::string out = dir_.Path("out.txt");
  EXPECT_EQ(SaveCommand(state_, out.c_str(), log_.Sink()), SaveOutcome::kWritten);
  EXPECT_EQ(ReadBack(out), "line1\r\nline2");
  EXPECT_TRUE(log_.messages.empty());
}

TEST_F(CommandsTest, SaveOfAnEmptyResultWritesAnEmptyFile) {
  ASSERT_TRUE(UpdateCommand(state_, "", "", log_.Sink(), nullptr));
  const std::string out = dir_.Write("out.txt", "old content");
  EXPECT_EQ(SaveCommand(state_, out.c_str(), log_.Sink()), SaveOutcome::kWritten);
  EXPECT_EQ(ReadBack(out), "");
}

TEST_F(CommandsTest, SaveAfterAFailedRunWritesNothing) {
  const std::string out = dir_.Write("out.txt", "old content");
  ASSERT_FALSE(UpdateCommand(state_, "",
                             dir_.Write("m.txt", "[a data=\"0123456789\"][a loop=\"200000\"]").c_str(),
                             log_.Sink(), nullptr));
  log_.messages.clear();
  EXPECT_EQ(SaveCommand(state_, out.c_str(), log_.Sink()), SaveOutcome::kNotSavable);
  EXPECT_EQ(ReadBack(out), "old content");
  EXPECT_TRUE(log_.messages.empty());
  const std::string fresh = dir_.Path("fresh.txt");
  EXPECT_EQ(SaveCommand(state_, fresh.c_str(), log_.Sink()), SaveOutcome::kNotSavable);
  EXPECT_FALSE(std::filesystem::exists(fresh));
}

// A save replaces a good file only with a result built from every file that was named.
TEST_F(CommandsTest, SaveWritesOnlyWhenEveryNamedFileWasRead) {
  const std::string header = dir_.Write("h.txt", "[who data=\"world\"]");
  const std::string main = dir_.Write("m.txt", "hello [who]");
  const std::string missing = dir_.Path("typo.txt");
  struct Case {
    const char* label;
    const char* header;
    const char* main;
    const char* saved;  // nullptr: the old file stays
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"both read", header.c_str(), main.c_str(), "hello world", {}},
      {"empty header box", "", main.c_str(), "hello ", {}},
      {"both boxes empty", "", "", "", {}},
      {"header missing", missing.c_str(), main.c_str(), nullptr, {kHeaderReadFailed}},
      {"main missing", header.c_str(), missing.c_str(), nullptr, {kMainReadFailed}},
      {"header not nameable", nullptr, main.c_str(), nullptr, {kHeaderReadFailed}},
      {"main not nameable", header.c_str(), nullptr, nullptr, {kMainReadFailed}},
  };
  for (const Case& c : cases) {
    const std::string out = dir_.Write("keep.txt", "a good file");
    log_.messages.clear();
    EXPECT_TRUE(UpdateCommand(state_, c.header, c.main, log_.Sink(), nullptr)) << c.label;
    EXPECT_EQ(SaveCommand(state_, out.c_str(), log_.Sink()),
              c.saved != nullptr ? SaveOutcome::kWritten : SaveOutcome::kNotSavable)
        << c.label;
    EXPECT_EQ(ReadBack(out), c.saved != nullptr ? c.saved : "a good file") << c.label;
    EXPECT_EQ(log_.messages, c.messages) << c.label;
  }
}

TEST_F(CommandsTest, FailedWriteIsReported) {
  ASSERT_TRUE(UpdateCommand(state_, "", "", log_.Sink(), nullptr));
  const std::string out = dir_.Path("no-such-dir/out.txt");
  EXPECT_EQ(SaveCommand(state_, out.c_str(), log_.Sink()), SaveOutcome::kWriteFailed);
  EXPECT_EQ(log_.messages, std::vector<std::string>{kWriteFailed});
  EXPECT_STREQ(kWriteFailed, "テキストファイルの書き込みに失敗しました。");
}

}  // namespace
}  // namespace morvane
