// The real Sondrel.exe recording from the virtual capture device and killed at a random
// moment, as a crash, a power cut or the task manager would end it: every file it leaves
// opens in strict readers (sox with its warnings counted as failures, ffmpeg, and a
// header check of our own that forgives no wrong size) and holds all but at most the last
// second before the kill. SONDREL_KILL_RUNS sets the kills per format (a handful by
// default; the soak run makes a hundred), SONDREL_SOAK_LARGE=1 adds kills on either side of
// the 4 GiB where a WAV file turns into RF64.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "res/resource.h"
#include "support/AudioCheck.h"
#include "support/LinuxCommand.h"
#include "support/RunningProgram.h"
#include "support/TempDir.h"
#include "tests/filters/wavdest/RecordingGraph.h"
#include "tests/program/VirtualDeviceSettings.h"
#include "tests/program/WaveFileCheck.h"

namespace {

const PcmFormat kFormat{2, 44100, 16};

struct KillCase {
  const char* name;
  const char* fileFormat;   // 0 MP3, 1 WAV
  const char* bitRateType;  // 0 constant, 1 variable
  uint64_t firstFrames, lastFrames;  // the kill falls once the device delivered a number in between
  bool large;  // fed as fast as the graph takes it, soak only
};

constexpr uint64_t kFourGiBFrames = (uint64_t(1) << 32) / 4;

class KilledRecording : public testing::TestWithParam<KillCase> {};

TEST_P(KilledRecording, LeavesAFileWithAllButTheLastSecond) {
  const KillCase& c = GetParam();
  if (c.large && EnvironmentNumber("SONDREL_SOAK_LARGE", 0) == 0) GTEST_SKIP() << "a soak case (SONDREL_SOAK_LARGE=1)";
  const bool wav = c.fileFormat[0] == '1';
  const int runs = c.large ? 1 : EnvironmentNumber("SONDREL_KILL_RUNS", 3);
  CFilterTestEnvironment environment;
  std::mt19937_64 random(std::random_device{}());
  double worstMissing = 0;
  for (int run = 0; run < runs; ++run) {
    const uint64_t target = std::uniform_int_distribution<uint64_t>(c.firstFrames, c.lastFrames)(random);
    SCOPED_TRACE("kill " + std::to_string(run + 1) + " of " + std::to_string(runs) + ", after " +
                 std::to_string(target) + " frames");
    TempDir folder;
    environment.capture.SetSignal(kTestDevice, wav ? TestSignal::Counter : TestSignal::Tone);
    environment.capture.SetPacing(kTestDevice, c.large ? TestPacing::Fast : TestPacing::RealTime);
    uint64_t delivered = 0;
    // The device counts a buffer once the graph has taken it: a kill can fall after the
    // buffer it was handing over reached the file and before it was counted.
    uint64_t inDelivery = 0;
    {
      RunningProgram program(folder.path(), VirtualDeviceSettings(folder.path(), c.fileFormat, c.bitRateType));
      ASSERT_NE(program.Window(), nullptr);
      ASSERT_TRUE(program.Click(IDC_RECORD)) << program.BoxText();
      const bool reached = environment.capture.WaitForFrames(kTestDevice, target, c.large ? 600000 : 20000);
      program.Process().Kill();
      ASSERT_TRUE(reached) << "the program never recorded that far: " << program.BoxText();
      const TestDeviceState device = environment.capture.State(kTestDevice);
      delivered = device.framesDelivered;
      inDelivery = device.framesInDelivery;
    }
    const std::string path = folder.File(wav ? "0001.wav" : "0001.mp3");
    const double truth = double(delivered) / kFormat.sampleRate;
    const double handedOver = double(delivered + inDelivery) / kFormat.sampleRate;
    EXPECT_EQ(StrictReaderComplaints(path), "");
    double held = 0;
    if (wav) {
      const WaveFileCheck check = CheckWaveFile(path, kFormat);
      ASSERT_EQ(check.error, "");
      EXPECT_EQ(check.rf64, check.dataBytes + kWaveHeaderSize - 8 > 0xFFFFFFFFu);
      EXPECT_EQ(check.firstCounterMismatch, check.dataBytes) << "a sample was lost or repeated";
      held = double(check.dataBytes / kFormat.BlockAlign()) / kFormat.sampleRate;
      EXPECT_EQ(SoxInfo(path), std::to_string(check.dataBytes / kFormat.BlockAlign()) + " 44100 2 16");
      EXPECT_NEAR(ProbedDuration(path), held, 0.001);
    } else {
      const DecodedAudio audio = DecodeWithFfmpeg(path);
      ASSERT_EQ(audio.error, "");
      held = audio.Seconds();
      EXPECT_NEAR(ToneFrequency(audio.samples, audio.sampleRate), kTestToneHz, kTestToneHz / 100);
      // The tag frame's duration, renewed every second, is what players show.
      // A kill can leave a tag that counts up to three frames more than decode (the frames
      // it counts had not all reached the file), and past a tag that counts fewer frames
      // than the file holds ffprobe reckons a constant-rate file's length from its size.
      const double reported = ProbedDuration(path);
      const bool variable = c.bitRateType[0] == '1';
      EXPECT_GE(reported, held - 1.1) << "the tag was not renewed within the last second or so";
      EXPECT_LE(reported, held + 3 * 1152.0 / 44100);
      if (variable) {
        EXPECT_NEAR(reported, truth, 2.0) << "the variable-rate tag";
      }
    }
    EXPECT_LE(held, handedOver + 0.001);
    EXPECT_GE(held, truth - 1.0) << "more than a second lost";
    worstMissing = std::max(worstMissing, truth - held);
  }
  std::printf("%s: %d kills, at most %.3f s missing before the kill\n", c.name, runs, worstMissing);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, KilledRecording,
    testing::Values(KillCase{"Wav", "1", "0", 22050, 4 * 44100, false},
                    KillCase{"Mp3Constant", "0", "0", 22050, 4 * 44100, false},
                    KillCase{"Mp3Variable", "0", "1", 22050, 4 * 44100, false},
                    KillCase{"WavJustBelow4GiB", "1", "0", kFourGiBFrames - 60 * 44100, kFourGiBFrames - 30 * 44100, true},
                    KillCase{"WavJustAbove4GiB", "1", "0", kFourGiBFrames + 5 * 44100, kFourGiBFrames + 30 * 44100, true}),
    [](const testing::TestParamInfo<KillCase>& info) { return info.param.name; });

}  // namespace
