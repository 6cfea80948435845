// Messages on Windows: the program's texts and the console are in the ANSI code page.
#include <windows.h>

#include <string>
#include <vector>

#include "text/text.h"
#include "tool/message_text.h"

namespace morvane {

Language PreferredMessageLanguage() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::kJapanese
                                                                    : Language::kEnglish;
}

std::string CodePageTextForMessage(const char* text) {
  // The program's texts and the console are in the ANSI code page; only another --codepage needs converting.
  const int source = ActiveCodePage();
  if (source == kCodePageNone || static_cast<UINT>(source) == GetACP() || *text == '\0') return text;
  const int wideLength = MultiByteToWideChar(static_cast<UINT>(source), 0, text, -1, nullptr, 0);
  if (wideLength <= 0) return text;
  std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
  MultiByteToWideChar(static_cast<UINT>(source), 0, text, -1, wide.data(), wideLength);
  const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return text;
  std::vector<char> bytes(static_cast<size_t>(length));
  WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, bytes.data(), length, nullptr, nullptr);
  return bytes.data();
}

std::string PathForMessage(const char* formed) {
  return CodePageTextForMessage(formed);
}

}  // namespace morvane
