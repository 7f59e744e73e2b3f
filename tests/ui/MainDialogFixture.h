#pragma once
// The real main dialog from the real resources, with the virtual capture device, and the
// helpers its tests share: opening it as start-up does, pumping its messages, and reading
// and driving its controls as a user would.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "app/SettingsStore.h"
#include "app/SondrelApp.h"
#include "res/resource.h"
#include "support/Screenshot.h"
#include "tests/recorder/RecorderTestEnvironment.h"
#include "ui/main/SondrelDlg.h"

class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { Settings().SetString(FileTemplate, env.folder.path()); }
  void TearDown() override { Close(); }

  // Opens the dialog as start-up does, with the settings as the test left them.
  void Open() {
    dialog = std::make_unique<CSondrelDlg>();
    app.m_pMainWnd = dialog.get();
    ASSERT_TRUE(dialog->Create());
    hwnd = dialog->m_hWnd;
    Pump(100);
  }
  void Close() {
    if (dialog && dialog->m_hWnd) ::DestroyWindow(dialog->m_hWnd);
    dialog.reset();
    app.m_pMainWnd = nullptr;
  }

  // Dispatches messages for `ms`, through the dialog's keyboard handling.
  void Pump(int ms) {
    const DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
    do {
      MSG msg;
      while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (hwnd && ::IsWindow(hwnd) && ::IsDialogMessageA(hwnd, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
      }
      ::Sleep(10);
    } while (static_cast<int>(::GetTickCount() - end) < 0);
  }
  bool PumpUntil(const std::function<bool()>& done, int ms = 10000) {
    for (int waited = 0; waited < ms && !done(); waited += 50) Pump(50);
    return done();
  }

  HWND Item(int id) const { return ::GetDlgItem(hwnd, id); }
  void Click(int id) { ::SendMessageA(Item(id), BM_CLICK, 0, 0); }
  void Select(int id, int index) {
    ::SendMessageA(Item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(id)));
  }
  std::string Text(int id) const {
    char text[512] = {};
    ::GetWindowTextA(id ? Item(id) : hwnd, text, sizeof text);
    return text;
  }
  std::string Selected(int id) const {
    const LRESULT index = ::SendMessageA(Item(id), CB_GETCURSEL, 0, 0);
    char text[256] = {};
    if (index >= 0) ::SendMessageA(Item(id), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
  }
  bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
  int State() const { return app.m_recordingState; }
  HICON StateIcon() const { return reinterpret_cast<HICON>(::SendMessageA(Item(IDC_STATE_ICON), STM_GETICON, 0, 0)); }
  static HICON Icon(int id) { return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id)); }
  std::string Name(uint32_t number, const char* extension = ".mp3") const {
    char digits[8];
    snprintf(digits, sizeof digits, "%04u", number);
    return env.folder.path() + "\\" + digits + extension;
  }
  void ExpectControlsFor(int state) {
    static const struct {
      int icon;
      const char* record;
      const char* pause;
    } looks[] = {{IDI_STATE_IDLE, "Start", "Pause"},
                 {IDI_STATE_RECORDING, "Stop", "Pause"},
                 {IDI_STATE_PAUSED, "Stop", "Resume"},
                 {IDI_STATE_PLAYING, "Start", "Pause"}};
    EXPECT_EQ(State(), state);
    EXPECT_EQ(StateIcon(), Icon(looks[state].icon));
    EXPECT_EQ(Text(IDC_RECORD), looks[state].record);
    EXPECT_EQ(Text(IDC_PAUSE), looks[state].pause);
    EXPECT_EQ(Enabled(IDC_PAUSE), state == Recording || state == Paused);
    EXPECT_EQ(Enabled(IDC_PLAY), state == Idle);
  }
  void Screenshot(const char* name) {
    const std::string path = ArtifactPath(name);
    if (!path.empty()) SaveScreenAsBitmap(path);
  }

  RecorderTestEnvironment env;
  CSondrelApp app;
  std::unique_ptr<CSondrelDlg> dialog;
  HWND hwnd = nullptr;
};
