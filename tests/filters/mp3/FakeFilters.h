#pragma once
// Filters on the kit that put the encoder filter into a real filter graph under a test's
// control: a PCM source whose samples the test pushes, and a sink that keeps the bytes it
// receives where their byte positions say, as the WAV writer does for MP3. And stand-ins
// for filters of other makers: the sink in a mode that ignores positions, and an encoder
// that stamps sample positions.
#include <windows.h>
#include <strmif.h>

#include <string>
#include <vector>

#include "filters/kit/BaseFilter.h"
#include "filters/kit/BasePin.h"
#include "filters/kit/BytePosition.h"
#include "filters/mp3/Mp3Encoder.h"

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
  // Delivers a sample whose buffer cannot be read; what the receiver returns.
  HRESULT PushUnreadable();

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
  enum class Positions { Honoured, Ignored };
  // Honoured: like Sondrel's WAV writer, it offers IBytePositionSink and places the samples
  // of a peer that announced positions. Ignored: like a writer of another maker, it offers
  // nothing of the kind and appends every sample in arrival order.
  explicit CByteSink(Positions positions = Positions::Honoured);

  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &m_pin : nullptr; }

  std::string Bytes();
  std::vector<SinkSample> Samples();
  int EndOfStreams();

 private:
  class CPin : public CWithInterfaces<CBaseInputPin, IBytePositionSink> {
   public:
    explicit CPin(CByteSink& sink) : CWithInterfaces(sink, L"In"), m_sink(sink) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    void BreakConnect() override;
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;
    STDMETHODIMP UseBytePositions(IPin* from) override;

   protected:
    void* FindInterface(REFIID iid) override;

   private:
    CByteSink& m_sink;
    bool m_announced = false;
  };

  const Positions m_positions;
  CCritSec m_dataLock;
  std::string m_bytes;
  std::vector<SinkSample> m_samples;
  int m_endOfStreams = 0;
  CPin m_pin;
};

// An MP3 encoder as other makers write them: frames in arrival order, every sample stamped
// with media times in input sample positions, no byte positions announced, no tag frame.
// It is flushed at end of stream.
class CSamplePositionEncoder : public CBaseFilter {
 public:
  CSamplePositionEncoder();

  int GetPinCount() override { return 2; }
  CBasePin* GetPin(int index) override;

 protected:
  HRESULT OnStartStreaming() override;
  void OnStopStreaming() override { m_encoder.Close(); }

 private:
  class CInput : public CBaseInputPin {
   public:
    explicit CInput(CSamplePositionEncoder& owner) : CBaseInputPin(owner, L"In"), m_owner(owner) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;

   private:
    CSamplePositionEncoder& m_owner;
  };
  class COutput : public CBaseOutputPin {
   public:
    explicit COutput(CSamplePositionEncoder& owner) : CBaseOutputPin(owner, L"Out"), m_owner(owner) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT GetMediaType(int index, CMediaType& type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) override;

   private:
    CSamplePositionEncoder& m_owner;
  };

  PcmFormat InputFormat() const;
  // Delivers what the encoder gave for the input up to sample position `end`.
  HRESULT Deliver(const std::vector<uint8_t>& bytes, uint64_t end);

  CInput m_input;
  COutput m_output;
  CMp3Encoder m_encoder;
  uint64_t m_position = 0;  // input sample frames delivered so far
};
