#include "tests/filters/wavdest/RecordingGraph.h"

#include <uuids.h>

#include <sstream>

#include "filters/kit/MediaType.h"
#include "filters/wavdest/WaveDest.h"
#include "support/LinuxCommand.h"

CFilterTestEnvironment::CFilterTestEnvironment(bool installDevices) : m_com(::CoInitialize(nullptr)) {
  if (installDevices) capture.InstallDevices(StandardTestDevices());
  m_filters = std::make_unique<CBundledFilters>(BundledFiltersPath(), BundledFilterClasses());
}

CFilterTestEnvironment::~CFilterTestEnvironment() {
  m_filters.reset();
  if (SUCCEEDED(m_com)) ::CoUninitialize();
}

CComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction) {
  CComPtr<IEnumPins> pins;
  if (!filter || FAILED(filter->EnumPins(pins.Put()))) return {};
  CComPtr<IPin> pin;
  while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
    PIN_DIRECTION found;
    if (SUCCEEDED(pin->QueryDirection(&found)) && found == direction) return pin;
  }
  return {};
}

HRESULT CRecordingGraph::Build(int device, const std::string& path, const PcmFormat& format, long bufferBytes) {
  HRESULT hr = ::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IID_IGraphBuilder, graph.PutVoid());
  if (FAILED(hr)) return hr;
  hr = ::CoCreateInstance(CTestCapture::DeviceClass(device), nullptr, CLSCTX_ALL, IID_IBaseFilter, capture.PutVoid());
  if (FAILED(hr)) return hr;
  hr = ::CoCreateInstance(CLSID_WaveDest, nullptr, CLSCTX_ALL, IID_IBaseFilter, writer.PutVoid());
  if (FAILED(hr)) return hr;
  hr = ::CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_ALL, IID_IBaseFilter, fileWriter.PutVoid());
  if (FAILED(hr)) return hr;
  CComPtr<IFileSinkFilter> sink = ComQuery<IFileSinkFilter>(fileWriter.Get());
  std::wstring widePath(path.begin(), path.end());
  if (!sink || FAILED(hr = sink->SetFileName(widePath.c_str(), nullptr))) return FAILED(hr) ? hr : E_NOINTERFACE;
  if (FAILED(hr = graph->AddFilter(capture.Get(), L"Audio Capture"))) return hr;
  if (FAILED(hr = graph->AddFilter(writer.Get(), L"Wave Dest"))) return hr;
  if (FAILED(hr = graph->AddFilter(fileWriter.Get(), L"File Writer"))) return hr;
  CComPtr<IPin> captureOut = FirstPin(capture.Get(), PINDIR_OUTPUT);
  if (FAILED(hr = graph->Connect(captureOut.Get(), FirstPin(writer.Get(), PINDIR_INPUT).Get()))) return hr;
  if (FAILED(hr = graph->Connect(FirstPin(writer.Get(), PINDIR_OUTPUT).Get(), FirstPin(fileWriter.Get(), PINDIR_INPUT).Get()))) {
    return hr;
  }
  CComPtr<IAMBufferNegotiation> buffers = ComQuery<IAMBufferNegotiation>(captureOut.Get());
  if (buffers && bufferBytes > 0) {
    ALLOCATOR_PROPERTIES props{6, bufferBytes, format.BlockAlign(), 0};
    buffers->SuggestAllocatorProperties(&props);
  }
  CComPtr<IAMStreamConfig> config = ComQuery<IAMStreamConfig>(captureOut.Get());
  if (!config) return E_NOINTERFACE;
  CMediaType type = PcmMediaType(MakePcmFormat(format.sampleRate, format.channels, format.bitsPerSample));
  if (FAILED(hr = config->SetFormat(&type))) return hr;
  return graph.As(control);
}

uint8_t CounterByte(const PcmFormat& format, uint64_t index) {
  if (format.bitsPerSample == 8) return static_cast<uint8_t>(index);
  uint64_t point = index / 2;
  return static_cast<uint8_t>(index % 2 == 0 ? point : point >> 8);
}

size_t FirstCounterMismatch(const PcmFormat& format, const std::string& data) {
  for (size_t i = 0; i < data.size(); ++i) {
    if (static_cast<uint8_t>(data[i]) != CounterByte(format, i)) return i;
  }
  return data.size();
}

std::string SoxInfo(const std::string& windowsPath) {
  std::string file = ShellQuote(UnixPath(windowsPath));
  LinuxCommandResult result =
      RunLinuxCommand("echo $(soxi -s " + file + ") $(soxi -r " + file + ") $(soxi -c " + file + ") $(soxi -b " + file + ")");
  std::string text = result.output;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return result.finished && result.exitCode == 0 ? text : "soxi failed: " + text;
}
