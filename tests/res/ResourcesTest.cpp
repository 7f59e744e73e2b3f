// Reads the resources of the built Sondrel.exe, the way the program and the shell see them.
#include "app/ModuleDirectory.h"
#include "res/resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ExecutablePath() { return GetModuleDirectory() + "\\Sondrel.exe"; }

// Owns one handle and frees it with `Free`.
template <auto Free>
struct HandleDeleter {
  template <class Handle>
  void operator()(Handle handle) const { Free(handle); }
};
template <class Handle, auto Free>
using Owned = std::unique_ptr<std::remove_pointer_t<Handle>, HandleDeleter<Free>>;
using Library = Owned<HMODULE, FreeLibrary>;
using Menu = Owned<HMENU, DestroyMenu>;
using Icon = Owned<HICON, DestroyIcon>;
using GdiObject = Owned<HGDIOBJ, DeleteObject>;

class Resources : public ::testing::Test {
 protected:
  void SetUp() override {
    m_module.reset(LoadLibraryExA(ExecutablePath().c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(m_module) << ExecutablePath() << " error " << GetLastError();
  }

  // The raw bytes of one resource, empty if it is missing.
  std::string Raw(LPCSTR name, LPCSTR type) const {
    HRSRC info = FindResourceA(m_module.get(), name, type);
    if (!info)
      return {};
    const void* data = LockResource(LoadResource(m_module.get(), info));
    return std::string(static_cast<const char*>(data), SizeofResource(m_module.get(), info));
  }

  Library m_module;
};

TEST_F(Resources, StringsHaveTheProgramsTexts) {
  const struct {
    UINT id;
    const char* text;
  } cases[] = {
      {IDS_ABOUTBOX, "&About Velmora Sondrel..."},
      {IDS_NO_AUDIO_DEVICES, "No available audio devices!"},
      {IDS_PAUSE, "Pause"},
      {IDS_RESUME, "Resume"},
      {IDS_START, "Start"},
      {IDS_STOP, "Stop"},
      {IDS_QUIT_WHILE_RECORDING, "Application is still recording.\nDo you want to quit anyway?"},
      {IDS_START_FAILED, "Could not start recording!"},
      {IDS_STOP_FAILED, "Could not stop recording!"},
      {IDS_PRODUCT_URL, "https://velmora.example/sondrel"},
      {IDS_APP_TITLE, "Velmora Sondrel"},
      {IDS_NO_FILE, "No File"},
      {IDS_OVERWRITE_FILE, "File already exists. Overwrite it?"},
      {IDS_PLAY_FAILED, "Could not run audio file!"},
      {IDS_INVALID_TIMER, "Warning: invalid timer date/time!"},
      {IDS_RECORDING_FAILED, "Recording stopped because of an error!"},
  };
  for (const auto& c : cases) {
    char text[256] = {};
    EXPECT_GT(LoadStringA(m_module.get(), c.id, text, sizeof text), 0) << c.id;
    EXPECT_STREQ(text, c.text) << c.id;
  }
  // The gaps in the numbering stay empty: no stray texts.
  for (UINT id : {110u, 111u, 119u}) {
    char text[16] = {};
    EXPECT_EQ(LoadStringA(m_module.get(), id, text, sizeof text), 0) << id;
  }
}

TEST_F(Resources, TrayMenuHasItsItemsInOrder) {
  Menu menu(LoadMenuA(m_module.get(), MAKEINTRESOURCEA(IDR_TRAY_MENU)));
  ASSERT_TRUE(menu);
  ASSERT_EQ(GetMenuItemCount(menu.get()), 1);
  char caption[32] = {};
  GetMenuStringA(menu.get(), 0, caption, sizeof caption, MF_BYPOSITION);
  EXPECT_STREQ(caption, "SysTray");

  HMENU popup = GetSubMenu(menu.get(), 0);
  ASSERT_TRUE(popup);
  const struct {
    UINT id;  // 0 for a separator
    const char* text;
  } items[] = {
      {ID_TRAY_RESTORE, "Restore"}, {0, ""},  {ID_TRAY_START, "Start"},   {ID_TRAY_STOP, "Stop"},
      {ID_TRAY_PAUSE, "Pause"},     {ID_TRAY_RESUME, "Resume"}, {0, ""}, {ID_TRAY_EXIT, "Exit"},
  };
  ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(std::size(items)));
  for (UINT i = 0; i < std::size(items); ++i) {
    char text[32] = {};
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_STATE;
    info.dwTypeData = text;
    info.cch = sizeof text;
    ASSERT_TRUE(GetMenuItemInfoA(popup, i, TRUE, &info)) << i;
    EXPECT_EQ((info.fType & MFT_SEPARATOR) != 0, items[i].id == 0) << i;
    EXPECT_EQ(info.wID, items[i].id) << i;
    EXPECT_STREQ(text, items[i].text) << i;
    if (items[i].id != 0) {  // the menu code greys items by state; the resource starts them enabled
      EXPECT_EQ(info.fState & (MFS_DISABLED | MFS_CHECKED), 0u) << i;
    }
  }
}

// The system picks an icon's image by size from its group: the group must hold 16 and 32
// pixels itself, so the small and large icons are drawn, not scaled.
TEST_F(Resources, IconsHoldSmallAndLargeImages) {
  for (int id : {IDR_MAINFRAME, IDI_STATE_RECORDING, IDI_STATE_PAUSED, IDI_STATE_PLAYING,
                 IDI_STATE_IDLE, IDI_TRAY_IDLE, IDI_STOP, IDI_PLAY, IDI_SPEAKER}) {
    std::string group = Raw(MAKEINTRESOURCEA(id), RT_GROUP_ICON);
    ASSERT_FALSE(group.empty()) << id;
    for (int size : {16, 32}) {
      int image_id = LookupIconIdFromDirectoryEx(
          reinterpret_cast<PBYTE>(group.data()), TRUE, size, size, LR_DEFAULTCOLOR);
      std::string image = Raw(MAKEINTRESOURCEA(image_id), RT_ICON);
      ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER)) << id << " at " << size;
      const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
      EXPECT_EQ(header->biWidth, size) << id;
      EXPECT_EQ(header->biBitCount, 32) << id;  // with an alpha channel

      Icon icon(static_cast<HICON>(
          LoadImageA(m_module.get(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0)));
      ASSERT_TRUE(icon) << id << " at " << size;
      ICONINFO info = {};
      ASSERT_TRUE(GetIconInfo(icon.get(), &info));
      GdiObject colour(info.hbmColor), mask(info.hbmMask);
      BITMAP bitmap = {};
      GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
      EXPECT_EQ(bitmap.bmWidth, size) << id;
      EXPECT_EQ(bitmap.bmHeight, size) << id;
    }
  }
}

