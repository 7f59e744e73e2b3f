#include "diag/CrashReport.h"

#include <windows.h>
// After windows.h, which they need.
#include <cpuid.h>
#include <tlhelp32.h>

#include <cxxabi.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <typeinfo>

#include "diag/DbgContext.h"
#include "diag/Deadline.h"
#include "diag/Guard.h"
#include "diag/ProcessLocks.h"
#include "diag/ReportBox.h"
#include "diag/ReportText.h"
#include "diag/SymbolEngine.h"

namespace __dbg_util {
namespace {

constexpr int kThreadTableSize = 64;
constexpr int kSuspendAttempts = 200;

struct ThreadEntry {
  DWORD id;
  HANDLE handle;
};

// One report's request, from the failing thread to the reporting thread.
struct ReportRequest {
  EXCEPTION_POINTERS* exception;
  DWORD threadId;
  HANDLE thread;
  DWORD lastError;
  CONTEXT callerContext;  // deadlock mode: where the calling thread asked for the report
};

ReportRequest g_request;
HANDLE g_reporter = nullptr;
DWORD g_reporterId = 0;
HANDLE g_requestEvent = nullptr;
HANDLE g_doneEvent = nullptr;
volatile LONG g_stopReporter = 0;
// The id of the thread whose report is being written, 0 when none.
volatile LONG g_reportOwner = 0;
// The exception reported last: a stack overflow is reported as soon as it is raised, and
// the same exception reaching the filter afterwards is not reported again.
const EXCEPTION_RECORD* g_lastReported = nullptr;

// What an uncaught C++ exception was, noted before its report starts.
char g_cppType[256];
char g_cppText[1024];

void WriteText(dbg_context& self, const char* text) { self.write_buffered_line(text, std::strlen(text)); }

void Cpuid(uint32_t leaf, uint32_t regs[4]) { __cpuid(leaf, regs[0], regs[1], regs[2], regs[3]); }

template <class F>
F Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The toolhelp functions, looked up at start-up: at the fault the loader may be held by a
// thread that is about to be suspended.
struct Toolhelp {
  using Snapshot = HANDLE(WINAPI*)(DWORD, DWORD);
  using ModuleWalk = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);
  using ThreadWalk = BOOL(WINAPI*)(HANDLE, THREADENTRY32*);
  using Open = HANDLE(WINAPI*)(DWORD, BOOL, DWORD);
  Snapshot snapshot;
  ModuleWalk moduleFirst, moduleNext;
  ThreadWalk threadFirst, threadNext;
  Open openThread;
  bool complete() const { return snapshot && moduleFirst && moduleNext && threadFirst && threadNext && openThread; }
};
Toolhelp g_toolhelp;

void LookUpToolhelp() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return;
  g_toolhelp.snapshot = Lookup<Toolhelp::Snapshot>(kernel, "CreateToolhelp32Snapshot");
  g_toolhelp.moduleFirst = Lookup<Toolhelp::ModuleWalk>(kernel, "Module32First");
  g_toolhelp.moduleNext = Lookup<Toolhelp::ModuleWalk>(kernel, "Module32Next");
  g_toolhelp.threadFirst = Lookup<Toolhelp::ThreadWalk>(kernel, "Thread32First");
  g_toolhelp.threadNext = Lookup<Toolhelp::ThreadWalk>(kernel, "Thread32Next");
  g_toolhelp.openThread = Lookup<Toolhelp::Open>(kernel, "OpenThread");
}

// The executable's full path, read at start-up for the same reason.
char g_exePath[kPathCapacity];

// Threads stopped beyond the report's table: not reported, but resumed with the others when
// a report returns or tries again. One report runs at a time.
constexpr int kMaxUnlistedThreads = 4096;
HANDLE g_unlisted[kMaxUnlistedThreads];
int g_unlistedCount = 0;

