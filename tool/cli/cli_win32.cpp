// morvane-cli on Windows: arguments arrive in the ANSI code page and the program's texts are compiled into
// code page 932, so only a --codepage other than the ANSI one asks for a conversion.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <vector>

#include "engine/text.h"
#include "files/text_files.h"
#include "tool/cli/cli_platform.h"

namespace morvane {

namespace {

// Ctrl+C, Ctrl+Break or a closed console end the program as usual, but not before a save in progress has
// taken its temporary file away.
BOOL WINAPI OnConsoleEnd(DWORD) {
  RemoveUnfinishedWrite();
  return FALSE;
}

}  // namespace

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
  BOOL lossy = FALSE;
  const int length = WideCharToMultiByte(static_cast<UINT>(target), WC_NO_BEST_FIT_CHARS, wide.data(), -1,
                                         nullptr, 0, nullptr, &lossy);
  if (length <= 0 || lossy) return 0;
  std::vector<char> bytes(static_cast<size_t>(length));
  WideCharToMultiByte(static_cast<UINT>(target), WC_NO_BEST_FIT_CHARS, wide.data(), -1, bytes.data(), length,
                      nullptr, nullptr);
  *converted = bytes.data();
  return 1;
}

std::string ProgramTextForTerminal(const char* text) {
  return text;
}

std::string ProgramTextForCodePage(const char* text) {
  return text;
}

}  // namespace morvane
