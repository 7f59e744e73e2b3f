#pragma once
// When a trigger that has just fired is armed again, and for which moment. Times are local
// wall-clock FILETIME values: 100-ns units since 1601-01-01, as SystemTimeToFileTime makes
// them from a local SYSTEMTIME.
#include <cstdint>

constexpr uint64_t kFileTimeUnitsPerMs = 10000;
constexpr uint64_t kFileTimeUnitsPerSecond = 1000 * kFileTimeUnitsPerMs;
constexpr uint64_t kFileTimeUnitsPerDay = 86400 * kFileTimeUnitsPerSecond;

enum class RepeatKind : uint32_t { None = 0, Interval = 1, Monthly = 2, Weekly = 3 };

struct RepeatRule {
  RepeatKind kind = RepeatKind::None;
  // Interval: the time between firings.
  int32_t hours = 0;
  int32_t minutes = 0;
  int32_t seconds = 0;
  int32_t milliseconds = 0;
  // Weekly: non-zero for each day to fire on, indexed like SYSTEMTIME.wDayOfWeek (0 = Sunday).
  uint32_t weekdays[7] = {};
  // Monthly: the day of the month to fire on, 1..31.
  uint32_t dayOfMonth = 0;
  // Firings still to come after this one, unless unlimited or an end time is set.
  uint32_t remaining = 0;
  uint32_t unlimited = 0;
  // Local FILETIME after which the trigger is not armed again; 0 for none.
  uint64_t endTime = 0;
};

// Called after a firing at `target`, with the current local time `now`. Returns true with
// `target` moved to the next firing (and the count taken down), or false when the trigger
// is not armed again. A rule that cannot place a next firing (an interval that is not
// positive, a month day outside 1..31, a week without a day) arms nothing.
bool AdvanceByRepeatRule(RepeatRule& rule, uint64_t& target, uint64_t now);

// Calendar pieces of a FILETIME value.
int DayOfWeek(uint64_t fileTime);   // 0 = Sunday
int DayOfMonth(uint64_t fileTime);  // 1..31
