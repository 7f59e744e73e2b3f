#pragma once
// One recording as one DirectShow graph: the capture filter, for MP3 the encoder, the WAV
// writer and the platform's File Writer, built afresh on every start and released on every
// stop. The recorder shows nothing; it returns COM results for the caller to report.

#include <dshow.h>

#include <cstdint>
#include <optional>
#include <string>

#include "filters/FilterClassIds.h"
#include "filters/kit/ComPtr.h"

// Value of `FileFormat` that records MP3; any other value records WAV.
constexpr unsigned kFormatMp3 = 0;

class CRecorder {
 public:
  CRecorder();
  ~CRecorder();
  CRecorder(const CRecorder&) = delete;
  CRecorder& operator=(const CRecorder&) = delete;

  // Each keeps a UTF-16 copy of the ANSI text.
  HRESULT SetOutputFile(const std::string& path);
  HRESULT SetDevice(const std::string& name);
  HRESULT SetInputLine(const std::string& name);

  // Set by the caller before each start.
  uint32_t m_bytesPerSample = 2;
  uint32_t m_sampleRate = 0;  // the capture format treats anything unsupported as 44100
  uint32_t m_channels = 1;
  double m_level = 0.5;  // applied limited to 0.0..1.0

  // Replaces the output file, builds, configures and runs the graph; its events are posted
  // to `notifyWindow` as WM_GRAPH_NOTIFY with instance data 0. 0 when the graph runs.
  HRESULT Start(unsigned format, HWND notifyWindow);
  // Stops and releases the graph (also when stopping fails) and forgets the names.
  HRESULT Stop();
  void Pause();
  void Resume();

  // The running graph's events; null without a graph.
  IMediaEventEx* MediaEvents() const { return m_mediaEvents.Get(); }
  bool HasGraph() const { return static_cast<bool>(m_graph); }

 private:
  HRESULT BuildGraph(unsigned format);
  void ConfigureGraph(unsigned format);
  HRESULT AddNewFilter(const CLSID& clsid, const wchar_t* name, CComPtr<IBaseFilter>& filter);
  HRESULT Connect(IBaseFilter* from, IBaseFilter* to);
  void StopEveryFilter();
  void ReleaseGraph();

  const uint32_t m_bufferDuration = 100;  // milliseconds
  std::optional<std::wstring> m_outputFile;
  std::optional<std::wstring> m_deviceName;
  std::optional<std::wstring> m_inputLineName;

  CComPtr<IGraphBuilder> m_graph;
  CComPtr<IMediaControl> m_mediaControl;
  CComPtr<IBaseFilter> m_captureFilter;
  CComPtr<IBaseFilter> m_encoder;
  CComPtr<IBaseFilter> m_waveWriter;
  CComPtr<IBaseFilter> m_fileWriter;
  CComPtr<IMediaEventEx> m_mediaEvents;
};

// Asks the capture filter's output pin for PCM at `rate` (8000, 11025, 22050, else 44100),
// 1 or 2 channels, 8 or 16 bits, in six buffers of `bufferDurationMs` (50..500) each. A
// connected pin reconnects with the format; this returns once it has (at most 1 s).
HRESULT SetCaptureFormat(uint32_t rate, IBaseFilter* filter, uint32_t channels, uint32_t bytesPerSample,
                         uint32_t bufferDurationMs);

