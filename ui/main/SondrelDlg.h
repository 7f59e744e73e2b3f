#pragma once
// The program's only main window: a modal dialog that runs for the whole life of the
// process. It owns the output file name, the recorder and the controls that stand for the
// settings; every such control writes its setting at once. The file is split by concern:
// SondrelDlg.cpp (the window and its controls), SondrelDlgSettings.cpp (the controls'
// handlers), SondrelDlgRecording.cpp (the recording commands).

#include <string>

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Font.h"
#include "recorder/OutputFileName.h"
#include "recorder/Recorder.h"
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

  // The recording in progress (its graph's events), for whoever watches it.
  const CRecorder& Recorder() const { return m_recorder; }

  std::string m_lastRecordedFile;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void LayOutBanner();
  void CreateClockFont();
  void ProcessGraphEvents();

  // Handlers.
  void OnSysCommand(UINT id, LPARAM lParam);
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnClose();
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
  HICON m_hIcon;
  CReadOnlyEdit m_fileNameEdit;
  CComboBox m_formatCombo;
  CComboBox m_deviceCombo;
  CComboBox m_inputCombo;
  CSliderCtrl m_volumeSlider;
  CStatic m_stateIcon;
  BOOL m_addNumbers = FALSE;
  BOOL m_overwritePrompt = FALSE;
  CFont m_clockFont;
  BOOL m_iconize = FALSE;
};
