// The about box from the real resources, reading the version resource of the executable the
// application is named after: the real Sondrel.exe beside the tests, and executables whose
// version information is incomplete or missing.
#include "ui/dialogs/AboutDlg.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/SondrelApp.h"
#include "res/resource.h"
#include "tests/ui/DialogDriver.h"

namespace {

std::string ExpectedVersion() {
  char version[32];
  std::snprintf(version, sizeof version, "%d.%d.%d.0", SONDREL_VERSION_MAJOR, SONDREL_VERSION_MINOR,
                SONDREL_VERSION_PATCH);
  return version;
}

// The texts of the dialog's fixed lines: its text controls without an id of their own.
std::vector<std::string> FixedTexts(HWND dialog) {
  std::vector<std::string> texts;
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    const bool text = (::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON;
    if (::GetDlgCtrlID(child) == IDC_STATIC && text) texts.push_back(WindowText(child));
  }
  return texts;
}

TEST(AboutBox, ShowsNameVersionAndNoticeFromTheVersionResource) {
  const struct {
    const char* executable;
    std::string nameLine;
    const char* notice;
  } cases[] = {
      {"Sondrel", "Velmora Sondrel v" + ExpectedVersion(), "Copyright (C) 2026 Velmora"},
      {"version_without_product", "Velmora Sondrel v", "Fixture notice"},  // an empty version, not a failure
      {"version_without_resource", "Velmora Sondrel v", ""},
      {"NoSuchProgram", "Velmora Sondrel v", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.executable);
    CSondrelApp app;
    app.m_exeName = c.executable;
    CAboutDlg about;
    ASSERT_TRUE(about.Create());
    about.ShowWindow(SW_SHOW);  // as a modal run shows it
    EXPECT_NE(::SendMessageA(::GetDlgItem(about.m_hWnd, IDC_STATIC), STM_GETICON, 0, 0), 0) << "the program icon";
    EXPECT_EQ(WindowText(about.m_hWnd), "About Velmora Sondrel");
    EXPECT_EQ(WindowText(about.GetDlgItem(IDC_ABOUT_NAME)), c.nameLine);
    EXPECT_EQ(WindowText(about.GetDlgItem(IDC_ABOUT_NOTICE)), c.notice);
    EXPECT_EQ(FixedTexts(about.m_hWnd), std::vector<std::string>{"All rights reserved."});
    if (&c == &cases[0]) {
      PumpMessages(200);
      SaveScreenshot("about-box.bmp");
    }
    ClickItem(about.m_hWnd, IDOK);
    EXPECT_EQ(about.m_hWnd, nullptr) << "OK closes the box";
  }
}

}  // namespace
