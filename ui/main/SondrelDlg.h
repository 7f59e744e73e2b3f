#pragma once
// The program's only main window: a modal dialog that runs for the whole life of the
// process. It owns the output file name, the recorder and the controls that stand for the
// settings; every such control writes its setting at once. The file is split by concern:
// SondrelDlg.cpp (the window and its controls), SondrelDlgSettings.cpp (the controls'
// handlers), SondrelDlgRecording.cpp (the recording commands), SondrelDlgTray.cpp (the
// notification-area icon and its menu), SondrelDlgTimer.cpp (the schedules and their clock).
//
// Every message box and nested dialog runs a message loop in which schedules, tray
// commands and graph events reach this window: code that resumes after one acts on the
// state as it is then.

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Font.h"
#include "recorder/OutputFileName.h"
#include "recorder/Recorder.h"
#include "scheduler/ScheduleTime.h"
#include "scheduler/TimeTrigger.h"
#include "ui/controls/ReadOnlyEdit.h"

class CSondrelDlg : public CDialog {
 public:
  CSondrelDlg();

  const MessageMap* GetMessageMap() const override;

  // Refreshes the state icon, the captions of Start/Stop and Pause/Resume and which of
  // Pause and Play may be pressed, from the recording state.
  void UpdateRecordingControls();
  // Optionally advances the counter (writing `FileCount`), then shows the current name.
  void UpdateFileName(bool advance);
  // Selects the first item whose text equals `text` exactly, else the first item.
  static void SelectComboByText(CComboBox& combo, const std::string& text);

  // The recording commands, also for the tray menu and the schedules.
  void ToggleRecording();
  void TogglePause();
  HRESULT StartRecorder();
  HRESULT StopRecorder();

  // The schedules: stores both rows in `StartTime` and `StopTime`, arms each enabled row
  // whose time lies in the future (an enabled row whose time does not leaves its trigger as
  // it was and, with `warn`, is reported) and runs the clock while one is armed.
  void ApplyTimerSettings(bool startEnabled, bool stopEnabled, bool warn, const ScheduleTime& start,
                          const ScheduleTime& stop);
  // Arms the stored schedules, silently; the last step of the initialisation.
  void LoadTimerSettings();

  // True hides the window to the notification area (with `Iconize` on; otherwise, or where
  // no icon can be added, it minimises); false restores it.
  void IconizeWindow(bool iconize);
  void RemoveTrayIcon();
  void ShowTrayMenu();
  // Removes the icon, shows the window and brings it to the front.
  void RestoreWindow();
  // The tray's "Exit": closes as the caption's close button does.
  void PostClose();

  // The recording in progress (its graph's events), for whoever watches it.
  const CRecorder& Recorder() const { return m_recorder; }
  const CTimeTrigger& StartTrigger() const { return m_startTrigger; }
  const CTimeTrigger& StopTrigger() const { return m_stopTrigger; }
  bool TrayIconShown() const { return m_trayIconShown != 0; }

  std::string m_lastRecordedFile;

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void DoDataExchange(CDataExchange* dx) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void LayOutBanner();
  void CreateClockFont();
  void ProcessGraphEvents();
  bool ConfirmOverwrite();

  // Tray side.
  NOTIFYICONDATAA TrayIconRecord(UINT flags) const;
  void AddTrayIcon();
  void UpdateTrayIcon();
  void RunTrayCommand(UINT id);
  static UINT TaskbarCreatedMessage();
  void OnTaskbarCreated();

  // Timer side.
  bool AnyScheduleArmed() const;
  void RestartScheduleClock();
  void UpdateKeepAwake();
  void SetKeepAwake(bool keepAwake);

  // Handlers.
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnSysCommand(UINT id, LPARAM lParam);
  void OnNcLButtonDown(UINT hitTest, POINTS point);
  void OnDestroy();
  LRESULT OnTrayNotify(WPARAM iconId, LPARAM mouseMessage);
  LRESULT OnScheduleDue(WPARAM trigger, LPARAM userValue);
  void OnTimer(UINT_PTR id);
  void OnTimerButton();
  void OnClose();
  LRESULT OnQueryEndSession(WPARAM, LPARAM);
  LRESULT OnEndSession(WPARAM ending, LPARAM);
  void OnVScroll(UINT code, UINT position, HWND scrollBar);
  void OnBrowse();
  void OnFormatChanged();
  void OnDeviceChanged();
  void OnInputChanged();
  void OnBannerClicked();
  void OnReset();
  void OnPlus();
  void OnAddSeqNumClicked();
  void OnOverwritePromptClicked();
  void OnIconizeClicked();
  void OnAudioSettings();
  void OnPlay();
  void OnHelpButton();

  COutputFileName m_outputFileName;
  CRecorder m_recorder;
  CTimeTrigger m_startTrigger;
  CTimeTrigger m_stopTrigger;
  int m_trayIconShown = 0;
  HICON m_hIcon;
  CReadOnlyEdit m_fileNameEdit;
  CComboBox m_formatCombo;
  CComboBox m_deviceCombo;
  CComboBox m_inputCombo;
  CSliderCtrl m_volumeSlider;
  CStatic m_stateIcon;
  BOOL m_addNumbers = FALSE;
  BOOL m_overwritePrompt = FALSE;
  UINT_PTR m_clockTimer = 0;
  CFont m_clockFont;
  BOOL m_iconize = FALSE;
  // The system is asked to stay awake while a schedule is armed or a recording runs.
  bool m_keepingAwake = false;
};
