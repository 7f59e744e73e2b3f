// A dialog registers the common-control classes its template names before it is created.
// Wine's common controls may register every class as they load, so what is asked for is
// seen through the framework's registration call.
#include "framework/CommonControls.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "tests/framework/FrameworkTestRes.h"

namespace {

std::vector<DWORD> g_requested;

BOOL WINAPI RecordRequest(const INITCOMMONCONTROLSEX* request) {
  g_requested.push_back(request->dwSize == sizeof(INITCOMMONCONTROLSEX) ? request->dwICC : 0);
  return ::InitCommonControlsEx(request);
}

class CommonControls : public ::testing::Test {
 protected:
  void SetUp() override {
    g_requested.clear();
    m_previous = AfxSetInitCommonControls(&RecordRequest);
  }
  void TearDown() override { AfxSetInitCommonControls(m_previous); }

  CWinApp app;

 private:
  InitCommonControlsFunction m_previous = nullptr;
};

TEST_F(CommonControls, ClassNamesGiveTheirRegistrationFlags) {
  const struct {
    std::vector<std::string> names;
    DWORD classes;
  } cases[] = {
      {{"SysDateTimePick32"}, ICC_DATE_CLASSES},
      {{"sysdatetimepick32"}, ICC_DATE_CLASSES},  // class names ignore case
      {{"msctls_trackbar32", "SysDateTimePick32"}, ICC_BAR_CLASSES | ICC_DATE_CLASSES},
      {{"SysListView32", "SysTreeView32", "msctls_updown32"},
       ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_UPDOWN_CLASS},
      {{"Button", "MyOwnClass"}, 0},
      {{}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(CommonControlClassesFor(c.names), c.classes) << c.names.size();
}

TEST_F(CommonControls, ADialogAsksForItsClassesBeforeItIsCreated) {
  CDialog pickers(IDD_FRAMEWORK_PICKERS);
  ASSERT_TRUE(pickers.Create());
  EXPECT_EQ(g_requested, std::vector<DWORD>{ICC_DATE_CLASSES | ICC_BAR_CLASSES});
  char name[64] = {};
  ::GetClassNameA(::GetDlgItem(pickers.m_hWnd, IDC_TEST_DATE), name, sizeof name);
  EXPECT_STREQ(name, "SysDateTimePick32");
  ::DestroyWindow(pickers.m_hWnd);

  g_requested.clear();
  CDialog plain(IDD_FRAMEWORK_TEST);
  ASSERT_TRUE(plain.Create());
  EXPECT_TRUE(g_requested.empty()) << "standard controls need nothing";
  ::DestroyWindow(plain.m_hWnd);

  g_requested.clear();
  CDialog missing(9999);
  EXPECT_FALSE(missing.Create());
  EXPECT_TRUE(g_requested.empty());
}

TEST_F(CommonControls, ContinueModalEndsWithEndDialog) {
  CDialog dialog(IDD_FRAMEWORK_PICKERS);
  EXPECT_FALSE(dialog.ContinueModal()) << "not running";
  ASSERT_TRUE(dialog.Create());
  EXPECT_TRUE(dialog.ContinueModal());
  dialog.EndDialog(IDOK);
  EXPECT_FALSE(dialog.ContinueModal());
}

}  // namespace
