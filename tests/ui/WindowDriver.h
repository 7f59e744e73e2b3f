#pragma once
// Works in a window of this process from a thread of its own, as a user who waits for a
// dialog or a menu to appear and then acts in it: `act` runs once a visible top-level
// window of the class (and, when one is given, the caption) is found.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/ProgramProcess.h"

class WindowDriver {
 public:
  WindowDriver(std::string windowClass, std::string caption, std::function<void(HWND)> act,
               DWORD timeoutMs = 15000)
      : m_thread([=] { Run(windowClass, caption, act, timeoutMs); }) {}
  ~WindowDriver() { m_thread.join(); }
  WindowDriver(const WindowDriver&) = delete;
  WindowDriver& operator=(const WindowDriver&) = delete;

  // Whether the window appeared (and `act` ran); meaningful once the driver is done.
  bool Found() const { return m_found; }
  bool Done() const { return m_done; }

 private:
  void Run(const std::string& windowClass, const std::string& caption, const std::function<void(HWND)>& act,
           DWORD timeoutMs) {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < timeoutMs; ::Sleep(20)) {
      for (HWND window : TopLevelWindowsOf(::GetCurrentProcessId(), windowClass.c_str())) {
        char text[256] = {};
        ::GetWindowTextA(window, text, sizeof text);
        if (!caption.empty() && caption != text) continue;
        m_found = true;
        act(window);
        m_done = true;
        return;
      }
    }
    m_done = true;
  }

  std::atomic<bool> m_found{false};
  std::atomic<bool> m_done{false};
  std::thread m_thread;
};
