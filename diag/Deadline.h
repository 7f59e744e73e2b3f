#pragma once
// The report's deadline: when a report has not shown its message box within ten seconds of
// the fault, the process ends with exit code 1, keeping what has been written. Its thread is
// started at start-up (one started at the fault would need the loader lock), waits only on
// kernel objects and is the one thread a report leaves running.

#include <windows.h>

namespace __dbg_util {

constexpr DWORD kReportDeadlineMs = 10000;

void start_report_deadline();
void stop_report_deadline();
// The first call after a fault starts the count; later ones (a second failing thread) keep it.
void arm_report_deadline();
// The box is shown, or the report returned to its caller.
void disarm_report_deadline();
DWORD report_deadline_thread();

}  // namespace __dbg_util
