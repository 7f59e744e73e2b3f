// MP3 recordings made as the program makes them: the recorder builds the real graph
// (virtual capture device -> Lame MP3 -> Wave Dest -> File Writer) from the settings, and the
// host's ffmpeg checks the files.
#include <gtest/gtest.h>

#include <string>

#include "app/SettingsStore.h"
#include "recorder/Recorder.h"
#include "support/AudioCheck.h"
#include "support/TempDir.h"
#include "tests/filters/wavdest/RecordingGraph.h"

namespace {

// "Test Capture Without Mixer": its "Microphone" line has a mixer and a 440 Hz tone.
constexpr int kDevice = 4;
constexpr char kDeviceName[] = "Test Capture Without Mixer";
constexpr double kToneHz = 440;

struct Mp3Case {
  const char* what;
  uint32_t rate, channels, bytesPerSample;  // the capture format asked for
  uint32_t bitRateType, constBitRate, minBitRate, maxBitRate, vbrQuality, encQuality;  // as the dialog stores them
  unsigned fileRate;
  unsigned frameBitRate;  // every frame's, for a constant bit rate
};

void StoreMp3Settings(const Mp3Case& c, const std::string& folder) {
  CSettingsStore& settings = Settings();
  settings.Load((folder + "\\none.cfg").c_str());
  settings.SetUInt(Mp3BitRateType, c.bitRateType);
  settings.SetUInt(Mp3ConstBitRate, c.constBitRate);
  settings.SetUInt(Mp3MinBitRate, c.minBitRate);
  settings.SetUInt(Mp3MaxBitRate, c.maxBitRate);
  settings.SetUInt(Mp3VbrQuality, c.vbrQuality);
  settings.SetUInt(Mp3EncQuality, c.encQuality);
}

HRESULT StartMp3(CRecorder& recorder, const Mp3Case& c, const std::string& path) {
  recorder.SetOutputFile(path);
  recorder.SetDevice(kDeviceName);
  recorder.SetInputLine("Microphone");
  recorder.m_sampleRate = c.rate;
  recorder.m_channels = c.channels;
  recorder.m_bytesPerSample = c.bytesPerSample;
  recorder.m_level = 1.0;
  return recorder.Start(kFormatMp3, nullptr);
}

const Mp3Case kCases[] = {
    {"44100 Hz stereo 16-bit, 128 kbit/s", 44100, 2, 2, 0, 128, 80, 160, 4, 5, 44100, 128},
    {"8000 Hz mono capture becomes an 11025 Hz file", 8000, 1, 2, 0, 32, 80, 160, 4, 5, 11025, 32},
    {"22050 Hz mono 8-bit, variable 32-160", 22050, 1, 1, 1, 128, 32, 160, 4, 2, 22050, 0},
    {"11025 Hz stereo, variable, minimum above maximum, quality 12", 11025, 2, 2, 1, 128, 160, 48, 9, 12, 11025, 0},
};

TEST(Mp3Recording, FilesHoldTheToneForTheRecordedTimeAtTheSettings) {
  CFilterTestEnvironment environment;
  TempDir folder;
  for (const Mp3Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const double seconds = 3.0;
    environment.capture.SetPacing(kDevice, TestPacing::Fast);
    environment.capture.SetFrameLimit(kDevice, uint64_t(seconds * c.rate));
    StoreMp3Settings(c, folder.path());
    const std::string path = folder.File("recording.mp3");
    CRecorder recorder;
    ASSERT_EQ(StartMp3(recorder, c, path), S_OK);
    ASSERT_TRUE(environment.capture.WaitForFrames(kDevice, uint64_t(seconds * c.rate), 20000));
    ASSERT_GE(recorder.Stop(), 0);

    const DecodedAudio audio = DecodeWithFfmpeg(path);
    ASSERT_EQ(audio.error, "");
    const unsigned frameSamples = c.fileRate >= 32000 ? 1152 : 576;
    EXPECT_EQ(audio.sampleRate, c.fileRate);
    EXPECT_EQ(audio.channels, c.channels);
    EXPECT_NEAR(double(audio.samples.size()), seconds * c.fileRate, frameSamples) << "within one frame";
    EXPECT_NEAR(ToneFrequency(audio.samples, audio.sampleRate), kToneHz, kToneHz / 100);

    const std::string bytes = ReadWholeFile(path);
    const std::vector<MpegFrameHeader> frames = MpegFrames(bytes);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().offset + frames.back().size, bytes.size()) << "nothing but whole frames";
    EXPECT_NE(bytes.substr(0, frames[0].size).find(c.bitRateType ? "Xing" : "Info"), std::string::npos);
    // Players take the duration from the tag's frame count.
    EXPECT_NEAR(ProbedDuration(path), double(frames.size() - 1) * frameSamples / c.fileRate, 0.001);
    for (const MpegFrameHeader& frame : frames) {
      EXPECT_EQ(frame.sampleRate, c.fileRate);
      if (c.frameBitRate) {
        EXPECT_EQ(frame.bitRate, c.frameBitRate) << "frame at " << frame.offset;
      }
    }
  }
}

TEST(Mp3Recording, PauseLeavesEverySampleInTheFileAndResumeGoesOn) {
  CFilterTestEnvironment environment;
  TempDir folder;
  const Mp3Case c = kCases[0];
  environment.capture.SetPacing(kDevice, TestPacing::Fast);
  environment.capture.SetFrameLimit(kDevice, 44100);
  StoreMp3Settings(c, folder.path());
  const std::string path = folder.File("paused.mp3");
  CRecorder recorder;
  ASSERT_EQ(StartMp3(recorder, c, path), S_OK);
  ASSERT_TRUE(environment.capture.WaitForFrames(kDevice, 44100, 20000));
  recorder.Pause();
  const DecodedAudio paused = DecodeWithFfmpeg(path);
  ASSERT_EQ(paused.error, "");
  EXPECT_NEAR(paused.Seconds(), 1.0, 0.013) << "the second before the pause, to half a frame";

  environment.capture.SetFrameLimit(kDevice, 2 * 44100);
  recorder.Resume();
  ASSERT_TRUE(environment.capture.WaitForFrames(kDevice, 2 * 44100, 20000));
  ASSERT_GE(recorder.Stop(), 0);
  const DecodedAudio stopped = DecodeWithFfmpeg(path);
  ASSERT_EQ(stopped.error, "");
  // Two seconds and the silence the pause left: the encoder's look-ahead and a part frame.
  EXPECT_GE(stopped.Seconds(), 2.0);
  EXPECT_LE(stopped.Seconds(), 2.0 + (1152 + 1360) / 44100.0);
}

}  // namespace
