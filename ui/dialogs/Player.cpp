#include "ui/dialogs/Player.h"

#include <memory>

#include "app/SettingsStore.h"
#include "app/WindowMessages.h"
#include "framework/WinApp.h"
#include "recorder/TextConversion.h"
#include "res/resource.h"
#include "ui/dialogs/PlayerDisplay.h"
#include "ui/main/MessageBoxes.h"
#include "ui/main/PathParts.h"
#include "ui/main/WindowUtilities.h"

namespace {

// The graph's events reach the player with this instance data; the recording graph's carry 0.
constexpr LONG_PTR kPlaybackGraphEvents = 1;
constexpr LONG kDragStateTimeoutMs = 10;
constexpr LONG kRewindStateTimeoutMs = 500;

// The button's images, drawn at the small icon size to fit it. Shared icons belong to the
// module: they are never destroyed.
HICON LoadButtonIcon(UINT id) {
  return static_cast<HICON>(::LoadImageA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(id), IMAGE_ICON,
                                         ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

struct FileSearchCloser {
  void operator()(HANDLE search) const {
    if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
  }
};
using FileSearch = std::unique_ptr<void, FileSearchCloser>;

}  // namespace

bool CPlayer::s_dragging = false;
OAFilterState CPlayer::s_stateBeforeDrag = State_Stopped;

CPlayer::CPlayer(std::string file, std::string folder, CWnd* parent)
    : CDialog(IDD_PLAYER, parent), m_currentFile(std::move(file)), m_folder(std::move(folder)) {}

CPlayer::~CPlayer() = default;  // the interface pointers release what they still hold

const MessageMap* CPlayer::GetMessageMap() const {
  using D = CPlayer;
  static constexpr MessageEntry entries[] = {
      On<WM_TIMER, &D::OnTimer>(),
      OnClicked<&D::OnPlayButton>(IDC_PLAY_BUTTON),
      OnCommandFrom<&D::OnFileListDoubleClick>(IDC_FILE_LIST, LBN_DBLCLK),
      On<WM_DESTROY, &D::OnDestroy>(),
      On<WM_HSCROLL, &D::OnHScroll>(),
      OnMessage<&D::OnGraphNotify>(WM_GRAPH_NOTIFY),
  };
  static constexpr MessageMap map{&CDialog::ThisMessageMap, entries};
  return &map;
}

void CPlayer::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_PLAY_BUTTON, m_playButton);
  DDX_Control(dx, IDC_POSITION, m_positionSlider);
  DDX_Control(dx, IDC_PLAY_TIME, m_timeLabel);
  DDX_Control(dx, IDC_FILE_LIST, m_fileList);
}

BOOL CPlayer::OnInitDialog() {
  CDialog::OnInitDialog();
  m_playIcon = LoadButtonIcon(IDI_PLAY);
  m_stopIcon = LoadButtonIcon(IDI_STOP);
  m_positionSlider.SetRange(0, 100, FALSE);
  m_positionSlider.SetPos(0);

  // The volume control tells the dialog its position through the scroll messages it posts.
  m_volume.CreateVolumeCtrl(this);
  m_volume.SetPosNotify(static_cast<int>(Settings().GetUInt(PlaybackVolume)));
  RECT place{};
  ::GetWindowRect(GetDlgItem(IDC_VOLUME_FRAME), &place);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
  ::MoveWindow(m_volume.m_hWnd, place.left, place.top, place.right - place.left, place.bottom - place.top, TRUE);

  m_playState = Stopped;
  ShowPlayStateIcon();
  OpenCurrentFile();
  FillFileList();
  return TRUE;
}

void CPlayer::OpenCurrentFile() {
  if (m_currentFile.empty() || ::GetFileAttributesA(m_currentFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ReleaseGraph();  // nothing of a file that is gone may go on playing
    SetWindowText(LoadProgramString(IDS_NO_FILE));
    EnableChildWindows(m_hWnd, false);
    m_fileList.EnableWindow(TRUE);
    return;
  }
  SetWindowText(GetFileNamePart(m_currentFile));
  if (FAILED(LoadFile())) {
    ShowErrorBox(IDS_PLAY_FAILED);
    return;
  }
  EnableChildWindows(m_hWnd, true);
  ResetPositionDisplay();
  ApplyVolume();
  TogglePlay();
}

// A graph that cannot play the file is not kept: nothing plays, and the play button has
// nothing to start.
HRESULT CPlayer::LoadFile() {
  ReleaseGraph();
  HRESULT hr = ::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IID_IGraphBuilder, m_graph.PutVoid());
  if (SUCCEEDED(hr)) hr = m_graph.As(m_control);
  if (SUCCEEDED(hr)) hr = m_graph.As(m_seeking);
  if (SUCCEEDED(hr)) hr = m_graph.As(m_events);
  if (SUCCEEDED(hr)) hr = m_graph->RenderFile(ToWide(m_currentFile).c_str(), nullptr);
  if (SUCCEEDED(hr)) {
    m_seeking->GetDuration(&m_duration);
    m_events->SetNotifyWindow(reinterpret_cast<OAHWND>(m_hWnd), WM_GRAPH_NOTIFY, kPlaybackGraphEvents);
    hr = m_graph.As(m_audio);
  }
  if (FAILED(hr)) ReleaseGraph();
  return hr;
}

// Without a graph nothing plays, whatever a failed Stop left behind, and the button and
// the position say so.
void CPlayer::ReleaseGraph() {
  if (m_playState != Stopped && m_control) m_control->Stop();
  m_playState = Stopped;
  StopPositionTimer();
  ShowPlayStateIcon();
  m_events.Reset();
  m_control.Reset();
  m_seeking.Reset();
  m_audio.Reset();
  m_duration = 0;
  if (m_graph) OnGraphReleased(m_graph.Detach()->Release());
}

