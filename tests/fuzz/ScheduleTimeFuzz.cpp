// The stored schedule times on arbitrary text. A parsed time formats to a text that parses
// back to the same time, and only a valid time gives calendar seconds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scheduler/ScheduleTime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const StoredSchedule stored = ParseStoredSchedule(text);
  const std::string formatted = FormatStoredSchedule(stored.time, stored.enabled);
  const StoredSchedule again = ParseStoredSchedule(formatted);
  if (again.time != stored.time || again.enabled != stored.enabled) {
    std::fprintf(stderr, "schedule: \"%s\" reads back differently\n", formatted.c_str());
    std::abort();
  }
  const time_t seconds = ToCalendarSeconds(stored.time);
  if (!IsValidScheduleTime(stored.time) && seconds != 0) {
    std::fprintf(stderr, "schedule: calendar seconds for the invalid time \"%s\"\n", formatted.c_str());
    std::abort();
  }
  (void)IsFutureTime(stored.time, 0);
  return 0;
}
