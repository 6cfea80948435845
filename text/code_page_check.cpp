#include "text/code_page_check.h"

#include <cstdint>
#include <cstring>

#include "text/text.h"
#include "text/unicode_width.h"

namespace morvane {

namespace {

struct ByteRange {
  unsigned char first;
  unsigned char last;
};

// The lead bytes and second bytes of one double-byte code page, up to three ranges each.
struct DoubleByteTable {
  int codePage;
  ByteRange lead[2];
  ByteRange second[3];
};

constexpr DoubleByteTable kTables[] = {
    {kCodePage932, {{0x81, 0x9F}, {0xE0, 0xFC}}, {{0x40, 0x7E}, {0x80, 0xFC}, {0, 0}}},
    {kCodePage936, {{0x81, 0xFE}, {0, 0}}, {{0x40, 0x7E}, {0x80, 0xFE}, {0, 0}}},
    {kCodePage949, {{0x81, 0xFE}, {0, 0}}, {{0x41, 0x5A}, {0x61, 0x7A}, {0x81, 0xFE}}},
    {kCodePage950, {{0x81, 0xFE}, {0, 0}}, {{0x40, 0x7E}, {0xA1, 0xFE}, {0, 0}}},
};

bool InRanges(unsigned char byte, const ByteRange* ranges, int count) {
  for (int i = 0; i < count; ++i) {
    if (ranges[i].first != 0 && byte >= ranges[i].first && byte <= ranges[i].last) return true;
  }
  return false;
}

// Skips the ASCII bytes at p, eight at a time where it can.
const char* SkipAscii(const char* p, const char* end) {
  while (end - p >= 8) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if ((word & 0x8080808080808080ull) != 0) break;
    p += 8;
  }
  while (p < end && static_cast<unsigned char>(*p) < 0x80) ++p;
  return p;
}

size_t FirstInvalidUtf8(const char* text, const char* end) {
  const char* p = text;
  for (;;) {
    p = SkipAscii(p, end);
    if (p == end) return static_cast<size_t>(end - text);
    const int length = WellFormedLength(p, end);
    if (length == 0) return static_cast<size_t>(p - text);
    p += length;
  }
}

// `lead` and `second` are flags per byte value; second null: any byte but none at all.
size_t FirstInvalidDoubleByte(const char* text, const char* end, const bool (&lead)[256],
                              const bool* second) {
  const char* p = text;
  for (;;) {
    p = SkipAscii(p, end);
    if (p == end) return static_cast<size_t>(end - text);
    if (!lead[static_cast<unsigned char>(*p)]) {
      ++p;
      continue;
    }
    if (end - p < 2 || (second != nullptr && !second[static_cast<unsigned char>(p[1])]))
      return static_cast<size_t>(p - text);
    p += 2;
  }
}

}  // namespace

size_t FirstInvalidByte(const char* text, size_t length, int codePage) {
  const char* const end = text + length;
  if (codePage == kCodePageNone) return length;
  if (codePage == kCodePageUtf8) return FirstInvalidUtf8(text, end);
  bool lead[256] = {};
  bool second[256] = {};
  for (const DoubleByteTable& table : kTables) {
    if (table.codePage != codePage) continue;
    for (int b = 0; b < 256; ++b) {
      lead[b] = InRanges(static_cast<unsigned char>(b), table.lead, 2);
      second[b] = InRanges(static_cast<unsigned char>(b), table.second, 3);
    }
    return FirstInvalidDoubleByte(text, end, lead, second);
  }
  if (codePage != ActiveCodePage()) return length;
  for (int b = 0; b < 256; ++b) lead[b] = IsLeadByte(static_cast<unsigned char>(b));
  return FirstInvalidDoubleByte(text, end, lead, nullptr);
}

}  // namespace morvane
