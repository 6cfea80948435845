// The real dialog from template 101, driven with messages; file dialogs and message boxes are replaced.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "text/code_page_platform.h"
#include "engine/tag_table.h"
#include "text/text.h"
#include "files/text_files.h"
#include "tests/support/front_end_cases.h"
#include "tests/tool/win32/win32_test_support.h"
#include "tool/commands.h"
#include "tool/dialog_template.h"
#include "tool/resources/resource_ids.h"
#include "tool/update_run.h"
#include "tool/win32/main_dialog.h"

namespace morvane {
namespace {

using test::ScratchFolder;

// What the replaced modal calls saw, and how they answer.
struct FakeCalls {
  struct Message {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
  };
  std::vector<Message> messages;
  int openCalls = 0;
  int saveCalls = 0;
  OPENFILENAMEA record = {};
  std::string filter;       // label/pattern pairs up to the closing double NUL
  std::string initialFile;  // the file-name buffer as the dialog handed it over
  bool hadDefaultExtension = false;
  std::string defaultExtension;
  bool confirm = true;
  std::string answer;
  bool failAllocation = false;

  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const Message& message : messages) texts.push_back(message.text);
    return texts;
  }
};

FakeCalls gFake;

std::string FilterBytes(const char* filter) {
  if (filter == nullptr) return {};
  const char* end = filter;
  while (end[0] != '\0' || end[1] != '\0') ++end;
  return std::string(filter, end + 2);
}

BOOL AnswerFileDialog(LPOPENFILENAMEA record) {
  gFake.record = *record;
  gFake.filter = FilterBytes(record->lpstrFilter);
  gFake.initialFile = record->lpstrFile;
  gFake.hadDefaultExtension = record->lpstrDefExt != nullptr;
  gFake.defaultExtension = record->lpstrDefExt != nullptr ? record->lpstrDefExt : "";
  if (!gFake.confirm) return FALSE;
  std::strcpy(record->lpstrFile, gFake.answer.c_str());
  return TRUE;
}

BOOL WINAPI FakeOpen(LPOPENFILENAMEA record) {
  ++gFake.openCalls;
  return AnswerFileDialog(record);
}

BOOL WINAPI FakeSave(LPOPENFILENAMEA record) {
  ++gFake.saveCalls;
  return AnswerFileDialog(record);
}

int WINAPI FakeMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  gFake.messages.push_back({owner, text, caption, style});
  return IDOK;
}

char* FakeAllocate(std::size_t size) {
  return gFake.failAllocation ? nullptr : new (std::nothrow) char[size];
}

void ReplaceCalls() {
  gFake = FakeCalls{};
  gDialogCalls = DialogCalls{FakeOpen, FakeSave, FakeMessageBox, FakeAllocate};
  gInstance = GetModuleHandleA(nullptr);
}

void RequireJapaneseCodePage() {
  ASSERT_EQ(GetACP(), 932u) << "run under code page 932 (Wine: LC_ALL=ja_JP.UTF-8)";
  ActivatePlatformCodePage();
}

std::string Concat(std::initializer_list<std::string> parts) {
  std::string all;
  for (const std::string& part : parts) all += part;
  return all;
}

