// The real Sondrel.exe recording live under Wine from the null sink's monitor of a PulseAudio
// daemon of the test's own (scripts/wine-live.sh), in a prefix without any virtual capture
// device, while the test plays tones into the sink with paplay, as a person would. The files
// are decoded by the host's ffmpeg.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
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
  // Clicks a button (or sends `message`) and, until the program has handled it, answers
  // every message box it shows with Yes or OK, as a user who agrees to everything would.
  // The texts of the boxes, in order; a message the program never finishes handling fails.
  std::vector<std::string> SendAnswering(UINT message, WPARAM wParam, LPARAM lParam) {
    std::atomic<bool> done{false};
    bool handled = false;
    std::thread sender([&] {
      DWORD_PTR result = 0;
      handled = ::SendMessageTimeoutA(Window(), message, wParam, lParam, SMTO_NORMAL, 30000, &result) != 0;
      done = true;
    });
    std::vector<std::string> texts;
    while (!done) {
      for (HWND box : TopLevelWindowsOf(Id(), "#32770")) {
        if (!::GetDlgItem(box, 0xFFFF)) continue;
        texts.push_back(WindowText(::GetDlgItem(box, 0xFFFF)));
        ::PostMessageA(box, WM_COMMAND, ::GetDlgItem(box, IDYES) ? IDYES : IDOK, 0);
        for (int waited = 0; waited < 5000 && ::IsWindow(box); waited += 20) Sleep(20);
      }
      Sleep(20);
    }
    sender.join();
    EXPECT_TRUE(handled) << "the program did not finish handling message " << message;
    return texts;
  }
  std::vector<std::string> ClickAnswering(int id) {
    return SendAnswering(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(Window(), id)));
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

// Starts a recording and plays a tone of `seconds` into it; the recording goes on.
void StartAndPlayTone(LiveProgram& program, const TempDir& dir, double seconds) {
  ASSERT_NE(program.Window(), nullptr);
  program.Click(IDC_RECORD);
  Sleep(kCaptureStartMs);
  ASSERT_TRUE(PlayTone(dir.path(), kToneHz, seconds, kAmplitude, true));
  Sleep(300);
}

// Records while a tone of `seconds` plays, starting after Start and ending before Stop.
void RecordTone(LiveProgram& program, const TempDir& dir, double seconds) {
  StartAndPlayTone(program, dir, seconds);
  Sleep(100);
  program.Click(IDC_RECORD);
}

// The file holds the whole tone of `seconds`, and its header says how long it is.
void ExpectCompleteTone(const std::string& path, double seconds) {
  const ToneCheck check = CheckTone(path);
  ASSERT_EQ(check.audio.error, "");
  ASSERT_TRUE(check.span.found) << Describe(check);
  EXPECT_NEAR(check.span.seconds, seconds, 0.1);
  EXPECT_NEAR(ProbedDuration(path), check.audio.Seconds(), 0.1) << "the file's header says its length";
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
  StartAndPlayTone(program, dir, 0.5);
  ASSERT_TRUE(EndSoundServer());
  const std::string file = std::string("0001") + c.extension;
  EXPECT_TRUE(program.WaitForTitle("Velmora Sondrel - " + file, 15000)) << "title: " << program.Title();
  const std::string next = program.Text(IDC_FILENAME);
  EXPECT_EQ(next.substr(next.size() - 8), std::string("0002") + c.extension) << next;
  EXPECT_EQ(program.BoxText(), "") << "a device-lost stop shows nothing";

  ExpectCompleteTone(dir.File(file), 0.5);
}

INSTANTIATE_TEST_SUITE_P(Formats, LiveRecordingDeviceLost,
                         ::testing::Values(LostCase{"Wav", "1", ".wav"}, LostCase{"Mp3", "0", ".mp3"}),
                         [](const ::testing::TestParamInfo<LostCase>& info) { return info.param.name; });

struct SessionEndCase {
  const char* name;
  const char* fileFormat;
  const char* extension;
  bool paused;
};

class LiveRecordingSessionEnd : public ::testing::TestWithParam<SessionEndCase> {};

