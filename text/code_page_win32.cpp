// The active code page on Windows: the system's ANSI code page, with the lead bytes the system reports.
#include <windows.h>

#include <vector>

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

int Utf8ToActiveCodePage(const char* utf8, std::string* converted) {
  const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
  if (wideLength <= 0) return 0;
  std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide.data(), wideLength);
  const UINT codePage = static_cast<UINT>(ActiveCodePage());
  BOOL lossy = FALSE;
  const int length =
      WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), -1, nullptr, 0, nullptr, &lossy);
  if (length <= 0 || lossy) return 0;
  std::vector<char> bytes(static_cast<size_t>(length));
  WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), -1, bytes.data(), length, nullptr,
                      nullptr);
  *converted = bytes.data();
  return 1;
}

}  // namespace morvane