// Suspends every other thread of the process and lists up to 63 of them after the calling
// one; returns how many more there were. A thread beyond even the unlisted ones is left
// running: stopped, it could never be resumed.
unsigned SuspendOtherThreads(ThreadEntry* table, int& count) {
  const Toolhelp& t = g_toolhelp;
  unsigned leftOut = 0;
  HANDLE threads = t.complete() ? t.snapshot(TH32CS_SNAPTHREAD, 0) : INVALID_HANDLE_VALUE;
  if (threads == INVALID_HANDLE_VALUE) return 0;
  const DWORD process = GetCurrentProcessId();
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = t.threadFirst(threads, &entry); more; more = t.threadNext(threads, &entry)) {
    // The deadline's thread runs on: it ends the process if this report hangs.
    if (entry.th32OwnerProcessID != process || entry.th32ThreadID == table[0].id ||
        entry.th32ThreadID == GetCurrentThreadId() || entry.th32ThreadID == report_deadline_thread())
      continue;
    const bool listed = count < kThreadTableSize;
    if (!listed) ++leftOut;
    if (!listed && g_unlistedCount == kMaxUnlistedThreads) continue;
    HANDLE handle = t.openThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, entry.th32ThreadID);
    if (handle) SuspendThread(handle);
    if (listed)
      table[count++] = ThreadEntry{entry.th32ThreadID, handle};
    else if (handle)
      g_unlisted[g_unlistedCount++] = handle;
  }
  CloseHandle(threads);
  return leftOut;
}

// Lets every thread that SuspendOtherThreads stopped run again and empties the table after
// the calling thread.
void ResumeOtherThreads(ThreadEntry* table, int& count) {
  for (int i = 1; i < count; ++i) {
    if (!table[i].handle) continue;
    ResumeThread(table[i].handle);
    CloseHandle(table[i].handle);
  }
  count = 1;
  while (g_unlistedCount > 0) {
    HANDLE handle = g_unlisted[--g_unlistedCount];
    ResumeThread(handle);
    CloseHandle(handle);
  }
}

void FormatHeaderFor(TextBuffer& out, const ReportRequest& r) {
  const EXCEPTION_RECORD& e = *r.exception->ExceptionRecord;
  const CONTEXT& c = *r.exception->ContextRecord;
#ifdef _WIN64
  HeaderX64 h{};
  h.address = reinterpret_cast<uint64_t>(e.ExceptionAddress);
  h.rax = c.Rax, h.rbx = c.Rbx, h.rcx = c.Rcx, h.rdx = c.Rdx, h.rsi = c.Rsi, h.rdi = c.Rdi, h.rbp = c.Rbp, h.rsp = c.Rsp;
  h.r8 = c.R8, h.r9 = c.R9, h.r10 = c.R10, h.r11 = c.R11, h.r12 = c.R12, h.r13 = c.R13, h.r14 = c.R14, h.r15 = c.R15;
#else
  HeaderX86 h{};
  h.address = reinterpret_cast<uint32_t>(e.ExceptionAddress);
  h.eax = c.Eax, h.ebx = c.Ebx, h.ecx = c.Ecx, h.edx = c.Edx, h.esi = c.Esi, h.edi = c.Edi, h.ebp = c.Ebp, h.esp = c.Esp;
#endif
  h.code = e.ExceptionCode;
  h.threadId = r.threadId;
  h.eflags = c.EFlags;
  h.cs = c.SegCs, h.ss = c.SegSs, h.ds = c.SegDs, h.es = c.SegEs, h.fs = c.SegFs, h.gs = c.SegGs;
  h.lastError = r.lastError;
  FormatHeader(out, h);
}

// A call through a null function pointer fails at address 0, where no walk can start: the
// return address on top of the stack tells where the call came from.
void SkipNullCall(CONTEXT& c) {
#ifdef _WIN64
  DWORD64& pc = c.Rip;
  DWORD64& sp = c.Rsp;
#else
  DWORD& pc = c.Eip;
  DWORD& sp = c.Esp;
#endif
  if (pc != 0) return;
  decltype(pc + 0) returnAddress = 0;
  SIZE_T read = 0;
  if (!ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(sp)), &returnAddress,
                         sizeof returnAddress, &read))
    return;
  pc = returnAddress;
  sp += sizeof returnAddress;
}