// Logoff and shutdown: Windows asks, ends the session and soon ends the process, which never
// reaches its normal exit. The recording must be complete and the settings saved by then.
TEST_P(LiveRecordingSessionEnd, StopsTheRecordingAndSavesTheSettingsWithoutAsking) {
  const SessionEndCase& c = GetParam();
  TempDir dir;
  LiveProgram program(dir, {{"FileFormat", c.fileFormat}});
  StartAndPlayTone(program, dir, 0.5);
  if (c.paused) program.Click(IDC_PAUSE);

  DWORD_PTR answer = 0;
  ASSERT_NE(::SendMessageTimeoutA(program.Window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000,
                                  &answer),
            0)
      << "the program shows: " << program.BoxText();
  EXPECT_EQ(answer, DWORD_PTR(TRUE)) << "the session may end";
  EXPECT_EQ(program.Text(IDC_RECORD), "Stop") << "asking alone stops nothing";
  // Another program refused: the session goes on, and so does the recording.
  ASSERT_NE(::SendMessageTimeoutA(program.Window(), WM_ENDSESSION, FALSE, 0, SMTO_NORMAL, 20000, &answer), 0);
  EXPECT_EQ(program.Text(IDC_RECORD), "Stop") << "a cancelled session end stops nothing";
  ASSERT_NE(::SendMessageTimeoutA(program.Window(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000,
                                  &answer),
            0)
      << "the program shows: " << program.BoxText();
  EXPECT_EQ(program.BoxText(), "") << "nothing is asked or told";
  EXPECT_EQ(program.Text(IDC_RECORD), "Start");

  // What Windows does next.
  HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, program.Id());
  ASSERT_NE(process, nullptr);
  EXPECT_TRUE(::TerminateProcess(process, 1));
  EXPECT_EQ(::WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
  ::CloseHandle(process);

  const std::string saved = ReadWholeFile(dir.File("Sondrel.cfg"));
  EXPECT_NE(saved.find("\r\nFileCount: 2\r\n"), std::string::npos) << "the counter advanced and saved:\n" << saved;
  EXPECT_NE(saved.find("\r\nIconize: "), std::string::npos) << "every key saved:\n" << saved;
  const std::string file = std::string("0001") + c.extension;
  ExpectCompleteTone(dir.File(file), 0.5);
}

INSTANTIATE_TEST_SUITE_P(Formats, LiveRecordingSessionEnd,
                         ::testing::Values(SessionEndCase{"Wav", "1", ".wav", false},
                                           SessionEndCase{"Mp3Paused", "0", ".mp3", true}),
                         [](const ::testing::TestParamInfo<SessionEndCase>& info) { return info.param.name; });

// Waits until the file at `path` holds more than `bytes`, or `timeoutMs` has passed.
void WaitForFileBytes(const std::string& path, uintmax_t bytes, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  std::error_code error;
  while (std::filesystem::file_size(path, error) <= bytes || error) {
    if (::GetTickCount() - start > timeoutMs) return;
    Sleep(20);
  }
}

// Values a hand-edited settings file may hold and no dialog would write. "<dir>" stands
// for the test's folder.
struct HostileCase {
  const char* name;
  Settings changes;
  const char* recorded;  // the file the recording must leave in the folder; "" when none
  bool refused = false;  // the start is refused, with the program's message
};

class HostileSettings : public ::testing::TestWithParam<HostileCase> {};

// The program starts, records (or says it cannot), stops and ends as usual, without
// crashing or hanging, and saves a whole settings file.
TEST_P(HostileSettings, NeitherCrashNorHangTheProgram) {
  const HostileCase& c = GetParam();
  TempDir dir;
  Settings changes = c.changes;
  for (auto& [key, value] : changes) {
    const size_t at = value.find("<dir>");
    if (at != std::string::npos) value.replace(at, 5, dir.path());
  }
  auto program = std::make_unique<LiveProgram>(dir, changes);
  ASSERT_NE(program->Window(), nullptr) << "no window";
  const std::string name = program->Text(IDC_FILENAME);
  std::vector<std::string> boxes = program->ClickAnswering(IDC_RECORD);
  const bool started = program->Text(IDC_RECORD) == "Stop";
  if (started) {
    // Timed from when sound reaches the file: how soon that is after Start depends on how
    // busy the machine is.
    if (*c.recorded) WaitForFileBytes(dir.File(c.recorded), 4096, 10000);
    Sleep(kCaptureStartMs + 500);
    const std::vector<std::string> more = program->ClickAnswering(IDC_RECORD);
    boxes.insert(boxes.end(), more.begin(), more.end());
  }
  EXPECT_EQ(program->Text(IDC_RECORD), "Start");
  if (c.refused) {
    EXPECT_FALSE(started);
    ASSERT_FALSE(boxes.empty()) << "the user is told";
    EXPECT_EQ(boxes.back(), "Could not start recording!");
  }
  // What the program made of the values, for the log.
  std::printf("name \"%s\", %s\n", name.c_str(), started ? "recorded" : "did not start");
  for (const std::string& box : boxes) {
    std::printf("  box: %s\n", box.c_str());
    EXPECT_TRUE(box == "Could not start recording!" || box == "Recording stopped because of an error!" ||
                box == "File already exists. Overwrite it?")
        << "the program shows: " << box;
  }
  const DWORD id = program->Id();
  program->SendAnswering(WM_CLOSE, 0, 0);
  HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  DWORD exitCode = 1234;
  if (process) {
    EXPECT_EQ(::WaitForSingleObject(process, 20000), WAIT_OBJECT_0) << "the program did not end";
    ::GetExitCodeProcess(process, &exitCode);
    ::CloseHandle(process);
    EXPECT_EQ(exitCode, 0u);
  }
  program.reset();
  EXPECT_FALSE(FileExists(dir.File("Crash.rpt"))) << ReadWholeFile(dir.File("Crash.rpt"));
  const std::string saved = ReadWholeFile(dir.File("Sondrel.cfg"));
  EXPECT_EQ(saved.rfind("TraceLevel: ", 0), 0u) << saved;
  EXPECT_NE(saved.find("\r\nIconize: "), std::string::npos) << saved;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    std::printf("  left: %s (%ju bytes)\n", entry.path().filename().string().c_str(),
                entry.is_regular_file() ? uintmax_t(entry.file_size()) : uintmax_t(0));
  }
  if (*c.recorded) {
    const DecodedAudio audio = DecodeWithFfmpeg(dir.File(c.recorded));
    EXPECT_EQ(audio.error, "") << c.recorded;
    EXPECT_GT(audio.Seconds(), 0.2) << c.recorded;
  }
}

