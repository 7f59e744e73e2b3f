// The WAV writer in a real graph: virtual capture device -> Wave Dest -> File Writer.
#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"
#include "tests/filters/wavdest/RecordingGraph.h"

namespace {

constexpr int kDevice = 0;

struct FormatCase {
  uint32_t rate;
  uint16_t channels;
  uint16_t bits;
};

std::string CaseName(const testing::TestParamInfo<FormatCase>& info) {
  return std::to_string(info.param.rate) + "Hz_" + std::to_string(info.param.channels) + "ch_" +
         std::to_string(info.param.bits) + "bit";
}

PcmFormat ToPcm(const FormatCase& c) { return PcmFormat{c.channels, c.rate, c.bits}; }

// The file must be exactly the header for its samples followed by the counter signal, and
// the pad byte after an odd number of data bytes.
void ExpectCompleteCounterFile(const std::string& path, const PcmFormat& format, uint64_t frames) {
  std::string bytes = ReadWholeFile(path);
  uint64_t dataBytes = frames * format.BlockAlign();
  ASSERT_EQ(bytes.size(), kWaveHeaderSize + dataBytes + dataBytes % 2);
  WaveHeader expected = MakeWaveHeader(format, dataBytes);
  EXPECT_EQ(bytes.substr(0, kWaveHeaderSize), std::string(expected.begin(), expected.end()));
  std::string data = bytes.substr(kWaveHeaderSize, dataBytes);
  EXPECT_EQ(FirstCounterMismatch(format, data), data.size()) << "a sample was lost or repeated";
  if (dataBytes % 2 != 0) {
    EXPECT_EQ(bytes.back(), '\0') << "the pad byte";
  }
}

class WaveDestFormats : public testing::TestWithParam<FormatCase> {};

// Every format the audio settings offer: exact samples (counter mode) and exact sizes, and
// sox reads the same.
TEST_P(WaveDestFormats, WritesExactlyTheSamplesProduced) {
  CFilterTestEnvironment environment;
  TempDir folder;
  const PcmFormat format = ToPcm(GetParam());
  const uint64_t frames = format.sampleRate * 3 / 4 + 3;
  environment.capture.SetSignal(kDevice, TestSignal::Counter);
  environment.capture.SetPacing(kDevice, TestPacing::Fast);
  environment.capture.SetFrameLimit(kDevice, frames);
  std::string path = folder.File("counter.wav");
  {
    CRecordingGraph recording;
    ASSERT_EQ(recording.Build(kDevice, path, format, static_cast<long>(format.ByteRate() / 10)), S_OK);
    ASSERT_GE(recording.control->Run(), 0);
    ASSERT_TRUE(environment.capture.WaitForFrames(kDevice, frames, 10000));
    ASSERT_GE(recording.control->Stop(), 0);
  }
  TestDeviceState device = environment.capture.State(kDevice);
  EXPECT_EQ(device.format.sampleRate, format.sampleRate);
  EXPECT_EQ(device.format.channels, format.channels);
  EXPECT_EQ(device.format.bitsPerSample, format.bitsPerSample);
  ExpectCompleteCounterFile(path, format, frames);
  EXPECT_EQ(SoxInfo(path), std::to_string(frames) + " " + std::to_string(format.sampleRate) + " " +
                               std::to_string(format.channels) + " " + std::to_string(format.bitsPerSample));
}

INSTANTIATE_TEST_SUITE_P(AllOffered, WaveDestFormats,
                         testing::Values(FormatCase{44100, 1, 16}, FormatCase{44100, 2, 16}, FormatCase{44100, 1, 8},
                                         FormatCase{44100, 2, 8}, FormatCase{22050, 1, 16}, FormatCase{22050, 2, 16},
                                         FormatCase{22050, 1, 8}, FormatCase{22050, 2, 8}, FormatCase{11025, 1, 16},
                                         FormatCase{11025, 2, 16}, FormatCase{11025, 1, 8}, FormatCase{11025, 2, 8},
                                         FormatCase{8000, 1, 16}, FormatCase{8000, 2, 16}, FormatCase{8000, 1, 8},
                                         FormatCase{8000, 2, 8}),
                         CaseName);

enum class Ending { Stop, ReleaseRunning, PauseResumeStop };

class WaveDestEndings : public testing::TestWithParam<Ending> {};

// A capture graph is never ended: whichever way it goes, every sample the device delivered
// is in the file and the header covers all of them.
TEST_P(WaveDestEndings, LeaveACompleteFile) {
  CFilterTestEnvironment environment;
  TempDir folder;
  const PcmFormat format{1, 22050, 16};
  environment.capture.SetSignal(kDevice, TestSignal::Counter);
  std::string path = folder.File("ending.wav");
  {
    CRecordingGraph recording;
    ASSERT_EQ(recording.Build(kDevice, path, format, static_cast<long>(format.ByteRate() / 10)), S_OK);
    ASSERT_GE(recording.control->Run(), 0);
    ASSERT_TRUE(environment.capture.WaitForFrames(kDevice, format.sampleRate / 2, 10000));
    if (GetParam() == Ending::PauseResumeStop) {
      ASSERT_GE(recording.control->Pause(), 0);
      uint64_t paused = environment.capture.State(kDevice).framesDelivered;
      ::Sleep(300);
      EXPECT_EQ(environment.capture.State(kDevice).framesDelivered, paused) << "a paused device produced";
      ASSERT_GE(recording.control->Run(), 0);
      ASSERT_TRUE(environment.capture.WaitForFrames(kDevice, paused + format.sampleRate / 2, 10000));
    }
    if (GetParam() != Ending::ReleaseRunning) {
      ASSERT_GE(recording.control->Stop(), 0);
    }
  }
  TestDeviceState device = environment.capture.State(kDevice);
  EXPECT_EQ(device.filtersAlive, 0);
  ExpectCompleteCounterFile(path, format, device.framesDelivered);
}

std::string EndingName(const testing::TestParamInfo<Ending>& info) {
  static const char* const names[] = {"Stopped", "ReleasedWhileRunning", "PausedResumedStopped"};
  return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Graph, WaveDestEndings,
                         testing::Values(Ending::Stop, Ending::ReleaseRunning, Ending::PauseResumeStop), EndingName);

}  // namespace
