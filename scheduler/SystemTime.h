#pragma once
// A schedule time as the SYSTEMTIME that the date and time pickers and the triggers take.
#include <windows.h>

#include "scheduler/ScheduleTime.h"

// For a time that IsValidScheduleTime accepts: every field then fits its WORD.
inline SYSTEMTIME ToSystemTime(const ScheduleTime& t) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(t.year);
  time.wMonth = static_cast<WORD>(t.month);
  time.wDayOfWeek = static_cast<WORD>(t.dayOfWeek);
  time.wDay = static_cast<WORD>(t.day);
  time.wHour = static_cast<WORD>(t.hour);
  time.wMinute = static_cast<WORD>(t.minute);
  time.wSecond = static_cast<WORD>(t.second);
  time.wMilliseconds = static_cast<WORD>(t.milliseconds);
  return time;
}
