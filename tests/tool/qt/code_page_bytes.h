// Test helper: a UTF-8 text in a code page's bytes, converted by iconv itself rather than by the code under
// test.
#pragma once

#include <iconv.h>

#include <string>

namespace morvane {

inline std::string InCodePage(const char* charset, const std::string& utf8) {
  iconv_t handle = iconv_open(charset, "UTF-8");
  if (handle == reinterpret_cast<iconv_t>(-1)) return std::string();
  std::string in = utf8;
  std::string out(in.size() * 4 + 4, '\0');
  char* from = in.data();
  size_t fromLeft = in.size();
  char* to = out.data();
  size_t toLeft = out.size();
  size_t result = iconv(handle, &from, &fromLeft, &to, &toLeft);
  iconv_close(handle);
  if (result == static_cast<size_t>(-1)) return std::string();
  out.resize(static_cast<size_t>(to - out.data()));
  return out;
}

inline std::string Sjis(const std::string& utf8) {
  return InCodePage("CP932", utf8);
}

}  // namespace morvane
