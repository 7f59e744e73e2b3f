// Scheduled recording through the main window: stored times armed at start-up, the
// "Timer..." dialog driven as a user drives it, what a due schedule does in each state, the
// clock label, and the request that keeps the system awake.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "app/WindowMessages.h"
#include "scheduler/ScheduleTime.h"
#include "scheduler/SystemTime.h"
#include "support/AudioCheck.h"
#include "support/MessageBoxWatcher.h"
#include "tests/ui/MainDialogFixture.h"
#include "tests/ui/SystemCallsRecorder.h"

namespace {

constexpr EXECUTION_STATE kKeepAwake = ES_SYSTEM_REQUIRED | ES_CONTINUOUS;
constexpr EXECUTION_STATE kLetSleep = ES_CONTINUOUS;
const char kInvalidTimer[] = "Warning: invalid timer date/time!";

// The local time `seconds` from now, to the second.
ScheduleTime LocalIn(int seconds) {
  const time_t when = std::time(nullptr) + seconds;
  const std::tm local = *std::localtime(&when);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_wday, local.tm_mday, local.tm_hour, local.tm_min,
          local.tm_sec, 0};
}

SYSTEMTIME PickerTime(HWND timer, int id) {
  SYSTEMTIME time{};
  ::SendDlgItemMessageA(timer, id, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
  return time;
}
void SetPicker(HWND timer, int id, const SYSTEMTIME& time) {
  ::SendDlgItemMessageA(timer, id, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
}
bool Checked(HWND timer, int id) { return ::SendDlgItemMessageA(timer, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }
// As a click on the check box does.
void SetChecked(HWND timer, int id, bool checked) {
  if (Checked(timer, id) != checked) ::SendDlgItemMessageA(timer, id, BM_CLICK, 0, 0);
}
void Press(HWND timer, int id) { ::PostMessageA(timer, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

bool SameDay(const SYSTEMTIME& a, const ScheduleTime& b) {
  return a.wYear == b.year && a.wMonth == b.month && a.wDay == b.day;
}
int SecondsOfDay(int hour, int minute, int second) { return (hour * 60 + minute) * 60 + second; }

class ScheduleTest : public MainDialogTest {
 protected:
  // Clicks "Timer..." and runs `act` in the timer dialog once it is open; `act` ends it.
  void InTimerDialog(const std::function<void(HWND)>& act) {
    DialogActor actor("Timer Settings", act);
    Click(IDC_TIMER);
    EXPECT_TRUE(actor.Finish()) << "the timer dialog opened";
  }
  bool ClockStopped() { return ::KillTimer(hwnd, IDT_SCHEDULE_CLOCK) == FALSE; }

  SystemCallsRecorder calls;
};

TEST_F(ScheduleTest, StoredStartAndStopTimesRecordUnattended) {
  Settings().SetString(StartTime, FormatStoredSchedule(LocalIn(3), true));
  Settings().SetString(StopTime, FormatStoredSchedule(LocalIn(5), true));
  Open();
  EXPECT_TRUE(dialog->StartTrigger().IsArmed());
  EXPECT_TRUE(dialog->StopTrigger().IsArmed());
  EXPECT_EQ(calls.ExecutionStates(), std::vector<EXECUTION_STATE>{kKeepAwake});

  // The clock runs while a schedule is armed.
  ASSERT_TRUE(PumpUntil([&] { return !Text(IDC_CLOCK).empty(); }, 3000));
  int hour = -1, minute = -1, second = -1;
  ASSERT_EQ(std::sscanf(Text(IDC_CLOCK).c_str(), "Time: %2d:%2d:%2d", &hour, &minute, &second), 3) << Text(IDC_CLOCK);
  const ScheduleTime now = LocalIn(0);
  EXPECT_NEAR(SecondsOfDay(hour, minute, second), SecondsOfDay(now.hour, now.minute, now.second), 2);
  EXPECT_EQ(Text(IDC_CLOCK).size(), std::string("Time: 12:34:56").size());

  ASSERT_TRUE(PumpUntil([&] { return State() == Recording; }, 8000));
  ExpectControlsFor(Recording);
  EXPECT_EQ(calls.Beeps(), (std::vector<std::pair<DWORD, DWORD>>{{8000, 100}}));
  EXPECT_TRUE(FileExists(Name(1)));

  ASSERT_TRUE(PumpUntil([&] { return State() == Idle; }, 8000));
  EXPECT_EQ(calls.Beeps(), (std::vector<std::pair<DWORD, DWORD>>{{8000, 100}, {2000, 100}}));
  EXPECT_EQ(Text(0), "Velmora Sondrel - 0001.mp3");
  EXPECT_EQ(Settings().GetUInt(FileCount), 2u);
  const DecodedAudio audio = DecodeWithFfmpeg(Name(1));
  ASSERT_EQ(audio.error, "");
  EXPECT_NEAR(audio.Seconds(), 2.0, 0.6);

  // Both rows have fired: the first tick clears the clock and stops it.
  EXPECT_TRUE(PumpUntil([&] { return Text(IDC_CLOCK).empty(); }, 3000));
  EXPECT_TRUE(ClockStopped());
  EXPECT_EQ(calls.ExecutionStates(), (std::vector<EXECUTION_STATE>{kKeepAwake, kLetSleep}));
  // A fired row keeps its text, Enabled included; the next start does not arm it.
  EXPECT_EQ(ParseStoredSchedule(Settings().GetString(StartTime)).enabled, true);
}

TEST_F(ScheduleTest, DueSchedulesOutsideTheirStatesDoNothing) {
  Open();
  ::SendMessageA(hwnd, WM_SCHEDULE_DUE, 0, 1);  // a stop while idle
  EXPECT_EQ(State(), Idle);
  Click(IDC_RECORD);
  const uint32_t created = env.capture.State(MainDevice).filtersCreated;
  EXPECT_EQ(::SendMessageA(hwnd, WM_SCHEDULE_DUE, 0, 0), 1);  // a start while recording
  EXPECT_EQ(State(), Recording);
  Click(IDC_PAUSE);
  EXPECT_EQ(::SendMessageA(hwnd, WM_SCHEDULE_DUE, 0, 1), 1);  // a stop while paused is dropped
  EXPECT_EQ(State(), Paused);
  EXPECT_EQ(env.capture.State(MainDevice).filtersCreated, created) << "the recording was not restarted";
  EXPECT_TRUE(calls.Beeps().empty());
  EXPECT_EQ(Settings().GetUInt(FileCount), 1u);
  Click(IDC_RECORD);
}

TEST_F(ScheduleTest, StartUpWithPassedOrImpossibleTimesArmsAndWarnsNothing) {
  Settings().SetString(StartTime, " 2001, 1,1,1,10,0,0,0,1");
  Settings().SetString(StopTime, "2999,13,0,45,25,61,61,0,1");  // fields out of range
  MessageBoxWatcher watcher(IDOK);
  Open();
  Pump(1500);
  EXPECT_TRUE(watcher.Seen().empty());
  EXPECT_FALSE(dialog->StartTrigger().IsArmed());
  EXPECT_FALSE(dialog->StopTrigger().IsArmed());
  EXPECT_EQ(Settings().GetString(StartTime), "2001,1,1,1,10,0,0,0,1") << "written back in the canonical form";
  EXPECT_EQ(Settings().GetString(StopTime), "2999,13,0,45,25,61,61,0,1");
  EXPECT_EQ(Text(IDC_CLOCK), "");
  EXPECT_TRUE(ClockStopped());
  EXPECT_TRUE(calls.ExecutionStates().empty());
}

TEST_F(ScheduleTest, TimerDialogWithNothingStoredShowsNowUnchecked) {
  Open();
  EXPECT_EQ(Settings().GetString(StartTime), "0,0,0,0,0,0,0,0,0") << "start-up writes the canonical form";
  Settings().SetString(StartTime, "");
  Settings().SetString(StopTime, "");
  bool startChecked = true;
  bool stopChecked = true;
  std::vector<SYSTEMTIME> shown;
  InTimerDialog([&](HWND timer) {
    startChecked = Checked(timer, IDC_TIMER_START_ENABLED);
    stopChecked = Checked(timer, IDC_TIMER_STOP_ENABLED);
    for (int id : {IDC_TIMER_START_DATE, IDC_TIMER_START_TIME, IDC_TIMER_STOP_DATE, IDC_TIMER_STOP_TIME}) {
      shown.push_back(PickerTime(timer, id));
    }
    Press(timer, IDCANCEL);
  });
  EXPECT_FALSE(startChecked);
  EXPECT_FALSE(stopChecked);
  const ScheduleTime now = LocalIn(0);
  ASSERT_EQ(shown.size(), 4u);
  for (const SYSTEMTIME& time : shown) {
    EXPECT_TRUE(SameDay(time, now)) << time.wYear << "-" << time.wMonth << "-" << time.wDay;
    EXPECT_NEAR(SecondsOfDay(time.wHour, time.wMinute, time.wSecond), SecondsOfDay(now.hour, now.minute, now.second),
                120);
  }
  EXPECT_EQ(Settings().GetString(StartTime), "") << "Cancel changes nothing";
  EXPECT_EQ(Settings().GetString(StopTime), "");
}

TEST_F(ScheduleTest, TimerDialogOpensAPassedRowUncheckedAndOkTakesEachRowsDateAndTime) {
  const ScheduleTime stop = LocalIn(3600);
  Settings().SetString(StartTime, FormatStoredSchedule(LocalIn(-86400), true));
  Settings().SetString(StopTime, FormatStoredSchedule(stop, true));
  Open();
  ASSERT_TRUE(dialog->StopTrigger().IsArmed());
  ASSERT_FALSE(dialog->StartTrigger().IsArmed());

  // Tomorrow's date from the date picker, a time of day from the time picker: each picker
  // holds a whole date and time, and OK takes the right half of each.
  const ScheduleTime tomorrow = LocalIn(86400);
  SYSTEMTIME datePart = ToSystemTime(tomorrow);
  datePart.wHour = 3, datePart.wMinute = 4, datePart.wSecond = 5;
  SYSTEMTIME timePart = ToSystemTime(LocalIn(-5 * 86400));
  timePart.wHour = 21, timePart.wMinute = 22, timePart.wSecond = 23;
  bool startChecked = true;
  bool stopChecked = false;
  SYSTEMTIME stopShown{};
  InTimerDialog([&](HWND timer) {
    startChecked = Checked(timer, IDC_TIMER_START_ENABLED);
    stopChecked = Checked(timer, IDC_TIMER_STOP_ENABLED);
    stopShown = PickerTime(timer, IDC_TIMER_STOP_TIME);
    SetPicker(timer, IDC_TIMER_START_DATE, datePart);
    SetPicker(timer, IDC_TIMER_START_TIME, timePart);
    SetChecked(timer, IDC_TIMER_START_ENABLED, true);
    Press(timer, IDOK);
  });
  EXPECT_FALSE(startChecked) << "a row whose time has passed opens unchecked";
  EXPECT_TRUE(stopChecked);
  EXPECT_EQ(SecondsOfDay(stopShown.wHour, stopShown.wMinute, stopShown.wSecond),
            SecondsOfDay(stop.hour, stop.minute, stop.second));

  ScheduleTime expected = tomorrow;
  expected.hour = 21, expected.minute = 22, expected.second = 23;
  EXPECT_EQ(Settings().GetString(StartTime), FormatStoredSchedule(expected, true));
  EXPECT_EQ(Settings().GetString(StopTime), FormatStoredSchedule(stop, true));
  EXPECT_TRUE(dialog->StartTrigger().IsArmed());
  EXPECT_TRUE(dialog->StopTrigger().IsArmed());
}

TEST_F(ScheduleTest, OkWithPassedTimesKeepsTheArmedScheduleStoresThemAndWarnsOnce) {
  Settings().SetString(StartTime, FormatStoredSchedule(LocalIn(3600), true));
  Open();
  ASSERT_TRUE(dialog->StartTrigger().IsArmed());
  const ScheduleTime yesterday = LocalIn(-86400);
  MessageBoxWatcher watcher(IDOK);
  InTimerDialog([&](HWND timer) {
    for (int id : {IDC_TIMER_START_DATE, IDC_TIMER_START_TIME, IDC_TIMER_STOP_DATE, IDC_TIMER_STOP_TIME}) {
      SetPicker(timer, id, ToSystemTime(yesterday));
    }
    SetChecked(timer, IDC_TIMER_START_ENABLED, true);
    SetChecked(timer, IDC_TIMER_STOP_ENABLED, true);
    Press(timer, IDOK);
  });
  ASSERT_EQ(watcher.Seen().size(), 1u) << "one warning for both rows";
  EXPECT_EQ(watcher.Seen()[0].text, kInvalidTimer);
  EXPECT_EQ(watcher.Seen()[0].icon, BoxIcon::Warning);
  EXPECT_TRUE(dialog->StartTrigger().IsArmed()) << "the earlier schedule stays armed";
  EXPECT_FALSE(dialog->StopTrigger().IsArmed());
  EXPECT_EQ(Settings().GetString(StartTime), FormatStoredSchedule(yesterday, true));
  EXPECT_EQ(Settings().GetString(StopTime), FormatStoredSchedule(yesterday, true));
}

TEST_F(ScheduleTest, UncheckingEnabledCancelsTheSchedule) {
  const ScheduleTime start = LocalIn(3600);
  Settings().SetString(StartTime, FormatStoredSchedule(start, true));
  Open();
  ASSERT_TRUE(dialog->StartTrigger().IsArmed());
  ASSERT_TRUE(PumpUntil([&] { return !Text(IDC_CLOCK).empty(); }, 3000));
  MessageBoxWatcher watcher(IDOK);
  InTimerDialog([&](HWND timer) {
    SetChecked(timer, IDC_TIMER_START_ENABLED, false);
    Press(timer, IDOK);
  });
  EXPECT_FALSE(dialog->StartTrigger().IsArmed());
  EXPECT_EQ(Settings().GetString(StartTime), FormatStoredSchedule(start, false));
  EXPECT_TRUE(watcher.Seen().empty());
  EXPECT_EQ(Text(IDC_CLOCK), "");
  EXPECT_TRUE(ClockStopped());
  EXPECT_EQ(calls.ExecutionStates(), (std::vector<EXECUTION_STATE>{kKeepAwake, kLetSleep}));
}

TEST_F(ScheduleTest, ATimeEqualToTheCurrentSecondIsRefused) {
  Open();
  MessageBoxWatcher watcher(IDOK);
  InTimerDialog([&](HWND timer) {
    const ScheduleTime now = LocalIn(0);
    SetPicker(timer, IDC_TIMER_START_DATE, ToSystemTime(now));
    SetPicker(timer, IDC_TIMER_START_TIME, ToSystemTime(now));
    SetChecked(timer, IDC_TIMER_START_ENABLED, true);
    Press(timer, IDOK);
  });
  ASSERT_EQ(watcher.Seen().size(), 1u);
  EXPECT_EQ(watcher.Seen()[0].text, kInvalidTimer);
  EXPECT_FALSE(dialog->StartTrigger().IsArmed());
}

TEST_F(ScheduleTest, KeepsTheSystemAwakeWhileRecordingAndLetsItGo) {
  Open();
  Click(IDC_RECORD);
  EXPECT_EQ(calls.ExecutionStates(), std::vector<EXECUTION_STATE>{kKeepAwake});
  Click(IDC_PAUSE);
  EXPECT_EQ(calls.ExecutionStates().size(), 1u) << "a paused recording still runs";
  Click(IDC_RECORD);
  EXPECT_EQ(calls.ExecutionStates(), (std::vector<EXECUTION_STATE>{kKeepAwake, kLetSleep}));

  // Armed when the window goes: its destruction lets the system sleep again.
  dialog->ApplyTimerSettings(true, false, false, LocalIn(3600), {});
  Close();
  EXPECT_EQ(calls.ExecutionStates(), (std::vector<EXECUTION_STATE>{kKeepAwake, kLetSleep, kKeepAwake, kLetSleep}));
}

TEST_F(ScheduleTest, TimerDialogHoldsItsPickersAndBoxes) {
  const struct {
    int id;
    const char* className;
    DWORD style;  // bits that must be set
    DWORD absent;  // bits that must not
  } controls[] = {
      {IDC_TIMER_START_DATE, DATETIMEPICK_CLASSA, DTS_RIGHTALIGN, DTS_TIMEFORMAT},
      {IDC_TIMER_START_TIME, DATETIMEPICK_CLASSA, DTS_TIMEFORMAT, 0},
      {IDC_TIMER_STOP_DATE, DATETIMEPICK_CLASSA, DTS_RIGHTALIGN, DTS_TIMEFORMAT},
      {IDC_TIMER_STOP_TIME, DATETIMEPICK_CLASSA, DTS_TIMEFORMAT, 0},
      {IDC_TIMER_START_ENABLED, "Button", BS_AUTOCHECKBOX, 0},
      {IDC_TIMER_STOP_ENABLED, "Button", BS_AUTOCHECKBOX, 0},
      {IDOK, "Button", BS_DEFPUSHBUTTON, 0},
  };
  Open();
  std::vector<std::string> problems;
  InTimerDialog([&](HWND timer) {
    for (const auto& c : controls) {
      HWND control = ::GetDlgItem(timer, c.id);
      char name[64] = {};
      ::GetClassNameA(control, name, sizeof name);
      const DWORD style = static_cast<DWORD>(::GetWindowLongA(control, GWL_STYLE));
      if (lstrcmpiA(name, c.className) != 0 || (style & c.style) != c.style || (style & c.absent) != 0) {
        problems.push_back(std::to_string(c.id) + " " + name);
      }
    }
    char caption[64] = {};
    ::GetWindowTextA(::GetDlgItem(timer, IDC_TIMER_START_ENABLED), caption, sizeof caption);
    if (std::string(caption) != "Enabled") problems.push_back(caption);
    Press(timer, IDCANCEL);
  });
  EXPECT_EQ(problems, std::vector<std::string>{});
}

}  // namespace
