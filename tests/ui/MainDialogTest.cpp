// The real main dialog from the real resources, with the virtual capture device, driven by
// the messages a user's clicks, selections, scrolls and keys produce. Message boxes are
// answered by a watcher thread and their texts checked.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "support/AudioCheck.h"
#include "support/EnvironmentNumber.h"
#include "support/MessageBoxWatcher.h"
#include "tests/ui/MainDialogFixture.h"
#include "tests/ui/DialogDriver.h"
#include "tests/ui/ResourceGrowth.h"
#include "ui/main/WindowUtilities.h"

namespace {

TEST_F(MainDialogTest, FirstRunShowsTheNumberedNameInTheDocumentsFolder) {
  Settings().Load("");  // no configuration file
  Open();
  const std::string documents = GetDefaultRecordingFolder();
  ASSERT_FALSE(documents.empty());
  EXPECT_EQ(Text(IDC_FILENAME), documents + "\\0001.mp3");
  EXPECT_EQ(Settings().GetString(FileTemplate), documents + "\\");
  EXPECT_EQ(Selected(IDC_FORMAT), "MP3");
  EXPECT_EQ(Selected(IDC_DEVICE), kMainDeviceName);
  EXPECT_EQ(Selected(IDC_INPUT), "Microphone");
  EXPECT_EQ(Settings().GetString(AudioDevice), kMainDeviceName);
  EXPECT_EQ(Settings().GetString(AudioInput), "Microphone");
  EXPECT_EQ(Text(IDC_VOLUME_LABEL), "50%");
  EXPECT_EQ(::SendMessageA(Item(IDC_VOLUME), TBM_GETPOS, 0, 0), 50);
  for (const int box : {IDC_ADD_SEQ_NUM, IDC_OVERWRITE_PROMPT, IDC_ICONIZE}) {
    EXPECT_EQ(::SendMessageA(Item(box), BM_GETCHECK, 0, 0), BST_CHECKED) << box;
  }
  EXPECT_EQ(Text(0), "Velmora Sondrel");
  EXPECT_EQ(::GetFocus(), Item(IDC_BROWSE));
  ExpectControlsFor(Idle);
  Screenshot("main-window-idle.bmp");
}

TEST_F(MainDialogTest, MissingDeviceAndInputFallBackToTheFirstAndAreWrittenBack) {
  Settings().SetString(AudioDevice, "Unplugged Device");
  Settings().SetString(AudioInput, "Line In");
  Open();
  EXPECT_EQ(Selected(IDC_DEVICE), kMainDeviceName);
  EXPECT_EQ(Settings().GetString(AudioDevice), kMainDeviceName);
  EXPECT_EQ(Selected(IDC_INPUT), "Line In") << "a stored input of the device is kept";

  Settings().SetString(AudioDevice, "SONDREL TEST CAPTURE");
  Settings().SetString(AudioInput, "Gone");
  Close();
  Open();
  EXPECT_EQ(Selected(IDC_DEVICE), "SONDREL TEST CAPTURE");
  EXPECT_EQ(Selected(IDC_INPUT), "Microphone");
  EXPECT_EQ(Settings().GetString(AudioInput), "Microphone");
}

TEST_F(MainDialogTest, ControlsWriteTheirSettingsAtOnce) {
  Settings().SetUInt(FileCount, 9999);
  Open();
  EXPECT_EQ(Text(IDC_FILENAME), Name(9999));

  Select(IDC_FORMAT, 1);
  EXPECT_EQ(Settings().GetUInt(FileFormat), 1u);
  EXPECT_EQ(Text(IDC_FILENAME), Name(9999, ".wav"));
  Select(IDC_FORMAT, 0);

  Select(IDC_DEVICE, 2);  // "SONDREL TEST CAPTURE": one line
  EXPECT_EQ(Settings().GetString(AudioDevice), "SONDREL TEST CAPTURE");
  EXPECT_EQ(::SendMessageA(Item(IDC_INPUT), CB_GETCOUNT, 0, 0), 1);
  Select(IDC_DEVICE, 0);
  Select(IDC_INPUT, 2);
  EXPECT_EQ(Settings().GetString(AudioInput), "CD Audio");

  // The Home key takes the vertical slider to its top: 100 percent.
  ::SendMessageA(Item(IDC_VOLUME), WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(Settings().GetUInt(AudioVolume), 100u);
  EXPECT_EQ(Text(IDC_VOLUME_LABEL), "100%");
  ::SendMessageA(Item(IDC_VOLUME), WM_KEYDOWN, VK_NEXT, 0);  // a page down
  EXPECT_EQ(Settings().GetUInt(AudioVolume), 100u - ::SendMessageA(Item(IDC_VOLUME), TBM_GETPOS, 0, 0));

  Click(IDC_ADD_SEQ_NUM);
  EXPECT_FALSE(Settings().GetBool(AddSeqNum));
  EXPECT_EQ(Text(IDC_FILENAME), env.folder.path() + "\\video.mp3");
  Click(IDC_ADD_SEQ_NUM);
  EXPECT_EQ(Text(IDC_FILENAME), Name(9999));
  Click(IDC_OVERWRITE_PROMPT);
  EXPECT_FALSE(Settings().GetBool(OverwritePrompt));
  Click(IDC_ICONIZE);
  EXPECT_FALSE(Settings().GetBool(Iconize));

  Click(IDC_PLUS);  // 9999 wraps to 1
  EXPECT_EQ(Text(IDC_FILENAME), Name(1));
  EXPECT_EQ(Settings().GetUInt(FileCount), 1u);
  Click(IDC_PLUS);
  Click(IDC_PLUS);
  EXPECT_EQ(Settings().GetUInt(FileCount), 3u);
  Click(IDC_RESET);
  EXPECT_EQ(Text(IDC_FILENAME), Name(1));
  EXPECT_EQ(Settings().GetUInt(FileCount), 1u);
}

// "AudioVolume: -5" in a hand-edited file reads back as 2147483647.
TEST_F(MainDialogTest, OutOfRangeVolumeIsShownAndRecordedAsAtMost100) {
  Settings().SetUInt(AudioVolume, 4294967291u);
  ASSERT_EQ(Settings().GetUInt(AudioVolume), 2147483647u);
  env.capture.SetLine(MainDevice, 0, true, 0.5);
  Open();
  EXPECT_EQ(Text(IDC_VOLUME_LABEL), "100%");
  EXPECT_EQ(::SendMessageA(Item(IDC_VOLUME), TBM_GETPOS, 0, 0), 0) << "the slider's top";
  Click(IDC_RECORD);
  ExpectControlsFor(Recording);
  Click(IDC_RECORD);
  const TestDeviceState device = env.capture.State(MainDevice);
  EXPECT_EQ(device.lines[0].levelCalls, 1u) << "the mixer refused the level";
  EXPECT_DOUBLE_EQ(device.lines[0].level, 1.0);
}

// Delete and cut work in the name edit; a format chosen after that still takes effect.
TEST_F(MainDialogTest, FormatChangeTakesEffectAfterTheNameWasDeleted) {
  Open();
  ASSERT_EQ(Text(IDC_FILENAME), Name(1));
  ::SendMessageA(Item(IDC_FILENAME), EM_SETSEL, 0, -1);
  ::SendMessageA(Item(IDC_FILENAME), WM_KEYDOWN, VK_DELETE, 0);
  ASSERT_EQ(Text(IDC_FILENAME), "");
  Select(IDC_FORMAT, 1);
  EXPECT_EQ(Settings().GetUInt(FileFormat), 1u);
  EXPECT_EQ(Text(IDC_FILENAME), Name(1, ".wav"));
  ::SendMessageA(Item(IDC_FILENAME), EM_SETSEL, 0, -1);
  ::SendMessageA(Item(IDC_FILENAME), WM_CUT, 0, 0);
  ASSERT_EQ(Text(IDC_FILENAME), "");
  Select(IDC_FORMAT, 0);
  EXPECT_EQ(Settings().GetUInt(FileFormat), 0u);
  EXPECT_EQ(Text(IDC_FILENAME), Name(1));
}

// Answers the save-as dialog with a file name, as a user typing it and pressing Save.
class SaveAsAnswer {
 public:
  explicit SaveAsAnswer(std::string fileName) : m_fileName(std::move(fileName)), m_thread([this] { Run(); }) {}
  ~SaveAsAnswer() { m_thread.join(); }
  std::string initialFolderSeen;

 private:
  void Run() {
    for (int i = 0; i < 500; ++i, ::Sleep(20)) {
      HWND chooser = ::FindWindowA("#32770", "Save As");
      if (chooser == nullptr || !::IsWindowVisible(chooser)) continue;
      ::Sleep(200);
      HWND name = ::GetDlgItem(chooser, 0x47C);  // the file name box
      if (name == nullptr) name = ::GetDlgItem(chooser, 0x480);
      ::SetWindowTextA(name, m_fileName.c_str());
      ::PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      return;
    }
  }
  std::string m_fileName;
  std::thread m_thread;
};

TEST_F(MainDialogTest, ChosenFileStartsTheCounterAgainWithoutWritingIt) {
  Settings().SetUInt(FileCount, 25);
  Open();
  EXPECT_EQ(Text(IDC_FILENAME), Name(25));
  {
    SaveAsAnswer answer(env.folder.File("Take.mp3"));
    Click(IDC_BROWSE);
  }
  EXPECT_EQ(Text(IDC_FILENAME), env.folder.File("Take0001.mp3"));
  EXPECT_EQ(Settings().GetString(FileTemplate), env.folder.File("Take"));
  EXPECT_EQ(Settings().GetUInt(FileCount), 25u) << "written at the next advance";
  Click(IDC_PLUS);
  EXPECT_EQ(Settings().GetUInt(FileCount), 2u);
}

TEST_F(MainDialogTest, RecordsFromTheStartButtonAndAdvancesTheCounter) {
  Settings().SetUInt(FileCount, 7);
  Settings().SetString(AudioInput, "Line In");  // 1000 Hz
  Open();
  const std::string shown = Text(IDC_FILENAME);
  ASSERT_EQ(shown, Name(7));
  RecordingSpan span;
  ClickStart(span);
  ExpectControlsFor(Recording);
  Pump(300);
  Screenshot("main-window-recording.bmp");
  Pump(1200);
  ClickStop(span);
  ExpectControlsFor(Idle);
  EXPECT_EQ(Text(IDC_FILENAME), Name(8));
  EXPECT_EQ(Settings().GetUInt(FileCount), 8u);
  EXPECT_EQ(Text(0), "Velmora Sondrel - 0007.mp3");
  EXPECT_EQ(dialog->m_lastRecordedFile, shown);

  const DecodedAudio audio = DecodeWithFfmpeg(shown);
  ASSERT_EQ(audio.error, "");
  ExpectRecordedFor(audio, span);
  EXPECT_NEAR(ToneFrequency(audio.samples, audio.sampleRate), 1000.0, 10.0);
}

TEST_F(MainDialogTest, OverwriteQuestionAndStartFailure) {
  Open();
  WriteWholeFile(Name(1), "old");
  {
    MessageBoxWatcher watcher(IDNO);
    Click(IDC_RECORD);
    const std::vector<SeenMessageBox> seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "File already exists. Overwrite it?");
    EXPECT_EQ(seen[0].icon, BoxIcon::Question);
    EXPECT_EQ(seen[0].buttons, (std::vector<int>{IDYES, IDNO}));
  }
  ExpectControlsFor(Idle);
  EXPECT_EQ(ReadWholeFile(Name(1)), "old");
  {
    MessageBoxWatcher watcher(IDYES);
    Click(IDC_RECORD);
    EXPECT_EQ(watcher.Seen().size(), 1u);
  }
  ExpectControlsFor(Recording);
  Pump(500);
  Click(IDC_RECORD);
  EXPECT_NE(ReadWholeFile(Name(1)), "old");

  Settings().SetString(AudioDevice, "Unplugged Device");
  {
    MessageBoxWatcher watcher(IDOK);
    Click(IDC_RECORD);
    const std::vector<SeenMessageBox> seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "Could not start recording!");
    EXPECT_EQ(seen[0].icon, BoxIcon::Error);
    EXPECT_EQ(seen[0].caption, app.GetAppName());
  }
  ExpectControlsFor(Idle);
  EXPECT_EQ(Settings().GetUInt(FileCount), 2u) << "a failed start does not advance the counter";
}

