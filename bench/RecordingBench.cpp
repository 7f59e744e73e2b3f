// Speed and memory of an MP3 recording: ten minutes of 44100 Hz 16-bit stereo from the
// virtual capture device, as fast as the graph takes it, recorded by the program's own
// recorder (capture -> Lame MP3 -> Wave Dest -> File Writer, 128 kbit/s, quality 5), and
// the same PCM (recorded to WAV first) encoded by the host's native lame with the same
// settings. For the share of each part it also times the WAV recording (the graph without
// the encoder) and the encoder class alone on the same PCM. Prints figures; a benchmark
// never fails on them.
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/BundledFilters.h"
#include "app/SettingsStore.h"
#include "bench/BenchSettings.h"
#include "filters/mp3/Mp3Encoder.h"
#include "recorder/Recorder.h"
#include "support/LinuxCommand.h"
#include "support/TempDir.h"
#include "tests/fixtures/capture/TestCapture.h"

namespace {

constexpr unsigned kRate = 44100;
constexpr double kSeconds = 600;
constexpr uint64_t kFrames = uint64_t(kSeconds * kRate);
constexpr DWORD kTimeoutMs = 15 * 60 * 1000;

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7; };
  return seconds(kernel) + seconds(user);
}

// The process's working set (Wine reports no private bytes).
size_t WorkingSet() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
  return counters.WorkingSetSize;
}

// Samples the working set until stopped and keeps the highest figure.
class CMemoryPeak {
 public:
  CMemoryPeak() : m_thread([this] {
      while (!m_stop) {
        Sample();
        ::Sleep(10);
      }
    }) {}
  ~CMemoryPeak() { Stop(); }
  size_t Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    Sample();
    return m_highest;
  }

 private:
  void Sample() { m_highest = std::max<size_t>(m_highest, WorkingSet()); }

  std::atomic<bool> m_stop{false};
  std::atomic<size_t> m_highest{0};
  std::thread m_thread;
};

// Records kFrames from the bench device to `path`; false when it does not complete.
bool Record(CTestCapture& capture, unsigned format, const std::string& path) {
  CRecorder recorder;
  recorder.SetOutputFile(path);
  recorder.SetDevice("Bench Capture");
  recorder.SetInputLine("Line In");
  recorder.m_sampleRate = kRate;
  recorder.m_channels = 2;
  recorder.m_bytesPerSample = 2;
  recorder.m_level = 1.0;
  HRESULT hr = recorder.Start(format, nullptr);
  if (FAILED(hr)) {
    std::printf("could not start recording: 0x%08lx\n", static_cast<unsigned long>(hr));
    return false;
  }
  bool complete = capture.WaitForFrames(0, kFrames, kTimeoutMs);
  recorder.Stop();
  return complete;
}

// The CPU seconds CMp3Encoder takes for the samples of the WAV file (after its header).
double EncoderClassSeconds(const std::string& wav) {
  const std::string file = ReadWholeFile(wav);
  const size_t header = 80, block = kRate / 10 * 4;
  CMp3Encoder encoder;
  Mp3Settings settings;
  settings.bitRate = 128;
  settings.quality = 5;
  std::vector<uint8_t> out;
  const double before = ProcessCpuSeconds();
  encoder.Start({2, kRate, 16}, settings);
  const auto* pcm = reinterpret_cast<const uint8_t*>(file.data());
  for (size_t at = header; at < file.size(); at += block) {
    out.clear();
    encoder.Encode(pcm + at, std::min(block, file.size() - at), out);
  }
  encoder.Flush(out);
  return ProcessCpuSeconds() - before;
}

// "XmY.YYYs" as printed by the shell's `times`.
double ShellSeconds(const std::string& text) {
  size_t m = text.find('m');
  return m == std::string::npos ? 0.0 : std::atof(text.c_str()) * 60 + std::atof(text.c_str() + m + 1);
}

// The CPU seconds native lame takes for the WAV file; negative on failure.
double NativeLameSeconds(const std::string& wav, const std::string& mp3) {
  const std::string command = "lame --quiet --noreplaygain --cbr -b 128 -q 5 -m j " + ShellQuote(UnixPath(wav)) + " " +
                              ShellQuote(UnixPath(mp3)) + " && times";
  LinuxCommandResult result = RunLinuxCommand("bash -c " + ShellQuote(command), kTimeoutMs);
  if (!result.finished || result.exitCode != 0) {
    std::printf("native lame failed: %s\n", result.output.c_str());
    return -1;
  }
  // The second line of `times` holds the children's user and system time.
  size_t line = result.output.find('\n');
  if (line == std::string::npos) return -1;
  std::string children = result.output.substr(line + 1);
  size_t space = children.find(' ');
  if (space == std::string::npos) return -1;
  return ShellSeconds(children.substr(0, space)) + ShellSeconds(children.substr(space + 1));
}

}  // namespace

int main() {
  ::CoInitialize(nullptr);
  int result = 1;
  {
    CTestCapture capture;
    capture.InstallDevices({{L"Bench Capture", {{L"Line In", true, 1000}}}});
    capture.SetPacing(0, TestPacing::Fast);
    capture.SetFrameLimit(0, kFrames);
    CBundledFilters filters(BundledFiltersPath(), BundledFilterClasses());
    TempDir dir;
    LoadBenchSettings(dir);

    std::printf("%.0f s of 44100 Hz 16-bit stereo, 128 kbit/s, quality 5; CPU seconds and audio seconds per CPU second\n",
                kSeconds);
    const double wavBefore = ProcessCpuSeconds();
    const bool wavRecorded = Record(capture, 1, dir.File("bench.wav"));
    const double wavCpu = ProcessCpuSeconds() - wavBefore;

    const size_t baseline = WorkingSet();
    const double mp3Before = ProcessCpuSeconds();
    CMemoryPeak peak;
    const bool mp3Recorded = Record(capture, kFormatMp3, dir.File("bench.mp3"));
    const size_t highest = peak.Stop();
    const double graphCpu = ProcessCpuSeconds() - mp3Before;

    const double lameCpu = wavRecorded ? NativeLameSeconds(dir.File("bench.wav"), dir.File("native.mp3")) : -1;
    const double classCpu = wavRecorded ? EncoderClassSeconds(dir.File("bench.wav")) : -1;
    if (wavRecorded && mp3Recorded && lameCpu > 0 && graphCpu > 0) {
      auto line = [](const char* what, double cpu) {
        std::printf("  %-58s %6.2f s  %6.1f\n", what, cpu, kSeconds / cpu);
      };
      line("MP3 graph: capture -> Lame MP3 -> Wave Dest -> File Writer", graphCpu);
      line("native lame 3.100 --noreplaygain --cbr -b 128 -q 5 -m j", lameCpu);
      line("for comparison, WAV graph: capture -> Wave Dest -> File Writer", wavCpu);
      line("for comparison, the encoder class alone (libmp3lame, mingw)", classCpu);
      std::printf("speed of the MP3 graph / native lame: %.2f (aim: at least 0.80)\n", lameCpu / graphCpu);
      std::printf("working set added by the MP3 graph: %.2f MB above %.2f MB before it was built (aim: under 10 MB)\n",
                  (double(highest) - double(baseline)) / 1048576, double(baseline) / 1048576);
      std::printf("files: %zu bytes of MP3 from the graph, %zu from native lame\n",
                  ReadWholeFile(dir.File("bench.mp3")).size(), ReadWholeFile(dir.File("native.mp3")).size());
      result = 0;
    } else {
      std::printf("a recording or native lame did not complete\n");
    }
  }
  ::CoUninitialize();
  return result;
}
