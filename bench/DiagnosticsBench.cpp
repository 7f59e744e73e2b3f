// What the crash-report library costs: the start-up every run of the program pays (symbol
// engine, reporting thread), the memory it adds, and how long a report of a deep stack
// takes to write. Prints figures; a benchmark never fails on them.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "diag/DbgContext.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double WorkingSetMiB() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.WorkingSetSize / (1024.0 * 1024.0);
}

void Returning(EXCEPTION_POINTERS*, HANDLE, const char*, const char*, const char*, const char*) {}

__attribute__((noinline)) double ReportAtDepth(int depth) {
  if (depth > 0) return ReportAtDepth(depth - 1) + 0.0;
  const Clock::time_point start = Clock::now();
  __dbg_util::dbg_context::report(nullptr);
  return MillisecondsSince(start);
}

}  // namespace

int main() {
  const double before = WorkingSetMiB();
  Clock::time_point start = Clock::now();
  __dbg_util::dbg_context context;
  const double startup = MillisecondsSince(start);
  const double after = WorkingSetMiB();
  std::printf("start-up of the first context: %.1f ms, working set +%.1f MiB (%.1f -> %.1f)\n", startup,
              after - before, before, after);

  TempDir dir;
  const std::string path = dir.File("Crash.rpt");
  __dbg_util::dbg_process_values& values = context.values();
  std::snprintf(values.report_path, sizeof values.report_path, "%s", path.c_str());
  values.notification_hook = Returning;
  constexpr int kDepths[] = {10, 100, 400};
  for (int depth : kDepths) {
    const double first = ReportAtDepth(depth);
    const double second = ReportAtDepth(depth);
    std::printf("deadlock report, %3d frames deep: first %.1f ms, again %.1f ms, %.2f ms a frame\n", depth, first,
                second, second / depth);
  }
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  std::printf("report file after %d reports: %lu bytes; working set now %.1f MiB\n", 2 * 3,
              static_cast<unsigned long>(data.nFileSizeLow), WorkingSetMiB());
  if (values.report_file) CloseHandle(values.report_file);
  values.report_file = nullptr;
  return 0;
}
