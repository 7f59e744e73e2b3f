#pragma once
// A recording graph for the filter tests: a virtual capture device -> Wave Dest -> File
// Writer, with COM, the virtual devices and SondrelFilters.dll registered for the process.
#include <windows.h>
#include <dshow.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/BundledFilters.h"
#include "filters/kit/ComPtr.h"
#include "filters/wavdest/WaveHeader.h"
#include "tests/fixtures/capture/TestCapture.h"

// COM, the standard virtual devices and the bundled filters, for one test.
class CFilterTestEnvironment {
 public:
  // installDevices false: a child process that shares its parent's devices and their state.
  explicit CFilterTestEnvironment(bool installDevices = true);
  ~CFilterTestEnvironment();

  CTestCapture capture;

 private:
  HRESULT m_com;
  std::unique_ptr<CBundledFilters> m_filters;
};

class CRecordingGraph {
 public:
  // Builds and connects the graph for device, writing to path; then, as the recorder does,
  // suggests buffers and sets the capture format on the connected capture pin.
  HRESULT Build(int device, const std::string& path, const PcmFormat& format, long bufferBytes = 0);

  CComPtr<IGraphBuilder> graph;
  CComPtr<IBaseFilter> capture;
  CComPtr<IBaseFilter> writer;
  CComPtr<IBaseFilter> fileWriter;
  CComPtr<IMediaControl> control;
};

// The first pin of a filter in that direction.
CComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction);

// Byte i of the counter signal (TestCapture.h) in that format.
uint8_t CounterByte(const PcmFormat& format, uint64_t index);
// Index of the first byte of data that differs from the counter signal; data.size() if none.
size_t FirstCounterMismatch(const PcmFormat& format, const std::string& data);

// soxi's sample count, rate, channels and bits of a file: "samples rate channels bits".
std::string SoxInfo(const std::string& windowsPath);
