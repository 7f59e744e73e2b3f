// Live recording under Wine from the sound server through Sondrel's capture source
// ("Sondrel Audio Capture" over waveIn), by the program's own recorder and filters:
// - the CPU of the whole process, every thread of it (Wine's audio threads included), while
//   recording MP3 at 128 kbit/s stereo in real time (aim: under 1 % of one core), with the
//   idle process and a WAV recording for comparison, and the wineserver's share beside it;
// - the time from pressing Start to the first audio in the file, and from Stop to the
//   complete file (aim: under 150 ms each), for WAV and MP3.
// Needs a PulseAudio daemon with a null sink "nullsink" (scripts/bench.sh starts one); a tone
// plays into it throughout. Prints figures; a benchmark never fails on them.
//   live_capture_bench.exe [seconds of the CPU recording, default 60]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/BundledFilters.h"
#include "app/SettingsStore.h"
#include "bench/BenchSettings.h"
#include "filters/kit/MediaType.h"
#include "filters/wavdest/WaveHeader.h"
#include "filters/wavein/WaveInDevice.h"
#include "recorder/Recorder.h"
#include "support/LinuxCommand.h"
#include "support/LiveAudio.h"
#include "support/TempDir.h"

// After the DirectShow headers: they and these declare some of the same types, guarded only
// in this order.
#include <audioclient.h>
#include <mmdeviceapi.h>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// CPU seconds of the wineserver: Wine opens files in the server, so /proc/self (through
// Wine's mapping of the Linux root, Z:) is the server's. Its work for this process's waits,
// messages and file writes is part of the cost of recording.
double WineserverCpuSeconds(double ticksPerSecond) {
  const std::string stat = ReadWholeFile("Z:\\proc\\self\\stat");
  const size_t name = stat.rfind(')');
  if (name == std::string::npos) return -1;
  // After the name: state (field 3) ... utime (14), stime (15).
  const char* at = stat.c_str() + name + 2;
  for (int field = 3; field < 14; ++field) at = std::strchr(at, ' ') + 1;
  char* end = nullptr;
  const double user = std::strtod(at, &end);
  const double system = std::strtod(end, nullptr);
  return (user + system) / ticksPerSecond;
}

// CPU seconds of the whole process: under Wine the times of the Unix process, every thread
// of it, also those Wine's audio drivers start outside Windows' knowledge.
double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7; };
  return seconds(kernel) + seconds(user);
}

long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

CRecorder& Configure(CRecorder& recorder, const std::string& path) {
  recorder.SetOutputFile(path);
  recorder.SetDevice(kMonitorDevice);
  recorder.SetInputLine(kCaptureLine);
  recorder.m_sampleRate = 44100;
  recorder.m_channels = 2;
  recorder.m_bytesPerSample = 2;
  recorder.m_level = 1.0;
  return recorder;
}

struct Latency {
  double toFirstAudio = -1;  // ms from pressing Start; -1 when none came within 5 s
  double toCompleteFile = -1;
};

