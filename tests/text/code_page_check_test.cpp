// Where a text stops being text of a code page: the first bad byte, for each code page the tool knows.
#include "text/code_page_check.h"

#include <string>

#include "tests/text/text_test_support.h"

namespace morvane::testing {
namespace {

using CodePageCheckTest = CodePageTest;

TEST_F(CodePageCheckTest, FirstInvalidByte) {
  const std::string ascii = "plain [text] and more than eight bytes";
  const struct {
    std::string text;
    int codePage;
    size_t expected;  // text.size() when the whole text is valid
  } cases[] = {
      {ascii, kCodePageUtf8, ascii.size()},
      {ascii, kCodePage932, ascii.size()},
      {U8(u8"日本語 and ASCII behind"), kCodePageUtf8, std::string(U8(u8"日本語 and ASCII behind")).size()},
      // Shift_JIS 表 (95 5C) read as utf-8: its lead byte is no start of a sequence.
      {"12345678\x95\x5c[x]", kCodePageUtf8, 8},
      {"\xEF\xBB\xBFok", kCodePageUtf8, 5},   // a byte-order mark is a character
      {"ab\xC3", kCodePageUtf8, 2},           // cut at the end
      {"ab\xE0\x80\x80", kCodePageUtf8, 2},   // an overlong form
      {"ab\xED\xA0\x80", kCodePageUtf8, 2},   // a surrogate
      {"\x95\x5c\x83\x5d", kCodePage932, 4},  // 表 and ゾ: second bytes that are '\' and ']'
      {"\xB1\xB2", kCodePage932, 2},          // half-width katakana: single bytes
      {"ab\x81", kCodePage932, 2},            // a lead byte that ends the text
      {"ab\x81\x7F", kCodePage932, 2},        // 7F is no second byte
      {"ab\x81\x20", kCodePage932, 2},
      {"\xE6\x97\xA5", kCodePage932, 3},  // UTF-8 日 in 932: E6 97 and the katakana A5
      {"\xE3\x81\x82", kCodePage932, 2},  // UTF-8 あ in 932: E3 81, then a lead byte at the end
      {"\x81\x40\xFC\xFC", kCodePage932, 4},
      {"\xA1\x40", kCodePage950, 2},  // Big5's first character
      {"\xA1\x80", kCodePage950, 0},  // 80 is no second byte of 950
      {"\x81\x80", kCodePage936, 2},  // but is one of 936
      {"\x81\x5B", kCodePage949, 0},  // 949 takes letters only below 81
      {"\x81\x41\x81\x61", kCodePage949, 4},
      {"\xFF\xFE\x80", kCodePageNone, 3},  // none takes every byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FirstInvalidByte(c.text.data(), c.text.size(), c.codePage), c.expected)
        << "code page " << c.codePage << ": " << c.text;
  }
}

}  // namespace
}  // namespace morvane::testing
