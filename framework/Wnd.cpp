#include "Wnd.h"

#include <vector>

namespace {
// The window property that holds a window's CWnd.
constexpr char kBindingProperty[] = "SondrelFrameworkWnd";
}  // namespace

// A window outlives its object only by being detached first; otherwise it goes with it.
CWnd::~CWnd() {
  if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
  if (m_hWnd != nullptr) UnsubclassWindow();  // a window of another thread stays
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  return hwnd ? static_cast<CWnd*>(::GetPropA(hwnd, kBindingProperty)) : nullptr;
}

void CWnd::Bind(HWND hwnd) {
  m_hWnd = hwnd;
  ::SetPropA(hwnd, kBindingProperty, this);
}

void CWnd::Unbind() {
  ::RemovePropA(m_hWnd, kBindingProperty);
  m_hWnd = nullptr;
}

bool CWnd::SubclassWindow(HWND hwnd) {
  if (hwnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hwnd) != nullptr) return false;
  Bind(hwnd);
  m_superProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWindowProc)));
  return true;
}

bool CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  return parent != nullptr && SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow() {
  HWND hwnd = m_hWnd;
  if (hwnd == nullptr) return nullptr;
  if (m_superProc != nullptr) {
    ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
    m_superProc = nullptr;
  }
  Unbind();
  return hwnd;
}

CWnd* CWnd::GetParent() const { return FromHandlePermanent(::GetParent(m_hWnd)); }

std::string CWnd::GetWindowText() const {
  const int length = ::GetWindowTextLengthA(m_hWnd);
  std::vector<char> buffer(static_cast<size_t>(length) + 1);
  const int copied = ::GetWindowTextA(m_hWnd, buffer.data(), length + 1);
  return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_superProc != nullptr) return ::CallWindowProcA(m_superProc, m_hWnd, message, wParam, lParam);
  return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() { return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam); }

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) { return OnCmdMsg(LOWORD(wParam), HIWORD(wParam)); }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    if (OnCommand(wParam, lParam)) return 0;
    return DefWindowProc(message, wParam, lParam);
  }
  UINT id = 0;
  UINT code = 0;
  LRESULT result = 0;
  if (message == WM_NOTIFY) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    id = static_cast<UINT>(header->idFrom);
    code = header->code;
    // The control that sent it may handle it itself (custom drawing, for instance).
    CWnd* control = FromHandlePermanent(header->hwndFrom);
    if (control != nullptr && control != this &&
        control->Dispatch(WM_REFLECTED_NOTIFY, 0, code, wParam, lParam, result)) {
      return result;
    }
  }
  if (Dispatch(message, id, code, wParam, lParam, result)) return result;
  return DefWindowProc(message, wParam, lParam);
}

LRESULT CALLBACK CWnd::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* wnd = FromHandlePermanent(hwnd);
  if (wnd == nullptr) return ::DefWindowProcA(hwnd, message, wParam, lParam);
  const CurrentMessage outer = wnd->m_current;  // handlers may send messages to themselves
  wnd->m_current = {message, wParam, lParam};
  LRESULT result = 0;
  try {
    result = wnd->WindowProc(message, wParam, lParam);
  } catch (...) {
    AfxUnhandledException();
  }
  wnd->m_current = outer;
  // The window is gone after its last message: undo the binding so the object can be reused.
  if (message == WM_NCDESTROY && wnd->m_hWnd == hwnd) wnd->UnsubclassWindow();
  return result;
}
