#include "diag/Deadline.h"

namespace __dbg_util {
namespace {

HANDLE g_thread = nullptr;
DWORD g_threadId = 0;
HANDLE g_armed = nullptr;     // auto-reset: a fault happened
HANDLE g_disarmed = nullptr;  // manual-reset: the box is shown or the report returned
volatile LONG g_counting = 0;
volatile LONG g_stop = 0;

DWORD WINAPI DeadlineMain(void*) {
  for (;;) {
    WaitForSingleObject(g_armed, INFINITE);
    if (g_stop) return 0;
    if (WaitForSingleObject(g_disarmed, kReportDeadlineMs) == WAIT_TIMEOUT) TerminateProcess(GetCurrentProcess(), 1);
  }
}

}  // namespace

void start_report_deadline() {
  g_armed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  g_disarmed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (g_armed && g_disarmed)
    g_thread = CreateThread(nullptr, 64 * 1024, DeadlineMain, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, &g_threadId);
}

void stop_report_deadline() {
  if (!g_thread) return;
  g_stop = 1;
  SetEvent(g_armed);
  CloseHandle(g_thread);
  g_thread = nullptr;
  g_threadId = 0;
}

void arm_report_deadline() {
  if (!g_thread || InterlockedCompareExchange(&g_counting, 1, 0) != 0) return;
  ResetEvent(g_disarmed);
  SetEvent(g_armed);
}

void disarm_report_deadline() {
  if (InterlockedExchange(&g_counting, 0) != 0) SetEvent(g_disarmed);
}

DWORD report_deadline_thread() { return g_threadId; }

}  // namespace __dbg_util
