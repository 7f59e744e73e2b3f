#include "DataExchange.h"

#include "Wnd.h"

HWND CDataExchange::PrepareCtrl(int id) {
  m_lastControl = m_pDlgWnd->GetDlgItem(id);
  if (m_lastControl == nullptr) m_failed = true;
  return m_lastControl;
}

void CDataExchange::Fail() {
  ::MessageBeep(MB_ICONEXCLAMATION);
  if (m_lastControl != nullptr) ::SetFocus(m_lastControl);
  m_failed = true;
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (control.m_hWnd != nullptr) return;
  HWND hwnd = dx->PrepareCtrl(id);
  if (hwnd != nullptr && !control.SubclassWindow(hwnd)) dx->Fail();
}

void DDX_Check(CDataExchange* dx, int id, BOOL& value) {
  HWND hwnd = dx->PrepareCtrl(id);
  if (hwnd == nullptr) return;
  if (dx->m_bSaveAndValidate) {
    value = ::SendMessageA(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
  } else {
    ::SendMessageA(hwnd, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

void DDX_Radio(CDataExchange* dx, int firstId, int& value) {
  HWND first = dx->PrepareCtrl(firstId);
  if (first == nullptr) return;
  if (dx->m_bSaveAndValidate) value = -1;
  int index = 0;
  for (HWND button = first; button != nullptr; button = ::GetWindow(button, GW_HWNDNEXT)) {
    if (button != first && (::GetWindowLongA(button, GWL_STYLE) & WS_GROUP)) break;
    if (!(::SendMessageA(button, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)) continue;  // a label between
    if (dx->m_bSaveAndValidate) {
      if (::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
    } else {
      ::SendMessageA(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    ++index;
  }
}
