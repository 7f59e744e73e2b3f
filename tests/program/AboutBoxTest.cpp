// The about box of the real Sondrel.exe, opened from its system menu the way a user does:
// it shows the name and the version and notice of the executable's own version resource.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "res/resource.h"
#include "support/ProgramProcess.h"
#include "support/TempDir.h"

namespace {

// The text of another process's window (WM_GETTEXT crosses processes).
std::string TextOf(HWND window) {
  char text[256] = {};
  ::SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

HWND WaitForWindowTitled(DWORD processId, const std::string& title) {
  for (int i = 0; i < 400; ++i, ::Sleep(50)) {
    for (HWND window : TopLevelWindowsOf(processId, "#32770")) {
      if (TextOf(window) == title) return window;
    }
  }
  return nullptr;
}

TEST(ProgramAboutBox, SystemMenuItemShowsTheExecutablesVersion) {
  TempDir dir;
  ProgramProcess program(dir.path());
  HWND window = program.WaitForMainWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(::PostMessageA(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0));
  HWND about = WaitForWindowTitled(program.id(), "About Velmora Sondrel");
  ASSERT_NE(about, nullptr);
  char nameLine[64];
  std::snprintf(nameLine, sizeof nameLine, "Velmora Sondrel v%d.%d.%d.0", SONDREL_VERSION_MAJOR, SONDREL_VERSION_MINOR,
                SONDREL_VERSION_PATCH);
  EXPECT_EQ(TextOf(::GetDlgItem(about, IDC_ABOUT_NAME)), nameLine);
  EXPECT_EQ(TextOf(::GetDlgItem(about, IDC_ABOUT_NOTICE)), "Copyright (C) 2026 Velmora");
  EXPECT_EQ(::GetWindow(about, GW_OWNER), window) << "modal over the main window";

  ASSERT_TRUE(::PostMessageA(about, WM_COMMAND, IDOK, 0));
  for (int i = 0; i < 100 && ::IsWindow(about); ++i) ::Sleep(50);
  EXPECT_FALSE(::IsWindow(about));
  ASSERT_TRUE(::PostMessageA(window, WM_CLOSE, 0, 0));
  DWORD exitCode = 1234;
  ASSERT_TRUE(program.WaitForExit(exitCode));
  EXPECT_EQ(exitCode, 0u);
}

}  // namespace
