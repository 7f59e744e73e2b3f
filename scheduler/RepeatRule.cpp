#include "scheduler/RepeatRule.h"

namespace {

// Enough to reach the next 31st from any day (May 31 to July 31 is 61 days).
constexpr int kMostDaysToMonthDay = 62;

// Days since 1601-01-01 as a day of the month, by the proleptic Gregorian calendar. The
// count is moved to start on 1600-03-01, the first day of a 400-year cycle of 146097 days
// that puts each leap day at the end of its year; years then run from March to February.
int DayOfMonthOfDayNumber(uint64_t days) {
  const uint64_t fromMarch = days + 306;  // 1600-03-01 to 1601-01-01 is 306 days
  const uint64_t dayOfCycle = fromMarch % 146097;
  const uint64_t yearOfCycle =
      (dayOfCycle - dayOfCycle / 1460 + dayOfCycle / 36524 - dayOfCycle / 146096) / 365;
  const uint64_t dayOfYear = dayOfCycle - (365 * yearOfCycle + yearOfCycle / 4 - yearOfCycle / 100);
  const uint64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  return static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
}

int64_t IntervalUnits(const RepeatRule& rule) {
  const int64_t ms =
      ((static_cast<int64_t>(rule.hours) * 60 + rule.minutes) * 60 + rule.seconds) * 1000 + rule.milliseconds;
  return ms * static_cast<int64_t>(kFileTimeUnitsPerMs);
}

// Moves `target` by the rule's kind; false when the rule names no next moment.
bool Advance(const RepeatRule& rule, uint64_t& target, uint64_t now) {
  switch (rule.kind) {
    case RepeatKind::Interval: {
      const int64_t units = IntervalUnits(rule);
      if (units <= 0) return false;
      target += static_cast<uint64_t>(units);
      return true;
    }
    case RepeatKind::Monthly:
      if (rule.dayOfMonth < 1 || rule.dayOfMonth > 31) return false;
      for (int days = 1; days <= kMostDaysToMonthDay; ++days) {
        const uint64_t candidate = target + days * kFileTimeUnitsPerDay;
        if (DayOfMonth(candidate) == static_cast<int>(rule.dayOfMonth)) {
          target = candidate;
          return true;
        }
      }
      return false;
    case RepeatKind::Weekly: {
      const int today = DayOfWeek(now);
      for (int days = 1; days <= 7; ++days) {
        if (rule.weekdays[(today + days) % 7] != 0) {
          target += days * kFileTimeUnitsPerDay;
          return true;
        }
      }
      return false;
    }
    case RepeatKind::None:
      break;
  }
  return false;
}

}  // namespace

int DayOfWeek(uint64_t fileTime) {
  // 1601-01-01 was a Monday.
  return static_cast<int>((fileTime / kFileTimeUnitsPerDay + 1) % 7);
}

int DayOfMonth(uint64_t fileTime) { return DayOfMonthOfDayNumber(fileTime / kFileTimeUnitsPerDay); }

bool AdvanceByRepeatRule(RepeatRule& rule, uint64_t& target, uint64_t now) {
  if (rule.kind == RepeatKind::None || (rule.unlimited == 0 && rule.remaining == 0)) return false;
  uint64_t next = target;
  if (!Advance(rule, next, now)) return false;
  if (rule.endTime != 0) {
    if (now >= rule.endTime) return false;
  } else if (rule.unlimited == 0) {
    --rule.remaining;
  }
  target = next;
  return true;
}