std::string WithNul(const char* text) {
  return std::string(text, std::strlen(text) + 1);
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RequireJapaneseCodePage();
    ReplaceCalls();
    dialog_ = CreateDialogParamA(gInstance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
  }

  void TearDown() override {
    if (dialog_ != nullptr) DestroyWindow(dialog_);
    delete[] OutputBuffer;
    OutputBuffer = nullptr;
    gDialogCalls = RealDialogCalls();
  }

  HWND Item(int id) const { return GetDlgItem(dialog_, id); }

  void SetBox(int id, const std::string& text) const { SetDlgItemTextA(dialog_, id, text.c_str()); }

  std::string Text(int id) const {
    HWND item = Item(id);
    const LRESULT length = SendMessageA(item, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied = SendMessageA(item, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
  }

  std::string View() const { return Text(IDC_VIEW); }

  void Command(int id, int code = 0) const {
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
  }

  void Update(const std::string& header, const std::string& main) const {
    SetBox(IDC_HEADER_PATH, header);
    SetBox(IDC_MAIN_PATH, main);
    Command(IDC_UPDATE);
  }

  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    const LRESULT count = SendMessageA(Item(IDC_TAG_LIST), LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      const LRESULT length = SendMessageA(Item(IDC_TAG_LIST), LB_GETTEXTLEN, i, 0);
      std::string row(static_cast<size_t>(length) + 1, '\0');
      const LRESULT copied =
          SendMessageA(Item(IDC_TAG_LIST), LB_GETTEXT, i, reinterpret_cast<LPARAM>(row.data()));
      row.resize(static_cast<size_t>(copied));
      rows.push_back(row);
    }
    return rows;
  }

  void Select(int index) const {
    SendMessageA(Item(IDC_TAG_LIST), LB_SETCURSEL, index, 0);
    Command(IDC_TAG_LIST, LBN_SELCHANGE);
  }

  int RowOf(const std::string& name) const {
    const std::vector<std::string> rows = Rows();
    auto found = std::find(rows.begin() + 1, rows.end(), name);
    return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
  }

  HWND dialog_ = nullptr;
  ScratchFolder folder_;
};

// ---- Initialisation ----

TEST_F(DialogTest, StartsEmptyWithOutputBufferAndBaseDirectory) {
  EXPECT_EQ(gDialog, dialog_);
  EXPECT_NE(OutputBuffer, nullptr);
  EXPECT_EQ(Text(IDC_HEADER_PATH), "");
  EXPECT_EQ(Text(IDC_MAIN_PATH), "");
  EXPECT_EQ(View(), "");
  EXPECT_TRUE(Rows().empty());
  EXPECT_TRUE(gFake.messages.empty());

  char module[MAX_PATH];
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::string directory = module;
  directory.resize(directory.rfind('\\'));
  EXPECT_STREQ(ModuleDirectory, directory.c_str());
  EXPECT_STREQ(BaseDirectory, ModuleDirectory);
}

TEST_F(DialogTest, ViewHasItsFontAndRoomForAWholeResult) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(Item(IDC_VIEW), WM_GETFONT, 0, 0));
  ASSERT_NE(font, nullptr);
  EXPECT_NE(font, reinterpret_cast<HFONT>(SendMessageA(dialog_, WM_GETFONT, 0, 0)));
  LOGFONTA description = {};
  ASSERT_EQ(GetObjectA(font, sizeof description, &description), static_cast<int>(sizeof description));
  EXPECT_STREQ(description.lfFaceName, "ＭＳ ゴシック");
  EXPECT_EQ(description.lfHeight, 16);
  EXPECT_EQ(description.lfWeight, FW_NORMAL);
  EXPECT_EQ(description.lfCharSet, DEFAULT_CHARSET);
  EXPECT_EQ(description.lfItalic, 0);
  // The other controls keep the dialog font.
  EXPECT_EQ(SendMessageA(Item(IDC_HEADER_PATH), WM_GETFONT, 0, 0), SendMessageA(dialog_, WM_GETFONT, 0, 0));
  EXPECT_EQ(SendMessageA(Item(IDC_VIEW), EM_GETLIMITTEXT, 0, 0), 0x100000);
}

TEST_F(DialogTest, SetsBothIcons) {
  HICON big = reinterpret_cast<HICON>(SendMessageA(dialog_, WM_GETICON, ICON_BIG, 0));
  HICON small = reinterpret_cast<HICON>(SendMessageA(dialog_, WM_GETICON, ICON_SMALL, 0));
  ASSERT_NE(big, nullptr);
  ASSERT_NE(small, nullptr);
  ICONINFO information = {};
  ASSERT_TRUE(GetIconInfo(big, &information));
  BITMAP bitmap = {};
  GetObjectA(information.hbmColor, sizeof bitmap, &bitmap);
  EXPECT_EQ(bitmap.bmWidth, 32);
  DeleteObject(information.hbmColor);
  DeleteObject(information.hbmMask);
  ASSERT_TRUE(GetIconInfo(small, &information));
  GetObjectA(information.hbmColor, sizeof bitmap, &bitmap);
  EXPECT_EQ(bitmap.bmWidth, 16);
  DeleteObject(information.hbmColor);
  DeleteObject(information.hbmMask);
}

