// The recording commands while one of their own message boxes is open: the box's message
// loop runs schedules, tray commands and graph events first, and what follows the box acts
// on the state as it is when the box returns. Each box is answered only after the test has
// made something happen inside its loop.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/WindowMessages.h"
#include "support/AudioCheck.h"
#include "support/MessageBoxWatcher.h"
#include "tests/ui/MainDialogFixture.h"
#include "tests/ui/SystemCallsRecorder.h"

namespace {

const char kOverwrite[] = "File already exists. Overwrite it?";
const char kStopFailed[] = "Could not stop recording!";

class ReentrancyTest : public MainDialogTest {
 protected:
  // The state as another thread sees it.
  int StateNow() const { return static_cast<volatile const int&>(app.m_recordingState); }
  template <class F>
  static bool WaitFor(F done, int ms = 10000) {
    for (int waited = 0; waited < ms && !done(); waited += 10) ::Sleep(10);
    return done();
  }
  void PostScheduleDue(int userValue) { ::PostMessageA(hwnd, WM_SCHEDULE_DUE, 0, userValue); }
  void PostTrayCommand(UINT id) { ::PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  uint32_t FiltersCreated() { return env.capture.State(MainDevice).filtersCreated; }

  SystemCallsRecorder calls;
};

TEST_F(ReentrancyTest, AStartWhileTheOverwriteQuestionIsOpenNeverMakesASecondRecorder) {
  const struct {
    const char* source;
    bool tray;
    int firstAnswer;
    int nestedAnswer;
    int state;
  } cases[] = {
      {"schedule, yes then yes", false, IDYES, IDYES, Recording},
      {"schedule, yes then no", false, IDYES, IDNO, Recording},
      {"schedule, no then yes", false, IDNO, IDYES, Recording},
      {"schedule, no then no", false, IDNO, IDNO, Idle},
      {"tray, yes then yes", true, IDYES, IDYES, Recording},
      {"tray, no then no", true, IDNO, IDNO, Idle},
  };
  Open();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    const std::string name = Text(IDC_FILENAME);
    WriteWholeFile(name, "old");
    const uint32_t created = FiltersCreated();
    MessageBoxWatcher watcher([&](const SeenMessageBox&, size_t index) {
      if (index == 0) {
        if (c.tray) PostTrayCommand(ID_TRAY_START);
        else PostScheduleDue(0);
        return c.firstAnswer;  // dispatched after the start, inside the start's own question
      }
      return c.nestedAnswer;
    });
    Click(IDC_RECORD);
    Pump(300);
    const std::vector<SeenMessageBox> seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 2u) << "the nested start asks its own question";
    EXPECT_EQ(seen[0].text, kOverwrite);
    EXPECT_EQ(seen[1].text, kOverwrite);
    ExpectControlsFor(c.state);
    const uint32_t recorders = c.state == Recording ? 1u : 0u;
    EXPECT_EQ(FiltersCreated() - created, recorders);
    EXPECT_EQ(env.capture.State(MainDevice).filtersAlive, static_cast<int32_t>(recorders));
    if (c.state == Recording) {
      Pump(300);
      Click(IDC_RECORD);
      EXPECT_NE(ReadWholeFile(name), "old");
    }
    EXPECT_EQ(ReadWholeFile(name) == "old", c.state == Idle);
  }
}

TEST_F(ReentrancyTest, TrayExitWhileTheOverwriteQuestionIsOpenEndsTheProgramWithoutRecording) {
  // The program's own modal run: the exit ends the dialog's loop once the box is answered.
  WriteWholeFile(Name(1), "old");
  dialog = std::make_unique<CSondrelDlg>();
  app.m_pMainWnd = dialog.get();
  HWND main = nullptr;
  MessageBoxWatcher watcher([&](const SeenMessageBox&, size_t) {
    ::PostMessageA(main, WM_COMMAND, MAKEWPARAM(ID_TRAY_EXIT, 0), 0);
    WaitFor([&] { return !::IsWindowVisible(main); }, 5000);  // the dialog is ending
    return IDYES;
  });
  std::thread user([&] {
    WaitFor([&] { return (main = dialog->m_hWnd) != nullptr && ::IsWindowVisible(main); });
    ::Sleep(200);
    ::PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_RECORD, BN_CLICKED), 0);
  });
  dialog->DoModal();
  user.join();
  ASSERT_EQ(watcher.Seen().size(), 1u);
  EXPECT_EQ(watcher.Seen()[0].text, kOverwrite);
  EXPECT_EQ(ReadWholeFile(Name(1)), "old") << "the answer started no recording";
  EXPECT_EQ(State(), Idle);
  EXPECT_EQ(env.capture.State(MainDevice).running, 0);
  EXPECT_EQ(Settings().GetUInt(FileCount), 1u);
}

