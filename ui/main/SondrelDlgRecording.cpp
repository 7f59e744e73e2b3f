// The recording state machine as the main dialog drives it: Start/Stop, Pause/Resume, Play,
// the graph's events, the question when the window closes during a recording, and the end of
// the Windows session.
#include "app/SettingsStore.h"
#include "app/SondrelApp.h"
#include "app/WindowMessages.h"
#include "recorder/PathProbe.h"
#include "res/resource.h"
#include "ui/dialogs/Player.h"
#include "ui/main/MessageBoxes.h"
#include "ui/main/PathParts.h"
#include "ui/main/SondrelDlg.h"
#include "ui/main/WindowUtilities.h"

// A message box shown here runs its own message loop, in which a schedule, a tray command,
// a graph event or a close may act first: whatever follows a box acts on the state as it is
// when the box returns.
void CSondrelDlg::ToggleRecording() {
  int& state = TheApp().m_recordingState;
  if (state == Idle) {
    if (!ConfirmOverwrite()) return;
    if (FAILED(StartRecorder())) {
      ShowErrorBox(IDS_START_FAILED);
    } else {
      state = Recording;
      UpdateTrayIcon();
    }
  } else if (state == Recording || state == Paused) {
    if (FAILED(StopRecorder())) {
      ShowErrorBox(IDS_STOP_FAILED);
    } else {
      state = Idle;
      UpdateTrayIcon();
      SetWindowText(LoadProgramString(IDS_APP_TITLE) + " - " + GetFileNamePart(m_lastRecordedFile));
    }
  }
  UpdateKeepAwake();
  UpdateRecordingControls();
}

// Whether a start from Idle may go on: asks before recording over anything that exists under
// the name (a folder too). The answer counts only for a dialog that is still idle, still
// running and still about to record that very name; for another name it asks again.
bool CSondrelDlg::ConfirmOverwrite() {
  for (;;) {
    const std::string name = m_outputFileName.GetFileName();
    if (ProbePath(name) == PathKind::Missing || !Settings().GetBool(OverwritePrompt)) return true;
    if (AskYesNoBox(IDS_OVERWRITE_FILE) != IDYES) return false;
    if (!ContinueModal() || TheApp().m_recordingState != Idle) return false;
    if (m_outputFileName.GetFileName() == name) return true;
  }
}

HRESULT CSondrelDlg::StartRecorder() {
  const CSettingsStore& settings = Settings();
  const std::string name = m_outputFileName.GetFileName();
  // A hand-edited template can name a device ("NUL" without numbers): the recording would
  // seem to run while nothing is kept, so it does not start.
  if (NamesDevice(name)) return E_INVALIDARG;
  m_recorder.SetOutputFile(name);
  m_recorder.SetDevice(settings.GetString(AudioDevice));
  m_recorder.SetInputLine(settings.GetString(AudioInput));
  m_recorder.m_bytesPerSample = settings.GetUInt(BytesPerSample);
  m_recorder.m_sampleRate = settings.GetUInt(SamplesPerSecond);
  m_recorder.m_channels = settings.GetUInt(Channels);
  m_recorder.m_level = settings.GetUInt(AudioVolume) / 100.0;
  return m_recorder.Start(settings.GetUInt(FileFormat), m_hWnd);
}

// A stop that fails still ends the recording (the recorder releases its graph either way),
// names the file and advances the counter; the stop that follows it only returns the window
// to Idle, so the counter advances once and the title names the file that was recorded.
HRESULT CSondrelDlg::StopRecorder() {
  if (m_recorder.HasGraph()) {
    m_lastRecordedFile = m_outputFileName.GetFileName();
    UpdateFileName(true);
  }
  return m_recorder.Stop();
}

void CSondrelDlg::TogglePause() {
  int& state = TheApp().m_recordingState;
  if (state == Recording) {
    m_recorder.Pause();
    state = Paused;
  } else if (state == Paused) {
    m_recorder.Resume();
    state = Recording;
  }
  UpdateRecordingControls();
}

// The player plays the last recording and lists the output folder. The state is Playing
// for as long as it is open; nothing else changes the state then (a schedule acts only
// while Idle or Recording).
void CSondrelDlg::OnPlay() {
  int& state = TheApp().m_recordingState;
  if (state != Idle) return;
  state = Playing;
  UpdateRecordingControls();
  CPlayer player(m_lastRecordedFile, GetFolderPart(m_outputFileName.GetFileName()), this);
  player.DoModal();
  state = Idle;
  UpdateRecordingControls();
}

LRESULT CSondrelDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GRAPH_NOTIFY && lParam == 0) ProcessGraphEvents();
  // The shell's message is numbered only at run time, which a message map cannot hold.
  if (message == TaskbarCreatedMessage()) OnTaskbarCreated();
  return CDialog::WindowProc(message, wParam, lParam);
}

// Drains the recording graph's events. A removed device (EC_DEVICE_LOST with 0) stops the
// recording as the Stop button would; a graph that aborts on its own (a full disk, a folder
// gone) stops the same way and the user is told, so the window never says "Recording"
// while nothing is written. A stop releases the recorder's event interface; the loop keeps
// a reference of its own and drains the stopped graph's remaining events through it: a
// device lost together with the output folder (one USB hub) may be heard of first, and
// the writes that failed before it, or in the stop, still have to be told.
void CSondrelDlg::ProcessGraphEvents() {
  CComPtr<IMediaEventEx> events = m_recorder.MediaEvents();
  if (!events) return;
  bool stopped = false;
  bool writesFailed = false;
  long code = 0;
  LONG_PTR first = 0;
  LONG_PTR second = 0;
  while (SUCCEEDED(events->GetEvent(&code, &first, &second, 0))) {
    const int state = TheApp().m_recordingState;
    const bool running = m_recorder.MediaEvents() == events.Get() && (state == Recording || state == Paused);
    const bool deviceRemoved = code == EC_DEVICE_LOST && second == 0;
    const bool aborted = code == EC_ERRORABORT;
    writesFailed = writesFailed || (aborted && (running || stopped));
    if (running && (deviceRemoved || aborted)) {
      ToggleRecording();
      stopped = TheApp().m_recordingState == Idle;
    }
    events->FreeEventParams(code, first, second);
  }
  if (stopped && writesFailed && TheApp().m_recordingState == Idle) ShowErrorBox(IDS_RECORDING_FAILED);
}

void CSondrelDlg::OnClose() {
  const int state = TheApp().m_recordingState;
  if ((state == Recording || state == Paused) && AskYesNoBox(IDS_QUIT_WHILE_RECORDING) != IDYES) return;
  Default();
}

// Windows ends the process soon after the session ends, without ExitInstance: the settings
// are saved as soon as it asks, and again once it ends, after the recording was stopped.
LRESULT CSondrelDlg::OnQueryEndSession(WPARAM, LPARAM) {
  SaveSettings();
  return TRUE;
}

// A recording is stopped as Stop stops it (the file finalised, the counter advanced), with
// no question and no message: nobody is left to answer one. A stop that fails has still
// ended the recording. A session end that was cancelled changes nothing.
LRESULT CSondrelDlg::OnEndSession(WPARAM ending, LPARAM) {
  if (!ending) return 0;
  int& state = TheApp().m_recordingState;
  if (state == Recording || state == Paused) {
    StopRecorder();
    state = Idle;
    UpdateKeepAwake();
    UpdateRecordingControls();
  }
  SaveSettings();
  return 0;
}
