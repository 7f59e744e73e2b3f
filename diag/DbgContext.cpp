#include "diag/DbgContext.h"

#include <cstring>

#include "diag/CrashReport.h"
#include "diag/Guard.h"
#include "diag/ReportBox.h"
#include "diag/SymbolEngine.h"
#include "diag/TraceRing.h"

namespace __dbg_util {
namespace {

constexpr ULONG kStackGuarantee = 64 * 1024;

// Room below a stack overflow for the exception to reach the report.
void GuaranteeStackForReport() {
  ULONG guarantee = kStackGuarantee;
  SetThreadStackGuarantee(&guarantee);
}

// Every thread of the process gets that room as it starts (the loader calls the program's
// TLS callbacks for each new thread): the schedule workers, the graphs' streaming threads,
// whoever starts them. A thread whose stack is too small for it keeps what it has.
void NTAPI OnThreadStart(PVOID, DWORD reason, PVOID) {
  if (reason == DLL_THREAD_ATTACH) GuaranteeStackForReport();
}

dbg_process_values g_values;
dbg_context* g_first = nullptr;

uint64_t FileTimeValue(const FILETIME& t) { return static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime; }

uint64_t QueryCounter() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<uint64_t>(counter.QuadPart);
}

struct PrefixJob {
  const dbg_context* self;
  const char* text;
  char* out;
  size_t capacity;
};

void ComposePrefixedReportLine(void* argument) {
  const PrefixJob& job = *static_cast<PrefixJob*>(argument);
  TextBuffer out(job.out, job.capacity);
  job.self->format_line(out, process_values().format_word, job.text);
}

}  // namespace

// The TLS callback list of the executable (the runtime's start-up code keeps its directory).
extern "C" __attribute__((section(".CRT$XLD"), used)) const PIMAGE_TLS_CALLBACK sondrel_diag_thread_start =
    OnThreadStart;

dbg_context* first_context() { return g_first; }
dbg_process_values& process_values() { return g_values; }

dbg_context::dbg_context() : m_values(&g_values) {
  // A start of the executable as its report box's helper goes no further.
  run_report_box_helper_if_asked();
  if (InterlockedIncrement(&m_values->instance_count) == 1) {
    g_first = this;
    char* path = m_values->report_path;
    if (GetModuleFileNameA(nullptr, path, kPathCapacity) != 0) {
      path[kPathCapacity - 1] = '\0';
      MakeReportPath(path, kPathCapacity);
    } else {
      path[0] = '\0';
    }
    InstallGuardHandler();
    // The starting (interface) thread; later ones get theirs in OnThreadStart.
    GuaranteeStackForReport();
    m_symbolMutex = start_symbol_engine(*m_values, this);
    m_values->previous_filter = SetUnhandledExceptionFilter(report);
    prepare_crash_report();
    for (uint32_t& word : m_values->channel_words) word = DBG_DEFAULT_CHANNEL_WORD;
  }
  take_time_base();
}

dbg_context::~dbg_context() {
  if (InterlockedDecrement(&m_values->instance_count) == 0) {
    end_crash_report();
    if (m_symbolMutex) stop_symbol_engine();
    if (g_first == this) g_first = nullptr;
  }
  if (m_symbolMutex) CloseHandle(m_symbolMutex);
}

void dbg_context::take_time_base() {
  LARGE_INTEGER frequency;
  if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0) {
    m_frequency = m_localBase = m_utcBase = 0;
    return;
  }
  m_frequency = static_cast<uint64_t>(frequency.QuadPart);
  // Taken right at a tick of the system clock, so that the base is as exact as it can be.
  FILETIME first, utc;
  GetSystemTimeAsFileTime(&first);
  do {
    GetSystemTimeAsFileTime(&utc);
  } while (utc.dwLowDateTime == first.dwLowDateTime);
  const uint64_t c = CounterTo100ns(QueryCounter(), m_frequency);
  FILETIME local;
  FileTimeToLocalFileTime(&utc, &local);
  m_localBase = FileTimeValue(local) - c;
  m_utcBase = FileTimeValue(utc) - c;
}

TimeOfDay dbg_context::local_time() const {
  if (m_frequency == 0) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return TimeOfDay{now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, 0};
  }
  return TimeOfDayFrom100ns(CounterTo100ns(QueryCounter(), m_frequency) + m_localBase);
}

uint64_t dbg_context::utc_now() const {
  if (m_frequency != 0) return CounterTo100ns(QueryCounter(), m_frequency) + m_utcBase;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return FileTimeValue(now);
}

