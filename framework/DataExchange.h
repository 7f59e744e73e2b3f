#pragma once
// Data exchange between a dialog's controls and its members, run in one direction per
// call: into the controls (UpdateData(false)) or out of them (UpdateData(true)).

#include <windows.h>

class CWnd;

class CDataExchange {
 public:
  CDataExchange(CWnd* dialog, bool saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

  CWnd* const m_pDlgWnd;
  const bool m_bSaveAndValidate;

  // The control's window; marks the exchange failed when the dialog has no such control.
  HWND PrepareCtrl(int id);
  // Rejects the last prepared control's value: beeps and gives it the focus.
  void Fail();
  bool Failed() const { return m_failed; }

 private:
  HWND m_lastControl = nullptr;
  bool m_failed = false;
};

// Binds `control` to the dialog's control `id` (once; later exchanges leave it bound).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// A check box and a BOOL: BST_CHECKED is TRUE.
void DDX_Check(CDataExchange* dx, int id, BOOL& value);
// A group of radio buttons and an int: the group is the radio button `firstId` and the radio
// buttons after it up to the next control that starts a group (WS_GROUP). The value is the
// checked button's index in the group; loading an index outside it checks none, and saving
// with none checked gives -1.
void DDX_Radio(CDataExchange* dx, int firstId, int& value);
