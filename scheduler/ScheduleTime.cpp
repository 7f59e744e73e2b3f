#include "scheduler/ScheduleTime.h"

#include <cctype>
#include <climits>
#include <cstdio>

namespace {

constexpr int kFieldCount = 9;
constexpr int kFirstYear = 1900;  // the C library's calendar starts here
constexpr int kLastYear = 30827;  // the last year a FILETIME holds

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// One "%d": optional white space and sign, at least one digit. False when there is none.
bool ReadNumber(const std::string& text, size_t& pos, int& value) {
  while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  if (pos >= text.size() || !std::isdigit(static_cast<unsigned char>(text[pos]))) return false;
  long long magnitude = 0;
  for (; pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])); ++pos) {
    if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (text[pos] - '0');
  }
  const long long signedValue = negative ? -magnitude : magnitude;
  value = signedValue > INT_MAX ? INT_MAX : signedValue < INT_MIN ? INT_MIN : static_cast<int>(signedValue);
  return true;
}

}  // namespace

bool ScheduleTime::operator==(const ScheduleTime& o) const {
  return year == o.year && month == o.month && dayOfWeek == o.dayOfWeek && day == o.day && hour == o.hour &&
         minute == o.minute && second == o.second && milliseconds == o.milliseconds;
}

StoredSchedule ParseStoredSchedule(const std::string& text) {
  int fields[kFieldCount] = {};
  size_t pos = 0;
  for (int i = 0; i < kFieldCount; ++i) {
    if (!ReadNumber(text, pos, fields[i])) break;
    if (i + 1 < kFieldCount && (pos >= text.size() || text[pos++] != ',')) break;
  }
  StoredSchedule stored;
  stored.time = {fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7]};
  stored.enabled = fields[8] != 0;
  return stored;
}

std::string FormatStoredSchedule(const ScheduleTime& t, bool enabled) {
  char text[128];
  std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d,%d,%d,%d,%d", t.year, t.month, t.dayOfWeek, t.day, t.hour,
                t.minute, t.second, t.milliseconds, enabled ? 1 : 0);
  return text;
}

bool IsValidScheduleTime(const ScheduleTime& t) {
  if (t.year < kFirstYear || t.year > kLastYear || t.month < 1 || t.month > 12) return false;
  if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return false;
  return t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 59 &&
         t.milliseconds >= 0 && t.milliseconds <= 999;
}

time_t ToCalendarSeconds(const ScheduleTime& t) {
  if (!IsValidScheduleTime(t)) return 0;
  std::tm calendar{};
  calendar.tm_year = t.year - 1900;
  calendar.tm_mon = t.month - 1;
  calendar.tm_mday = t.day;
  calendar.tm_hour = t.hour;
  calendar.tm_min = t.minute;
  calendar.tm_sec = t.second;
  calendar.tm_isdst = -1;
  const time_t seconds = std::mktime(&calendar);
  return seconds == static_cast<time_t>(-1) ? 0 : seconds;
}

bool IsFutureTime(const ScheduleTime& time, time_t now) { return ToCalendarSeconds(time) > now; }

bool IsFutureTime(const ScheduleTime& time) { return IsFutureTime(time, std::time(nullptr)); }
