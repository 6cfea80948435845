// The active code page on POSIX: MORVANE_CODEPAGE when set, else the locale's codeset.
#include <clocale>
#include <cstdlib>

#include "engine/code_page_platform.h"
#include "engine/locale_charset_posix.h"
#include "engine/text.h"

namespace morvane {

int DetectPlatformCodePage(int* codePage) {
  *codePage = kCodePageNone;
  const char* requested = std::getenv("MORVANE_CODEPAGE");
  if (requested != nullptr) return CodePageFromName(requested, codePage);

  // A codeset the tool has no code page for (UTF-8, the single-byte ones) leaves it without lead bytes.
  std::setlocale(LC_CTYPE, "");
  CodePageFromName(LocaleCharset(), codePage);
  return 1;
}

int ActivatePlatformCodePage() {
  int codePage = kCodePageNone;
  const int result = DetectPlatformCodePage(&codePage);
  SetActiveCodePage(codePage);
  return result;
}

}  // namespace morvane