TEST_F(MainDialogTest, PauseThenStop) {
  Open();
  Click(IDC_RECORD);
  Pump(400);
  Click(IDC_PAUSE);
  ExpectControlsFor(Paused);
  Pump(300);
  Click(IDC_PAUSE);
  ExpectControlsFor(Recording);
  Click(IDC_PAUSE);
  Click(IDC_RECORD);  // stops from Paused directly
  ExpectControlsFor(Idle);
  EXPECT_EQ(Text(0), "Velmora Sondrel - 0001.mp3");
  EXPECT_EQ(DecodeWithFfmpeg(Name(1)).error, "");
}

// What the main window and the player show while the player is open, read from the actor.
struct WhilePlaying {
  bool playEnabled = true;
  HICON stateIcon = nullptr;
  std::vector<std::string> files;
  std::string timeAfterASecond;
};

TEST_F(MainDialogTest, PlayOpensThePlayerOnTheLastRecordingWhileTheStateIsPlaying) {
  Settings().SetString(AudioInput, "Line In");
  Open();
  {
    DialogActor actor("No File", [](HWND) {});
    Click(IDC_PLAY);
    EXPECT_TRUE(actor.Finish()) << "before any recording the player has no file";
  }
  ExpectControlsFor(Idle);

  Click(IDC_RECORD);
  Click(IDC_PLAY);  // disabled while recording: nothing happens
  EXPECT_EQ(State(), Recording);
  Pump(1500);
  Click(IDC_RECORD);
  WhilePlaying seen;
  {
    DialogActor actor("0001.mp3", [&](HWND player) {
      seen.playEnabled = ::IsWindowEnabled(Item(IDC_PLAY)) != FALSE;
      seen.stateIcon = reinterpret_cast<HICON>(::SendMessageA(Item(IDC_STATE_ICON), STM_GETICON, 0, 0));
      seen.files = ListBoxItems(::GetDlgItem(player, IDC_FILE_LIST));
      HWND time = ::GetDlgItem(player, IDC_PLAY_TIME);
      for (int i = 0; i < 100 && WindowText(time) != "00:01"; ++i) ::Sleep(50);
      seen.timeAfterASecond = WindowText(time);
      ::PostMessageA(player, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
    });
    Click(IDC_PLAY);
    ASSERT_TRUE(actor.Finish());
  }
  EXPECT_FALSE(seen.playEnabled);
  EXPECT_EQ(seen.stateIcon, Icon(IDI_STATE_PLAYING));
  EXPECT_EQ(seen.files, std::vector<std::string>{Name(1)}) << "the folder of the current name";
  EXPECT_EQ(seen.timeAfterASecond, "00:01") << "the player played the file";
  ExpectControlsFor(Idle);
}

TEST_F(MainDialogTest, BoxRaisedWhileThePlayerIsOpenIsOwnedByItAndComesToTheFront) {
  WriteWholeFile(env.folder.File("broken.mp3"), std::string(4096, 'x'));
  Open();
  MessageBoxWatcher watcher(IDOK);
  HWND shownPlayer = nullptr;
  DialogActor actor("No File", [&](HWND player) {
    shownPlayer = player;
    ::Sleep(300);  // the player has become the active window
    HWND list = ::GetDlgItem(player, IDC_FILE_LIST);
    ::SendMessageA(list, LB_SETCURSEL, 0, 0);
    ::PostMessageA(player, WM_COMMAND, MAKEWPARAM(IDC_FILE_LIST, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    for (int i = 0; i < 500 && watcher.Seen().empty(); ++i) ::Sleep(20);
    ::Sleep(300);  // the answer reaches the box
  });
  Click(IDC_PLAY);
  ASSERT_TRUE(actor.Finish());
  const std::vector<SeenMessageBox> seen = watcher.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "Could not run audio file!");
  EXPECT_EQ(seen[0].owner, shownPlayer);
  EXPECT_TRUE(seen[0].foreground);
}

// The audio settings a user picks are the ones the next recording has.
TEST_F(MainDialogTest, AudioButtonsSettingsReachTheNextRecording) {
  Settings().SetString(AudioInput, "Line In");  // 1000 Hz
  Open();
  const struct {
    const char* what;
    int format;  // index in the format list
    int bits;    // index in the bits list
    const char* rate;
    int channelButton;
    int modeButton;
    int constBitRate;  // index in the constant bit-rate list
    const char* extension;
    unsigned fileRate, channels, bitsPerSample;
    unsigned frameBitRate;  // every frame's, for a constant bit rate
  } cases[] = {
      {"WAV 8-bit 22050 Hz stereo", 1, 0, "22050", IDC_STEREO, IDC_CONSTANT_BIT_RATE, 0, ".wav", 22050, 2, 8, 0},
      {"MP3 at 8000 Hz: an 11025 Hz file, 128 kbit/s as 64", 0, 1, "8000", IDC_STEREO, IDC_CONSTANT_BIT_RATE, 11,
       ".mp3", 11025, 2, 0, 64},
      {"MP3 44100 Hz mono, variable", 0, 1, "44100", IDC_MONO, IDC_VARIABLE_BIT_RATE, 0, ".mp3", 44100, 1, 0, 0},
  };
  uint32_t number = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Select(IDC_FORMAT, c.format);
    DialogActor actor("Audio Settings", [&](HWND settings) {
      SelectComboItem(settings, IDC_BITS_PER_SAMPLE, c.bits);
      HWND rates = ::GetDlgItem(settings, IDC_SAMPLE_RATE);
      SelectComboItem(settings, IDC_SAMPLE_RATE,
                      int(::SendMessageA(rates, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(c.rate))));
      ClickItem(settings, c.channelButton);
      SelectComboItem(settings, IDC_CONST_BIT_RATE_LIST, c.constBitRate);
      ClickItem(settings, c.modeButton);
      ClickItem(settings, IDOK);
    });
    Click(IDC_AUDIO);
    ASSERT_TRUE(actor.Finish());
    EXPECT_EQ(Settings().GetUInt(SamplesPerSecond), uint32_t(std::atoi(c.rate)));

    RecordingSpan span;
    ClickStart(span);
    ASSERT_EQ(State(), Recording);
    Pump(1200);
    ClickStop(span);
    const std::string path = Name(number++, c.extension);
    const DecodedAudio audio = DecodeWithFfmpeg(path);
    ASSERT_EQ(audio.error, "");
    EXPECT_EQ(audio.sampleRate, c.fileRate);
    EXPECT_EQ(audio.channels, c.channels);
    ExpectRecordedFor(audio, span);
    EXPECT_NEAR(ToneFrequency(audio.samples, audio.sampleRate), 1000.0, 10.0);
    if (c.bitsPerSample != 0) {
      const WaveFile wave = ReadWaveHeader(path);
      EXPECT_EQ(wave.sampleRate, c.fileRate);
      EXPECT_EQ(wave.channels, c.channels);
      EXPECT_EQ(wave.bitsPerSample, c.bitsPerSample);
      continue;
    }
    const std::string bytes = ReadWholeFile(path);
    const std::vector<MpegFrameHeader> frames = MpegFrames(bytes);
    ASSERT_FALSE(frames.empty());
    EXPECT_NE(bytes.substr(0, frames[0].size).find(c.frameBitRate ? "Info" : "Xing"), std::string::npos);
    for (const MpegFrameHeader& frame : frames) {
      EXPECT_EQ(frame.sampleRate, c.fileRate);
      if (c.frameBitRate) {
        EXPECT_EQ(frame.bitRate, c.frameBitRate) << "frame at " << frame.offset;
      }
    }
  }
}

TEST_F(MainDialogTest, SystemMenuOpensTheAboutBoxAndPassesOtherCommandsOn) {
  Open();
  HMENU menu = ::GetSystemMenu(hwnd, FALSE);
  const int count = ::GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  EXPECT_EQ(::GetMenuItemID(menu, count - 1), UINT(IDM_ABOUTBOX));
  EXPECT_TRUE(::GetMenuState(menu, UINT(count - 2), MF_BYPOSITION) & MF_SEPARATOR);
  char item[64] = {};
  ::GetMenuStringA(menu, IDM_ABOUTBOX, item, sizeof item, MF_BYCOMMAND);
  EXPECT_STREQ(item, "&About Velmora Sondrel...");

  std::string nameLine;
  DialogActor actor("About Velmora Sondrel", [&](HWND about) {
    nameLine = WindowText(::GetDlgItem(about, IDC_ABOUT_NAME));
    ClickItem(about, IDOK);
  });
  ::SendMessageA(hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  ASSERT_TRUE(actor.Finish());
  EXPECT_EQ(nameLine.rfind("Velmora Sondrel v", 0), 0u) << nameLine;

  ::SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);  // not the program's own: the default closes
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }, 3000));
}

