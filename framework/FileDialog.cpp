#include "framework/FileDialog.h"

#include <commdlg.h>

#include "framework/WinApp.h"
#include "framework/Wnd.h"

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExtension, const char* fileName, DWORD flags,
                         const char* filter, CWnd* parent)
    : m_open(openFileDialog != FALSE),
      m_defaultExtension(defaultExtension ? defaultExtension : ""),
      m_filter(filter ? filter : "") {
  // The system wants NUL separators and a double NUL at the end.
  for (char& c : m_filter) {
    if (c == '|') c = '\0';
  }
  m_filter.push_back('\0');
  if (fileName != nullptr) lstrcpynA(m_fileName, fileName, MAX_PATH);
  CWnd* owner = parent ? parent : AfxGetMainWnd();
  m_ofn.lStructSize = sizeof m_ofn;
  m_ofn.hwndOwner = owner ? owner->m_hWnd : nullptr;
  m_ofn.hInstance = AfxGetInstanceHandle();
  m_ofn.lpstrFilter = m_filter.size() > 1 ? m_filter.c_str() : nullptr;
  m_ofn.lpstrFile = m_fileName;
  m_ofn.nMaxFile = MAX_PATH;
  m_ofn.lpstrDefExt = m_defaultExtension.empty() ? nullptr : m_defaultExtension.c_str();
  m_ofn.Flags = flags;
}

INT_PTR CFileDialog::DoModal() {
  const BOOL chosen = m_open ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
  return chosen ? IDOK : IDCANCEL;
}
