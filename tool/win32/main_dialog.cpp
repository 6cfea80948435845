// The dialog binds its controls to the shared commands; every decision is made in tool/commands.
#include "tool/win32/main_dialog.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "text/text.h"
#include "files/text_files.h"
#include "tool/commands.h"
#include "tool/resources/resource_ids.h"
#include "tool/update_run.h"

namespace morvane {

namespace {

// GetDlgItemTextA size: 258 bytes of path and the terminator.
constexpr int kPathTextSize = 259;
// The view shows a whole result.
constexpr WPARAM kViewTextLimit = kTextBufferSize;

char* AllocateOutput(std::size_t size) {
  return new (std::nothrow) char[size];
}

HFONT gViewFont = nullptr;
CommandState gState;

void ShowMessage(const char* text) {
  gDialogCalls.messageBox(gDialog, text, kErrorCaption, kMessageStyle);
}

// The windows show a message's fixed text alone.
void ShowToolMessage(const ToolMessage& message) {
  ShowMessage(message.text);
}

LRESULT SendItem(int id, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendMessageA(GetDlgItem(gDialog, id), message, wParam, lParam);
}

void SetViewText(const char* text) {
  SendItem(IDC_VIEW, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// A file-dialog filter: label and pattern pairs, each NUL-terminated, and a closing NUL.
class FilterText {
 public:
  void Add(const char* text) {
    std::size_t length = std::strlen(text) + 1;
    std::memcpy(text_ + used_, text, length);
    used_ += length;
    text_[used_] = '\0';
  }
  const char* Text() const { return text_; }

 private:
  char text_[128] = {};
  std::size_t used_ = 0;
};

void FillRecord(OPENFILENAMEA& record, const char* filter, char* path) {
  std::memset(&record, 0, sizeof record);
  record.lStructSize = kFileDialogRecordSize;
  record.hwndOwner = gDialog;
  record.lpstrFilter = filter;
  record.lpstrFile = path;
  record.nMaxFile = kPathBufferSize;
  record.Flags = kFileDialogFlags;
}

void OnInitDialog(HWND dialog) {
  gDialog = dialog;
  if (gViewFont == nullptr) {
    gViewFont =
        CreateFontA(16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "ＭＳ ゴシック");
  }
  FindModuleDirectory();
  ResetBaseDirectory();
  OutputBuffer = gDialogCalls.allocateOutput(kTextBufferSize);
  if (OutputBuffer == nullptr) {
    ShowMessage(kNoMemory);
    EndDialog(dialog, 0);
    return;
  }
  gState = CommandState{};
  HANDLE bigIcon = LoadImageA(gInstance, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON, 32, 32, 0);
  SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
  HANDLE smallIcon = LoadImageA(gInstance, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON, 16, 16, 0);
  SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
  // Room for a whole result in the view (the edit control's default limit is far smaller).
  SendItem(IDC_VIEW, EM_SETLIMITTEXT, kViewTextLimit, 0);
  SendItem(IDC_VIEW, WM_SETFONT, reinterpret_cast<WPARAM>(gViewFont), TRUE);
}

void OnUpdate() {
  char headerPath[kPathBufferSize] = {};
  char mainPath[kPathBufferSize] = {};
  GetDlgItemTextA(gDialog, IDC_HEADER_PATH, headerPath, kPathTextSize);
  GetDlgItemTextA(gDialog, IDC_MAIN_PATH, mainPath, kPathTextSize);
  std::vector<std::string> tagNames;
  if (!UpdateCommand(gState, headerPath, mainPath, ShowToolMessage, &tagNames)) return;
  SendItem(IDC_TAG_LIST, LB_RESETCONTENT, 0, 0);
  for (const std::string& name : tagNames) {
    SendItem(IDC_TAG_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  // The list sorts the names; the result row goes first whatever the sort order.
  SendItem(IDC_TAG_LIST, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(kResultRowText));
  SetViewText(OutputBuffer);
}

void OnSave() {
  char path[kPathBufferSize] = {};
  FilterText filter;
  filter.Add(kTextFilterLabel);
  filter.Add(kTextFilterPattern);
  OPENFILENAMEA record;
  FillRecord(record, filter.Text(), path);
  record.lpstrDefExt = kDefaultExtension;
  if (!gDialogCalls.getSaveFileName(&record)) return;
  // A whole Update, with its messages and refresh, before the write.
  SendMessageA(gDialog, WM_COMMAND, IDC_UPDATE, 0);
  SaveCommand(gState, path, ShowToolMessage);
}

void OnOpen(int boxId) {
  char path[kPathBufferSize] = {};
  GetDlgItemTextA(gDialog, boxId, path, kPathTextSize);
  FilterText filter;
  filter.Add(kTextFilterLabel);
  filter.Add(kTextFilterPattern);
  filter.Add(kAllFilterLabel);
  filter.Add(kAllFilterPattern);
  OPENFILENAMEA record;
  FillRecord(record, filter.Text(), path);
  if (gDialogCalls.getOpenFileName(&record)) SetDlgItemTextA(gDialog, boxId, path);
}

void OnSelectionChange() {
  LRESULT index = SendItem(IDC_TAG_LIST, LB_GETCURSEL, 0, 0);
  char rowText[kPathBufferSize] = {};
  if (index > 0) {
    LRESULT length = SendItem(IDC_TAG_LIST, LB_GETTEXTLEN, index, 0);
    if (length >= 0 && length < static_cast<LRESULT>(kPathBufferSize)) {
      SendItem(IDC_TAG_LIST, LB_GETTEXT, index, reinterpret_cast<LPARAM>(rowText));
    }
  }
  const char* text = RowViewText(index == LB_ERR ? -1 : static_cast<int>(index), rowText);
  if (text != nullptr) SetViewText(text);
}

void OnClose() {
  delete[] OutputBuffer;
  OutputBuffer = nullptr;
  EndDialog(gDialog, 0);
}

void OnCommand(WPARAM wParam) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  if (id == IDC_TAG_LIST && code == LBN_SELCHANGE) {
    OnSelectionChange();
    return;
  }
  if (code != 0) return;
  switch (id) {
    case IDCANCEL:
      SendMessageA(gDialog, WM_CLOSE, 0, 0);
      break;
    case IDC_UPDATE:
      OnUpdate();
      break;
    case IDC_SAVE:
      OnSave();
      break;
    case IDC_HEADER_OPEN:
      OnOpen(IDC_HEADER_PATH);
      break;
    case IDC_MAIN_OPEN:
      OnOpen(IDC_MAIN_PATH);
      break;
    default:
      break;
  }
}

}  // namespace

DialogCalls RealDialogCalls() {
  return DialogCalls{GetOpenFileNameA, GetSaveFileNameA, MessageBoxA, AllocateOutput};
}

DialogCalls gDialogCalls = RealDialogCalls();
HINSTANCE gInstance = nullptr;
HWND gDialog = nullptr;

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog);
      break;
    case WM_COMMAND:
      OnCommand(wParam);
      break;
    case WM_CLOSE:
      OnClose();
      break;
    case WM_DESTROY:
      if (gDialog == dialog) gDialog = nullptr;
      break;
    default:
      break;
  }
  return 0;
}

INT_PTR RunMainDialog(HINSTANCE instance) {
  gInstance = instance;
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
}

}  // namespace morvane