void WriteStacks(dbg_context& self, const ReportRequest& r, const ThreadEntry* table, int count, unsigned leftOut,
                 char* text) {
  CONTEXT work;
  std::memset(&work, 0, sizeof work);
  work.ContextFlags = CONTEXT_FULL;
  SetFilePointer(self.values().report_file, 0, nullptr, FILE_END);
  if (r.exception) {
    work = *r.exception->ContextRecord;
    SkipNullCall(work);
    Guarded([&] { write_stack(table[0].handle, work, 0); });
    for (int i = 1; i < count; ++i) {
      work.ContextFlags = CONTEXT_FULL;
      if (!table[i].handle || !GetThreadContext(table[i].handle, &work)) continue;
      TextBuffer heading(text, kHookBufferCapacity);
      heading.Format(" -> Call stack (thread %d):\r\n", static_cast<int>(table[i].id));
      WriteText(self, text);
      Guarded([&] { write_stack(table[i].handle, work, 0); });
    }
    if (leftOut > 0) {
      TextBuffer note(text, kHookBufferCapacity);
      note.Format(" -> %u more threads are left out of this report.\r\n", leftOut);
      WriteText(self, text);
    }
  } else {
    TextBuffer heading(text, kHookBufferCapacity);
    heading.Format("Deadlock detected in the thread %d. Call stack:\r\n", static_cast<int>(r.threadId));
    self.write_report_line(text, kHookBufferCapacity);
    write_stack(table[0].handle, r.callerContext, self.values().context_skip_count);
  }
}

void WriteCppException(dbg_context& self, const ReportRequest& r, char* text) {
  if (!r.exception || r.exception->ExceptionRecord->ExceptionCode != kCodeCppException || !g_cppType[0]) return;
  TextBuffer out(text, kHookBufferCapacity);
  out.Append(" -> Uncaught C++ exception:\r\n        Type: ");
  out.Append(g_cppType);
  if (g_cppText[0]) {
    out.Append("\r\n        Text: ");
    out.Append(g_cppText);
  }
  out.Append("\r\n");
  WriteText(self, text);
}

void WriteConfiguration(dbg_context& self, char* text) {
  WriteText(self, " -> Computer configuration:\r\n");
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const OsInfo os{version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber,
                  system.dwNumberOfProcessors};
  TextBuffer out(text, kHookBufferCapacity);
  FormatConfiguration(out, os, ReadCpuInfo(Cpuid));
  WriteText(self, text);
}

void WriteAdditionalInformation(dbg_context& self, char* text) {
  const AdditionalInfoHook hook = self.values().additional_info_hook;
  if (!hook) return;
  std::memset(text, 0, kHookBufferCapacity);
  hook(text);
  text[kHookBufferCapacity - 1] = '\0';
  if (text[0] == '\0') return;
  WriteText(self, " -> Additional information:\r\n");
  WriteText(self, text);
}

void WriteBufferedTraces(dbg_context& self) {
  bool buffered = false;
  for (uint32_t word : self.values().channel_words) buffered |= (word & DBG_OPT_BUFFERED) != 0;
  if (!buffered) return;
  WriteText(self, " -> Buffered traces:\r\n");
  self.flush_trace_buffer();
}

void Notify(const ReportRequest& r, char* path) {
  dbg_process_values& v = process_values();
  if (!v.notification_hook) return;
  std::memset(path, 0, kPathCapacity);
  std::memcpy(path, g_exePath, kPathCapacity - 1);
  v.notification_hook(r.exception, v.report_file, v.report_path, FileNamePart(v.report_path), path,
                      FileNamePart(path));
}

