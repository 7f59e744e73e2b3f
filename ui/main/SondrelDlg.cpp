#include "ui/main/SondrelDlg.h"

#include <algorithm>
#include <cstdio>

#include "app/ModuleDirectory.h"
#include "app/SettingsStore.h"
#include "app/SondrelApp.h"
#include "app/WindowMessages.h"
#include "framework/WinApp.h"
#include "recorder/CaptureDevices.h"
#include "res/resource.h"
#include "ui/dialogs/AboutDlg.h"
#include "ui/main/MessageBoxes.h"
#include "ui/main/WindowUtilities.h"

CSondrelDlg::CSondrelDlg()
    : CDialog(IDD_SONDREL_DIALOG),
      m_outputFileName(".unk", GetModuleDirectory()),
      m_hIcon(::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

const MessageMap* CSondrelDlg::GetMessageMap() const {
  using D = CSondrelDlg;
  static constexpr MessageEntry entries[] = {
      On<WM_SYSCOMMAND, &D::OnSysCommand>(),
      On<WM_PAINT, &D::OnPaint>(),
      On<WM_QUERYDRAGICON, &D::OnQueryDragIcon>(),
      OnMessage<&D::OnScheduleDue>(WM_SCHEDULE_DUE),
      OnMessage<&D::OnTrayNotify>(WM_TRAY_NOTIFY),
      OnClicked<&D::OnBrowse>(IDC_BROWSE),
      OnCommandFrom<&D::OnFormatChanged>(IDC_FORMAT, CBN_SELCHANGE),
      OnCommandFrom<&D::OnDeviceChanged>(IDC_DEVICE, CBN_SELCHANGE),
      OnCommandFrom<&D::OnInputChanged>(IDC_INPUT, CBN_SELCHANGE),
      OnClicked<&D::ToggleRecording>(IDC_RECORD),
      OnClicked<&D::TogglePause>(IDC_PAUSE),
      On<WM_CLOSE, &D::OnClose>(),
      OnMessage<&D::OnQueryEndSession>(WM_QUERYENDSESSION),
      OnMessage<&D::OnEndSession>(WM_ENDSESSION),
      OnClicked<&D::OnAudioSettings>(IDC_AUDIO),
      On<WM_VSCROLL, &D::OnVScroll>(),
      OnCommandFrom<&D::OnBannerClicked>(IDC_BANNER, STN_CLICKED),
      OnClicked<&D::OnReset>(IDC_RESET),
      OnClicked<&D::OnAddSeqNumClicked>(IDC_ADD_SEQ_NUM),
      OnClicked<&D::OnPlay>(IDC_PLAY),
      OnClicked<&D::OnOverwritePromptClicked>(IDC_OVERWRITE_PROMPT),
      OnClicked<&D::OnPlus>(IDC_PLUS),
      OnClicked<&D::OnTimerButton>(IDC_TIMER),
      On<WM_TIMER, &D::OnTimer>(),
      On<WM_NCLBUTTONDOWN, &D::OnNcLButtonDown>(),
      OnClicked<&D::OnIconizeClicked>(IDC_ICONIZE),
      On<WM_DESTROY, &D::OnDestroy>(),
      OnClicked<&D::OnHelpButton>(IDC_HELP_BUTTON),
  };
  static constexpr MessageMap map{&CDialog::ThisMessageMap, entries};
  return &map;
}

void CSondrelDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_FILENAME, m_fileNameEdit);
  DDX_Control(dx, IDC_FORMAT, m_formatCombo);
  DDX_Control(dx, IDC_DEVICE, m_deviceCombo);
  DDX_Control(dx, IDC_INPUT, m_inputCombo);
  DDX_Control(dx, IDC_VOLUME, m_volumeSlider);
  DDX_Control(dx, IDC_STATE_ICON, m_stateIcon);
  DDX_Check(dx, IDC_ADD_SEQ_NUM, m_addNumbers);
  DDX_Check(dx, IDC_OVERWRITE_PROMPT, m_overwritePrompt);
  DDX_Check(dx, IDC_ICONIZE, m_iconize);
}

