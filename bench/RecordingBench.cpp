// Where a recording's CPU goes, as fast as the graphs take audio: ten minutes (or the
// seconds given) of 44100 Hz 16-bit stereo from the virtual capture device, through
// - the device alone (capture to nothing), whose cost is the fixture's, not the program's;
// - the device with the WAV writer, and with the encoder, each to nothing;
// - the program's WAV and MP3 graphs (CRecorder: 128 kbit/s, quality 5);
// and, on the same PCM, the anchors: the encoder class alone, the host's native lame with the
// same settings (--noreplaygain: the class does no ReplayGain analysis either) and a copy by
// sox. The parts are differences of these runs; each run is repeated (median and range).
// Single operations of the File Writer and the allocators are timed by themselves, and their
// cost in a real-time recording is worked out from how often a recording makes them.
// Prints figures and target lines; a benchmark never fails on them.
//   recording_bench.exe [audio seconds, default 600] [repeats, default 3]
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/BundledFilters.h"
#include "bench/BenchFilters.h"
#include "bench/BenchGraphs.h"
#include "bench/BenchMeasures.h"
#include "bench/BenchSettings.h"
#include "filters/kit/ComObject.h"
#include "filters/mp3/Mp3Encoder.h"
#include "filters/wavdest/WaveHeader.h"
#include "recorder/CaptureDevices.h"
#include "support/LinuxCommand.h"
#include "support/TempDir.h"

namespace {

constexpr DWORD kTimeoutMs = 15 * 60 * 1000;
constexpr long kBufferBytes = kBenchRate / 10 * kBenchBlockAlign;  // the recorder's 100 ms

// CPU seconds of recording `frames` through the graph, to `path`; -1 when it did not
// complete.
double TimeGraph(CTestCapture& capture, BenchGraph which, const std::string& path, uint64_t frames) {
  const double before = ProcessCpuSeconds();
  CBenchGraph graph;
  const HRESULT hr = graph.Start(which, path);
  if (FAILED(hr)) {
    std::printf("could not start %s: 0x%08lx\n", Describe(which), static_cast<unsigned long>(hr));
    return -1;
  }
  // Looks seldom: each look costs this process a little.
  const bool complete = capture.WaitForFrames(0, frames, kTimeoutMs, 100);
  graph.Stop();
  return complete ? ProcessCpuSeconds() - before : -1;
}

// The CPU seconds CMp3Encoder takes for the samples of the WAV file, in the recorder's
// 100 ms blocks, from memory.
double TimeEncoderClass(const std::string& wav) {
  const std::string file = ReadWholeFile(wav);
  if (file.size() <= kWaveHeaderSize) return -1;
  Mp3Settings settings;
  settings.bitRate = 128;
  settings.quality = 5;
  CMp3Encoder encoder;
  std::vector<uint8_t> out;
  const double before = ProcessCpuSeconds();
  encoder.Start({2, kBenchRate, 16}, settings);
  const auto* pcm = reinterpret_cast<const uint8_t*>(file.data());
  for (size_t at = kWaveHeaderSize; at < file.size(); at += kBufferBytes) {
    out.clear();
    encoder.Encode(pcm + at, std::min<size_t>(kBufferBytes, file.size() - at), out);
  }
  encoder.Flush(out);
  return ProcessCpuSeconds() - before;
}

// Microseconds of CPU per call of `step`, over `count` calls.
double MicrosecondsEach(int count, const std::function<void(int)>& step) {
  const double before = ProcessCpuSeconds();
  for (int i = 0; i < count; ++i) step(i);
  return (ProcessCpuSeconds() - before) * 1e6 / count;
}

// Microseconds of CPU for taking a sample from the platform's memory allocator and giving it
// back, which the filters used before the kit had its own; -1 when it cannot be had.
double PlatformAllocatorRoundTrip() {
  CComPtr<IMemAllocator> allocator;
  ALLOCATOR_PROPERTIES request{4, 64 * 1024, 1, 0}, actual{};
  if (FAILED(::CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                allocator.PutVoid())) ||
      FAILED(allocator->SetProperties(&request, &actual)) || FAILED(allocator->Commit())) {
    return -1;
  }
  const double each = MicrosecondsEach(20000, [&](int) {
    CComPtr<IMediaSample> sample;
    allocator->GetBuffer(sample.Put(), nullptr, nullptr, 0);
  });
  allocator->Decommit();
  return each;
}

