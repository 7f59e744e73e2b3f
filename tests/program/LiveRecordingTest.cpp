// The real Sondrel.exe recording live under Wine from the null sink's monitor of a PulseAudio
// daemon of the test's own (scripts/wine-live.sh), in a prefix without any virtual capture
// device, while the test plays tones into the sink with paplay, as a person would. The files
// are decoded by the host's ffmpeg.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "res/resource.h"
#include "support/AudioCheck.h"
#include "support/LiveAudio.h"
#include "support/ProgramProcess.h"
#include "support/RunningProgram.h"
#include "support/TempDir.h"

namespace {

constexpr double kToneHz = 880;
constexpr double kAmplitude = 0.5;             // of full scale
constexpr int kThreshold = int(32768 * 0.05);  // where the tone counts as sounding
const double kPlayedRms = 32768 * kAmplitude / std::sqrt(2.0);

using Settings = ProgramSettings;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

ProgramSettings LiveSettings(const TempDir& dir, const Settings& changes) {
  Settings settings = {{"AudioDevice", kMonitorDevice}, {"AudioInput", kCaptureLine}, {"AudioVolume", "100"},
                       {"FileFormat", "1"},          {"BytesPerSample", "2"},        {"Channels", "2"},
                       {"SamplesPerSecond", "44100"}, {"FileTemplate", dir.path()},  {"AddSeqNum", "1"},
                       {"FileCount", "1"},           {"OverwritePrompt", "0"}};
  for (const auto& [key, value] : changes) settings[key] = value;
  return settings;
}

// Sondrel.exe in a folder of its own, recording into that folder, set up by its settings file.
class LiveProgram : public RunningProgram {
 public:
  LiveProgram(const TempDir& dir, const Settings& changes) : RunningProgram(dir.path(), LiveSettings(dir, changes)) {}