CpuTime dbg_context::cpu_time(const FILETIME& creation, const FILETIME& kernel, const FILETIME& user,
                              uint32_t options) const {
  const uint64_t v = (options & DBG_OPT_CPU_BUSY) ? FileTimeValue(kernel) + FileTimeValue(user)
                                                  : utc_now() - FileTimeValue(creation);
  return CpuTimeFrom100ns(v);
}

CpuTime dbg_context::process_cpu_time(uint32_t options) const {
  FILETIME creation{}, exit{}, kernel{}, user{};
  if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user)) return CpuTime{};
  return cpu_time(creation, kernel, user, options);
}

CpuTime dbg_context::thread_cpu_time(uint32_t options) const {
  FILETIME creation{}, exit{}, kernel{}, user{};
  if (!GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user)) return CpuTime{};
  return cpu_time(creation, kernel, user, options);
}

void dbg_context::format_line(TextBuffer& out, uint32_t options, const char* message) const {
  LinePrefixParts parts;
  parts.sourceFile = m_sourceFile;
  parts.sourceLine = m_sourceLine;
  if (options & DBG_OPT_TIME) parts.time = local_time();
  parts.processId = GetCurrentProcessId();
  parts.threadId = GetCurrentThreadId();
  if (options & DBG_OPT_PROCESS_CPU) parts.processCpu = process_cpu_time(options);
  if (options & DBG_OPT_THREAD_CPU) parts.threadCpu = thread_cpu_time(options);
  FixedText<2048> caller;
  if (options & DBG_OPT_FUNC_ANY) {
    describe_caller(caller, options & DBG_OPT_CALLER_MASK, m_values->caller_skip_count);
    parts.caller = caller.c_str();
  }
  ComposePrefixedLine(out, options, parts, message);
}

void dbg_context::write_report_line(char* text, size_t capacity) const {
  const char* line = text;
  const size_t length = std::strlen(text);
  if ((m_values->format_word & 0xFF) != 0 && length + 2 < capacity) {
    PrefixJob job{this, text, text + length + 1, capacity - length - 1};
    // A named function rather than a lambda: naming the caller walks through this frame and
    // must recognise it as the library's.
    if (RunGuarded(ComposePrefixedReportLine, &job)) line = job.out;
  }
  DWORD written;
  SetFilePointer(m_values->report_file, 0, nullptr, FILE_END);
  WriteFile(m_values->report_file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
}

void dbg_context::write_buffered_line(const char* text, size_t length) const {
  if (!m_values->report_file) open_report_file();
  if (!m_values->report_file) return;
  PriorityBoost boost;
  DWORD written;
  SetFilePointer(m_values->report_file, 0, nullptr, FILE_END);
  WriteFile(m_values->report_file, text, static_cast<DWORD>(length), &written, nullptr);
}

void dbg_context::open_report_file() const {
  if (m_values->report_file) CloseHandle(m_values->report_file);
  HANDLE file = CreateFileA(m_values->report_path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS,
                            (m_values->open_mode & 1) ? FILE_FLAG_WRITE_THROUGH : FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    m_values->report_file = nullptr;
    return;
  }
  m_values->report_file = file;
  if (m_values->open_mode & 2)
    SetEndOfFile(file);
  else
    SetFilePointer(file, 0, nullptr, FILE_END);
}

void dbg_context::flush_trace_buffer() {
  dbg_process_values& v = *m_values;
  if (!v.trace_buffer) return;
  PriorityBoost boost;
  m_bufferingState = -2;
  const uint32_t w = v.trace_write_offset;
  const uint32_t n = v.trace_used < v.trace_capacity ? v.trace_used : v.trace_capacity;
  // The copy lives on the stack: the heap may be what broke.
  char* copy = static_cast<char*>(__builtin_alloca(n + 1));
  std::memcpy(copy, v.trace_buffer, n);
  copy[n] = '\0';
  v.trace_write_offset = 0;
  v.trace_used = v.trace_reset_length;
  std::memset(v.trace_buffer, 0, v.trace_capacity);
  struct Sink {
    const dbg_context* self;
    bool debugger;
  } sink{this, (v.format_word & DBG_OPT_DEBUGGER) != 0};
  ForEachBufferedLine(
      copy, w, n,
      [](void* context, const char* line, size_t length) {
        const Sink& s = *static_cast<Sink*>(context);
        if (s.debugger) OutputDebugStringA(line);
        s.self->write_buffered_line(line, length);
      },
      &sink);
}

PriorityBoost::PriorityBoost() : m_previous(GetThreadPriority(GetCurrentThread())) {
  if (m_previous != THREAD_PRIORITY_TIME_CRITICAL) SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

PriorityBoost::~PriorityBoost() {
  if (m_previous != THREAD_PRIORITY_TIME_CRITICAL) SetThreadPriority(GetCurrentThread(), m_previous);
}

}  // namespace __dbg_util
