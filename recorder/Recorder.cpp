#include "recorder/Recorder.h"

#include <algorithm>

#include "app/SettingsStore.h"
#include "app/WindowMessages.h"
#include "filters/kit/MediaType.h"
#include "filters/mp3/AudioEncoderProperties.h"
#include "filters/wavdest/WrittenFileCheck.h"
#include "recorder/CaptureDevices.h"
#include "recorder/TextConversion.h"

namespace {
constexpr DWORD kAllContexts = CLSCTX_ALL;
constexpr long kBufferCount = 6;
constexpr uint32_t kLowestEncoderRate = 11025;
constexpr DWORD kReconnectionWaitMs = 1000;
constexpr DWORD kReconnectionPollMs = 5;

// True when the pin is connected with audio of that rate, channel count and sample size
// (in whatever wave format block: a device may use the extensible one).
bool IsConnectedWith(IPin* pin, const WAVEFORMATEX& wanted) {
  AM_MEDIA_TYPE type{};
  if (pin->ConnectionMediaType(&type) != S_OK) return false;
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
  const bool same = type.formattype == FORMAT_WaveFormatEx && wave && type.cbFormat >= sizeof(PCMWAVEFORMAT) &&
                    wave->nSamplesPerSec == wanted.nSamplesPerSec && wave->nChannels == wanted.nChannels &&
                    wave->wBitsPerSample == wanted.wBitsPerSample;
  FreeMediaTypeContents(type);
  return same;
}

bool IsConnected(IPin* pin) {
  CComPtr<IPin> peer;
  return SUCCEEDED(pin->ConnectedTo(peer.Put())) && peer;
}

// SetFormat on a connected pin reconnects it, on Windows possibly on another thread; what
// the filters downstream know of the format (the encoder's source rate) holds once the pin
// is connected with it. A pin that settles on something else costs the wait, no more.
void WaitForConnectionFormat(IPin* pin, const WAVEFORMATEX& wanted) {
  const DWORD start = ::GetTickCount();
  while (!IsConnectedWith(pin, wanted) && ::GetTickCount() - start < kReconnectionWaitMs) {
    ::Sleep(kReconnectionPollMs);
  }
}
}  // namespace

CRecorder::CRecorder() = default;

CRecorder::~CRecorder() { ReleaseGraph(); }

HRESULT CRecorder::SetOutputFile(const std::string& path) {
  m_outputFile = ToWide(path);
  return S_OK;
}

HRESULT CRecorder::SetDevice(const std::string& name) {
  m_deviceName = ToWide(name);
  return S_OK;
}

HRESULT CRecorder::SetInputLine(const std::string& name) {
  m_inputLineName = ToWide(name);
  return S_OK;
}

HRESULT CRecorder::Start(unsigned format, HWND notifyWindow) {
  // The caller has asked before replacing an existing file.
  if (m_outputFile) ::DeleteFileA(ToAnsi(m_outputFile->c_str()).c_str());
  HRESULT hr = BuildGraph(format);
  if (FAILED(hr)) return hr;
  ConfigureGraph(format);
  hr = m_graph->QueryInterface(IID_IMediaControl, m_mediaControl.PutVoid());
  if (FAILED(hr)) return hr;
  if (SUCCEEDED(m_graph->QueryInterface(IID_IMediaEventEx, m_mediaEvents.PutVoid()))) {
    m_mediaEvents->SetNotifyWindow(reinterpret_cast<OAHWND>(notifyWindow), WM_GRAPH_NOTIFY, 0);
  }
  hr = m_mediaControl->Run();
  if (FAILED(hr)) {
    StopEveryFilter();
    return hr;
  }
  return S_OK;
}

HRESULT CRecorder::Stop() {
  const HRESULT hr = m_mediaControl ? m_mediaControl->Stop() : S_OK;
  ReleaseGraph();
  m_outputFile.reset();
  m_deviceName.reset();
  m_inputLineName.reset();
  m_level = 0.5;
  return hr;
}

void CRecorder::Pause() {
  if (m_mediaControl) m_mediaControl->Pause();
}

void CRecorder::Resume() {
  if (m_mediaControl) m_mediaControl->Run();
}

HRESULT CRecorder::AddNewFilter(const CLSID& clsid, const wchar_t* name, CComPtr<IBaseFilter>& filter) {
  HRESULT hr = ::CoCreateInstance(clsid, nullptr, kAllContexts, IID_IBaseFilter, filter.PutVoid());
  if (FAILED(hr)) return hr;
  return m_graph->AddFilter(filter.Get(), name);
}

