// The four kinds of message box, in both forms, as the user sees them.
#include "ui/main/MessageBoxes.h"

#include <gtest/gtest.h>

#include "app/SondrelApp.h"
#include "framework/Dialog.h"
#include "res/resource.h"
#include "support/MessageBoxWatcher.h"
#include "tests/ui/UiTestRes.h"

namespace {

TEST(MessageBoxes, KindsShowTheirIconButtonsAndCaption) {
  CSondrelApp app;
  MessageBoxWatcher watcher(IDNO);
  ShowWarningBox("Careful: %d", 3);
  ShowErrorBox(IDS_START_FAILED);
  ShowInfoBox(IDS_NO_AUDIO_DEVICES);
  EXPECT_EQ(AskYesNoBox(IDS_QUIT_WHILE_RECORDING), IDNO);
  watcher.SetAnswer(IDYES);
  EXPECT_EQ(AskYesNoBox("Sure?"), IDYES);
  ShowErrorBox(9999u);  // no such string: an empty box is still shown

  const std::vector<SeenMessageBox> seen = watcher.Seen();
  ASSERT_EQ(seen.size(), 6u);
  const struct {
    const char* text;
    BoxIcon icon;
    std::vector<int> buttons;
  } expected[] = {
      {"Careful: 3", BoxIcon::Warning, {IDOK}},
      {"Could not start recording!", BoxIcon::Error, {IDOK}},
      {"No available audio devices!", BoxIcon::Information, {IDOK}},
      {"Application is still recording.\nDo you want to quit anyway?", BoxIcon::Question, {IDYES, IDNO}},
      {"Sure?", BoxIcon::Question, {IDYES, IDNO}},
      {"", BoxIcon::Error, {IDOK}},
  };
  for (size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(expected[i].text);
    EXPECT_EQ(seen[i].caption, app.GetAppName());
    EXPECT_EQ(seen[i].text, expected[i].text);
    EXPECT_EQ(seen[i].icon, expected[i].icon);
    EXPECT_EQ(seen[i].buttons, expected[i].buttons);
  }
}

TEST(MessageBoxes, BoxComesToTheFrontWhileTheMainWindowIsHidden) {
  CSondrelApp app;
  CDialog dialog(IDD_CONTROL_HOST);
  ASSERT_TRUE(dialog.Create());
  app.m_pMainWnd = &dialog;
  dialog.ShowWindow(SW_HIDE);
  HWND other = ::CreateWindowExA(0, "STATIC", "another program", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                 nullptr, nullptr, nullptr);
  ::SetForegroundWindow(other);
  MessageBoxWatcher watcher(IDOK);
  ShowWarningBox(IDS_INVALID_TIMER);
  const std::vector<SeenMessageBox> seen = watcher.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "Warning: invalid timer date/time!");
  EXPECT_TRUE(seen[0].foreground);
  ::DestroyWindow(other);
  app.m_pMainWnd = nullptr;
}

}  // namespace
