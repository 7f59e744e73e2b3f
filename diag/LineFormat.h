#pragma once
// The platform-independent part of the report lines: the report path beside the
// executable, the time of day from the performance counter, CPU-time fields and the
// prefix put in front of a line.

#include <cstddef>
#include <cstdint>

#include "diag/TextBuffer.h"

namespace __dbg_util {

// Turns the executable's full path in `path` (a buffer of `capacity` characters) into the
// path of "Crash.rpt" in the same folder; without any `\` or `/` it becomes "Crash.rpt".
// The result is cut to fit.
void MakeReportPath(char* path, size_t capacity);

// The part of a path after its last `\` or `/` (the whole path when there is none).
const char* FileNamePart(const char* path);

struct TimeOfDay {
  unsigned hours, minutes, seconds, milliseconds, microseconds;
};

// Counter ticks converted to 100-ns units. Split so that a machine up for days does not
// overflow the product of counter and 10,000,000.
uint64_t CounterTo100ns(uint64_t counter, uint64_t frequency);
// `t` in 100-ns units since 1601, as a wall-clock time of day.
TimeOfDay TimeOfDayFrom100ns(uint64_t t);

struct CpuTime {
  unsigned seconds, milliseconds, microseconds;
};
// `v` in 100-ns units, as the fields of a CPU-time group.
CpuTime CpuTimeFrom100ns(uint64_t v);

// What a prefix can show; the caller fills the parts its option word asks for.
struct LinePrefixParts {
  const char* sourceFile = "";
  int sourceLine = 0;
  TimeOfDay time{};
  uint32_t processId = 0;
  uint32_t threadId = 0;
  CpuTime processCpu{};
  CpuTime threadCpu{};
  // The calling function's description, when a DBG_OPT_FUNC_* bit is set.
  const char* caller = "";
};

// Appends the prefixed form of `message` under the option word `options` to `out`.
void ComposePrefixedLine(TextBuffer& out, uint32_t options, const LinePrefixParts& parts, const char* message);

}  // namespace __dbg_util
