// What recording costs in real time, from the virtual capture device (44100 Hz 16-bit stereo,
// 100 ms buffers, paced by the graph clock), in the real Sondrel.exe measured from outside:
// - the CPU of the whole process, every thread, while it records WAV and MP3 (128 kbit/s);
//   beside it, measured in this process, the device recording to nothing (its own cost,
//   which is the fixture's and is taken out to give the program's part) and the encoder class
//   alone fed 100 ms every 100 ms (what the encoding itself costs in real time);
// - the memory a recording adds above the idle program;
// - the time from Start to the first audio in the file and from Stop to the complete file.
// The live capture source under Wine is measured by live_capture_bench. Prints figures and
// target lines; a benchmark never fails on them.
//   realtime_bench.exe [seconds per run, default 30] [repeats, default 3]
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "app/BundledFilters.h"
#include "bench/BenchGraphs.h"
#include "bench/BenchProgram.h"
#include "bench/BenchMeasures.h"
#include "bench/BenchSettings.h"
#include "filters/kit/MediaType.h"
#include "filters/mp3/Mp3Encoder.h"
#include "filters/wavdest/WaveHeader.h"
#include "tests/fixtures/capture/TestSignal.h"
#include "support/TempDir.h"

namespace {

constexpr long kBufferBytes = kBenchRate / 10 * kBenchBlockAlign;  // the recorder's 100 ms

// The encoder class alone, fed 100 ms of the device's tone every 100 ms by a thread that
// sleeps in between, as the capture thread feeds the encoder filter: what the class itself
// costs in real time, caches gone cold between buffers included.
class CEncoderInRealTime {
 public:
  bool Start() {
    TestDeviceState state{};
    ResetTestDevice(state, {L"Bench Capture", {{L"Line In", true, kBenchToneHz}}});
    m_signal.Prepare(state, MakePcmFormat(kBenchRate, 2, 16));
    Mp3Settings settings;
    settings.bitRate = Settings().GetUInt(Mp3ConstBitRate);
    settings.quality = Settings().GetUInt(Mp3EncQuality);
    if (!m_encoder.Start({2, kBenchRate, 16}, settings)) return false;
    m_thread.Start([this](const std::atomic<bool>& stopping) {
      std::vector<BYTE> pcm(kBufferBytes);
      std::vector<uint8_t> out;
      const ULONGLONG start = ::GetTickCount64();
      for (uint64_t buffer = 0; !stopping; ++buffer) {
        m_signal.Copy(pcm.data(), buffer * (kBufferBytes / kBenchBlockAlign), kBufferBytes / kBenchBlockAlign);
        out.clear();
        m_encoder.Encode(pcm.data(), pcm.size(), out);
        const ULONGLONG due = start + (buffer + 1) * 100;
        const ULONGLONG now = ::GetTickCount64();
        if (due > now) ::Sleep(DWORD(due - now));
      }
    });
    return true;
  }

 private:
  CTestSignal m_signal;
  CMp3Encoder m_encoder;
  CBenchThread m_thread;
};

}  // namespace