TEST_F(MainDialogTest, LostDeviceStopsTheRecording) {
  Open();
  Click(IDC_RECORD);
  Pump(500);
  // A lost-device event with a second parameter other than 0 is not a removal.
  CComPtr<IMediaEventSink> sink = ComQuery<IMediaEventSink>(dialog->Recorder().MediaEvents());
  ASSERT_TRUE(sink);
  sink->Notify(EC_DEVICE_LOST, 0, 1);
  Pump(500);
  EXPECT_EQ(State(), Recording);

  env.capture.ReportDeviceLost(MainDevice);
  EXPECT_TRUE(PumpUntil([&] { return State() == Idle; }));
  ExpectControlsFor(Idle);
  EXPECT_EQ(Settings().GetUInt(FileCount), 2u);
  EXPECT_EQ(Text(0), "Velmora Sondrel - 0001.mp3");
  const DecodedAudio audio = DecodeWithFfmpeg(Name(1));
  EXPECT_EQ(audio.error, "");
  EXPECT_GT(audio.Seconds(), 0.5);
}

// Also when the device is heard of first (a USB hub pulled with the microphone and the
// drive): the stop it makes must not swallow the failed writes.
TEST_F(MainDialogTest, AbortedGraphStopsAndTellsTheUser) {
  for (const bool deviceFirst : {false, true}) {
    SCOPED_TRACE(deviceFirst ? "the device lost first" : "aborted alone");
    Settings().SetUInt(FileCount, 1);
    Settings().SetBool(OverwritePrompt, false);
    Open();
    Click(IDC_RECORD);
    Pump(300);
    MessageBoxWatcher watcher(IDOK);
    CComPtr<IMediaEventSink> sink = ComQuery<IMediaEventSink>(dialog->Recorder().MediaEvents());
    ASSERT_TRUE(sink);
    if (deviceFirst) sink->Notify(EC_DEVICE_LOST, 0, 0);
    sink->Notify(EC_ERRORABORT, E_FAIL, 0);
    EXPECT_TRUE(PumpUntil([&] { return State() == Idle && !watcher.Seen().empty(); }));
    Pump(300);
    ExpectControlsFor(Idle);
    EXPECT_EQ(Settings().GetUInt(FileCount), 2u) << "one stop";
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].text, "Recording stopped because of an error!");
    EXPECT_EQ(watcher.Seen()[0].icon, BoxIcon::Error);
    Close();
  }
}

