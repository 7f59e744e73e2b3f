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

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/BundledFilters.h"
#include "bench/BenchEncoder.h"
#include "bench/BenchGraphs.h"
#include "bench/BenchProgram.h"
#include "bench/BenchMeasures.h"
#include "bench/BenchSettings.h"
#include "support/TempDir.h"

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

    // Both programs start first and wait, idle; then each run measures, one after the other
    // under much the same load, the device alone and the encoder class alone in this process
    // and a recording of each program.
    const BenchFormat* kinds = kBenchFormats;
    CBenchPrograms programs;
    if (!programs.Start(kBenchDevice, kBenchLine)) return 1;
    ::Sleep(2000);  // settled after their start
    CBenchProgram::Memory idleMemory[2], peak[2];
    double idleCpu[2];
    for (int k = 0; k < 2; ++k) {
      idleMemory[k] = programs[k].MemoryNow();
      idleCpu[k] = programs[k].CpuSeconds();
    }
    CpuShare idle;
    MeasureCpuShare(idle, std::min(seconds, 10.0), [] { return true; });
    for (int k = 0; k < 2; ++k) idleCpu[k] = 100 * (programs[k].CpuSeconds() - idleCpu[k]) / std::min(seconds, 10.0);

    CpuShare device, encoderClass;
    CFigure whole[2], server[2], own[2];
    for (int run = 0; run < repeats; ++run) {
      CBenchGraph graph;
      if (!MeasureCpuShare(device, seconds, [&] { return SUCCEEDED(graph.Start(BenchGraph::DeviceAlone, "")); })) {
        std::printf("could not start %s\n", Describe(BenchGraph::DeviceAlone));
        return 1;
      }
      graph.Stop();
      {
        CEncoderInRealTime encoder;
        MeasureCpuShare(encoderClass, seconds, [&] { return encoder.Start(); });
      }
      for (int k = 0; k < 2; ++k) {
        const double serverBefore = WineserverCpuSeconds();
        const double cpu = programs[k].Record(seconds, peak[k]).whole;
        whole[k].Add(cpu);
        server[k].Add(100 * (WineserverCpuSeconds() - serverBefore) / seconds);
        own[k].Add(cpu - device.process.Newest());
      }
    }
    std::printf("CPU in %% of one core, every thread; the wineserver beside it:\n");
    PrintCpuShare("this process idle, for comparison", idle);
    PrintCpuShare(Format("this process: %s", Describe(BenchGraph::DeviceAlone)), device);
    PrintCpuShare("this process: the encoder class alone, 100 ms of audio every 100 ms", encoderClass);
    for (int k = 0; k < 2; ++k) {
      std::printf("  %-62s %.3f %%\n", Format("Sondrel.exe idle, its window open (%s settings)", kinds[k].name).c_str(),
                  idleCpu[k]);
      std::printf("  %-62s %s %%; wineserver %s %%\n", Format("Sondrel.exe recording %s", kinds[k].name).c_str(),
                  whole[k].Text(3).c_str(), server[k].Text(3).c_str());
    }

    for (int k = 0; k < 2; ++k) {
      const BenchFormat& kind = kinds[k];
      std::string anchor = Format("whole process %s %%, the device alone %s %%, wineserver %.3f %%",
                                  whole[k].Text(3).c_str(), device.process.Text(3).c_str(), server[k].Median());
      if (kind.mp3) {
        anchor += Format("; the encoder class alone in real time %s %%", encoderClass.process.Text(3).c_str());
      }
      PrintTarget(Format("real-time %s recording from the virtual device, the program's part", kind.name),
                  Format("%s %% of one core", own[k].Text(3).c_str()), anchor, Format("under %.1f %%", kind.cpuAim),
                  own[k].Median() < kind.cpuAim);
      const double added = peak[k].residentMb - idleMemory[k].residentMb;
      PrintTarget(Format("memory a %s recording adds above the idle program", kind.name),
                  Format("%.2f MB resident", added),
                  Format("idle %.1f MB; private memory %.2f MB above idle %.1f MB", idleMemory[k].residentMb,
                         peak[k].privateMb - idleMemory[k].privateMb, idleMemory[k].privateMb),
                  "under 10 MB", added < 10);
    }

    std::printf("Start to the first audio in the file, Stop to the complete file (ms, 5 recordings each):\n");
    for (int k = 0; k < 2; ++k) {
      const BenchFormat& kind = kinds[k];
      CFigure first, complete;
      for (int i = 0; i < 5; ++i) {
        const std::string file = programs.File(k, repeats + 1 + i);
        const CBenchProgram::Latency l = programs[k].MeasureStartStop(file, kind.noAudioBytes);
        first.Add(l.toFirstAudio);
        complete.Add(l.toCompleteFile);
      }
      std::printf("  %-62s %s ms\n", Format("%s: Start to the first audio written", kind.name).c_str(),
                  first.Text(1).c_str());
      std::printf("  %-62s %s ms\n", Format("%s: Stop to the complete file", kind.name).c_str(),
                  complete.Text(1).c_str());
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
