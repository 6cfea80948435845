// The update run against real files: messages and their order, rows, directories, failures and limits.
#include "tool/update_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/builtins.h"
#include "engine/tag_table.h"
#include "files/text_files.h"
#include "tests/support/builtin_names.h"
#include "tests/tool/temp_dir.h"

namespace morvane {
namespace {

const auto& kBuiltinNames = testing::kExpectedBuiltinNames;

// A header that overflows the working buffers: a 16-byte value written 100,000 times.
const char kOverflowing[] = "[big data=\"0123456789abcdef\"][big loop=\"100000\"]";

class UpdateRunTest : public ::testing::Test {
 protected:
  UpdateResult Run(const std::string& header, const std::string& main) {
    log_.messages.clear();
    return UpdateRun(header.c_str(), main.c_str(), log_.Sink());
  }
  std::string Result() const { return std::string(OutputBuffer); }
  static std::string Value(const char* name) {
    TagEntry* entry = gTagTable.Find(name);
    if (entry == nullptr) return "<missing>";
    if (entry->data == nullptr) return "<null>";
    return std::string(entry->data, entry->length);
  }

  TempDir dir_;
  OutputBufferScope buffer_;
  MessageLog log_;
};

TEST_F(UpdateRunTest, BothPathsEmpty) {
  std::strcpy(ModuleDirectory, "/opt/morvane");
  std::strcpy(BaseDirectory, "/elsewhere");
  UpdateResult result = Run("", "");
  EXPECT_TRUE(result.completed);
  EXPECT_FALSE(result.readFailed);
  EXPECT_TRUE(log_.messages.empty());
  EXPECT_TRUE(buffer_.AllZero());
  ASSERT_EQ(result.rows.size(), 1u + kBuiltinCount);
  EXPECT_EQ(result.rows[0], kResultRowText);
  EXPECT_EQ(result.rows[0], "（出力結果）");
  for (int i = 0; i < kBuiltinCount; ++i) EXPECT_EQ(result.rows[1 + i], kBuiltinNames[i]);
  EXPECT_STREQ(BaseDirectory, "/opt/morvane");
}

TEST_F(UpdateRunTest, HeaderDefinesAndMainExpands) {
  const std::string header = dir_.Write("h.txt", "header text [who data=\"world\"] never shown");
  const std::string main = dir_.Write("m.txt", "Hello, [who]! [_systemname] [who min=\"7\" align=\"right\"]");
  UpdateResult result = Run(header, main);
  EXPECT_TRUE(result.completed);
  EXPECT_FALSE(result.readFailed);
  EXPECT_TRUE(log_.messages.empty());
  EXPECT_EQ(Result(), "Hello, world! Morvane   world");
  ASSERT_EQ(result.rows.size(), 2u + kBuiltinCount);
  EXPECT_EQ(result.rows.back(), "who");
}

TEST_F(UpdateRunTest, RowsFollowTableOrderHeaderThenMain) {
  const std::string header = dir_.Write("h.txt", "[b data=\"1\"][a data=\"2\"]");
  const std::string main = dir_.Write("m.txt", "[c data=\"3\"][a data=\"4\"][ data=\"5\"]");
  UpdateResult result = Run(header, main);
  ASSERT_TRUE(result.completed);
  ASSERT_EQ(result.rows.size(), 5u + kBuiltinCount);
  EXPECT_EQ(result.rows[1 + kBuiltinCount], "b");
  EXPECT_EQ(result.rows[2 + kBuiltinCount], "a");
  EXPECT_EQ(result.rows[3 + kBuiltinCount], "c");
  EXPECT_EQ(result.rows[4 + kBuiltinCount], "");  // the tag with the empty name
  EXPECT_EQ(Value("a"), "4");
}

struct MissingCase {
  bool headerExists;
  bool mainExists;
  std::vector<std::string> messages;
  std::string result;
};

class UpdateRunMissingTest : public UpdateRunTest, public ::testing::WithParamInterface<MissingCase> {};

TEST_P(UpdateRunMissingTest, ReportsEachUnreadableFileAndCompletes) {
  const MissingCase& c = GetParam();
  const std::string header = c.headerExists ? dir_.Write("h.txt", "[t data=\"T\"]") : dir_.Path("no-h.txt");
  const std::string main = c.mainExists ? dir_.Write("m.txt", "<[t]>") : dir_.Path("no-m.txt");
  UpdateResult result = Run(header, main);
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.readFailed, !c.headerExists || !c.mainExists);
  EXPECT_EQ(log_.messages, c.messages);
  EXPECT_EQ(Result(), c.result);
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("no-h.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("no-m.txt")));
}

INSTANTIATE_TEST_SUITE_P(
    Files, UpdateRunMissingTest,
    ::testing::Values(MissingCase{true, true, {}, "<T>"}, MissingCase{false, true, {kHeaderReadFailed}, "<>"},
                      MissingCase{true, false, {kMainReadFailed}, ""},
                      MissingCase{false, false, {kHeaderReadFailed, kMainReadFailed}, ""}));

TEST_F(UpdateRunTest, MessagesAreTheToolsTexts) {
  EXPECT_STREQ(kHeaderReadFailed, "ヘッダーファイルの読み込みに失敗しました。");
  EXPECT_STREQ(kMainReadFailed, "メインファイルの読み込みに失敗しました。");
  EXPECT_STREQ(kExpansionFailed, "メモリ不足またはオーバーフローが発生しました。");
}

TEST_F(UpdateRunTest, FailedHeaderExpansionEndsTheRunBeforeTheMainFile) {
  const std::string header = dir_.Write("h.txt", std::string("[early data=\"x\"]") + kOverflowing);
  // The main file would raise its own message if it were read.
  UpdateResult result = Run(header, dir_.Path("missing-main.txt"));
  EXPECT_FALSE(result.completed);
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(log_.messages, std::vector<std::string>{kExpansionFailed});
  EXPECT_TRUE(buffer_.AllZero());
  // What the header defined before it failed stays in the table.
  EXPECT_EQ(Value("early"), "x");
  EXPECT_EQ(Value("_systemname"), "Morvane");
}

TEST_F(UpdateRunTest, FailedMainExpansionEmptiesTheResult) {
  const std::string main = dir_.Write("m.txt", std::string("before ") + kOverflowing);
  UpdateResult result = Run("", main);
  EXPECT_FALSE(result.completed);
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(log_.messages, std::vector<std::string>{kExpansionFailed});
  EXPECT_TRUE(buffer_.AllZero());
}

TEST_F(UpdateRunTest, HeaderReadFailureThenMainExpansionFailure) {
  const std::string main = dir_.Write("m.txt", kOverflowing);
  UpdateResult result = Run(dir_.Path("none.txt"), main);
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(log_.messages, (std::vector<std::string>{kHeaderReadFailed, kExpansionFailed}));
}

TEST_F(UpdateRunTest, MainFileAtTheSizeLimitComesOutUnchanged) {
  const std::string text(kTextBufferSize - 1, 'a');
  UpdateResult result = Run("", dir_.Write("m.txt", text));
  EXPECT_TRUE(result.completed);
  EXPECT_FALSE(result.readFailed);
  EXPECT_TRUE(log_.messages.empty());
  EXPECT_EQ(std::strlen(OutputBuffer), text.size());
  EXPECT_EQ(Result(), text);
}

TEST_F(UpdateRunTest, MainFileOfOneMebibyteIsNotRead) {
  UpdateResult result = Run("", dir_.Write("m.txt", std::string(kTextBufferSize, 'a')));
  EXPECT_TRUE(result.completed);
  EXPECT_TRUE(result.readFailed);
  EXPECT_EQ(log_.messages, std::vector<std::string>{kMainReadFailed});
  EXPECT_TRUE(buffer_.AllZero());
  EXPECT_EQ(result.rows.size(), 1u + kBuiltinCount);
}

TEST_F(UpdateRunTest, HeaderOfOneMebibyteIsReportedAndSkipped) {
  const std::string header = dir_.Write("h.txt", "[t data=\"x\"]" + std::string(kTextBufferSize, ' '));
  UpdateResult result = Run(header, dir_.Write("m.txt", "[t]"));
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(log_.messages, std::vector<std::string>{kHeaderReadFailed});
  EXPECT_EQ(Result(), "");
  EXPECT_EQ(Value("t"), "<missing>");
}

TEST_F(UpdateRunTest, DatafileResolvesAgainstEachFilesDirectory) {
  dir_.Write("hdir/value.txt", "from-header-dir");
  dir_.Write("mdir/value.txt", "from-main-dir");
  const std::string header = dir_.Write("hdir/h.txt", "[h datafile=\"\\value.txt\"]");
  const std::string main = dir_.Write("mdir/m.txt", "[h]|[m datafile=\"\\value.txt\"][m]");
  UpdateResult result = Run(header, main);
  EXPECT_TRUE(log_.messages.empty());
  EXPECT_EQ(Result(), "from-header-dir|from-main-dir");
  EXPECT_EQ(std::string(BaseDirectory), dir_.Path("mdir"));
}

TEST_F(UpdateRunTest, MainDirectoryAppliesWithoutHeader) {
  dir_.Write("mdir/sub/value.txt", "nested");
  const std::string main = dir_.Write("mdir/m.txt", "[v datafile=\"\\sub\\value.txt\"][v]");
  Run("", main);
  EXPECT_EQ(Result(), "nested");
}

TEST_F(UpdateRunTest, UnreadableHeaderStillMovesTheBaseDirectory) {
  std::strcpy(ModuleDirectory, "/opt/morvane");
  Run(dir_.Path("hdir/missing.txt"), "");
  EXPECT_STREQ(BaseDirectory, dir_.Path("hdir").c_str());
}

TEST_F(UpdateRunTest, RelativePathsOpenFromTheWorkingDirectory) {
  // A bare file name lies in the working directory, and so do the datafiles it names with '\'.
  dir_.Write("data/notes.txt", "notes");
  dir_.Write("h.txt", "[n datafile=\"\\data\\notes.txt\"]");
  dir_.Write("m.txt", "relative [n] [m datafile=\"\\data\\notes.txt\"][m]");
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir_.path());
  UpdateResult result = Run("h.txt", "m.txt");
  std::filesystem::current_path(previous);
  EXPECT_TRUE(log_.messages.empty());
  EXPECT_EQ(Result(), "relative notes notes");
  EXPECT_STREQ(BaseDirectory, ".");
  EXPECT_TRUE(result.completed);
}

TEST_F(UpdateRunTest, PathWithLeadingBackslashIsNotJoinedToTheBaseDirectory) {
  dir_.Write("m.txt", "as given");
  std::string path = dir_.Path("m.txt");
  for (char& byte : path) {
    if (byte == '/') byte = '\\';
  }
  // Windows: the same file named from the root of its drive, which becomes the current drive.
  const std::filesystem::path previous = std::filesystem::current_path();
  if (path.size() > 2 && path[1] == ':') {
    std::filesystem::current_path(path.substr(0, 3));
    path.erase(0, 2);
  }
  ASSERT_EQ(path[0], '\\');
  UpdateResult result = Run("", path);
  std::filesystem::current_path(previous);
  EXPECT_TRUE(log_.messages.empty());
  EXPECT_EQ(Result(), "as given");
  EXPECT_TRUE(result.completed);
}

TEST_F(UpdateRunTest, OverlongPathIsUnreadable) {
  const std::string longPath = dir_.Path(std::string(300, 'x'));
  UpdateResult result = Run("", longPath);
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(log_.messages, std::vector<std::string>{kMainReadFailed});
}

TEST_F(UpdateRunTest, TwoRunsGiveTheSameRows) {
  const std::string header = dir_.Write("h.txt", "[x data=\"1\"][y readonly=\"yes\"]");
  const std::string main = dir_.Write("m.txt", "[z data=\"[x]\"][z]");
  UpdateResult first = Run(header, main);
  const std::string firstResult = Result();
  UpdateResult second = Run(header, main);
  EXPECT_EQ(first.rows, second.rows);
  EXPECT_EQ(Result(), firstResult);
  EXPECT_EQ(Result(), "1");
}

TEST_F(UpdateRunTest, EachRunStartsFromAnEmptyTable) {
  Run(dir_.Write("h.txt", "[only data=\"once\"][_year data=\"1999\" readonly=\"yes\"]"), "");
  EXPECT_EQ(Value("only"), "once");
  EXPECT_EQ(Value("_year"), "1999");
  UpdateResult result = Run("", dir_.Write("m.txt", "[_year]"));
  EXPECT_EQ(Value("only"), "<missing>");
  EXPECT_NE(Result(), "1999");
  EXPECT_FALSE(gTagTable.entries[0].ReadOnly());
  EXPECT_EQ(result.rows.size(), 1u + kBuiltinCount);
}

TEST_F(UpdateRunTest, EofEndsTheResult) {
  UpdateRun("", dir_.Write("m.txt", "kept[_eof]dropped").c_str(), log_.Sink());
  EXPECT_EQ(Result(), "kept");
}

// A buffer said to be zero is cleared only as far as the runs wrote, and yet after every run it holds the
// very bytes that a buffer cleared whole each time holds, whatever the runs before wrote: a longer text,
// bytes behind a NUL of a file, a text that failed to expand, a file that could not be read.
TEST_F(UpdateRunTest, ABufferSaidToBeZeroHoldsWhatABufferClearedWholeHolds) {
  std::vector<char> tracked(kTextBufferSize, '\0');
  std::vector<char> whole(kTextBufferSize, '#');
  std::string grown;
  for (int i = 0; i < 1000; ++i) grown += "grows";
  const std::string mains[] = {
      std::string(5000, 'x'),
      "short",
      std::string("before\0after the NUL, a long way after", 39),
      "[v data=\"ab\"][v loop=\"900000\"]",  // overflows
      "[v data=\"grows\"][v loop=\"1000\"]",
      "",  // an empty main file
      "tail",
  };
  OutputBuffer = tracked.data();
  NoteOutputBufferIsZero();
  for (const std::string& main : mains) {
    const std::string path = dir_.Write("m.txt", main);
    OutputBuffer = tracked.data();
    Run("", path);
    OutputBuffer = whole.data();
    Run("", path);
    EXPECT_TRUE(tracked == whole) << main.substr(0, 20);
  }
  // A file that cannot be read, after a long one.
  OutputBuffer = tracked.data();
  Run("", dir_.Write("m.txt", std::string(3000, 'z')));
  Run("", dir_.Path("missing.txt"));
  EXPECT_TRUE(std::all_of(tracked.begin(), tracked.end(), [](char c) { return c == '\0'; }));
  OutputBuffer = nullptr;
}

}  // namespace
}  // namespace morvane
