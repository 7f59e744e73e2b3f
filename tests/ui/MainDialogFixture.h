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
#include "support/AudioCheck.h"
#include "tests/recorder/RecorderTestEnvironment.h"
#include "tests/ui/DialogDriver.h"
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
  void Pump(int ms) { PumpMessages(ms, hwnd); }
  bool PumpUntil(const std::function<bool()>& done, int ms = 10000) { return ::PumpUntil(done, ms, hwnd); }

  HWND Item(int id) const { return ::GetDlgItem(hwnd, id); }
  void Click(int id) { ClickItem(hwnd, id); }
  void Select(int id, int index) { SelectComboItem(hwnd, id, index); }
  std::string Text(int id) const { return WindowText(id ? Item(id) : hwnd); }
  std::string Selected(int id) const { return ComboSelection(Item(id)); }
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
  void Screenshot(const char* name) { SaveScreenshot(name); }

  // The clock read around the clicks of Start and Stop. A recording made between them lasts
  // at least from the end of the first click to the start of the second and at most from
  // the start of the first to the end of the second, give or take the device's 100 ms
  // buffers; a busy machine stretches the clicks and the recording alike.
  struct RecordingSpan {
    DWORD beforeStart = 0, afterStart = 0, beforeStop = 0, afterStop = 0;
  };
  void ClickStart(RecordingSpan& span) {
    span.beforeStart = ::GetTickCount();
    Click(IDC_RECORD);
    span.afterStart = ::GetTickCount();
  }
  void ClickStop(RecordingSpan& span) {
    span.beforeStop = ::GetTickCount();
    Click(IDC_RECORD);
    span.afterStop = ::GetTickCount();
  }
  static void ExpectRecordedFor(const DecodedAudio& audio, const RecordingSpan& span) {
    EXPECT_GE(audio.Seconds(), (span.beforeStop - span.afterStart) / 1000.0 - 0.2);
    EXPECT_LE(audio.Seconds(), (span.afterStop - span.beforeStart) / 1000.0 + 0.2);
  }

  RecorderTestEnvironment env;
  CSondrelApp app;
  std::unique_ptr<CSondrelDlg> dialog;
  HWND hwnd = nullptr;
};
