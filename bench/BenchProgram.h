#pragma once
// The real Sondrel.exe, started in a folder of the benchmark's own with the settings it
// writes, driven through its main window, and measured from outside through Linux's view
// of the Wine process (/proc): the CPU of every thread, Wine's own included, and its memory.
// Measuring from outside costs the program nothing.
#include <map>
#include <memory>
#include <string>

#include "support/RunningProgram.h"
#include "support/TempDir.h"

class CBenchProgram {
 public:
  CBenchProgram(const std::string& folder, const ProgramSettings& settings);

  // The window is there and the Linux process was found.
  bool Started() const { return m_program.Window() != nullptr && m_unixPid > 0; }
  // Why it did not start, for the benchmark's output.
  std::string Problem() const;
  RunningProgram& Program() { return m_program; }

  // CPU seconds of the process, every thread, so far.
  double CpuSeconds() const;
  // Resident memory, and the part of it that is the process's own (anonymous: heaps,
  // stacks, buffers; not the mapped files of programs and libraries), in MB.
  struct Memory {
    double residentMb = 0;
    double privateMb = 0;
  };
  Memory MemoryNow() const;

  // The CPU a recording took, in % of one core: the whole process, and the program's own
  // threads, told apart from Wine's by their names: its main (window) thread and the threads
  // Sondrel names ("Sondrel capture"; the virtual device's "Test capture").
  struct RecordingCpu {
    double whole = -1;
    double ownThreads = -1;
  };
  // Records for `seconds` (Start, then Stop); `peak` gets the highest memory figures seen,
  // looked at once a second.
  RecordingCpu Record(double seconds, Memory& peak);

  struct Latency {
    double toFirstAudio = -1;    // ms from the Start click to audio in the file; -1: none in 5 s
    double toCompleteFile = -1;  // ms the Stop click takes: the file is complete once it is handled
  };
  // Records about a second to `file` (the name the program will use), holding audio once it
  // is longer than `noAudioBytes` (a WAV file's header, an MP3 file's first, empty frame).
  Latency MeasureStartStop(const std::string& file, long long noAudioBytes);

 private:
  // CPU seconds of the program's own threads so far, by thread id (threads that ended are
  // not counted).
  std::map<int, double> OwnThreadSeconds() const;

  RunningProgram m_program;
  int m_unixPid = 0;
};

// The two formats the benchmarks record: the bytes a file holds before its first audio (a WAV
// file's header; an MP3 file's first, empty frame, 417 or 418 bytes at 128 kbit/s and 44100 Hz,
// at most 1045 at any bit rate), and the aim for the CPU of a real-time recording, in % of
// one core.
struct BenchFormat {
  const char* name;
  bool mp3;
  long long noAudioBytes;
  double cpuAim;
};
extern const BenchFormat kBenchFormats[2];

// Settings that have the program record 44100 Hz 16-bit stereo at full level from `device`
// and `line` into `folder` as 0001.wav or 0001.mp3 and on, MP3 at 128 kbit/s, quality 5.
ProgramSettings BenchProgramSettings(const std::string& folder, const char* device, const char* line, bool mp3);

// The program once for each of kBenchFormats, each in a folder of its own with settings for
// that format, all started at once and left idle until a benchmark drives them.
class CBenchPrograms {
 public:
  // False, with the reason printed, when one did not start.
  bool Start(const char* device, const char* line);
  CBenchProgram& operator[](int format) { return *m_programs[format]; }
  // The file of the program's recording number `number` (1 for its first).
  std::string File(int format, int number) const;

 private:
  TempDir m_folders[2];
  std::unique_ptr<CBenchProgram> m_programs[2];
};