// Explorer, the taskbar, the Start menu and the list of installed programs ask for the
// program's icon at these sizes (16 and 32 at 100 % to 250 % display scale, 48, 64, 256);
// each must be drawn at its size and load as an icon of that size.
TEST_F(Resources, ProgramIconHoldsEverySizeWindowsAsksFor) {
  const std::string group = Raw(MAKEINTRESOURCEA(IDR_MAINFRAME), RT_GROUP_ICON);
  ASSERT_GE(group.size(), 6u);
  const auto* bytes = reinterpret_cast<const BYTE*>(group.data());
  const int count = bytes[4] | bytes[5] << 8;
  ASSERT_EQ(group.size(), 6u + 14u * count);  // GRPICONDIR and its GRPICONDIRENTRY records
  std::vector<int> sizes;
  for (int i = 0; i < count; ++i) {
    const BYTE* entry = bytes + 6 + 14 * i;
    sizes.push_back(entry[0] == 0 ? 256 : entry[0]);  // a width byte of 0 means 256
    EXPECT_EQ(entry[0], entry[1]);                     // square
  }
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 256}));

  for (int size : sizes) {
    Icon icon(static_cast<HICON>(
        LoadImageA(m_module.get(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, size, size, 0)));
    ASSERT_TRUE(icon) << size;
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon.get(), &info)) << size;
    GdiObject colour(info.hbmColor), mask(info.hbmMask);
    BITMAP bitmap = {};
    GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, size);
    EXPECT_EQ(bitmap.bmHeight, size);
  }
}

