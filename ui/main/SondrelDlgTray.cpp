// The main dialog's notification-area side: hiding to the icon and back, the icon's image
// following the recording state, and the icon's menu.
#include <memory>
#include <type_traits>

#include "app/SettingsStore.h"
#include "app/SondrelApp.h"
#include "app/WindowMessages.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "ui/main/SondrelDlg.h"
#include "ui/main/SystemCalls.h"
#include "ui/main/WindowUtilities.h"

namespace {

constexpr UINT kTrayIconId = 128;
constexpr UINT kAddFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
constexpr int kAnyState = -1;

// A tray command, and the state in which it does something (its menu item is enabled then).
struct TrayCommand {
  UINT id;
  int state;
  void (CSondrelDlg::*action)();
};

constexpr TrayCommand kTrayCommands[] = {
    {ID_TRAY_STOP, Recording, &CSondrelDlg::ToggleRecording},
    {ID_TRAY_PAUSE, Recording, &CSondrelDlg::TogglePause},
    {ID_TRAY_START, Idle, &CSondrelDlg::ToggleRecording},
    {ID_TRAY_RESUME, Paused, &CSondrelDlg::TogglePause},
    {ID_TRAY_EXIT, kAnyState, &CSondrelDlg::PostClose},
    {ID_TRAY_RESTORE, kAnyState, &CSondrelDlg::RestoreWindow},
};

bool Applies(const TrayCommand& command, int state) { return command.state == kAnyState || command.state == state; }

using MenuHandle = std::unique_ptr<std::remove_pointer_t<HMENU>, decltype(&::DestroyMenu)>;

}  // namespace

NOTIFYICONDATAA CSondrelDlg::TrayIconRecord(UINT flags) const {
  NOTIFYICONDATAA record{};
  // The full ANSI record up to the balloon icon of later shells, which is never used: 504
  // bytes in the 32-bit program.
  record.cbSize = NOTIFYICONDATAA_V3_SIZE;
  record.hWnd = m_hWnd;
  record.uID = kTrayIconId;
  record.uFlags = flags;
  record.uCallbackMessage = WM_TRAY_NOTIFY;
  const UINT image = TheApp().m_recordingState == Recording ? IDR_MAINFRAME : IDI_TRAY_IDLE;
  record.hIcon = static_cast<HICON>(::LoadImageA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(image), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                                 LR_SHARED));
  ::lstrcpynA(record.szTip, LoadProgramString(IDS_APP_TITLE).c_str(), sizeof record.szTip);
  return record;
}

// Where no icon can be added (there is no notification area, for instance) the window
// minimises normally instead: hidden without an icon, it could not be reached again.
void CSondrelDlg::AddTrayIcon() {
  NOTIFYICONDATAA record = TrayIconRecord(kAddFlags);
  if (TheSystemCalls().notifyIcon(NIM_ADD, &record)) {
    m_trayIconShown = 1;
    ShowWindow(SW_HIDE);
  } else {
    m_trayIconShown = 0;
    ShowWindow(SW_MINIMIZE);
  }
}

void CSondrelDlg::IconizeWindow(bool iconize) {
  if (!iconize) {
    RestoreWindow();
  } else if (!Settings().GetBool(Iconize)) {
    ShowWindow(SW_MINIMIZE);
  } else if (!m_trayIconShown) {
    AddTrayIcon();
  }
}

void CSondrelDlg::RestoreWindow() {
  RemoveTrayIcon();
  ShowWindow(SW_RESTORE);
  ::SetForegroundWindow(m_hWnd);
}

void CSondrelDlg::RemoveTrayIcon() {
  if (!m_trayIconShown) return;
  NOTIFYICONDATAA record = TrayIconRecord(0);
  TheSystemCalls().notifyIcon(NIM_DELETE, &record);
  m_trayIconShown = 0;
}

// After a start or a stop; the tip stays.
void CSondrelDlg::UpdateTrayIcon() {
  if (!m_trayIconShown) return;
  NOTIFYICONDATAA record = TrayIconRecord(NIF_ICON);
  TheSystemCalls().notifyIcon(NIM_MODIFY, &record);
}

// The shell tells every program when it has recreated the notification area.
UINT CSondrelDlg::TaskbarCreatedMessage() {
  static const UINT message = ::RegisterWindowMessageA("TaskbarCreated");
  return message;
}

// The new notification area holds none of the old icons.
void CSondrelDlg::OnTaskbarCreated() {
  if (m_trayIconShown) AddTrayIcon();
}

LRESULT CSondrelDlg::OnTrayNotify(WPARAM iconId, LPARAM mouseMessage) {
  if (iconId != kTrayIconId) return 1;
  if (mouseMessage == WM_LBUTTONDBLCLK) RestoreWindow();
  else if (mouseMessage == WM_RBUTTONUP) ShowTrayMenu();
  return 1;
}

void CSondrelDlg::ShowTrayMenu() {
  MenuHandle menu(::LoadMenuA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_TRAY_MENU)), &::DestroyMenu);
  HMENU popup = menu ? ::GetSubMenu(menu.get(), 0) : nullptr;
  if (popup == nullptr) return;
  const int state = TheApp().m_recordingState;
  for (const TrayCommand& command : kTrayCommands) {
    ::EnableMenuItem(popup, command.id, MF_BYCOMMAND | (Applies(command, state) ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
  }
  POINT cursor{};
  ::GetCursorPos(&cursor);
  // Without the foreground the menu would not close when the user clicks elsewhere, and
  // without the posted message it would not close on the next click either.
  ::SetForegroundWindow(m_hWnd);
  ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, m_hWnd, nullptr);
  PostMessage(WM_NULL);
}

// The tray's commands are checked against the recording state in the same table that
// enables their menu items, before the command goes its usual way.
BOOL CSondrelDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  RunTrayCommand(LOWORD(wParam));
  return CDialog::OnCommand(wParam, lParam);
}

void CSondrelDlg::RunTrayCommand(UINT id) {
  for (const TrayCommand& command : kTrayCommands) {
    if (command.id == id && Applies(command, TheApp().m_recordingState)) (this->*command.action)();
  }
}

// The close question (asked while recording) comes from the close itself.
void CSondrelDlg::PostClose() { PostMessage(WM_CLOSE); }

void CSondrelDlg::OnNcLButtonDown(UINT hitTest, POINTS) {
  // Taken here, the caption button's own press-and-release handling never starts.
  if (hitTest == HTMINBUTTON && Settings().GetBool(Iconize)) IconizeWindow(true);
  else Default();
}

void CSondrelDlg::OnDestroy() {
  Default();
  RemoveTrayIcon();
  SetKeepAwake(false);
}
