#include <cstring>
#include <memory>
#include <string>

#include "tests/engine/engine_test_support.h"

namespace morvane::testing {
namespace {

using ExpansionTest = EngineTest;

struct ExpandCase {
  const char* text;
  const char* result;
};

TEST_F(ExpansionTest, Results) {
  const ExpandCase cases[] = {
      {"", ""},
      {"plain text", "plain text"},
      {"a \\[x] b", "a [x] b"},
      {"\\\\[", "\\["},
      {"ends with \\", "ends with \\"},
      {"\\n\\t", "\\n\\t"},
      {"[x data=\"v\"][x]", "v"},
      {"[x][x data=\"v\"][x]", "v"},
      {"[y data=\"[x]\"][x data=\"v\"][y]", "v"},
      {"[y data=\"\\[x]\"][x data=\"v\"][y]", "[x]"},
      {"[a data=\"[b]\"][b data=\"[c]\"][c data=\"deep\"]<[a]>", "<deep>"},
      {"[x data=\"a\\b\"][x]", "a\\b"},
      {"see [abc", "see "},
      {"[p data=\"[\"][p]q data=\"Q\"]<[p]q]>", "<Q>"},
      {"[https://example.com/a/long/url/path] x", "[https://example.com/a/long/url/path] x"},
      {"[https://example.com/a/long/url/path \\[x]]", "[https://example.com/a/long/url/path [x]]"},
      {"[x data=\"abc\"][x max=\"1\" align=\"right\"][x loop=\"2\" min=\"4\" padding=\"-\"]", "cabc-abc-"},
      // 表 (0x95 0x5C) then '[': the trail byte is no escape
      {"[x data=\"v\"]\x95\x5C[x]", "\x95\x5Cv"},
      // ー (0x81 0x5B) in データ: the trail byte is no bracket
      {"\x83\x66\x81\x5B\x83\x5E", "\x83\x66\x81\x5B\x83\x5E"},
      {"[x data=\"\x83\x66\x81\x5B\x83\x5E\"][x]", "\x83\x66\x81\x5B\x83\x5E"},
      {"tail\x81", "tail\x81"},
  };
  for (const ExpandCase& c : cases) {
    gTagTable.ClearAll();
    EXPECT_EQ(Expand(c.text), c.result) << c.text;
  }
}

TEST_F(ExpansionTest, CodePageNoneTreatsEveryByteAlone) {
  UseCodePage(kCodePageNone);
  EXPECT_EQ(Expand("[x data=\"v\"]\x95\\[x]"), "\x95[x]");
  EXPECT_EQ(Expand("\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF"), "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF");
}

TEST_F(ExpansionTest, Utf8FieldsLineUpByColumns) {
  struct Case {
    std::string text;
    std::string result;
  };
  const Case cases[] = {
      {U8(u8"[j data=\"日本語\"][j max=\"4\"]"), U8(u8"日本")},
      {U8(u8"[j data=\"日本語\"][j max=\"3\"]|"), U8(u8"日 |")},
      {U8(u8"[d data=\"開発部\"]|[d min=\"12\"]|"), U8(u8"|開発部      |")},
      {U8(u8"[d data=\"開発部\"]|[d min=\"8\" padding=\"·\"]|"), U8(u8"|開発部··|")},
      {U8(u8"[d data=\"開発部\"]|[d min=\"9\" align=\"right\" padding=\"＊\"]|"), U8(u8"|＊ 開発部|")},
      {U8(u8"[n data=\"Cafe\u0301\"][n min=\"6\" align=\"center\" padding=\"-\"]"), U8(u8"-Cafe\u0301-")},
      // the scan for brackets, escapes and quotes is unchanged
      {U8(u8"[t data=\"「\\[」\"][t]"), U8(u8"「[」")},
      {U8(u8"[名前 data=\"値\"][名前 min=\"4\"]"), U8(u8"値  ")},
  };
  UseCodePage(kCodePageUtf8);
  for (const Case& c : cases) {
    gTagTable.ClearAll();
    EXPECT_EQ(Expand(c.text), c.result) << c.text;
  }
  // `none` keeps counting bytes.
  UseCodePage(kCodePageNone);
  gTagTable.ClearAll();
  EXPECT_EQ(Expand(U8(u8"[d data=\"開発部\"][d min=\"12\"]")), U8(u8"開発部   "));
  EXPECT_EQ(Expand(U8(u8"[j data=\"日本語\"][j max=\"4\"]")), U8(u8"日") + "\xE6");
}

TEST_F(ExpansionTest, EofEndsTheResultButLaterDefinitionsStay) {
  gTagTable.Define("_eof", "", 1);
  EXPECT_EQ(Expand("before[_eof]after[z data=\"kept\"]"), "before");
  EXPECT_EQ(ValueOf("z"), "kept");
}

TEST_F(ExpansionTest, WithoutDestinationOnlyDefinitionsRemain) {
  const char* header = "text [h data=\"from header\"] more";
  ASSERT_EQ(ExpandText(nullptr, header, kTextBufferSize), 1);
  EXPECT_EQ(ValueOf("h"), "from header");
  EXPECT_EQ(ScratchBuffer, nullptr);
}

TEST_F(ExpansionTest, PassCounts) {
  char output[64];
  PassStats stats;
  std::unique_ptr<char[]> scratch(new char[kTextBufferSize]);
  ScratchBuffer = scratch.get();
  gScratchBufferSize = kTextBufferSize;
  EXPECT_EQ(ExpandPass(output, sizeof output, "no tags \\[x]", 0, &stats), 0u);
  EXPECT_STREQ(output, "no tags \\[x]");
  EXPECT_EQ(ExpandPass(output, sizeof output, "no tags \\[x]", 1, &stats), 0u);
  EXPECT_STREQ(output, "no tags [x]");
  EXPECT_EQ(ExpandPass(output, sizeof output, "[a][b data=\"1\"][c", 0, &stats), 3u);
  EXPECT_EQ(stats.definitions, 1u);
  EXPECT_EQ(ExpandPass(output, sizeof output, "[aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa]", 0, &stats), 0u);
  EXPECT_STREQ(output, "[aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa]");
  ScratchBuffer = nullptr;
  gScratchBufferSize = 0;
}

TEST_F(ExpansionTest, RunawayExpansionsFail) {
  const char* cases[] = {
      "[self data=\"[self]\"][self]",
      "[a data=\"[b]\"][b data=\"[a]\"][a]",
      "[grow data=\"[grow][grow]\"][grow]",
      // redefines itself in every pass: stopped by the pass limit
      "[t data=\"[d data=\\\"1\\\"][t]\"][t]",
  };
  for (const char* text : cases) {
    gTagTable.ClearAll();
    EXPECT_EQ(Expand(text), std::nullopt) << text;
    EXPECT_EQ(ScratchBuffer, nullptr);
  }
  EXPECT_EQ(ValueOf("d"), "1");
}

TEST_F(ExpansionTest, FullTableLeavesLiteralBracketsAndEnds) {
  FillTable();
  EXPECT_EQ(Expand("[new data=\"v\"] and [new]"), "[new data=\"v\"] and ");
}

TEST_F(ExpansionTest, OverflowLeavesDestinationAndDefinitions) {
  char buffer[32] = "[x data=\"v\"][y loop=\"40\"]";
  gTagTable.Define("y", "yy", 2);
  EXPECT_EQ(ExpandText(buffer, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "[x data=\"v\"][y loop=\"40\"]");
  EXPECT_EQ(ValueOf("x"), "v");
  EXPECT_EQ(ScratchBuffer, nullptr);

  // A text that exactly fills the buffer is fine; the source must leave room for its terminator.
  const std::string fits(kTextBufferSize - 1, 'a');
  EXPECT_EQ(Expand(fits), fits);
  std::unique_ptr<char[]> full(new char[kTextBufferSize + 1]);
  std::memset(full.get(), 'a', kTextBufferSize);
  full[kTextBufferSize] = '\0';
  EXPECT_EQ(ExpandText(nullptr, full.get(), kTextBufferSize), 0);
}

TEST_F(ExpansionTest, GrowingPastTheBufferFails) {
  EXPECT_EQ(Expand("[x data=\"0123456789\"][x loop=\"200000\"]"), std::nullopt);
  EXPECT_EQ(Expand("[x data=\"0123456789\"][x loop=\"104857\"]")->size(), 1048570u);
  const std::string exact = "[x data=\"a\"][x min=\"1048575\" padding=\"b\"]";
  EXPECT_EQ(Expand(exact)->size(), 1048575u);
  EXPECT_EQ(Expand("z[x min=\"1048575\"]"), std::nullopt);
}

}  // namespace
}  // namespace morvane::testing
