// The diagnostics context in a process of its own: start-up state, the report file's
// modes, report lines with their prefixes, the trace buffer's flush and the time base.
#include "diag/DbgContext.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <regex>
#include <string>

#include "app/ModuleDirectory.h"
#include "diag/Guard.h"
#include "support/TempDir.h"

using namespace __dbg_util;

namespace {

dbg_context g_first;
const LONG g_countBetween = process_values().instance_count;
dbg_context g_second;

// A report during these tests ends the process without waiting for a user.
void EndWithoutMessage(EXCEPTION_POINTERS*, HANDLE, const char*, const char*, const char*, const char*) {
  TerminateProcess(GetCurrentProcess(), 1);
}
const bool g_quietReports = (process_values().notification_hook = EndWithoutMessage, true);

// Points the report at a file of the test's own and restores everything afterwards.
class ReportFile {
 public:
  explicit ReportFile(const std::string& path) : m_saved(process_values()) {
    dbg_process_values& v = process_values();
    v.report_file = nullptr;
    std::snprintf(v.report_path, sizeof v.report_path, "%s", path.c_str());
  }
  ~ReportFile() {
    dbg_process_values& v = process_values();
    if (v.report_file) CloseHandle(v.report_file);
    v = m_saved;
  }

 private:
  dbg_process_values m_saved;
};

std::string WriteLine(const char* text) {
  char buffer[4096];
  std::snprintf(buffer, sizeof buffer, "%s", text);
  g_first.write_report_line(buffer, sizeof buffer);
  return buffer;
}

__attribute__((noinline)) void WriteFromNamedFunction(int marker) {
  char buffer[4096];
  std::snprintf(buffer, sizeof buffer, "from a named function %d\r\n", marker);
  g_first.write_report_line(buffer, sizeof buffer);
}

}  // namespace

TEST(DbgContext, FirstInstanceStartsTheProcessAndTheSecondOnlyCounts) {
  const dbg_process_values& v = process_values();
  EXPECT_EQ(g_countBetween, 1);
  EXPECT_EQ(v.instance_count, 2);
  EXPECT_EQ(first_context(), &g_first);
  EXPECT_EQ(std::string(v.report_path), GetModuleDirectory() + "\\Crash.rpt");
  EXPECT_EQ(v.context_skip_count, 1);
  EXPECT_EQ(v.caller_skip_count, 2);
  EXPECT_EQ(v.stack_print_word, 0x3C02u);
  for (uint32_t word : v.channel_words) EXPECT_EQ(word, 0x410009u);
  EXPECT_EQ(v.report_file, nullptr) << "opened only when a report is written";

  char name[64];
  std::snprintf(name, sizeof name, "z__dbg_util__mutex_%05u", static_cast<unsigned>(GetCurrentProcessId()));
  HANDLE marker = OpenMutexA(SYNCHRONIZE, FALSE, name);
  EXPECT_NE(marker, nullptr) << "the symbol engine's marker";
  if (marker) CloseHandle(marker);

  const LPTOP_LEVEL_EXCEPTION_FILTER installed = SetUnhandledExceptionFilter(nullptr);
  EXPECT_EQ(installed, &dbg_context::report);
  SetUnhandledExceptionFilter(installed);
}

TEST(DbgContext, LaterInstanceNeitherInstallsTheFilterNorTakesTheMarker) {
  const LPTOP_LEVEL_EXCEPTION_FILTER installed = SetUnhandledExceptionFilter(nullptr);
  {
    dbg_context third;
    EXPECT_EQ(process_values().instance_count, 3);
    EXPECT_EQ(SetUnhandledExceptionFilter(nullptr), nullptr) << "the filter is installed once per process";
  }
  EXPECT_EQ(process_values().instance_count, 2);
  SetUnhandledExceptionFilter(installed);
  EXPECT_EQ(first_context(), &g_first);
}

TEST(DbgContext, OpenModesEmptyOrAppend) {
  TempDir dir;
  const std::string path = dir.File("Crash.rpt");
  WriteWholeFile(path, "old report\r\n");
  {
    ReportFile report(path);
    process_values().open_mode = 1;  // write-through, appending
    g_first.open_report_file();
    WriteLine("added\r\n");
  }
  EXPECT_EQ(ReadWholeFile(path), "old report\r\nadded\r\n");
  {
    ReportFile report(path);
    g_first.open_report_file();  // the default mode 3
    WriteLine("fresh\r\n");
  }
  EXPECT_EQ(ReadWholeFile(path), "fresh\r\n");
}

