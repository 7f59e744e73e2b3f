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

DWORD StartWaitingWorker() {
  DWORD id = 0;
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  CloseHandle(CreateThread(nullptr, 0, WaitingWorker, ready, 0, &id));
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
