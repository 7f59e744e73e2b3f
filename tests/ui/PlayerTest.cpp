// The player window from the real resources, under Wine with the PulseAudio null sink: it
// plays files Sondrel has just recorded (what reaches the sink is recorded from its monitor
// and checked), shows and seeks the position, sets and stores the volume, lists the output
// folder, and lets go of every playback graph it made.
#include "ui/dialogs/Player.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "app/SettingsStore.h"
#include "app/SondrelApp.h"
#include "recorder/Recorder.h"
#include "res/resource.h"
#include "support/AudioCheck.h"
#include "support/EnvironmentNumber.h"
#include "support/LinuxCommand.h"
#include "support/MessageBoxWatcher.h"
#include "tests/recorder/RecorderTestEnvironment.h"
#include "tests/ui/DialogDriver.h"
#include "tests/ui/ResourceGrowth.h"

namespace {

constexpr double kToneHz = 1000;  // the main device's "Line In"

// Records `seconds` of the tone as the main window's recorder does, as fast as the graph
// takes it.
void RecordTone(RecorderTestEnvironment& env, const std::string& path, unsigned format, double seconds) {
  const uint64_t frames = uint64_t(seconds * 44100);
  env.capture.SetPacing(MainDevice, TestPacing::Fast);
  env.capture.SetFrameLimit(MainDevice, frames);
  CRecorder recorder;
  recorder.SetOutputFile(path);
  recorder.SetDevice(kMainDeviceName);
  recorder.SetInputLine("Line In");
  recorder.m_sampleRate = 44100;
  recorder.m_level = 1.0;
  ASSERT_EQ(recorder.Start(format, nullptr), S_OK) << path;
  ASSERT_TRUE(env.capture.WaitForFrames(MainDevice, frames, 20000));
  ASSERT_GE(recorder.Stop(), 0);
}

// What the null sink plays during the next `seconds`, from its monitor (16-bit mono). A
// short latency makes parec deliver as it records; head ends it after exactly that much.
std::vector<int16_t> RecordSink(double seconds) {
  TempDir folder;
  const std::string raw = folder.File("sink.raw");
  RunLinuxCommand("timeout 20 parec --device=nullsink.monitor --latency-msec=20 --format=s16le --rate=44100 "
                  "--channels=1 | head -c " +
                  std::to_string(2 * int(seconds * 44100)) + " > " + ShellQuote(UnixPath(raw)));
  const std::string bytes = ReadWholeFile(raw);
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = int16_t(uint16_t(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8)));
  }
  return samples;
}

// A player that reports, for every graph it lets go of, the references left after its own.
class ObservedPlayer : public CPlayer {
 public:
  using CPlayer::CPlayer;
  std::vector<ULONG> released;

 protected:
  void OnGraphReleased(ULONG remainingReferences) override { released.push_back(remainingReferences); }
};

class PlayerTest : public ::testing::Test {
 protected:
  void TearDown() override { Close(); }

  std::string Folder() const { return env.folder.path() + "\\"; }
  void Open(const std::string& file, const std::string& folder = {}) {
    player = std::make_unique<ObservedPlayer>(file, folder.empty() ? Folder() : folder);
    ASSERT_TRUE(player->Create());
    hwnd = player->m_hWnd;
    player->ShowWindow(SW_SHOW);  // as a modal run shows it
    PumpMessages(50);  // what the dialog posted itself during its initialisation
  }
  void Close() {
    if (player && player->m_hWnd) ::DestroyWindow(player->m_hWnd);
  }