// Writes the report of `r`. Every section runs under its own guard, so that a fault in one
// (a walk through a corrupted stack, say) leaves the later ones, the message and the exit.
void WriteReport(ReportRequest& r) {
  PriorityBoost boost;
  ThreadEntry table[kThreadTableSize] = {};
  table[0] = ThreadEntry{r.threadId, r.thread};
  int count = 1;
  unsigned leftOut = 0;
  ProcessLocks locks;
  if (r.exception) {
    for (int attempt = 1;; ++attempt) {
      locks.Take(r.threadId);
      Guarded([&] { leftOut = SuspendOtherThreads(table, count); });
      if (!locks.OthersWaitForEnvironment() || attempt == kSuspendAttempts) break;
      // Let the waiting thread through and stop everyone again.
      ResumeOtherThreads(table, count);
      locks.Release();
      Sleep(1);
    }
  }

  char text[kHookBufferCapacity];
  char path[kPathCapacity];
  text[0] = path[0] = '\0';
  dbg_context* self = first_context();
  if (self) {
    if (!self->values().report_file) self->open_report_file();
    if (r.exception)
      Guarded([&] {
        TextBuffer header(text, kHookBufferCapacity);
        FormatHeaderFor(header, r);
        self->write_report_line(text, kHookBufferCapacity);
      });
    // Modules loaded since start-up (the filters, the platform's media DLLs) get their
    // names and lines too.
    Guarded([&] { refresh_symbol_modules(); });
    Guarded([&] { WriteStacks(*self, r, table, count, leftOut, text); });
    Guarded([&] { WriteCppException(*self, r, text); });
    Guarded([&] { WriteConfiguration(*self, text); });
    Guarded([&] { WriteAdditionalInformation(*self, text); });
    Guarded([&] { WriteBufferedTraces(*self); });
  }
  Guarded([&] { Notify(r, path); });
  // The default notification ends the process; if it failed on the way, end it here.
  if (process_values().notification_hook == show_report_message) TerminateProcess(GetCurrentProcess(), 1);
  // A hook that returns lets the process go on (to the previous filter, or on after a
  // deadlock report): the other threads run again, or whatever comes next could wait for
  // one of them forever. They run before the locks are let go: a thread stopped inside the
  // system's wait for a lock may hold what letting it go needs.
  ResumeOtherThreads(table, count);
  locks.Release();
}

DWORD WINAPI ReporterMain(void*) {
  // The program's own symbols are read now, while nothing has failed, rather than at the
  // fault, where reading them is most of a report's time. A report asked for meanwhile waits.
  load_own_symbols(reinterpret_cast<const void*>(&ReporterMain));
  for (;;) {
    WaitForSingleObject(g_requestEvent, INFINITE);
    if (g_stopReporter) return 0;
    WriteReport(g_request);
    SetEvent(g_doneEvent);
  }
}

// Where the program's own code lies: the module that holds this library.
const BYTE* g_ownStart = nullptr;
const BYTE* g_ownEnd = nullptr;

void FindOwnModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&FindOwnModule), &module))
    return;
  const BYTE* base = reinterpret_cast<const BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  g_ownStart = base;
  g_ownEnd = base + nt->OptionalHeader.SizeOfImage;
}

bool IsHardwareFault(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
      return true;
    default:
      return false;
  }
}

// Reports two kinds of failure as soon as they are raised, before the search for a
// handler: a stack overflow, whose stack has too little room left for the search to reach
// the unhandled-exception filter, and a hardware fault in the program's own code. The
// compiler gives that code no handlers of its own, and the system ignores faults inside
// window procedures and hooks on 64-bit Windows (and Wine): the interface thread would run
// on in a broken state, unreported.
LONG CALLBACK ReportAtOnce(EXCEPTION_POINTERS* exception) {
  const EXCEPTION_RECORD& e = *exception->ExceptionRecord;
  const BYTE* address = static_cast<const BYTE*>(e.ExceptionAddress);
  const bool own = address >= g_ownStart && address < g_ownEnd;
  if (e.ExceptionCode == EXCEPTION_STACK_OVERFLOW || (own && IsHardwareFault(e.ExceptionCode)))
    return dbg_context::report(exception);
  return EXCEPTION_CONTINUE_SEARCH;
}

// libgcc's C++ throw on x64: it continues a throw nobody catches, and the runtime then
// calls std::terminate, which reports it.
bool IsUncaughtCppThrow(const EXCEPTION_RECORD& e) {
  return (e.ExceptionCode & 0x20FFFFFFu) == 0x20474343u && !(e.ExceptionFlags & EXCEPTION_NONCONTINUABLE);
}

