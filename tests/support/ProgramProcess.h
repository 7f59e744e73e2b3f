#pragma once
// Starts a copy of the real Sondrel.exe in a folder of the test's own and finds its main
// window, the way a user would see it.
#ifdef _WIN32
#include <windows.h>

#include <string>
#include <vector>

class ProgramProcess {
 public:
  enum class Files { CopyBuilt, AsTheyAre };
  // Copies the built Sondrel.exe and SondrelFilters.dll (beside the test program) into
  // `folder` and starts the program there; with `AsTheyAre`, starts the Sondrel.exe that
  // `folder` already holds (an unpacked or installed release).
  explicit ProgramProcess(const std::string& folder, Files files = Files::CopyBuilt);
  ~ProgramProcess();
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  bool started() const { return m_process != nullptr; }
  // The program's visible top-level dialog, waiting for it up to `timeoutMs`; null if none.
  HWND WaitForMainWindow(unsigned timeoutMs = 20000);
  // Waits for the process to end; false on time-out. `exitCode` receives its exit code.
  bool WaitForExit(DWORD& exitCode, unsigned timeoutMs = 20000);
  // Ends the process at once, as a crash or the task manager would, and waits for it.
  void Kill();
  DWORD id() const { return m_id; }

 private:
  HANDLE m_process = nullptr;
  DWORD m_id = 0;
};

// The visible top-level windows of a process with the given window class ("#32770" for
// dialogs and message boxes).
std::vector<HWND> TopLevelWindowsOf(DWORD processId, const char* windowClass);
#endif
