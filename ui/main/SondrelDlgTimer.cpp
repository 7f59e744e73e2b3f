// The main dialog's schedules: the stored start and stop times, the "Timer..." dialog, what
// a due schedule does, the clock shown while one is armed, and the request that keeps the
// system awake meanwhile.
#include <cstdio>

#include "app/SettingsStore.h"
#include "app/SondrelApp.h"
#include "app/WindowMessages.h"
#include "res/resource.h"
#include "scheduler/SystemTime.h"
#include "ui/dialogs/TimerDlg.h"
#include "ui/main/MessageBoxes.h"
#include "ui/main/SondrelDlg.h"
#include "ui/main/SystemCalls.h"

namespace {

// The user values the schedules hand back with WM_SCHEDULE_DUE.
constexpr uint32_t kScheduleStart = 0;
constexpr uint32_t kScheduleStop = 1;

constexpr DWORD kStartBeepHz = 8000;
constexpr DWORD kStopBeepHz = 2000;
constexpr DWORD kBeepMs = 100;

// A row of the timer dialog: the day from its date picker, the time of day from its time picker.
ScheduleTime Combine(const SYSTEMTIME& date, const SYSTEMTIME& time) {
  return {date.wYear, date.wMonth, date.wDayOfWeek, date.wDay, time.wHour, time.wMinute, time.wSecond,
          time.wMilliseconds};
}

}  // namespace

void CSondrelDlg::ApplyTimerSettings(bool startEnabled, bool stopEnabled, bool warn, const ScheduleTime& start,
                                     const ScheduleTime& stop) {
  const struct {
    SettingKey key;
    CTimeTrigger& trigger;
    uint32_t userValue;
    bool enabled;
    const ScheduleTime& time;
  } rows[] = {{StartTime, m_startTrigger, kScheduleStart, startEnabled, start},
              {StopTime, m_stopTrigger, kScheduleStop, stopEnabled, stop}};
  bool rejected = false;
  for (const auto& row : rows) {
    Settings().SetString(row.key, FormatStoredSchedule(row.time, row.enabled));
    if (row.enabled && !IsFutureTime(row.time)) {
      rejected = true;  // a schedule armed earlier for this row stays armed
      continue;
    }
    row.trigger.Cancel();
    if (row.enabled) row.trigger.Schedule(m_hWnd, ToSystemTime(row.time), row.userValue);
  }
  if (warn && rejected) ShowWarningBox(IDS_INVALID_TIMER);
  RestartScheduleClock();
}

void CSondrelDlg::LoadTimerSettings() {
  const StoredSchedule start = ParseStoredSchedule(Settings().GetString(StartTime));
  const StoredSchedule stop = ParseStoredSchedule(Settings().GetString(StopTime));
  ApplyTimerSettings(start.enabled, stop.enabled, false, start.time, stop.time);
}

// A stored row opens checked only while its time lies ahead; a fired or stale one opens
// unchecked, its pickers on the current date and time.
void CSondrelDlg::OnTimerButton() {
  CTimerDlg timer(this);
  const struct {
    SettingKey key;
    SYSTEMTIME& date;
    SYSTEMTIME& time;
    int& enabled;
  } rows[] = {{StartTime, timer.m_startDate, timer.m_startTime, timer.m_startEnabled},
              {StopTime, timer.m_stopDate, timer.m_stopTime, timer.m_stopEnabled}};
  for (const auto& row : rows) {
    const std::string text = Settings().GetString(row.key);
    if (text.empty()) continue;
    const StoredSchedule stored = ParseStoredSchedule(text);
    if (IsFutureTime(stored.time)) {
      row.date = row.time = ToSystemTime(stored.time);
      row.enabled = stored.enabled;
    } else {
      row.enabled = 0;
    }
  }
  if (timer.DoModal() != IDOK) return;
  ApplyTimerSettings(timer.m_startEnabled != 0, timer.m_stopEnabled != 0, true,
                     Combine(timer.m_startDate, timer.m_startTime), Combine(timer.m_stopDate, timer.m_stopTime));
}

// A due start acts only on an idle window and a due stop only on a running recording: a
// stop that finds the recording paused is dropped.
LRESULT CSondrelDlg::OnScheduleDue(WPARAM, LPARAM userValue) {
  const int state = TheApp().m_recordingState;
  if (userValue == kScheduleStart && state == Idle) {
    TheSystemCalls().beep(kStartBeepHz, kBeepMs);
    ToggleRecording();
  } else if (userValue == kScheduleStop && state == Recording) {
    TheSystemCalls().beep(kStopBeepHz, kBeepMs);
    ToggleRecording();
  }
  return 1;
}

bool CSondrelDlg::AnyScheduleArmed() const { return m_startTrigger.IsArmed() || m_stopTrigger.IsArmed(); }

// The label stays empty until the first tick.
void CSondrelDlg::RestartScheduleClock() {
  if (m_clockTimer != 0) ::KillTimer(m_hWnd, IDT_SCHEDULE_CLOCK);
  m_clockTimer = 0;
  SetDlgItemText(IDC_CLOCK, "");
  if (AnyScheduleArmed()) m_clockTimer = ::SetTimer(m_hWnd, IDT_SCHEDULE_CLOCK, kScheduleClockMs, nullptr);
  UpdateKeepAwake();
}

// A trigger disarms itself on its own thread after it has fired: the tick is where the
// window learns of it.
void CSondrelDlg::OnTimer(UINT_PTR id) {
  if (id != IDT_SCHEDULE_CLOCK) {
    Default();
    return;
  }
  if (!AnyScheduleArmed()) {
    SetDlgItemText(IDC_CLOCK, "");
    ::KillTimer(m_hWnd, IDT_SCHEDULE_CLOCK);
    m_clockTimer = 0;
  } else {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "Time: %02d:%02d:%02d", now.wHour, now.wMinute, now.wSecond);
    SetDlgItemText(IDC_CLOCK, text);
  }
  UpdateKeepAwake();
}

// A machine that sleeps misses its schedule and ends its recording. The request prevents
// idle sleep only, and it belongs to the thread that makes it: the interface thread.
void CSondrelDlg::UpdateKeepAwake() {
  const int state = TheApp().m_recordingState;
  SetKeepAwake(AnyScheduleArmed() || state == Recording || state == Paused);
}

void CSondrelDlg::SetKeepAwake(bool keepAwake) {
  if (keepAwake == m_keepingAwake) return;
  m_keepingAwake = keepAwake;
  TheSystemCalls().setThreadExecutionState(keepAwake ? ES_SYSTEM_REQUIRED | ES_CONTINUOUS : ES_CONTINUOUS);
}
