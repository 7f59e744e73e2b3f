#include "support/FailingFolder.h"

#include <windows.h>

#include "app/ModuleDirectory.h"
#include "support/LinuxCommand.h"
#include "support/TempDir.h"

namespace {
const char* FaultWord(FolderFault fault) {
  switch (fault) {
    case FolderFault::Gone: return "gone";
    case FolderFault::Unwritable: return "unwritable";
    case FolderFault::Failing: return "failing";
    case FolderFault::None: break;
  }
  return "none";
}
}  // namespace

FailingFolder::FailingFolder(const std::string& folder, const std::string& store) : m_control(store + ".fault") {
  ::CreateDirectoryA(folder.c_str(), nullptr);
  ::CreateDirectoryA(store.c_str(), nullptr);
  Set(FolderFault::None);
  const std::string program = GetModuleDirectory() + "\\failing_folder_fs";
  m_unixFolder = UnixPath(folder);
  const std::string unixProgram = UnixPath(program);
  if (!FileExists(program) || unixProgram.empty()) {
    m_error = "failing_folder_fs was not built (it needs libfuse3-dev when the build is configured)";
    return;
  }
  if (m_unixFolder.empty()) {
    m_error = "no Linux path for " + folder;
    return;
  }
  // The program returns once the file system is mounted and serves it in the background.
  const LinuxCommandResult result =
      RunLinuxCommand(ShellQuote(unixProgram) + " " + ShellQuote(UnixPath(store)) + " " +
                      ShellQuote(UnixPath(m_control)) + " " + ShellQuote(m_unixFolder));
  m_mounted = result.finished && result.exitCode == 0;
  if (!m_mounted) m_error = "failing_folder_fs: " + result.output;
}

// Unmounting ends the program.
FailingFolder::~FailingFolder() {
  if (m_mounted) RunLinuxCommand("umount " + ShellQuote(m_unixFolder));
}

void FailingFolder::Set(FolderFault fault) { WriteWholeFile(m_control, FaultWord(fault)); }
