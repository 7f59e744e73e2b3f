#include "support/LinuxCommand.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>

#include "support/TempDir.h"
#else
#include <sys/wait.h>
#endif

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

#ifndef _WIN32
std::string UnixPath(const std::string& path) { return path; }

LinuxCommandResult RunLinuxCommand(const std::string& shellCommand, unsigned) {
  LinuxCommandResult result;
  FILE* pipe = ::popen(("(" + shellCommand + ") 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, n);
  const int status = ::pclose(pipe);
  result.finished = true;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}
#else
namespace {
using UnixFileNameFunction = char*(CDECL*)(const WCHAR*);
}

std::string UnixPath(const std::string& windowsPath) {
  static const auto toUnix = reinterpret_cast<UnixFileNameFunction>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (toUnix == nullptr) return {};
  const int length = ::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), length);
  char* unix = toUnix(wide.c_str());
  if (unix == nullptr) return {};
  std::string result(unix);
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return result;
}

LinuxCommandResult RunLinuxCommand(const std::string& shellCommand, unsigned timeoutMs) {
  LinuxCommandResult result;
  TempDir dir;
  const std::string script = dir.File("command.sh");
  const std::string output = UnixPath(dir.File("output.txt"));
  const std::string code = UnixPath(dir.File("exit-code"));
  // The exit code file appears only once the command has ended (rename is atomic).
  WriteWholeFile(script, "(" + shellCommand + ") >" + ShellQuote(output) + " 2>&1\necho $? >" +
                             ShellQuote(code + ".tmp") + "\nmv " + ShellQuote(code + ".tmp") + " " +
                             ShellQuote(code) + "\n");
  std::string commandLine = "/bin/sh " + UnixPath(script);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
    return result;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  const std::string codeFile = dir.File("exit-code");
  for (unsigned waited = 0; waited < timeoutMs && !FileExists(codeFile); waited += 20) ::Sleep(20);
  if (!FileExists(codeFile)) return result;
  result.finished = true;
  result.exitCode = std::atoi(ReadWholeFile(codeFile).c_str());
  result.output = ReadWholeFile(dir.File("output.txt"));
  return result;
}
#endif
