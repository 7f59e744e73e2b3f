// A small program that fails in the ways the crash report must cover, built without
// optimisation. The test starts it with the name of a scenario: those of Failures.h, and
// those that set the report's hooks or need threads of their own, here.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "diag/DbgContext.h"
#include "tests/diag/Failures.h"

namespace {

__dbg_util::dbg_context g_firstDiagnostics;
struct Application {
  Application() : constructedAfterFirstContext(__dbg_util::first_context() != nullptr) {}
  bool constructedAfterFirstContext;
} g_application;
__dbg_util::dbg_context g_secondDiagnostics;

volatile int* g_nowhere = nullptr;
HANDLE g_never = CreateEventA(nullptr, TRUE, FALSE, nullptr);

DWORD WINAPI WaitingWorker(void* ready) {
  SetEvent(ready);
  WaitForSingleObject(g_never, INFINITE);
  return 0;
}

DWORD WINAPI CrashingWorker(void* object) {
  CFoo& foo = *static_cast<CFoo*>(object);
  foo.Bar(5, "abc");
  return 0;
}

// Workers that wait until the process lets them go, and count themselves when they went.
HANDLE g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
volatile LONG g_released = 0;
DWORD WINAPI WorkerWaitingForRelease(void* ready) {
  SetEvent(ready);
  WaitForSingleObject(g_release, INFINITE);
  InterlockedIncrement(&g_released);
  return 0;
}

DWORD StartWaitingWorker(LPTHREAD_START_ROUTINE routine = WaitingWorker) {
  DWORD id = 0;
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  CloseHandle(CreateThread(nullptr, 0, routine, ready, 0, &id));
  WaitForSingleObject(ready, INFINITE);
  CloseHandle(ready);
  return id;
}

void CallThrough(void (*function)()) { function(); }

void ReturningHook(EXCEPTION_POINTERS*, HANDLE, const char*, const char*, const char*, const char*) {}

// The filter that was there before the report's: it runs once a returning notification
// returns, and finds out whether the waiting workers run again.
constexpr LONG kReleasedWorkers = 70;
LONG WINAPI CountReleasedWorkers(EXCEPTION_POINTERS*) {
  SetEvent(g_release);
  for (int waited = 0; g_released < kReleasedWorkers && waited < 10000; waited += 10) Sleep(10);
  Fact("released_workers", static_cast<unsigned long>(g_released));
  WriteFacts();
  return EXCEPTION_CONTINUE_SEARCH;
}

void FaultingAdditionalInformation(char* buffer) {
  buffer[0] = 'x';
  *g_nowhere = 3;
}

LRESULT CALLBACK ThrowingWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) throw std::runtime_error("window procedure gave up");
  return DefWindowProcA(window, message, wParam, lParam);
}

void AdditionalInformation(char* buffer) { std::strcpy(buffer, "recording to C:\\take.mp3\r\n"); }

// Lines in the recent-trace ring as a writer would leave them: wrapped once, the write
// offset inside an old line.
char g_ring[64];
void FillTraceRing(__dbg_util::dbg_process_values& v) {
  static const char kRing[] = "newest\r\n\0ine\r\n\0older line\r\n\0";
  std::memcpy(g_ring, kRing, sizeof kRing);
  v.trace_buffer = g_ring;
  v.trace_capacity = sizeof g_ring;
  v.trace_write_offset = 9;
  v.trace_used = sizeof kRing - 1;
  v.channel_words[3] |= __dbg_util::DBG_OPT_BUFFERED;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string scenario = argc > 1 ? argv[1] : "";
  Fact("main_thread", GetCurrentThreadId());
  Fact("application_after_first_context", g_application.constructedAfterFirstContext);
  __dbg_util::dbg_process_values& values = g_firstDiagnostics.values();

  if (scenario == "worker" || scenario == "hooks" || scenario == "many-threads") {
    if (scenario == "hooks") {
      values.additional_info_hook = AdditionalInformation;
      FillTraceRing(values);
    }
    Fact("waiting_thread_1", StartWaitingWorker());
    Fact("waiting_thread_2", StartWaitingWorker());
    // More threads than the report's table of 64 holds.
    for (int i = 0; scenario == "many-threads" && i < 70; ++i) StartWaitingWorker();
    DWORD id = 0;
    static CFoo foo;
    HANDLE crasher = CreateThread(nullptr, 0, CrashingWorker, &foo, CREATE_SUSPENDED, &id);
    Fact("crashing_thread", id);
    ResumeThread(crasher);
    WaitForSingleObject(g_never, INFINITE);
  } else if (scenario == "main") {
    CFoo foo;
    foo.Bar(5, "abc");
  } else if (scenario == "null-call") {
    WriteFacts();
    CallThrough(nullptr);
  } else if (StartFailingWorkers(scenario.c_str())) {
    WaitForSingleObject(g_never, INFINITE);
  } else if (scenario == "window-throw") {
    WriteFacts();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ThrowingWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "CrashProgramWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("CrashProgramWindow", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    PostMessageA(window, WM_USER, 0, 0);
    for (MSG message; GetMessageA(&message, nullptr, 0, 0) > 0;) DispatchMessageA(&message);
  } else if (scenario == "faulting-hook") {
    values.additional_info_hook = FaultingAdditionalInformation;
    CFoo foo;
    foo.Bar(5, "abc");
  } else if (scenario == "returning-hook") {
    values.notification_hook = ReturningHook;
    values.previous_filter = CountReleasedWorkers;
    // More than the report's table holds: every one of them must run again.
    for (LONG i = 0; i < kReleasedWorkers; ++i) StartWaitingWorker(WorkerWaitingForRelease);
    CFoo foo;
    foo.Bar(5, "abc");
  } else if (scenario == "deadlock") {
    CFoo foo;
    foo.Wait(3, "stuck");
  } else if (scenario == "second-report") {
    // The first report's notification returns; the crash after it adds to the same file.
    values.notification_hook = ReturningHook;
    CFoo foo;
    foo.Wait(3, "stuck");
    values.notification_hook = __dbg_util::show_report_message;
    foo.Bar(5, "abc");
  } else {
    FailHere(scenario.c_str());
  }
  return 3;
}