BOOL CSondrelDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
  const std::string about = LoadProgramString(IDS_ABOUTBOX);
  if (systemMenu != nullptr && !about.empty()) {
    ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
  }
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  LayOutBanner();
  SetWindowText(LoadProgramString(IDS_APP_TITLE));

  CSettingsStore& settings = Settings();
  std::string folder = settings.GetString(FileTemplate);
  if (folder.empty()) folder = GetDefaultRecordingFolder();
  CreateClockFont();
  m_outputFileName.SetTemplate(folder, settings.GetUInt(FileCount));
  m_outputFileName.SetExtension(settings.GetUInt(FileFormat) == 0 ? ".mp3" : ".wav");
  UpdateFileName(false);

  m_formatCombo.AddString("MP3");
  m_formatCombo.AddString("WAV");
  m_formatCombo.SetCurSel(static_cast<int>(settings.GetUInt(FileFormat)));

  if (SUCCEEDED(FillDeviceCombo(m_deviceCombo))) {
    SelectComboByText(m_deviceCombo, settings.GetString(AudioDevice));
    OnDeviceChanged();
  } else {
    EnableChildWindows(m_hWnd, false);
    ShowInfoBox(IDS_NO_AUDIO_DEVICES);
  }

  m_volumeSlider.SetRange(0, 100, FALSE);
  m_volumeSlider.SetTicFreq(10);
  // A hand-edited file may hold anything: the slider and the label show it within 0..100.
  const int volume = static_cast<int>(std::min<uint32_t>(settings.GetUInt(AudioVolume), 100));
  m_volumeSlider.SetPos(100 - volume);
  char percent[16];
  std::snprintf(percent, sizeof percent, "%d%%", volume);
  SetDlgItemText(IDC_VOLUME_LABEL, percent);

  m_addNumbers = settings.GetBool(AddSeqNum);
  m_overwritePrompt = settings.GetBool(OverwritePrompt);
  m_iconize = settings.GetBool(Iconize);
  UpdateData(false);

  TheApp().m_recordingState = Idle;
  UpdateRecordingControls();
  ::SetFocus(GetDlgItem(IDC_BROWSE));
  LoadTimerSettings();
  return FALSE;  // the focus is set
}

// The banner spans the dialog with the same margin on both sides, keeping its aspect ratio.
void CSondrelDlg::LayOutBanner() {
  HWND banner = GetDlgItem(IDC_BANNER);
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  RECT frame{};
  ::GetWindowRect(banner, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  if (width <= 0) return;
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&frame), 2);
  const int newWidth = client.right - 2 * frame.left;
  const int newHeight = static_cast<int>(static_cast<double>(newWidth) * height / width + 0.5);
  ::MoveWindow(banner, frame.left, frame.top, newWidth, newHeight, TRUE);
}

void CSondrelDlg::CreateClockFont() {
  m_clockFont.CreateFont(-14, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "SANS SERIF");
  ::SendDlgItemMessageA(m_hWnd, IDC_CLOCK, WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(m_clockFont)),
                        TRUE);
}

void CSondrelDlg::UpdateRecordingControls() {
  struct StateLook {
    UINT icon;
    UINT recordCaption;
    UINT pauseCaption;
  };
  static constexpr StateLook kLooks[] = {
      {IDI_STATE_IDLE, IDS_START, IDS_PAUSE},          // Idle
      {IDI_STATE_RECORDING, IDS_STOP, IDS_PAUSE},      // Recording
      {IDI_STATE_PAUSED, IDS_STOP, IDS_RESUME},        // Paused
      {IDI_STATE_PLAYING, IDS_START, IDS_PAUSE},       // Playing
  };
  const int state = TheApp().m_recordingState;
  if (state < Idle || state > Playing) return;
  const StateLook& look = kLooks[state];
  // The previous icon is a shared resource icon: nothing to destroy.
  m_stateIcon.SetIcon(::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(look.icon)));
  SetDlgItemText(IDC_RECORD, LoadProgramString(look.recordCaption));
  SetDlgItemText(IDC_PAUSE, LoadProgramString(look.pauseCaption));
  ::EnableWindow(GetDlgItem(IDC_PAUSE), state == Recording || state == Paused);
  ::EnableWindow(GetDlgItem(IDC_PLAY), state == Idle);
}

void CSondrelDlg::UpdateFileName(bool advance) {
  if (advance) m_outputFileName.AdvanceSequenceNumber();
  m_fileNameEdit.SetWindowText(m_outputFileName.GetFileName());
  m_fileNameEdit.SetSel(0, -1);
}

void CSondrelDlg::SelectComboByText(CComboBox& combo, const std::string& text) {
  const int count = combo.GetCount();
  if (count <= 0) return;
  for (int i = 0; i < count; ++i) {
    if (combo.GetLBText(i) == text) {
      combo.SetCurSel(i);
      return;
    }
  }
  combo.SetCurSel(0);
}

void CSondrelDlg::OnSysCommand(UINT id, LPARAM) {
  const UINT command = id & 0xFFF0;
  if (command == IDM_ABOUTBOX) {
    CAboutDlg about(this);
    about.DoModal();
  } else if (command == SC_MINIMIZE && Settings().GetBool(Iconize)) {
    IconizeWindow(true);
  } else {
    Default();
  }
}

void CSondrelDlg::OnPaint() {
  if (!IsIconic()) {
    Default();
    return;
  }
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(m_hWnd, &paint);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc));
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  ::DrawIcon(dc, x, y, m_hIcon);
  ::EndPaint(m_hWnd, &paint);
}

HCURSOR CSondrelDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }
