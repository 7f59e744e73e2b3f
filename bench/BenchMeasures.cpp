#include "bench/BenchMeasures.h"

#include <psapi.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/LinuxCommand.h"
#include "support/TempDir.h"

namespace {

double Seconds(const FILETIME& t) {
  return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
}

// "XmY.YYYs" as printed by the shell's `times`.
double ShellSeconds(const std::string& text) {
  const size_t m = text.find('m');
  return m == std::string::npos ? 0.0 : std::atof(text.c_str()) * 60 + std::atof(text.c_str() + m + 1);
}

}  // namespace

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  return Seconds(kernel) + Seconds(user);
}

double WineserverCpuSeconds() {
  // Wine opens files in the server, so /proc/self (through Wine's mapping of the Linux root,
  // Z:) is the server's.
  static const double ticksPerSecond = std::atof(RunLinuxCommand("getconf CLK_TCK").output.c_str());
  const std::string stat = ReadWholeFile("Z:\\proc\\self\\stat");
  const size_t name = stat.rfind(')');
  if (name == std::string::npos || ticksPerSecond <= 0) return -1;
  // After the name: state (field 3) ... utime (14), stime (15).
  const char* at = stat.c_str() + name + 2;
  for (int field = 3; field < 14 && at; ++field) {
    at = std::strchr(at, ' ');
    if (at) ++at;
  }
  if (!at) return -1;
  char* end = nullptr;
  const double user = std::strtod(at, &end);
  const double system = std::strtod(end, nullptr);
  return (user + system) / ticksPerSecond;
}

double LinuxCommandCpuSeconds(const std::string& command, unsigned timeoutMs) {
  const LinuxCommandResult result = RunLinuxCommand("bash -c " + ShellQuote(command + " && times"), timeoutMs);
  if (!result.finished || result.exitCode != 0) {
    std::printf("(failed: %s: %s)\n", command.c_str(), result.output.c_str());
    return -1;
  }
  // The second line of `times` holds the children's user and system time.
  const size_t line = result.output.rfind('\n', result.output.size() - 2);
  if (line == std::string::npos) return -1;
  const std::string children = result.output.substr(line + 1);
  const size_t space = children.find(' ');
  if (space == std::string::npos) return -1;
  return ShellSeconds(children.substr(0, space)) + ShellSeconds(children.substr(space + 1));
}

size_t WorkingSet() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
  return counters.WorkingSetSize;
}

CMemoryPeak::CMemoryPeak() {
  m_thread.Start([this](const std::atomic<bool>& stopping) {
    while (!stopping) {
      m_highest = std::max<size_t>(m_highest, WorkingSet());
      ::Sleep(50);
    }
  });
}

size_t CMemoryPeak::Stop() {
  m_thread.Stop();
  m_highest = std::max<size_t>(m_highest, WorkingSet());
  return m_highest;
}

double CFigure::Median() const {
  if (m_values.empty()) return 0;
  std::vector<double> sorted = m_values;
  std::sort(sorted.begin(), sorted.end());
  const size_t middle = sorted.size() / 2;
  return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

double CFigure::Lowest() const { return m_values.empty() ? 0 : *std::min_element(m_values.begin(), m_values.end()); }

double CFigure::Highest() const { return m_values.empty() ? 0 : *std::max_element(m_values.begin(), m_values.end()); }

std::string CFigure::Text(int decimals) const {
  if (m_values.size() < 2) return Format("%.*f", decimals, Median());
  return Format("%.*f (%.*f-%.*f)", decimals, Median(), decimals, Lowest(), decimals, Highest());
}

bool MeasureCpuShare(CpuShare& cpu, double seconds, const std::function<bool()>& start) {
  const double process = ProcessCpuSeconds(), server = WineserverCpuSeconds();
  const ULONGLONG begin = ::GetTickCount64();
  if (!start()) return false;
  ::Sleep(DWORD(seconds * 1000));
  const double wall = double(::GetTickCount64() - begin) / 1000;
  cpu.process.Add(100 * (ProcessCpuSeconds() - process) / wall);
  cpu.server.Add(100 * (WineserverCpuSeconds() - server) / wall);
  return true;
}

void PrintCpuShare(const std::string& what, const CpuShare& cpu) {
  std::printf("  %-62s %s %%; wineserver %s %%\n", what.c_str(), cpu.process.Text(3).c_str(),
              cpu.server.Text(3).c_str());
}

std::string LoadAverage() {
  std::string text = ReadWholeFile("Z:\\proc\\loadavg");
  size_t end = 0;
  for (int field = 0; field < 3 && end != std::string::npos; ++field) end = text.find(' ', end + (field > 0));
  return end == std::string::npos ? text : text.substr(0, end);
}

void PrintTarget(const std::string& what, const std::string& figure, const std::string& anchor,
                 const std::string& aim, bool met) {
  std::printf("TARGET | %s | %s | %s | %s | %s\n", what.c_str(), figure.c_str(), anchor.c_str(), aim.c_str(),
              met ? "met" : "NOT met");
}

std::string Format(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

double ArgumentOr(int argc, char** argv, int index, double fallback) {
  const double value = index < argc ? std::atof(argv[index]) : 0;
  return value > 0 ? value : fallback;
}
