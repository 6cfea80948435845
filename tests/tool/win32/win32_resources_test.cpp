// The compiled resources byte for byte: dialog template 101, icon group 128 and the manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "tool/dialog_template.h"
#include "tool/resources/resource_ids.h"

namespace {

using morvane::ControlKind;
using morvane::DialogControl;
using morvane::kDialogControlCount;
using morvane::kDialogControls;
using morvane::kDialogHeightUnits;
using morvane::kDialogWidthUnits;

constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// A resource's bytes in the given language, or an empty view.
struct ResourceBytes {
  const unsigned char* data = nullptr;
  DWORD size = 0;
};

ResourceBytes Load(LPCSTR type, LPCSTR name, WORD language) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceExA(module, type, name, language);
  if (found == nullptr) return {};
  HGLOBAL loaded = LoadResource(module, found);
  return {static_cast<const unsigned char*>(LockResource(loaded)), SizeofResource(module, found)};
}

// Reads the fields of an extended dialog template in order.
class TemplateReader {
 public:
  explicit TemplateReader(const unsigned char* at) : at_(at), start_(at) {}

  uint16_t Word() {
    uint16_t value;
    std::memcpy(&value, at_, 2);
    at_ += 2;
    return value;
  }
  uint32_t Dword() {
    uint32_t value;
    std::memcpy(&value, at_, 4);
    at_ += 4;
    return value;
  }
  int16_t Short() { return static_cast<int16_t>(Word()); }
  uint8_t Byte() { return *at_++; }
  // A text or an ordinal: 0xFFFF and a number become "#number".
  std::wstring TextOrOrdinal() {
    if (Peek() == 0xFFFF) {
      Word();
      return L"#" + std::to_wstring(Word());
    }
    return Text();
  }
  std::wstring Text() {
    std::wstring text;
    for (uint16_t c = Word(); c != 0; c = Word()) text.push_back(static_cast<wchar_t>(c));
    return text;
  }
  void AlignDword() {
    while ((at_ - start_) % 4 != 0) ++at_;
  }
  void Skip(size_t count) { at_ += count; }

 private:
  uint16_t Peek() const {
    uint16_t value;
    std::memcpy(&value, at_, 2);
    return value;
  }
  const unsigned char* at_;
  const unsigned char* start_;
};

// The window class a template names for each kind of control.
const wchar_t* TemplateClass(ControlKind kind) {
  switch (kind) {
    case ControlKind::kDefaultButton:
    case ControlKind::kButton:
      return L"BUTTON";
    case ControlKind::kLabel:
      return L"STATIC";
    case ControlKind::kTagList:
      return L"LISTBOX";
    case ControlKind::kPathBox:
    case ControlKind::kView:
      return L"EDIT";
  }
  return L"";
}

// A caption of the table (code page 932 in this build) as the template's UTF-16 text.
std::wstring Wide(const char* text) {
  wchar_t wide[128] = {};
  MultiByteToWideChar(932, 0, text, -1, wide, 128);
  return wide;
}

