#pragma once
#include "framework/Dialog.h"

// The about box: the program's name and version and its legal notice, both read from the
// version resource of the program's own executable.
class CAboutDlg : public CDialog {
 public:
  explicit CAboutDlg(CWnd* parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
};