const std::string kLongName(300, 'x');

INSTANTIATE_TEST_SUITE_P(
    Values, HostileSettings,
    // A template that is no folder and no file in a folder is not taken: the recording goes
    // to the program's folder (the test's folder here). "NUL" without numbers reaches the
    // device, where nothing would be kept. Whether Windows takes a path longer than 260
    // characters depends on its version.
    ::testing::Values(HostileCase{"NulDevicePath", {{"FileTemplate", "\\\\.\\NUL"}}, "0001.wav"},
                      HostileCase{"ConsoleName", {{"FileTemplate", "CON"}}, "0001.wav"},
                      HostileCase{"NulFileInFolder", {{"FileTemplate", "<dir>\\NUL"}, {"AddSeqNum", "0"}}, "", true},
                      HostileCase{"PathLongerThan260", {{"FileTemplate", "<dir>\\" + kLongName}}, ""},
                      HostileCase{"HugeFileCount", {{"FileCount", "99999999999"}}, "9999.wav"},
                      HostileCase{"ZeroSampleRateWav", {{"SamplesPerSecond", "0"}}, "0001.wav"},
                      HostileCase{"ZeroSampleRateMp3", {{"SamplesPerSecond", "0"}, {"FileFormat", "0"}}, "0001.mp3"},
                      HostileCase{"ZeroChannelsAndBytes", {{"Channels", "0"}, {"BytesPerSample", "0"}}, "0001.wav"},
                      HostileCase{"TimesOutOfRange",
                                  {{"StartTime", "2027,13,9,45,99,99,99,9999,1"},
                                   {"StopTime", "-1,-1,-1,-1,-1,-1,-1,-1,1"}},
                                  "0001.wav"},
                      HostileCase{"TimesBeyondTheCalendar",
                                  {{"StartTime", "99999999999,2,0,30,12,0,0,0,1"},
                                   {"StopTime", "30827,12,0,31,23,59,59,999,1"}},
                                  "0001.wav"}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

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
