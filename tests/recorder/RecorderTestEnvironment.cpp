#include "tests/recorder/RecorderTestEnvironment.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/SettingsStore.h"

RecorderTestEnvironment::RecorderTestEnvironment(std::optional<std::vector<CLSID>> classes) {
  ::CoInitialize(nullptr);
  capture.InstallDevices(StandardTestDevices());
  m_filters = std::make_unique<CBundledFilters>(BundledFiltersPath(), classes ? *classes : BundledFilterClasses());
  Settings().Load("");
}

RecorderTestEnvironment::~RecorderTestEnvironment() {
  m_filters.reset();
  ::CoUninitialize();
}

WaveFile ReadWaveHeader(const std::string& path) {
  WaveFile wave;
  const std::string bytes = ReadWholeFile(path);
  wave.fileSize = bytes.size();
  auto u32 = [&](size_t at) {
    uint32_t v = 0;
    if (at + 4 <= bytes.size()) std::memcpy(&v, bytes.data() + at, 4);
    return v;
  };
  auto u16 = [&](size_t at) {
    uint16_t v = 0;
    if (at + 2 <= bytes.size()) std::memcpy(&v, bytes.data() + at, 2);
    return v;
  };
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return wave;
  wave.riffSize = u32(4);
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const uint32_t size = u32(at + 4);
    if (id == "fmt ") {
      wave.formatTag = u16(at + 8);
      wave.channels = u16(at + 10);
      wave.sampleRate = u32(at + 12);
      wave.bytesPerSecond = u32(at + 16);
      wave.blockAlign = u16(at + 20);
      wave.bitsPerSample = u16(at + 22);
    } else if (id == "data") {
      wave.dataSize = size;
      wave.valid = true;
      break;
    }
    at += 8 + size + (size & 1);
  }
  return wave;
}

int PeakAmplitude(const std::vector<int16_t>& samples) {
  int peak = 0;
  for (size_t i = samples.size() / 4; i < samples.size() * 3 / 4; ++i) peak = std::max(peak, std::abs(int(samples[i])));
  return peak;
}