// Each recording builds a graph and releases it: many of them in one process leave no
// handle, window object, thread or memory behind. The soak run makes 500
// (SONDREL_START_STOP_CYCLES).
TEST_F(MainDialogTest, StartStopCyclesLeaveNothingBehind) {
  Open();
  MessageBoxWatcher watcher(IDOK);
  ExpectNoGrowthOver("Start/Stop", 5, EnvironmentNumber("SONDREL_START_STOP_CYCLES", 20), [&](int cycle) {
    Click(IDC_RECORD);
    ASSERT_EQ(State(), Recording) << "cycle " << cycle;
    Pump(100);
    Click(IDC_RECORD);
    ASSERT_EQ(State(), Idle) << "cycle " << cycle;
  });
  EXPECT_TRUE(watcher.Seen().empty()) << watcher.Seen()[0].text;
}

TEST_F(MainDialogTest, ClosingWhileRecordingAsksFirst) {
  Open();
  Click(IDC_RECORD);
  Pump(1000);
  Click(IDC_PAUSE);
  {
    MessageBoxWatcher watcher(IDNO);
    ::SendMessageA(hwnd, WM_CLOSE, 0, 0);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].text, "Application is still recording.\nDo you want to quit anyway?");
  }
  EXPECT_TRUE(::IsWindow(hwnd));
  EXPECT_EQ(State(), Paused);
  {
    MessageBoxWatcher watcher(IDYES);
    ::SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(watcher.Seen().size(), 1u);
  }
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }, 3000));
  dialog.reset();  // releases the recorder without stopping it
  EXPECT_EQ(Settings().GetUInt(FileCount), 1u) << "the counter does not advance";
  EXPECT_EQ(DecodeWithFfmpeg(Name(1)).error, "") << "the abandoned file is complete";
}

