#pragma once
// The WAV writer, "Wave Dest": takes PCM audio (8 or 16 bits, 1 or 2 channels, any rate) or
// MPEG audio on its input and hands the bytes of the output file to the File Writer on its
// MEDIATYPE_Stream output, each sample stamped with its byte range (start = offset, stop =
// offset + length), which is how the File Writer places bytes.
//
// PCM becomes a WAV file (WaveHeader.h) whose header is rewritten at offset 0 after every
// data sample, when the graph leaves Running and at end of stream: a graph is stopped
// downstream first, so the File Writer has closed the file before this filter hears of the
// stop, and the file must be complete at every moment. An odd number of data bytes is
// followed by the pad byte RIFF requires, counted in the RIFF size but not in the data's.
// MPEG audio becomes the raw frame stream (an .mp3 file), in arrival order; an encoder that
// announced byte positions (BytePosition.h) places its samples, and so rewrites bytes it
// wrote before.
#include <windows.h>
#include <strmif.h>

#include <cstdint>
#include <string>

#include "filters/FilterClassIds.h"
#include "filters/kit/BaseFilter.h"
#include "filters/kit/BasePin.h"
#include "filters/kit/BytePosition.h"
#include "filters/wavdest/WaveHeader.h"
#include "filters/wavdest/WrittenFileCheck.h"
#include "framework/OwnedHandle.h"

extern const wchar_t kWaveDestName[];
extern const REGFILTER2 kWaveDestRegistration;

HRESULT CreateWaveDest(REFIID iid, void** out);

class CWaveDest;

class CWaveDestInputPin : public CWithInterfaces<CBaseInputPin, IBytePositionSink> {
 public:
  explicit CWaveDestInputPin(CWaveDest& owner);

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  void BreakConnect() override;
  HRESULT OnReceive(IMediaSample* sample) override;
  HRESULT OnEndOfStream() override;
  void OnBeginFlush() override;
  void OnEndFlush() override;

  // IBytePositionSink: taken while stopped, from the connected peer only.
  STDMETHODIMP UseBytePositions(IPin* from) override;
  // The peer announced byte positions (filter lock).
  bool PeerStampsPositions() const { return m_peerStampsPositions; }

 private:
  CWaveDest& m_owner;
  bool m_peerStampsPositions = false;
};

class CWaveDestOutputPin : public CBaseOutputPin {
 public:
  explicit CWaveDestOutputPin(CWaveDest& owner);

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  HRESULT GetMediaType(int index, CMediaType& type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) override;
};

class CWaveDest : public CWithInterfaces<CBaseFilter, IWrittenFileCheck> {
 public:
  CWaveDest();

  int GetPinCount() override { return 2; }
  CBasePin* GetPin(int index) override;

  static bool IsMpegAudio(const AM_MEDIA_TYPE& type);

  // IWrittenFileCheck
  STDMETHODIMP CheckWritesTo(LPCOLESTR path) override;

 protected:
  HRESULT OnStartStreaming() override;
  void OnLeaveRunning() override;
  void OnStopStreaming() override;

 private:
  friend class CWaveDestInputPin;

  HRESULT Receive(IMediaSample* sample);
  HRESULT EndOfStream();
  // Hands bytes to the File Writer at that offset, in as many samples as they need.
  HRESULT Write(uint64_t offset, const BYTE* data, long length);
  HRESULT WriteHeader();
  // The PCM data that arrived, with its pad byte after an odd count, then the header.
  HRESULT WriteSamples(const BYTE* data, long length);
  // Whether the file reaches `end` bytes; true when it is not checked.
  bool FileReaches(uint64_t end) const;
  // Reports the first failure to the graph once and returns it.
  HRESULT Fail(HRESULT hr);

  CWaveDestInputPin m_input;
  CWaveDestOutputPin m_output;
  // Stream state, under the streaming lock.
  bool m_pcm = false;
  bool m_positioned = false;  // MPEG samples go where their byte positions say
  PcmFormat m_format;
  uint64_t m_dataBytes = 0;
  uint64_t m_end = 0;  // one past the furthest byte written
  HRESULT m_failure = S_OK;
  std::wstring m_checkedPath;  // under the filter lock
  COwnedHandle m_checkedFile;  // open while streaming, when there is a path to check
};
