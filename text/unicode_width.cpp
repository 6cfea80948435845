#include "text/unicode_width.h"

#include <cstring>

namespace morvane {

namespace {

// Generated: kUnicodeVersionText, kWidthBlockOf (the width block of each 256 code points) and kWidthBlocks
// (2 bits per code point, the lowest bits first).
#include "unicode_width_table.inc"

static_assert(sizeof kWidthBlockOf == 0x110000 / 256, "one entry per 256 code points");

// No character below U+0300 is wide or of zero width (SOFT HYPHEN counts 1).
constexpr uint32_t kFirstTableCodePoint = 0x300;

inline bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

inline uint32_t TableWidth(uint32_t codePoint) {
  if (codePoint < kFirstTableCodePoint) return 1;
  const uint8_t packed = kWidthBlocks[kWidthBlockOf[codePoint >> 8]][(codePoint & 0xFF) >> 2];
  return (packed >> ((codePoint & 3) * 2)) & 3u;
}

// The character at p (before end); `length` 1 and `width` 1 for a byte that begins no well-formed sequence.
inline Utf8Character Decode(const unsigned char* p, const unsigned char* end) {
  const uint32_t b0 = p[0];
  if (b0 < 0x80) return {1, 1};
  const auto left = end - p;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    if (left >= 2 && IsContinuation(p[1])) return {2, TableWidth(((b0 & 0x1F) << 6) | (p[1] & 0x3Fu))};
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    // E0 needs A0..BF after it (no overlong form), ED 80..9F (no surrogate).
    const uint32_t low = b0 == 0xE0 ? 0xA0 : 0x80;
    const uint32_t high = b0 == 0xED ? 0x9F : 0xBF;
    if (left >= 3 && p[1] >= low && p[1] <= high && IsContinuation(p[2])) {
      return {3, TableWidth(((b0 & 0x0F) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu))};
    }
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    // F0 needs 90..BF after it (no overlong form), F4 80..8F (nothing above U+10FFFF).
    const uint32_t low = b0 == 0xF0 ? 0x90 : 0x80;
    const uint32_t high = b0 == 0xF4 ? 0x8F : 0xBF;
    if (left >= 4 && p[1] >= low && p[1] <= high && IsContinuation(p[2]) && IsContinuation(p[3])) {
      return {4, TableWidth(((b0 & 0x07) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) |
                            (p[3] & 0x3Fu))};
    }
  }
  return {1, 1};
}

inline const unsigned char* Bytes(const char* p) {
  return reinterpret_cast<const unsigned char*>(p);
}

// Whether the 8 bytes at p are all ASCII, each one character of 1 column.
inline bool EightAscii(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return (word & 0x8080808080808080ull) == 0;
}

}  // namespace

int WellFormedLength(const char* p, const char* end) {
  if (p >= end) return 0;
  const Utf8Character character = Decode(Bytes(p), Bytes(end));
  if (character.length == 1 && static_cast<unsigned char>(*p) >= 0x80) return 0;
  return static_cast<int>(character.length);
}

Utf8Character NextCharacter(const char* p, const char* end) {
  return Decode(Bytes(p), Bytes(end));
}

uint32_t CodePointWidth(uint32_t codePoint) {
  if (codePoint > 0x10FFFF) return 1;
  return TableWidth(codePoint);
}

uint32_t TextColumns(const char* text, uint32_t length) {
  const unsigned char* p = Bytes(text);
  const unsigned char* const end = p + length;
  uint32_t columns = 0;
  while (p < end) {
    if (end - p >= 8 && EightAscii(reinterpret_cast<const char*>(p))) {
      p += 8;
      columns += 8;
      continue;
    }
    const Utf8Character character = Decode(p, end);
    p += character.length;
    columns += character.width;
  }
  return columns;
}

ColumnBoundary FindColumn(const char* text, uint32_t length, uint32_t column) {
  if (column == 0) return {0, 0, false};
  const unsigned char* const start = Bytes(text);
  const unsigned char* const end = start + length;
  const unsigned char* p = start;
  uint32_t columns = 0;
  while (p < end && columns < column) {
    if (end - p >= 8 && column - columns >= 8 && EightAscii(reinterpret_cast<const char*>(p))) {
      p += 8;
      columns += 8;
      continue;
    }
    const Utf8Character character = Decode(p, end);
    if (columns + character.width > column) {
      // A two-column character over the boundary; its own zero-width characters go with it.
      const unsigned char* rest = p + character.length;
      while (rest < end) {
        const Utf8Character next = Decode(rest, end);
        if (next.width != 0) break;
        rest += next.length;
      }
      return {static_cast<uint32_t>(p - start), static_cast<uint32_t>(rest - start), true};
    }
    p += character.length;
    columns += character.width;
  }
  // The zero-width characters after the last character kept belong to it.
  while (p < end) {
    const Utf8Character next = Decode(p, end);
    if (next.width != 0) break;
    p += next.length;
  }
  const uint32_t offset = static_cast<uint32_t>(p - start);
  return {offset, offset, false};
}

const char* UnicodeVersion() {
  return kUnicodeVersionText;
}

}  // namespace morvane
