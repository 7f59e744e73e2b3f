// The framework layer driven as the program uses it: a dialog from a real resource template,
// its message map, data exchange, default OK/Cancel/close handling, F1 reaching the
// application, and the application message box.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "support/MessageBoxWatcher.h"
#include "tests/framework/FrameworkTestRes.h"

namespace {

class TestApp : public CWinApp {
 public:
  void OnHelp() override { ++helpCount; }
  int helpCount = 0;
};

// A control the dialog binds through data exchange; counts the messages it routes.
class CountingEdit : public CWnd {
 public:
  int charCount = 0;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_CHAR) ++charCount;
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

class TestDialog : public CDialog {
 public:
  TestDialog() : CDialog(IDD_FRAMEWORK_TEST) {}

  BOOL m_checked = TRUE;
  CountingEdit m_edit;
  std::vector<std::string> log;
  // Posted from OnInitDialog, so that a modal run receives them from inside its own loop.
  std::vector<MSG> postOnInit;

  static const MessageMap* ThisMessageMap() {
    static constexpr MessageEntry entries[] = {
        OnClicked<&TestDialog::OnGo>(IDC_TEST_GO),
        OnMessage<&TestDialog::OnOwnMessage>(WM_APP + 7),
        On<WM_CLOSE, &TestDialog::OnClose>(),
    };
    static constexpr MessageMap map{&CDialog::ThisMessageMap, entries};
    return &map;
  }
  const MessageMap* GetMessageMap() const override { return ThisMessageMap(); }

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    log.push_back("init");
    for (MSG m : postOnInit) ::PostMessageA(m.hwnd ? m.hwnd : m_hWnd, m.message, m.wParam, m.lParam);
    return TRUE;
  }
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, IDC_TEST_EDIT, m_edit);
    DDX_Check(dx, IDC_TEST_CHECK, m_checked);
  }
  void OnOK() override {
    log.push_back("ok");
    CDialog::OnOK();
  }

 private:
  void OnGo() { log.push_back("go"); }
  LRESULT OnOwnMessage(WPARAM wParam, LPARAM lParam) {
    log.push_back("own " + std::to_string(wParam) + " " + std::to_string(lParam));
    return 42;
  }
  void OnClose() {
    log.push_back("close");
    Default();
  }
};

// A derived dialog: its own map first, the base's entries still reached.
class DerivedDialog : public TestDialog {
 public:
  const MessageMap* GetMessageMap() const override {
    static constexpr MessageEntry entries[] = {OnClicked<&DerivedDialog::OnOther>(IDC_TEST_OTHER)};
    static constexpr MessageMap map{&TestDialog::ThisMessageMap, entries};
    return &map;
  }

 private:
  void OnOther() { log.push_back("other"); }
};

void PumpPending() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

void Click(HWND dialog, int id) { ::SendMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

TEST(FrameworkDialog, InitialisesControlsFromMembersAndRoutesCommands) {
  TestApp app;
  TestDialog dialog;
  ASSERT_TRUE(dialog.Create());
  HWND hwnd = dialog.m_hWnd;
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(::SendDlgItemMessageA(hwnd, IDC_TEST_CHECK, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(dialog.m_edit.m_hWnd, ::GetDlgItem(hwnd, IDC_TEST_EDIT));

  Click(hwnd, IDC_TEST_GO);
  Click(hwnd, IDC_TEST_CHECK);  // the user unchecks the box
  EXPECT_EQ(::SendMessageA(hwnd, WM_APP + 7, 3, 4), 42) << "a handler's result is the message's result";
  EXPECT_TRUE(dialog.UpdateData(true));
  EXPECT_FALSE(dialog.m_checked);
  EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "go", "own 3 4"}));

  ::SendMessageA(::GetDlgItem(hwnd, IDC_TEST_EDIT), WM_CHAR, 'a', 0);
  EXPECT_EQ(dialog.m_edit.charCount, 1) << "a bound control's messages pass through its object";
  ::DestroyWindow(hwnd);
  EXPECT_EQ(dialog.m_hWnd, nullptr) << "the object lets go of a destroyed window";
}

