// The active code page on POSIX: MORVANE_CODEPAGE when set, else the locale's codeset.
#include <langinfo.h>

#include <clocale>
#include <cstdlib>

#include "text/code_page_platform.h"
#include "text/locale_charset_posix.h"
#include "text/text.h"

namespace morvane {

int DetectPlatformCodePage(int* codePage) {
  *codePage = kCodePageNone;
  const char* requested = std::getenv("MORVANE_CODEPAGE");
  if (requested != nullptr) return CodePageFromName(requested, codePage);

  // The codeset itself, not LocaleCharset(): a plain ASCII locale has no code page of its own, nor has a
  // single-byte one, and these leave the code page without lead bytes.
  std::setlocale(LC_CTYPE, "");
  const char* codeset = nl_langinfo(CODESET);
  if (codeset != nullptr) CodePageFromName(codeset, codePage);
  return 1;
}

int ActivatePlatformCodePage() {
  int codePage = kCodePageNone;
  const int result = DetectPlatformCodePage(&codePage);
  SetActiveCodePage(codePage);
  return result;
}

int Utf8ToActiveCodePage(const char* utf8, std::string* converted) {
  const char* charset = ActiveCodePageCharset();
  return charset != nullptr && ConvertText("UTF-8", charset, utf8, converted);
}

}  // namespace morvane
