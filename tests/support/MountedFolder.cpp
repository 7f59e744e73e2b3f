#include "support/MountedFolder.h"

#include "support/LinuxCommand.h"

#ifdef _WIN32
#include <windows.h>
#endif

MountedFolder::MountedFolder(const std::string& folder) {
#ifdef _WIN32
  ::CreateDirectoryA(folder.c_str(), nullptr);
#endif
  m_unixFolder = UnixPath(folder);
  if (m_unixFolder.empty()) m_error = "no Linux path for " + folder;
}

MountedFolder::~MountedFolder() {
  if (m_mounted) RunLinuxCommand("umount " + ShellQuote(m_unixFolder));
}

void MountedFolder::TakeMountResult(const LinuxCommandResult& result, const std::string& what) {
  m_mounted = result.finished && result.exitCode == 0;
  m_error = m_mounted ? std::string() : what + ": " + result.output;
}