TEST(FrameworkDialog, DerivedMapFallsBackToBaseEntries) {
  TestApp app;
  DerivedDialog dialog;
  ASSERT_TRUE(dialog.Create());
  Click(dialog.m_hWnd, IDC_TEST_OTHER);
  Click(dialog.m_hWnd, IDC_TEST_GO);
  EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "other", "go"}));
  ::DestroyWindow(dialog.m_hWnd);
}

struct ModalCase {
  const char* name;
  UINT message;
  WPARAM wParam;
  INT_PTR expectedResult;
  std::vector<std::string> expectedLog;
};

TEST(FrameworkDialog, ModalRunEndsByKeysAndClose) {
  const ModalCase cases[] = {
      {"Esc", WM_KEYDOWN, VK_ESCAPE, IDCANCEL, {"init"}},
      {"Enter", WM_KEYDOWN, VK_RETURN, IDOK, {"init", "ok"}},
      {"close box", WM_CLOSE, 0, IDCANCEL, {"init", "close"}},
  };
  for (const ModalCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestApp app;
    TestDialog dialog;
    dialog.postOnInit.push_back(MSG{nullptr, c.message, c.wParam, 0, 0, {}});
    EXPECT_EQ(dialog.DoModal(), c.expectedResult);
    EXPECT_EQ(dialog.log, c.expectedLog);
  }
}

TEST(FrameworkDialog, OkRunsDataExchangeBeforeEnding) {
  TestApp app;
  TestDialog dialog;
  dialog.m_checked = FALSE;
  ASSERT_TRUE(dialog.Create());
  Click(dialog.m_hWnd, IDC_TEST_CHECK);
  Click(dialog.m_hWnd, IDOK);
  EXPECT_TRUE(dialog.m_checked);
  EXPECT_EQ(dialog.m_hWnd, nullptr) << "OK ended the dialog";
}

TEST(FrameworkDialog, F1ReachesTheApplicationsHelp) {
  TestApp app;
  TestDialog dialog;
  ASSERT_TRUE(dialog.Create());
  HWND edit = ::GetDlgItem(dialog.m_hWnd, IDC_TEST_EDIT);
  ::SetForegroundWindow(dialog.m_hWnd);
  ::SetFocus(edit);
  // A real key press: the system turns F1 from the keyboard (not a posted key) into WM_HELP.
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = VK_F1;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ASSERT_EQ(::SendInput(2, keys, sizeof(INPUT)), 2u);
  for (int i = 0; i < 50 && app.helpCount == 0; ++i) {
    PumpPending();
    ::Sleep(20);
  }
  EXPECT_EQ(app.helpCount, 1);
  ::DestroyWindow(dialog.m_hWnd);
}

// The same template with its radio group, list box and icon button exchanged.
class ControlsDialog : public CDialog {
 public:
  ControlsDialog() : CDialog(IDD_FRAMEWORK_TEST) {}
  int m_choice = 1;
  CListBox m_list;
  CButton m_iconButton;

 protected:
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Radio(dx, IDC_TEST_RADIO_ONE, m_choice);
    DDX_Control(dx, IDC_TEST_LIST, m_list);
    DDX_Control(dx, IDC_TEST_ICON_BUTTON, m_iconButton);
  }
};

