#include "bench/BenchEncoder.h"

#include <vector>

#include "app/SettingsStore.h"
#include "bench/BenchGraphs.h"
#include "filters/kit/MediaType.h"

namespace {

constexpr size_t kBufferFrames = kBenchRate / 10;  // the recorder's 100 ms

double ThreadSeconds() {
  FILETIME created, exited, kernel, user;
  ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7; };
  return seconds(kernel) + seconds(user);
}

}  // namespace

bool CEncoderInRealTime::Start() {
  TestDeviceState state{};
  ResetTestDevice(state, {L"Bench Capture", {{L"Line In", true, kBenchToneHz}}});
  m_signal.Prepare(state, MakePcmFormat(kBenchRate, 2, 16));
  Mp3Settings settings;
  settings.bitRate = Settings().GetUInt(Mp3ConstBitRate);
  settings.quality = Settings().GetUInt(Mp3EncQuality);
  if (!m_encoder.Start({2, kBenchRate, 16}, settings)) return false;
  m_thread.Start([this](const std::atomic<bool>& stopping) {
    std::vector<BYTE> pcm(kBufferFrames * kBenchBlockAlign);
    std::vector<uint8_t> out;
    const double cpuBefore = ThreadSeconds();
    const ULONGLONG start = ::GetTickCount64();
    for (uint64_t buffer = 0; !stopping; ++buffer) {
      m_signal.Copy(pcm.data(), buffer * kBufferFrames, kBufferFrames);
      out.clear();
      m_encoder.Encode(pcm.data(), pcm.size(), out);
      const ULONGLONG due = start + (buffer + 1) * 100;
      const ULONGLONG now = ::GetTickCount64();
      if (due > now) ::Sleep(DWORD(due - now));
    }
    m_threadSeconds = ThreadSeconds() - cpuBefore;
  });
  return true;
}

double CEncoderInRealTime::Stop() {
  m_thread.Stop();
  return m_threadSeconds;
}
