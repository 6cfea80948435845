#include "text/unicode_width.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/text/text_test_support.h"

namespace morvane::testing {
namespace {

TEST(UnicodeWidthTest, CodePointWidths) {
  struct Case {
    uint32_t codePoint;
    uint32_t width;
  };
  const Case cases[] = {
      {0x0000, 1},    // NUL, as `_eof` is one byte of field
      {0x0041, 1},    // A
      {0x00AD, 1},    // SOFT HYPHEN: a format character drawn as a hyphen
      {0x00E9, 1},    // é
      {0x0301, 0},    // COMBINING ACUTE ACCENT (Mn)
      {0x0903, 1},    // DEVANAGARI SIGN VISARGA (Mc, spacing)
      {0x0E31, 0},    // THAI CHARACTER MAI HAN-AKAT (Mn)
      {0x1100, 2},    // HANGUL CHOSEONG KIYEOK: a leading consonant is wide
      {0x1160, 0},    // HANGUL JUNGSEONG FILLER: medial vowels join it
      {0x11A8, 0},    // HANGUL JONGSEONG KIYEOK: so do final consonants
      {0xD7B0, 0},    // HANGUL JUNGSEONG O-YEO (Jamo Extended-B)
      {0xA960, 2},    // HANGUL CHOSEONG TIKEUT-MIEUM (Jamo Extended-A)
      {0x200B, 0},    // ZERO WIDTH SPACE (Cf)
      {0x200D, 0},    // ZERO WIDTH JOINER (Cf)
      {0x20DD, 0},    // COMBINING ENCLOSING CIRCLE (Me)
      {0x2E80, 2},    // CJK RADICAL REPEAT
      {0x3000, 2},    // IDEOGRAPHIC SPACE (F)
      {0x3042, 2},    // あ
      {0x4E00, 2},    // 一
      {0x9FFF, 2},    // unassigned in CJK Unified Ideographs: wide by default
      {0xFE0F, 0},    // VARIATION SELECTOR-16 (Mn)
      {0xFEFF, 0},    // ZERO WIDTH NO-BREAK SPACE (Cf)
      {0xFF21, 2},    // FULLWIDTH LATIN CAPITAL LETTER A (F)
      {0xFF71, 1},    // HALFWIDTH KATAKANA LETTER A (H)
      {0x1F3FB, 2},   // EMOJI MODIFIER FITZPATRICK TYPE-1-2
      {0x1F600, 2},   // GRINNING FACE
      {0x2FFFD, 2},   // unassigned in plane 2: wide by default
      {0x3FFFD, 2},   // and in plane 3
      {0xE0001, 0},   // LANGUAGE TAG (Cf)
      {0xE0100, 0},   // VARIATION SELECTOR-17 (Mn)
      {0xF0000, 1},   // private use
      {0x10FFFF, 1},  // last code point
      {0x110000, 1},  // beyond Unicode
  };
  for (const Case& c : cases) EXPECT_EQ(CodePointWidth(c.codePoint), c.width) << std::hex << c.codePoint;
  EXPECT_STRNE(UnicodeVersion(), "");
}

TEST(UnicodeWidthTest, WellFormedSequences) {
  struct Case {
    std::string bytes;
    int length;
  };
  const Case cases[] = {
      {"A", 1},
      {"\xC3\xA9", 2},          // é
      {"\xC0\x80", 0},          // overlong NUL
      {"\xC1\xBF", 0},          // overlong
      {"\xC2", 0},              // cut off by the end
      {"\xC2\x41", 0},          // no continuation byte
      {"\xE0\x80\x80", 0},      // overlong
      {"\xE0\xA0\x80", 3},      // U+0800
      {"\xE3\x81\x82", 3},      // あ
      {"\xE3\x81", 0},          // cut off
      {"\xE3\x81\x41", 0},      // broken
      {"\xED\x9F\xBF", 3},      // U+D7FF
      {"\xED\xA0\x80", 0},      // a surrogate
      {"\xF0\x8F\xBF\xBF", 0},  // overlong
      {"\xF0\x9F\x98\x80", 4},  // 😀
      {"\xF4\x8F\xBF\xBF", 4},  // U+10FFFF
      {"\xF4\x90\x80\x80", 0},  // above U+10FFFF
      {"\xF5\x80\x80\x80", 0},  // no lead byte at all
      {"\x80", 0},              // a lone continuation byte
      {"\xFF", 0},
      {"\xE3\x81\x82\xE3\x81\x84", 3},  // only the first character
  };
  for (const Case& c : cases) {
    const char* p = c.bytes.data();
    EXPECT_EQ(WellFormedLength(p, p + c.bytes.size()), c.length) << c.bytes;
    const Utf8Character character = NextCharacter(p, p + c.bytes.size());
    EXPECT_EQ(character.length, c.length != 0 ? static_cast<uint32_t>(c.length) : 1u) << c.bytes;
    if (c.length == 0) {
      EXPECT_EQ(character.width, 1u) << "an invalid byte is one column: " << c.bytes;
    }
  }
  // The end bounds the sequence even where the bytes go on.
  const char* hiragana = "\xE3\x81\x82";
  EXPECT_EQ(WellFormedLength(hiragana, hiragana + 2), 0);
  EXPECT_EQ(WellFormedLength(hiragana, hiragana), 0);
}

TEST(UnicodeWidthTest, TextColumns) {
  struct Case {
    std::string text;
    uint32_t columns;
  };
  const Case cases[] = {
      {"", 0},
      {"plain ascii, longer than one word", 33},
      {U8(u8"日本語"), 6},
      {U8(u8"Cafe\u0301"), 4},
      {U8(u8"ｱｲｳ"), 3},
      {U8(u8"a😀b"), 4},
      {U8(u8"👍🏽"), 4},
      {U8(u8"\u200Bx\u200B"), 1},
      {U8(u8"한") + U8(u8"\u1112\u1161\u11AB"), 4},  // precomposed, then as Jamo
      {"a\xFF"
       "b\xE3\x81",
       5},
      {std::string("\0", 1), 1},
      {U8(u8"abcdefgh日本"), 12},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextColumns(c.text.data(), static_cast<uint32_t>(c.text.size())), c.columns) << c.text;
  }
}

TEST(UnicodeWidthTest, ColumnBoundaries) {
  struct Case {
    std::string text;
    uint32_t column;
    ColumnBoundary expected;
  };
  const std::string japanese = U8(u8"日本語");
  const std::string accented = U8(u8"Cafe\u0301s");  // the mark belongs to the e before it
  const std::string ascii = "abcdefghijklmnopqrstuvwxyz";
  const Case cases[] = {
      {japanese, 0, {0, 0, false}},
      {japanese, 1, {0, 3, true}},
      {japanese, 2, {3, 3, false}},
      {japanese, 3, {3, 6, true}},
      {japanese, 6, {9, 9, false}},
      {japanese, 7, {9, 9, false}},
      {accented, 3, {3, 3, false}},
      {accented, 4, {6, 6, false}},
      {accented, 5, {7, 7, false}},
      {U8(u8"\u0301x"), 0, {0, 0, false}},
      {U8(u8"a😀\uFE0Fb"), 2, {1, 8, true}},  // the selector goes with the emoji it follows
      {ascii, 9, {9, 9, false}},
      {ascii, 17, {17, 17, false}},
      {ascii + U8(u8"日"), 27, {26, 29, true}},
      {"\xE3\xE3\x81\x82", 1, {1, 1, false}},  // a broken lead byte, then あ
      {"\xE3\xE3\x81\x82", 2, {1, 4, true}},
  };
  for (const Case& c : cases) {
    const ColumnBoundary found = FindColumn(c.text.data(), static_cast<uint32_t>(c.text.size()), c.column);
    EXPECT_EQ(found.before, c.expected.before) << c.text << " at column " << c.column;
    EXPECT_EQ(found.after, c.expected.after) << c.text << " at column " << c.column;
    EXPECT_EQ(found.splitsWide, c.expected.splitsWide) << c.text << " at column " << c.column;
  }
}

}  // namespace
}  // namespace morvane::testing
