#include "support/SmallFileSystem.h"

#include "support/LinuxCommand.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
std::string Mount(const std::string& options, const std::string& unixPath) {
  const LinuxCommandResult result = RunLinuxCommand("mount -t tmpfs -o " + options + " sondrel-test " + ShellQuote(unixPath));
  return result.finished && result.exitCode == 0 ? std::string() : "mount: " + result.output;
}
}  // namespace

SmallFileSystem::SmallFileSystem(const std::string& folder, uint64_t bytes) {
#ifdef _WIN32
  ::CreateDirectoryA(folder.c_str(), nullptr);
#endif
  m_unixPath = UnixPath(folder);
  if (m_unixPath.empty()) {
    m_error = "no Linux path for " + folder;
    return;
  }
  m_error = Mount("size=" + std::to_string(bytes), m_unixPath);
  m_mounted = m_error.empty();
}

SmallFileSystem::~SmallFileSystem() {
  if (m_mounted) RunLinuxCommand("umount " + ShellQuote(m_unixPath));
}

bool SmallFileSystem::Resize(uint64_t bytes) {
  return m_mounted && Mount("remount,size=" + std::to_string(bytes), m_unixPath).empty();
}