  // A click that leaves a message box open fails with the box's text.
  void Click(int id) {
    ASSERT_TRUE(RunningProgram::Click(id)) << "the click did not return; the program shows: " << BoxText();
  }
};

// The bits per sample of a WAV file's format chunk; 0 when there is none.
unsigned WaveBits(const std::string& bytes) {
  const size_t fmt = bytes.find("fmt ");
  if (fmt == std::string::npos || fmt + 24 > bytes.size()) return 0;
  return uint8_t(bytes[fmt + 22]) | uint8_t(bytes[fmt + 23]) << 8;
}

struct ToneCheck {
  DecodedAudio audio;
  ToneSpan span;
  double hz = 0;
  double rms = 0;
};

ToneCheck CheckTone(const std::string& path) {
  ToneCheck check;
  check.audio = DecodeWithFfmpeg(path);
  check.span = FindToneSpan(check.audio.samples, check.audio.sampleRate, kThreshold);
  if (!check.span.found) return check;
  const std::vector<int16_t> tone(check.audio.samples.begin() + long(check.span.first),
                                  check.audio.samples.begin() + long(check.span.last) + 1);
  check.hz = ToneFrequency(tone, check.audio.sampleRate);
  // The middle half: away from the tone's start and end.
  check.rms = Rms(tone, tone.size() / 4, tone.size() * 3 / 4);
  return check;
}

// How long after Start a tone starts.
constexpr int kCaptureStartMs = 300;

// What a file holds, for a failure's message.
std::string Describe(const ToneCheck& check) {
  int peak = 0;
  for (int16_t v : check.audio.samples) peak = std::max(peak, std::abs(int(v)));
  return check.audio.error + " " + std::to_string(check.audio.Seconds()) + " s at " +
         std::to_string(check.audio.sampleRate) + " Hz, peak " + std::to_string(peak);
}

// Records while a tone of `seconds` plays, starting after Start and ending before Stop.
void RecordTone(LiveProgram& program, const TempDir& dir, double seconds) {
  ASSERT_NE(program.Window(), nullptr);
  program.Click(IDC_RECORD);
  Sleep(kCaptureStartMs);
  ASSERT_TRUE(PlayTone(dir.path(), kToneHz, seconds, kAmplitude, true));
  Sleep(400);
  program.Click(IDC_RECORD);
}

struct FormatCase {
  const char* name;
  const char* fileFormat;  // 0 MP3, 1 WAV
  unsigned bytesPerSample, channels, rate;
  unsigned fileRate;  // what the file holds (MP3 starts at 11025 Hz)
};

class LiveRecording : public ::testing::TestWithParam<FormatCase> {};

TEST_P(LiveRecording, HoldsAllOfTheTonePlayedAtItsFrequencyAndLevel) {
  const FormatCase& c = GetParam();
  TempDir dir;
  LiveProgram program(dir, {{"FileFormat", c.fileFormat},
                            {"BytesPerSample", std::to_string(c.bytesPerSample)},
                            {"Channels", std::to_string(c.channels)},
                            {"SamplesPerSecond", std::to_string(c.rate)}});
  RecordTone(program, dir, 1.0);
  const std::string file = std::string("0001.") + (c.fileFormat[0] == '0' ? "mp3" : "wav");
  EXPECT_EQ(program.Title(), "Velmora Sondrel - " + file);

  const ToneCheck check = CheckTone(dir.File(file));
  ASSERT_EQ(check.audio.error, "");
  EXPECT_EQ(check.audio.sampleRate, c.fileRate);
  EXPECT_EQ(check.audio.channels, c.channels);
  if (c.fileFormat[0] == '1') {
    EXPECT_EQ(WaveBits(ReadWholeFile(dir.File(file))), 8 * c.bytesPerSample);
  }
  ASSERT_TRUE(check.span.found) << "no tone in the file: " << Describe(check);
  EXPECT_NEAR(check.span.seconds, 1.0, 0.1) << "all of the tone, within one buffer";
  EXPECT_LT(check.span.longestQuiet, 0.005) << "a gap inside the tone";
  EXPECT_NEAR(check.hz, kToneHz, kToneHz * 0.01);
  EXPECT_NEAR(check.rms, kPlayedRms, kPlayedRms * 0.06) << "at the level played";
}

INSTANTIATE_TEST_SUITE_P(Formats, LiveRecording,
                         ::testing::Values(FormatCase{"Wav16BitStereo44100", "1", 2, 2, 44100, 44100},
                                           FormatCase{"Mp316BitStereo44100", "0", 2, 2, 44100, 44100},
                                           FormatCase{"Wav8BitMono8000", "1", 1, 1, 8000, 8000},
                                           FormatCase{"Mp38BitMono8000", "0", 1, 1, 8000, 11025}),
                         [](const ::testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

TEST(LiveRecordingLevel, AudioVolume25RecordsAQuarterOfTheAmplitudeOf100) {
  double rms[2] = {};
  const char* volumes[2] = {"100", "25"};
  for (int i = 0; i < 2; ++i) {
    TempDir dir;
    LiveProgram program(dir, {{"AudioVolume", volumes[i]}});
    RecordTone(program, dir, 1.0);
    const ToneCheck check = CheckTone(dir.File("0001.wav"));
    ASSERT_TRUE(check.span.found) << "AudioVolume " << volumes[i] << ": " << Describe(check);
    rms[i] = check.rms;
  }
  EXPECT_NEAR(rms[0] / rms[1], 4.0, 0.12);
}

TEST(LiveRecordingPause, LeavesOutThePausedTime) {
  TempDir dir;
  LiveProgram program(dir, {});
  ASSERT_NE(program.Window(), nullptr);
  constexpr double kToneSeconds = 3.5;
  program.Click(IDC_RECORD);
  Sleep(kCaptureStartMs);
  ASSERT_TRUE(PlayTone(dir.path(), kToneHz, kToneSeconds, kAmplitude, false));
  Sleep(1200);
  // The pause takes effect within the first click and ends within the second: its length
  // lies between the time from the end of the first click to the start of the second and the
  // time from the start of the first to the end of the second.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point pausing = Clock::now();
  program.Click(IDC_PAUSE);
  const Clock::time_point paused = Clock::now();
  Sleep(1200);
  const Clock::time_point resuming = Clock::now();
  program.Click(IDC_PAUSE);
  const Clock::time_point resumed = Clock::now();
  const double shortest = std::chrono::duration<double>(resuming - paused).count();
  const double longest = std::chrono::duration<double>(resumed - pausing).count();
  const double pause = (shortest + longest) / 2;
  Sleep(int(kToneSeconds * 1000) - 2400 + 800);
  program.Click(IDC_RECORD);

  const ToneCheck check = CheckTone(dir.File("0001.wav"));
  ASSERT_TRUE(check.span.found) << Describe(check);
  EXPECT_NEAR(check.span.seconds, kToneSeconds - pause, 0.1 + (longest - shortest) / 2)
      << "pause of " << pause << " s";
  EXPECT_LT(check.span.longestQuiet, 0.005) << "the pause left a gap";
}

struct LostCase {
  const char* name;
  const char* fileFormat;
  const char* extension;
};

class LiveRecordingDeviceLost : public ::testing::TestWithParam<LostCase> {};

TEST_P(LiveRecordingDeviceLost, EndingTheSoundServerStopsTheRecordingWithACompleteFile) {
  const LostCase& c = GetParam();
  TempDir dir;
  LiveProgram program(dir, {{"FileFormat", c.fileFormat}});
  ASSERT_NE(program.Window(), nullptr);
  program.Click(IDC_RECORD);
  Sleep(kCaptureStartMs);
  ASSERT_TRUE(PlayTone(dir.path(), kToneHz, 0.5, kAmplitude, true));
  Sleep(300);
  ASSERT_TRUE(EndSoundServer());
  const std::string file = std::string("0001") + c.extension;
  EXPECT_TRUE(program.WaitForTitle("Velmora Sondrel - " + file, 15000)) << "title: " << program.Title();
  const std::string next = program.Text(IDC_FILENAME);
  EXPECT_EQ(next.substr(next.size() - 8), std::string("0002") + c.extension) << next;
  EXPECT_EQ(program.BoxText(), "") << "a device-lost stop shows nothing";

  const ToneCheck check = CheckTone(dir.File(file));
  ASSERT_EQ(check.audio.error, "");
  ASSERT_TRUE(check.span.found) << Describe(check);
  EXPECT_NEAR(check.span.seconds, 0.5, 0.1);
  EXPECT_NEAR(ProbedDuration(dir.File(file)), check.audio.Seconds(), 0.1) << "the file's header says its length";
}

INSTANTIATE_TEST_SUITE_P(Formats, LiveRecordingDeviceLost,
                         ::testing::Values(LostCase{"Wav", "1", ".wav"}, LostCase{"Mp3", "0", ".mp3"}),
                         [](const ::testing::TestParamInfo<LostCase>& info) { return info.param.name; });

TEST(LiveDevices, TheMonitorIsListedWithItsOneLine) {
  TempDir dir;
  LiveProgram program(dir, {});
  ASSERT_NE(program.Window(), nullptr);
  EXPECT_EQ(program.Text(IDC_DEVICE), kMonitorDevice);
  EXPECT_EQ(::SendMessageA(::GetDlgItem(program.Window(), IDC_INPUT), CB_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(program.Text(IDC_INPUT), kCaptureLine);
  const HWND devices = ::GetDlgItem(program.Window(), IDC_DEVICE);
  const LRESULT count = ::SendMessageA(devices, CB_GETCOUNT, 0, 0);
  EXPECT_GE(count, 1);
  for (LRESULT i = 0; i < count; ++i) {
    char name[256] = {};
    ::SendMessageA(devices, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(name));
    EXPECT_EQ(std::string(name).find("Test Capture"), std::string::npos) << "a virtual test device: " << name;
  }
}

TEST(LiveDevices, NoSoundServerAtAllSaysSoAndDisablesTheWindow) {
  ASSERT_TRUE(EndSoundServer());
  TempDir dir;
  LiveProgram program(dir, {});
  ASSERT_NE(program.Window(), nullptr);
  std::string text;
  for (int waited = 0; waited < 10000 && text.empty(); waited += 50, Sleep(50)) text = program.BoxText();
  EXPECT_EQ(text, "No available audio devices!");
  for (HWND box : TopLevelWindowsOf(program.Id(), "#32770")) {
    if (::GetDlgItem(box, 0xFFFF)) ::PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
  for (int waited = 0; waited < 5000 && !program.BoxText().empty(); waited += 50) Sleep(50);
  HWND main = nullptr;
  for (int waited = 0; waited < 10000 && !main; waited += 50, Sleep(50)) {
    for (HWND window : TopLevelWindowsOf(program.Id(), "#32770")) {
      if (::GetDlgItem(window, IDC_RECORD)) main = window;
    }
  }
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(main, IDC_RECORD)));
  EXPECT_EQ(::SendMessageA(::GetDlgItem(main, IDC_DEVICE), CB_GETCOUNT, 0, 0), 0);
}

}  // namespace
