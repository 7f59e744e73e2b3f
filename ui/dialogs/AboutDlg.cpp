#include "ui/dialogs/AboutDlg.h"

#include "framework/WinApp.h"
#include "res/resource.h"
#include "ui/dialogs/VersionResource.h"
#include "ui/main/WindowUtilities.h"

CAboutDlg::CAboutDlg(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}

// Without version information the name line ends in " v" and the notice stays empty.
BOOL CAboutDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  const std::string name = LoadProgramString(IDS_APP_TITLE);
  std::string notice;
  std::string version;
  if (const CWinApp* app = AfxGetApp()) ReadVersionInfo(app->m_exeName + ".exe", notice, version);
  SetWindowText("About " + name);
  SetDlgItemText(IDC_ABOUT_NAME, name + " v" + version);
  SetDlgItemText(IDC_ABOUT_NOTICE, notice);
  return TRUE;
}
