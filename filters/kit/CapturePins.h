#pragma once
// Pins of an audio capture source, as the recorder drives them: the output pin that produces
// PCM in a format set through IAMStreamConfig, with the buffers suggested through
// IAMBufferNegotiation, and the input lines (a device's analog inputs, which never connect),
// switchable through IAMAudioInputMixer. The rules of the kit (BaseFilter.h) apply.
#include <windows.h>
#include <strmif.h>
#include <vfwmsgs.h>

#include <atomic>

#include "filters/PcmFormat.h"
#include "filters/kit/BasePin.h"
#include "filters/kit/InterfaceIds.h"

// An input line without a mixer: listed, never connected, never switched.
class CLineInputPin : public CBasePin {
 public:
  CLineInputPin(CBaseFilter& filter, const wchar_t* name) : CBasePin(filter, name, PINDIR_INPUT) {}
  HRESULT CheckMediaType(const AM_MEDIA_TYPE&) override { return VFW_E_TYPE_NOT_ACCEPTED; }
};

// An input line with a mixer switch and a mix level. The pin keeps both; a streaming thread
// may read them at any time (Enabled, Level). Only the switch and the level are supported.
class CMixerLinePin : public CWithInterfaces<CLineInputPin, IAMAudioInputMixer> {
 public:
  CMixerLinePin(CBaseFilter& filter, const wchar_t* name, bool enabled, double level);

  // E_INVALIDARG for a level outside 0.0..1.0 other than AMF_AUTOMATICGAIN.
  STDMETHODIMP put_MixLevel(double level) override;
  STDMETHODIMP get_MixLevel(double* level) override;
  STDMETHODIMP put_Enable(BOOL enable) override;
  STDMETHODIMP get_Enable(BOOL* enable) override;
  STDMETHODIMP put_Mono(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_Mono(BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Loudness(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_Loudness(BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Pan(double) override { return E_NOTIMPL; }
  STDMETHODIMP get_Pan(double*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Treble(double) override { return E_NOTIMPL; }
  STDMETHODIMP get_Treble(double*) override { return E_NOTIMPL; }
  STDMETHODIMP get_TrebleRange(double*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Bass(double) override { return E_NOTIMPL; }
  STDMETHODIMP get_Bass(double*) override { return E_NOTIMPL; }
  STDMETHODIMP get_BassRange(double*) override { return E_NOTIMPL; }

  bool Enabled() const { return m_enabled; }
  // AMF_AUTOMATICGAIN (-1.0) when automatic gain was asked for.
  double Level() const { return m_level; }

  static bool IsValidLevel(double level);

 private:
  std::atomic<bool> m_enabled;
  std::atomic<double> m_level;
};

// The capture output pin. It produces one PCM format at a time: the one it connected with,
// or the one SetFormat sets, which on a connected pin reconnects it through the graph
// (IFilterGraph2::ReconnectEx), as a hardware pin does. Suggested buffers take effect at
// the next connection; without a suggestion the pin asks for kDefaultBuffers of
// kDefaultBufferMs each. Buffers hold whole frames.
class CCaptureOutputPin : public CWithInterfaces<CBaseOutputPin, IAMStreamConfig, IAMBufferNegotiation> {
 public:
  static constexpr long kDefaultBuffers = 4;
  static constexpr int kDefaultBufferMs = 100;
  static constexpr DWORD kLowestRate = 1000;
  static constexpr DWORD kHighestRate = 192000;

  CCaptureOutputPin(CBaseFilter& filter, const wchar_t* name, const WAVEFORMATEX& format);

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  HRESULT GetMediaType(int index, CMediaType& type) override;
  HRESULT CompleteConnect(IPin* peer) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) override;

  // IAMStreamConfig
  STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
  STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
  STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;
  // IAMBufferNegotiation
  STDMETHODIMP SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* props) override;
  STDMETHODIMP GetAllocatorProperties(ALLOCATOR_PROPERTIES* props) override;

  // The format produced now (changes only while the filter is stopped).
  const WAVEFORMATEX& Format() const { return m_format; }
  // What the allocator of the last connection agreed to (all zero before one).
  const ALLOCATOR_PROPERTIES& Agreed() const { return m_agreed; }
  // The last suggestion (cbBuffer 0 when none was made).
  const ALLOCATOR_PROPERTIES& Suggested() const { return m_suggested; }

 protected:
  // Reconnects the connected pin with its new format through the graph. A pin may leave that
  // to another thread and return at once, as some devices on Windows do.
  virtual HRESULT Reconnect(IFilterGraph2& graph, const CMediaType& type) { return graph.ReconnectEx(this, &type); }
  // Whether the source can produce this format: 8 or 16 bits, 1 or 2 channels, within
  // kLowestRate..kHighestRate.
  virtual bool CanProduce(const PcmFormat& format);

 private:
  bool CanProduce(const AM_MEDIA_TYPE& type);

  WAVEFORMATEX m_format;
  ALLOCATOR_PROPERTIES m_suggested{};
  ALLOCATOR_PROPERTIES m_agreed{};
};
