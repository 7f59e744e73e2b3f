#include "Dialog.h"

#include "CommonControls.h"
#include "WinApp.h"

const MessageMap* CDialog::ThisMessageMap() {
  static constexpr MessageEntry entries[] = {
      OnClicked<&CDialog::OnOKCommand>(IDOK),
      OnClicked<&CDialog::OnCancelCommand>(IDCANCEL),
      On<WM_HELP, &CDialog::OnHelpInfo>(),
  };
  static constexpr MessageMap map{&CWnd::ThisMessageMap, entries};
  return &map;
}

const MessageMap* CDialog::GetMessageMap() const { return ThisMessageMap(); }

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;  // the subclassed procedure saw it first
  CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
  if (!dialog->SubclassWindow(hwnd)) return TRUE;
  try {
    return dialog->OnInitDialog();
  } catch (...) {
    AfxUnhandledException();
  }
}

void CDialog::PrepareRun(bool modal) {
  m_modal = modal;
  m_ending = false;
  AfxRegisterDialogControlClasses(AfxGetInstanceHandle(), m_templateId);
}

INT_PTR CDialog::DoModal() {
  PrepareRun(true);
  HWND parent = m_parent ? m_parent->m_hWnd : nullptr;
  const INT_PTR result = ::DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_templateId), parent,
                                           &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  m_modal = false;
  return result;
}

bool CDialog::Create(CWnd* parent) {
  if (parent != nullptr) m_parent = parent;
  PrepareRun(false);
  return ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_templateId),
                              m_parent ? m_parent->m_hWnd : nullptr, &CDialog::DialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CDialog::EndDialog(int result) {
  m_ending = true;
  if (m_modal) ::EndDialog(m_hWnd, result);
  else ::DestroyWindow(m_hWnd);
}

bool CDialog::UpdateData(bool saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  DoDataExchange(&dx);
  return !dx.Failed();
}

BOOL CDialog::OnInitDialog() {
  UpdateData(false);
  return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
  if (UpdateData(true)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::OnCmdMsg(UINT id, UINT code) {
  if (CWnd::OnCmdMsg(id, code)) return true;
  CWinApp* app = AfxGetApp();
  return app != nullptr && app->OnCmdMsg(id, code);
}

// F1 arrives as WM_HELP; like a menu's Help command it becomes ID_HELP.
BOOL CDialog::OnHelpInfo(HELPINFO*) {
  SendMessage(WM_COMMAND, ID_HELP);
  return TRUE;
}
