// The active code page on Windows: the system's ANSI code page, with the lead bytes the system reports.
#include <windows.h>

#include "text/code_page_platform.h"
#include "text/text.h"

namespace morvane {

int DetectPlatformCodePage(int* codePage) {
  switch (GetACP()) {
    case 932:
      *codePage = kCodePage932;
      break;
    case 936:
      *codePage = kCodePage936;
      break;
    case 949:
      *codePage = kCodePage949;
      break;
    case 950:
      *codePage = kCodePage950;
      break;
    case 65001:
      *codePage = kCodePageUtf8;
      break;
    default:
      *codePage = kCodePageNone;
      break;
  }
  return 1;
}

int ActivatePlatformCodePage() {
  int codePage = kCodePageNone;
  const int result = DetectPlatformCodePage(&codePage);
  // The system's own table, also for double-byte code pages the tool has no table of. UTF-8 has no lead
  // bytes in that sense (its characters take up to 4 bytes), so it keeps the tool's own empty table.
  CPINFO information;
  if (codePage != kCodePageUtf8 && GetCPInfo(CP_ACP, &information) && information.MaxCharSize > 1) {
    SetActiveLeadBytes(codePage, information.LeadByte, MAX_LEADBYTES / 2);
  } else {
    SetActiveCodePage(codePage);
  }
  return result;
}

}  // namespace morvane