int main(int argc, char** argv) {
  const double seconds = ArgumentOr(argc, argv, 1, 30);
  const int repeats = int(ArgumentOr(argc, argv, 2, 3));
  ::CoInitialize(nullptr);
  {
    CTestCapture capture;
    InstallBenchDevice(capture, TestPacing::RealTime);
    CBundledFilters filters(BundledFiltersPath(), BundledFilterClasses());
    TempDir dir;
    LoadBenchSettings(dir);
    std::printf("real time from the virtual device, 44100 Hz 16-bit stereo, MP3 at 128 kbit/s; %.0f s a run, "
                "median of %d runs (lowest-highest); load %s\n",
                seconds, repeats, LoadAverage().c_str());

    // In this process: what is not the program's, and the encoding by itself.
    CpuShare idle, device, encoderClass;
    MeasureCpuShare(idle, std::min(seconds, 10.0), [] { return true; });
    for (int run = 0; run < repeats; ++run) {
      CBenchGraph graph;
      if (!MeasureCpuShare(device, seconds, [&] { return SUCCEEDED(graph.Start(BenchGraph::DeviceAlone, "")); })) {
        std::printf("could not start %s\n", Describe(BenchGraph::DeviceAlone));
      }
      graph.Stop();
      CEncoderInRealTime encoder;
      MeasureCpuShare(encoderClass, seconds, [&] { return encoder.Start(); });
    }
    std::printf("CPU of this process, every thread, in %% of one core; the wineserver beside it:\n");
    PrintCpuShare("idle, for comparison", idle);
    PrintCpuShare(Describe(BenchGraph::DeviceAlone), device);
    PrintCpuShare("the encoder class alone, 100 ms of audio every 100 ms", encoderClass);

    // The program, once for each format.
    struct Kind {
      const char* name;
      bool mp3;
      long long noAudioBytes;
      double aim;
    };
    const Kind kinds[] = {{"WAV", false, static_cast<long long>(kWaveHeaderSize), 0.3},
                          {"MP3", true, kMp3BytesBeforeAudio, 1.0}};
    for (const Kind& kind : kinds) {
      TempDir folder;
      CBenchProgram program(folder.path(), BenchProgramSettings(folder.path(), kBenchDevice, kBenchLine, kind.mp3));
      if (!program.Started()) {
        std::printf("the program did not start: %s\n", program.Program().BoxText().c_str());
        continue;
      }
      const char* extension = kind.mp3 ? ".mp3" : ".wav";
      ::Sleep(2000);  // settled after its start
      const CBenchProgram::Memory idleMemory = program.MemoryNow();
      const double idleCpu = program.CpuSeconds();
      ::Sleep(DWORD(std::min(seconds, 10.0) * 1000));
      const double idlePercent = 100 * (program.CpuSeconds() - idleCpu) / std::min(seconds, 10.0);
      CFigure cpu, server;
      CBenchProgram::Memory peak;
      for (int run = 0; run < repeats; ++run) {
        const double serverBefore = WineserverCpuSeconds();
        cpu.Add(program.Record(seconds, peak));
        server.Add(100 * (WineserverCpuSeconds() - serverBefore) / seconds);
      }
      CFigure first, complete;
      for (int i = 0; i < 5; ++i) {
        const std::string file = folder.File(Format("%04d", repeats + 1 + i) + extension);
        const CBenchProgram::Latency l = program.MeasureStartStop(file, kind.noAudioBytes);
        first.Add(l.toFirstAudio);
        complete.Add(l.toCompleteFile);
      }
      std::printf("Sondrel.exe recording %s (CPU of the whole process, every thread, %% of one core):\n", kind.name);
      std::printf("  %-62s %.3f %%\n", "idle, its window open", idlePercent);
      std::printf("  %-62s %s %%; wineserver %s %%\n", "recording", cpu.Text(3).c_str(), server.Text(3).c_str());
      std::printf("  %-62s %.1f MB resident, %.1f MB of it private\n", "memory idle", idleMemory.residentMb,
                  idleMemory.privateMb);
      std::printf("  %-62s %.1f MB resident, %.1f MB of it private\n", "memory recording, highest", peak.residentMb,
                  peak.privateMb);
      std::printf("  %-62s %s ms\n", "Start to the first audio written", first.Text(1).c_str());
      std::printf("  %-62s %s ms\n", "Stop to the complete file", complete.Text(1).c_str());

      const double whole = cpu.Median();
      const double own = whole - device.process.Median();
      std::string anchor = Format("whole process %.3f %%, the device alone %.3f %%, wineserver %.3f %%", whole,
                                  device.process.Median(), server.Median());
      if (kind.mp3) anchor += Format(", the encoder class alone in real time %.3f %%", encoderClass.process.Median());
      PrintTarget(Format("real-time %s recording from the virtual device, the program's part", kind.name),
                  Format("%.3f %% of one core", own), anchor, Format("under %.1f %%", kind.aim), own < kind.aim);
      const double added = peak.residentMb - idleMemory.residentMb;
      PrintTarget(Format("memory a %s recording adds above the idle program", kind.name),
                  Format("%.2f MB resident", added),
                  Format("idle %.1f MB; private memory %.2f MB above idle %.1f MB", idleMemory.residentMb,
                         peak.privateMb - idleMemory.privateMb, idleMemory.privateMb),
                  "under 10 MB", added < 10);
      PrintTarget(Format("%s: Start to the first audio in the file, virtual device", kind.name),
                  Format("%.0f ms", first.Median()), Format("5 recordings: %s ms", first.Text(0).c_str()),
                  "under 150 ms", first.Lowest() >= 0 && first.Median() < 150);
      PrintTarget(Format("%s: Stop to the complete file, virtual device", kind.name),
                  Format("%.0f ms", complete.Median()), Format("5 recordings: %s ms", complete.Text(0).c_str()),
                  "under 150 ms", complete.Lowest() >= 0 && complete.Median() < 150);
    }
    std::printf("load now %s\n", LoadAverage().c_str());
  }
  ::CoUninitialize();
  return 0;
}
