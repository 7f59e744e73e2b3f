#include "scheduler/TimeTrigger.h"

#include <mmsystem.h>

#include <utility>

#include "app/WindowMessages.h"

namespace {

constexpr DWORD kFarWaitMs = 1000;   // while the moment is more than a second away
constexpr DWORD kNearWaitMs = 1;     // in the last second
constexpr UINT kTimerResolutionMs = 1;

uint64_t ToUInt64(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

uint64_t LocalFileTimeNow() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  FILETIME time{};
  ::SystemTimeToFileTime(&now, &time);
  return ToUInt64(time);
}

CTimeTrigger::CTimeTrigger() : m_stopEvent(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CTimeTrigger::~CTimeTrigger() {
  Cancel();
  // A worker that has ended on its own may still be returning; the locks must outlive it.
  if (m_worker) ::WaitForSingleObject(m_worker.Get(), INFINITE);
}

bool CTimeTrigger::Schedule(HWND window, const SYSTEMTIME& when, uint32_t userValue) {
  Target target;
  target.window = window;
  return Schedule(target, when, userValue);
}

bool CTimeTrigger::Schedule(const Target& target, const SYSTEMTIME& when, uint32_t userValue,
                            const RepeatRule& repeat) {
  if (IsArmed()) return false;
  // A time the calendar does not have is refused rather than taken as "long ago", which
  // would fire at once.
  FILETIME time{};
  if (!::SystemTimeToFileTime(&when, &time)) return false;

  CAutoLock state(m_stateLock);
  if (IsArmed()) return false;
  // The previous worker has cleared its armed flag under this lock, so all it has left to do
  // is return: waiting for it here cannot block.
  if (m_worker) ::WaitForSingleObject(m_worker.Get(), INFINITE);
  m_worker.Reset();
  m_targetTime = ToUInt64(time);
  m_targetEvent = target.event;
  m_targetWindow = target.window;
  m_callback = target.callback;
  m_userValue = userValue;
  {
    CAutoLock rule(m_repeatLock);
    m_repeat = repeat;
  }
  m_stop = 0;
  ::ResetEvent(m_stopEvent.Get());
  // Armed before the worker starts: one whose moment has passed may end at once, and it
  // clears the flag only after this lock is released.
  m_armed = 1;
  m_worker.Reset(::CreateThread(nullptr, 0, &CTimeTrigger::WorkerMain, this, 0, nullptr));
  if (!m_worker) m_armed = 0;
  return m_armed != 0;
}

bool CTimeTrigger::Cancel() {
  COwnedHandle worker;
  {
    CAutoLock state(m_stateLock);
    if (!IsArmed()) return false;
    m_stop = 1;
    ::SetEvent(m_stopEvent.Get());
    worker = std::move(m_worker);
  }
  ::WaitForSingleObject(worker.Get(), INFINITE);
  return true;
}

DWORD WINAPI CTimeTrigger::WorkerMain(void* trigger) {
  // The worker sleeps nearly all the time and does next to nothing when it wakes; at the
  // highest priority a busy machine delays its wake-ups least.
  ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  static_cast<CTimeTrigger*>(trigger)->RunWorker();
  return 0;
}

void CTimeTrigger::RunWorker() {
  PollUntilStopped();
  {
    CAutoLock rule(m_repeatLock);
    m_repeat = RepeatRule{};
  }
  CAutoLock state(m_stateLock);
  m_armed = 0;
}

void CTimeTrigger::PollUntilStopped() {
  COwnedHandle tick(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  while (!m_stop) {
    const uint64_t now = LocalFileTimeNow();
    if (now >= m_targetTime) {
      Notify();
      if (RearmAfterFiring()) continue;
      break;
    }
    const DWORD wait = m_targetTime > now + kFileTimeUnitsPerSecond ? kFarWaitMs : kNearWaitMs;
    if (m_stop) break;
    WaitForTick(tick.Get(), wait);
  }
}

void CTimeTrigger::Notify() {
  if (m_targetEvent != nullptr) {
    ::SetEvent(m_targetEvent);
  } else if (m_targetWindow != nullptr) {
    ::PostMessageA(m_targetWindow, WM_SCHEDULE_DUE, reinterpret_cast<WPARAM>(this), m_userValue);
  } else if (m_callback != nullptr) {
    m_callback(this, m_userValue);
  }
}

bool CTimeTrigger::RearmAfterFiring() {
  CAutoLock state(m_stateLock);
  bool again = false;
  {
    CAutoLock rule(m_repeatLock);
    again = AdvanceByRepeatRule(m_repeat, m_targetTime, LocalFileTimeNow());
  }
  if (!again) m_stop = 1;
  return again;
}

// Sleeps for `milliseconds` or until Cancel signals the stop event. Without a multimedia
// timer (or its event) a wait on the stop event with a time-out stands in, less precisely.
void CTimeTrigger::WaitForTick(HANDLE tick, DWORD milliseconds) {
  const MMRESULT timer =
      tick != nullptr ? ::timeSetEvent(milliseconds, kTimerResolutionMs, reinterpret_cast<LPTIMECALLBACK>(tick), 0,
                                       TIME_ONESHOT | TIME_CALLBACK_EVENT_SET | TIME_KILL_SYNCHRONOUS)
                      : 0;
  if (timer == 0) {
    ::WaitForSingleObject(m_stopEvent.Get(), milliseconds);
    return;
  }
  const HANDLE events[2] = {tick, m_stopEvent.Get()};
  // A timer still pending must not signal the tick event after it is closed.
  if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) ::timeKillEvent(timer);
  ::ResetEvent(tick);
}
