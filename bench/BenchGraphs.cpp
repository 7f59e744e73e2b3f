#include "bench/BenchGraphs.h"

#include <vector>

#include "app/SettingsStore.h"
#include "bench/BenchFilters.h"
#include "filters/FilterClassIds.h"
#include "filters/kit/ComObject.h"
#include "filters/mp3/AudioEncoderProperties.h"
#include "recorder/CaptureDevices.h"

const char* Describe(BenchGraph graph) {
  switch (graph) {
    case BenchGraph::DeviceAlone: return "virtual device alone: capture -> nothing";
    case BenchGraph::WaveDestToNothing: return "capture -> Wave Dest -> nothing";
    case BenchGraph::EncoderToNothing: return "capture -> Lame MP3 -> nothing";
    case BenchGraph::Wav: return "WAV graph: capture -> Wave Dest -> File Writer";
    case BenchGraph::Mp3: return "MP3 graph: capture -> Lame MP3 -> Wave Dest -> File Writer";
  }
  return "";
}

void InstallBenchDevice(CTestCapture& capture, TestPacing pacing) {
  capture.InstallDevices({{L"Bench Capture", {{L"Line In", true, kBenchToneHz}}}});
  capture.SetPacing(0, pacing);
}

CRecorder& ConfigureRecorder(CRecorder& recorder, const std::string& path, const char* device, const char* line) {
  recorder.SetOutputFile(path);
  recorder.SetDevice(device);
  recorder.SetInputLine(line);
  recorder.m_sampleRate = kBenchRate;
  recorder.m_channels = 2;
  recorder.m_bytesPerSample = 2;
  recorder.m_level = 1.0;
  return recorder;
}

HRESULT CBenchGraph::Start(BenchGraph which, const std::string& path, const char* device, const char* line) {
  Stop();
  if (which == BenchGraph::Wav || which == BenchGraph::Mp3) {
    return ConfigureRecorder(m_recorder, path, device, line).Start(which == BenchGraph::Mp3 ? kFormatMp3 : 1, nullptr);
  }
  const HRESULT hr = StartChain(which, device);
  if (FAILED(hr)) Stop();
  return hr;
}

HRESULT CBenchGraph::StartChain(BenchGraph which, const char* device) {
  HRESULT hr = ::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IID_IGraphBuilder, m_graph.PutVoid());
  if (FAILED(hr)) return hr;
  std::vector<CComPtr<IBaseFilter>> chain(1);
  hr = FindCaptureFilter(device, chain[0]);
  if (FAILED(hr)) return hr;
  if (which != BenchGraph::DeviceAlone) {
    chain.emplace_back();
    const CLSID& middle = which == BenchGraph::EncoderToNothing ? CLSID_LameMp3Encoder : CLSID_WaveDest;
    hr = ::CoCreateInstance(middle, nullptr, CLSCTX_ALL, IID_IBaseFilter, chain.back().PutVoid());
    if (FAILED(hr)) return hr;
  }
  chain.emplace_back(MakeComObject<CDiscardSink>().Get());
  for (size_t i = 0; i < chain.size(); ++i) {
    hr = m_graph->AddFilter(chain[i].Get(), nullptr);
    if (FAILED(hr)) return hr;
    if (i == 0) continue;
    CComPtr<IPin> output;
    CComPtr<IPin> input;
    if (FAILED(hr = FindPin(chain[i - 1].Get(), PINDIR_OUTPUT, output))) return hr;
    if (FAILED(hr = FindPin(chain[i].Get(), PINDIR_INPUT, input))) return hr;
    if (FAILED(hr = m_graph->Connect(output.Get(), input.Get()))) return hr;
  }
  // As the recorder configures its graphs.
  SetCaptureFormat(kBenchRate, chain[0].Get(), 2, 2, 100);
  if (which == BenchGraph::EncoderToNothing) {
    CComPtr<IAudioEncoderProperties> encoder = ComQuery<IAudioEncoderProperties>(chain[1].Get());
    if (!encoder) return E_NOINTERFACE;
    encoder->set_SampleRate(kBenchRate);
    encoder->set_Variable(0);
    encoder->set_Bitrate(Settings().GetUInt(Mp3ConstBitRate));
    encoder->set_Quality(Settings().GetUInt(Mp3EncQuality));
  }
  hr = m_graph->QueryInterface(IID_IMediaControl, m_control.PutVoid());
  if (FAILED(hr)) return hr;
  hr = m_control->Run();
  return FAILED(hr) ? hr : S_OK;
}

void CBenchGraph::Stop() {
  if (m_control) m_control->Stop();
  m_control.Reset();
  m_graph.Reset();
  if (m_recorder.HasGraph()) m_recorder.Stop();
}