TEST_F(MainDialogTest, EscAndEnterEndTheDialogWithoutTheQuestion) {
  Settings().SetBool(OverwritePrompt, false);  // the second round records over the first file
  for (const WPARAM key : {WPARAM(VK_ESCAPE), WPARAM(VK_RETURN)}) {
    SCOPED_TRACE(key == VK_ESCAPE ? "Esc" : "Enter");
    MessageBoxWatcher watcher(IDNO);
    Open();
    Click(IDC_RECORD);
    ASSERT_EQ(State(), Recording);
    ::SetFocus(Item(IDC_DEVICE));  // not a push button
    ::PostMessageA(::GetFocus(), WM_KEYDOWN, key, 0);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }, 3000));
    EXPECT_TRUE(watcher.Seen().empty());
    Close();
    app.m_recordingState = Idle;
  }
}

// Lets the shell open web pages and .html files with a command that writes what it was given
// to a file, for as long as it lives; the prefix's own associations come back afterwards.
class ShellOpenRecorder {
 public:
  explicit ShellOpenRecorder(std::string outputFile) : m_output(std::move(outputFile)) {
    const std::string command = "C:\\windows\\system32\\cmd.exe /c echo %1>>\"" + m_output + "\"";
    m_webCommand = GetValue(kWebCommand);
    SetValue(".html", "SondrelTestPage");
    SetValue("SondrelTestPage\\shell\\open\\command", command);
    SetValue(kWebCommand, command);
  }
  ~ShellOpenRecorder() {
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, ".html");
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, "SondrelTestPage");
    SetValue(kWebCommand, m_webCommand);
  }
  // What the shell was asked to open so far, one line each.
  std::vector<std::string> Opened() const {
    std::vector<std::string> lines;
    const std::string text = ReadWholeFile(m_output);
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      std::string line = text.substr(start, end - start);
      while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }

 private:
  static constexpr const char* kWebCommand = "https\\shell\\open\\command";
  static std::string GetValue(const char* key) {
    char value[1024] = {};
    LONG size = sizeof value;
    ::RegQueryValueA(HKEY_CLASSES_ROOT, key, value, &size);
    return value;
  }
  static void SetValue(const char* key, const std::string& value) {
    ::RegSetValueA(HKEY_CLASSES_ROOT, key, REG_SZ, value.c_str(), static_cast<DWORD>(value.size()));
  }
  std::string m_output;
  std::string m_webCommand;
};

