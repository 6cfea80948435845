// Hostile texts and files: each must end in a result or a clean failure, never a hang or a broken table.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/engine/engine_test_support.h"

namespace morvane::testing {
namespace {

using HostileInputTest = EngineTest;

// A chain t0 -> t1 -> ... -> t<length-1> whose last tag is empty, then `refs` references to t0: the text
// needs length + 1 passes, handling `refs` tag expressions in each.
std::string Chain(int length, int refs, const std::string& padding = "") {
  std::string text;
  for (int i = 0; i + 1 < length; ++i) {
    text += "[t" + std::to_string(i) + " data=\"[t" + std::to_string(i + 1) + "]\"]";
  }
  text += "[t" + std::to_string(length - 1) + " data=\"\"]";
  for (int i = 0; i < refs; ++i) text += "[t0]";
  return text + padding;
}

TEST_F(HostileInputTest, PassesOverALargeTextAreBoundedInBytes) {
  // Each pass reads the padding again: 30 passes over 1 MiB fit the budget, 40 do not.
  const std::string padding(kTextBufferSize - 4096, 'x');
  EXPECT_EQ(Expand(Chain(29, 1, padding)), padding);
  gTagTable.ClearAll();
  EXPECT_EQ(Expand(Chain(39, 1, padding)), std::nullopt);
  EXPECT_EQ(ScratchBuffer, nullptr);
  ExpectTableConsistent();
}

TEST_F(HostileInputTest, PassesAreBoundedInTagExpressions) {
  // 50 passes over 20,000 references fit the budget; over 21,500 they do not.
  EXPECT_EQ(Expand(Chain(50, 20000)), "");
  gTagTable.ClearAll();
  EXPECT_EQ(Expand(Chain(50, 21500)), std::nullopt);
  EXPECT_EQ(ValueOf("t49"), "");
  ExpectTableConsistent();
}

TEST_F(HostileInputTest, SmallTextsStillGetEveryPass) {
  // A thousand passes over a short text stay within both budgets.
  EXPECT_EQ(Expand(Chain(1000, 1) + "end"), "end");
}

// Expands `text` (which may hold NUL bytes: the text ends at the first) and checks what every run leaves.
std::optional<std::string> ExpandChecked(const std::string& text) {
  std::optional<std::string> result = Expand(text);
  EXPECT_EQ(ScratchBuffer, nullptr);
  ExpectTableConsistent();
  return result;
}

TEST_F(HostileInputTest, FloodsOfBracketsAndBackslashes) {
  // Every '[' of a 1 MiB flood is a name of 32 bytes and more, except the last 31: the text shrinks by 32
  // bytes a pass and would take 32,768 passes; the byte budget ends it.
  const std::string brackets(kTextBufferSize - 1, '[');
  EXPECT_EQ(ExpandChecked(brackets), std::nullopt);
  const std::string backslashes(kTextBufferSize - 1, '\\');
  EXPECT_EQ(ExpandChecked(backslashes), backslashes);
  std::string escapes;
  while (escapes.size() + 2 < kTextBufferSize) escapes += "\\[";
  EXPECT_EQ(ExpandChecked(escapes), std::string(escapes.size() / 2, '['));
  // A backslash flood ending in '[': the last pair is an escape.
  EXPECT_EQ(ExpandChecked(std::string(kTextBufferSize - 2, '\\') + "["),
            std::string(kTextBufferSize - 3, '\\') + "[");
}

TEST_F(HostileInputTest, TagsThatNeverSettle) {
  struct Case {
    const char* text;
    const char* defined;  // a tag the text defines before it runs away, kept in the table
  };
  const Case cases[] = {
      {"[self data=\"[self]\"]x[self]", "self"},
      {"[a data=\"[b]\"][b data=\"[a]\"][a]", "b"},
      {"[a data=\"[b]\"][b data=\"[c]\"][c data=\"[a]\"][a][b]", "c"},
      {"[d data=\"[d][d]\"][d]", "d"},  // doubles each pass until the buffer overflows
      {"[d data=\"[d]x\"][d]", "d"},    // grows a byte a pass: stopped by the pass limit
      {"[r data=\"[r data=\\\"[r][r]\\\"][r]\"][r]", "r"},
  };
  for (const Case& c : cases) {
    gTagTable.ClearAll();
    EXPECT_EQ(ExpandChecked(c.text), std::nullopt) << c.text;
    EXPECT_NE(gTagTable.Find(c.defined), nullptr) << c.text;
  }
}

TEST_F(HostileInputTest, NulBytesEndTheText) {
  const std::string binary("ab\0[x data=\"v\"]", 15);
  EXPECT_EQ(ExpandChecked(binary), "ab");
  EXPECT_EQ(gTagTable.Find("x"), nullptr);
  // Every byte value, twice, in both code pages: whatever it yields, the run ends cleanly.
  std::string all;
  for (int round = 0; round < 2; ++round) {
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  }
  for (int codePage : {kCodePage932, kCodePageNone}) {
    UseCodePage(codePage);
    gTagTable.ClearAll();
    gTagTable.Define("_eof", "", 1);
    const std::optional<std::string> result = ExpandChecked(all + "[_eof]after");
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->find("after"), std::string::npos);
  }
}

TEST_F(HostileInputTest, LoneLeadBytesAtEveryBoundary) {
  const std::string samples[] = {
      "[x data=\"ab\"][x]",
      "[x data=\"a\\\"b\" padding=\"-\"][x min=\"6\" align=\"center\" padding=\"*\"]",
      "a\\[b\\c[y readonly=\"yes\"][y data=\"z\"][y]",
      "[n datafile=\"no-such-file.txt\"][n][m max=\"1\"]",
  };
  const char leads[] = {'\x81', '\x9F', '\xE0', '\xFC'};
  for (const std::string& sample : samples) {
    for (size_t at = 0; at <= sample.size(); ++at) {
      for (char lead : leads) {
        std::string text = sample;
        text.insert(at, 1, lead);
        gTagTable.ClearAll();
        const std::optional<std::string> result = ExpandChecked(text);
        // Nothing here grows or runs away: every placement expands.
        EXPECT_TRUE(result.has_value()) << text;
      }
    }
  }
}

TEST_F(HostileInputTest, TextReadAgainAfterLiteralBracketsIsBounded) {
  // With the table full, each "[a" of an expression that runs to a defining word is a literal bracket, and
  // the pass reads the rest of the expression again from the next byte: the work grows with the square of
  // the expression's length.
  FillTable();
  auto nested = [](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "[a ";
    return text + "data=\"v\"]";
  };
  EXPECT_EQ(ExpandChecked(nested(100)), nested(100));
  EXPECT_EQ(ExpandChecked(nested(6000)), std::nullopt);
}

TEST_F(HostileInputTest, FilesReadByDatafileCountAsWork) {
  const std::string path = ::testing::TempDir() + "morvane-hostile-large.txt";
  {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    ASSERT_NE(file, nullptr);
    const std::string large(kTextBufferSize - 1, 'x');
    ASSERT_EQ(std::fwrite(large.data(), 1, large.size(), file.get()), large.size());
  }
  auto reads = [&path](int count) {
    std::string text = "[x";
    for (int i = 0; i < count; ++i) text += " datafile=\"" + path + "\"";
    return text + "][x max=\"3\"]";
  };
  EXPECT_EQ(ExpandChecked(reads(20)), "xxx");
  gTagTable.ClearAll();
  EXPECT_EQ(ExpandChecked(reads(40)), std::nullopt);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace morvane::testing
