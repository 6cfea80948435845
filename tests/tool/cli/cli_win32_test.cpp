// morvane-cli's conversions on Windows: arguments from the ANSI code page (932 here) into the active code
// page, and the program's own code page 932 texts into utf-8.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "text/text.h"
#include "tool/cli/cli_platform.h"

namespace morvane {
namespace {

// u8 literals stay UTF-8 where plain literals are compiled into code page 932.
std::string U8(const char8_t* text) {
  return reinterpret_cast<const char*>(text);
}

class Win32CliTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(GetACP(), 932u) << "run under code page 932 (Wine: LC_ALL=ja_JP.UTF-8)"; }
  void TearDown() override { SetActiveCodePage(kCodePage932); }
};

TEST_F(Win32CliTest, ArgumentsReachTheActiveCodePage) {
  struct Case {
    int codePage;
    std::string argument;  // in the ANSI code page
    int ok;
    std::string converted;
  };
  const Case cases[] = {
      {kCodePage932, "データ\\表.txt", 1, "データ\\表.txt"},
      {kCodePageNone, "データ\\表.txt", 1, "データ\\表.txt"},
      {kCodePageUtf8, "データ\\表.txt", 1, U8(u8"データ\\表.txt")},
      {kCodePageUtf8, "ascii.txt", 1, "ascii.txt"},
      {kCodePageUtf8, "", 1, ""},
      {kCodePageUtf8, "\x85\x40", 0, ""},  // no character in code page 932
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetActiveCodePage(c.codePage));
    std::string converted;
    EXPECT_EQ(ArgumentToCodePage(c.argument.c_str(), &converted), c.ok) << c.codePage << " " << c.converted;
    if (c.ok) {
      EXPECT_EQ(converted, c.converted) << c.codePage;
    }
  }
}

TEST_F(Win32CliTest, ProgramTextsStandAmongUtf8Names) {
  ASSERT_TRUE(SetActiveCodePage(kCodePageUtf8));
  EXPECT_EQ(ProgramTextForCodePage("（出力結果）"), U8(u8"（出力結果）"));
  ASSERT_TRUE(SetActiveCodePage(kCodePage932));
  EXPECT_EQ(ProgramTextForCodePage("（出力結果）"), "（出力結果）");
}

}  // namespace
}  // namespace morvane
