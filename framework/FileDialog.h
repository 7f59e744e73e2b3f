#pragma once
// The common open/save-as dialog. The filter uses bars between a description and its
// pattern ("*.mp3|*.mp3|"), as the program writes it.
#include <windows.h>
#include <commdlg.h>

#include <string>

class CWnd;

class CFileDialog {
 public:
  CFileDialog(BOOL openFileDialog, const char* defaultExtension = nullptr, const char* fileName = nullptr,
              DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
              CWnd* parent = nullptr);
  CFileDialog(const CFileDialog&) = delete;
  CFileDialog& operator=(const CFileDialog&) = delete;

  // IDOK or IDCANCEL.
  INT_PTR DoModal();
  std::string GetPathName() const { return m_fileName; }

  OPENFILENAMEA m_ofn{};

 private:
  bool m_open;
  std::string m_defaultExtension;
  std::string m_filter;
  char m_fileName[MAX_PATH] = {};
};
