#include "tests/diag/Failures.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "diag/DbgContext.h"

namespace {

std::string g_facts;
volatile int* g_nowhere = nullptr;

volatile bool g_deeper = true;

int Recurse(int depth) {
  // Small frames: the overflow faults in this function, with the stack pointer near the
  // guard page (where Wine 8 still has room to raise the exception).
  volatile char block[512];
  block[0] = static_cast<char>(depth);
  return g_deeper ? Recurse(depth + 1) + block[0] : 0;
}

struct Shape {
  Shape() { Describe(); }
  virtual ~Shape() = default;
  void Describe() { Name(); }
  virtual const char* Name() = 0;
};
struct Circle : Shape {
  const char* Name() override { return "circle"; }
};

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
  // Fail only once they are at it.
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

// Starts `routine` on a worker of its own.
void OnWorker(LPTHREAD_START_ROUTINE routine) {
  DWORD id = 0;
  HANDLE worker = CreateThread(nullptr, 0, routine, nullptr, CREATE_SUSPENDED, &id);
  Fact("crashing_thread", id);
  WriteFacts();
  ResumeThread(worker);
  CloseHandle(worker);
}

}  // namespace

void Fact(const char* name, unsigned long long value) {
  char line[128];
  std::snprintf(line, sizeof line, "%s=%llu\n", name, value);
  g_facts += line;
}

void WriteFacts() {
  // The last facts are written right before the failure: its moment, for the time to the box.
  char tick[64];
  std::snprintf(tick, sizeof tick, "written_tick=%lu\n", GetTickCount());
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::strcpy(std::strrchr(path, '\\') + 1, "facts.txt");
  FILE* f = std::fopen(path, "wb");
  if (!f) return;
  std::fputs(g_facts.c_str(), f);
  std::fputs(tick, f);
  std::fclose(f);
}

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

void FailHere(const char* scenario) {
  const std::string s = scenario;
  WriteFacts();
  if (s == "stack-overflow") {
    Recurse(0);
  } else if (s == "abort") {
    std::abort();
  } else if (s == "uncaught") {
    throw std::runtime_error("nobody catches this");
  } else if (s == "pure-virtual") {
    Circle circle;
  } else if (s == "invalid-parameter") {
    // Wine's msvcrt.dll checks no parameters, so do what a checking runtime function does:
    // call the handler installed for the runtime.
    const _invalid_parameter_handler handler = _get_invalid_parameter_handler();
    if (handler) handler(L"buffer != NULL", L"_itoa_s", L"xtoa.c", 42, 0);
  }
}

bool StartFailingWorkers(const char* scenario) {
  const std::string s = scenario;
  if (s == "heap-busy" || s == "loader-busy") {
    StartBusyThreads(s == "heap-busy" ? AllocateInALoop : LoadInALoop, 2);
    OnWorker(FailInWorker);
  } else if (s == "two-at-once") {
    DWORD first = 0, second = 0;
    CloseHandle(CreateThread(nullptr, 0, FailOnSignal, nullptr, 0, &first));
    CloseHandle(CreateThread(nullptr, 0, FailOnSignal, nullptr, 0, &second));
    Fact("first_thread", first);
    Fact("second_thread", second);
    WriteFacts();
    Sleep(100);
    SetEvent(g_go);
  } else if (s == "worker-fault") {
    OnWorker(FailInWorker);
  } else if (s == "worker-overflow") {
    OnWorker(OverflowInWorker);
  } else if (s == "worker-abort") {
    OnWorker(AbortInWorker);
  } else if (s == "worker-throw") {
    OnWorker(ThrowInWorker);
  } else {
    return false;
  }
  return true;
}