// One recording of about a second: when the file first holds more than `noAudioBytes`, and
// how long Stop takes (the file is complete once it returns: the File Writer has closed it).
Latency MeasureOnce(unsigned format, const std::string& path, long long noAudioBytes) {
  Latency latency;
  CRecorder recorder;
  Configure(recorder, path);
  const Clock::time_point pressed = Clock::now();
  if (FAILED(recorder.Start(format, nullptr))) return latency;
  while (Clock::now() - pressed < std::chrono::seconds(5)) {
    if (FileSize(path) > noAudioBytes) {
      latency.toFirstAudio = Milliseconds(Clock::now() - pressed);
      break;
    }
    ::Sleep(1);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  const Clock::time_point stop = Clock::now();
  recorder.Stop();
  latency.toCompleteFile = Milliseconds(Clock::now() - stop);
  return latency;
}

void PrintLatencies(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  if (ms.empty() || ms.front() < 0) {
    std::printf("  %-44s not measured\n", what);
    return;
  }
  std::printf("  %-44s median %6.1f ms, min %6.1f, max %6.1f (aim: under 150 ms)\n", what, ms[ms.size() / 2],
              ms.front(), ms.back());
}

// Captures from the monitor device with waveIn alone (six 100 ms buffers, handed back as they
// come), no graph, while `measure` runs: what Wine's audio path costs by itself.
template <class Measure>
auto WaveInAlone(Measure& measure, double seconds) {
  CWaveInDevice device;
  UINT id = 0;
  for (UINT i = 0; i < ::waveInGetNumDevs(); ++i) {
    WAVEINCAPSA caps{};
    if (::waveInGetDevCapsA(i, &caps, sizeof caps) == MMSYSERR_NOERROR && std::strcmp(caps.szPname, kMonitorDevice) == 0) {
      id = i;
    }
  }
  const WAVEFORMATEX format = MakePcmFormat(44100, 2, 16);
  std::atomic<bool> stop{false};
  std::thread worker;
  auto result = measure(seconds, [&] {
    if (device.Open(id, format, 6, format.nAvgBytesPerSec / 10) != MMSYSERR_NOERROR) return;
    device.Start();
    worker = std::thread([&] {
      size_t next = 0;
      while (!stop) {
        ::WaitForSingleObject(device.Event(), 100);
        for (; device.IsDone(next); next = (next + 1) % device.Count()) device.Requeue(next);
      }
    });
  });
  stop = true;
  if (worker.joinable()) worker.join();
  return result;
}

// Captures from the default capture endpoint with the core audio interfaces alone
// (IAudioClient, shared mode, woken by its event, a 100 ms buffer), no graph, while `measure`
// runs: the other way a capture source could go.
template <class Measure>
auto CoreAudioAlone(Measure& measure, double seconds) {
  CComPtr<IMMDeviceEnumerator> devices;
  CComPtr<IMMDevice> device;
  CComPtr<IAudioClient> client;
  CComPtr<IAudioCaptureClient> capture;
  HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  WAVEFORMATEX* mix = nullptr;
  std::atomic<bool> stop{false};
  std::thread worker;
  auto result = measure(seconds, [&] {
    if (FAILED(::CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                  devices.PutVoid())) ||
        FAILED(devices->GetDefaultAudioEndpoint(eCapture, eConsole, device.Put())) ||
        FAILED(device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, client.PutVoid())) ||
        FAILED(client->GetMixFormat(&mix)) ||
        FAILED(client->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_EVENTCALLBACK, 1000000, 0, mix,
                                  nullptr)) ||
        FAILED(client->SetEventHandle(event)) ||
        FAILED(client->GetService(__uuidof(IAudioCaptureClient), capture.PutVoid())) || FAILED(client->Start())) {
      std::printf("(core audio capture could not start)\n");
      return;
    }
    worker = std::thread([&] {
      while (!stop) {
        ::WaitForSingleObject(event, 200);
        BYTE* data = nullptr;
        UINT32 frames = 0;
        DWORD flags = 0;
        while (capture->GetBuffer(&data, &frames, &flags, nullptr, nullptr) == S_OK) capture->ReleaseBuffer(frames);
      }
    });
  });
  stop = true;
  if (worker.joinable()) worker.join();
  if (client) client->Stop();
  ::CoTaskMemFree(mix);
  ::CloseHandle(event);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
  ::CoInitialize(nullptr);
  int result = 1;
  {
    CBundledFilters filters(BundledFiltersPath(), BundledFilterClasses());
    TempDir dir;
    LoadBenchSettings(dir);
    const double ticks = std::atof(RunLinuxCommand("getconf CLK_TCK").output.c_str());
    if (!PlayTone(dir.path(), 1000, seconds + 60, 0.5, false)) std::printf("(no tone: paplay failed)\n");

    // Start and Stop, five times each for WAV and MP3. A WAV file holds its header from the
    // start; an MP3 file its first (empty) frame, at most 1045 bytes at 44100 Hz.
    std::printf("Start to the first audio in the file, Stop to the complete file (44100 Hz 16-bit stereo):\n");
    struct Kind {
      const char* name;
      unsigned format;
      long long noAudioBytes;
    };
    const Kind kinds[] = {{"WAV", 1, static_cast<long long>(kWaveHeaderSize)}, {"MP3", kFormatMp3, 1045}};
    for (const Kind& kind : kinds) {
      std::vector<double> first, complete;
      for (int i = 0; i < 5; ++i) {
        const Latency l = MeasureOnce(kind.format, dir.File("latency" + std::to_string(i)), kind.noAudioBytes);
        first.push_back(l.toFirstAudio);
        complete.push_back(l.toCompleteFile);
      }
      PrintLatencies((std::string(kind.name) + ": Start to the first audio written").c_str(), first);
      PrintLatencies((std::string(kind.name) + ": Stop to the complete file").c_str(), complete);
    }

    // The idle process first, for comparison, then the recordings.
    struct Cpu {
      double process = 0, server = 0, wall = 0;
    };
    auto measure = [&](double span, const std::function<void()>& during) {
      const double process = ProcessCpuSeconds(), server = WineserverCpuSeconds(ticks);
      const Clock::time_point begin = Clock::now();
      during();
      std::this_thread::sleep_for(std::chrono::duration<double>(span));
      return Cpu{ProcessCpuSeconds() - process, WineserverCpuSeconds(ticks) - server,
                 std::chrono::duration<double>(Clock::now() - begin).count()};
    };
    auto line = [](const char* what, const Cpu& cpu) {
      std::printf("  %-34s %7.3f s = %5.2f %% of one core; wineserver %6.3f s = %5.2f %%\n", what, cpu.process,
                  100 * cpu.process / cpu.wall, cpu.server, 100 * cpu.server / cpu.wall);
    };
    const Cpu idle = measure(std::min(seconds, 10.0), [] {});
    const Cpu waveIn = WaveInAlone(measure, std::min(seconds, 20.0));
    const Cpu coreAudio = CoreAudioAlone(measure, std::min(seconds, 20.0));
    struct Recording {
      const char* what;
      unsigned format;
      double seconds;
    };
    const Recording recordings[] = {{"recording MP3 (aim: under 1 %)", kFormatMp3, seconds},
                                    {"recording WAV, for comparison", 1, std::min(seconds, 20.0)}};
    std::printf("CPU of the whole process, every thread, while recording 44100 Hz stereo live "
                "(MP3 at 128 kbit/s):\n");
    line("idle, for comparison", idle);
    line("waveIn alone, no graph, for comparison", waveIn);
    line("core audio alone, for comparison", coreAudio);
    result = 0;
    for (const Recording& r : recordings) {
      CRecorder recorder;
      Configure(recorder, dir.File(std::string("cpu") + (r.format == kFormatMp3 ? ".mp3" : ".wav")));
      bool started = false;
      const Cpu cpu = measure(r.seconds, [&] { started = SUCCEEDED(recorder.Start(r.format, nullptr)); });
      recorder.Stop();
      if (!started) {
        std::printf("could not start recording from \"%s\"\n", kMonitorDevice);
        result = 1;
        break;
      }
      line((std::string(r.what) + ", " + std::to_string(int(cpu.wall + 0.5)) + " s").c_str(), cpu);
    }
    if (result == 0) {
      std::printf("file: %lld bytes of MP3 (%.1f kbit/s)\n", FileSize(dir.File("cpu.mp3")),
                  FileSize(dir.File("cpu.mp3")) * 8 / seconds / 1000);
    }
    StopTone(dir.path());
  }
  ::CoUninitialize();
  return result;
}
