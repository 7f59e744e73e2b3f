#pragma once
// What the recorder's tests share: COM, the virtual capture devices installed in the
// prefix, Sondrel's filters registered for the process, default settings and a folder.
#include <windows.h>
#include <objbase.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/BundledFilters.h"
#include "support/TempDir.h"
#include "tests/fixtures/capture/TestCapture.h"

class RecorderTestEnvironment {
 public:
  // `classes`: the bundled filter classes to register (all of them by default).
  explicit RecorderTestEnvironment(std::optional<std::vector<CLSID>> classes = std::nullopt);
  ~RecorderTestEnvironment();

  CTestCapture capture;
  TempDir folder;

 private:
  std::unique_ptr<CBundledFilters> m_filters;
};

// The device slots of the standard set (StandardTestDevices).
enum TestDevice { MainDevice = 0, SameNameDevice = 1, UpperCaseDevice = 2, NoInputsDevice = 3, NoMixerDevice = 4 };
constexpr char kMainDeviceName[] = "Sondrel Test Capture";

// The RIFF WAVE header of a file Sondrel wrote.
struct WaveFile {
  bool valid = false;
  uint32_t riffSize = 0;
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint32_t bytesPerSecond = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint32_t dataSize = 0;
  size_t fileSize = 0;
};
WaveFile ReadWaveHeader(const std::string& path);

// The peak of |sample| over the middle half of a decoded recording.
int PeakAmplitude(const std::vector<int16_t>& samples);
