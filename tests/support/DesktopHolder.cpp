// Keeps Wine's desktop open for a whole test run.
//
// Wine closes a desktop one second after its last user process ends, and the next process
// that needs a window starts a new desktop process. That process inherits the output of
// whichever test started it, so ctest would wait for the desktop to close before it could
// call that test finished: a second or more per window test, a minute or more when
// other window tests keep the desktop busy. Started first, with its output going to a log,
// this program is the desktop's user for the whole run. It prints "ready" once the desktop
// is there and runs until the test environment ends it.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &DefWindowProcA;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "SondrelTestDesktopHolder";
  if (!::RegisterClassA(&windowClass)) return 1;
  // A hidden top-level window: it makes this process a desktop user without ever being seen
  // or taking the focus from a window under test.
  if (!::CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                         nullptr)) {
    return 1;
  }
  std::puts("ready");
  std::fflush(stdout);
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) ::DispatchMessageA(&message);
  return 0;
}