TEST(DbgContext, ReportLinesArePrefixedUnderTheFormatWord) {
  TempDir dir;
  const std::string path = dir.File("Crash.rpt");
  {
    ReportFile report(path);
    g_first.open_report_file();
    WriteLine("plain\r\n");
    process_values().format_word = DBG_OPT_THREAD_ID;
    WriteLine("with id\r\n");
    process_values().format_word = DBG_OPT_THREAD_ID | DBG_OPT_HEX_IDS;
    WriteLine("hex id\r\n");
    // The function bits alone leave the low byte empty: no prefix at all.
    process_values().format_word = DBG_OPT_FUNC_NAME;
    WriteLine("no prefix\r\n");
    process_values().format_word = DBG_OPT_FUNC_NAME | DBG_OPT_THREAD_ID;
    WriteFromNamedFunction(42);
  }
  char expected[128];
  const unsigned id = GetCurrentThreadId();
  std::snprintf(expected, sizeof expected, "plain\r\n[%05u] : with id\r\n[%04X] : hex id\r\nno prefix\r\n[%05u] ", id,
                id, id);
  const std::string text = ReadWholeFile(path);
  EXPECT_EQ(text.rfind(expected, 0), 0u) << text;
  // The caller is named without the library's own frames.
  const std::string last = text.substr(std::string(expected).size());
  EXPECT_TRUE(std::regex_match(last, std::regex(R"(\S*WriteFromNamedFunction : from a named function 42\r\n)"))) << last;
}

TEST(DbgContext, FlushWritesBufferedLinesOldestFirstAndEmptiesTheRing) {
  TempDir dir;
  const std::string path = dir.File("Crash.rpt");
  char ring[32] = "new\r\n\0ut\0old\r\n";
  {
    ReportFile report(path);
    dbg_process_values& v = process_values();
    v.trace_buffer = ring;
    v.trace_capacity = sizeof ring;
    v.trace_write_offset = 6;
    v.trace_used = 15;
    v.trace_reset_length = 0;
    g_first.open_report_file();
    g_first.flush_trace_buffer();
    EXPECT_EQ(v.trace_write_offset, 0u);
    EXPECT_EQ(v.trace_used, 0u);
    for (char c : ring) EXPECT_EQ(c, '\0');
    g_first.flush_trace_buffer();  // empty now: nothing more
  }
  EXPECT_EQ(ReadWholeFile(path), "old\r\nnew\r\n");
}

TEST(DbgContext, TimeBaseFollowsTheLocalClock) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  const TimeOfDay t = g_first.local_time();
  const long clock = (now.wHour * 60 + now.wMinute) * 60 + now.wSecond;
  const long base = (static_cast<long>(t.hours) * 60 + t.minutes) * 60 + t.seconds;
  long difference = base - clock;
  if (difference < -43200) difference += 86400;
  if (difference > 43200) difference -= 86400;
  EXPECT_LE(std::labs(difference), 2) << t.hours << ":" << t.minutes << ":" << t.seconds;

  // Elapsed time since the process started is at least the CPU time it used.
  Sleep(20);
  const CpuTime elapsed = g_first.process_cpu_time(0);
  const CpuTime busy = g_first.process_cpu_time(DBG_OPT_CPU_BUSY);
  EXPECT_GE(elapsed.seconds * 1000 + elapsed.milliseconds, busy.seconds * 1000 + busy.milliseconds);
  EXPECT_GT(elapsed.seconds * 1000000 + elapsed.milliseconds * 1000 + elapsed.microseconds, 20000u);
}

// A fault inside a guarded step leaves the thread's exception-handler chain as it was when
// the step began, not pointing at records in the stack the step had used (32-bit x86 links
// them there; the field is the same on x64, where this runs).
// GCC takes mingw's read of the thread's block at a fixed segment offset for an access out
// of an array's bounds.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
static NT_TIB* ThisThreadsBlock() { return reinterpret_cast<NT_TIB*>(NtCurrentTeb()); }
#pragma GCC diagnostic pop

TEST(Guard, FaultRestoresTheHandlerChainOfTheGuardedStep) {
  NT_TIB* tib = ThisThreadsBlock();
  EXCEPTION_REGISTRATION_RECORD* const before = tib->ExceptionList;
  bool laterStepRan = false;
  const bool completed = Guarded([&] {
    EXCEPTION_REGISTRATION_RECORD inner{};  // as a call inside the step would link one in
    inner.Next = before;
    tib->ExceptionList = &inner;
    *static_cast<volatile int*>(nullptr) = 1;
  });
  EXPECT_FALSE(completed);
  EXPECT_EQ(tib->ExceptionList, before);
  EXPECT_TRUE(Guarded([&] { laterStepRan = true; }));
  EXPECT_TRUE(laterStepRan);
  EXPECT_EQ(tib->ExceptionList, before);
}
