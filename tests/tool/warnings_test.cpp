// The warnings of a run as every front end tells them: their classes, what counts as layout, files in
// another code page, byte-order marks, cut values and quotes that run on.
#include "tool/warnings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tool/temp_dir.h"
#include "text/text.h"
#include "tool/messages.h"
#include "tool/update_run.h"

namespace morvane {
namespace {

class WarningsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetActiveCodePage(kCodePageUtf8); }
  void TearDown() override {
    SetActiveCodePage(kCodePageUtf8);
    SetMessageLanguage(Language::kEnglish);
  }

  // Runs MAIN (and HEADER, when given) with the classes given and returns the lines told, the folder of the
  // files written "DIR/".
  std::vector<std::string> Run(const std::string& main, WarningClasses classes = WarningClasses::Defaults(),
                               const std::string& header = "") {
    std::vector<std::string> lines;
    const std::string folder = dir_.path().string();
    WarningCollector warnings(
        [&](const std::string& line) {
          std::string shown = line;
          // The folder as "DIR/", whichever separator the platform names files with.
          for (size_t at = shown.find(folder); at != std::string::npos; at = shown.find(folder)) {
            shown.replace(at, folder.size() + 1, "DIR/");
          }
          lines.push_back(shown);
        },
        classes);
    RunOptions options;
    options.beginExpansion = [&](RunFile file, const char* text) {
      warnings.Begin(file == RunFile::kHeader ? "HEADER" : "MAIN", text, file);
    };
    options.endExpansion = [&](RunFile) { warnings.End(); };
    const std::string headerPath = header.empty() ? "" : dir_.Write("h.txt", header);
    UpdateRun(
        headerPath.c_str(), dir_.Write("m.txt", main).c_str(), [](const ToolMessage&) {}, options);
    EXPECT_EQ(warnings.Count(), lines.size());
    return lines;
  }

  TempDir dir_;
  OutputBufferScope buffer_;
};

