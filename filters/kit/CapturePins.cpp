#include "filters/kit/CapturePins.h"

#include <uuids.h>

#include <algorithm>

#include "filters/kit/MediaType.h"

// ---- input lines ----

CMixerLinePin::CMixerLinePin(CBaseFilter& filter, const wchar_t* name, bool enabled, double level)
    : CWithInterfaces(filter, name), m_enabled(enabled), m_level(level) {}

bool CMixerLinePin::IsValidLevel(double level) {
  return level == AMF_AUTOMATICGAIN || (level >= 0.0 && level <= 1.0);
}

STDMETHODIMP CMixerLinePin::put_MixLevel(double level) {
  if (!IsValidLevel(level)) return E_INVALIDARG;
  m_level = level;
  return S_OK;
}

STDMETHODIMP CMixerLinePin::get_MixLevel(double* level) {
  if (!level) return E_POINTER;
  *level = m_level;
  return S_OK;
}

STDMETHODIMP CMixerLinePin::put_Enable(BOOL enable) {
  m_enabled = enable != FALSE;
  return S_OK;
}

STDMETHODIMP CMixerLinePin::get_Enable(BOOL* enable) {
  if (!enable) return E_POINTER;
  *enable = m_enabled ? TRUE : FALSE;
  return S_OK;
}

// ---- output pin ----

CCaptureOutputPin::CCaptureOutputPin(CBaseFilter& filter, const wchar_t* name, const WAVEFORMATEX& format)
    : CWithInterfaces(filter, name), m_format(format) {}

bool CCaptureOutputPin::CanProduce(const PcmFormat& format) {
  return format.sampleRate >= kLowestRate && format.sampleRate <= kHighestRate;
}

bool CCaptureOutputPin::CanProduce(const AM_MEDIA_TYPE& type) {
  PcmFormat format;
  return PcmFormatOf(type, format) && CanProduce(format);
}

HRESULT CCaptureOutputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return CanProduce(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CCaptureOutputPin::GetMediaType(int index, CMediaType& type) {
  if (index != 0) return VFW_S_NO_MORE_ITEMS;
  type = PcmMediaType(m_format);
  return S_OK;
}

HRESULT CCaptureOutputPin::CompleteConnect(IPin* peer) {
  // The source produces whatever format the connection settled on.
  const WAVEFORMATEX* format = ConnectionType().WaveFormat();
  if (format) m_format = MakePcmFormat(format->nSamplesPerSec, format->nChannels, format->wBitsPerSample);
  return CBaseOutputPin::CompleteConnect(peer);
}

HRESULT CCaptureOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) {
  ALLOCATOR_PROPERTIES wanted = request;
  if (m_suggested.cbBuffer > 0) {
    wanted.cBuffers = std::max(1L, m_suggested.cBuffers);
    wanted.cbBuffer = m_suggested.cbBuffer;
    wanted.cbAlign = std::max(1L, m_suggested.cbAlign);
    wanted.cbPrefix = std::max(0L, m_suggested.cbPrefix);
  } else {
    wanted.cBuffers = std::max(wanted.cBuffers, kDefaultBuffers);
    wanted.cbBuffer = std::max<long>(wanted.cbBuffer, m_format.nAvgBytesPerSec * kDefaultBufferMs / 1000);
    wanted.cbAlign = std::max(1L, wanted.cbAlign);
  }
  wanted.cbBuffer = std::max<long>(m_format.nBlockAlign, wanted.cbBuffer - wanted.cbBuffer % m_format.nBlockAlign);
  ALLOCATOR_PROPERTIES actual{};
  HRESULT hr = allocator->SetProperties(&wanted, &actual);
  if (FAILED(hr)) return hr;
  m_agreed = actual;
  return actual.cbBuffer >= m_format.nBlockAlign ? S_OK : E_FAIL;
}

STDMETHODIMP CCaptureOutputPin::SetFormat(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  if (!CanProduce(*type)) return VFW_E_INVALIDMEDIATYPE;
  if (!m_filter.IsStopped()) return VFW_E_NOT_STOPPED;
  const WAVEFORMATEX previous = m_format;
  const auto& wanted = *reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
  m_format = MakePcmFormat(wanted.nSamplesPerSec, wanted.nChannels, wanted.wBitsPerSample);
  if (!IsConnected()) return S_OK;
  CComPtr<IFilterGraph2> graph = ComQuery<IFilterGraph2>(m_filter.Graph());
  CMediaType newType = PcmMediaType(m_format);
  HRESULT hr = graph ? Reconnect(*graph, newType) : E_UNEXPECTED;
  if (FAILED(hr)) m_format = previous;
  return hr;
}

STDMETHODIMP CCaptureOutputPin::GetFormat(AM_MEDIA_TYPE** type) {
  if (!type) return E_POINTER;
  *type = PcmMediaType(m_format).CreateCopy();
  return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CCaptureOutputPin::GetNumberOfCapabilities(int* count, int* size) {
  if (!count || !size) return E_POINTER;
  *count = 1;
  *size = sizeof(AUDIO_STREAM_CONFIG_CAPS);
  return S_OK;
}

STDMETHODIMP CCaptureOutputPin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
  if (!type || !caps) return E_POINTER;
  if (index != 0) return S_FALSE;
  AUDIO_STREAM_CONFIG_CAPS range{};
  range.guid = MEDIATYPE_Audio;
  range.MinimumChannels = 1;
  range.MaximumChannels = 2;
  range.ChannelsGranularity = 1;
  range.MinimumBitsPerSample = 8;
  range.MaximumBitsPerSample = 16;
  range.BitsPerSampleGranularity = 8;
  range.MinimumSampleFrequency = kLowestRate;
  range.MaximumSampleFrequency = kHighestRate;
  range.SampleFrequencyGranularity = 1;
  *reinterpret_cast<AUDIO_STREAM_CONFIG_CAPS*>(caps) = range;
  *type = PcmMediaType(m_format).CreateCopy();
  return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CCaptureOutputPin::SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  m_suggested = *props;
  return S_OK;
}

STDMETHODIMP CCaptureOutputPin::GetAllocatorProperties(ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  if (!Allocator()) return VFW_E_NO_ALLOCATOR;
  return Allocator()->GetProperties(props);
}