  HWND Item(int id) const { return ::GetDlgItem(hwnd, id); }
  std::string TimeShown() const { return WindowText(Item(IDC_PLAY_TIME)); }
  int SliderPosition() const { return static_cast<int>(::SendMessageA(Item(IDC_POSITION), TBM_GETPOS, 0, 0)); }
  HICON ButtonIcon() const {
    return reinterpret_cast<HICON>(::SendMessageA(Item(IDC_PLAY_BUTTON), BM_GETIMAGE, IMAGE_ICON, 0));
  }
  // The player's button images are the module's shared icons at the small size.
  static HICON ButtonImage(int id) {
    return static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON,
                                           ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                           LR_SHARED));
  }
  bool Playing() const { return ButtonIcon() == ButtonImage(IDI_STOP); }
  bool WaitForTime(const std::string& text, int ms = 10000) {
    return PumpUntil([&] { return TimeShown() == text; }, ms, hwnd);
  }

  // A click on the position slider's channel at `fraction` of its length, as the mouse gives it.
  void ClickSliderAt(double fraction) {
    HWND slider = Item(IDC_POSITION);
    RECT channel{};
    ::SendMessageA(slider, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    RECT client{};
    ::GetClientRect(slider, &client);
    const int width = channel.right - channel.left;
    const int x = (client.right - width) / 2 + int(fraction * width);
    const LPARAM at = MAKELPARAM(x, (channel.top + channel.bottom) / 2);
    ::SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageA(slider, WM_LBUTTONUP, 0, at);
  }
  // Takes the slider's thumb with the mouse and moves it to `fraction` of the channel.
  LPARAM GrabThumbAndMoveTo(double fraction) {
    HWND slider = Item(IDC_POSITION);
    RECT thumb{};
    ::SendMessageA(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    RECT channel{};
    ::SendMessageA(slider, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    const int y = (thumb.top + thumb.bottom) / 2;
    ::SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM((thumb.left + thumb.right) / 2, y));
    const LPARAM to = MAKELPARAM(channel.left + int(fraction * (channel.right - channel.left)), y);
    ::SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON, to);
    return to;
  }
  void ReleaseThumb(LPARAM at) { ::SendMessageA(Item(IDC_POSITION), WM_LBUTTONUP, 0, at); }
  // The user sets the volume control, which tells the dialog as a trackbar does.
  void SetVolume(int position) {
    HWND volume = Item(CVolumeCtrl::kControlId);
    ::SendMessageA(volume, TBM_SETPOS, TRUE, position);
    ::SendMessageA(hwnd, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(volume));
  }
  void DoubleClickEntry(int index) {
    ::SendMessageA(Item(IDC_FILE_LIST), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDC_FILE_LIST, LBN_DBLCLK),
                   reinterpret_cast<LPARAM>(Item(IDC_FILE_LIST)));
  }
  std::vector<std::string> ListedFiles() const { return ListBoxItems(Item(IDC_FILE_LIST)); }

  RecorderTestEnvironment env;
  CSondrelApp app;
  std::unique_ptr<ObservedPlayer> player;
  HWND hwnd = nullptr;
};

TEST_F(PlayerTest, PlaysARecordingToItsEndAndRewinds) {
  const struct {
    const char* name;
    unsigned format;
  } files[] = {{"take.mp3", kFormatMp3}, {"take.wav", 1}};
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    const std::string path = env.folder.File(file.name);
    RecordTone(env, path, file.format, 3.5);
    Open(path);
    EXPECT_EQ(WindowText(hwnd), file.name);
    EXPECT_TRUE(Playing());
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_POSITION)));
    EXPECT_TRUE(WaitForTime("00:02"));
    EXPECT_GT(SliderPosition(), 40);
    SaveScreenshot("player-playing.bmp");

    // The end of the file stops and rewinds: "00:00", the slider at 0, the play image.
    EXPECT_TRUE(PumpUntil([&] { return !Playing(); }, 10000, hwnd));
    EXPECT_EQ(TimeShown(), "00:00");
    EXPECT_EQ(SliderPosition(), 0);
    EXPECT_EQ(ButtonIcon(), ButtonImage(IDI_PLAY));
    ClickItem(hwnd, IDC_PLAY_BUTTON);
    EXPECT_TRUE(Playing());
    EXPECT_TRUE(WaitForTime("00:01")) << "played again from the start";
    Close();
  }
}