// Reports a fatal runtime error as an exception raised where the runtime detected it, and
// ends the process even when a notification hook returns.
[[noreturn]] __attribute__((noinline)) void RaiseFatal(DWORD code) {
  CONTEXT context;
  std::memset(&context, 0, sizeof context);
  context.ContextFlags = CONTEXT_FULL;
  RtlCaptureContext(&context);
  EXCEPTION_RECORD record{};
  record.ExceptionCode = code;
  record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
#ifdef _WIN64
  record.ExceptionAddress = reinterpret_cast<void*>(context.Rip);
#else
  record.ExceptionAddress = reinterpret_cast<void*>(context.Eip);
#endif
  EXCEPTION_POINTERS exception{&record, &context};
  dbg_context::report(&exception);
  TerminateProcess(GetCurrentProcess(), 1);
  for (;;) Sleep(INFINITE);
}

void OnAbortSignal(int) { RaiseFatal(kCodeFatalAppExit); }

// The type and text of the exception being handled, for the report.
void NoteCppException() {
  g_cppType[0] = g_cppText[0] = '\0';
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (!type) return;
  TextBuffer typeName(g_cppType, sizeof g_cppType);
  int status = -1;
  char* demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
  typeName.Append(status == 0 && demangled ? demangled : type->name());
  std::free(demangled);
  try {
    throw;
  } catch (const std::exception& e) {
    TextBuffer text(g_cppText, sizeof g_cppText);
    text.Append(e.what());
  } catch (...) {
  }
}

void OnTerminate() {
  if (!std::current_exception()) RaiseFatal(kCodeFatalAppExit);
  NoteCppException();
  RaiseFatal(kCodeCppException);
}

}  // namespace

// The runtime calls this for a call of a pure virtual function. A statically linked mingw
// runtime only refers to it weakly, so without this definition such a call jumps to
// address 0.
extern "C" void __cxa_pure_virtual() { RaiseFatal(kCodePureVirtualCall); }

namespace {

void OnInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t) {
  RaiseFatal(kCodeInvalidCrtParameter);
}

// The C runtime DLL's own setter: mingw-w64's import library puts a stand-in of its own in
// its place, whose handler the DLL never calls.
void SetInvalidParameterHandler() {
  using Setter = _invalid_parameter_handler(__cdecl*)(_invalid_parameter_handler);
  HMODULE runtime = GetModuleHandleA("msvcrt.dll");
  const auto setter = runtime ? Lookup<Setter>(runtime, "_set_invalid_parameter_handler") : nullptr;
  if (setter)
    setter(OnInvalidParameter);
  else
    _set_invalid_parameter_handler(OnInvalidParameter);
}

}  // namespace

void prepare_crash_report() {
  start_report_deadline();
  LookUpToolhelp();
  if (GetModuleFileNameA(nullptr, g_exePath, kPathCapacity) == 0) g_exePath[0] = '\0';
  g_exePath[kPathCapacity - 1] = '\0';
  g_requestEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  g_doneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (g_requestEvent && g_doneEvent)
    g_reporter = CreateThread(nullptr, 1 << 20, ReporterMain, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, &g_reporterId);
  if (!g_reporter) load_own_symbols(reinterpret_cast<const void*>(&ReporterMain));
  start_report_box_helper(g_exePath);
  FindOwnModule();
  // Called after the guards' handler, so that faults inside a report step stay there.
  AddVectoredExceptionHandler(0, ReportAtOnce);
  // The runtime's own message box for abort would come before the report.
  _set_error_mode(_OUT_TO_STDERR);
  std::signal(SIGABRT, OnAbortSignal);
  std::set_terminate(OnTerminate);
  SetInvalidParameterHandler();
}

void end_crash_report() {
  stop_report_box_helper();
  stop_report_deadline();
  if (!g_reporter) return;
  g_stopReporter = 1;
  SetEvent(g_requestEvent);
  // It may still be reading the program's symbols, which the symbol engine's end would
  // pull from under it.
  WaitForSingleObject(g_reporter, INFINITE);
  CloseHandle(g_reporter);
  g_reporter = nullptr;
}

