#pragma once
// The player window: plays one recorded file at a time through a playback graph of its
// own, shows the position on a slider and as minutes:seconds, seeks, pauses, sets the
// playback volume (stored in `PlaybackVolume` on every change) and lists the MP3 and then
// the WAV files of the output folder; a double-click plays another one.

#include <dshow.h>

#include <string>

#include "filters/kit/ComPtr.h"
#include "filters/kit/InterfaceIds.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "ui/controls/SliderCtrlEx.h"
#include "ui/controls/VolumeCtrl.h"

class CPlayer : public CDialog {
 public:
  // `file`: the file to play first (empty: none); `folder`: the folder to list, ending in a
  // backslash.
  CPlayer(std::string file, std::string folder, CWnd* parent = nullptr);
  ~CPlayer() override;

  const MessageMap* GetMessageMap() const override;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  // Told, each time the player lets go of a playback graph, how many references to the
  // graph are left after its own last one: 0 unless something else keeps the graph alive.
  virtual void OnGraphReleased(ULONG /*remainingReferences*/) {}

 private:
  enum PlayState { Stopped = 0, PausedState = 1, Running = 2 };

  void OpenCurrentFile();
  HRESULT LoadFile();
  void ReleaseGraph();
  HRESULT TogglePlay();
  void ResetPositionDisplay();
  void ApplyVolume();
  // A position of exactly 0 is read again from the graph; the label keeps its text when
  // no position can be read.
  void RefreshTimeLabel(LONGLONG position);
  void RestartPositionTimer();
  void StopPositionTimer();
  void ShowPlayStateIcon();
  void FillFileList();
  void AddFiles(const char* pattern);
  void SeekToSlider(UINT code);
  void StopAndRewind();

  void OnPlayButton() { TogglePlay(); }
  void OnTimer(UINT_PTR id);
  void OnHScroll(UINT code, UINT position, HWND from);
  void OnDestroy();
  LRESULT OnGraphNotify(WPARAM, LPARAM);
  void OnFileListDoubleClick();

  std::string m_currentFile;
  std::string m_folder;
  HICON m_playIcon = nullptr;
  HICON m_stopIcon = nullptr;
  UINT_PTR m_positionTimer = 0;
  CVolumeCtrl m_volume;
  CComPtr<IGraphBuilder> m_graph;
  CComPtr<IMediaSeeking> m_seeking;
  CComPtr<IMediaControl> m_control;
  CComPtr<IMediaEventEx> m_events;
  CComPtr<IBasicAudio> m_audio;
  LONGLONG m_duration = 0;
  PlayState m_playState = Stopped;
  CButton m_playButton;
  CSliderCtrlEx m_positionSlider;
  CStatic m_timeLabel;
  CListBox m_fileList;

  // A drag of the position slider in progress and the graph's state before it; one pair for
  // all player windows of the process.
  static bool s_dragging;
  static OAFilterState s_stateBeforeDrag;
};
