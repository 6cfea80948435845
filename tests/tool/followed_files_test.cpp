// The files a run read, as following edits sees them: which are kept, and which changes count.
#include "tool/followed_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/tool/temp_dir.h"
#include "tool/update_run.h"

namespace morvane {
namespace {

class FollowedFilesTest : public ::testing::Test {
 protected:
  // One run over header.txt and main.txt in the test's folder, recorded.
  void RunRecorded(const std::string& header, const std::string& main) {
    followed_.StartRecording();
    UpdateRun(header.c_str(), main.c_str(), [](const ToolMessage&) {});
    followed_.StopRecording();
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const FollowedFiles::File& file : followed_.Files()) names.push_back(file.name);
    return names;
  }
  std::string Changed() const {
    const FollowedFiles::File* file = followed_.FirstChanged();
    return file == nullptr ? "" : file->name;
  }

  TempDir dir_;
  OutputBufferScope buffer_;
  FollowedFiles followed_;
};

TEST_F(FollowedFilesTest, EveryFileTriedOnceInOrderAlsoOnesThatDoNotExist) {
  const std::string header =
      dir_.Write("header.txt", "[a datafile=\"\\data\\a.txt\"][b datafile=\"\\no\\b.txt\"]");
  dir_.Write("data/a.txt", "A");
  const std::string main =
      dir_.Write("main.txt", "[a][c datafile=\"\\data\\a.txt\"][d datafile=\"\\missing.txt\"]");
  const std::string folder = dir_.path().string();
  RunRecorded(header, main);
  EXPECT_EQ(Names(), (std::vector<std::string>{header, folder + "/data/a.txt", folder + "/no/b.txt", main,
                                               folder + "/missing.txt"}));
  std::vector<bool> exists;
  for (const FollowedFiles::File& file : followed_.Files()) exists.push_back(file.stamp.exists);
  EXPECT_EQ(exists, (std::vector<bool>{true, true, false, true, false}));
  EXPECT_EQ(Changed(), "");

  // Each run starts a new list; a missing header is followed as one that may appear.
  RunRecorded(dir_.Path("typo.txt"), main);
  EXPECT_EQ(Names().front(), dir_.Path("typo.txt"));
  // Not recording: reads go unheard.
  UpdateRun(header.c_str(), "", [](const ToolMessage&) {});
  EXPECT_EQ(Names().front(), dir_.Path("typo.txt"));
}

TEST_F(FollowedFilesTest, ChangesThatCountAndOnesThatDoNot) {
  namespace fs = std::filesystem;
  using Change = void (*)(const TempDir& dir);
  const struct {
    const char* label;
    Change change;
    const char* changed;  // the file told, relative to the folder; "" for none
  } cases[] = {
      {"nothing", [](const TempDir&) {}, ""},
      {"another file of the folder", [](const TempDir& dir) { dir.Write("other.txt", "x"); }, ""},
      {"an edit of the same size", [](const TempDir& dir) { dir.Write("main.txt", "[n]!"); }, "main.txt"},
      {"a replacement by rename",
       [](const TempDir& dir) { fs::rename(dir.Write("main.tmp", "[n]?"), dir.Path("main.txt")); },
       "main.txt"},
      {"a datafile edit", [](const TempDir& dir) { dir.Write("notes.txt", "later"); }, "notes.txt"},
      {"a datafile that appears", [](const TempDir& dir) { dir.Write("new/later.txt", "x"); },
       "new/later.txt"},
      {"a file that goes away", [](const TempDir& dir) { fs::remove(dir.Path("notes.txt")); }, "notes.txt"},
      {"a folder on the way only", [](const TempDir& dir) { fs::create_directory(dir.Path("new")); }, ""},
  };
  for (const auto& c : cases) {
    const std::string main = dir_.Write("main.txt", "[n]x");
    dir_.Write("notes.txt", "first");
    fs::remove_all(dir_.Path("new"));
    const std::string header =
        dir_.Write("header.txt", "[n datafile=\"\\notes.txt\"][l datafile=\"\\new\\later.txt\"]");
    RunRecorded(header, main);
    // File times may be coarse: a change comes later than the run by more than their step.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    c.change(dir_);
    EXPECT_EQ(Changed(), *c.changed ? dir_.Path(c.changed) : "") << c.label;
  }
}

TEST_F(FollowedFilesTest, TheRunsOwnWriteIsNoChange) {
  // A template that reads the file its result is saved to.
  const std::string main = dir_.Write("main.txt", "[r datafile=\"\\result.txt\"]new [r]");
  dir_.Write("result.txt", "old");
  RunRecorded("", main);
  ASSERT_TRUE(WriteTextFile(dir_.Path("result.txt").c_str(), OutputBuffer));
  EXPECT_EQ(Changed(), dir_.Path("result.txt"));
  followed_.TakeAsWritten(dir_.Path("result.txt"));
  EXPECT_EQ(Changed(), "");
  // A file added by hand is stamped as it is now, and once.
  followed_.Add(main);
  followed_.Add(dir_.Path("later.txt"));
  EXPECT_EQ(followed_.Files().size(), 3u);
}

TEST_F(FollowedFilesTest, PlacesToWatchAreTheFilesAndTheNearestFolders) {
  const std::string folder = dir_.path().string();
  const std::string main =
      dir_.Write("main.txt", "[a datafile=\"\\deep\\er\\a.txt\"][b datafile=\"\\b.txt\"]");
  RunRecorded("", main);
  EXPECT_EQ(followed_.PlacesToWatch(), (std::vector<std::string>{main, folder}));
  dir_.Write("b.txt", "now it exists");
  EXPECT_EQ(followed_.PlacesToWatch(), (std::vector<std::string>{main, folder, folder + "/b.txt"}));

  for (const auto& [name, folderOf] : std::vector<std::pair<std::string, std::string>>{
           {"main.txt", "."}, {"/main.txt", "/"}, {"a/b/c.txt", "a/b"}, {"./c.txt", "."}}) {
    EXPECT_EQ(FolderOfName(name), folderOf) << name;
  }
}

}  // namespace
}  // namespace morvane