HRESULT CPlayer::TogglePlay() {
  HRESULT hr = E_POINTER;  // no graph
  if (m_playState == Running) {
    StopPositionTimer();
    if (m_control) hr = m_control->Pause();
    if (SUCCEEDED(hr)) m_playState = PausedState;
    RefreshTimeLabel(0);
  } else {
    if (m_control) hr = m_control->Run();
    if (SUCCEEDED(hr)) m_playState = Running;
    RestartPositionTimer();
  }
  if (SUCCEEDED(hr)) ShowPlayStateIcon();
  return hr;
}

void CPlayer::ShowPlayStateIcon() { m_playButton.SetIcon(m_playState == Running ? m_stopIcon : m_playIcon); }

// The slider can seek only when the duration is known.
void CPlayer::ResetPositionDisplay() {
  m_positionSlider.SetPos(0);
  m_timeLabel.SetWindowText(FormatPlayingTime(0));
  LONGLONG duration = 0;
  m_positionSlider.EnableWindow(m_seeking && SUCCEEDED(m_seeking->GetDuration(&duration)));
}

void CPlayer::ApplyVolume() {
  const int position = m_volume.GetPos();
  if (m_audio) m_audio->put_Volume(VolumeToAttenuation(position));
  Settings().SetUInt(PlaybackVolume, static_cast<uint32_t>(position));
}

void CPlayer::RefreshTimeLabel(LONGLONG position) {
  if (position == 0 && (!m_seeking || FAILED(m_seeking->GetCurrentPosition(&position)))) return;
  const std::string text = FormatPlayingTime(position);
  if (m_timeLabel.GetWindowText() != text) m_timeLabel.SetWindowText(text);
}

void CPlayer::RestartPositionTimer() {
  StopPositionTimer();
  m_positionTimer = ::SetTimer(m_hWnd, IDT_PLAYER_POSITION, kPlayerPositionMs, nullptr);
}

void CPlayer::StopPositionTimer() {
  if (m_positionTimer != 0) ::KillTimer(m_hWnd, m_positionTimer);
  m_positionTimer = 0;
}

void CPlayer::OnTimer(UINT_PTR id) {
  if (id != IDT_PLAYER_POSITION) {
    Default();
    return;
  }
  LONGLONG position = 0;
  int percent = 0;
  const bool read = m_seeking && SUCCEEDED(m_seeking->GetCurrentPosition(&position));
  if (read) RefreshTimeLabel(position);
  if (!read || !PositionPercent(position, m_duration, percent)) percent = 0;
  m_positionSlider.SetPos(percent);
}

// The volume control reports its position where a scroll code usually stands, so the two
// sliders are told apart by the control, never by the code.
void CPlayer::OnHScroll(UINT code, UINT, HWND from) {
  if (from != nullptr && from == m_volume.m_hWnd) {
    ApplyVolume();
  } else {
    SeekToSlider(code);
  }
}

// The graph pauses for a drag and goes back to its state before it at the end: a paused
// graph stays paused.
void CPlayer::SeekToSlider(UINT code) {
  if (!m_seeking || !m_control) return;
  const int percent = m_positionSlider.GetPos();
  if (!s_dragging) {
    m_control->GetState(kDragStateTimeoutMs, &s_stateBeforeDrag);
    s_dragging = true;
    m_control->Pause();
  }
  LONGLONG position = PositionAtPercent(m_duration, percent);
  m_seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  if (code == SB_ENDSCROLL) {
    if (s_stateBeforeDrag == State_Stopped) m_control->Stop();
    if (s_stateBeforeDrag == State_Running) m_control->Run();
    s_dragging = false;
  }
  RefreshTimeLabel(position);
}

LRESULT CPlayer::OnGraphNotify(WPARAM, LPARAM) {
  const CComPtr<IMediaEventEx> events = m_events;
  if (!events) return 0;
  long code = 0;
  LONG_PTR first = 0;
  LONG_PTR second = 0;
  while (SUCCEEDED(events->GetEvent(&code, &first, &second, 0))) {
    if (code == EC_COMPLETE) {
      StopPositionTimer();
      StopAndRewind();
      ResetPositionDisplay();
      ShowPlayStateIcon();
    }
    events->FreeEventParams(code, first, second);
  }
  return 0;
}

void CPlayer::StopAndRewind() {
  if (!m_control || !m_seeking) return;
  if (m_playState != Stopped && SUCCEEDED(m_control->Stop())) m_playState = Stopped;
  OAFilterState state = State_Stopped;
  m_control->GetState(kRewindStateTimeoutMs, &state);
  LONGLONG start = 0;
  m_seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

void CPlayer::FillFileList() {
  AddFiles("*.mp3");
  AddFiles("*.wav");
}

// In the order the file system gives them; folders of a matching name are no files.
void CPlayer::AddFiles(const char* pattern) {
  WIN32_FIND_DATAA found{};
  const FileSearch search(::FindFirstFileA((m_folder + pattern).c_str(), &found));
  if (search.get() == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) m_fileList.AddString(m_folder + found.cFileName);
  } while (::FindNextFileA(search.get(), &found));
}

void CPlayer::OnFileListDoubleClick() {
  const int selected = m_fileList.GetCurSel();
  if (selected < 0) return;
  m_currentFile = m_fileList.GetText(selected);
  OpenCurrentFile();
}

void CPlayer::OnDestroy() {
  ReleaseGraph();
  Default();
}
