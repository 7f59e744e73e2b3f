#include "diag/ReportBox.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "diag/DbgContext.h"
#include "diag/Deadline.h"
#include "diag/TextBuffer.h"

namespace __dbg_util {
namespace {

// What the program and its helper share: inherited handles (the same values in both) and
// the box's texts.
struct BoxChannel {
  uint64_t program;   // the program, for the helper: SYNCHRONIZE | PROCESS_TERMINATE
  uint64_t request;   // auto-reset event: show the box
  uint64_t shown;     // manual-reset event: the box's message loop runs
  uint64_t answered;  // manual-reset event: the user closed the box
  char caption[kPathCapacity];
  char text[256];
};

HANDLE AsHandle(uint64_t value) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value)); }
uint64_t AsValue(HANDLE handle) { return reinterpret_cast<uintptr_t>(handle); }

void CopyText(char* to, size_t capacity, const char* from) { TextBuffer(to, capacity).Append(from ? from : ""); }

// The program's side.
HANDLE g_section = nullptr;
BoxChannel* g_channel = nullptr;
HANDLE g_helper = nullptr;

// The helper's side.
HANDLE g_shown = nullptr;

LRESULT CALLBACK NoteShown(int code, WPARAM wParam, LPARAM lParam) {
  if (code == MSGF_DIALOGBOX) SetEvent(g_shown);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

[[noreturn]] void RunHelper(const BoxChannel& channel) {
  HANDLE program = AsHandle(channel.program);
  g_shown = AsHandle(channel.shown);
  // The window system's start-up now, so that the box comes at once when it is asked for.
  DestroyWindow(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
  HANDLE requestOrEnd[] = {AsHandle(channel.request), program};
  if (WaitForMultipleObjects(2, requestOrEnd, FALSE, INFINITE) != WAIT_OBJECT_0) ExitProcess(0);
  char caption[sizeof channel.caption], text[sizeof channel.text];
  CopyText(caption, sizeof caption, channel.caption);
  CopyText(text, sizeof text, channel.text);
  HHOOK hook = SetWindowsHookExA(WH_MSGFILTER, NoteShown, nullptr, GetCurrentThreadId());
  MessageBoxA(nullptr, text, caption, MB_ICONERROR | MB_OK);
  if (hook) UnhookWindowsHookEx(hook);
  SetEvent(AsHandle(channel.answered));
  // The program ends itself with exit code 1 once it hears the answer; one that cannot
  // any more is ended here, with the same code.
  if (WaitForSingleObject(program, 10000) == WAIT_TIMEOUT) TerminateProcess(program, 1);
  ExitProcess(0);
}

// A helper started with a handle of another process's, or by hand: nothing to do.
const BoxChannel* InheritedChannel(const char* commandLine) {
  const char* at = std::strstr(commandLine, kReportBoxSwitch);
  if (!at) return nullptr;
  const uint64_t section = std::strtoull(at + sizeof kReportBoxSwitch - 1, nullptr, 10);
  if (section == 0) return nullptr;
  return static_cast<const BoxChannel*>(MapViewOfFile(AsHandle(section), FILE_MAP_READ, 0, 0, sizeof(BoxChannel)));
}

HANDLE InheritableEvent(bool manualReset) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateEventA(&inherit, manualReset, FALSE, nullptr);
}

// Only the helper keeps its copies inheritable: a program started later by this one gets none.
void KeepToThisProcess(uint64_t handle) { SetHandleInformation(AsHandle(handle), HANDLE_FLAG_INHERIT, 0); }

// Programs whose first context is not a static object become the helper here, before main.
const bool g_helperChecked = (run_report_box_helper_if_asked(), true);

}  // namespace

void run_report_box_helper_if_asked() {
  const char* commandLine = GetCommandLineA();
  if (!std::strstr(commandLine, kReportBoxSwitch)) return;
  const BoxChannel* channel = InheritedChannel(commandLine);
  if (!channel) ExitProcess(0);
  RunHelper(*channel);
}

void start_report_box_helper(const char* exePath) {
  if (g_helper || !exePath || !exePath[0]) return;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  g_section = CreateFileMappingA(INVALID_HANDLE_VALUE, &inherit, PAGE_READWRITE, 0, sizeof(BoxChannel), nullptr);
  if (!g_section) return;
  g_channel = static_cast<BoxChannel*>(MapViewOfFile(g_section, FILE_MAP_WRITE, 0, 0, sizeof(BoxChannel)));
  HANDLE program = nullptr;
  if (!g_channel || !DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &program,
                                     SYNCHRONIZE | PROCESS_TERMINATE, TRUE, 0)) {
    stop_report_box_helper();
    return;
  }
  g_channel->program = AsValue(program);
  g_channel->request = AsValue(InheritableEvent(false));
  g_channel->shown = AsValue(InheritableEvent(true));
  g_channel->answered = AsValue(InheritableEvent(true));
  char commandLine[kPathCapacity + 64];
  std::snprintf(commandLine, sizeof commandLine, "\"%s\" %s %llu", exePath, kReportBoxSwitch,
                static_cast<unsigned long long>(AsValue(g_section)));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  // It shows no window until a report asks for one: no busy cursor meanwhile.
  startup.dwFlags = STARTF_FORCEOFFFEEDBACK;
  PROCESS_INFORMATION started{};
  if (g_channel->request && g_channel->shown && g_channel->answered &&
      CreateProcessA(exePath, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
    CloseHandle(started.hThread);
    g_helper = started.hProcess;
  }
  CloseHandle(program);
  for (uint64_t handle : {g_channel->request, g_channel->shown, g_channel->answered}) KeepToThisProcess(handle);
  SetHandleInformation(g_section, HANDLE_FLAG_INHERIT, 0);
  if (!g_helper) stop_report_box_helper();
}

void stop_report_box_helper() {
  if (g_helper) {
    TerminateProcess(g_helper, 0);
    CloseHandle(g_helper);
    g_helper = nullptr;
  }
  if (g_channel) {
    for (uint64_t handle : {g_channel->request, g_channel->shown, g_channel->answered})
      if (handle) CloseHandle(AsHandle(handle));
    UnmapViewOfFile(g_channel);
    g_channel = nullptr;
  }
  if (g_section) CloseHandle(g_section);
  g_section = nullptr;
}

bool show_box_in_helper(const char* text, const char* caption) {
  if (!g_helper) return false;
  CopyText(g_channel->caption, sizeof g_channel->caption, caption);
  CopyText(g_channel->text, sizeof g_channel->text, text);
  SetEvent(AsHandle(g_channel->request));
  HANDLE shownOrGone[] = {AsHandle(g_channel->shown), g_helper};
  if (WaitForMultipleObjects(2, shownOrGone, FALSE, INFINITE) != WAIT_OBJECT_0) return false;
  // On the screen: from now on the box waits for the user, however long.
  disarm_report_deadline();
  HANDLE answeredOrGone[] = {AsHandle(g_channel->answered), g_helper};
  WaitForMultipleObjects(2, answeredOrGone, FALSE, INFINITE);
  return true;
}

}  // namespace __dbg_util
