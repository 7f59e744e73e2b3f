#include "support/MessageBoxWatcher.h"

#ifdef _WIN32
#include <algorithm>

namespace {

std::string TextOf(HWND hwnd) {
  char buffer[1024] = {};
  ::GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

// A message box is a dialog whose text sits in the static control 0xFFFF.
bool IsMessageBox(HWND hwnd) {
  char name[16] = {};
  ::GetClassNameA(hwnd, name, sizeof name);
  return lstrcmpA(name, "#32770") == 0 && ::IsWindowVisible(hwnd) && ::GetDlgItem(hwnd, 0xFFFF) != nullptr;
}

BOOL CALLBACK CollectBox(HWND hwnd, LPARAM lParam) {
  DWORD process = 0;
  ::GetWindowThreadProcessId(hwnd, &process);
  if (process == ::GetCurrentProcessId() && IsMessageBox(hwnd)) reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK CollectButton(HWND hwnd, LPARAM lParam) {
  char name[16] = {};
  ::GetClassNameA(hwnd, name, sizeof name);
  if (lstrcmpiA(name, "Button") == 0 && ::IsWindowVisible(hwnd)) {
    reinterpret_cast<std::vector<int>*>(lParam)->push_back(::GetDlgCtrlID(hwnd));
  }
  return TRUE;
}

// The system icons are shared handles: the box shows the very handle LoadIcon gives.
BoxIcon IconOf(HWND box) {
  HWND control = ::GetDlgItem(box, 0x0440);  // the box's image control
  const HICON shown = control ? reinterpret_cast<HICON>(::SendMessageA(control, STM_GETICON, 0, 0)) : nullptr;
  if (shown == nullptr) return BoxIcon::None;
  const struct {
    LPCSTR id;
    BoxIcon icon;
  } kIcons[] = {{IDI_ASTERISK, BoxIcon::Information},
                {IDI_EXCLAMATION, BoxIcon::Warning},
                {IDI_HAND, BoxIcon::Error},
                {IDI_QUESTION, BoxIcon::Question}};
  for (const auto& known : kIcons) {
    if (shown == ::LoadIconA(nullptr, known.id)) return known.icon;
  }
  return BoxIcon::None;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(int answer) : m_answer(answer), m_thread([this] { Watch(); }) {}

MessageBoxWatcher::MessageBoxWatcher(Decide decide)
    : m_answer(IDOK), m_decide(std::move(decide)), m_thread([this] { Watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
  m_stop = true;
  m_thread.join();
}

std::vector<SeenMessageBox> MessageBoxWatcher::Seen() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_seen;
}

void MessageBoxWatcher::Watch() {
  while (!m_stop) {
    std::vector<HWND> boxes;
    ::EnumWindows(&CollectBox, reinterpret_cast<LPARAM>(&boxes));
    for (HWND box : boxes) {
      {
        std::lock_guard<std::mutex> hold(m_lock);
        if (std::find(m_answered.begin(), m_answered.end(), box) != m_answered.end()) continue;
        m_answered.push_back(box);
      }
      SeenMessageBox seen;
      seen.caption = TextOf(box);
      seen.text = TextOf(::GetDlgItem(box, 0xFFFF));
      ::EnumChildWindows(box, &CollectButton, reinterpret_cast<LPARAM>(&seen.buttons));
      seen.icon = IconOf(box);
      seen.owner = ::GetWindow(box, GW_OWNER);
      for (int i = 0; i < 50 && !seen.foreground; ++i, ::Sleep(10)) seen.foreground = ::GetForegroundWindow() == box;
      size_t index = 0;
      {
        std::lock_guard<std::mutex> hold(m_lock);
        index = m_seen.size();
        m_seen.push_back(seen);
      }
      const int answer = m_decide ? m_decide(seen, index) : m_answer.load();
      ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, answer)));
    }
    ::Sleep(20);
  }
}
#endif
