#include "support/ProgramProcess.h"

#ifdef _WIN32
#include "app/ModuleDirectory.h"

namespace {
struct WindowSearch {
  DWORD processId;
  const char* windowClass;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<WindowSearch*>(lParam);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(hwnd, &owner);
  char name[64] = {};
  ::GetClassNameA(hwnd, name, sizeof name);
  if (owner == search->processId && ::IsWindowVisible(hwnd) && lstrcmpA(name, search->windowClass) == 0) {
    search->found.push_back(hwnd);
  }
  return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelWindowsOf(DWORD processId, const char* windowClass) {
  WindowSearch search{processId, windowClass, {}};
  ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

namespace {

// The programs a test starts end with it, even when the test itself is ended from outside
// (a time-out), instead of recording on unwatched: they run in a job that ends its
// processes when its last handle, the test's own, is closed.
HANDLE ChildrenJob() {
  static const HANDLE job = [] {
    HANDLE created = ::CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (created && !::SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
      ::CloseHandle(created);
      created = nullptr;
    }
    return created;
  }();
  return job;
}

}  // namespace

ProgramProcess::ProgramProcess(const std::string& folder, Files files) {
  const std::string exe = folder + "\\Sondrel.exe";
  if (files == Files::CopyBuilt) {
    if (!::CopyFileA((GetModuleDirectory() + "\\Sondrel.exe").c_str(), exe.c_str(), FALSE)) return;
    // Shipped beside the program: its own filters (encoder, WAV writer, capture source).
    const std::string filters = "\\SondrelFilters.dll";
    ::CopyFileA((GetModuleDirectory() + filters).c_str(), (folder + filters).c_str(), FALSE);
  }
  std::string commandLine = "\"" + exe + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        folder.c_str(), &startup, &info)) {
    return;
  }
  if (HANDLE job = ChildrenJob()) ::AssignProcessToJobObject(job, info.hProcess);
  ::ResumeThread(info.hThread);
  ::CloseHandle(info.hThread);
  m_process = info.hProcess;
  m_id = info.dwProcessId;
}

ProgramProcess::~ProgramProcess() {
  if (m_process == nullptr) return;
  Kill();
  ::CloseHandle(m_process);
}

void ProgramProcess::Kill() {
  if (m_process != nullptr && ::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(m_process, 99);
    ::WaitForSingleObject(m_process, 5000);
  }
}

HWND ProgramProcess::WaitForMainWindow(unsigned timeoutMs) {
  for (unsigned waited = 0; m_process != nullptr && waited <= timeoutMs; waited += 50) {
    const std::vector<HWND> windows = TopLevelWindowsOf(m_id, "#32770");
    if (!windows.empty()) return windows.front();
    if (::WaitForSingleObject(m_process, 50) != WAIT_TIMEOUT) return nullptr;
  }
  return nullptr;
}

bool ProgramProcess::WaitForExit(DWORD& exitCode, unsigned timeoutMs) {
  if (m_process == nullptr || ::WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0) return false;
  return ::GetExitCodeProcess(m_process, &exitCode) != 0;
}
#endif
