#pragma once
// "Lame MP3": a DirectShow filter that encodes PCM audio to MPEG audio layer III with
// CMp3Encoder, for the WAV writer to store as a .mp3 file.
//
// Its settings (IAudioEncoderProperties) apply from the next start of streaming, so values
// set after the pins are connected and before the graph runs hold for that run. The stream
// it delivers is the bytes of the file. Into a writer that announced it honours byte
// positions (Sondrel's WAV writer, filters/kit/BytePosition.h), every sample carries its
// byte range as media times, and the tag frame at byte 0 is delivered again, in place,
// after every second of audio and whenever the encoder is flushed. Any other writer gets
// plain frames in order, without media times and without a tag frame, which it could only
// append mid-stream. The encoder is flushed when the filter leaves Running (a pause, or a
// stop, which pauses first), so the file then holds all the audio, and at end of stream.
// Time stamps run on without gaps from 0 for each run, counted in the input's samples,
// whatever the time stamps that arrive. A failure of the encoder itself is reported to the
// graph once (EC_ERRORABORT) and ends the run's encoding; failures that come back from
// downstream are downstream's to report.
#include <windows.h>
#include <strmif.h>

#include <vector>

#include "filters/FilterClassIds.h"
#include "filters/kit/BaseFilter.h"
#include "filters/kit/BasePin.h"
#include "filters/kit/ClassFactory.h"
#include "filters/mp3/AudioEncoderProperties.h"
#include "filters/mp3/Mp3Encoder.h"

extern const wchar_t kLameMp3Name[];
extern const REGFILTER2 kLameMp3Registration;
HRESULT CreateLameMp3Encoder(REFIID iid, void** out);

class CMp3EncoderFilter;

// Takes 8/16-bit mono or stereo PCM at 8000 to 96000 Hz. It may be connected anew while
// the output stays connected (a capture pin reconnects after its format is set).
class CMp3InputPin : public CBaseInputPin {
 public:
  explicit CMp3InputPin(CMp3EncoderFilter& filter);

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  HRESULT CompleteConnect(IPin* peer) override;
  HRESULT OnReceive(IMediaSample* sample) override;
  HRESULT OnEndOfStream() override;
  void OnBeginFlush() override;
  void OnEndFlush() override;
  // The connected PCM format (valid while connected).
  PcmFormat Format() const;

 private:
  CMp3EncoderFilter& m_encoder;  // not counted: the filter owns the pin
};

// Offers MPEG audio of the rate and channels the encoder will produce for the connected
// input. While stopped, a new input rate or channel count, or a new output rate, reconnects
// it with the new type; when a run starts with a type that differs otherwise (a new bit
// rate), the first sample carries it if the peer accepts it.
class CMp3OutputPin : public CBaseOutputPin {
 public:
  explicit CMp3OutputPin(CMp3EncoderFilter& filter);

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  HRESULT GetMediaType(int index, CMediaType& type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) override;
  HRESULT CompleteConnect(IPin* peer) override;
  void BreakConnect() override;
  // Takes `type` as the connection's type when the peer accepts it; true when the type is
  // new, so that it goes with the next sample.
  bool ChangeType(const CMediaType& type);
  // The connected writer took the announcement of byte positions (filter lock).
  bool WriterTakesPositions() const { return m_writerTakesPositions; }

  static constexpr long kBufferSize = 32 * 1024;
  static constexpr long kBufferCount = 4;

 private:
  CMp3EncoderFilter& m_encoder;  // not counted: the filter owns the pin
  bool m_writerTakesPositions = false;
};

class CMp3EncoderFilter : public CWithInterfaces<CBaseFilter, IAudioEncoderProperties> {
 public:
  CMp3EncoderFilter();

  int GetPinCount() override { return 2; }
  CBasePin* GetPin(int index) override;

  // The settings as they would be used with the connected input (as asked while none is).
  Mp3Settings EffectiveSettings();
  // The type of the output for the connected input and the current settings.
  HRESULT OutputType(CMediaType& type);
  // While stopped, reconnects the output when its rate or channels no longer match
  // (filter lock held).
  void FollowInput();

  // Streaming side, streaming lock held (see the rules in BaseFilter.h).
  HRESULT Encode(IMediaSample* sample);
  HRESULT Finish();  // flushes, renews the tag and passes end of stream on
  void BeginFlush();
  void EndFlush();

