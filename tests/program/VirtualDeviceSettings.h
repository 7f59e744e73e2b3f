#pragma once
// Settings that have the real program record 44100 Hz 16-bit stereo from the virtual capture
// device into `folder`, as 0001.wav or 0001.mp3 and on.
#include <string>

#include "support/EnvironmentNumber.h"
#include "support/RunningProgram.h"

// "Test Capture Without Mixer": its "Microphone" line has a mixer and a 440 Hz tone.
constexpr int kTestDevice = 4;
constexpr double kTestToneHz = 440;

// fileFormat "0" MP3, "1" WAV; bitRateType "0" constant (128 kbit/s), "1" variable.
inline ProgramSettings VirtualDeviceSettings(const std::string& folder, const char* fileFormat,
                                             const char* bitRateType = "0") {
  return {{"AudioDevice", "Test Capture Without Mixer"}, {"AudioInput", "Microphone"}, {"AudioVolume", "100"},
          {"FileFormat", fileFormat}, {"Mp3BitRateType", bitRateType}, {"Mp3ConstBitRate", "128"},
          {"BytesPerSample", "2"}, {"Channels", "2"}, {"SamplesPerSecond", "44100"}, {"FileTemplate", folder},
          {"AddSeqNum", "1"}, {"FileCount", "1"}, {"OverwritePrompt", "0"}};
}
