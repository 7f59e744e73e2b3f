#pragma once
// CWnd: a C++ object bound to a window. A bound window is subclassed: its messages go
// through WindowProc, then the class's message map, then the window's original procedure.
//
// Rules:
// - One thread: every window lives on the interface thread.
// - A CWnd does not own its window unless it created it; Detach unbinds without destroying.
// - No C++ exception leaves WindowProc: the static procedure catches at the boundary.

#include <string>

#include "CmdTarget.h"

// windowsx.h defines a macro of this name; the member function below takes its place.
#ifdef SubclassWindow
#undef SubclassWindow
#endif

class CWnd : public CCmdTarget {
 public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  ~CWnd() override;

  HWND m_hWnd = nullptr;
  operator HWND() const { return m_hWnd; }

  // The bound CWnd of a window, or null.
  static CWnd* FromHandlePermanent(HWND hwnd);

  // Binds this object to a dialog's control and routes its messages through WindowProc.
  bool SubclassDlgItem(UINT id, CWnd* parent);
  bool SubclassWindow(HWND hwnd);
  HWND UnsubclassWindow();

  // Thin wrappers: one per call the program makes.
  CWnd* GetParent() const;
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  std::string GetWindowText() const;
  void SetWindowText(const std::string& text) { ::SetWindowTextA(m_hWnd, text.c_str()); }
  void SetDlgItemText(int id, const std::string& text) { ::SetDlgItemTextA(m_hWnd, id, text.c_str()); }
  BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
  BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
  }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  HICON SetIcon(HICON icon, BOOL big) {
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
  }

 protected:
  // Every message of the window. The default dispatches WM_COMMAND to OnCommand, other
  // messages to the map, and what nobody handles to DefWindowProc.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // WM_COMMAND: this window's map, then whatever OnCmdMsg routes to. True when handled.
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  // The window's original procedure for the given message.
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The original procedure for the message being handled now.
  LRESULT Default();

  // Binds without subclassing; for windows whose procedure already routes here.
  void Bind(HWND hwnd);

 private:
  static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Unbind();

  struct CurrentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  CurrentMessage m_current{};
  WNDPROC m_superProc = nullptr;
};
