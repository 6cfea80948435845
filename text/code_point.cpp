// Unicode characters into the active code page: UTF-8 by hand, the double-byte code pages through the
// platform's conversions.
#include "text/code_point.h"

#include "text/code_page_platform.h"
#include "text/text.h"

namespace morvane {

namespace {

// The UTF-8 bytes of a code point that is a character, or an empty text.
std::string Utf8Of(uint32_t codePoint) {
  std::string bytes;
  if (codePoint < 0x80) {
    bytes += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    bytes += static_cast<char>(0xC0 | (codePoint >> 6));
    bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    bytes += static_cast<char>(0xE0 | (codePoint >> 12));
    bytes += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    bytes += static_cast<char>(0xF0 | (codePoint >> 18));
    bytes += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    bytes += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
  return bytes;
}

}  // namespace

int AppendCodePoint(uint32_t codePoint, std::string* out) {
  if (codePoint == 0 || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
  switch (ActiveCodePage()) {
    case kCodePageUtf8:
      *out += Utf8Of(codePoint);
      return 1;
    case kCodePageNone:
      if (codePoint >= 0x80) return 0;
      *out += static_cast<char>(codePoint);
      return 1;
    default:
      break;
  }
  if (codePoint < 0x80) {
    *out += static_cast<char>(codePoint);
    return 1;
  }
  std::string converted;
  if (!Utf8ToActiveCodePage(Utf8Of(codePoint).c_str(), &converted) || converted.empty()) return 0;
  *out += converted;
  return 1;
}

}  // namespace morvane
