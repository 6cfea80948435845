// The locale's character set and conversions between character sets on POSIX (iconv). The file layer, the
// command line and the Linux window convert paths, arguments and texts through this one unit.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <string>

namespace morvane {

// The codeset of the locale's LC_CTYPE, with UTF-8 standing in for plain ASCII (whose file names and
// arguments are in practice UTF-8).
const char* LocaleCharset();

bool IsUtf8Charset(const char* charset);

// One iconv conversion descriptor for the life of the object.
class CharsetConverter {
 public:
  CharsetConverter(const char* to, const char* from);
  ~CharsetConverter();
  CharsetConverter(const CharsetConverter&) = delete;
  CharsetConverter& operator=(const CharsetConverter&) = delete;

  bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  // When not Valid: whether the system lacked the memory to open it, rather than the conversion itself.
  bool OutOfMemory() const { return outOfMemory_; }

  // iconv(3) on the descriptor.
  size_t Convert(char** in, size_t* inLeft, char** out, size_t* outLeft);
  // Back to the initial shift state, after an error.
  void Reset();

 private:
  iconv_t handle_;
  bool outOfMemory_ = false;
};

// Converts a NUL-terminated text. 1 on success; 0 when a byte sequence is invalid or has no counterpart in
// `to`, or the conversion is unknown. A text of ASCII alone is taken as it is: every character set the tool
// meets writes ASCII alike. A system out of memory throws std::bad_alloc, so that it is reported as
// what it is and never as an unreadable file or a bad argument.
int ConvertText(const char* from, const char* to, const char* text, std::string* converted);
// The same into a buffer of `size` bytes, terminator included; 0 also when the result does not fit.
int ConvertText(const char* from, const char* to, const char* text, char* out, size_t size);

}  // namespace morvane
