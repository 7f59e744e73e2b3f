// Live recording under Wine from the sound server through Sondrel's capture source
// ("Sondrel Audio Capture" over waveIn), by the program's own recorder and filters:
// - the CPU of the whole process, every thread of it (Wine's audio threads included), while
//   recording MP3 at 128 kbit/s and WAV, 44100 Hz stereo, in real time; beside it what
//   Wine's capture costs by itself (waveIn alone, no graph), which is taken out to give the
//   program's part, and the wineserver's share;
// - the time from pressing Start to the first audio in the file, and from Stop to the
//   complete file, for WAV and MP3; beside it how long waveIn alone takes from its start to
//   its first filled 100 ms buffer, Wine's part of the first.
// Needs a PulseAudio daemon with a null sink "nullsink" (scripts/bench.sh starts one); a tone
// plays into it throughout. Prints figures and target lines; a benchmark never fails on them.
//   live_capture_bench.exe [seconds of each CPU run, default 60] [repeats, default 3]
#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/BundledFilters.h"
#include "bench/BenchProgram.h"
#include "bench/BenchEncoder.h"
#include "bench/BenchMeasures.h"
#include "bench/BenchSettings.h"
#include "filters/kit/ComPtr.h"
#include "filters/kit/MediaType.h"
#include "filters/wavein/WaveInDevice.h"
#include "support/LiveAudio.h"
#include "support/TempDir.h"

// After the DirectShow headers: they and these declare some of the same types, guarded only
// in this order.
#include <audioclient.h>
#include <mmdeviceapi.h>

namespace {

UINT MonitorWaveInId() {
  for (UINT i = 0; i < ::waveInGetNumDevs(); ++i) {
    WAVEINCAPSA caps{};
    if (::waveInGetDevCapsA(i, &caps, sizeof caps) == MMSYSERR_NOERROR &&
        std::strcmp(caps.szPname, kMonitorDevice) == 0) {
      return i;
    }
  }
  return 0;
}

// Captures from the monitor device with waveIn alone (six 100 ms buffers, handed back as they
// come, as the capture source does), no graph: what Wine's audio path costs by itself.
class CWaveInAlone {
 public:
  bool Start() {
    const WAVEFORMATEX format = MakePcmFormat(44100, 2, 16);
    m_opened = std::chrono::steady_clock::now();
    if (m_device.Open(MonitorWaveInId(), format, 6, format.nAvgBytesPerSec / 10) != MMSYSERR_NOERROR) return false;
    m_device.Start();
    m_worker.Start([this](const std::atomic<bool>& stopping) {
      size_t next = 0;
      while (!stopping) {
        ::WaitForSingleObject(m_device.Event(), 100);
        for (; m_device.IsDone(next); next = (next + 1) % m_device.Count()) {
          if (m_firstBufferMs < 0) {
            const auto waited = std::chrono::steady_clock::now() - m_opened;
            m_firstBufferMs = std::chrono::duration<double, std::milli>(waited).count();
          }
          m_device.Requeue(next);
        }
      }
    });
    return true;
  }
  // Milliseconds from opening the device to its first filled buffer; -1 before one came.
  double FirstBufferMs() const { return m_firstBufferMs; }