TEST_F(PlayerTest, ClickSeeksNearTheEndAndTheEndRewinds) {
  const std::string path = env.folder.File("take.mp3");
  RecordTone(env, path, kFormatMp3, 3.0);
  Open(path);
  ASSERT_TRUE(Playing());
  ClickSliderAt(0.7);  // about a second before the end
  EXPECT_EQ(TimeShown(), "00:02") << "the label shows the new position at once";
  EXPECT_TRUE(PumpUntil([&] { return !Playing(); }, 10000, hwnd)) << "played on from there to the end";
  EXPECT_EQ(TimeShown(), "00:00");
  EXPECT_EQ(SliderPosition(), 0);
  // Only a file rewound to its start can show a second: from the end it would stop at once.
  ClickItem(hwnd, IDC_PLAY_BUTTON);
  EXPECT_TRUE(WaitForTime("00:01"));
}

TEST_F(PlayerTest, DragPausesAndThenRestoresTheGraphsState) {
  const std::string path = env.folder.File("take.wav");
  RecordTone(env, path, 1, 6.0);
  Open(path);
  ASSERT_TRUE(Playing());

  // While playing: paused for the drag, playing again after it.
  LPARAM at = GrabThumbAndMoveTo(0.55);
  EXPECT_EQ(TimeShown(), "00:03");
  PumpMessages(1300, hwnd);
  EXPECT_EQ(TimeShown(), "00:03") << "the graph is paused while the thumb is held";
  ReleaseThumb(at);
  EXPECT_TRUE(WaitForTime("00:04", 5000)) << "playing again after the drag";

  // While paused: the graph stays paused.
  ClickItem(hwnd, IDC_PLAY_BUTTON);
  EXPECT_FALSE(Playing());
  at = GrabThumbAndMoveTo(0.2);
  ReleaseThumb(at);
  EXPECT_EQ(TimeShown(), "00:01");
  PumpMessages(1300, hwnd);
  EXPECT_EQ(TimeShown(), "00:01") << "a paused graph stays paused";
  EXPECT_FALSE(Playing());
  ClickItem(hwnd, IDC_PLAY_BUTTON);
  EXPECT_TRUE(WaitForTime("00:02", 5000));
}

