#pragma once
// Puts recording stand-ins into the main window's system-call table for as long as it
// lives: the notification-area calls with copies of their records, the keep-awake requests
// and the beeps. Wine neither shows a notification area to a test nor reports the system's
// sleep state, so this is how the tests see them. One at a time.
#include <windows.h>
#include <shellapi.h>

#include <mutex>
#include <utility>
#include <vector>

#include "ui/main/SystemCalls.h"

class SystemCallsRecorder {
 public:
  struct IconCall {
    DWORD message;  // NIM_ADD, NIM_MODIFY, NIM_DELETE
    NOTIFYICONDATAA record;
  };

  SystemCallsRecorder() : m_saved(TheSystemCalls()) {
    s_current = this;
    TheSystemCalls() = {&NotifyIcon, &SetExecutionState, &Beep};
  }
  ~SystemCallsRecorder() {
    TheSystemCalls() = m_saved;
    s_current = nullptr;
  }
  SystemCallsRecorder(const SystemCallsRecorder&) = delete;
  SystemCallsRecorder& operator=(const SystemCallsRecorder&) = delete;

  // Adds fail from now on (no notification area); everything else succeeds.
  void FailIconAdds(bool fail) { m_failAdds = fail; }

  std::vector<IconCall> IconCalls() const { return Copy(m_iconCalls); }
  std::vector<EXECUTION_STATE> ExecutionStates() const { return Copy(m_states); }
  std::vector<std::pair<DWORD, DWORD>> Beeps() const { return Copy(m_beeps); }
  size_t CountIconCalls(DWORD message) const {
    size_t count = 0;
    for (const IconCall& call : IconCalls()) count += call.message == message;
    return count;
  }
  void Clear() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_iconCalls.clear();
    m_states.clear();
    m_beeps.clear();
  }

 private:
  template <class T>
  std::vector<T> Copy(const std::vector<T>& calls) const {
    std::lock_guard<std::mutex> hold(m_lock);
    return calls;
  }
  template <class T>
  static void Add(std::vector<T>& calls, T call) {
    std::lock_guard<std::mutex> hold(s_current->m_lock);
    calls.push_back(call);
  }

  static BOOL WINAPI NotifyIcon(DWORD message, PNOTIFYICONDATAA data) {
    Add(s_current->m_iconCalls, IconCall{message, *data});
    return !(message == NIM_ADD && s_current->m_failAdds);
  }
  static EXECUTION_STATE WINAPI SetExecutionState(EXECUTION_STATE flags) {
    Add(s_current->m_states, flags);
    return ES_CONTINUOUS;
  }
  static BOOL WINAPI Beep(DWORD frequency, DWORD milliseconds) {
    Add(s_current->m_beeps, std::make_pair(frequency, milliseconds));
    return TRUE;
  }

  static inline SystemCallsRecorder* s_current = nullptr;
  SystemCalls m_saved;
  bool m_failAdds = false;
  mutable std::mutex m_lock;
  std::vector<IconCall> m_iconCalls;
  std::vector<EXECUTION_STATE> m_states;
  std::vector<std::pair<DWORD, DWORD>> m_beeps;
};