 private:
  CWaveInDevice m_device;
  std::chrono::steady_clock::time_point m_opened;
  std::atomic<double> m_firstBufferMs{-1};
  CBenchThread m_worker;
};

// Captures from the default capture endpoint with the core audio interfaces alone
// (IAudioClient, shared mode, woken by its event, a 100 ms buffer), no graph: the other way
// a capture source could go.
class CCoreAudioAlone {
 public:
  bool Start() {
    m_event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (FAILED(::CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                  m_devices.PutVoid())) ||
        FAILED(m_devices->GetDefaultAudioEndpoint(eCapture, eConsole, m_device.Put())) ||
        FAILED(m_device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, m_client.PutVoid())) ||
        FAILED(m_client->GetMixFormat(&m_mix)) ||
        FAILED(m_client->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_EVENTCALLBACK, 1000000, 0, m_mix,
                                    nullptr)) ||
        FAILED(m_client->SetEventHandle(m_event)) ||
        FAILED(m_client->GetService(__uuidof(IAudioCaptureClient), m_capture.PutVoid())) || FAILED(m_client->Start())) {
      return false;
    }
    m_worker.Start([this](const std::atomic<bool>& stopping) {
      while (!stopping) {
        ::WaitForSingleObject(m_event, 200);
        BYTE* data = nullptr;
        UINT32 frames = 0;
        DWORD flags = 0;
        while (m_capture->GetBuffer(&data, &frames, &flags, nullptr, nullptr) == S_OK) m_capture->ReleaseBuffer(frames);
      }
    });
    return true;
  }
  ~CCoreAudioAlone() {
    m_worker.Stop();
    if (m_client) m_client->Stop();
    ::CoTaskMemFree(m_mix);
    if (m_event) ::CloseHandle(m_event);
  }

 private:
  CComPtr<IMMDeviceEnumerator> m_devices;
  CComPtr<IMMDevice> m_device;
  CComPtr<IAudioClient> m_client;
  CComPtr<IAudioCaptureClient> m_capture;
  HANDLE m_event = nullptr;
  WAVEFORMATEX* m_mix = nullptr;
  CBenchThread m_worker;
};

}  // namespace

