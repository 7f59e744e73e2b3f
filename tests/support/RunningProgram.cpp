#include "support/RunningProgram.h"

#ifdef _WIN32
#include "support/ProgramDriver.h"
#include "support/TempDir.h"

RunningProgram::RunningProgram(const std::string& folder, const ProgramSettings& settings) {
  std::string text;
  for (const auto& [key, value] : settings) text += key + ": " + value + "\r\n";
  WriteWholeFile(folder + "\\Sondrel.cfg", text);
  m_program = std::make_unique<ProgramProcess>(folder);
  m_window = m_program->WaitForMainWindow();
}

RunningProgram::~RunningProgram() {
  if (m_window) ::PostMessageA(m_window, WM_CLOSE, 0, 0);
  DWORD code = 0;
  m_program->WaitForExit(code, 10000);
}

bool RunningProgram::Click(int id, unsigned timeoutMs) { return ClickButton(m_window, id, timeoutMs); }

std::string RunningProgram::Text(int id) const { return WindowText(::GetDlgItem(m_window, id)); }

std::string RunningProgram::Title() const { return WindowText(m_window); }

std::string RunningProgram::BoxText() const {
  for (HWND box : TopLevelWindowsOf(Id(), "#32770")) {
    if (::GetDlgItem(box, 0xFFFF)) return WindowText(::GetDlgItem(box, 0xFFFF));
  }
  return {};
}

std::string RunningProgram::WaitForBox(unsigned timeoutMs) const {
  std::string text;
  for (unsigned waited = 0; waited < timeoutMs && text.empty(); waited += 50) {
    text = BoxText();
    if (text.empty()) ::Sleep(50);
  }
  return text;
}

void RunningProgram::AnswerBoxes() const {
  for (HWND box : TopLevelWindowsOf(Id(), "#32770")) {
    if (::GetDlgItem(box, 0xFFFF)) ::PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
  for (int waited = 0; waited < 5000 && !BoxText().empty(); waited += 50) ::Sleep(50);
}

bool RunningProgram::WaitForTitle(const std::string& title, unsigned timeoutMs) const {
  for (unsigned waited = 0; waited < timeoutMs; waited += 50, ::Sleep(50)) {
    if (Title() == title) return true;
  }
  return false;
}
#endif