// The bitmaps are true colour and fill their dialog frames unscaled at the usual 96-dpi
// dialog font, where a dialog unit is 1.5 pixels wide and 1.625 pixels tall.
TEST_F(Resources, BitmapsAreTrueColourAtTheSizeOfTheirFrames) {
  const struct {
    int id;
    int frameWidth, frameHeight;  // dialog units
  } bitmaps[] = {{IDB_BANNER, 313, 46}, {IDB_ENCODER_PICTURE, 51, 60}};
  for (const auto& b : bitmaps) {
    SCOPED_TRACE(b.id);
    GdiObject image(LoadImageA(m_module.get(), MAKEINTRESOURCEA(b.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_TRUE(image);
    BITMAP bitmap = {};
    ASSERT_TRUE(GetObjectA(image.get(), sizeof bitmap, &bitmap));
    EXPECT_EQ(bitmap.bmBitsPixel, 24);
    EXPECT_NEAR(bitmap.bmWidth, b.frameWidth * 1.5, 1.0);
    EXPECT_NEAR(bitmap.bmHeight, b.frameHeight * 1.625, 1.0);
  }
}

// The version values as the about box reads them: the translation entry names the block.
TEST(Version, BlockNamesTheProductVersionAndNotice) {
  const std::string path = ExecutablePath();
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

  auto query = [&](const char* key) -> std::string {
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), key, reinterpret_cast<void**>(&value), &length) || !value)
      return "<missing>";
    return std::string(value);
  };

  WORD* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, 4u);
  EXPECT_EQ(translation[0], 0x0409);  // US English
  EXPECT_EQ(translation[1], 1252);    // 0x04e4, the Western code page

  EXPECT_EQ(query("\\StringFileInfo\\040904e4\\ProductName"), "Velmora Sondrel");
  EXPECT_EQ(query("\\StringFileInfo\\040904e4\\LegalCopyright"), "Copyright (C) 2026 Velmora");

  // The about box splits ProductVersion at commas into four numbers.
  std::istringstream version(query("\\StringFileInfo\\040904e4\\ProductVersion"));
  std::vector<int> parts;
  for (std::string part; std::getline(version, part, ',');)
    parts.push_back(std::atoi(part.c_str()));
  const std::vector<int> expected = {SONDREL_VERSION_MAJOR, SONDREL_VERSION_MINOR,
                                     SONDREL_VERSION_PATCH, 0};
  EXPECT_EQ(parts, expected);

  VS_FIXEDFILEINFO* fixed = nullptr;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwProductVersionMS, DWORD(MAKELONG(SONDREL_VERSION_MINOR, SONDREL_VERSION_MAJOR)));
  EXPECT_EQ(fixed->dwProductVersionLS, DWORD(MAKELONG(0, SONDREL_VERSION_PATCH)));
}

TEST_F(Resources, ManifestAsksForVisualStylesAndDpiAwareness) {
  const std::string manifest = Raw(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_FALSE(manifest.empty());
  for (const char* needle : {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                             "level=\"asInvoker\"", "<dpiAware", ">true</dpiAware>",
                             ">system</dpiAwareness>"}) {
    EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
  }
}

// The page and every picture and local file it names lie beside the executable (the release
// test also loads the page in a browser).
TEST(HelpPage, LiesBesideTheExecutableWithWhatItNames) {
  const std::string folder = GetModuleDirectory() + "\\Help\\";
  std::ifstream in(folder + "index.html", std::ios::binary);
  ASSERT_TRUE(in) << folder << "index.html";
  const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int pictures = 0;
  for (const std::string attribute : {"src=\"", "href=\""}) {
    for (size_t at = page.find(attribute); at != std::string::npos; at = page.find(attribute, at + 1)) {
      const size_t begin = at + attribute.size();
      std::string target = page.substr(begin, page.find('"', begin) - begin);
      if (target.empty() || target[0] == '#' || target.find(':') != std::string::npos) continue;
      target = target.substr(0, target.find('#'));
      if (attribute == "src=\"") ++pictures;
      for (char& c : target) {
        if (c == '/') c = '\\';
      }
      EXPECT_NE(GetFileAttributesA((folder + target).c_str()), INVALID_FILE_ATTRIBUTES) << target;
    }
  }
  EXPECT_GE(pictures, 4);  // the main window, the audio settings, the timer and the player
}

}  // namespace
