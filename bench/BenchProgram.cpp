#include "bench/BenchProgram.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "filters/wavdest/WaveHeader.h"
#include "res/resource.h"
#include "support/LinuxCommand.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

double TicksPerSecond() {
  static const double ticks = std::atof(RunLinuxCommand("getconf CLK_TCK").output.c_str());
  return ticks;
}

// A "Name:   123 kB" field of /proc/<pid>/status, in MB.
double StatusMb(const std::string& status, const char* field) {
  const size_t at = status.find(field);
  return at == std::string::npos ? 0 : std::atof(status.c_str() + at + std::strlen(field)) / 1024;
}

}  // namespace

const BenchFormat kBenchFormats[2] = {{"WAV", false, static_cast<long long>(kWaveHeaderSize), 0.3},
                                      {"MP3", true, 1045, 1.0}};

CBenchProgram::CBenchProgram(const std::string& folder, const ProgramSettings& settings)
    : m_program(folder, settings) {
  // Wine shows a process's Windows command line to Linux: the program's path is unique.
  const std::string path = folder + "\\Sondrel.exe";
  for (int attempt = 0; attempt < 5 && m_unixPid <= 0 && m_program.Window(); ++attempt) {
    if (attempt > 0) ::Sleep(500);
    const LinuxCommandResult found = RunLinuxCommand(
        "for p in /proc/[0-9]*; do tr '\\0' ' ' <$p/cmdline 2>/dev/null | grep -qF -- " + ShellQuote(path) +
        " && echo ${p#/proc/}; done");
    m_unixPid = std::atoi(found.output.c_str());
  }
}

std::string CBenchProgram::Problem() const {
  if (!m_program.Window()) return "its window did not appear; a box says \"" + m_program.BoxText() + "\"";
  return m_unixPid > 0 ? "" : "its Linux process was not found";
}

std::map<int, double> CBenchProgram::OwnThreadSeconds() const {
  // One line per thread: its id, its name, then (after the name in /proc's stat line) utime
  // and stime, fields 12 and 13 counted from the state.
  const LinuxCommandResult threads = RunLinuxCommand(
      "for t in /proc/" + std::to_string(m_unixPid) +
      "/task/*; do echo \"${t##*/}|$(cat $t/comm)|$(sed 's/.*) //' $t/stat | cut -d' ' -f12,13)\"; done");
  std::map<int, double> seconds;
  const double ticksPerSecond = TicksPerSecond();
  size_t at = 0;
  while (at < threads.output.size()) {
    size_t end = threads.output.find('\n', at);
    if (end == std::string::npos) end = threads.output.size();
    const std::string line = threads.output.substr(at, end - at);
    at = end + 1;
    const size_t bar = line.find('|'), second = line.find('|', bar + 1);
    if (bar == std::string::npos || second == std::string::npos) continue;
    const int tid = std::atoi(line.c_str());
    const std::string name = line.substr(bar + 1, second - bar - 1);
    if (tid != m_unixPid && name.rfind("Sondrel ", 0) != 0 && name.rfind("Test capture", 0) != 0) continue;
    char* rest = nullptr;
    const double user = std::strtod(line.c_str() + second + 1, &rest);
    seconds[tid] = (user + std::strtod(rest, nullptr)) / ticksPerSecond;
  }
  return seconds;
}

double CBenchProgram::CpuSeconds() const {
  const double ticksPerSecond = TicksPerSecond();
  const std::string stat = ReadWholeFile("Z:\\proc\\" + std::to_string(m_unixPid) + "\\stat");
  // After the name: state (field 3) ... utime (14), stime (15).
  const char* at = stat.c_str() + std::min(stat.size(), stat.rfind(')') + 2);
  for (int field = 3; field < 14 && at; ++field) {
    at = std::strchr(at, ' ');
    if (at) ++at;
  }
  if (!at || ticksPerSecond <= 0) return 0;
  char* end = nullptr;
  const double user = std::strtod(at, &end);
  return (user + std::strtod(end, nullptr)) / ticksPerSecond;
}

CBenchProgram::Memory CBenchProgram::MemoryNow() const {
  const std::string status = ReadWholeFile("Z:\\proc\\" + std::to_string(m_unixPid) + "\\status");
  return {StatusMb(status, "VmRSS:"), StatusMb(status, "RssAnon:")};
}

CBenchProgram::RecordingCpu CBenchProgram::Record(double seconds, Memory& peak) {
  const std::map<int, double> ownBefore = OwnThreadSeconds();
  const double before = CpuSeconds();
  const Clock::time_point start = Clock::now();
  if (!m_program.Click(IDC_RECORD)) return {};
  while (MillisecondsSince(start) < seconds * 1000) {
    ::Sleep(DWORD(std::min(1000.0, seconds * 1000 - MillisecondsSince(start))));
    const Memory now = MemoryNow();
    peak.residentMb = std::max(peak.residentMb, now.residentMb);
    peak.privateMb = std::max(peak.privateMb, now.privateMb);
  }
  const double cpu = CpuSeconds() - before;
  double own = 0;
  for (const auto& [tid, now] : OwnThreadSeconds()) {
    const auto was = ownBefore.find(tid);
    own += now - (was == ownBefore.end() ? 0 : was->second);
  }
  const double wall = MillisecondsSince(start) / 1000;
  m_program.Click(IDC_RECORD);
  return {100 * cpu / wall, 100 * own / wall};
}

CBenchProgram::Latency CBenchProgram::MeasureStartStop(const std::string& file, long long noAudioBytes) {
  Latency latency;
  const Clock::time_point pressed = Clock::now();
  if (!m_program.Click(IDC_RECORD)) return latency;
  while (MillisecondsSince(pressed) < 5000) {
    if (FileSize(file) > noAudioBytes) {
      latency.toFirstAudio = MillisecondsSince(pressed);
      break;
    }
    ::Sleep(1);
  }
  ::Sleep(700);
  const Clock::time_point stop = Clock::now();
  if (m_program.Click(IDC_RECORD)) latency.toCompleteFile = MillisecondsSince(stop);
  return latency;
}

ProgramSettings BenchProgramSettings(const std::string& folder, const char* device, const char* line, bool mp3) {
  return {{"AudioDevice", device},      {"AudioInput", line},           {"AudioVolume", "100"},
          {"FileFormat", mp3 ? "0" : "1"}, {"Mp3BitRateType", "0"},       {"Mp3ConstBitRate", "128"},
          {"Mp3EncQuality", "5"},        {"BytesPerSample", "2"},        {"Channels", "2"},
          {"SamplesPerSecond", "44100"}, {"FileTemplate", folder},       {"AddSeqNum", "1"},
          {"FileCount", "1"},            {"OverwritePrompt", "0"}};
}

bool CBenchPrograms::Start(const char* device, const char* line) {
  for (int k = 0; k < 2; ++k) {
    const std::string& folder = m_folders[k].path();
    m_programs[k] =
        std::make_unique<CBenchProgram>(folder, BenchProgramSettings(folder, device, line, kBenchFormats[k].mp3));
    if (!m_programs[k]->Started()) {
      std::printf("Sondrel.exe did not start: %s\n", m_programs[k]->Problem().c_str());
      return false;
    }
  }
  return true;
}

std::string CBenchPrograms::File(int format, int number) const {
  char name[16];
  std::snprintf(name, sizeof name, "%04d", number);
  return m_folders[format].File(name + std::string(kBenchFormats[format].mp3 ? ".mp3" : ".wav"));
}