// The class a created control reports for each kind of the template.
const char* CreatedClass(ControlKind kind) {
  switch (kind) {
    case ControlKind::kDefaultButton:
    case ControlKind::kButton:
      return "Button";
    case ControlKind::kLabel:
      return "Static";
    case ControlKind::kTagList:
      return "ListBox";
    case ControlKind::kPathBox:
    case ControlKind::kView:
      return "Edit";
  }
  return "";
}

TEST_F(DialogTest, CreatesTheElevenControlsOfTheTemplate) {
  char text[256];
  GetWindowTextA(dialog_, text, sizeof text);
  EXPECT_STREQ(text, "Morvane");
  HWND child = GetWindow(dialog_, GW_CHILD);
  for (const DialogControl& row : kDialogControls) {
    ASSERT_NE(child, nullptr) << row.text;
    EXPECT_EQ(static_cast<short>(GetDlgCtrlID(child)), row.id);
    GetClassNameA(child, text, sizeof text);
    EXPECT_STRCASEEQ(text, CreatedClass(row.kind)) << row.id;
    GetWindowTextA(child, text, sizeof text);
    EXPECT_STREQ(text, row.text) << row.id;
    const DWORD style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
    DWORD expected = row.style;
    if ((expected & WS_BORDER) != 0) {
      // Dialogs draw a control's border as a sunken client edge.
      const DWORD extended = static_cast<DWORD>(GetWindowLongA(child, GWL_EXSTYLE));
      EXPECT_TRUE((style & WS_BORDER) != 0 || (extended & WS_EX_CLIENTEDGE) != 0) << row.id;
      expected &= ~static_cast<DWORD>(WS_BORDER);
    }
    // Scroll bars come and go with the content; the template test checks them.
    expected &= ~static_cast<DWORD>(WS_VSCROLL | WS_HSCROLL);
    EXPECT_EQ(style & expected, expected) << row.id << " style " << std::hex << style;
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr);
  // The Update button is the default push button.
  EXPECT_EQ(LOWORD(SendMessageA(dialog_, DM_GETDEFID, 0, 0)), IDC_UPDATE);
}

// ---- Update ----

TEST_F(DialogTest, UpdateWithBothBoxesEmptyListsTheBuiltins) {
  Update("", "");
  const std::vector<std::string> rows = Rows();
  ASSERT_EQ(rows.size(), 28u);
  EXPECT_EQ(rows[0], kResultRowText);
  EXPECT_NE(RowOf("_eof"), -1);
  EXPECT_NE(RowOf("_osservicepack"), -1);
  EXPECT_EQ(View(), "");
  EXPECT_TRUE(gFake.messages.empty());
}

TEST_F(DialogTest, UpdateShowsTheResultAndListsEveryTag) {
  ScratchFolder::WriteBytes(folder_ / "header.txt",
                            "[作者 data=\"山田太郎\"][空 data=\"\"][値無し readonly=\"yes\"]ヘッダーの本文");
  ScratchFolder::WriteBytes(folder_ / "main.txt", "こんにちは、[作者]さん。[_crlf][作者 max=\"4\"]\\[終]");
  Update(folder_ / "header.txt", folder_ / "main.txt");
  EXPECT_TRUE(gFake.messages.empty());
  EXPECT_EQ(View(), "こんにちは、山田太郎さん。\r\n山田[終]");

  const std::vector<std::string> rows = Rows();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0], kResultRowText);
  std::set<std::string> listed(rows.begin() + 1, rows.end());
  std::set<std::string> inTable;
  for (const TagEntry& entry : gTagTable.entries) {
    if (entry.InUse()) inTable.insert(entry.name);
  }
  EXPECT_EQ(listed, inTable);
  EXPECT_EQ(rows.size(), 1u + 27u + 3u);
}

struct PickCase {
  const char* row;  // nullptr: the result row
  const char* shown;
};

