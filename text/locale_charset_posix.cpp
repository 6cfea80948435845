#include "text/locale_charset_posix.h"

#include <langinfo.h>
#include <strings.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace morvane {

const char* LocaleCharset() {
  const char* codeset = nl_langinfo(CODESET);
  if (codeset == nullptr || *codeset == '\0' || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 ||
      std::strcmp(codeset, "ASCII") == 0) {
    return "UTF-8";
  }
  return codeset;
}

bool IsUtf8Charset(const char* charset) {
  return strcasecmp(charset, "UTF-8") == 0 || strcasecmp(charset, "UTF8") == 0;
}

CharsetConverter::CharsetConverter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
  if (Valid()) return;
  // Loading a conversion module can fail for want of memory with EINVAL as well; a second attempt tells a
  // passing shortage from a conversion the system does not have.
  if (errno == EINVAL) handle_ = iconv_open(to, from);
  outOfMemory_ = !Valid() && errno != EINVAL;
}

CharsetConverter::~CharsetConverter() {
  if (Valid()) iconv_close(handle_);
}

size_t CharsetConverter::Convert(char** in, size_t* inLeft, char** out, size_t* outLeft) {
  return iconv(handle_, in, inLeft, out, outLeft);
}

void CharsetConverter::Reset() {
  iconv(handle_, nullptr, nullptr, nullptr, nullptr);
}

namespace {

CharsetConverter* Open(CharsetConverter& converter) {
  if (converter.OutOfMemory()) throw std::bad_alloc();
  return converter.Valid() ? &converter : nullptr;
}

}  // namespace

namespace {

// Whether every byte of the text is ASCII, which each character set the tool converts between (the locale's,
// UTF-8 and the double-byte code pages) writes alike: such a text needs no converter (opening one loads a
// conversion module, the better part of a small run).
bool PlainAscii(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    if (*p >= 0x80) return false;
  }
  return true;
}

}  // namespace

int ConvertText(const char* from, const char* to, const char* text, std::string* converted) {
  if (PlainAscii(text)) {
    *converted = text;
    return 1;
  }
  CharsetConverter converter(to, from);
  if (Open(converter) == nullptr) return 0;
  char* in = const_cast<char*>(text);
  size_t inLeft = std::strlen(text);
  std::string result;
  char chunk[256];
  for (;;) {
    char* out = chunk;
    size_t outLeft = sizeof chunk;
    // The final call with no input writes what a stateful encoding needs to end in its initial state.
    const size_t status = inLeft != 0 ? converter.Convert(&in, &inLeft, &out, &outLeft)
                                      : converter.Convert(nullptr, nullptr, &out, &outLeft);
    result.append(chunk, sizeof chunk - outLeft);
    if (status == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      return 0;
    }
    if (inLeft == 0 && out == chunk) break;
  }
  *converted = std::move(result);
  return 1;
}

int ConvertText(const char* from, const char* to, const char* text, char* out, size_t size) {
  if (PlainAscii(text)) {
    const size_t length = std::strlen(text);
    if (length >= size) return 0;
    std::memcpy(out, text, length + 1);
    return 1;
  }
  CharsetConverter converter(to, from);
  if (Open(converter) == nullptr || size == 0) return 0;
  char* in = const_cast<char*>(text);
  size_t inLeft = std::strlen(text);
  size_t outLeft = size - 1;
  if (converter.Convert(&in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) return 0;
  if (converter.Convert(nullptr, nullptr, &out, &outLeft) == static_cast<size_t>(-1)) return 0;
  *out = '\0';
  return 1;
}

}  // namespace morvane
