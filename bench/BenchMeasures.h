#pragma once
// What the benchmarks measure with, and how they print it.
// - CPU time, never wall time: the machines are shared. Under Wine the process times are the
//   Unix process's, every thread of it (also those Wine's audio drivers start), in clock
//   ticks (10 ms), so a figure needs runs of a few seconds of CPU or of a minute in real time.
// - The wineserver's CPU beside the process's: Wine does waits, messages and file opens in
//   the server, so its share is part of what the process costs.
// - Every figure is taken a few times; the median is the figure, the range is printed beside.
// - Target lines ("TARGET | what | figure | anchor | aim | met") are gathered by
//   scripts/bench.sh into one table at the end of a run. A benchmark never fails on a figure.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// CPU seconds of this process, every thread.
double ProcessCpuSeconds();
// CPU seconds of the wineserver (-1 when not under Wine).
double WineserverCpuSeconds();
// CPU seconds (user + system) that a Linux shell command took, its children included; -1
// when it failed. The command runs with bash.
double LinuxCommandCpuSeconds(const std::string& command, unsigned timeoutMs);
// The process's working set (Wine reports no private bytes).
size_t WorkingSet();

// A thread that runs a loop until it is stopped or destroyed; the loop ends when `stopping`
// turns true. Declare it after everything the loop uses, so that it ends first.
class CBenchThread {
 public:
  CBenchThread() = default;
  ~CBenchThread() { Stop(); }
  CBenchThread(const CBenchThread&) = delete;
  CBenchThread& operator=(const CBenchThread&) = delete;
  void Start(std::function<void(const std::atomic<bool>& stopping)> loop) {
    m_thread = std::thread([this, loop = std::move(loop)] { loop(m_stopping); });
  }
  void Stop() {
    m_stopping = true;
    if (m_thread.joinable()) m_thread.join();
  }

 private:
  std::atomic<bool> m_stopping{false};
  std::thread m_thread;
};

// Samples the working set until stopped and keeps the highest figure.
class CMemoryPeak {
 public:
  CMemoryPeak();
  size_t Stop();

 private:
  std::atomic<size_t> m_highest{0};
  CBenchThread m_thread;
};

// The values of one figure, taken several times.
class CFigure {
 public:
  void Add(double value) { m_values.push_back(value); }
  bool Empty() const { return m_values.empty(); }
  // The median (0 when empty).
  double Median() const;
  double Lowest() const;
  double Highest() const;
  // The value added last (0 when empty).
  double Newest() const { return m_values.empty() ? 0 : m_values.back(); }
  // "median (lowest-highest)" with that printf precision.
  std::string Text(int decimals) const;

 private:
  std::vector<double> m_values;
};

// The CPU of the process and of the wineserver while something runs, in % of one core.
struct CpuShare {
  CFigure process;
  CFigure server;
};
// Adds to `cpu` what the process and the wineserver take over `seconds` of wall time after
// `start` ran (false: it did not start, and nothing is added).
bool MeasureCpuShare(CpuShare& cpu, double seconds, const std::function<bool()>& start);
void PrintCpuShare(const std::string& what, const CpuShare& cpu);

// The load average of the machine now: "1.23 4.56 7.89".
std::string LoadAverage();

// Prints a target line for scripts/bench.sh's table.
void PrintTarget(const std::string& what, const std::string& figure, const std::string& anchor,
                 const std::string& aim, bool met);

// printf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A positive number from the command line argument `index`, else `fallback`.
double ArgumentOr(int argc, char** argv, int index, double fallback);
