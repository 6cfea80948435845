// morvane-cli on Windows: arguments arrive in the ANSI code page and the program's texts are compiled into
// code page 932, so only a --codepage other than the ANSI one asks for a conversion of arguments, and only
// utf-8 one of the program's texts.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <vector>

#include "files/text_files.h"
#include "text/text.h"
#include "tool/cli/cli_platform.h"

namespace morvane {

namespace {

// Ctrl+C, Ctrl+Break or a closed console end the program as usual, but not before a save in progress has
// taken its temporary file away.
BOOL WINAPI OnConsoleEnd(DWORD) {
  RemoveUnfinishedWrite();
  return FALSE;
}

// Converts a NUL-terminated UTF-16 text into a code page; 0 when a character has no form there. UTF-8 holds
// every character, and the system refuses the flags and the lossy flag for it.
int WideToCodePage(const wchar_t* wide, UINT codePage, std::string* converted) {
  const bool utf8 = codePage == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  const int length =
      WideCharToMultiByte(codePage, flags, wide, -1, nullptr, 0, nullptr, utf8 ? nullptr : &lossy);
  if (length <= 0 || lossy) return 0;
  std::vector<char> bytes(static_cast<size_t>(length));
  WideCharToMultiByte(codePage, flags, wide, -1, bytes.data(), length, nullptr, nullptr);
  *converted = bytes.data();
  return 1;
}

}  // namespace

unsigned OnlineProcessors() {
  // The records run in this process, one after the other.
  return 1;
}

void PrepareStreams() {
  _setmode(_fileno(stdout), _O_BINARY);
  SetConsoleCtrlHandler(OnConsoleEnd, TRUE);
}

int ArgumentToCodePage(const char* argument, std::string* converted) {
  const int target = ActiveCodePage();
  if (target == kCodePageNone || static_cast<UINT>(target) == GetACP() || *argument == '\0') {
    *converted = argument;
    return 1;
  }
  const int wideLength = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, argument, -1, nullptr, 0);
  if (wideLength <= 0) return 0;
  std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, argument, -1, wide.data(), wideLength);
  return WideToCodePage(wide.data(), static_cast<UINT>(target), converted);
}

std::string ArgumentForMessage(const char* argument) {
  return argument;
}

std::string ProgramTextForTerminal(const char* text) {
  return text;
}

std::string DocumentsFolder() {
  return "docs";
}

std::string CodePagePathForMessage(const char* path) {
  return CodePageTextForMessage(path);
}

std::string ProgramTextForCodePage(const char* text) {
  if (ActiveCodePage() != kCodePageUtf8) return text;
  const int wideLength = MultiByteToWideChar(kCodePage932, 0, text, -1, nullptr, 0);
  if (wideLength <= 0) return text;
  std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
  MultiByteToWideChar(kCodePage932, 0, text, -1, wide.data(), wideLength);
  std::string converted;
  return WideToCodePage(wide.data(), CP_UTF8, &converted) ? converted : std::string(text);
}

}  // namespace morvane
