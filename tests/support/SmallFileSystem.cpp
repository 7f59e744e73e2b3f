#include "support/SmallFileSystem.h"

#include "support/LinuxCommand.h"

namespace {
LinuxCommandResult MountTmpfs(const std::string& options, const std::string& unixPath) {
  return RunLinuxCommand("mount -t tmpfs -o " + options + " sondrel-test " + ShellQuote(unixPath));
}
}  // namespace

SmallFileSystem::SmallFileSystem(const std::string& folder, uint64_t bytes) : MountedFolder(folder) {
  if (!UnixFolder().empty()) TakeMountResult(MountTmpfs("size=" + std::to_string(bytes), UnixFolder()), "mount");
}

bool SmallFileSystem::Resize(uint64_t bytes) {
  if (!mounted()) return false;
  const LinuxCommandResult result = MountTmpfs("remount,size=" + std::to_string(bytes), UnixFolder());
  return result.finished && result.exitCode == 0;
}
