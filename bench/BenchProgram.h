#pragma once
// The real Sondrel.exe, started in a folder of the benchmark's own with the settings it
// writes, driven through its main window, and measured from outside through Linux's view
// of the Wine process (/proc): the CPU of every thread, Wine's own included, and its memory.
// Measuring from outside costs the program nothing.
#include <string>

#include "support/RunningProgram.h"

class CBenchProgram {
 public:
  CBenchProgram(const std::string& folder, const ProgramSettings& settings);

  // The window is there and the Linux process was found.
  bool Started() const { return m_program.Window() != nullptr && m_unixPid > 0; }
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

  // Records for `seconds` (Start, then Stop) and returns the CPU it took in % of one core;
  // `peak` gets the highest memory figures seen, looked at once a second.
  double Record(double seconds, Memory& peak);

  struct Latency {
    double toFirstAudio = -1;    // ms from the Start click to audio in the file; -1: none in 5 s
    double toCompleteFile = -1;  // ms the Stop click takes: the file is complete once it is handled
  };
  // Records about a second to `file` (the name the program will use), holding audio once it
  // is longer than `noAudioBytes` (a WAV file's header, an MP3 file's first, empty frame).
  Latency MeasureStartStop(const std::string& file, long long noAudioBytes);

 private:
  RunningProgram m_program;
  int m_unixPid = 0;
};

// Bytes an MP3 file holds before its first audio: its first, empty frame (417 or 418 bytes
// at 128 kbit/s and 44100 Hz, at most 1045 at any bit rate).
constexpr long long kMp3BytesBeforeAudio = 1045;

// Settings that have the program record 44100 Hz 16-bit stereo at full level from `device`
// and `line` into `folder` as 0001.wav or 0001.mp3 and on, MP3 at 128 kbit/s, quality 5.
ProgramSettings BenchProgramSettings(const std::string& folder, const char* device, const char* line, bool mp3);
