// Linked only into the test build of Sondrel: once the main window shows, the program fails
// as the word on its command line says (Failures.h): on the interface thread by default,
// inside a hook its message loop calls; "worker" in a thread of its own; "window-throw"
// with a C++ exception from the main dialog's window procedure; any scenario of
// FailHere on the interface thread, any of StartFailingWorkers on workers. The shipped
// Sondrel.exe has no such trigger.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "diag/ReportBox.h"
#include "tests/diag/Failures.h"

namespace {

const UINT kCrashMessage = RegisterWindowMessageA("SondrelTestCrashNow");
DWORD g_interfaceThread = 0;
std::string g_scenario;
WNDPROC g_dialogProcedure = nullptr;

// The first word after the program's name.
std::string Scenario() {
  const char* p = GetCommandLineA();
  if (*p == '"') {
    p = std::strchr(p + 1, '"');
    p = p ? p + 1 : "";
  } else {
    p += std::strcspn(p, " ");
  }
  p += std::strspn(p, " ");
  return std::string(p, std::strcspn(p, " "));
}

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
  if (code == HC_ACTION && message->message == kCrashMessage) {
    if (g_scenario.empty()) *static_cast<volatile int*>(nullptr) = 1;
    FailHere(g_scenario.c_str());
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK ThrowingDialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kCrashMessage) throw std::runtime_error("window procedure gave up");
  return CallWindowProcA(g_dialogProcedure, window, message, wParam, lParam);
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
  Fact("main_thread", g_interfaceThread);
  Fact("module_base", reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)));
  if (g_scenario == "worker") {
    Fact("crashing_thread", GetCurrentThreadId());
    WriteFacts();
    FailInWorker(7);
  }
  if (StartFailingWorkers(g_scenario.c_str())) return 0;
  WriteFacts();
  if (g_scenario == "window-throw")
    g_dialogProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ThrowingDialogProcedure)));
  else
    SetWindowsHookExA(WH_GETMESSAGE, CrashOnRequest, nullptr, g_interfaceThread);
  PostMessageA(window, kCrashMessage, 0, 0);
  return 0;
}

// Static construction runs on the interface thread. The program's report-box helper, a
// start of the same executable, shows no main window and fails nowhere.
const bool g_armed = [] {
  if (std::strstr(GetCommandLineA(), __dbg_util::kReportBoxSwitch)) return false;
  g_interfaceThread = GetCurrentThreadId();
  g_scenario = Scenario();
  CloseHandle(CreateThread(nullptr, 0, ArmCrash, nullptr, 0, nullptr));
  return true;
}();

}  // namespace