  // IAudioEncoderProperties
  STDMETHODIMP get_PESOutputEnabled(DWORD* enabled) override;
  STDMETHODIMP set_PESOutputEnabled(DWORD enabled) override;
  STDMETHODIMP get_Bitrate(DWORD* bitrate) override;
  STDMETHODIMP set_Bitrate(DWORD bitrate) override;
  STDMETHODIMP get_Variable(DWORD* variable) override;
  STDMETHODIMP set_Variable(DWORD variable) override;
  STDMETHODIMP get_VariableMin(DWORD* minimum) override;
  STDMETHODIMP set_VariableMin(DWORD minimum) override;
  STDMETHODIMP get_VariableMax(DWORD* maximum) override;
  STDMETHODIMP set_VariableMax(DWORD maximum) override;
  STDMETHODIMP get_Quality(DWORD* quality) override;
  STDMETHODIMP set_Quality(DWORD quality) override;
  STDMETHODIMP get_VariableQ(DWORD* quality) override;
  STDMETHODIMP set_VariableQ(DWORD quality) override;
  STDMETHODIMP get_SourceSampleRate(DWORD* rate) override;
  STDMETHODIMP get_SourceChannels(DWORD* channels) override;
  STDMETHODIMP get_SampleRate(DWORD* rate) override;
  STDMETHODIMP set_SampleRate(DWORD rate) override;
  STDMETHODIMP get_ChannelMode(DWORD* mode) override;
  STDMETHODIMP set_ChannelMode(DWORD mode) override;
  STDMETHODIMP get_CRCFlag(DWORD* flag) override;
  STDMETHODIMP set_CRCFlag(DWORD flag) override;
  STDMETHODIMP get_ForceMono(DWORD* flag) override;
  STDMETHODIMP set_ForceMono(DWORD flag) override;
  STDMETHODIMP get_SetDuration(DWORD* flag) override;
  STDMETHODIMP set_SetDuration(DWORD flag) override;
  STDMETHODIMP get_OriginalFlag(DWORD* flag) override;
  STDMETHODIMP set_OriginalFlag(DWORD flag) override;
  STDMETHODIMP get_CopyrightFlag(DWORD* flag) override;
  STDMETHODIMP set_CopyrightFlag(DWORD flag) override;
  STDMETHODIMP get_EnforceVBRmin(DWORD* flag) override;
  STDMETHODIMP set_EnforceVBRmin(DWORD flag) override;
  STDMETHODIMP get_VoiceMode(DWORD* flag) override;
  STDMETHODIMP set_VoiceMode(DWORD flag) override;
  STDMETHODIMP get_KeepAllFreq(DWORD* flag) override;
  STDMETHODIMP set_KeepAllFreq(DWORD flag) override;
  STDMETHODIMP get_StrictISO(DWORD* flag) override;
  STDMETHODIMP set_StrictISO(DWORD flag) override;
  STDMETHODIMP get_NoShortBlock(DWORD* flag) override;
  STDMETHODIMP set_NoShortBlock(DWORD flag) override;
  STDMETHODIMP get_XingTag(DWORD* flag) override;
  STDMETHODIMP set_XingTag(DWORD flag) override;
  STDMETHODIMP get_ForceMS(DWORD* flag) override;
  STDMETHODIMP set_ForceMS(DWORD flag) override;
  STDMETHODIMP get_ModeFixed(DWORD* flag) override;
  STDMETHODIMP set_ModeFixed(DWORD flag) override;
  STDMETHODIMP get_ParameterBlockSize(BYTE* block, DWORD* size) override;
  STDMETHODIMP set_ParameterBlockSize(BYTE* block, DWORD size) override;
  STDMETHODIMP DefaultAudioEncoderProperties() override;
  STDMETHODIMP LoadAudioEncoderPropertiesFromRegistry() override;
  STDMETHODIMP SaveAudioEncoderPropertiesToRegistry() override;
  STDMETHODIMP InputTypeDefined() override;
  STDMETHODIMP ApplyChanges() override;
  STDMETHODIMP set_SampleOverlap(DWORD overlap) override;
  STDMETHODIMP get_SampleOverlap(DWORD* overlap) override;

 protected:
  HRESULT OnStartStreaming() override;
  void OnRun(REFERENCE_TIME start) override;
  void OnLeaveRunning() override;
  void OnStopStreaming() override;

 private:
  // Reports a failure of the encoder itself to the graph, once a run, and returns it.
  HRESULT Fail(HRESULT hr);
  // Runs a step of the stream; memory running out inside it is a failure, never an
  // exception that leaves a COM method.
  template <class Step>
  HRESULT Guarded(Step&& step);
  // Reads or writes one setting under the filter lock.
  HRESULT GetSetting(DWORD* out, unsigned Mp3Settings::*field);
  HRESULT SetSetting(unsigned Mp3Settings::*field, DWORD value);
  // Completes every frame of the audio so far and renews the tag.
  HRESULT FlushEncoder();
  // Delivers m_encoded at the end of the stream, in buffers of the allocator's size.
  HRESULT DeliverEncoded();
  // Delivers the current tag frame in place at byte 0.
  HRESULT DeliverTag();
  HRESULT DeliverBytes(const uint8_t* bytes, size_t size, LONGLONG position, const REFERENCE_TIME* start,
                       const REFERENCE_TIME* stop);
  REFERENCE_TIME TimeOfSamples(uint64_t samples) const;

  CMp3InputPin m_input;
  CMp3OutputPin m_output;
  Mp3Settings m_requested;  // as set through IAudioEncoderProperties (filter lock)

  // The stream of the current run (streaming lock).
  CMp3Encoder m_encoder;
  std::vector<uint8_t> m_encoded;
  LONGLONG m_bytesOut = 0;          // bytes delivered at the end of the stream
  REFERENCE_TIME m_timeOut = 0;     // where the next sample's time stamp starts
  uint64_t m_nextTagAt = 0;         // input samples after which the tag is renewed
  bool m_positioned = false;        // samples carry byte positions and the tag is renewed
  HRESULT m_failure = S_OK;         // the run's first failure of the encoder itself
  bool m_leftRunning = false;       // paused after running: anything arriving is flushed
  bool m_typeChanged = false;       // the next sample carries the output's new type
  bool m_discontinuity = true;      // the next sample starts the run's stream
};
