#include "ui/main/SondrelDlg.h"

#include "framework/WinApp.h"
#include "res/resource.h"

CSondrelDlg::CSondrelDlg()
    : CDialog(IDD_SONDREL_DIALOG), m_hIcon(::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

BOOL CSondrelDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  return TRUE;
}