int main(int argc, char** argv) {
  const double seconds = ArgumentOr(argc, argv, 1, 60);
  const int repeats = int(ArgumentOr(argc, argv, 2, 3));
  ::CoInitialize(nullptr);
  {
    CBundledFilters filters(BundledFiltersPath(), BundledFilterClasses());
    TempDir dir;
    LoadBenchSettings(dir);
    const double aloneSeconds = std::min(seconds, 20.0);
    const double toneSeconds = (seconds * 2 + aloneSeconds * 3) * repeats + 120;
    if (!PlayTone(dir.path(), 1000, toneSeconds, 0.5, false)) std::printf("(no tone: paplay failed)\n");
    std::printf("live from \"%s\" through Sondrel's waveIn capture source, 44100 Hz 16-bit stereo, MP3 at "
                "128 kbit/s; load %s\n",
                kMonitorDevice, LoadAverage().c_str());

    // Start and Stop, five times each for WAV and MP3, after Wine's own first buffer.
    CFigure waveInFirst;
    for (int i = 0; i < 5; ++i) {
      CWaveInAlone alone;
      if (alone.Start()) {
        for (int wait = 0; wait < 500 && alone.FirstBufferMs() < 0; ++wait) ::Sleep(10);
      }
      waveInFirst.Add(alone.FirstBufferMs());
    }
    std::printf("Start to the first audio in the file, Stop to the complete file (ms, 5 recordings each):\n");
    std::printf("  %-48s %s ms\n", "waveIn alone: open to its first 100 ms buffer", waveInFirst.Text(1).c_str());
    const BenchFormat* kinds = kBenchFormats;
    // Both programs start first and wait, idle. Start and Stop five times with each; then
    // each run measures, one after the other under much the same load, Wine's capture alone in
    // this process and a recording of each program.
    CBenchPrograms programs;
    if (!programs.Start(kMonitorDevice, kCaptureLine)) return 1;
    CFigure first[2], complete[2];
    for (int k = 0; k < 2; ++k) {
      for (int i = 0; i < 5; ++i) {
        const std::string file = programs.File(k, i + 1);
        const CBenchProgram::Latency l = programs[k].MeasureStartStop(file, kinds[k].noAudioBytes);
        first[k].Add(l.toFirstAudio);
        complete[k].Add(l.toCompleteFile);
      }
      std::printf("  %-48s %s ms\n", Format("%s: Start to the first audio written", kinds[k].name).c_str(),
                  first[k].Text(1).c_str());
      std::printf("  %-48s %s ms\n", Format("%s: Stop to the complete file", kinds[k].name).c_str(),
                  complete[k].Text(1).c_str());
    }

    CpuShare waveIn, coreAudio;
    CFigure encoderBesideWine;
    CFigure recording[2], threads[2], lessWaveIn[2];
    CBenchProgram::Memory peak;
    for (int run = 0; run < repeats; ++run) {
      {
        CWaveInAlone waveInAlone;
        if (!MeasureCpuShare(waveIn, aloneSeconds, [&] { return waveInAlone.Start(); })) {
          std::printf("waveIn did not start\n");
          return 1;
        }
      }
      {
        // The encoding by itself beside Wine's capture, whose threads cool the caches.
        CWaveInAlone waveInAlone;
        CEncoderInRealTime encoder;
        const ULONGLONG start = ::GetTickCount64();
        if (waveInAlone.Start() && encoder.Start()) {
          ::Sleep(DWORD(aloneSeconds * 1000));
          const double wall = double(::GetTickCount64() - start) / 1000;
          encoderBesideWine.Add(100 * encoder.Stop() / wall);
        }
      }
      {
        CCoreAudioAlone coreAudioAlone;
        if (!MeasureCpuShare(coreAudio, aloneSeconds, [&] { return coreAudioAlone.Start(); })) {
          std::printf("(core audio capture did not start)\n");
        }
      }
      for (int k = 0; k < 2; ++k) {
        const CBenchProgram::RecordingCpu cpu = programs[k].Record(seconds, peak);
        recording[k].Add(cpu.whole);
        threads[k].Add(cpu.ownThreads);
        lessWaveIn[k].Add(cpu.whole - waveIn.process.Newest());
      }
    }
    std::printf("CPU, every thread (Wine's audio threads included), in %% of one core:\n");
    PrintCpuShare("this process: waveIn alone, no graph (Wine's capture)", waveIn);
    PrintCpuShare("this process: core audio alone, no graph, for comparison", coreAudio);
    std::printf("  %-62s %s %%\n", "this process: the encoder class beside waveIn, its thread alone",
                encoderBesideWine.Text(3).c_str());
    for (int k = 0; k < 2; ++k) {
      const BenchFormat& kind = kinds[k];
      std::printf("  %-62s %s %%\n", Format("Sondrel.exe recording %s, the whole process", kind.name).c_str(),
                  recording[k].Text(3).c_str());
      std::printf("  %-62s %s %%\n", "  of it the program's own threads (main, \"Sondrel capture\")",
                  threads[k].Text(3).c_str());
      std::printf("  %-62s %s %%\n", "  the whole process less waveIn alone, run by run",
                  lessWaveIn[k].Text(3).c_str());
      PrintTarget(Format("live %s recording, whole process with Wine's audio threads", kind.name),
                  Format("%s %% of one core", recording[k].Text(3).c_str()),
                  Format("Wine's own threads take %.3f %% of it; Wine's capture alone (waveIn, no graph) %s %%",
                         recording[k].Median() - threads[k].Median(), waveIn.process.Text(3).c_str()),
                  Format("under %.1f %%", kind.cpuAim), recording[k].Median() < kind.cpuAim);
      PrintTarget(Format("live %s recording, the program's part: its own threads", kind.name),
                  Format("%s %% of one core", threads[k].Text(3).c_str()),
                  Format("the whole process less waveIn alone measured just before: %s %%%s",
                         lessWaveIn[k].Text(3).c_str(),
                         kind.mp3 ? Format("; the encoder class alone beside waveIn: %s %%",
                                           encoderBesideWine.Text(3).c_str()).c_str()
                                  : ""),
                  Format("under %.1f %%", kind.cpuAim), threads[k].Median() < kind.cpuAim);
      PrintTarget(Format("%s: Start to the first audio in the file, live", kind.name),
                  Format("%.0f ms", first[k].Median()),
                  Format("5 recordings: %s ms; waveIn alone takes %.0f ms from opening to its first buffer "
                         "(Wine's part)",
                         first[k].Text(0).c_str(), waveInFirst.Median()),
                  "under 150 ms", first[k].Lowest() >= 0 && first[k].Median() < 150);
      PrintTarget(Format("%s: Stop to the complete file, live", kind.name), Format("%.0f ms", complete[k].Median()),
                  Format("5 recordings: %s ms", complete[k].Text(0).c_str()), "under 150 ms",
                  complete[k].Lowest() >= 0 && complete[k].Median() < 150);
    }
    std::printf("load now %s\n", LoadAverage().c_str());
    StopTone(dir.path());
  }
  ::CoUninitialize();
  return 0;
}
