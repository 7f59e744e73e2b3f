#include "scheduler/ScheduleTime.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>

namespace {

TEST(ScheduleTime, ReadsAsTheNineNumberFormatDoes) {
  const struct {
    const char* text;
    ScheduleTime time;
    bool enabled;
  } cases[] = {
      {"2027,3,5,12,8,30,15,250,1", {2027, 3, 5, 12, 8, 30, 15, 250}, true},
      {"", {}, false},
      {"2027,3", {2027, 3}, false},                                       // short: not enabled
      {" 2027, 3,5,12,8,30,0,0,7", {2027, 3, 5, 12, 8, 30}, true},        // a number skips white space
      {"2027 ,3,5,12,8,30,0,0,1", {2027}, false},                        // a comma does not
      {"2027,x,5,12,8,30,0,0,1", {2027}, false},                         // reading ends at a non-number
      {"-5,+3,5,12,8,30,0,0,1", {-5, 3, 5, 12, 8, 30}, true},
      {"99999999999,-99999999999,0,0,0,0,0,0,0", {INT_MAX, INT_MIN}, false},  // saturated
      {"2027,3,5,12,8,30,0,0,1,garbage", {2027, 3, 5, 12, 8, 30}, true},
  };
  for (const auto& c : cases) {
    const StoredSchedule stored = ParseStoredSchedule(c.text);
    EXPECT_EQ(stored.time, c.time) << c.text;
    EXPECT_EQ(stored.enabled, c.enabled) << c.text;
  }
}

TEST(ScheduleTime, WritesTheCanonicalForm) {
  EXPECT_EQ(FormatStoredSchedule({2027, 3, 5, 12, 8, 30, 15, 250}, true), "2027,3,5,12,8,30,15,250,1");
  EXPECT_EQ(FormatStoredSchedule({}, false), "0,0,0,0,0,0,0,0,0");
  const StoredSchedule stored = ParseStoredSchedule(" 2027, 3,5,12,8,30,0,0,7");
  EXPECT_EQ(FormatStoredSchedule(stored.time, stored.enabled), "2027,3,5,12,8,30,0,0,1");
}

TEST(ScheduleTime, FieldsOutOfRangeAreInvalid) {
  const ScheduleTime valid{2027, 3, 5, 12, 8, 30, 15, 250};
  EXPECT_TRUE(IsValidScheduleTime(valid));
  const struct {
    const char* what;
    ScheduleTime time;
    bool valid;
  } cases[] = {
      {"year 1899", {1899, 3, 0, 12}, false},
      {"year 30828", {30828, 3, 0, 12}, false},
      {"month 0", {2027, 0, 0, 12}, false},
      {"month 13", {2027, 13, 0, 12}, false},
      {"day 0", {2027, 3, 0, 0}, false},
      {"April 31", {2027, 4, 0, 31}, false},
      {"February 29, 2027", {2027, 2, 0, 29}, false},
      {"February 29, 2028", {2028, 2, 0, 29}, true},
      {"February 29, 2100", {2100, 2, 0, 29}, false},
      {"hour 24", {2027, 3, 0, 12, 24}, false},
      {"hour -1", {2027, 3, 0, 12, -1}, false},
      {"minute 60", {2027, 3, 0, 12, 8, 60}, false},
      {"second 60", {2027, 3, 0, 12, 8, 30, 60}, false},
      {"millisecond 1000", {2027, 3, 0, 12, 8, 30, 0, 1000}, false},
      {"day of week 9 (not checked)", {2027, 3, 9, 12}, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsValidScheduleTime(c.time), c.valid) << c.what;
    if (!c.valid) {
      EXPECT_EQ(ToCalendarSeconds(c.time), 0) << c.what;
    }
  }
}

ScheduleTime LocalTimeOf(time_t seconds) {
  const std::tm local = *std::localtime(&seconds);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_wday, local.tm_mday, local.tm_hour, local.tm_min,
          local.tm_sec, 999};
}

TEST(ScheduleTime, FutureMeansALaterSecond) {
  const time_t now = std::time(nullptr);
  EXPECT_EQ(ToCalendarSeconds(LocalTimeOf(now)), now) << "milliseconds are ignored";
  EXPECT_TRUE(IsFutureTime(LocalTimeOf(now + 1), now));
  EXPECT_FALSE(IsFutureTime(LocalTimeOf(now), now)) << "the current second is not in the future";
  EXPECT_FALSE(IsFutureTime(LocalTimeOf(now - 3600), now));

  // The C library would carry month 13 into next year, which lies ahead.
  ScheduleTime overflowing = LocalTimeOf(now);
  overflowing.month = 13;
  EXPECT_FALSE(IsFutureTime(overflowing, now));
  EXPECT_FALSE(IsFutureTime({1899, 12, 0, 31, 23, 59, 59}, 0)) << "before 1900 is never ahead";
  EXPECT_TRUE(IsFutureTime(LocalTimeOf(now + 86400)));
}

}  // namespace