// The first output pin of `from` to the first input pin of `to`, through whatever the graph
// inserts between them.
HRESULT CRecorder::Connect(IBaseFilter* from, IBaseFilter* to) {
  CComPtr<IPin> output;
  CComPtr<IPin> input;
  HRESULT hr = FindPin(from, PINDIR_OUTPUT, output);
  if (FAILED(hr)) return hr;
  hr = FindPin(to, PINDIR_INPUT, input);
  if (FAILED(hr)) return hr;
  return m_graph->Connect(output.Get(), input.Get());
}

HRESULT CRecorder::BuildGraph(unsigned format) {
  if (!m_outputFile || !m_deviceName || !m_inputLineName) return E_INVALIDARG;
  ReleaseGraph();
  HRESULT hr = ::CoCreateInstance(CLSID_FilterGraph, nullptr, kAllContexts, IID_IGraphBuilder, m_graph.PutVoid());
  if (!m_graph) return hr;

  hr = FindCaptureFilter(ToAnsi(m_deviceName->c_str()).c_str(), m_captureFilter);
  if (FAILED(hr)) return hr;
  hr = m_graph->AddFilter(m_captureFilter.Get(), L"Audio Capture");
  if (FAILED(hr)) return hr;

  const bool mp3 = format == kFormatMp3;
  // Without the encoder, building goes on and fails at its connection below.
  if (mp3 && SUCCEEDED(::CoCreateInstance(CLSID_LameMp3Encoder, nullptr, kAllContexts, IID_IBaseFilter,
                                          m_encoder.PutVoid()))) {
    hr = m_graph->AddFilter(m_encoder.Get(), L"Lame MP3");
    if (FAILED(hr)) return hr;
  }
  hr = AddNewFilter(CLSID_WaveDest, L"Wave Dest", m_waveWriter);
  if (FAILED(hr)) return hr;
  // Not every writer registered under the class offers it.
  if (CComPtr<IWrittenFileCheck> check = ComQuery<IWrittenFileCheck>(m_waveWriter.Get())) {
    check->CheckWritesTo(m_outputFile->c_str());
  }

  hr = ::CoCreateInstance(CLSID_FileWriter, nullptr, kAllContexts, IID_IBaseFilter, m_fileWriter.PutVoid());
  if (FAILED(hr)) return hr;
  if (CComPtr<IFileSinkFilter> sink = ComQuery<IFileSinkFilter>(m_fileWriter.Get())) {
    sink->SetFileName(m_outputFile->c_str(), nullptr);
  }
  hr = m_graph->AddFilter(m_fileWriter.Get(), L"File Writer");
  if (FAILED(hr)) return hr;

  if (mp3) {
    // A missing encoder fails here, with E_POINTER from its pin look-up.
    hr = Connect(m_captureFilter.Get(), m_encoder.Get());
    if (FAILED(hr)) return hr;
    hr = Connect(m_encoder.Get(), m_waveWriter.Get());
  } else {
    hr = Connect(m_captureFilter.Get(), m_waveWriter.Get());
  }
  if (FAILED(hr)) return hr;
  return Connect(m_waveWriter.Get(), m_fileWriter.Get());
}

void CRecorder::ConfigureGraph(unsigned format) {
  // The level comes from a setting a user may have edited by hand; the mixer takes 0 to 1.
  SelectInputLine(std::clamp(m_level, 0.0, 1.0), ToAnsi(m_inputLineName->c_str()).c_str(), m_captureFilter.Get());
  SetCaptureFormat(m_sampleRate, m_captureFilter.Get(), m_channels, m_bytesPerSample, m_bufferDuration);
  if (format != kFormatMp3 || !m_encoder) return;
  CComPtr<IAudioEncoderProperties> encoder = ComQuery<IAudioEncoderProperties>(m_encoder.Get());
  if (!encoder) return;
  // The encoder reads the rate arriving at its input, once the capture pin has reconnected
  // with its format (SetCaptureFormat); MPEG audio starts at 11025 here.
  DWORD sourceRate = 0;
  encoder->get_SourceSampleRate(&sourceRate);
  encoder->set_SampleRate(std::max<DWORD>(sourceRate, kLowestEncoderRate));
  DWORD sourceChannels = 0;
  encoder->get_SourceChannels(&sourceChannels);
  const CSettingsStore& settings = Settings();
  const DWORD variable = settings.GetUInt(Mp3BitRateType);
  encoder->set_Variable(variable);
  if (variable != 0) {
    encoder->set_VariableMin(settings.GetUInt(Mp3MinBitRate));
    encoder->set_VariableMax(settings.GetUInt(Mp3MaxBitRate));
    encoder->set_VariableQ(settings.GetUInt(Mp3VbrQuality));
  } else {
    encoder->set_Bitrate(settings.GetUInt(Mp3ConstBitRate));
  }
  encoder->set_Quality(settings.GetUInt(Mp3EncQuality));
}

