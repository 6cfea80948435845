// The message table of morvane-cli: every cause has its text in both languages, and the helpers that
// shape them.
#include "tool/messages.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tool/commands.h"

namespace morvane {
namespace {

class MessagesTest : public ::testing::Test {
 protected:
  void TearDown() override { SetMessageLanguage(Language::kEnglish); }
};

TEST_F(MessagesTest, EveryCauseHasItsOwnTextInBothLanguages) {
  for (Language language : {Language::kEnglish, Language::kJapanese}) {
    SetMessageLanguage(language);
    std::set<std::string> texts;
    for (int e = static_cast<int>(FileError::kMissing); e <= static_cast<int>(FileError::kOther); ++e) {
      for (bool writing : {false, true}) {
        const std::string text = FileErrorText(static_cast<FileError>(e), 5, writing);
        EXPECT_FALSE(text.empty()) << e;
        texts.insert(text);
      }
    }
    // Reading and writing share a text except for a missing file and a file too large.
    EXPECT_EQ(texts.size(), 19u);
    std::set<std::string> failures;
    for (int r = static_cast<int>(ExpansionFailure::kResultTooLarge);
         r <= static_cast<int>(ExpansionFailure::kOutOfMemory); ++r) {
      ExpansionFailureRecord record;
      record.reason = static_cast<ExpansionFailure>(r);
      failures.insert(ExpansionFailureText(record));
    }
    EXPECT_EQ(failures.size(), 7u);
    for (int id = 0; id < static_cast<int>(MessageId::kMessageCount); ++id) {
      EXPECT_FALSE(FormatMessage(static_cast<MessageId>(id), {"a", "b", "c", "d"}).empty()) << id;
    }
  }
}

TEST_F(MessagesTest, JapaneseRunMessagesBeginWithTheFixedSentence) {
  ToolMessage message(kMainReadFailed, RunFile::kMain, MessageCause::kReadFailed);
  message.fileError = FileError::kFolder;
  EXPECT_EQ(RunMessageText(message, "m.txt"), "m.txt: cannot read: is a folder");
  SetMessageLanguage(Language::kJapanese);
  EXPECT_EQ(RunMessageText(message, "m.txt"), std::string(kMainReadFailed) + " m.txt: フォルダーです");
}

// The second line of a window's message box: the file and the cause, never the sentence above it.
TEST_F(MessagesTest, DetailIsTheFileAndTheCauseWithoutTheSentence) {
  ToolMessage unread(kHeaderReadFailed, RunFile::kHeader, MessageCause::kReadFailed);
  unread.fileError = FileError::kMissing;
  ToolMessage unwritten(kWriteFailed, RunFile::kSaved, MessageCause::kWriteFailed);
  unwritten.fileError = FileError::kReadOnly;
  ToolMessage unexpanded(kExpansionFailed, RunFile::kMain, MessageCause::kExpansionFailed);
  unexpanded.expansion.reason = ExpansionFailure::kTooManyPasses;
  const ToolMessage noMemory(kExpansionFailed, RunFile::kNone, MessageCause::kNoMemory);
  const struct {
    const ToolMessage& message;
    const char* file;
    const char* english;
    const char* japanese;
  } cases[] = {
      {unread, "h.txt", "h.txt: cannot read: No such file or directory", "h.txt: ファイルがありません"},
      {unwritten, "out.txt", "out.txt: cannot write: read-only", "out.txt: 読み取り専用です"},
      {unexpanded, "m.txt",
       "m.txt: cannot expand: more than 4,096 passes: values keep making new expressions",
       "m.txt: 展開が 4,096 回を超えました。値が新しい式を作り続けています"},
      {noMemory, "", "out of memory", "メモリが不足しています。"},
  };
  for (const auto& c : cases) {
    SetMessageLanguage(Language::kEnglish);
    EXPECT_EQ(RunMessageDetail(c.message, c.file), c.english);
    EXPECT_EQ(RunMessageDetail(c.message, c.file), RunMessageText(c.message, c.file));
    SetMessageLanguage(Language::kJapanese);
    EXPECT_EQ(RunMessageDetail(c.message, c.file), c.japanese);
    if (*c.file != '\0') {
      EXPECT_EQ(RunMessageText(c.message, c.file), std::string(c.message.text) + " " + c.japanese);
    }
  }
}

TEST_F(MessagesTest, FailuresNameTheirTagAndSize) {
  ExpansionFailureRecord record;
  record.reason = ExpansionFailure::kFieldTooLarge;
  std::snprintf(record.tag, sizeof record.tag, "wide");
  record.bytes = 1234567;
  EXPECT_EQ(ExpansionFailureText(record),
            "tag 'wide' would write 1,234,567 bytes, more than the 1,048,575 a result holds (see its loop "
            "and min)");
  record.reason = ExpansionFailure::kUnchangedPass;
  EXPECT_EQ(ExpansionFailureText(record), "tag 'wide' keeps expanding to itself");
  record.tag[0] = '\0';
  EXPECT_EQ(ExpansionFailureText(record), "a pass changed nothing, so the passes would never end");
}

TEST_F(MessagesTest, MisspeltKeywordsGetASuggestion) {
  const struct {
    const char* word;
    const char* suggestion;  // "" for none
  } cases[] = {
      {"dta", "data"},       {"Data", ""}, {"datfile", "datafile"}, {"aling", "align"},       {"padd", ""},
      {"paddin", "padding"}, {"x", ""},    {"mn", "min"},           {"readonyl", "readonly"}, {"colour", ""}};
  for (const auto& c : cases) {
    ExpansionNotice notice{
        ExpansionEvent::kUnknownWord, "", "", 1, "t", c.word, 0, nullptr, nullptr, nullptr, 0, nullptr};
    const std::string text = NoticeText(notice, FileError::kNone, 0);
    const std::string tail = std::string("; did you mean '") + c.suggestion + "'?";
    const bool suggested =
        text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    EXPECT_EQ(suggested, c.suggestion[0] != '\0') << c.word << ": " << text;
  }
}

TEST_F(MessagesTest, NumbersSayHowTheyRead) {
  const struct {
    const char* value;
    uint32_t number;
    const char* reason;
  } cases[] = {{"010", 8, "a leading 0 makes it octal"},
               {"08", 0, "a leading 0 makes it octal, which stops at 8 or 9"},
               {"0x10", 16, "hexadecimal"},
               {"-1", 4294967295u, "a sign: -1 is 4294967295"},
               {"3rd", 3, "what follows the digits is ignored"},
               {"99999999999", 4294967295u, "above 4294967295"},
               {"", 0, "no digits"},
               {"none", 0, "no digits"},
               {" 2", 2, "spaces before it"}};
  for (const auto& c : cases) {
    ExpansionNotice notice{
        ExpansionEvent::kNumber, "", "", 1, "t", c.value, c.number, "min", nullptr, nullptr, 0, nullptr};
    EXPECT_EQ(NoticeText(notice, FileError::kNone, 0), std::string("min=\"") + c.value + "\" reads as " +
                                                           std::to_string(c.number) + " (" + c.reason + ")");
  }
}

TEST_F(MessagesTest, LocaleNamesAndNumbers) {
  EXPECT_TRUE(IsJapaneseLocaleName("ja_JP.UTF-8"));
  EXPECT_TRUE(IsJapaneseLocaleName("ja"));
  EXPECT_TRUE(IsJapaneseLocaleName("ja_JP.eucJP@x"));
  EXPECT_FALSE(IsJapaneseLocaleName("jav_ID"));
  EXPECT_FALSE(IsJapaneseLocaleName("C.UTF-8"));
  EXPECT_FALSE(IsJapaneseLocaleName(nullptr));
  EXPECT_EQ(GroupedNumber(0), "0");
  EXPECT_EQ(GroupedNumber(999), "999");
  EXPECT_EQ(GroupedNumber(1000), "1,000");
  EXPECT_EQ(GroupedNumber(4294967295u), "4,294,967,295");
}

}  // namespace
}  // namespace morvane
