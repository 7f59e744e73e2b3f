#include "diag/LineFormat.h"

#include <cstring>

#include "diag/Options.h"

namespace __dbg_util {
namespace {

// wsprintfA's bound: no part of a line is longer.
constexpr size_t kPartLimit = 1024;
// A line with a caller description stops before reaching this length.
constexpr size_t kLineLimit = 20480;

void AppendCpuGroup(TextBuffer& out, const CpuTime& t, bool micro) {
  if (micro)
    out.Format("%04u:%03u.%03u", t.seconds, t.milliseconds, t.microseconds);
  else
    out.Format("%04u.%03u", t.seconds, t.milliseconds);
}

}  // namespace

void MakeReportPath(char* path, size_t capacity) {
  const size_t length = strnlen(path, capacity);
  size_t start = 0;
  for (size_t i = length; i > 0; --i) {
    if (path[i - 1] == '\\' || path[i - 1] == '/') {
      start = i;
      break;
    }
  }
  if (start > capacity - 1) start = capacity - 1;
  TextBuffer name(path + start, capacity - start);
  name.Append("Crash.rpt");
}

const char* FileNamePart(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/') name = p + 1;
  return name;
}

uint64_t CounterTo100ns(uint64_t counter, uint64_t frequency) {
  if (frequency == 0) return 0;
  return counter / frequency * 10000000ull + counter % frequency * 10000000ull / frequency;
}

TimeOfDay TimeOfDayFrom100ns(uint64_t t) {
  TimeOfDay d;
  d.hours = static_cast<unsigned>(t / 36000000000ull % 24);
  d.minutes = static_cast<unsigned>(t / 600000000ull % 60);
  d.seconds = static_cast<unsigned>(t / 10000000ull % 60);
  d.milliseconds = static_cast<unsigned>(t / 10000ull % 1000);
  d.microseconds = static_cast<unsigned>(t / 10ull % 1000);
  return d;
}

CpuTime CpuTimeFrom100ns(uint64_t v) {
  const uint64_t u = v / 10;
  return CpuTime{static_cast<unsigned>(u / 1000000 % 1000), static_cast<unsigned>(u / 1000 % 1000),
                 static_cast<unsigned>(u % 1000)};
}

void ComposePrefixedLine(TextBuffer& out, uint32_t options, const LinePrefixParts& parts, const char* message) {
  const size_t start = out.size();
  if (options & DBG_OPT_LOCATION) out.FormatLimited(kPartLimit, "%s(%d) : ", parts.sourceFile, parts.sourceLine);
  if (options & DBG_OPT_TIME) {
    const TimeOfDay& t = parts.time;
    if (options & DBG_OPT_MICROSECONDS)
      out.Format("%02u:%02u:%02u:%03u.%03u ", t.hours, t.minutes, t.seconds, t.milliseconds, t.microseconds);
    else
      out.Format("%02u:%02u:%02u.%03u ", t.hours, t.minutes, t.seconds, t.milliseconds);
  }
  const bool hex = (options & DBG_OPT_HEX_IDS) != 0;
  const bool pid = (options & DBG_OPT_PROCESS_ID) != 0, tid = (options & DBG_OPT_THREAD_ID) != 0;
  if (pid && tid)
    out.Format(hex ? "[%04X,%04X] " : "[%05u,%05u] ", parts.processId, parts.threadId);
  else if (pid || tid)
    out.Format(hex ? "[%04X] " : "[%05u] ", pid ? parts.processId : parts.threadId);
  const bool processCpu = (options & DBG_OPT_PROCESS_CPU) != 0, threadCpu = (options & DBG_OPT_THREAD_CPU) != 0;
  if (processCpu || threadCpu) {
    const bool micro = (options & DBG_OPT_MICROSECONDS) && !(options & DBG_OPT_CPU_BUSY);
    out.AppendChar('{');
    if (processCpu && threadCpu) {
      AppendCpuGroup(out, parts.processCpu, micro);
      out.AppendChar(',');
      AppendCpuGroup(out, parts.threadCpu, micro);
    } else {
      AppendCpuGroup(out, processCpu ? parts.processCpu : parts.threadCpu, micro);
    }
    out.Append("} ");
  }
  if (options & DBG_OPT_FUNC_ANY) {
    const size_t length = out.size() - start;
    if (length + std::strlen(parts.caller) + 3 >= kLineLimit) return;
    out.FormatLimited(kPartLimit, "%s : ", parts.caller);
  }
  const size_t written = out.size() - start;
  if (written > 0 && (written < 2 || out[out.size() - 2] != ':')) out.Append(": ");
  out.FormatLimited(kPartLimit, "%s", message);
}

}  // namespace __dbg_util
