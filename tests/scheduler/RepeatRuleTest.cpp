#include "scheduler/RepeatRule.h"

#include <gtest/gtest.h>

namespace {

// Local FILETIME values of known dates (100-ns units since 1601-01-01, a Monday).
constexpr uint64_t kSun2027Jan31_0830 = 134458578000000000;
constexpr uint64_t kWed2027Mar31_0830 = 134509554000000000;
constexpr uint64_t kMon2027May31_0830 = 134562258000000000;
constexpr uint64_t kSat2027Jul31_0830 = 134614962000000000;
constexpr uint64_t kFri2027Jan29_0600 = 134456760000000000;
constexpr uint64_t kMon2027Mar29_0600 = 134507736000000000;
constexpr uint64_t kSat2028Jan29_0600 = 134772120000000000;
constexpr uint64_t kTue2028Feb29_0600 = 134798904000000000;
constexpr uint64_t kFri2027Jan15_235959 = 134445311990000000;
constexpr uint64_t kMon2027Feb15_235959 = 134472095990000000;
constexpr uint64_t kMon2027Jan04_1200 = 134435376000000000;
constexpr uint64_t kThu2027Jan07_1200 = 134437968000000000;
constexpr uint64_t kMon2027Jan11_1200 = 134441424000000000;
constexpr uint64_t kTue2000Feb29 = 125962560000000000;
constexpr uint64_t kMon2100Mar01 = 157520160000000000;

constexpr uint64_t kHour = 3600 * kFileTimeUnitsPerSecond;
constexpr uint64_t kDay = kFileTimeUnitsPerDay;

TEST(RepeatRule, CalendarPiecesOfKnownDates) {
  const struct {
    uint64_t time;
    int dayOfWeek;
    int dayOfMonth;
  } cases[] = {
      {0, 1, 1},                       // 1601-01-01, a Monday
      {kTue2000Feb29, 2, 29},          // a leap day of a century divisible by 400
      {kMon2100Mar01, 1, 1},           // 2100 has no February 29th
      {kMon2100Mar01 - kDay, 0, 28},   // so the day before is the 28th
      {kSun2027Jan31_0830, 0, 31},
      {kSat2027Jul31_0830, 6, 31},
      {kTue2028Feb29_0600, 2, 29},
      {kFri2027Jan15_235959, 5, 15},   // the last second of a day is still that day
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DayOfWeek(c.time), c.dayOfWeek) << c.time;
    EXPECT_EQ(DayOfMonth(c.time), c.dayOfMonth) << c.time;
  }
}

TEST(RepeatRule, IntervalCountsItsFiringsDown) {
  RepeatRule rule;
  rule.kind = RepeatKind::Interval;
  rule.hours = 1;
  rule.minutes = 30;
  rule.seconds = 15;
  rule.milliseconds = 500;
  rule.remaining = 2;
  const uint64_t step = ((90 * 60 + 15) * 1000 + 500) * kFileTimeUnitsPerMs;
  uint64_t target = kMon2027Jan04_1200;
  ASSERT_TRUE(AdvanceByRepeatRule(rule, target, target));
  EXPECT_EQ(target, kMon2027Jan04_1200 + step);
  EXPECT_EQ(rule.remaining, 1u);
  ASSERT_TRUE(AdvanceByRepeatRule(rule, target, target));
  EXPECT_EQ(target, kMon2027Jan04_1200 + 2 * step);
  EXPECT_EQ(rule.remaining, 0u);
  EXPECT_FALSE(AdvanceByRepeatRule(rule, target, target)) << "the count is used up";
  EXPECT_EQ(target, kMon2027Jan04_1200 + 2 * step) << "a rule that ends leaves the target";
}

TEST(RepeatRule, UnlimitedNeverCountsAndEndTimeDecides) {
  RepeatRule unlimited;
  unlimited.kind = RepeatKind::Interval;
  unlimited.seconds = 10;
  unlimited.unlimited = 1;
  uint64_t target = kMon2027Jan04_1200;
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(AdvanceByRepeatRule(unlimited, target, target));
  EXPECT_EQ(target, kMon2027Jan04_1200 + 10000 * kFileTimeUnitsPerSecond);
  EXPECT_EQ(unlimited.remaining, 0u);

  RepeatRule ending;
  ending.kind = RepeatKind::Interval;
  ending.hours = 1;
  ending.remaining = 5;
  ending.endTime = kMon2027Jan04_1200 + 2 * kHour;
  target = kMon2027Jan04_1200;
  EXPECT_TRUE(AdvanceByRepeatRule(ending, target, kMon2027Jan04_1200 + kHour));
  EXPECT_EQ(ending.remaining, 5u) << "with an end time the count is not touched";
  EXPECT_FALSE(AdvanceByRepeatRule(ending, target, ending.endTime)) << "at the end time";
  EXPECT_EQ(target, kMon2027Jan04_1200 + kHour);

  ending.remaining = 0;  // a count used up ends the rule even before its end time
  EXPECT_FALSE(AdvanceByRepeatRule(ending, target, kMon2027Jan04_1200));
}

