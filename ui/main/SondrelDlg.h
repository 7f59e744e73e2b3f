#pragma once
#include "framework/Dialog.h"

// The program's main window, a modal dialog that runs for the whole life of the process.
class CSondrelDlg : public CDialog {
 public:
  CSondrelDlg();

 protected:
  BOOL OnInitDialog() override;

 private:
  HICON m_hIcon;
};