// The sink plays the recorded tone, at the volume set: the peak at 60 against 100 is the
// amplitude of -11.09 dB, and 1 is silent. The file is long enough to outlast every
// recording of the sink, however slowly they start.
TEST_F(PlayerTest, SinkPlaysTheToneAtTheVolumeSetWhichIsStoredOnEveryChange) {
  const std::string path = env.folder.File("long.mp3");
  RecordTone(env, path, kFormatMp3, 60.0);
  Settings().SetUInt(PlaybackVolume, 100);
  Open(path);
  EXPECT_EQ(::SendMessageA(Item(CVolumeCtrl::kControlId), TBM_GETPOS, 0, 0), 100) << "the stored volume";
  PumpMessages(400, hwnd);
  const std::vector<int16_t> heard = RecordSink(1.0);
  EXPECT_NEAR(ToneFrequencyAcrossGaps(heard, 44100), kToneHz, kToneHz / 100);
  const int full = PeakAmplitude(heard);
  ASSERT_GT(full, 1000);
  const struct {
    int position;
    double amplitude;  // against full volume
  } cases[] = {{60, 0.279}, {1, 0.0}, {100, 1.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    SetVolume(c.position);
    EXPECT_EQ(Settings().GetUInt(PlaybackVolume), uint32_t(c.position));
    PumpMessages(400, hwnd);
    EXPECT_NEAR(double(PeakAmplitude(RecordSink(1.0))) / full, c.amplitude, 0.04);
  }
  Close();

  Settings().SetUInt(PlaybackVolume, 35);
  Open("");
  EXPECT_EQ(::SendMessageA(Item(CVolumeCtrl::kControlId), TBM_GETPOS, 0, 0), 35);
  SetVolume(1);
  EXPECT_EQ(Settings().GetUInt(PlaybackVolume), 1u) << "stored with no file loaded too";
}

TEST_F(PlayerTest, WithoutAFileOnlyTheListIsEnabledAndListsMp3BeforeWav) {
  for (const char* name : {"a.wav", "b.mp3", "c.wav", "d.mp3", "notes.txt"}) WriteWholeFile(env.folder.File(name), "x");
  ASSERT_TRUE(::CreateDirectoryA(env.folder.File("folder.mp3").c_str(), nullptr));
  Open("");
  EXPECT_EQ(WindowText(hwnd), "No File");
  for (HWND child = ::GetWindow(hwnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    EXPECT_EQ(::IsWindowEnabled(child) != FALSE, child == Item(IDC_FILE_LIST)) << ::GetDlgCtrlID(child);
  }
  const std::vector<std::string> files = ListedFiles();
  ASSERT_EQ(files.size(), 4u);
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(files[i].rfind(Folder(), 0), 0u) << "a full path: " << files[i];
    EXPECT_EQ(files[i].substr(files[i].size() - 4), i < 2 ? ".mp3" : ".wav") << files[i];
  }
  Close();

  Open(env.folder.File("gone.mp3"));
  EXPECT_EQ(WindowText(hwnd), "No File") << "a name with no file behind it";
  Close();

  TempDir empty;
  Open("", empty.path() + "\\");
  EXPECT_TRUE(ListedFiles().empty());
}

TEST_F(PlayerTest, FileThatCannotBeRenderedShowsTheErrorAndLeavesTheDialogUsable) {
  const std::string good = env.folder.File("good.wav");
  RecordTone(env, good, 1, 3.0);
  const std::string bad = env.folder.File("bad.mp3");
  WriteWholeFile(bad, std::string(4096, 'x'));
  {
    MessageBoxWatcher watcher(IDOK);
    Open(bad);
    const std::vector<SeenMessageBox> seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "Could not run audio file!");
    EXPECT_EQ(seen[0].icon, BoxIcon::Error);
  }
  ASSERT_TRUE(::IsWindow(hwnd));
  EXPECT_EQ(WindowText(hwnd), "bad.mp3");
  EXPECT_FALSE(Playing());
  ClickItem(hwnd, IDC_PLAY_BUTTON);
  EXPECT_FALSE(Playing()) << "nothing to play";

  const std::vector<std::string> files = ListedFiles();
  ASSERT_EQ(files, (std::vector<std::string>{bad, good}));
  DoubleClickEntry(-1);  // no entry selected: nothing opens
  EXPECT_EQ(WindowText(hwnd), "bad.mp3");
  DoubleClickEntry(1);
  EXPECT_EQ(WindowText(hwnd), "good.wav");
  EXPECT_TRUE(Playing());
  EXPECT_TRUE(WaitForTime("00:01"));

  // The bad file again, while the good one plays: it stops, and nothing claims to play.
  {
    MessageBoxWatcher watcher(IDOK);
    DoubleClickEntry(0);
    EXPECT_EQ(watcher.Seen().size(), 1u);
  }
  EXPECT_FALSE(Playing());
  const std::string shown = TimeShown();
  PumpMessages(1200, hwnd);
  EXPECT_EQ(TimeShown(), shown) << "no position moves any more";
  Close();
  EXPECT_EQ(player->released, (std::vector<ULONG>{0, 0, 0})) << "the failed graphs and the playing one";
}

class PlayerCycles : public PlayerTest {
 protected:
  // Opens and closes the player `cycles` times on a playing file; every graph it made must
  // be gone with its last reference.
  void Cycle(const std::string& path, int cycles) {
    for (int i = 0; i < cycles; ++i) {
      Open(path);
      ASSERT_TRUE(Playing()) << "cycle " << i;
      Close();
      ASSERT_EQ(player->released, std::vector<ULONG>{0}) << "cycle " << i << ": the graph outlived the player";
    }
  }
};

// The soak run makes a hundred cycles (SONDREL_PLAYER_CYCLES).
TEST_F(PlayerCycles, OpenCloseCyclesLeaveNoGraphBehind) {
  const std::string path = env.folder.File("take.mp3");
  RecordTone(env, path, kFormatMp3, 2.0);
  ExpectNoGrowthOver("player open/close", 5, EnvironmentNumber("SONDREL_PLAYER_CYCLES", 50),
                     [&](int) { Cycle(path, 1); });
}

}  // namespace