TEST_F(ReentrancyTest, ALostDeviceWhileTheCloseQuestionIsOpenStopsOnce) {
  for (const int answer : {IDNO, IDYES}) {
    SCOPED_TRACE(answer == IDYES ? "Yes" : "No");
    Settings().SetUInt(FileCount, 1);
    Settings().SetBool(OverwritePrompt, false);
    Open();
    Click(IDC_RECORD);
    Pump(500);
    MessageBoxWatcher watcher([&](const SeenMessageBox&, size_t) {
      env.capture.ReportDeviceLost(MainDevice);
      WaitFor([&] { return StateNow() == Idle; });
      return answer;
    });
    ::SendMessageA(hwnd, WM_CLOSE, 0, 0);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].text, "Application is still recording.\nDo you want to quit anyway?");
    EXPECT_EQ(State(), Idle);
    EXPECT_EQ(Settings().GetUInt(FileCount), 2u) << "stopped once";
    EXPECT_EQ(dialog->m_lastRecordedFile, Name(1));
    EXPECT_EQ(DecodeWithFfmpeg(Name(1)).error, "");
    if (answer == IDYES) {
      EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }, 3000)) << "Yes closes";
    } else {
      Pump(300);
      EXPECT_TRUE(::IsWindow(hwnd)) << "No keeps the window";
      EXPECT_EQ(Text(0), "Velmora Sondrel - 0001.mp3");
      ExpectControlsFor(Idle);
    }
    Close();
  }
}

TEST_F(ReentrancyTest, AStopAfterAFailedStopAdvancesNothingAndNamesTheRecordedFile) {
  // The first stop fails (the recorder has released its graph regardless); the second ends
  // the recording, while the error box is open or after it.
  const struct {
    const char* sequence;
    std::function<void()> firstStop;
    std::function<void()> inBox;  // null: the second stop follows the box
    std::function<void()> afterBox;
  } cases[] = {
      {"button, then the schedule while the box is open", [this] { Click(IDC_RECORD); },
       [this] { PostScheduleDue(1); }, nullptr},
      {"lost device, then the schedule while the box is open", [this] { env.capture.ReportDeviceLost(MainDevice); },
       [this] { PostScheduleDue(1); }, nullptr},
      {"schedule, then the button", [this] { PostScheduleDue(1); }, nullptr, [this] { Click(IDC_RECORD); }},
      {"button, then the tray's Stop", [this] { Click(IDC_RECORD); }, nullptr,
       [this] { PostTrayCommand(ID_TRAY_STOP); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sequence);
    Settings().SetUInt(FileCount, 1);
    Settings().SetBool(OverwritePrompt, false);
    Open();
    Click(IDC_RECORD);
    Pump(500);
    env.capture.FailNextStop(MainDevice);
    {
      MessageBoxWatcher watcher([&](const SeenMessageBox&, size_t) {
        if (c.inBox) {
          c.inBox();
          WaitFor([&] { return StateNow() == Idle; });
        }
        return IDOK;
      });
      c.firstStop();
      ASSERT_TRUE(PumpUntil([&] { return !watcher.Seen().empty(); }, 5000));
      Pump(300);
      ASSERT_EQ(watcher.Seen().size(), 1u);
      EXPECT_EQ(watcher.Seen()[0].text, kStopFailed);
    }
    if (c.afterBox) {
      EXPECT_EQ(State(), Recording) << "a failed stop leaves the state";
      c.afterBox();
    }
    EXPECT_TRUE(PumpUntil([&] { return State() == Idle; }, 5000));
    ExpectControlsFor(Idle);
    EXPECT_EQ(Settings().GetUInt(FileCount), 2u) << "the counter advances once";
    EXPECT_EQ(Text(IDC_FILENAME), Name(2));
    EXPECT_EQ(dialog->m_lastRecordedFile, Name(1));
    EXPECT_EQ(Text(0), "Velmora Sondrel - 0001.mp3") << "the title names the file recorded";
    EXPECT_EQ(env.capture.State(MainDevice).running, 0);
    Close();
  }
}

}  // namespace
