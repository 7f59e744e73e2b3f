#pragma once
// A schedule's local wall-clock time as the settings `StartTime` and `StopTime` hold it: the
// eight fields of a calendar time in SYSTEMTIME order, then the Enabled flag, as nine decimal
// numbers separated by commas ("2027,3,5,12,8,30,0,0,1"). The fields stay plain integers
// until they are known to be in range, so nothing a configuration file holds can wrap
// around into a valid-looking time.
#include <ctime>
#include <string>

struct ScheduleTime {
  int year = 0;
  int month = 0;      // 1..12
  int dayOfWeek = 0;  // 0 = Sunday; kept as stored, never used to place the time
  int day = 0;        // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;

  bool operator==(const ScheduleTime& other) const;
  bool operator!=(const ScheduleTime& other) const { return !(*this == other); }
};

struct StoredSchedule {
  ScheduleTime time;
  bool enabled = false;
};

// Reads as the "%d,%d,%d,%d,%d,%d,%d,%d,%d" format does: reading ends at the first field
// that is not a number, and the fields after it stay 0, so an empty or short text reads as
// not enabled. Numbers beyond the int range saturate.
StoredSchedule ParseStoredSchedule(const std::string& text);
std::string FormatStoredSchedule(const ScheduleTime& time, bool enabled);

// Every field names a moment of the calendar: a year from 1900 to 30827, a month's own days,
// hours 0-23, minutes and seconds 0-59, milliseconds 0-999. The day of the week is not checked.
bool IsValidScheduleTime(const ScheduleTime& time);

// The local time as calendar seconds, milliseconds ignored and daylight saving decided by
// the C library; 0 for a time that is not valid (a year below 1900, a month 13 ...).
time_t ToCalendarSeconds(const ScheduleTime& time);

// Strictly later than `now` (calendar seconds): the current second itself is not.
bool IsFutureTime(const ScheduleTime& time, time_t now);
bool IsFutureTime(const ScheduleTime& time);
