// The real Sondrel.exe recording the virtual device's counter signal in real time for a long
// while (SONDREL_LONG_RECORDING_SECONDS; half a minute by default, an hour in the soak run):
// the file holds every sample the device delivered, once and in order.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "res/resource.h"
#include "support/RunningProgram.h"
#include "support/TempDir.h"
#include "tests/filters/wavdest/RecordingGraph.h"
#include "tests/program/VirtualDeviceSettings.h"
#include "tests/program/WaveFileCheck.h"

namespace {

TEST(LongRecording, CounterModeLosesAndRepeatsNoSample) {
  const PcmFormat format{2, 44100, 16};
  const int seconds = EnvironmentNumber("SONDREL_LONG_RECORDING_SECONDS", 30);
  CFilterTestEnvironment environment;
  environment.capture.SetSignal(kTestDevice, TestSignal::Counter);
  TempDir folder;
  RunningProgram program(folder.path(), VirtualDeviceSettings(folder.path(), "1"));
  ASSERT_NE(program.Window(), nullptr);
  ASSERT_TRUE(program.Click(IDC_RECORD));
  const uint64_t frames = uint64_t(seconds) * format.sampleRate;
  ASSERT_TRUE(environment.capture.WaitForFrames(kTestDevice, frames, DWORD(seconds) * 1000 + 20000));
  ASSERT_TRUE(program.Click(IDC_RECORD));
  EXPECT_EQ(program.BoxText(), "");
  const TestDeviceState device = environment.capture.State(kTestDevice);
  EXPECT_EQ(device.running, 0);

  const WaveFileCheck check = CheckWaveFile(folder.File("0001.wav"), format);
  ASSERT_EQ(check.error, "");
  EXPECT_EQ(check.dataBytes, device.framesDelivered * format.BlockAlign()) << "every frame the device delivered";
  EXPECT_EQ(check.firstCounterMismatch, check.dataBytes) << "a sample was lost or repeated";
  EXPECT_EQ(StrictReaderComplaints(folder.File("0001.wav")), "");
  std::printf("%d s recorded: %llu frames delivered, %llu in the file\n", seconds,
              static_cast<unsigned long long>(device.framesDelivered),
              static_cast<unsigned long long>(check.dataBytes / format.BlockAlign()));
}

}  // namespace