TEST_F(MainDialogTest, HelpButtonF1AndBannerOpenTheirPages) {
  ShellOpenRecorder shell(env.folder.File("opened.txt"));
  Open();
  char exe[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string helpPage = exe;
  helpPage = helpPage.substr(0, helpPage.rfind('\\')) + "\\Help\\index.html";

  Click(IDC_HELP_BUTTON);
  EXPECT_TRUE(PumpUntil([&] { return shell.Opened().size() == 1; }, 5000));

  // F1 from the keyboard reaches the application's Help command.
  ::SetForegroundWindow(hwnd);
  ::SetFocus(Item(IDC_DEVICE));
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = VK_F1;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ASSERT_EQ(::SendInput(2, keys, sizeof(INPUT)), 2u);
  EXPECT_TRUE(PumpUntil([&] { return shell.Opened().size() == 2; }, 5000));

  HWND banner = Item(IDC_BANNER);
  ::SendMessageA(banner, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  ::SendMessageA(banner, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_TRUE(PumpUntil([&] { return shell.Opened().size() == 3; }, 5000));
  Pump(500);
  const std::vector<std::string> opened = shell.Opened();
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_NE(opened[0].find(helpPage), std::string::npos) << opened[0];
  EXPECT_NE(opened[1].find(helpPage), std::string::npos) << opened[1];
  EXPECT_EQ(opened[2], "https://velmora.example/sondrel");
}

}  // namespace
