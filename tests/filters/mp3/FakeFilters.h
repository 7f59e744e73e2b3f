#pragma once
// Two filters on the kit that put the encoder filter into a real filter graph under a
// test's control: a PCM source whose samples the test pushes, and a sink that keeps the
// bytes it receives where their byte positions say, as the WAV writer does for MP3.
#include <windows.h>
#include <strmif.h>

#include <string>
#include <vector>

#include "filters/kit/BaseFilter.h"
#include "filters/kit/BasePin.h"

class CPcmSource : public CBaseFilter {
 public:
  explicit CPcmSource(const WAVEFORMATEX& format);

  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &m_pin : nullptr; }

  // The format offered from now on (a reconnection makes it the connection's).
  void SetFormat(const WAVEFORMATEX& format) { m_format = format; }
  // Delivers `pcm` in samples of `blockBytes`, as a capture thread would; S_OK or the first
  // failure.
  HRESULT Push(const std::vector<uint8_t>& pcm, size_t blockBytes);

 private:
  class CPin : public CBaseOutputPin {
   public:
    explicit CPin(CPcmSource& source) : CBaseOutputPin(source, L"Capture"), m_source(source) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT GetMediaType(int index, CMediaType& type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) override;

   private:
    CPcmSource& m_source;
  };

  WAVEFORMATEX m_format;
  CPin m_pin;
};

struct SinkSample {
  LONGLONG position = -1;  // -1: no byte position
  size_t size = 0;
  bool timed = false;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  bool newType = false;
  unsigned typeBytesPerSecond = 0;  // of the type the sample carried
};

class CByteSink : public CBaseFilter {
 public:
  CByteSink();

  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &m_pin : nullptr; }

  std::string Bytes();
  std::vector<SinkSample> Samples();
  int EndOfStreams();

 private:
  class CPin : public CBaseInputPin {
   public:
    explicit CPin(CByteSink& sink) : CBaseInputPin(sink, L"In"), m_sink(sink) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;

   private:
    CByteSink& m_sink;
  };

  CCritSec m_dataLock;
  std::string m_bytes;
  std::vector<SinkSample> m_samples;
  int m_endOfStreams = 0;
  CPin m_pin;
};