// A Run that failed part-way (the File Writer could not create the file) can leave filters
// paused or running: Wine's graph pauses the filters upstream of the one that failed and
// still counts itself stopped, so its Stop does nothing, and Windows' leaves the clean-up
// to the caller. Releasing such a graph never returns (Wine's retries without end to
// disconnect a filter that refuses while it streams). So the graph is stopped, then every
// filter that still is not. A stopped filter is left alone; the order does not matter, as a
// stopping filter releases a thread that waits to deliver to it.
void CRecorder::StopEveryFilter() {
  m_mediaControl->Stop();
  CComPtr<IEnumFilters> filters;
  if (FAILED(m_graph->EnumFilters(filters.Put()))) return;
  CComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.Put(), nullptr) == S_OK) {
    FILTER_STATE state = State_Stopped;
    if (FAILED(filter->GetState(0, &state)) || state != State_Stopped) filter->Stop();
  }
}

void CRecorder::ReleaseGraph() {
  m_captureFilter.Reset();
  m_waveWriter.Reset();
  m_fileWriter.Reset();
  m_mediaControl.Reset();
  m_mediaEvents.Reset();
  m_encoder.Reset();
  m_graph.Reset();
}

HRESULT SetCaptureFormat(uint32_t rate, IBaseFilter* filter, uint32_t channels, uint32_t bytesPerSample,
                         uint32_t bufferDurationMs) {
  if (rate != 8000 && rate != 11025 && rate != 22050) rate = 44100;
  const uint32_t sampleBytes = bytesPerSample == 1 ? 1 : 2;
  const uint32_t channelCount = channels == 1 ? 1 : 2;
  const uint32_t bytesPerSecond = rate * channelCount * sampleBytes;
  bufferDurationMs = std::clamp<uint32_t>(bufferDurationMs, 50, 500);

  CComPtr<IPin> pin;
  HRESULT hr = FindPin(filter, PINDIR_OUTPUT, pin);
  if (FAILED(hr)) return hr;
  CComPtr<IAMBufferNegotiation> buffers;
  hr = pin->QueryInterface(IID_IAMBufferNegotiation, buffers.PutVoid());
  if (FAILED(hr)) return hr;
  ALLOCATOR_PROPERTIES properties{};
  properties.cBuffers = kBufferCount;
  properties.cbBuffer = static_cast<long>(bufferDurationMs * bytesPerSecond / 1000);
  properties.cbAlign = static_cast<long>(sampleBytes * channelCount);
  properties.cbPrefix = 0;
  buffers->SuggestAllocatorProperties(&properties);

  CComPtr<IAMStreamConfig> config;
  hr = pin->QueryInterface(IID_IAMStreamConfig, config.PutVoid());
  if (FAILED(hr)) return hr;
  AM_MEDIA_TYPE* type = nullptr;
  if (SUCCEEDED(config->GetFormat(&type)) && type != nullptr) {
    if (type->pbFormat != nullptr && type->cbFormat >= sizeof(WAVEFORMATEX)) {
      auto* wave = reinterpret_cast<WAVEFORMATEX*>(type->pbFormat);
      wave->nSamplesPerSec = rate;
      wave->nAvgBytesPerSec = bytesPerSecond;
      wave->nChannels = static_cast<WORD>(channelCount);
      wave->wBitsPerSample = static_cast<WORD>(8 * sampleBytes);
      wave->nBlockAlign = static_cast<WORD>(sampleBytes * channelCount);
      const WAVEFORMATEX wanted = *wave;
      const bool connected = IsConnected(pin.Get());
      if (SUCCEEDED(config->SetFormat(type)) && connected) WaitForConnectionFormat(pin.Get(), wanted);
    }
    DeleteMediaType(type);
  }
  return S_OK;
}
