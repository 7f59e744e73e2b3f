#include "tests/ui/DialogDriver.h"

#include <utility>

#include "support/ProgramProcess.h"
#include "support/Screenshot.h"

void PumpMessages(int ms, HWND dialog) {
  const DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
  do {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (dialog && ::IsWindow(dialog) && ::IsDialogMessageA(dialog, &msg)) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    ::Sleep(10);
  } while (static_cast<int>(::GetTickCount() - end) < 0);
}

bool PumpUntil(const std::function<bool()>& done, int ms, HWND dialog) {
  for (int waited = 0; waited < ms && !done(); waited += 50) PumpMessages(50, dialog);
  return done();
}

std::string ComboSelection(HWND combo) {
  const LRESULT index = ::SendMessageA(combo, CB_GETCURSEL, 0, 0);
  char text[256] = {};
  if (index >= 0) ::SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  return text;
}

void ClickItem(HWND dialog, int id) { ::SendMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void SelectComboItem(HWND dialog, int id, int index) {
  HWND combo = ::GetDlgItem(dialog, id);
  ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void SaveScreenshot(const char* name) {
  const std::string path = ArtifactPath(name);
  if (!path.empty()) SaveScreenAsBitmap(path);
}

HWND FindWindowOfThisProcess(const char* windowClass, const std::string& caption) {
  for (HWND window : TopLevelWindowsOf(::GetCurrentProcessId(), windowClass)) {
    if (caption.empty() || WindowText(window) == caption) return window;
  }
  return nullptr;
}

HWND FindDialog(const std::string& title) { return FindWindowOfThisProcess("#32770", title); }

std::vector<std::string> ListBoxItems(HWND list) {
  std::vector<std::string> items;
  const LRESULT count = ::SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char text[MAX_PATH] = {};
    ::SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

WindowActor::WindowActor(std::string windowClass, std::string caption, std::function<void(HWND)> act,
                         unsigned timeoutMs)
    : m_thread([this, windowClass = std::move(windowClass), caption = std::move(caption), act = std::move(act),
                timeoutMs] {
        HWND window = nullptr;
        for (unsigned waited = 0; window == nullptr && waited < timeoutMs; waited += 20) {
          window = FindWindowOfThisProcess(windowClass.c_str(), caption);
          if (window == nullptr) ::Sleep(20);
        }
        if (window == nullptr) return;
        m_found = true;
        act(window);
      }) {}

WindowActor::~WindowActor() { Finish(); }

bool WindowActor::Finish() {
  if (m_thread.joinable()) m_thread.join();
  return m_found;
}

DialogActor::DialogActor(std::string title, std::function<void(HWND)> act, unsigned timeoutMs)
    : WindowActor("#32770", std::move(title),
                  [act = std::move(act)](HWND dialog) {
                    act(dialog);
                    if (::IsWindow(dialog)) ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                  },
                  timeoutMs) {}
