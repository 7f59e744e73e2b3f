#pragma once
// Filters of the benchmarks, on the filter kit, used in-process (never registered):
// - CDiscardSink, the end of a "capture to nothing" graph: takes any media type and forgets
//   every sample, so that a graph ending in it costs what the filters before it cost.
// - CStreamSource: delivers bytes at byte positions to a File Writer, as the WAV writer
//   does, so that one write of the File Writer can be timed by itself.
#include <windows.h>
#include <strmif.h>

#include <atomic>
#include <cstdint>

#include "filters/kit/BaseFilter.h"
#include "filters/kit/BasePin.h"

class CDiscardSink : public CBaseFilter {
 public:
  CDiscardSink();

  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &m_pin : nullptr; }

  uint64_t BytesReceived() const { return m_bytes; }

 private:
  class CPin : public CBaseInputPin {
   public:
    explicit CPin(CDiscardSink& sink) : CBaseInputPin(sink, L"In"), m_sink(sink) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE&) override { return S_OK; }
    HRESULT OnReceive(IMediaSample* sample) override;

   private:
    CDiscardSink& m_sink;
  };

  std::atomic<uint64_t> m_bytes{0};
  CPin m_pin;
};

class CStreamSource : public CBaseFilter {
 public:
  // Buffers of `bufferBytes`, as many as `buffers`.
  CStreamSource(long bufferBytes, long buffers);

  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &m_pin : nullptr; }

  // Delivers `bytes` bytes (of no particular value) to be written at `offset`; with
  // `deliver` false only takes a buffer from the allocator and gives it back.
  HRESULT Push(uint64_t offset, long bytes, bool deliver = true);

 private:
  class CPin : public CBaseOutputPin {
   public:
    CPin(CStreamSource& source) : CBaseOutputPin(source, L"Out"), m_source(source) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT GetMediaType(int index, CMediaType& type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) override;

   private:
    CStreamSource& m_source;
  };

  const long m_bufferBytes;
  const long m_buffers;
  CPin m_pin;
};
