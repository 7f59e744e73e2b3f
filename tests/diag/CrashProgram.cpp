// A small program that fails in the ways the crash report must cover. The test starts it
// with the name of a scenario; before failing it writes "facts.txt" beside itself (thread
// ids, the line that fails) so the test can check the report against them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "diag/DbgContext.h"

namespace {

__dbg_util::dbg_context g_firstDiagnostics;
struct Application {
  Application() : constructedAfterFirstContext(__dbg_util::first_context() != nullptr) {}
  bool constructedAfterFirstContext;
} g_application;
__dbg_util::dbg_context g_secondDiagnostics;

std::string g_facts;

void Fact(const char* name, unsigned long value) {
  char line[128];
  std::snprintf(line, sizeof line, "%s=%lu\n", name, value);
  g_facts += line;
}

void WriteFacts() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::strcpy(std::strrchr(path, '\\') + 1, "facts.txt");
  FILE* f = std::fopen(path, "wb");
  if (!f) return;
  std::fputs(g_facts.c_str(), f);
  std::fclose(f);
}

volatile int* g_nowhere = nullptr;
HANDLE g_never = CreateEventA(nullptr, TRUE, FALSE, nullptr);

}  // namespace

class CFoo {
 public:
  void Bar(int count, const char* text);
  void Wait(int count, const char* text);
  int m_value = 7;
};

void CFoo::Bar(int count, const char* text) {
  Fact("crash_line", __LINE__ + 2);
  WriteFacts();
  *g_nowhere = count + text[0] + m_value;
}

void CFoo::Wait(int count, const char* text) {
  Fact("deadlock_line", __LINE__ + 1);
  WriteFacts(), __dbg_util::dbg_context::report(nullptr);
  std::printf("%d %s\n", count, text);
}

namespace {

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

volatile bool g_deeper = true;

int Recurse(int depth) {
  // Small frames: the overflow faults in this function, with the stack pointer near the
  // guard page (where Wine 8 still has room to raise the exception).
  volatile char block[512];
  block[0] = static_cast<char>(depth);
  return g_deeper ? Recurse(depth + 1) + block[0] : 0;
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

struct Shape {
  Shape() { Describe(); }
  virtual ~Shape() = default;
  void Describe() { Name(); }
  virtual const char* Name() = 0;
};
struct Circle : Shape {
  const char* Name() override { return "circle"; }
};

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

// Busy threads that hold a process-wide lock as much of the time as they can.
volatile LONG g_busyRounds = 0;
DWORD WINAPI AllocateInALoop(void*) {
  for (;;) {
    void* a = HeapAlloc(GetProcessHeap(), 0, 1000);
    void* b = std::malloc(3000);
    HeapFree(GetProcessHeap(), 0, a);
    std::free(b);
    InterlockedIncrement(&g_busyRounds);
  }
}
DWORD WINAPI LoadInALoop(void*) {
  for (;;) {
    FreeLibrary(LoadLibraryA("version.dll"));
    InterlockedIncrement(&g_busyRounds);
  }
}
void StartBusyThreads(LPTHREAD_START_ROUTINE routine, int count) {
  for (int i = 0; i < count; ++i) CloseHandle(CreateThread(nullptr, 0, routine, nullptr, 0, nullptr));
  // Crash only once they are at it.
  while (g_busyRounds < 50) Sleep(1);
}

// Two threads that fail at the same moment.
HANDLE g_go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
DWORD WINAPI FailOnSignal(void*) {
  WaitForSingleObject(g_go, INFINITE);
  *g_nowhere = 2;
  return 0;
}

DWORD WINAPI FailInWorker(void*) {
  static CFoo foo;
  foo.Bar(5, "abc");
  return 0;
}
DWORD WINAPI OverflowInWorker(void*) { return static_cast<DWORD>(Recurse(0)); }
DWORD WINAPI AbortInWorker(void*) { std::abort(); }
DWORD WINAPI ThrowInWorker(void*) { throw std::logic_error("worker gave up"); }

void FaultingAdditionalInformation(char* buffer) {
  buffer[0] = 'x';
  *g_nowhere = 3;
}

LRESULT CALLBACK ThrowingWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) throw std::runtime_error("window procedure gave up");
  return DefWindowProcA(window, message, wParam, lParam);
}

// Runs `routine` on a worker of its own and waits for the process to end.
void OnWorker(LPTHREAD_START_ROUTINE routine) {
  DWORD id = 0;
  HANDLE worker = CreateThread(nullptr, 0, routine, nullptr, CREATE_SUSPENDED, &id);
  Fact("crashing_thread", id);
  WriteFacts();
  ResumeThread(worker);
  WaitForSingleObject(g_never, INFINITE);
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
  } else if (scenario == "stack-overflow") {
    WriteFacts();
    return Recurse(0);
  } else if (scenario == "abort") {
    WriteFacts();
    std::abort();
  } else if (scenario == "uncaught") {
    WriteFacts();
    throw std::runtime_error("nobody catches this");
  } else if (scenario == "pure-virtual") {
    WriteFacts();
    Circle circle;
  } else if (scenario == "null-call") {
    WriteFacts();
    CallThrough(nullptr);
  } else if (scenario == "invalid-parameter") {
    WriteFacts();
    // Wine's msvcrt.dll checks no parameters, so do what a checking runtime function does:
    // call the handler installed for the runtime.
    const _invalid_parameter_handler handler = _get_invalid_parameter_handler();
    if (handler) handler(L"buffer != NULL", L"_itoa_s", L"xtoa.c", 42, 0);
  } else if (scenario == "heap-busy" || scenario == "loader-busy") {
    StartBusyThreads(scenario == "heap-busy" ? AllocateInALoop : LoadInALoop, 2);
    OnWorker(FailInWorker);
  } else if (scenario == "two-at-once") {
    DWORD first = 0, second = 0;
    CloseHandle(CreateThread(nullptr, 0, FailOnSignal, nullptr, 0, &first));
    CloseHandle(CreateThread(nullptr, 0, FailOnSignal, nullptr, 0, &second));
    Fact("first_thread", first);
    Fact("second_thread", second);
    WriteFacts();
    Sleep(100);
    SetEvent(g_go);
    WaitForSingleObject(g_never, INFINITE);
  } else if (scenario == "worker-overflow") {
    OnWorker(OverflowInWorker);
  } else if (scenario == "worker-abort") {
    OnWorker(AbortInWorker);
  } else if (scenario == "worker-throw") {
    OnWorker(ThrowInWorker);
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
  }
  return 3;
}
