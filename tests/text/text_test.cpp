#include <cstring>
#include <string>

#include "text/byte_copy.h"
#include "tests/text/text_test_support.h"

namespace morvane::testing {
namespace {

using TextTest = CodePageTest;

TEST_F(TextTest, NumberRule) {
  struct Case {
    const char* text;
    uint32_t expected;
  };
  const Case cases[] = {
      {"", 0},
      {"none", 0},
      {"0x10", 16},
      {"0X1f", 31},
      {"010", 8},
      {"08", 0},
      {" 2", 2},
      {"\t\n\v\f\r 7", 7},
      {"3rd", 3},
      {"+5", 5},
      {"-1", 4294967295u},
      {"-0x10", 4294967280u},
      {"99999999999", 4294967295u},
      {"4294967295", 4294967295u},
      {"4294967296", 4294967295u},
      {"18446744073709551616", 4294967295u},
      {"0x", 0},
      {"0xg", 0},
      {"- 5", 0},
      {"z", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseNumber(c.text), c.expected) << c.text;
}

TEST_F(TextTest, KeywordComparison) {
  struct Case {
    const char* text;
    const char* keyword;
    bool equal;
  };
  const Case cases[] = {
      {"data", "data", true},          {"DATA", "data", true},
      {"DaTa", "data", true},          {"dat", "data", false},
      {"datas", "data", false},        {"data\x81", "data", true},
      {"da\x83\x5Dta", "data", false}, {"", "data", false},
      {"RIGHT", "right", true},        {"\x81", "", true},
      {"yes ", "yes", false},
  };
  for (const Case& c : cases) EXPECT_EQ(KeywordEquals(c.text, c.keyword) != 0, c.equal) << c.text;

  UseCodePage(kCodePageNone);
  EXPECT_FALSE(KeywordEquals("data\x81", "data"));
}

TEST_F(TextTest, NameComparisonByCharacters) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  };
  const Case cases[] = {
      {"", "", true},
      {"x", "X", false},
      {"ab\x81", "ab", true},
      {"\x81", "", true},
      {"\x83\x5D", "\x83\x5D", true},
      {"\x83\x5D", "\x83\x5C", false},
      {"a\x83\x5D", "a\x83", false},
      {"abc", "ab", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NamesEqual(c.a, c.b) != 0, c.equal) << c.a << " vs " << c.b;
    EXPECT_EQ(NamesEqual(c.b, c.a) != 0, c.equal) << c.b << " vs " << c.a;
  }
  UseCodePage(kCodePageNone);
  EXPECT_FALSE(NamesEqual("ab\x81", "ab"));
}

TEST_F(TextTest, CharacterLengthAndLeadBytesPerCodePage) {
  EXPECT_EQ(CharLength("\x81\x40"), 2);
  EXPECT_EQ(CharLength("\x81"), 1);
  EXPECT_EQ(CharLength("\0"), 1);
  EXPECT_EQ(CharLength("\xA0\x40"), 1);  // half-width katakana range is single-byte in 932
  EXPECT_TRUE(IsLeadByte(0x9F));
  EXPECT_TRUE(IsLeadByte(0xFC));
  EXPECT_FALSE(IsLeadByte(0xFD));
  UseCodePage(kCodePage936);
  EXPECT_EQ(CharLength("\xA0\x40"), 2);
  EXPECT_TRUE(IsLeadByte(0xFE));
  UseCodePage(kCodePageNone);
  EXPECT_EQ(CharLength("\x81\x40"), 1);
  EXPECT_FALSE(SetActiveCodePage(1252));
  EXPECT_EQ(ActiveCodePage(), kCodePageNone);
}

TEST_F(TextTest, CodePageNames) {
  struct Case {
    const char* name;
    int codePage;
  };
  const Case known[] = {{"932", 932},     {"CP932", 932},       {"Shift_JIS", 932}, {"Shift-JIS", 932},
                        {"sjis", 932},    {"Windows-31J", 932}, {"936", 936},       {"GBK", 936},
                        {"949", 949},     {"950", 950},         {"BIG5", 950},      {"utf-8", 65001},
                        {"UTF-8", 65001}, {"utf8", 65001},      {"65001", 65001},   {"None", 0}};
  for (const Case& c : known) {
    int codePage = -1;
    EXPECT_TRUE(CodePageFromName(c.name, &codePage)) << c.name;
    EXPECT_EQ(codePage, c.codePage) << c.name;
  }
  for (const char* unknown : {"", "utf-16", "932x", "latin1", "cp1252"}) {
    int codePage = -1;
    EXPECT_FALSE(CodePageFromName(unknown, &codePage)) << unknown;
  }
}

TEST_F(TextTest, BoundedCopy) {
  struct Case {
    std::string source;
    uint32_t n;
    std::string expected;
  };
  const Case cases[] = {
      {"abc", 3, "abc"},
      {std::string("ab\0", 3), 5, std::string("ab\0\0\0", 5)},
      {"ab\x81", 3, std::string("ab\0", 3)},
      {std::string("a\x81\0z", 4), 4, std::string("a\0\0\0", 4)},
      {"\x83\x5D\x83\x5D", 3, std::string("\x83\x5D\0", 3)},
      {"abc", 0, ""},
  };
  for (const Case& c : cases) {
    std::string destination(c.n + 1, 'X');
    BoundedCopy(destination.data(), c.source.c_str(), c.n);
    EXPECT_EQ(destination.substr(0, c.n), c.expected);
    EXPECT_EQ(destination[c.n], 'X') << "wrote past n";
  }
}

TEST_F(TextTest, LastSeparatorSkipsTrailBytes) {
  const char* path = "C:\\dir\\\x95\x5C";  // 表 ends in 0x5C
  EXPECT_EQ(FindLastSeparator(path), path + 6);
  EXPECT_EQ(FindLastSeparator("plain"), nullptr);
  const char* slashes = "/a/b\\c";
  EXPECT_EQ(FindLastSeparator(slashes), slashes + 4);
  UseCodePage(kCodePageNone);
  EXPECT_EQ(FindLastSeparator(path), path + 8);
}

// Every length around the inline moves' boundaries (3/4, 7/8, 16/17): all bytes copied, none beyond.
TEST(CopyBytes, CopiesExactlyCountBytesAtEveryLength) {
  char source[40];
  for (int i = 0; i < 40; ++i) source[i] = static_cast<char>('A' + i);
  for (size_t count = 0; count <= 32; ++count) {
    char destination[40];
    std::memset(destination, '.', sizeof destination);
    CopyBytes(destination + 1, source + 3, count);
    EXPECT_EQ(destination[0], '.') << count;
    EXPECT_EQ(std::string(destination + 1, count), std::string(source + 3, count)) << count;
    EXPECT_EQ(destination[1 + count], '.') << count;
  }
}

}  // namespace
}  // namespace morvane::testing
