#include "support/ProgramDriver.h"

#ifdef _WIN32
#include "support/ProgramProcess.h"

bool ClickButton(HWND dialog, int id, unsigned timeoutMs) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)), SMTO_NORMAL, timeoutMs,
                               &result) != 0;
}

void PostClick(HWND dialog, int id) {
  ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

bool ChooseComboEntry(HWND dialog, int id, const std::string& text) {
  HWND combo = ::GetDlgItem(dialog, id);
  const LRESULT index = ::SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(text.c_str()));
  if (index == CB_ERR) return false;
  ::SendMessageA(combo, CB_SETCURSEL, WPARAM(index), 0);
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo),
                               SMTO_NORMAL, 20000, &result) != 0;
}

std::string WindowText(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length)) return {};
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  ::SendMessageTimeoutA(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL, 5000,
                        &copied);
  text.resize(copied);
  return text;
}

HWND WaitForOtherDialog(DWORD processId, HWND except, unsigned timeoutMs) {
  for (unsigned waited = 0; waited <= timeoutMs; waited += 50, ::Sleep(50)) {
    for (HWND window : TopLevelWindowsOf(processId, "#32770")) {
      if (window != except) return window;
    }
  }
  return nullptr;
}
#endif
