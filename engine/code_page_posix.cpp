// The active code page on POSIX: MORVANE_CODEPAGE when set, else the locale's codeset.
#include <langinfo.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

#include "engine/text.h"

namespace morvane {

namespace {

struct CodesetMapping {
  const char* codeset;
  int codePage;
};

constexpr CodesetMapping kCodesets[] = {
    {"shift_jis", kCodePage932},   {"sjis", kCodePage932},   {"cp932", kCodePage932},
    {"windows-31j", kCodePage932}, {"gbk", kCodePage936},    {"gb2312", kCodePage936},
    {"cp936", kCodePage936},       {"euc-kr", kCodePage949}, {"cp949", kCodePage949},
    {"big5", kCodePage950},        {"cp950", kCodePage950},  {"utf-8", kCodePageUtf8},
    {"utf8", kCodePageUtf8},
};

}  // namespace

int DetectPlatformCodePage(int* codePage) {
  *codePage = kCodePageNone;
  const char* requested = std::getenv("MORVANE_CODEPAGE");
  if (requested != nullptr) return CodePageFromName(requested, codePage);

  std::setlocale(LC_CTYPE, "");
  const char* codeset = nl_langinfo(CODESET);
  if (codeset == nullptr) return 1;
  for (const CodesetMapping& known : kCodesets) {
    if (strcasecmp(codeset, known.codeset) == 0) {
      *codePage = known.codePage;
      break;
    }
  }
  return 1;
}

int ActivatePlatformCodePage() {
  int codePage = kCodePageNone;
  const int result = DetectPlatformCodePage(&codePage);
  SetActiveCodePage(codePage);
  return result;
}

}  // namespace morvane
