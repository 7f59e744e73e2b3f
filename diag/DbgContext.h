#pragma once
// The diagnostics context: state shared by the whole process (the report file, the option
// words, the hooks, the recent-trace buffer), the primitives that write report lines, and
// the start-up that prepares the crash report. The program defines two static instances
// around its application object; both see the same process-wide values.

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "diag/LineFormat.h"
#include "diag/Options.h"
#include "diag/TextBuffer.h"

namespace __dbg_util {

// Called with the 4096-character text buffer, emptied beforehand; the text it leaves there
// goes into the report.
using AdditionalInfoHook = void (*)(char* buffer);
// Called at the end of a report: the exception (none in deadlock mode), the report file,
// the report's full path and name, the executable's full path and name.
using NotificationHook = void (*)(EXCEPTION_POINTERS* exception, HANDLE reportFile, const char* reportPath,
                                  const char* reportName, const char* exePath, const char* exeName);

// The default notification: the message box, the report file closed, exit code 1.
void show_report_message(EXCEPTION_POINTERS* exception, HANDLE reportFile, const char* reportPath,
                         const char* reportName, const char* exePath, const char* exeName);

constexpr size_t kPathCapacity = 260;
constexpr size_t kHookBufferCapacity = 4096;
constexpr int kChannelCount = 10;

// The values every instance points at; one set per process. Every initial value is a
// constant, so the set is ready before any static constructor runs.
struct dbg_process_values {
  int32_t trace_level = 9;
  uint32_t channel_words[kChannelCount] = {
      DBG_DEFAULT_CHANNEL_WORD, DBG_DEFAULT_CHANNEL_WORD, DBG_DEFAULT_CHANNEL_WORD, DBG_DEFAULT_CHANNEL_WORD,
      DBG_DEFAULT_CHANNEL_WORD, DBG_DEFAULT_CHANNEL_WORD, DBG_DEFAULT_CHANNEL_WORD, DBG_DEFAULT_CHANNEL_WORD,
      DBG_DEFAULT_CHANNEL_WORD, DBG_DEFAULT_CHANNEL_WORD};
  uint32_t format_word = 0;
  uint32_t open_mode = 3;  // bit 0 write-through, bit 1 empty the file when opened
  char report_path[kPathCapacity] = {};
  HANDLE report_file = nullptr;  // none until the first write
  AdditionalInfoHook additional_info_hook = nullptr;
  NotificationHook notification_hook = show_report_message;
  LONG instance_count = 0;
  char* trace_buffer = nullptr;
  uint32_t trace_capacity = 0;
  uint32_t trace_write_offset = 0;
  uint32_t trace_used = 0;
  uint32_t trace_reset_length = 0;
  int32_t context_skip_count = -1;
  int32_t caller_skip_count = -1;
  uint32_t stack_print_word = DBG_DEFAULT_STACK_PRINT_WORD;
  LPTOP_LEVEL_EXCEPTION_FILTER previous_filter = nullptr;
};

class dbg_context {
 public:
  dbg_context();
  ~dbg_context();
  dbg_context(const dbg_context&) = delete;
  dbg_context& operator=(const dbg_context&) = delete;

  dbg_process_values& values() { return *m_values; }

  // The crash and deadlock report: the process's unhandled-exception filter, or called
  // with nullptr on the thread that noticed a deadlock.
  static LONG WINAPI report(EXCEPTION_POINTERS* exception);

  // `message` with the prefix the option word `options` asks for, appended to `out`.
  void format_line(TextBuffer& out, uint32_t options, const char* message) const;
  // Writes `text` to the end of the report file, prefixed under the format word when its
  // low byte is set; the prefixed line is composed in the buffer after the text's NUL.
  void write_report_line(char* text, size_t capacity) const;
  // Writes `length` bytes of `text` to the end of the report file, opening it if need be.
  void write_buffered_line(const char* text, size_t length) const;
  // (Re)opens the report file under the open mode.
  void open_report_file() const;
  // Writes every line of the recent-trace buffer, oldest first, and empties it.
  void flush_trace_buffer();

  TimeOfDay local_time() const;
  // CPU time of the process or the calling thread under the option word's DBG_OPT_CPU_BUSY.
  CpuTime process_cpu_time(uint32_t options) const;
  CpuTime thread_cpu_time(uint32_t options) const;

  // Where the location prefix says a line comes from.
  void set_source(const char* file, int line) {
    m_sourceFile = file;
    m_sourceLine = line;
  }

 private:
  void take_time_base();
  uint64_t utc_now() const;
  CpuTime cpu_time(const FILETIME& creation, const FILETIME& kernel, const FILETIME& user, uint32_t options) const;

  dbg_process_values* m_values;
  HANDLE m_symbolMutex = nullptr;
  int32_t m_bufferingState = 0;
  const char* m_sourceFile = "";
  int m_sourceLine = 0;
  uint64_t m_frequency = 0;
  uint64_t m_localBase = 0;
  uint64_t m_utcBase = 0;
};

// Raises the calling thread to time-critical priority for its lifetime, unless it already
// runs at it, and restores what it found.
class PriorityBoost {
 public:
  PriorityBoost();
  ~PriorityBoost();
  PriorityBoost(const PriorityBoost&) = delete;
  PriorityBoost& operator=(const PriorityBoost&) = delete;

 private:
  int m_previous;
};

// The instance the library's own routines use: the first one constructed (none before it
// and after the last one ends).
dbg_context* first_context();
dbg_process_values& process_values();

}  // namespace __dbg_util
