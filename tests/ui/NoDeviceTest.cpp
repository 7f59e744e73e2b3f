// The main dialog on a computer without any capture device.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/SettingsStore.h"
#include "app/SondrelApp.h"
#include "res/resource.h"
#include "support/MessageBoxWatcher.h"
#include "tests/fixtures/capture/TestCapture.h"
#include "ui/main/SondrelDlg.h"

TEST(NoCaptureDevice, EveryControlIsDisabledAndTheUserIsTold) {
  ::CoInitialize(nullptr);
  {
    CTestCapture capture;
    capture.InstallDevices({});
    Settings().Load("");
    CSondrelApp app;
    CSondrelDlg dialog;
    app.m_pMainWnd = &dialog;
    MessageBoxWatcher watcher(IDOK);
    ASSERT_TRUE(dialog.Create());
    const std::vector<SeenMessageBox> seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "No available audio devices!");
    EXPECT_EQ(seen[0].icon, BoxIcon::Information);
    EXPECT_EQ(seen[0].buttons, std::vector<int>{IDOK});
    for (HWND child = ::GetWindow(dialog.m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
      const int id = ::GetDlgCtrlID(child);
      EXPECT_EQ(::IsWindowEnabled(child) != FALSE, id == IDC_PLAY) << "control " << id;
    }
    EXPECT_EQ(::SendDlgItemMessageA(dialog.m_hWnd, IDC_DEVICE, CB_GETCOUNT, 0, 0), 0);
    ::DestroyWindow(dialog.m_hWnd);
    app.m_pMainWnd = nullptr;
    capture.InstallDevices(StandardTestDevices());
  }
  ::CoUninitialize();
}