LONG WINAPI dbg_context::report(EXCEPTION_POINTERS* exception) {
  const DWORD lastError = GetLastError();
  if (exception && IsUncaughtCppThrow(*exception->ExceptionRecord)) return EXCEPTION_CONTINUE_EXECUTION;
  // A fault on the reporting thread outside a guarded step: the report it was writing
  // cannot go on, and waiting for it would wait forever.
  if (g_reporter && GetCurrentThreadId() == g_reporterId) TerminateProcess(GetCurrentProcess(), 1);
  const LPTOP_LEVEL_EXCEPTION_FILTER previous = process_values().previous_filter;
  if (exception && exception->ExceptionRecord == g_lastReported) return previous ? previous(exception) : EXCEPTION_CONTINUE_SEARCH;
  arm_report_deadline();
  const LONG self = static_cast<LONG>(GetCurrentThreadId());
  for (LONG owner; (owner = InterlockedCompareExchange(&g_reportOwner, self, 0)) != 0;) {
    // A failure while this thread's own report is written: nothing more can be told.
    if (owner == self) TerminateProcess(GetCurrentProcess(), 1);
    // Another thread reports; it suspends this one.
    Sleep(10);
  }
  ReportRequest& r = g_request;
  if (exception) g_lastReported = exception->ExceptionRecord;
  r.exception = exception;
  r.threadId = GetCurrentThreadId();
  r.lastError = lastError;
  if (!exception) {
    std::memset(&r.callerContext, 0, sizeof r.callerContext);
    r.callerContext.ContextFlags = CONTEXT_FULL;
    RtlCaptureContext(&r.callerContext);
  }
  if (g_reporter && DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &r.thread,
                                    THREAD_GET_CONTEXT | THREAD_SUSPEND_RESUME | THREAD_QUERY_INFORMATION, FALSE, 0)) {
    SetEvent(g_requestEvent);
    WaitForSingleObject(g_doneEvent, INFINITE);
    CloseHandle(r.thread);
  } else {
    r.thread = GetCurrentThread();
    WriteReport(r);
  }
  disarm_report_deadline();
  InterlockedExchange(&g_reportOwner, 0);
  if (!exception) return EXCEPTION_CONTINUE_SEARCH;
  const LONG result = previous ? previous(exception) : EXCEPTION_CONTINUE_SEARCH;
  // Searching on would start the system's debugger: the process ends here instead, with
  // the exception's code, as it does when nothing handles an exception.
  if (result == EXCEPTION_CONTINUE_SEARCH) TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
  return result;
}

namespace {

// The box's own message loop runs: it is on the screen and from now on waits for the
// user, however long. (Its activation comes too early: what the window system does after
// it may still wait for a suspended thread.)
LRESULT CALLBACK DisarmWhenShown(int code, WPARAM wParam, LPARAM lParam) {
  if (code == MSGF_DIALOGBOX) disarm_report_deadline();
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void show_report_message(EXCEPTION_POINTERS* exception, HANDLE reportFile, const char* reportPath, const char* reportName,
                         const char* exePath, const char* exeName) {
  (void)reportName;
  char message[256];
  message[0] = '\0';
  Guarded([&] {
    TextBuffer text(message, sizeof message);
    FormatNotification(text, exception != nullptr, exeName ? exeName : "", reportPath ? reportPath : "");
  });
  const char* caption = exePath ? exePath : "";
  bool shown = false;
  Guarded([&] { shown = show_box_in_helper(message, caption); });
  // Without its helper the process shows the box itself, and the deadline is all that
  // stands between a stopped window system and a hang.
  if (!shown)
    Guarded([&] {
      HHOOK hook = SetWindowsHookExA(WH_MSGFILTER, DisarmWhenShown, nullptr, GetCurrentThreadId());
      MessageBoxA(nullptr, message, caption, MB_ICONERROR | MB_OK);
      if (hook) UnhookWindowsHookEx(hook);
    });
  Guarded([&] {
    if (reportFile) CloseHandle(reportFile);
    process_values().report_file = nullptr;
  });
  TerminateProcess(GetCurrentProcess(), 1);
}

}  // namespace __dbg_util
