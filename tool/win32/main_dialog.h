// The Windows program's only window: the modal dialog of template 101 around the shared commands.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <cstddef>

namespace morvane {

// The calls that open modal windows, and the allocation of the result buffer: the product fills the table
// with the real calls, a test replaces them.
struct DialogCalls {
  BOOL(WINAPI* getOpenFileName)(LPOPENFILENAMEA record);
  BOOL(WINAPI* getSaveFileName)(LPOPENFILENAMEA record);
  int(WINAPI* messageBox)(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
  char* (*allocateOutput)(std::size_t size);
};

extern DialogCalls gDialogCalls;
// The real calls, to put back after a test.
DialogCalls RealDialogCalls();

// Style of every message box: OK button and the warning icon.
inline constexpr UINT kMessageStyle = MB_OK | MB_ICONWARNING;
// Flags of both file dialogs: resizable, no read-only box, ask before replacing.
inline constexpr DWORD kFileDialogFlags = OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
// The file-dialog record without the later extension fields (OPENFILENAME_SIZE_VERSION_400A): 76 bytes in a
// 32-bit program, 136 in this 64-bit one.
inline constexpr DWORD kFileDialogRecordSize =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);

// The module whose resources the dialog uses (template 101, icon group 128).
extern HINSTANCE gInstance;
// The dialog while it exists, else null.
extern HWND gDialog;

// The dialog procedure: answers 0 to every message.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the modal dialog and returns the value it ended with.
INT_PTR RunMainDialog(HINSTANCE instance);

}  // namespace morvane
