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

FailingFolder::FailingFolder(const std::string& folder, const std::string& store)
    : MountedFolder(folder), m_control(store + ".fault") {
  ::CreateDirectoryA(store.c_str(), nullptr);
  Set(FolderFault::None);
  const std::string program = GetModuleDirectory() + "\\failing_folder_fs";
  const std::string unixProgram = UnixPath(program);
  if (!FileExists(program) || unixProgram.empty()) {
    Fail("failing_folder_fs was not built (it needs libfuse3-dev when the build is configured)");
    return;
  }
  if (UnixFolder().empty()) return;
  // The program returns once the file system is mounted and serves it in the background;
  // unmounting ends it.
  TakeMountResult(RunLinuxCommand(ShellQuote(unixProgram) + " " + ShellQuote(UnixPath(store)) + " " +
                                  ShellQuote(UnixPath(m_control)) + " " + ShellQuote(UnixFolder())),
                  "failing_folder_fs");
}

void FailingFolder::Set(FolderFault fault) { WriteWholeFile(m_control, FaultWord(fault)); }
