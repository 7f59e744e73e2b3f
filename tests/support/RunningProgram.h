#pragma once
// The real Sondrel.exe in a folder of a test's own, started with the settings file the test
// writes, and driven through its main window as a user would: clicks, its title, its texts
// and the message boxes it shows.
#ifdef _WIN32
#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "support/ProgramDriver.h"
#include "support/ProgramProcess.h"

using ProgramSettings = std::map<std::string, std::string>;

class RunningProgram {
 public:
  // Writes `settings` as folder\Sondrel.cfg, starts the program there and waits for its window.
  RunningProgram(const std::string& folder, const ProgramSettings& settings);
  // Closes the window and waits for the program to end (a killed program is already gone).
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  HWND Window() const { return m_window; }
  DWORD Id() const { return m_program->id(); }
  ProgramProcess& Process() { return *m_program; }

  // Clicks a button and returns when the program has handled the click; false when the
  // click did not return (a message box it opened is still showing, for instance).
  bool Click(int id, unsigned timeoutMs = 20000);
  std::string Text(int id) const;
  std::string Title() const;
  // The text of a message box the program shows; empty when it shows none.
  std::string BoxText() const;
  // Waits up to `timeoutMs` for a message box and returns its text (empty on time-out).
  std::string WaitForBox(unsigned timeoutMs) const;
  // Presses OK on every message box the program shows.
  void AnswerBoxes() const;
  // Waits until the title is `title`; false on time-out.
  bool WaitForTitle(const std::string& title, unsigned timeoutMs) const;

 private:
  std::unique_ptr<ProgramProcess> m_program;
  HWND m_window = nullptr;
};
#endif