constexpr PickCase kPicks[] = {
    {"作者", "山田太郎"},        {"空", ""}, {"値無し", ""}, {"_eof", ""}, {"_systemname", "Morvane"},
    {nullptr, "結果：山田太郎"},
};

TEST_F(DialogTest, PickingARowShowsItsValueAndRowZeroTheResult) {
  ScratchFolder::WriteBytes(folder_ / "header.txt",
                            "[作者 data=\"山田太郎\"][空 data=\"\"][値無し readonly=\"yes\"]");
  ScratchFolder::WriteBytes(folder_ / "main.txt", "結果：[作者]");
  Update(folder_ / "header.txt", folder_ / "main.txt");
  for (const PickCase& pick : kPicks) {
    const int index = pick.row == nullptr ? 0 : RowOf(pick.row);
    ASSERT_NE(index, -1) << pick.row;
    Select(index);
    EXPECT_EQ(View(), pick.shown) << (pick.row != nullptr ? pick.row : "result row");
  }
}

TEST_F(DialogTest, ResultRowStaysFirstWhenANameSortsBeforeIt) {
  // ASCII punctuation and digits sort before the full-width parenthesis of the result row.
  ScratchFolder::WriteBytes(folder_ / "main.txt",
                            "[! data=\"bang\"][0 data=\"zero\"][ data=\"empty name\"]本文");
  Update("", folder_ / "main.txt");
  const std::vector<std::string> rows = Rows();
  ASSERT_GT(rows.size(), 3u);
  EXPECT_EQ(rows[0], kResultRowText);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), std::string(kResultRowText)), 1);
  Select(0);
  EXPECT_EQ(View(), "本文");
  Select(RowOf("!"));
  EXPECT_EQ(View(), "bang");
  Select(RowOf(""));
  EXPECT_EQ(View(), "empty name");
}

