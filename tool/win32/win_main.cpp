// Entry point of Morvane.exe: the system's code page, then the dialog until it ends.
#include <windows.h>

#include "text/text.h"
#include "tool/win32/main_dialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  morvane::StartCodePage(nullptr);
  return static_cast<int>(morvane::RunMainDialog(instance));
}
