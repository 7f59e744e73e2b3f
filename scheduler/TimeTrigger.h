#pragma once
// A trigger that fires at a local wall-clock moment: the main window's start and stop
// schedules. Each armed trigger runs a worker thread of its own, which checks the local time
// once a second while the moment is more than a second away and every millisecond in the
// last second (waiting on one-shot multimedia timers), so it fires within about a
// millisecond of its moment. A firing notifies the target, then the repeat rule decides
// whether the trigger stays armed; the main window's schedules fire once.
//
// Rules:
// - Schedule, Cancel and the destructor are called from one thread (the interface thread).
// - The worker reads the stop and armed flags without a lock. The state lock serialises
//   arming, cancelling and the worker's decision after a firing; the repeat lock is taken
//   inside the state lock, never the other way round.
// - Cancel waits for the worker without holding any lock: a worker that has just fired takes
//   the state lock before it can end.
// - A pending multimedia timer is killed before its event is closed.
// - A callback runs on the worker thread; it must not cancel or destroy its own trigger.

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "filters/kit/Lock.h"
#include "framework/OwnedHandle.h"
#include "scheduler/RepeatRule.h"

class CTimeTrigger {
 public:
  using Callback = void (*)(CTimeTrigger* trigger, uint32_t userValue);

  // Whom a firing notifies: the first of these that is set. The event is signalled; the
  // window receives WM_SCHEDULE_DUE (wParam the trigger, lParam the user value), posted; the
  // callback is called with the trigger and the user value.
  struct Target {
    HANDLE event = nullptr;
    HWND window = nullptr;
    Callback callback = nullptr;
  };

  CTimeTrigger();
  // Cancels the trigger and waits for its worker.
  ~CTimeTrigger();
  CTimeTrigger(const CTimeTrigger&) = delete;
  CTimeTrigger& operator=(const CTimeTrigger&) = delete;

  // Arms the trigger for the local time `when` and starts its worker. False, with nothing
  // changed, when the trigger is armed already or `when` is not a valid time.
  bool Schedule(HWND window, const SYSTEMTIME& when, uint32_t userValue);
  bool Schedule(const Target& target, const SYSTEMTIME& when, uint32_t userValue, const RepeatRule& repeat = {});
  // Stops the worker and waits for it. False when the trigger was not armed.
  bool Cancel();
  // From a successful Schedule until the worker ends (after a firing that does not re-arm,
  // or after Cancel).
  bool IsArmed() const { return m_armed.load() != 0; }

 private:
  static DWORD WINAPI WorkerMain(void* trigger);
  void RunWorker();
  void PollUntilStopped();
  void Notify();
  // Under the state lock: whether the trigger is armed again; sets the stop flag if not.
  bool RearmAfterFiring();
  void WaitForTick(HANDLE tick, DWORD milliseconds);

  uint64_t m_targetTime = 0;  // local FILETIME
  Callback m_callback = nullptr;
  uint32_t m_userValue = 0;
  HWND m_targetWindow = nullptr;
  HANDLE m_targetEvent = nullptr;
  COwnedHandle m_stopEvent;  // manual reset
  CCritSec m_repeatLock;
  RepeatRule m_repeat;
  CCritSec m_stateLock;
  std::atomic<uint32_t> m_stop{0};
  std::atomic<uint32_t> m_armed{0};
  COwnedHandle m_worker;
};

// The current local wall-clock time as a FILETIME value.
uint64_t LocalFileTimeNow();