bool Checked(HWND dialog, int id) { return ::SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

TEST(FrameworkDialog, RadioGroupExchangesTheIndexOfItsCheckedButton) {
  TestApp app;
  ControlsDialog dialog;
  ASSERT_TRUE(dialog.Create());
  HWND hwnd = dialog.m_hWnd;
  ::SendDlgItemMessageA(hwnd, IDC_TEST_RADIO_OTHER, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_TRUE(Checked(hwnd, IDC_TEST_RADIO_TWO)) << "index 1 is the second button; the label does not count";
  EXPECT_FALSE(Checked(hwnd, IDC_TEST_RADIO_ONE));

  Click(hwnd, IDC_TEST_RADIO_THREE);
  ASSERT_TRUE(dialog.UpdateData(true));
  EXPECT_EQ(dialog.m_choice, 2);

  dialog.m_choice = 7;  // no such button: none is checked, and saving gives -1
  ASSERT_TRUE(dialog.UpdateData(false));
  for (const int id : {IDC_TEST_RADIO_ONE, IDC_TEST_RADIO_TWO, IDC_TEST_RADIO_THREE}) EXPECT_FALSE(Checked(hwnd, id));
  ASSERT_TRUE(dialog.UpdateData(true));
  EXPECT_EQ(dialog.m_choice, -1);
  EXPECT_TRUE(Checked(hwnd, IDC_TEST_RADIO_OTHER)) << "the next group is not part of the exchange";
  ::DestroyWindow(hwnd);
}

TEST(FrameworkControls, ListBoxAndIconButton) {
  TestApp app;
  ControlsDialog dialog;
  ASSERT_TRUE(dialog.Create());
  CListBox& list = dialog.m_list;
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetCurSel(), LB_ERR) << "nothing selected";
  EXPECT_EQ(list.GetText(0), "") << "no such item";
  EXPECT_EQ(list.AddString("C:\b.mp3"), 0);
  EXPECT_EQ(list.AddString("C:\a.mp3"), 1) << "unsorted: in the order added";
  EXPECT_EQ(list.SetCurSel(1), 1);
  EXPECT_EQ(list.GetText(list.GetCurSel()), "C:\a.mp3");
  list.ResetContent();
  EXPECT_EQ(list.GetCount(), 0);

  HICON first = ::LoadIconA(nullptr, IDI_APPLICATION);
  HICON second = ::LoadIconA(nullptr, IDI_WARNING);
  EXPECT_EQ(dialog.m_iconButton.SetIcon(first), nullptr);
  EXPECT_EQ(dialog.m_iconButton.SetIcon(second), first) << "the previous image";
  EXPECT_EQ(dialog.m_iconButton.GetIcon(), second);
  ::DestroyWindow(dialog.m_hWnd);
}

// A box belongs to what the user works in: a dialog open over the main window, else the
// main window; without a main window to nobody.
TEST(FrameworkApp, MessageBoxOwnerIsTheMainWindowsLastActivePopup) {
  TestApp app;
  EXPECT_EQ(AfxGetMessageBoxOwner(), nullptr);
  TestDialog main;
  ASSERT_TRUE(main.Create());
  app.m_pMainWnd = &main;
  ::SetActiveWindow(main.m_hWnd);
  EXPECT_EQ(AfxGetMessageBoxOwner(), main.m_hWnd);

  TestDialog over;
  ASSERT_TRUE(over.Create(&main));
  ::SetActiveWindow(over.m_hWnd);
  EXPECT_EQ(AfxGetMessageBoxOwner(), over.m_hWnd);
  {
    MessageBoxWatcher watcher(IDOK);
    AfxMessageBox("Over the dialog");
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].owner, over.m_hWnd);
  }
  ::DestroyWindow(over.m_hWnd);
  EXPECT_EQ(AfxGetMessageBoxOwner(), main.m_hWnd) << "the dialog is gone";
  ::DestroyWindow(main.m_hWnd);
  EXPECT_EQ(AfxGetMessageBoxOwner(), nullptr) << "the main window's object without a window";
  app.m_pMainWnd = nullptr;
}

TEST(FrameworkApp, NamedAfterTheExecutableAndCaptionsMessageBoxes) {
  TestApp app;
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string expected = path;
  expected = expected.substr(expected.rfind('\\') + 1);
  expected = expected.substr(0, expected.rfind('.'));
  EXPECT_EQ(app.GetAppName(), expected);
  EXPECT_EQ(app.m_exeName, expected);
  EXPECT_EQ(AfxGetApp(), &app);

  MessageBoxWatcher watcher(IDNO);
  EXPECT_EQ(AfxMessageBox("Two\nlines?", MB_YESNO | MB_ICONQUESTION), IDNO);
  const std::vector<SeenMessageBox> seen = watcher.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, expected);
  EXPECT_EQ(seen[0].text, "Two\nlines?");
  EXPECT_EQ(seen[0].icon, BoxIcon::Question);
  EXPECT_EQ(seen[0].buttons, (std::vector<int>{IDYES, IDNO}));
}

}  // namespace