TEST(ResourcesTest, DialogTemplateIsTheExtendedFormAsTabled) {
  ResourceBytes dialog = Load(RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN), kJapanese);
  ASSERT_NE(dialog.data, nullptr) << "template 101 in language 1041";
  TemplateReader reader(dialog.data);
  EXPECT_EQ(reader.Word(), 1);       // version
  EXPECT_EQ(reader.Word(), 0xFFFF);  // extended form
  EXPECT_EQ(reader.Dword(), 0u);     // help id
  EXPECT_EQ(reader.Dword(), 0u);     // extended style
  EXPECT_EQ(reader.Dword(), 0x80C808C8u);
  ASSERT_EQ(reader.Word(), kDialogControlCount);
  EXPECT_EQ(reader.Short(), 0);
  EXPECT_EQ(reader.Short(), 0);
  EXPECT_EQ(reader.Short(), kDialogWidthUnits);
  EXPECT_EQ(reader.Short(), kDialogHeightUnits);
  EXPECT_EQ(reader.TextOrOrdinal(), L"");  // no menu
  EXPECT_EQ(reader.TextOrOrdinal(), L"");  // the platform's dialog class
  EXPECT_EQ(reader.Text(), L"Morvane");
  EXPECT_EQ(reader.Word(), 8);    // points
  EXPECT_EQ(reader.Word(), 400);  // weight
  EXPECT_EQ(reader.Byte(), 0);    // not italic
  EXPECT_EQ(reader.Byte(), 1);    // character set
  EXPECT_EQ(reader.Text(), L"MS Shell Dlg");

  for (const DialogControl& control : kDialogControls) {
    reader.AlignDword();
    EXPECT_EQ(reader.Dword(), 0u) << control.id;  // help id
    EXPECT_EQ(reader.Dword(), 0u) << control.id;  // extended style
    EXPECT_EQ(reader.Dword(), control.style) << control.id;
    EXPECT_EQ(reader.Short(), control.x) << control.id;
    EXPECT_EQ(reader.Short(), control.y) << control.id;
    EXPECT_EQ(reader.Short(), control.width) << control.id;
    EXPECT_EQ(reader.Short(), control.height) << control.id;
    EXPECT_EQ(static_cast<int>(reader.Dword()), control.id);
    EXPECT_EQ(reader.TextOrOrdinal(), TemplateClass(control.kind)) << control.id;
    EXPECT_EQ(reader.TextOrOrdinal(), Wide(control.text)) << control.id;
    reader.Skip(reader.Word());  // creation data
  }
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width;
  BYTE height;
  BYTE colorCount;
  BYTE reserved;
  WORD planes;
  WORD bitCount;
  DWORD bytesInRes;
  WORD id;
};
#pragma pack(pop)

TEST(ResourcesTest, IconGroupHoldsA32And16PixelImageOf8Bits) {
  ResourceBytes group = Load(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_MAIN), kJapanese);
  ASSERT_NE(group.data, nullptr) << "icon group 128 in language 1041";
  TemplateReader reader(group.data);
  EXPECT_EQ(reader.Word(), 0);
  EXPECT_EQ(reader.Word(), 1);
  ASSERT_EQ(reader.Word(), 2);
  const int sizes[] = {32, 16};
  for (int i = 0; i < 2; ++i) {
    GroupIconEntry entry;
    std::memcpy(&entry, group.data + 6 + i * sizeof entry, sizeof entry);
    EXPECT_EQ(entry.width, sizes[i]);
    EXPECT_EQ(entry.height, sizes[i]);
    EXPECT_EQ(entry.bitCount, 8);
    ResourceBytes image = Load(RT_ICON, MAKEINTRESOURCEA(entry.id), kJapanese);
    ASSERT_NE(image.data, nullptr);
    BITMAPINFOHEADER header;
    std::memcpy(&header, image.data, sizeof header);
    EXPECT_EQ(header.biWidth, sizes[i]);
    EXPECT_EQ(header.biBitCount, 8);
  }
  for (int size : sizes) {
    HANDLE icon =
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON, size, size, 0);
    EXPECT_NE(icon, nullptr) << size;
    if (icon != nullptr) DestroyIcon(static_cast<HICON>(icon));
  }
}

TEST(ResourcesTest, ManifestAsksForCommonControls6AndWindows7To11AndNoCodePage) {
  ResourceBytes manifest =
      Load(RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  ASSERT_NE(manifest.data, nullptr);
  const std::string text(reinterpret_cast<const char*>(manifest.data), manifest.size);
  EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
  for (const char* id : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                         "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {
    EXPECT_NE(text.find(id), std::string::npos) << id;
  }
  EXPECT_EQ(text.find("activeCodePage"), std::string::npos);
}

TEST(ResourcesTest, ManifestMakesTheVersionReal) {
  // Without a compatibility section the system reports Windows 8 (6.2) at most.
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(GetVersionExA(&version));
  RTL_OSVERSIONINFOW real = {};
  real.dwOSVersionInfoSize = sizeof real;
  using RtlGetVersionCall = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
  auto rtlGetVersion = reinterpret_cast<RtlGetVersionCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
  ASSERT_NE(rtlGetVersion, nullptr);
  rtlGetVersion(&real);
  EXPECT_EQ(version.dwMajorVersion, real.dwMajorVersion);
  EXPECT_EQ(version.dwMinorVersion, real.dwMinorVersion);
  EXPECT_EQ(version.dwBuildNumber, real.dwBuildNumber);
}

}  // namespace