TEST(RepeatRule, MonthlyFindsTheNextMonthWithThatDay) {
  const struct {
    uint32_t dayOfMonth;
    uint64_t from;
    uint64_t next;
  } cases[] = {
      {31, kSun2027Jan31_0830, kWed2027Mar31_0830},  // February has no 31st
      {31, kWed2027Mar31_0830, kMon2027May31_0830},  // nor April
      {31, kMon2027May31_0830, kSat2027Jul31_0830},  // nor June: 61 days
      {29, kFri2027Jan29_0600, kMon2027Mar29_0600},  // 2027 is no leap year
      {29, kSat2028Jan29_0600, kTue2028Feb29_0600},  // 2028 is
      {15, kFri2027Jan15_235959, kMon2027Feb15_235959},
  };
  for (const auto& c : cases) {
    RepeatRule rule;
    rule.kind = RepeatKind::Monthly;
    rule.dayOfMonth = c.dayOfMonth;
    rule.unlimited = 1;
    uint64_t target = c.from;
    EXPECT_TRUE(AdvanceByRepeatRule(rule, target, c.from)) << c.from;
    EXPECT_EQ(target, c.next) << c.from << " day " << c.dayOfMonth;
  }
}

TEST(RepeatRule, WeeklyCountsFromTheDayAfterToday) {
  RepeatRule rule;
  rule.kind = RepeatKind::Weekly;
  rule.unlimited = 1;
  rule.weekdays[1] = 1;  // Monday
  rule.weekdays[4] = 1;  // Thursday
  uint64_t target = kMon2027Jan04_1200;
  ASSERT_TRUE(AdvanceByRepeatRule(rule, target, kMon2027Jan04_1200));
  EXPECT_EQ(target, kThu2027Jan07_1200);
  ASSERT_TRUE(AdvanceByRepeatRule(rule, target, kThu2027Jan07_1200));
  EXPECT_EQ(target, kMon2027Jan11_1200);

  RepeatRule mondays;
  mondays.kind = RepeatKind::Weekly;
  mondays.remaining = 1;
  mondays.weekdays[1] = 1;
  target = kMon2027Jan04_1200;
  ASSERT_TRUE(AdvanceByRepeatRule(mondays, target, kMon2027Jan04_1200));
  EXPECT_EQ(target, kMon2027Jan04_1200 + 7 * kDay) << "today's own weekday is a week away";
}

TEST(RepeatRule, RulesThatNameNoNextFiringArmNothing) {
  RepeatRule none;
  none.unlimited = 1;
  RepeatRule zeroInterval;
  zeroInterval.kind = RepeatKind::Interval;
  zeroInterval.unlimited = 1;
  RepeatRule negativeInterval = zeroInterval;
  negativeInterval.minutes = -1;
  RepeatRule noMonthDay;
  noMonthDay.kind = RepeatKind::Monthly;
  noMonthDay.unlimited = 1;
  RepeatRule dayThirtyTwo = noMonthDay;
  dayThirtyTwo.dayOfMonth = 32;
  RepeatRule noWeekday;
  noWeekday.kind = RepeatKind::Weekly;
  noWeekday.unlimited = 1;
  RepeatRule unknownKind;
  unknownKind.kind = static_cast<RepeatKind>(7);
  unknownKind.unlimited = 1;
  for (RepeatRule rule : {none, zeroInterval, negativeInterval, noMonthDay, dayThirtyTwo, noWeekday, unknownKind}) {
    uint64_t target = kMon2027Jan04_1200;
    EXPECT_FALSE(AdvanceByRepeatRule(rule, target, target)) << static_cast<uint32_t>(rule.kind);
    EXPECT_EQ(target, kMon2027Jan04_1200);
  }
}

}  // namespace
