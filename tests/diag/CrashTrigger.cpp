// Linked only into the test build of Sondrel: once the main window shows, the program
// dereferences a null pointer, in its message loop (the interface thread) or, with
// "worker" on the command line, in a thread of its own. The shipped Sondrel.exe has no
// such trigger.
#include <windows.h>

#include <cstring>

#include "diag/ReportBox.h"

namespace {

const UINT kCrashMessage = RegisterWindowMessageA("SondrelTestCrashNow");
DWORD g_interfaceThread = 0;

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM found) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  if (IsWindowVisible(window) && lstrcmpA(name, "#32770") == 0) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

LRESULT CALLBACK CrashOnRequest(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && message->message == kCrashMessage) *static_cast<volatile int*>(nullptr) = 1;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void FailInWorker(int step) { *static_cast<volatile int*>(nullptr) = step; }

DWORD WINAPI ArmCrash(void*) {
  HWND window = nullptr;
  for (int i = 0; i < 600 && !window; ++i) {
    Sleep(50);
    EnumThreadWindows(g_interfaceThread, FindVisibleDialog, reinterpret_cast<LPARAM>(&window));
  }
  if (!window) return 1;
  // Let the window finish its start-up so that the interface thread waits for messages.
  DWORD_PTR result;
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
  Sleep(300);
  if (std::strstr(GetCommandLineA(), " worker")) FailInWorker(7);
  SetWindowsHookExA(WH_GETMESSAGE, CrashOnRequest, nullptr, g_interfaceThread);
  PostMessageA(window, kCrashMessage, 0, 0);
  return 0;
}

// Static construction runs on the interface thread. The program's report-box helper, a
// start of the same executable, shows no main window and fails nowhere.
const bool g_armed = [] {
  if (std::strstr(GetCommandLineA(), __dbg_util::kReportBoxSwitch)) return false;
  g_interfaceThread = GetCurrentThreadId();
  CloseHandle(CreateThread(nullptr, 0, ArmCrash, nullptr, 0, nullptr));
  return true;
}();

}  // namespace
