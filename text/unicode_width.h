// UTF-8 characters and their display widths, which field output counts in code page utf-8. The widths come
// from a table generated at build time from the Unicode Character Database (engine/make_width_table.py).
#pragma once

#include <cstdint>

namespace morvane {

// One character of UTF-8 text: a well-formed sequence of 1 to 4 bytes, or a byte that begins none, which is
// a character of its own, 1 column wide.
struct Utf8Character {
  uint32_t length;  // bytes
  uint32_t width;   // display columns: 0, 1 or 2
};

// Bytes of the well-formed UTF-8 sequence that begins at p and ends at or before end, or 0 when none does
// (also when p is end). Overlong forms, surrogates and code points above U+10FFFF are not well formed.
int WellFormedLength(const char* p, const char* end);

// The character at p, which must stand before end.
Utf8Character NextCharacter(const char* p, const char* end);

// Display columns of a code point: 2 for East Asian Wide and Fullwidth, 0 for marks, format characters and
// the joining Hangul Jamo, else 1.
uint32_t CodePointWidth(uint32_t codePoint);

// Display columns of `length` bytes of text.
uint32_t TextColumns(const char* text, uint32_t length);

// Where a column boundary falls in a text. A character of zero width belongs to the character before it, so
// the boundary lies after the zero-width characters that follow the last character it keeps.
struct ColumnBoundary {
  uint32_t before;  // bytes of the characters that end at or before the column
  uint32_t after;   // where the rest starts: past a wide character that the column cuts in two, else before
  bool splitsWide;  // a two-column character takes the columns on both sides of the boundary
};

// The boundary after `column` columns of `length` bytes of text; column 0 is the text's start. A column at
// or beyond the text's width gives its end.
ColumnBoundary FindColumn(const char* text, uint32_t length, uint32_t column);

// The Unicode version the width table was generated from, as "15.0.0".
const char* UnicodeVersion();

}  // namespace morvane
