// The main window's notification-area side, driven as a user drives it: the minimise
// button and the system menu, the icon's clicks and its menu. The shell's side is seen
// through the records the window hands it.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/WindowMessages.h"
#include "support/MessageBoxWatcher.h"
#include "tests/ui/MainDialogFixture.h"
#include "tests/ui/SystemCallsRecorder.h"

namespace {

constexpr UINT kIconId = 128;
// The size field of the full ANSI record, without the balloon icon of later shells.
#ifdef _WIN64
constexpr DWORD kRecordSize = 520;
#else
constexpr DWORD kRecordSize = 504;
#endif

class TrayTest : public MainDialogTest {
 public:
  // The two ways to minimise, as a table's entries. A real click: the system's own
  // press-and-release handling of a caption button runs only for a real press.
  // A synthesised click can be lost on a busy display before it reaches the window; a user
  // would click again, and so does the test while the window shows no effect of it.
  void ClickMinimiseButton() {
    for (int attempt = 0; attempt < 3; ++attempt) {
      ClickAt(MinimiseButton());
      if (PumpUntil([&] { return !Visible() || ::IsIconic(hwnd); }, 3000)) break;
    }
    Pump(100);
  }
  void ChooseSystemMenuMinimise() { ::SendMessageA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0); }

 protected:
  static HICON TrayImage(int id) {
    return static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON,
                                           ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                           LR_SHARED));
  }
  void IconMouse(UINT mouseMessage, UINT id = kIconId) { ::SendMessageA(hwnd, WM_TRAY_NOTIFY, id, mouseMessage); }
  void TrayCommand(UINT id) { ::SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  bool Visible() const { return ::IsWindowVisible(hwnd) != FALSE; }

  // The middle of the caption's minimise button, in screen coordinates, as the window's own
  // hit test places it.
  POINT MinimiseButton() const {
    RECT frame{};
    ::GetWindowRect(hwnd, &frame);
    long sumX = 0, sumY = 0, hits = 0;
    for (int y = frame.top; y < frame.top + 40; ++y) {
      for (int x = frame.right - 1; x > frame.right - 160; --x) {
        if (::SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTMINBUTTON) sumX += x, sumY += y, ++hits;
      }
    }
    EXPECT_GT(hits, 0) << "the caption has a minimise button";
    return hits ? POINT{sumX / hits, sumY / hits} : POINT{};
  }

  static void ClickAt(POINT point) {
    INPUT input[3] = {};
    for (INPUT& i : input) i.type = INPUT_MOUSE;
    input[0].mi.dx = ::MulDiv(point.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
    input[0].mi.dy = ::MulDiv(point.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(1, &input[0], sizeof(INPUT));
    ::Sleep(100);
    ::SendInput(2, &input[1], sizeof(INPUT));
  }

  void ExpectRecord(const SystemCallsRecorder::IconCall& call, DWORD message, UINT flags, int image) {
    EXPECT_EQ(call.message, message);
    EXPECT_EQ(call.record.cbSize, kRecordSize);
    EXPECT_EQ(call.record.hWnd, hwnd);
    EXPECT_EQ(call.record.uID, kIconId);
    EXPECT_EQ(call.record.uFlags, flags);
    // The record is filled whole every time; the flags say which fields count.
    EXPECT_EQ(call.record.uCallbackMessage, WM_TRAY_NOTIFY);
    EXPECT_EQ(call.record.hIcon, TrayImage(image)) << "icon " << image;
    EXPECT_STREQ(call.record.szTip, "Velmora Sondrel");
  }

  // Opens the icon's menu with a right click; `inMenu` runs with the menu window and its
  // menu while it is open and says whether it chose an item. Otherwise Esc closes the menu.
  void WithTrayMenu(const std::function<bool(HWND, HMENU)>& inMenu) {
    WindowActor actor("#32768", "", [&](HWND menuWindow) {
      HMENU menu = reinterpret_cast<HMENU>(::SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
      if (inMenu(menuWindow, menu)) {
        for (int i = 0; i < 150 && ::IsWindowVisible(menuWindow); ++i) ::Sleep(20);
      }
      if (::IsWindowVisible(menuWindow)) ::PostMessageA(menuWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    IconMouse(WM_RBUTTONUP);  // returns when the menu has closed
    Pump(100);
    EXPECT_TRUE(actor.Finish()) << "the menu opened";
  }
  // Clicks a menu item with the mouse, as a user does.
  static void ClickMenuItem(HMENU menu, UINT position) {
    RECT item{};
    ASSERT_TRUE(::GetMenuItemRect(nullptr, menu, position, &item));
    ClickAt({(item.left + item.right) / 2, (item.top + item.bottom) / 2});
  }

  SystemCallsRecorder calls;
};

TEST_F(TrayTest, IconizeHidesToTheIconFromTheMinimiseButtonAndTheSystemMenu) {
  const struct {
    const char* how;
    void (TrayTest::*minimise)();
  } ways[] = {{"minimise button", &TrayTest::ClickMinimiseButton},
              {"system menu", &TrayTest::ChooseSystemMenuMinimise}};
  Open();
  for (const auto& way : ways) {
    SCOPED_TRACE(way.how);
    calls.Clear();
    (this->*way.minimise)();
    EXPECT_FALSE(Visible());
    EXPECT_FALSE(::IsIconic(hwnd));
    EXPECT_TRUE(dialog->TrayIconShown());
    std::vector<SystemCallsRecorder::IconCall> icon = calls.IconCalls();
    ASSERT_EQ(icon.size(), 1u);
    ExpectRecord(icon[0], NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, IDI_TRAY_IDLE);

    // A single left click, or a double click on another icon, does nothing.
    IconMouse(WM_LBUTTONDOWN);
    IconMouse(WM_LBUTTONUP);
    IconMouse(WM_LBUTTONDBLCLK, kIconId + 1);
    Pump(100);
    EXPECT_FALSE(Visible());
    EXPECT_EQ(calls.IconCalls().size(), 1u);

    IconMouse(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(Visible());
    EXPECT_FALSE(::IsIconic(hwnd));
    EXPECT_FALSE(dialog->TrayIconShown());
    EXPECT_EQ(::GetForegroundWindow(), hwnd);
    icon = calls.IconCalls();
    ASSERT_EQ(icon.size(), 2u);
    ExpectRecord(icon[1], NIM_DELETE, 0, IDI_TRAY_IDLE);
  }
}

TEST_F(TrayTest, WithIconizeOffTheWindowMinimisesNormally) {
  Open();
  Click(IDC_ICONIZE);
  ASSERT_FALSE(Settings().GetBool(Iconize));
  for (void (TrayTest::*minimise)() : {&TrayTest::ClickMinimiseButton, &TrayTest::ChooseSystemMenuMinimise}) {
    (this->*minimise)();
    Pump(100);
    EXPECT_TRUE(::IsIconic(hwnd));
    EXPECT_FALSE(dialog->TrayIconShown());
    ::ShowWindow(hwnd, SW_RESTORE);
  }
  EXPECT_TRUE(calls.IconCalls().empty());
}

TEST_F(TrayTest, MenuEnablesItsItemsByState) {
  const UINT ids[] = {ID_TRAY_RESTORE, ID_TRAY_START, ID_TRAY_STOP, ID_TRAY_PAUSE, ID_TRAY_RESUME, ID_TRAY_EXIT};
  const struct {
    int state;
    bool enabled[6];
  } cases[] = {
      {Idle, {true, true, false, false, false, true}},
      {Recording, {true, false, true, true, false, true}},
      {Paused, {true, false, false, false, true, true}},
  };
  Open();
  ClickMinimiseButton();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state);
    if (c.state == Recording) Click(IDC_RECORD);
    if (c.state == Paused) Click(IDC_PAUSE);
    ASSERT_EQ(State(), c.state);
    std::vector<bool> enabled;
    RECT menuRect{};
    ::SetCursorPos(300, 250);
    WithTrayMenu([&](HWND menuWindow, HMENU menu) {
      for (UINT id : ids) enabled.push_back((::GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0);
      ::GetWindowRect(menuWindow, &menuRect);
      return false;
    });
    EXPECT_EQ(enabled, std::vector<bool>(std::begin(c.enabled), std::end(c.enabled)));
    EXPECT_NEAR(menuRect.left, 300, 2) << "the menu opens at the cursor";
    EXPECT_NEAR(menuRect.top, 250, 2);
    EXPECT_FALSE(Visible()) << "the menu does not restore the window";
  }
  Click(IDC_RECORD);
}

TEST_F(TrayTest, StopFromTheMenuChangesTheIconAndKeepsTheWindowHidden) {
  Open();
  Click(IDC_RECORD);
  ASSERT_EQ(State(), Recording);
  ClickMinimiseButton();
  ASSERT_EQ(calls.IconCalls().size(), 1u);
  ExpectRecord(calls.IconCalls()[0], NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, IDR_MAINFRAME);
  Pump(500);
  WithTrayMenu([&](HWND, HMENU menu) {
    ClickMenuItem(menu, 3);  // Restore, separator, Start, Stop
    return true;
  });
  EXPECT_TRUE(PumpUntil([&] { return State() == Idle; }, 5000));
  EXPECT_FALSE(Visible());
  const std::vector<SystemCallsRecorder::IconCall> icon = calls.IconCalls();
  ASSERT_EQ(icon.size(), 2u);
  ExpectRecord(icon[1], NIM_MODIFY, NIF_ICON, IDI_TRAY_IDLE);
  EXPECT_EQ(Text(0), "Velmora Sondrel - 0001.mp3");
}

TEST_F(TrayTest, TrayCommandsActOnlyInTheirStates) {
  const struct {
    int from;
    UINT command;
    int to;
  } cases[] = {
      {Idle, ID_TRAY_STOP, Idle},       {Idle, ID_TRAY_PAUSE, Idle},         {Idle, ID_TRAY_RESUME, Idle},
      {Idle, ID_TRAY_START, Recording}, {Recording, ID_TRAY_START, Recording}, {Recording, ID_TRAY_RESUME, Recording},
      {Recording, ID_TRAY_PAUSE, Paused}, {Paused, ID_TRAY_PAUSE, Paused},   {Paused, ID_TRAY_STOP, Paused},
      {Paused, ID_TRAY_RESUME, Recording}, {Recording, ID_TRAY_STOP, Idle},
  };
  Open();
  for (const auto& c : cases) {
    ASSERT_EQ(State(), c.from) << c.command;
    TrayCommand(c.command);
    EXPECT_EQ(State(), c.to) << "command " << c.command << " from " << c.from;
  }
  EXPECT_EQ(Settings().GetUInt(FileCount), 2u) << "one recording";

  ClickMinimiseButton();
  TrayCommand(ID_TRAY_RESTORE);
  EXPECT_TRUE(Visible());
  EXPECT_FALSE(dialog->TrayIconShown());
}

TEST_F(TrayTest, ScheduledStartWhileHiddenChangesTheIconOnly) {
  Open();
  ClickMinimiseButton();
  ::PostMessageA(hwnd, WM_SCHEDULE_DUE, 0, 0);  // as the start schedule's worker does
  EXPECT_TRUE(PumpUntil([&] { return State() == Recording; }, 5000));
  EXPECT_FALSE(Visible());
  const std::vector<SystemCallsRecorder::IconCall> icon = calls.IconCalls();
  ASSERT_EQ(icon.size(), 2u);
  ExpectRecord(icon[1], NIM_MODIFY, NIF_ICON, IDR_MAINFRAME);
  TrayCommand(ID_TRAY_STOP);
}

TEST_F(TrayTest, ExitWhileRecordingAsksAndNoKeepsItRunningHidden) {
  Open();
  Click(IDC_RECORD);
  ClickMinimiseButton();
  {
    MessageBoxWatcher watcher(IDNO);
    TrayCommand(ID_TRAY_EXIT);
    EXPECT_TRUE(PumpUntil([&] { return !watcher.Seen().empty(); }, 5000));
    Pump(200);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].text, "Application is still recording.\nDo you want to quit anyway?");
    EXPECT_TRUE(watcher.Seen()[0].foreground) << "a box comes to the front while the window is hidden";
  }
  EXPECT_TRUE(::IsWindow(hwnd));
  EXPECT_FALSE(Visible());
  EXPECT_EQ(State(), Recording);
  EXPECT_TRUE(dialog->TrayIconShown());

  // Yes ends the program; the window's destruction removes the icon.
  MessageBoxWatcher watcher(IDYES);
  TrayCommand(ID_TRAY_EXIT);
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }, 5000));
  const std::vector<SystemCallsRecorder::IconCall> icon = calls.IconCalls();
  ASSERT_FALSE(icon.empty());
  EXPECT_EQ(icon.back().message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(icon.back().record.uID, kIconId);
  EXPECT_EQ(calls.CountIconCalls(NIM_DELETE), 1u);
}

TEST_F(TrayTest, AFailedAddMinimisesInsteadAndANewNotificationAreaGetsTheIconAgain) {
  Open();
  calls.FailIconAdds(true);
  ClickMinimiseButton();
  EXPECT_TRUE(::IsIconic(hwnd)) << "no icon: the window stays reachable";
  EXPECT_TRUE(Visible());
  EXPECT_FALSE(dialog->TrayIconShown());
  ::ShowWindow(hwnd, SW_RESTORE);

  calls.FailIconAdds(false);
  const UINT taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
  ::SendMessageA(hwnd, taskbarCreated, 0, 0);
  EXPECT_EQ(calls.CountIconCalls(NIM_ADD), 1u) << "no icon shown, none added";

  ClickMinimiseButton();
  ASSERT_TRUE(dialog->TrayIconShown());
  ::SendMessageA(hwnd, taskbarCreated, 0, 0);
  std::vector<SystemCallsRecorder::IconCall> icon = calls.IconCalls();
  ASSERT_EQ(icon.size(), 3u);
  ExpectRecord(icon[2], NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, IDI_TRAY_IDLE);
  EXPECT_FALSE(Visible());

  // A notification area that comes back unable to take the icon leaves a minimised window.
  calls.FailIconAdds(true);
  ::SendMessageA(hwnd, taskbarCreated, 0, 0);
  EXPECT_TRUE(::IsIconic(hwnd));
  EXPECT_TRUE(Visible());
  EXPECT_FALSE(dialog->TrayIconShown());
  Close();
  EXPECT_EQ(calls.CountIconCalls(NIM_DELETE), 0u) << "nothing to remove";
}

}  // namespace