TEST_F(DialogTest, SelectionChangeWithoutSelectionLeavesTheView) {
  ScratchFolder::WriteBytes(folder_ / "main.txt", "[名前 data=\"値\"]結果");
  Update("", folder_ / "main.txt");
  Select(RowOf("名前"));
  ASSERT_EQ(View(), "値");
  Select(-1);
  EXPECT_EQ(SendMessageA(Item(IDC_TAG_LIST), LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(View(), "値");
}

TEST_F(DialogTest, UnreadableFilesAreReportedAndTheRunCompletes) {
  ScratchFolder::WriteBytes(folder_ / "main.txt", "本文");
  Update(folder_ / "missing.txt", folder_ / "main.txt");
  ASSERT_EQ(gFake.messages.size(), 1u);
  EXPECT_EQ(gFake.messages[0].text, kHeaderReadFailed);
  EXPECT_EQ(gFake.messages[0].caption, "エラー");
  EXPECT_EQ(gFake.messages[0].style, 0x30u);
  EXPECT_EQ(gFake.messages[0].owner, dialog_);
  EXPECT_EQ(View(), "本文");

  gFake.messages.clear();
  Update(folder_ / "missing.txt", folder_ / "missing too.txt");
  EXPECT_EQ(gFake.MessageTexts(), (std::vector<std::string>{kHeaderReadFailed, kMainReadFailed}));
  EXPECT_EQ(View(), "");
  EXPECT_EQ(Rows().size(), 28u);
}

TEST_F(DialogTest, FailedExpansionKeepsListAndView) {
  ScratchFolder::WriteBytes(folder_ / "good.txt", "[前回 data=\"x\"]前回の結果");
  Update("", folder_ / "good.txt");
  const std::vector<std::string> before = Rows();
  ASSERT_EQ(View(), "前回の結果");

  // Two million bytes do not fit a working buffer.
  ScratchFolder::WriteBytes(folder_ / "huge.txt", "[a data=\"0123456789\"][a loop=\"200000\"]");
  Update("", folder_ / "huge.txt");
  EXPECT_EQ(gFake.MessageTexts(), std::vector<std::string>{kExpansionFailed});
  EXPECT_EQ(Rows(), before);
  EXPECT_EQ(View(), "前回の結果");
  // The table already holds the failed run: the result is empty and the old tag is gone.
  Select(0);
  EXPECT_EQ(View(), "");
  Select(RowOf("前回"));
  EXPECT_EQ(View(), "");
}

TEST_F(DialogTest, DatafileResolvesAgainstAFolderWhoseNameEndsInTrailByte5C) {
  // 表 is 0x95 0x5C in code page 932: its second byte is not a separator.
  const std::string table = folder_.MakeFolder("表");
  ScratchFolder::WriteBytes(table + "\\header.txt", "[中身 datafile=\"\\データ.txt\"]");
  ScratchFolder::WriteBytes(table + "\\データ.txt", "表の中身");
  ScratchFolder::WriteBytes(folder_ / "main.txt", "<[中身]>");
  Update(table + "\\header.txt", folder_ / "main.txt");
  EXPECT_TRUE(gFake.messages.empty());
  EXPECT_EQ(View(), "<表の中身>");
  EXPECT_STREQ(BaseDirectory, folder_.Path().c_str());
}

TEST_F(DialogTest, ViewShowsAWholeResultOfTheLargestSize) {
  std::string text;
  const std::string line = std::string(62, 'x') + "\r\n";
  while (text.size() + line.size() <= kTextBufferSize - 1) text += line;
  text += std::string(kTextBufferSize - 1 - text.size(), 'y');
  ASSERT_EQ(text.size(), 1048575u);
  ScratchFolder::WriteBytes(folder_ / "large.txt", text);
  Update("", folder_ / "large.txt");
  EXPECT_TRUE(gFake.messages.empty());
  EXPECT_EQ(SendMessageA(Item(IDC_VIEW), WM_GETTEXTLENGTH, 0, 0), 1048575);
}

TEST_F(DialogTest, OnlyClicksAreTaken) {
  Command(IDC_UPDATE, BN_DOUBLECLICKED);
  Command(IDC_UPDATE, EN_CHANGE);
  Command(IDOK);
  Command(IDC_TAG_LIST, LBN_DBLCLK);
  EXPECT_TRUE(Rows().empty());
  EXPECT_NE(OutputBuffer, nullptr);
  EXPECT_TRUE(IsWindow(dialog_));
  EXPECT_EQ(gFake.saveCalls + gFake.openCalls, 0);
}

// ---- Save ----

TEST_F(DialogTest, SaveRunsAnUpdateThenWritesTheResult) {
  ScratchFolder::WriteBytes(folder_ / "main.txt", "[t data=\"値\"]保存する[t]\r\n");
  SetBox(IDC_MAIN_PATH, folder_ / "main.txt");
  gFake.answer = folder_ / "saved.txt";
  Command(IDC_SAVE);

  EXPECT_EQ(gFake.saveCalls, 1);
  EXPECT_EQ(gFake.record.lStructSize, kFileDialogRecordSize);
  EXPECT_EQ(gFake.record.hwndOwner, dialog_);
  EXPECT_EQ(gFake.record.Flags, 0x800006u);
  EXPECT_EQ(gFake.record.nMaxFile, 260u);
  EXPECT_EQ(gFake.record.nFilterIndex, 0u);
  EXPECT_EQ(gFake.record.lpstrTitle, nullptr);
  EXPECT_EQ(gFake.record.lpstrInitialDir, nullptr);
  EXPECT_EQ(gFake.initialFile, "");
  EXPECT_EQ(gFake.filter,
            Concat({WithNul("テキストファイル (*.txt)"), WithNul("*.txt"), std::string(1, '\0')}));
  EXPECT_TRUE(gFake.hadDefaultExtension);
  EXPECT_EQ(gFake.defaultExtension, "txt");

  std::string saved;
  ASSERT_TRUE(ScratchFolder::ReadBytes(folder_ / "saved.txt", &saved));
  EXPECT_EQ(saved, "保存する値\r\n");
  EXPECT_EQ(View(), "保存する値\r\n");
  EXPECT_GT(Rows().size(), 1u);
  EXPECT_TRUE(gFake.messages.empty());
}

TEST_F(DialogTest, CancelledSaveRunsNothingAndWritesNothing) {
  ScratchFolder::WriteBytes(folder_ / "main.txt", "本文");
  SetBox(IDC_MAIN_PATH, folder_ / "main.txt");
  gFake.confirm = false;
  gFake.answer = folder_ / "saved.txt";
  Command(IDC_SAVE);
  EXPECT_EQ(gFake.saveCalls, 1);
  EXPECT_FALSE(ScratchFolder::Exists(folder_ / "saved.txt"));
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(View(), "");
}

// The scenarios every front end runs, each in a fresh dialog.
TEST_F(DialogTest, SharedCases) {
  for (const testing::FrontEndCase& c : testing::FrontEndCases()) {
    SCOPED_TRACE(c.label);
    DestroyWindow(dialog_);
    delete[] OutputBuffer;
    ReplaceCalls();
    dialog_ = CreateDialogParamA(gInstance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
    ScratchFolder folder;
    auto name = [&folder](const testing::BoxFile& file, const char* fileName) {
      if (file.kind == testing::BoxFile::kEmpty) return std::string();
      if (file.kind == testing::BoxFile::kText) ScratchFolder::WriteBytes(folder / fileName, file.text);
      return folder / fileName;
    };
    Update(name(c.header, "header.txt"), name(c.main, "main.txt"));
    EXPECT_EQ(gFake.MessageTexts(), c.messages);
    EXPECT_EQ(View(), c.view);
    const std::vector<std::string> rows = Rows();
    EXPECT_EQ(rows.size(), c.rows);
    if (c.refreshed) {
      EXPECT_EQ(rows[0], kResultRowText);
    }
    for (const auto& [row, shown] : c.picks) {
      const int index = row.empty() ? 0 : RowOf(row);
      ASSERT_NE(index, -1) << row;
      Select(index);
      EXPECT_EQ(View(), shown) << row;
    }
    ScratchFolder::WriteBytes(folder / "saved.txt", "old content");
    gFake.messages.clear();
    gFake.answer = folder / "saved.txt";
    Command(IDC_SAVE);
    EXPECT_EQ(gFake.MessageTexts(), c.messages);
    std::string saved;
    ASSERT_TRUE(ScratchFolder::ReadBytes(folder / "saved.txt", &saved));
    EXPECT_EQ(saved, c.saved ? c.view : "old content");
  }
}

TEST_F(DialogTest, SaveAfterAFailedRunWritesNothing) {
  ScratchFolder::WriteBytes(folder_ / "huge.txt", "[a data=\"0123456789\"][a loop=\"200000\"]");
  ScratchFolder::WriteBytes(folder_ / "saved.txt", "earlier");
  SetBox(IDC_MAIN_PATH, folder_ / "huge.txt");
  gFake.answer = folder_ / "saved.txt";
  Command(IDC_SAVE);
  EXPECT_EQ(gFake.MessageTexts(), std::vector<std::string>{kExpansionFailed});
  std::string saved;
  ASSERT_TRUE(ScratchFolder::ReadBytes(folder_ / "saved.txt", &saved));
  EXPECT_EQ(saved, "earlier");
}

TEST_F(DialogTest, FailedWriteIsReportedAndCanBeRetried) {
  gFake.answer = folder_ / "no such folder\\saved.txt";
  Command(IDC_SAVE);
  ASSERT_EQ(gFake.MessageTexts(), std::vector<std::string>{kWriteFailed});
  EXPECT_EQ(gFake.messages[0].caption, "エラー");
  EXPECT_EQ(gFake.messages[0].owner, dialog_);

  gFake.messages.clear();
  gFake.answer = folder_ / "saved.txt";
  Command(IDC_SAVE);
  EXPECT_TRUE(gFake.messages.empty());
  EXPECT_TRUE(ScratchFolder::Exists(folder_ / "saved.txt"));
}

// ---- Open ----

struct OpenCase {
  int button;
  int box;
  int otherBox;
};

class OpenTest : public DialogTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenTest, ConfirmedOpenNamesTheFileInItsBoxOnly) {
  const OpenCase& open = GetParam();
  SetBox(open.box, "C:\\前\\old.txt");
  SetBox(open.otherBox, "other.txt");
  gFake.answer = "C:\\選択\\new.txt";
  Command(open.button);

  EXPECT_EQ(gFake.openCalls, 1);
  EXPECT_EQ(gFake.saveCalls, 0);
  EXPECT_EQ(gFake.initialFile, "C:\\前\\old.txt");
  EXPECT_EQ(gFake.record.lStructSize, kFileDialogRecordSize);
  EXPECT_EQ(gFake.record.hwndOwner, dialog_);
  EXPECT_EQ(gFake.record.Flags, 0x800006u);
  EXPECT_EQ(gFake.record.nMaxFile, 260u);
  EXPECT_FALSE(gFake.hadDefaultExtension);
  EXPECT_EQ(gFake.filter, Concat({WithNul("テキストファイル (*.txt)"), WithNul("*.txt"),
                                  WithNul("すべてのファイル (*.*)"), WithNul("*.*"), std::string(1, '\0')}));
  EXPECT_EQ(Text(open.box), "C:\\選択\\new.txt");
  EXPECT_EQ(Text(open.otherBox), "other.txt");
  // Only named: nothing is read or run.
  EXPECT_TRUE(Rows().empty());
  EXPECT_TRUE(gFake.messages.empty());
}

TEST_P(OpenTest, CancelledOpenChangesNothing) {
  const OpenCase& open = GetParam();
  SetBox(open.box, "keep.txt");
  gFake.confirm = false;
  gFake.answer = "C:\\ignored.txt";
  Command(open.button);
  EXPECT_EQ(gFake.openCalls, 1);
  EXPECT_EQ(Text(open.box), "keep.txt");
}

INSTANTIATE_TEST_SUITE_P(BothBoxes, OpenTest,
                         ::testing::Values(OpenCase{IDC_HEADER_OPEN, IDC_HEADER_PATH, IDC_MAIN_PATH},
                                           OpenCase{IDC_MAIN_OPEN, IDC_MAIN_PATH, IDC_HEADER_PATH}));

// ---- The modal dialog: how it ends ----

struct CloseCase {
  const char* name;
  UINT message;
  WPARAM wParam;
};

constexpr CloseCase kCloses[] = {
    {"IDCANCEL", WM_COMMAND, IDCANCEL},
    {"WM_CLOSE", WM_CLOSE, 0},
};

const CloseCase* gClose = nullptr;
bool gBufferWhileOpen = false;

VOID CALLBACK CloseFromTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  gBufferWhileOpen = OutputBuffer != nullptr && IsWindowVisible(gDialog);
  SendMessageA(gDialog, gClose->message, gClose->wParam, 0);
}

class ModalDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RequireJapaneseCodePage();
    ReplaceCalls();
  }
  void TearDown() override { gDialogCalls = RealDialogCalls(); }
};

TEST_F(ModalDialogTest, CancelAndCloseEndTheDialogWithZeroAndReleaseTheBuffer) {
  for (const CloseCase& close : kCloses) {
    gClose = &close;
    gBufferWhileOpen = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseFromTimer);
    ASSERT_NE(timer, 0u);
    const INT_PTR result = RunMainDialog(GetModuleHandleA(nullptr));
    EXPECT_EQ(result, 0) << close.name;
    EXPECT_TRUE(gBufferWhileOpen) << close.name;
    EXPECT_EQ(OutputBuffer, nullptr) << close.name;
    EXPECT_TRUE(gFake.messages.empty()) << close.name;
  }
}

TEST_F(ModalDialogTest, NoMemoryForTheResultEndsTheDialogAtOnce) {
  gFake.failAllocation = true;
  const INT_PTR result = RunMainDialog(GetModuleHandleA(nullptr));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(OutputBuffer, nullptr);
  ASSERT_EQ(gFake.MessageTexts(), std::vector<std::string>{"メモリが不足しています。"});
  EXPECT_EQ(gFake.messages[0].caption, "エラー");
  EXPECT_EQ(gFake.messages[0].style, 0x30u);
}

}  // namespace
}  // namespace morvane
