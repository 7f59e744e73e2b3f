// A released Sondrel, unpacked or installed, recording as a new user would: started from its
// own folder (SONDREL_RELEASE_DIR, a Windows path) with no settings file and nothing
// registered, the null sink's monitor chosen in the device list, a tone played into the sink
// while it records. Run by scripts/release-test.sh, in a fresh prefix with a PulseAudio
// daemon of its own; the tone files go to SONDREL_TONE_DIR (a Linux folder), so that the only
// files in the prefix outside the program's folder are the program's own. Prints the
// recording's Linux path as "recording: <path>" for the script's checks.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "res/resource.h"
#include "support/AudioCheck.h"
#include "support/LinuxCommand.h"
#include "support/LiveAudio.h"
#include "support/ProgramDriver.h"
#include "support/ProgramProcess.h"

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// A Linux folder as Wine sees it, through drive Z:.
std::string WindowsPathOfLinuxFolder(std::string folder) {
  for (char& c : folder) {
    if (c == '/') c = '\\';
  }
  return "Z:" + folder;
}

TEST(Release, RecordsRightAfterUnpackingOrInstalling) {
  const std::string folder = Environment("SONDREL_RELEASE_DIR");
  const std::string tones = Environment("SONDREL_TONE_DIR");
  ASSERT_FALSE(folder.empty()) << "set SONDREL_RELEASE_DIR";
  ASSERT_FALSE(tones.empty()) << "set SONDREL_TONE_DIR";

  ProgramProcess program(folder, ProgramProcess::Files::AsTheyAre);
  ASSERT_TRUE(program.started()) << folder;
  HWND window = program.WaitForMainWindow();
  ASSERT_TRUE(window);
  // The text of a message box the program shows, for a failure's message.
  auto box = [&] {
    HWND other = WaitForOtherDialog(program.id(), window, 0);
    return other ? "the program shows: " + WindowText(::GetDlgItem(other, 0xFFFF)) : std::string();
  };
  // No message box (no device, a missing filter) stands in the way.
  ASSERT_EQ(WaitForOtherDialog(program.id(), window, 1000), nullptr) << box();

  ASSERT_TRUE(ChooseComboEntry(window, IDC_DEVICE, kMonitorDevice));
  const std::string recording = WindowText(::GetDlgItem(window, IDC_FILENAME));
  ASSERT_FALSE(recording.empty());

  const std::string toneFolder = WindowsPathOfLinuxFolder(tones);
  ASSERT_TRUE(PlayTone(toneFolder, 880, 4.0, 0.5, false));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_TRUE(ClickButton(window, IDC_RECORD)) << box();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  ASSERT_TRUE(ClickButton(window, IDC_RECORD)) << box();
  StopTone(toneFolder);

  ::PostMessageA(window, WM_CLOSE, 0, 0);
  DWORD exitCode = 99;
  ASSERT_TRUE(program.WaitForExit(exitCode));
  EXPECT_EQ(exitCode, 0u);

  const DecodedAudio audio = DecodeWithFfmpeg(recording);
  ASSERT_TRUE(audio.error.empty()) << recording << ": " << audio.error;
  EXPECT_GT(audio.Seconds(), 1.5) << recording;
  const ToneSpan span = FindToneSpan(audio.samples, audio.sampleRate, int(32768 * 0.05));
  ASSERT_TRUE(span.found) << recording << " holds no tone";
  const std::vector<int16_t> tone(audio.samples.begin() + long(span.first),
                                  audio.samples.begin() + long(span.last) + 1);
  EXPECT_NEAR(ToneFrequencyAcrossGaps(tone, audio.sampleRate), 880, 10) << recording;
  std::printf("recording: %s\n", UnixPath(recording).c_str());
}

}  // namespace
