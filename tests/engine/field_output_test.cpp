#include <random>
#include <string>
#include <vector>

#include "text/unicode_width.h"
#include "tests/engine/engine_test_support.h"

namespace morvane::testing {
namespace {

struct FieldCase {
  std::string value;  // "<none>" for a tag without value
  FieldSpec spec;
  std::string output;
};

FieldSpec Spec(uint32_t loop, uint32_t min, uint32_t max, Align align, char padding) {
  FieldSpec spec;
  spec.loop = loop;
  spec.min = min;
  spec.max = max;
  spec.align = align;
  spec.padding.bytes[0] = padding;
  return spec;
}

// The same with a padding value read as the padding keyword reads it, under the active code page.
FieldSpec Spec(uint32_t loop, uint32_t min, uint32_t max, Align align, const std::string& padding) {
  FieldSpec spec = Spec(loop, min, max, align, ' ');
  spec.padding.TakeFirstCharacter(padding.c_str());
  return spec;
}

constexpr uint32_t kNoMax = 0xFFFFFFFFu;
const std::string kNone = "<none>";

std::string WriteOne(const std::string& value, const FieldSpec& spec, size_t capacity = 256) {
  TagEntry entry;
  if (value != kNone) entry.SetData(value.data(), static_cast<uint32_t>(value.size()));
  std::vector<char> buffer(capacity);
  PassOutput out{buffer.data(), buffer.data() + capacity - 1};
  WriteField(out, entry, spec);
  return std::string(buffer.data(), out.cursor);
}

using FieldOutputTest = EngineTest;

TEST_F(FieldOutputTest, WidthsAlignmentAndLoops) {
  const std::string eof(1, '\0');
  const FieldCase cases[] = {
      {"abc", Spec(1, 6, kNoMax, Align::kCenter, '='), "=abc=="},
      {"abc", Spec(1, 6, kNoMax, Align::kLeft, '='), "abc==="},
      {"abc", Spec(1, 6, kNoMax, Align::kRight, '='), "===abc"},
      {"abc", Spec(1, 5, kNoMax, Align::kCenter, '='), "=abc="},
      {"abc", Spec(1, 6, kNoMax, Align::kLeft, ' '), "abc   "},
      {"42", Spec(1, 5, kNoMax, Align::kRight, '0'), "00042"},
      {"abcdefg", Spec(1, 0, 3, Align::kLeft, ' '), "abc"},
      {"abcdefg", Spec(1, 0, 3, Align::kCenter, ' '), "cde"},
      {"abcdefg", Spec(1, 0, 3, Align::kRight, ' '), "efg"},
      {"abcdefg", Spec(1, 0, 4, Align::kCenter, ' '), "bcde"},
      {"abcdef", Spec(1, 0, 3, Align::kCenter, ' '), "bcd"},
      {"abc", Spec(1, 3, 3, Align::kLeft, ' '), "abc"},
      {"abc", Spec(1, 0, 0, Align::kLeft, ' '), ""},
      {"abc", Spec(3, 0, kNoMax, Align::kLeft, ' '), "abcabcabc"},
      {"abc", Spec(0, 6, kNoMax, Align::kLeft, ' '), ""},
      {"ab", Spec(2, 4, kNoMax, Align::kRight, '-'), "--ab--ab"},
      {kNone, Spec(1, 0, kNoMax, Align::kLeft, ' '), ""},
      {kNone, Spec(1, 4, kNoMax, Align::kCenter, '.'), "...."},
      {eof, Spec(1, 0, kNoMax, Align::kLeft, ' '), eof},
      {eof, Spec(1, 3, kNoMax, Align::kLeft, ' '), eof + "  "},
      {"ab", Spec(1, 4, kNoMax, Align::kRight, '\x81'),
       "\x81\x81"
       "ab"},
      // あいう in code page 932
      {"\x82\xA0\x82\xA2\x82\xA4", Spec(1, 7, kNoMax, Align::kLeft, '='), "\x82\xA0\x82\xA2\x82\xA4="},
      {"\x82\xA0\x82\xA2\x82\xA4", Spec(1, 0, 4, Align::kLeft, ' '), "\x82\xA0\x82\xA2"},
      {"\x82\xA0\x82\xA2\x82\xA4", Spec(1, 0, 4, Align::kRight, ' '), "\x82\xA2\x82\xA4"},
      {"\x82\xA0\x82\xA2\x82\xA4", Spec(1, 0, 3, Align::kRight, ' '), "\xA2\x82\xA4"},
      {"abc", Spec(0xFFFFFFFFu, 0, 0, Align::kLeft, ' '), ""},
      {"", Spec(0xFFFFFFFFu, 0, kNoMax, Align::kLeft, ' '), ""},
  };
  for (const FieldCase& c : cases) EXPECT_EQ(WriteOne(c.value, c.spec), c.output) << c.value;
}

TEST_F(FieldOutputTest, LeadByteWithoutItsTrailBecomesASpace) {
  const FieldCase cases[] = {
      // あいう cut inside い
      {"\x82\xA0\x82\xA2\x82\xA4", Spec(1, 0, 5, Align::kLeft, ' '), "\x82\xA0\x82\xA2 "},
      // 亜亜 keeping 9F 88 9F: the last 9F reads as a lead byte
      {"\x88\x9F\x88\x9F", Spec(2, 0, 3, Align::kRight, ' '), "\x9F\x88 \x9F\x88 "},
      // widened: the value's own bytes are checked, the padding is not
      {"\x82\xA0\x82", Spec(1, 5, kNoMax, Align::kLeft, '\x81'), std::string("\x82\xA0\0\x81\x81", 5)},
  };
  for (const FieldCase& c : cases) EXPECT_EQ(WriteOne(c.value, c.spec), c.output) << c.value;

  UseCodePage(kCodePageNone);
  EXPECT_EQ(WriteOne("\x82\xA0\x82\xA2\x82\xA4", Spec(1, 0, 5, Align::kLeft, ' ')), "\x82\xA0\x82\xA2\x82");
}

TEST_F(FieldOutputTest, OverflowLeavesRoomForTheTerminator) {
  // capacity 8: seven bytes fit before the terminator's slot
  EXPECT_EQ(WriteOne("abcdefg", Spec(1, 0, kNoMax, Align::kLeft, ' '), 8), "abcdefg");
  EXPECT_THROW(WriteOne("abcdefgh", Spec(1, 0, kNoMax, Align::kLeft, ' '), 8), ExpansionOverflow);
  EXPECT_THROW(WriteOne("a", Spec(0xFFFFFFFFu, 0, kNoMax, Align::kLeft, ' '), 8), ExpansionOverflow);
  EXPECT_THROW(WriteOne("a", Spec(1, 0xFFFFFFFFu, kNoMax, Align::kLeft, ' '), 8), ExpansionOverflow);
  EXPECT_THROW(WriteOne("abc", Spec(0x80000000u, 2, 2, Align::kLeft, ' '), 8), ExpansionOverflow);
}

struct ColumnCase {
  std::string value;
  FieldSpec spec;
  std::string output;
};

TEST_F(FieldOutputTest, Utf8CountsColumnsAndCutsAtCharacters) {
  UseCodePage(kCodePageUtf8);
  const std::string japanese = U8(u8"日本語");      // 9 bytes, 6 columns
  const std::string accented = U8(u8"Cafe\u0301");  // 6 bytes, 4 columns: e and a combining acute
  const std::string emoji = U8(u8"a😀b");            // 6 bytes, 4 columns
  const std::string broken =
      "a\xFF"
      "b\xE3\x81";  // 5 bytes that begin no sequence but a and b: 5 columns
  const std::string eof(1, '\0');
  const ColumnCase cases[] = {
      // widened by columns, not bytes
      {japanese, Spec(1, 8, kNoMax, Align::kLeft, "."), U8(u8"日本語..")},
      {japanese, Spec(1, 8, kNoMax, Align::kRight, "."), U8(u8"..日本語")},
      {japanese, Spec(1, 9, kNoMax, Align::kCenter, "."), U8(u8".日本語..")},
      {japanese, Spec(1, 6, kNoMax, Align::kLeft, "."), japanese},
      {U8(u8"開発部"), Spec(1, 12, kNoMax, Align::kLeft, " "), U8(u8"開発部      ")},
      // cut by columns, never inside a character; half a wide character becomes a space
      {japanese, Spec(1, 0, 4, Align::kLeft, " "), U8(u8"日本")},
      {japanese, Spec(1, 0, 4, Align::kRight, " "), U8(u8"本語")},
      {japanese, Spec(1, 0, 4, Align::kCenter, " "), U8(u8" 本 ")},
      {japanese, Spec(1, 0, 3, Align::kLeft, " "), U8(u8"日 ")},
      {japanese, Spec(1, 0, 3, Align::kRight, " "), U8(u8" 語")},
      {japanese, Spec(1, 0, 3, Align::kCenter, " "), U8(u8" 本")},
      {japanese, Spec(1, 0, 5, Align::kCenter, " "), U8(u8"日本 ")},
      {japanese, Spec(1, 0, 1, Align::kLeft, " "), " "},
      {japanese, Spec(1, 0, 1, Align::kRight, " "), " "},
      {japanese, Spec(1, 0, 0, Align::kLeft, " "), ""},
      {U8(u8"a日b"), Spec(1, 0, 0, Align::kCenter, " "), ""},  // the one boundary splits 日
      {japanese, Spec(2, 0, 3, Align::kLeft, " "), U8(u8"日 日 ")},
      // a combining mark is part of the character before it
      {accented, Spec(1, 0, 4, Align::kLeft, " "), accented},
      {accented, Spec(1, 0, 3, Align::kLeft, " "), "Caf"},
      {accented, Spec(1, 0, 1, Align::kRight, " "), U8(u8"e\u0301")},
      {accented, Spec(1, 0, 2, Align::kCenter, " "), "af"},
      {accented, Spec(1, 6, kNoMax, Align::kCenter, "*"), U8(u8"*Cafe\u0301*")},
      {U8(u8"\u0301xy"), Spec(1, 0, 1, Align::kLeft, " "), U8(u8"\u0301x")},
      {U8(u8"\u0301xy"), Spec(1, 0, 1, Align::kRight, " "), "y"},
      // emoji are two columns wide
      {emoji, Spec(1, 0, 2, Align::kLeft, " "), "a "},
      {emoji, Spec(1, 0, 3, Align::kRight, " "), U8(u8"😀b")},
      {emoji, Spec(1, 0, 2, Align::kCenter, " "), U8(u8"😀")},
      {emoji, Spec(1, 6, kNoMax, Align::kRight, "-"), U8(u8"--a😀b")},
      // a byte that begins no sequence is one column, copied as it is
      {broken, Spec(1, 0, 3, Align::kLeft, " "),
       "a\xFF"
       "b"},
      {broken, Spec(1, 0, 2, Align::kRight, " "), "\xE3\x81"},
      {broken, Spec(1, 7, kNoMax, Align::kLeft, "."), broken + ".."},
      {"\xE3\xE3\x81\x82", Spec(1, 0, 2, Align::kRight, " "), U8(u8"あ")},
      {"\xE3\xE3\x81\x82", Spec(1, 0, 1, Align::kLeft, " "), "\xE3"},
      // the padding character is taken whole; a wide one that does not fit leaves a space
      {"ab", Spec(1, 4, kNoMax, Align::kLeft, U8(u8"·x")), U8(u8"ab··")},
      {"ab", Spec(1, 5, kNoMax, Align::kLeft, U8(u8"＊")), U8(u8"ab＊ ")},
      {"ab", Spec(1, 5, kNoMax, Align::kRight, U8(u8"＊")), U8(u8"＊ ab")},
      {"ab", Spec(1, 5, kNoMax, Align::kCenter, U8(u8"＊")), U8(u8" ab＊")},
      {"ab", Spec(1, 6, kNoMax, Align::kRight, U8(u8"😀")), U8(u8"😀😀ab")},
      {"ab", Spec(1, 4, kNoMax, Align::kLeft, U8(u8"\u0301")), "ab  "},
      {"ab", Spec(1, 4, kNoMax, Align::kLeft, "\xFF"), "ab\xFF\xFF"},
      {kNone, Spec(1, 3, kNoMax, Align::kCenter, U8(u8"＊")), U8(u8" ＊")},
      {"ab", Spec(2, 4, kNoMax, Align::kRight, U8(u8"·")), U8(u8"··ab··ab")},
      // ASCII and `_eof` behave as in bytes
      {"abcdefg", Spec(1, 0, 3, Align::kCenter, " "), "cde"},
      {"abc", Spec(1, 6, kNoMax, Align::kCenter, "="), "=abc=="},
      {eof, Spec(1, 3, kNoMax, Align::kLeft, " "), eof + "  "},
      {"abc", Spec(0, 6, kNoMax, Align::kLeft, U8(u8"＊")), ""},
  };
  for (const ColumnCase& c : cases) EXPECT_EQ(WriteOne(c.value, c.spec), c.output) << c.value;
}

TEST_F(FieldOutputTest, PaddingTakesAWholeCharacterOnlyInUtf8) {
  struct Case {
    int codePage;
    std::string value;
    std::string padding;
  };
  const Case cases[] = {
      {kCodePageUtf8, U8(u8"·x"), U8(u8"·")},
      {kCodePageUtf8, U8(u8"＊"), U8(u8"＊")},
      {kCodePageUtf8, U8(u8"😀!"), U8(u8"😀")},
      {kCodePageUtf8,
       "\xFF"
       "a",
       "\xFF"},
      {kCodePageUtf8, "\xE3\x81", "\xE3"},  // a sequence cut off is a byte of its own
      {kCodePageUtf8, "xyz", "x"},
      {kCodePage932, "\x81\x40", "\x81"},  // the lead byte alone, as before
      {kCodePageNone, U8(u8"·"), "\xC2"},
  };
  for (const Case& c : cases) {
    UseCodePage(c.codePage);
    FieldPadding padding;
    padding.TakeFirstCharacter(c.value.c_str());
    EXPECT_EQ(std::string(padding.bytes, padding.length), c.padding) << c.value;
  }
}

TEST_F(FieldOutputTest, Utf8OverflowCountsBytesNotColumns) {
  UseCodePage(kCodePageUtf8);
  const std::string two = U8(u8"日本");  // 6 bytes in 4 columns
  // capacity 8: seven bytes fit
  EXPECT_EQ(WriteOne(two, Spec(1, 5, kNoMax, Align::kLeft, " "), 8), two + " ");
  EXPECT_THROW(WriteOne(two, Spec(1, 6, kNoMax, Align::kLeft, " "), 8), ExpansionOverflow);
  // Outside the assertions, whose text is compiled into code page 932 on Windows, which has no emoji.
  const std::string emoji = U8(u8"😀");
  EXPECT_THROW(WriteOne("a", Spec(1, 5, kNoMax, Align::kLeft, emoji), 8), ExpansionOverflow);
  EXPECT_THROW(WriteOne("a", Spec(1, 0xFFFFFFFFu, kNoMax, Align::kLeft, emoji), 8), ExpansionOverflow);
  EXPECT_THROW(WriteOne(two, Spec(0xFFFFFFFFu, 0, 3, Align::kLeft, " "), 8), ExpansionOverflow);
}

// Decodes strict UTF-8 and adds up the widths; false when the text is not valid UTF-8.
bool MeasureValidUtf8(const std::string& text, uint64_t* columns) {
  *columns = 0;
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra;
    uint32_t codePoint;
    if (lead < 0x80) {
      extra = 0;
      codePoint = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
      codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2;
      codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      codePoint = lead & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (codePoint < kLeast[extra] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
      return false;
    }
    *columns += CodePointWidth(codePoint);
    i += 1 + extra;
  }
  return true;
}

TEST_F(FieldOutputTest, Utf8FieldsAreValidAndTakeTheirWidth) {
  UseCodePage(kCodePageUtf8);
  const std::vector<std::string> characters = {"a",
                                               "Z",
                                               "0",
                                               " ",
                                               U8(u8"é"),
                                               U8(u8"\u0301"),
                                               U8(u8"日"),
                                               U8(u8"語"),
                                               U8(u8"ｱ"),
                                               U8(u8"😀"),
                                               U8(u8"\u200B"),
                                               U8(u8"\uFE0F"),
                                               U8(u8"\u1161"),
                                               U8(u8"Ω"),
                                               U8(u8"＊"),
                                               U8(u8"🏽")};
  const std::vector<std::string> paddings = {" ", ".", U8(u8"·"), U8(u8"＊"), U8(u8"😀"), U8(u8"\u0301")};
  const Align aligns[] = {Align::kLeft, Align::kCenter, Align::kRight};
  std::mt19937 random(20240514);
  auto below = [&random](uint32_t bound) { return static_cast<uint32_t>(random() % bound); };
  for (int round = 0; round < 5000; ++round) {
    std::string value;
    const uint32_t count = below(10);
    for (uint32_t i = 0; i < count; ++i) value += characters[below(characters.size())];
    const uint32_t min = below(4) == 0 ? 0 : below(16);
    const uint32_t max = below(3) == 0 ? kNoMax : min + below(12);
    const uint32_t loop = 1 + below(3);
    const FieldSpec spec = Spec(loop, min, max, aligns[below(3)], paddings[below(paddings.size())]);

    uint64_t valueColumns;
    ASSERT_TRUE(MeasureValidUtf8(value, &valueColumns));
    const uint64_t width = valueColumns < min ? min : (valueColumns > max ? max : valueColumns);
    const std::string output = WriteOne(value, spec, 1024);
    uint64_t columns;
    ASSERT_TRUE(MeasureValidUtf8(output, &columns)) << "invalid output for " << value;
    EXPECT_EQ(columns, width * loop) << value << " min " << min << " max " << max;
    if (valueColumns >= min && valueColumns <= max) {
      std::string repeated;
      for (uint32_t i = 0; i < loop; ++i) repeated += value;
      EXPECT_EQ(output, repeated);
    }
  }
}

}  // namespace
}  // namespace morvane::testing
