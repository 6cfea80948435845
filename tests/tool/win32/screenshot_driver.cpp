// Drives a running Morvane.exe from outside, as a user would: names the two files, presses Update, marks the
// result row, signals that the window is ready to be photographed, and closes it once the picture is taken.
//
// morvane_screenshot_driver <header path> <main path> <ready file> <done file>
// Exit status 0 when the window listed the run's rows and showed a result.
#include <windows.h>

#include <cstdio>

#include "tool/resources/resource_ids.h"

namespace {

constexpr DWORD kWaitMilliseconds = 60000;

HWND FindDialog() {
  for (DWORD waited = 0; waited < kWaitMilliseconds; waited += 100) {
    HWND dialog = FindWindowA("#32770", "Morvane");
    if (dialog != nullptr && IsWindowVisible(dialog)) return dialog;
    Sleep(100);
  }
  return nullptr;
}

bool WaitForFile(const char* path) {
  for (DWORD waited = 0; waited < kWaitMilliseconds; waited += 100) {
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(100);
  }
  return false;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 20000, &result);
  return static_cast<LRESULT>(result);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: morvane_screenshot_driver header main ready-file done-file\n");
    return 2;
  }
  HWND dialog = FindDialog();
  if (dialog == nullptr) {
    std::fprintf(stderr, "no Morvane window appeared\n");
    return 1;
  }
  SetDlgItemTextA(dialog, IDC_HEADER_PATH, argv[1]);
  SetDlgItemTextA(dialog, IDC_MAIN_PATH, argv[2]);
  Send(dialog, WM_COMMAND, MAKEWPARAM(IDC_UPDATE, BN_CLICKED), 0);
  HWND list = GetDlgItem(dialog, IDC_TAG_LIST);
  Send(list, LB_SETCURSEL, 0, 0);
  const LRESULT rows = Send(list, LB_GETCOUNT, 0, 0);
  const LRESULT shown = Send(GetDlgItem(dialog, IDC_VIEW), WM_GETTEXTLENGTH, 0, 0);
  std::printf("rows %ld, result %ld bytes\n", static_cast<long>(rows), static_cast<long>(shown));
  SetForegroundWindow(dialog);
  UpdateWindow(dialog);

  HANDLE ready =
      CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  const bool photographed = WaitForFile(argv[4]);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  if (!photographed) std::fprintf(stderr, "no picture was taken\n");
  return (rows > 28 && shown > 0 && photographed) ? 0 : 1;
}