// Single operations of a recording's path to the file, each by itself: a File Writer fed by a
// source of the bench's own, as the WAV writer feeds it.
void TimeSingleOperations(const TempDir& dir) {
  const std::string path = dir.File("operations.bin");
  const std::wstring widePath(path.begin(), path.end());
  CComPtr<IGraphBuilder> graph;
  CComPtr<IBaseFilter> fileWriter;
  CComPtr<IMediaControl> control;
  CComPtr<CStreamSource> source = MakeComObject<CStreamSource>(64 * 1024, 4);
  CComPtr<IPin> output;
  CComPtr<IPin> input;
  CComPtr<IFileSinkFilter> sink;
  const bool running =
      SUCCEEDED(::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IID_IGraphBuilder, graph.PutVoid())) &&
      SUCCEEDED(::CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_ALL, IID_IBaseFilter, fileWriter.PutVoid())) &&
      SUCCEEDED(fileWriter.As(sink)) && SUCCEEDED(sink->SetFileName(widePath.c_str(), nullptr)) &&
      SUCCEEDED(graph->AddFilter(source.Get(), L"Source")) &&
      SUCCEEDED(graph->AddFilter(fileWriter.Get(), L"File Writer")) &&
      SUCCEEDED(FindPin(source.Get(), PINDIR_OUTPUT, output)) &&
      SUCCEEDED(FindPin(fileWriter.Get(), PINDIR_INPUT, input)) &&
      SUCCEEDED(graph->Connect(output.Get(), input.Get())) && SUCCEEDED(graph.As(control)) &&
      SUCCEEDED(control->Run());
  if (!running) {
    std::printf("(single operations not timed: the File Writer did not run)\n");
    return;
  }
  const HANDLE file = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  const double appendEach =
      MicrosecondsEach(2000, [&](int i) { source->Push(uint64_t(i) * kBufferBytes, kBufferBytes); });
  const double headerEach = MicrosecondsEach(20000, [&](int) { source->Push(0, long(kWaveHeaderSize)); });
  const double roundTripEach = MicrosecondsEach(20000, [&](int) { source->Push(0, 0, false); });
  LARGE_INTEGER size{};
  const double sizeEach = MicrosecondsEach(20000, [&](int) { ::GetFileSizeEx(file, &size); });
  ::CloseHandle(file);
  control->Stop();

  // Per second of a real-time recording, the WAV graph makes 10 buffers of the device, each
  // delivered to the writer and written with its header: 10 data writes, 10 header writes,
  // 20 size checks, 30 allocator round trips. The MP3 graph makes 10 writes of encoded data
  // and one of the tag frame, 11 size checks and 31 round trips.
  std::printf("single operations, CPU each and per second of a real-time WAV recording (10 buffers a second):\n");
  auto line = [](const char* what, double each, int perSecond) {
    std::printf("  %-60s %7.1f us  x %2d/s = %6.3f %% of one core\n", what, each, perSecond, each * perSecond / 1e4);
  };
  line("File Writer: write 17640 bytes (100 ms of audio), appended", appendEach, 10);
  line("File Writer: rewrite the 80-byte header at offset 0", headerEach, 10);
  line("written-file check (GetFileSizeEx) after a write", sizeEach, 20);
  line("allocator round trip (GetBuffer and Release), the kit's", roundTripEach, 30);
  line("the same with the platform's allocator, as the filters had it", PlatformAllocatorRoundTrip(), 30);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = ArgumentOr(argc, argv, 1, 600);
  const int repeats = int(ArgumentOr(argc, argv, 2, 3));
  const uint64_t frames = uint64_t(seconds * kBenchRate);
  ::CoInitialize(nullptr);
  int result = 1;
  {
    CTestCapture capture;
    InstallBenchDevice(capture, TestPacing::Fast);
    capture.SetFrameLimit(0, frames);
    CBundledFilters filters(BundledFiltersPath(), BundledFilterClasses());
    TempDir dir;
    LoadBenchSettings(dir);
    const std::string wav = dir.File("bench.wav");
    const std::string mp3 = dir.File("bench.mp3");
    const std::string load = LoadAverage();
    std::printf("%.0f s of 44100 Hz 16-bit stereo (a %u Hz tone) as fast as the graphs take it, 128 kbit/s CBR, "
                "quality 5; CPU seconds, median of %d runs (lowest-highest); load %s\n",
                seconds, kBenchToneHz, repeats, load.c_str());

    const BenchGraph graphs[] = {BenchGraph::DeviceAlone, BenchGraph::WaveDestToNothing, BenchGraph::Wav,
                                 BenchGraph::EncoderToNothing, BenchGraph::Mp3};
    enum { kDevice, kWaveDest, kWav, kEncoder, kMp3 };
    CFigure cpu[5];
    CFigure classCpu, lameCpu, soxCpu;
    // Each run's ratios of figures taken one after the other, under much the same load.
    CFigure toClass, toLame, toSox;
    enum { kWaveDestPart, kFileWriterPart, kAroundClassPart, kMp3WritingPart };
    CFigure parts[4];
    size_t baseline = 0, highest = 0;
    bool complete = true;
    for (int run = 0; run < repeats && complete; ++run) {
      double now[5] = {};
      for (int g = 0; g < 5 && complete; ++g) {
        if (g == kMp3) baseline = WorkingSet();
        CMemoryPeak peak;
        now[g] = TimeGraph(capture, graphs[g], g == kMp3 ? mp3 : wav, frames);
        const size_t top = peak.Stop();
        if (g == kMp3) highest = std::max(highest, top);
        complete = now[g] >= 0;
        cpu[g].Add(now[g]);
      }
      if (!complete) break;
      const std::string from = ShellQuote(UnixPath(wav));
      const std::string lameCommand = "lame --quiet --noreplaygain --cbr -b 128 -q 5 -m j " + from + " " +
                                      ShellQuote(UnixPath(dir.File("native.mp3")));
      const std::string soxCommand = "sox " + from + " " + ShellQuote(UnixPath(dir.File("copy.wav")));
      const double encoderClass = TimeEncoderClass(wav);
      const double lame = LinuxCommandCpuSeconds(lameCommand, kTimeoutMs);
      const double sox = LinuxCommandCpuSeconds(soxCommand, kTimeoutMs);
      ::DeleteFileA(dir.File("copy.wav").c_str());
      complete = encoderClass > 0 && lame > 0 && sox > 0;
      classCpu.Add(encoderClass);
      lameCpu.Add(lame);
      soxCpu.Add(sox);
      toClass.Add((now[kMp3] - now[kDevice]) / encoderClass);
      toLame.Add(lame / (now[kMp3] - now[kDevice]));
      toSox.Add((now[kWav] - now[kDevice]) / sox);
      parts[kWaveDestPart].Add(now[kWaveDest] - now[kDevice]);
      parts[kFileWriterPart].Add(now[kWav] - now[kWaveDest]);
      parts[kAroundClassPart].Add(now[kEncoder] - now[kDevice] - encoderClass);
      parts[kMp3WritingPart].Add(now[kMp3] - now[kEncoder]);
    }
    if (!complete) {
      std::printf("a recording or an anchor did not complete\n");
    } else {
      auto line = [&](const std::string& what, const CFigure& figure) {
        std::printf("  %-62s %s s\n", what.c_str(), figure.Text(2).c_str());
      };
      for (int g = 0; g < 5; ++g) line(Describe(graphs[g]), cpu[g]);
      line("anchor: the encoder class alone (libmp3lame, mingw, under Wine)", classCpu);
      line("anchor: native lame 3.100 --noreplaygain --cbr -b 128 -q 5 -m j", lameCpu);
      line("anchor: sox copy of the WAV file", soxCpu);

      const double device = cpu[kDevice].Median();
      const double buffers = seconds * 10;
      std::printf("where the time goes (each the median of the runs' differences; per 100 ms buffer):\n");
      auto part = [&](const char* what, double cpu) {
        std::printf("  %-62s %6.2f s  %7.1f us\n", what, cpu, cpu * 1e6 / buffers);
      };
      part("the virtual device: copying its signal, delivering, pacing", device);
      part("Wave Dest: copies to the File Writer's buffers, header rewrites", parts[kWaveDestPart].Median());
      part("File Writer: the writes, and the written-file check", parts[kFileWriterPart].Median());
      part("Lame MP3 around the encoder class: samples in, frames out, tag", parts[kAroundClassPart].Median());
      part("the encoder class (libmp3lame)", classCpu.Median());
      part("Wave Dest and File Writer for the MP3 frames", parts[kMp3WritingPart].Median());
      TimeSingleOperations(dir);
      std::printf("working set an MP3 recording adds: %.2f MB above %.2f MB (the real program: realtime_bench)\n",
                  (double(highest) - double(baseline)) / 1048576, double(baseline) / 1048576);

      PrintTarget("MP3 graph CPU / the encoder class alone, same PCM", toClass.Text(3),
                  Format("graph %.2f s without the device (%.2f s with it), class %.2f s; %.0f s of audio; ratios "
                         "of %d runs",
                         cpu[kMp3].Median() - device, cpu[kMp3].Median(), classCpu.Median(), seconds, repeats),
                  "at most 1.10", toClass.Median() <= 1.10);
      PrintTarget("MP3 graph speed / native lame --noreplaygain, same PCM and settings", toLame.Text(2),
                  Format("lame %.2f s, graph %.2f s without the device (%.2f s with it)", lameCpu.Median(),
                         cpu[kMp3].Median() - device, cpu[kMp3].Median()),
                  "1.0 or better", toLame.Median() >= 1.0);
      PrintTarget("WAV graph CPU / a sox copy of the same PCM", toSox.Text(2),
                  Format("graph %.2f s without the device (%.2f s with it), sox %.2f s", cpu[kWav].Median() - device,
                         cpu[kWav].Median(), soxCpu.Median()),
                  "at most 3", toSox.Median() <= 3.0);
      std::printf("files: %zu bytes of MP3 from the graph, %zu from native lame; load now %s\n",
                  ReadWholeFile(mp3).size(), ReadWholeFile(dir.File("native.mp3")).size(), LoadAverage().c_str());
      result = 0;
    }
  }
  ::CoUninitialize();
  return result;
}
