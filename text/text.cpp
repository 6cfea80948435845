#include "text/text.h"

#include <cstring>

#include "text/code_page_platform.h"

namespace morvane {

unsigned char gLeadByteTable[256] = {};

namespace {

int gActiveCodePage = kCodePageNone;

struct ByteRange {
  unsigned char first;
  unsigned char last;
};

void FillLeadBytes(const ByteRange* ranges, int count) {
  std::memset(gLeadByteTable, 0, sizeof gLeadByteTable);
  for (int i = 0; i < count; ++i) {
    for (int b = ranges[i].first; b <= ranges[i].last; ++b) gLeadByteTable[b] = 1;
  }
}

struct CodePageName {
  const char* name;
  int codePage;
};

// The names --codepage and MORVANE_CODEPAGE take, which are also the locale codesets the tool knows.
constexpr CodePageName kCodePageNames[] = {
    {"932", kCodePage932},       {"cp932", kCodePage932},  {"shift_jis", kCodePage932},
    {"shift-jis", kCodePage932}, {"sjis", kCodePage932},   {"windows-31j", kCodePage932},
    {"936", kCodePage936},       {"cp936", kCodePage936},  {"gbk", kCodePage936},
    {"gb2312", kCodePage936},    {"949", kCodePage949},    {"cp949", kCodePage949},
    {"euc-kr", kCodePage949},    {"950", kCodePage950},    {"cp950", kCodePage950},
    {"big5", kCodePage950},      {"utf-8", kCodePageUtf8}, {"utf8", kCodePageUtf8},
    {"65001", kCodePageUtf8},    {"none", kCodePageNone},
};

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

int SetActiveCodePage(int codePage) {
  static constexpr ByteRange k932[] = {{0x81, 0x9F}, {0xE0, 0xFC}};
  static constexpr ByteRange kWide[] = {{0x81, 0xFE}};
  switch (codePage) {
    case kCodePage932:
      FillLeadBytes(k932, 2);
      break;
    case kCodePage936:
    case kCodePage949:
    case kCodePage950:
      FillLeadBytes(kWide, 1);
      break;
    case kCodePageNone:
    case kCodePageUtf8:
      FillLeadBytes(nullptr, 0);
      break;
    default:
      return 0;
  }
  gActiveCodePage = codePage;
  return 1;
}

void SetActiveLeadBytes(int codePage, const unsigned char* pairs, int pairCount) {
  std::memset(gLeadByteTable, 0, sizeof gLeadByteTable);
  for (int i = 0; i < pairCount && pairs[2 * i] != 0; ++i) {
    for (int b = pairs[2 * i]; b <= pairs[2 * i + 1]; ++b) gLeadByteTable[b] = 1;
  }
  gActiveCodePage = codePage;
}

int StartCodePage(const char* requested) {
  if (requested == nullptr) return ActivatePlatformCodePage();
  int codePage = kCodePageNone;
  const int known = CodePageFromName(requested, &codePage);
  SetActiveCodePage(codePage);
  return known;
}

int ActiveCodePage() {
  return gActiveCodePage;
}

const char* ActiveCodePageCharset() {
  switch (gActiveCodePage) {
    case kCodePage932:
      return "CP932";
    case kCodePage936:
      return "CP936";
    case kCodePage949:
      return "CP949";
    case kCodePage950:
      return "CP950";
    case kCodePageUtf8:
      return "UTF-8";
    default:
      return nullptr;
  }
}

int CodePageFromName(const char* name, int* codePage) {
  for (const CodePageName& known : kCodePageNames) {
    const char* a = name;
    const char* b = known.name;
    while (*a != '\0' && AsciiLower(*a) == *b) ++a, ++b;
    if (*a == '\0' && *b == '\0') {
      *codePage = known.codePage;
      return 1;
    }
  }
  return 0;
}

void BoundedCopy(char* destination, const char* source, uint32_t n) {
  uint32_t i = 0;
  while (i < n) {
    const char c = source[i];
    if (c == '\0') break;
    if (IsLeadByte(static_cast<unsigned char>(c))) {
      if (i + 1 == n) break;  // a lead byte cannot be the last byte: it becomes 0
      if (source[i + 1] == '\0') break;
      destination[i] = c;
      destination[i + 1] = source[i + 1];
      i += 2;
    } else {
      destination[i++] = c;
    }
  }
  if (i < n) std::memset(destination + i, 0, n - i);
}

int NamesEqual(const char* a, const char* b) {
  for (;;) {
    const int lengthA = CharLength(a);
    const int lengthB = CharLength(b);
    // A lead byte right before the terminator reads as the terminator.
    const bool endA =
        *a == '\0' || (lengthA == 1 && IsLeadByte(static_cast<unsigned char>(*a)) && a[1] == '\0');
    const bool endB =
        *b == '\0' || (lengthB == 1 && IsLeadByte(static_cast<unsigned char>(*b)) && b[1] == '\0');
    if (endA || endB) return endA && endB;
    if (lengthA != lengthB) return 0;
    if (a[0] != b[0] || (lengthA == 2 && a[1] != b[1])) return 0;
    a += lengthA;
    b += lengthB;
  }
}

uint32_t EffectiveNameLength(const char* name) {
  uint32_t i = 0;
  while (name[i] != '\0') {
    if (IsLeadByte(static_cast<unsigned char>(name[i])) && name[i + 1] == '\0') break;
    i += CharLength(name + i);
  }
  return i;
}

int KeywordEquals(const char* text, const char* keyword) {
  for (;;) {
    const unsigned char c = static_cast<unsigned char>(*text);
    if (IsLeadByte(c)) {
      if (text[1] != '\0') return 0;  // a double-byte character matches no keyword
      return *keyword == '\0';        // a lone lead byte at the end is the end
    }
    if (AsciiLower(static_cast<char>(c)) != *keyword) return 0;
    if (c == '\0') return 1;
    ++text;
    ++keyword;
  }
}

const char* FindLastSeparator(const char* text) {
  const char* last = nullptr;
  while (*text != '\0') {
    if (*text == '\\' || *text == '/') last = text;
    text += CharLength(text);
  }
  return last;
}

uint32_t ParseNumber(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p == ' ' || (*p >= 0x09 && *p <= 0x0D)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  uint32_t base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  } else if (p[0] == '0') {
    base = 8;
  }
  uint64_t value = 0;
  bool saturated = false;
  for (;; ++p) {
    uint32_t digit;
    if (*p >= '0' && *p <= '9') {
      digit = *p - '0';
    } else if (*p >= 'a' && *p <= 'z') {
      digit = *p - 'a' + 10;
    } else if (*p >= 'A' && *p <= 'Z') {
      digit = *p - 'A' + 10;
    } else {
      break;
    }
    if (digit >= base) break;
    if (!saturated) {
      value = value * base + digit;
      if (value > 0xFFFFFFFFull) saturated = true;
    }
  }
  // Like strtoul: an out-of-range value gives the largest value whatever its sign.
  if (saturated) return 0xFFFFFFFFu;
  const uint32_t result = static_cast<uint32_t>(value);
  return negative ? 0u - result : result;
}

}  // namespace morvane
