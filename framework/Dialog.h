#pragma once
// CDialog: a dialog from a resource template, run modally (DoModal) or modelessly (Create).
// The common-control classes the template names are registered first. The dialog procedure
// binds the object on WM_INITDIALOG and subclasses the window, so from then on every message
// goes through CWnd::WindowProc and the message map; what no handler takes goes back to the
// system's dialog procedure.

#include "DataExchange.h"
#include "Wnd.h"

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_templateId(templateId), m_parent(parent) {}

  // Runs the dialog until EndDialog; returns its result, or -1 when it cannot be created.
  INT_PTR DoModal();
  // Creates the dialog without a modal loop (the caller pumps messages).
  bool Create(CWnd* parent = nullptr);
  void EndDialog(int result);
  // True while the dialog runs and EndDialog has not been called: code that resumes after a
  // message box or a nested dialog checks it before acting on a dialog that is ending.
  bool ContinueModal() const { return m_hWnd != nullptr && !m_ending; }

  // Moves values between the controls and the members: save=true reads the controls.
  bool UpdateData(bool saveAndValidate = true);

  const MessageMap* GetMessageMap() const override;
  static const MessageMap* ThisMessageMap();

 protected:
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(CDataExchange* dx);
  virtual void OnOK();
  virtual void OnCancel();
  // Commands the dialog's own map does not handle go on to the application (ID_HELP).
  bool OnCmdMsg(UINT id, UINT code) override;

 private:
  void PrepareRun(bool modal);
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  BOOL OnHelpInfo(HELPINFO* info);
  void OnOKCommand() { OnOK(); }
  void OnCancelCommand() { OnCancel(); }

  UINT m_templateId;
  CWnd* m_parent;
  bool m_modal = false;
  bool m_ending = false;
};
