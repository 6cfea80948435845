// Literal values: fields that no later pass reads again, whatever brackets, backslashes and quotes they hold.
#include <string>
#include <utility>
#include <vector>

#include "tests/engine/engine_test_support.h"

namespace morvane::testing {
namespace {

using LiteralTest = EngineTest;

// A tag as the command line's -D gives it: read-only and literal.
void DefineGiven(const std::string& name, const std::string& value) {
  ASSERT_EQ(gTagTable.Define(name.c_str(), value.data(), static_cast<uint32_t>(value.size())), 1);
  gTagTable.Find(name.c_str())->flags |= TAG_READONLY | TAG_LITERAL;
}

struct LiteralCase {
  std::vector<std::pair<std::string, std::string>> given;  // tags given as -D gives them
  std::string text;
  std::string result;
};

void ExpectResults(const std::vector<LiteralCase>& cases) {
  for (const LiteralCase& c : cases) {
    gTagTable.ClearAll();
    for (const auto& [name, value] : c.given) DefineGiven(name, value);
    EXPECT_EQ(Expand(c.text), c.result) << c.text;
    ExpectTableConsistent();
  }
}

TEST_F(LiteralTest, GivenValuesComeOutAsTheyStandInEveryShape) {
  const std::string co = "ACME [Japan] K.K.";
  ExpectResults({
      {{{"co", co}}, "Dear [co],", "Dear ACME [Japan] K.K.,"},
      {{{"co", co}}, "[co min=\"20\" padding=\".\"]|", "ACME [Japan] K.K....|"},
      {{{"co", co}}, "[co min=\"20\" align=\"center\" padding=\"[\"]", "[ACME [Japan] K.K.[["},
      {{{"co", co}}, "[co max=\"6\" align=\"right\"]", "] K.K."},
      {{{"co", co}}, "[co max=\"7\" align=\"center\"]", "[Japan]"},
      {{{"co", co}}, "[co max=\"5\"]", "ACME "},
      {{{"p", "[a]"}}, "[p loop=\"3\"]", "[a][a][a]"},
      {{{"v", "a\\[b"}}, "[v]", "a\\[b"},
      {{{"v", "\\[x]"}}, "[x data=\"X\"][v]", "\\[x]"},
      {{{"q", "say \"hi\" ]"}}, "<[q]>", "<say \"hi\" ]>"},
      {{{"secret", "S3cr[et]Pw"}}, "[et data=\"!\"]pw=[secret]", "pw=S3cr[et]Pw"},
      // A literal value that ends in a backslash escapes nothing a later pass expands.
      {{{"p", "C:\\dir\\"}}, "[n data=\"[y]\"][y data=\"Y\"][p][n]", "C:\\dir\\Y"},
      // Nor does a backslash that pads it: the whole field is literal.
      {{{"v", "x"}}, "[n data=\"[y]\"][y data=\"Y\"][v min=\"3\" padding=\"\\x\"][n]", "x\\\\Y"},
      // A literal value inside a value that a later pass expands stays literal there.
      {{{"p", "[q]"}}, "[q data=\"Q\"][w data=\"<[p]>\"][w]", "<[q]>"},
      // An expression a later pass meets ends where a literal field begins, as at the end of the text.
      {{{"p", "x\"]"}}, "[a data=\"[b data=\\\"\"][a][p]|[b]|", "x\"]||"},
      // A non-literal backslash before a literal '[' escapes nothing either.
      {{{"p", "[y]"}}, "[y data=\"Y\"][n data=\"\\ \"][n max=\"1\"][p]", "\\[y]"},
  });
  // The same templates with the values defined in the text expand as before.
  ExpectResults({
      {{}, "[co data=\"ACME [Japan] K.K.\"]Dear [co],", "Dear ACME  K.K.,"},
      {{}, "[v data=\"x\"][n data=\"[y]\"][y data=\"Y\"][v min=\"3\" padding=\"\\x\"][n]", "x\\[y]"},
  });
}

TEST_F(LiteralTest, TheLiteralKeywordMarksTheValueItsExpressionSets) {
  ExpectResults({
      {{}, "[ex data=\"[x]\" literal=\"yes\"][x data=\"X\"][ex]", "[x]"},
      {{}, "[ex literal=\"yes\" data=\"[x]\"][x data=\"X\"][ex]", "[x]"},
      {{}, "[ex data=\"[x]\" LITERAL=\"Yes\"][x data=\"X\"][ex]", "[x]"},
      {{}, "[ex data=\"[x]\" literal=\"no\"][x data=\"X\"][ex]", "X"},
      {{}, "[ex data=\"[x]\" literal=\"maybe\"][x data=\"X\"][ex]", "X"},
      {{}, "[ex data=\"[x]\" literal=\"yes\" literal=\"no\"][x data=\"X\"][ex]", "X"},
      // The mark belongs to the value: a later value without it expands, a mark alone changes nothing.
      {{}, "[ex data=\"[x]\" literal=\"yes\"][ex data=\"[x]\"][x data=\"X\"][ex]", "X"},
      {{}, "[ex data=\"[x]\"][ex literal=\"yes\"][x data=\"X\"][ex]", "XX"},
      {{}, "[ex data=\"[x]\" literal=\"yes\"][ex readonly=\"yes\"][x data=\"X\"][ex]", "[x]"},
      // A value that a later pass sets literal.
      {{},
       "[d data=\"[ex data=\\\"[x]\\\" literal=\\\"yes\\\"]\"][e2 data=\"[ex]\"][d][x data=\"X\"][e2]",
       "[x]"},
      // A read-only tag keeps its value and its mark.
      {{{"g", "[x]"}}, "[g data=\"[x]\"][x data=\"X\"][g]", "[x]"},
  });
}

TEST_F(LiteralTest, ATextThatOnlyBecomesLiteralIsNoRepetition) {
  // The second pass writes "[y]" again, now literal: the third meets no tag and the expansion ends.
  ExpectResults({{{}, "[z data=\"[y]\"][y data=\"[y]\" literal=\"yes\"][z]", "[y]"}});
  // Without the mark it is a tag that keeps expanding to itself.
  gTagTable.ClearAll();
  EXPECT_EQ(Expand("[z data=\"[y]\"][y data=\"[y]\"][z]"), std::nullopt);
}

TEST_F(LiteralTest, DoubleByteSecondBytesInCodePage932) {
  // 表 and ソ end in 0x5C, ー in 0x5B: whole characters whether cut, padded or repeated.
  const std::string value = "\x95\x5C[\x83\x5C]\x81\x5B";  // 表[ソ]ー
  ExpectResults({
      {{{"v", value}}, "[v]", value},
      {{{"v", value}}, "[v loop=\"2\" min=\"9\" padding=\"[\"]", value + "[" + value + "["},
      {{{"v", value}}, "[v max=\"3\"]", "\x95\x5C["},
      {{{"v", value}}, "[v max=\"4\"]", "\x95\x5C[ "},  // the cut halves ソ: its lead byte becomes a space
      {{{"v", value}}, "[v max=\"3\" align=\"right\"]", "]\x81\x5B"},
      {{{"v", "\x95\x5C"}}, "[n data=\"[y]\"][y data=\"Y\"][v][n]", "\x95\x5CY"},
  });
}

TEST_F(LiteralTest, Utf8CountsColumnsOfLiteralValues) {
  UseCodePage(kCodePageUtf8);
  ExpectResults({
      {{{"n", U8(u8"山田[x]")}}, "|[n min=\"10\"]|", U8(u8"|山田[x]   |")},
      {{{"n", U8(u8"山田[x]")}}, "|[n max=\"5\" align=\"right\"]|", U8(u8"|田[x]|")},
      {{{"n", U8(u8"[日本]")}}, "[n min=\"6\" padding=\"＊\" align=\"right\"]", U8(u8"[日本]")},
  });
}

}  // namespace
}  // namespace morvane::testing
