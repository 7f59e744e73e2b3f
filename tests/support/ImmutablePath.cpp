#include "support/ImmutablePath.h"

#include "support/LinuxCommand.h"

ImmutablePath::ImmutablePath(const std::string& path) : m_unixPath(UnixPath(path)) {
  const LinuxCommandResult r = RunLinuxCommand("chattr +i " + ShellQuote(m_unixPath));
  m_set = r.finished && r.exitCode == 0;
  m_error = r.output;
}

ImmutablePath::~ImmutablePath() { RunLinuxCommand("chattr -i " + ShellQuote(m_unixPath)); }