// Line breaks, tabs and spaces that an expression reads as a name or as a word of their own are how a
// template keeps definition lines from leaving blank lines, in LF and in CR LF files: never a warning. Any
// other name or word that the language drops still is.
TEST_F(WarningsTest, LayoutIsNoMistake) {
  const struct {
    const char* text;
    std::vector<std::string> lines;
  } cases[] = {
      {"[name data=\"Ito\"\n]Name: [name]", {}},
      {"[name data=\"Ito\"\r\n]Name: [name]\r\n", {}},
      {"Name: [\n]x", {}},
      {"Name: [\r\n]x", {}},
      {"[a data=\"A\" \t\n  ][a][\t]", {}},
      {"[a data=\"A\"\n]1: [a\n]|",
       {"MAIN:2:5: warning: no tag 'a\\n': the expression is dropped [unknown-tag]"}},
      {"[a data=\"A\"\n x]",
       {"MAIN:2:2: warning: 'x' has no '=' and no value: ignored (inside '[a', begun at line 1, column 1: a "
        "missing ']'?) [stray-word]"}},
      {"[]", {"MAIN:1:1: warning: no tag '': the expression is dropped [unknown-tag]"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Run(c.text), c.lines) << c.text;
}

// Each line ends with its class; the classes given decide what is told and counted.
TEST_F(WarningsTest, ClassesChooseWhatIsTold) {
  const std::string text = "[v data=\"abcdef\"][v max=\"3\"]|[nope]|[v min=\"08\"]|[v colour=\"red\"]\n";
  const std::string cut = "MAIN:1:25: warning: tag 'v' is 6 columns wide: max cuts it to 3 [cut]";
  const std::string missing = "MAIN:1:30: warning: no tag 'nope': the expression is dropped [unknown-tag]";
  const std::string number =
      "MAIN:1:44: warning: min=\"08\" reads as 0 (a leading 0 makes it octal, which stops at 8 or 9) "
      "[number]";
  const std::string keyword =
      "MAIN:1:53: warning: 'colour' is no keyword: ignored, and its value is read as words [unknown-keyword]";
  WarningClasses some = WarningClasses::Defaults();
  std::string unknown;
  ASSERT_TRUE(some.Apply("cut,unknown-tag", false, &unknown));
  WarningClasses onlyCut = WarningClasses::All();
  ASSERT_TRUE(onlyCut.Apply("all", false, &unknown));
  ASSERT_TRUE(onlyCut.Apply("cut", true, &unknown));
  const struct {
    WarningClasses classes;
    std::vector<std::string> lines;
  } cases[] = {
      {WarningClasses::Defaults(), {missing, number, keyword}},
      {WarningClasses::All(), {cut, missing, number, keyword}},
      {some, {number, keyword}},
      {onlyCut, {cut}},
  };
  for (const auto& c : cases) EXPECT_EQ(Run(text, c.classes), c.lines);
  EXPECT_FALSE(some.Apply("number,bogus", false, &unknown));
  EXPECT_EQ(unknown, "bogus");
  EXPECT_TRUE(some.Has(WarningClass::kNumber));  // a list with an unknown word switches nothing
}

// A file that is not valid in the active code page is told once, at its first bad byte, and the code page
// it is valid in is named when the tool knows one. The header's bytes count as the main file's do.
TEST_F(WarningsTest, FilesInAnotherCodePage) {
  const std::string sjis = "ok\n\x95\x5c[x data=\"v\"]|\x83\x5c[x]\n";  // 表 and ソ in Shift_JIS
  const struct {
    int codePage;
    std::string main;
    std::string header;
    std::vector<std::string> lines;
  } cases[] = {
      {kCodePageUtf8,
       sjis,
       "",
       {"MAIN:2:1: warning: byte 0x95 is not valid in code page utf-8: the file is most likely in another "
        "encoding; all of it reads as code page 932: try --codepage 932 [codepage]"}},
      // UTF-8 あ: E3 81 is a character of 932, but 82 is a lead byte that the line break cannot follow.
      {kCodePage932,
       "ok \xE3\x81\x82\n",
       "",
       {"MAIN:1:5: warning: byte 0x82 is not valid in code page 932: the file is most likely in another "
        "encoding; all of it reads as code page utf-8: try --codepage utf-8 [codepage]"}},
      // Valid in no code page the tool knows: no suggestion.
      {kCodePageUtf8,
       "a\xFF\x81",
       "",
       {"MAIN:1:2: warning: byte 0xFF is not valid in code page utf-8: the file is most likely in another "
        "encoding [codepage]"}},
      // Latin-1 "Grüße aus Köln" pairs up into characters of 932, of the user-defined area: no suggestion;
      // nor for a byte 932 has no character for.
      {kCodePageUtf8,
       "Gr\xFC\xDF\x65 aus K\xF6ln",
       "",
       {"MAIN:1:3: warning: byte 0xFC is not valid in code page utf-8: the file is most likely in another "
        "encoding [codepage]"}},
      {kCodePageUtf8,
       "ab\x80\x40",
       "",
       {"MAIN:1:3: warning: byte 0x80 is not valid in code page utf-8: the file is most likely in another "
        "encoding [codepage]"}},
      // Half-width katakana are single bytes of 932.
      {kCodePageUtf8,
       "\xB1\xB2\xB3",
       "",
       {"MAIN:1:1: warning: byte 0xB1 is not valid in code page utf-8: the file is most likely in another "
        "encoding; all of it reads as code page 932: try --codepage 932 [codepage]"}},
      {kCodePageUtf8,
       "fine",
       "x\x95\x41 [h data=\"1\"]",
       {"HEADER:1:2: warning: byte 0x95 is not valid in code page utf-8: the file is most likely in another "
        "encoding; all of it reads as code page 932: try --codepage 932 [codepage]"}},
      {kCodePage932, sjis, "", {}},
      {kCodePageNone, sjis, "", {}},
  };
  for (const auto& c : cases) {
    SetActiveCodePage(c.codePage);
    EXPECT_EQ(Run(c.main, WarningClasses::Defaults(), c.header), c.lines) << c.main;
  }
  WarningClasses noCodePage = WarningClasses::Defaults();
  noCodePage.Set(WarningClass::kCodePage, false);
  SetActiveCodePage(kCodePageUtf8);
  EXPECT_TRUE(Run("\x95\x5c", noCodePage).empty());
}

// A UTF-8 byte-order mark is copied as text: into the result from the main file, into a tag's value from a
// datafile. The header's text is dropped, and so is its mark. Each file is looked at once however often it
// is read; its own lines and columns place its warnings.
TEST_F(WarningsTest, ByteOrderMarksAndDatafiles) {
  dir_.Write("marked.txt", "\xEF\xBB\xBFnotes");
  dir_.Write("bad.txt", "line\nab\x81");
  const std::string bom = "the file begins with a UTF-8 byte-order mark: it is copied into ";
  const struct {
    std::string main;
    std::string header;
    std::vector<std::string> lines;
  } cases[] = {
      {"\xEF\xBB\xBFHello", "", {"MAIN:1:1: warning: " + bom + "the result [bom]"}},
      {"Hello", "\xEF\xBB\xBF[x data=\"1\"]", {}},
      {"[n datafile=\"\\marked.txt\"][n][m datafile=\"\\marked.txt\"]",
       "",
       {"DIR/marked.txt:1:1: warning: " + bom + "the value of tag 'n' [bom]"}},
      {"[b datafile=\"\\bad.txt\"][b]",
       "",
       {"DIR/bad.txt:2:3: warning: byte 0x81 is not valid in code page utf-8: the file is most likely in "
        "another "
        "encoding [codepage]"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Run(c.main, WarningClasses::Defaults(), c.header), c.lines) << c.main;
  // In a double-byte code page the three bytes are characters like any other.
  SetActiveCodePage(kCodePage932);
  EXPECT_TRUE(Run("\xEF\xBB\xBFHello").empty());
}

// A quoted value closed only by a later value's quote is told at its own opening quote, with where it was
// closed; what is left of that value is told as such, and not as a missing ']'.
TEST_F(WarningsTest, QuotesThatRunOn) {
  const struct {
    Language language;
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {Language::kEnglish,
       "[x data=\"a b] [y data=\"c\"]",
       {"MAIN:1:9: warning: this quoted value takes in a bracket or a line break and is closed only by the "
        "quote "
        "at "
        "line 1, column 23: a missing '\"'? [unclosed]"}},
      {Language::kEnglish,
       "[x data=\"a\n[y data=\"c\" min=\"08\"]",
       {"MAIN:1:9: warning: this quoted value takes in a bracket or a line break and is closed only by the "
        "quote "
        "at "
        "line 2, column 9: a missing '\"'? [unclosed]",
        "MAIN:2:17: warning: min=\"08\" reads as 0 (a leading 0 makes it octal, which stops at 8 or 9) (the "
        "rest "
        "of the quoted value begun at line 1, column 9) [number]"}},
      {Language::kJapanese,
       "[x data=\"a b] [y data=\"c\"]",
       {"MAIN:1:9: 警告: この \" の値は括弧か改行を含み、1 行 23 桁の \" でやっと閉じられます。\" "
        "がないのかもしれ"
        "ません [unclosed]"}},
  };
  for (const auto& c : cases) {
    SetMessageLanguage(c.language);
    EXPECT_EQ(Run(c.text), c.lines) << c.text;
  }
}

}  // namespace
}  // namespace morvane
