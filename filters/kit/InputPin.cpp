#include <objbase.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "filters/kit/BasePin.h"
#include "filters/kit/MemAllocator.h"

CBaseInputPin::CBaseInputPin(CBaseFilter& filter, const wchar_t* name)
    : CWithInterfaces(filter, name, PINDIR_INPUT) {}

HRESULT CBaseInputPin::Active() {
  m_endOfStream = false;
  return S_OK;
}

void CBaseInputPin::Inactive() {
  // Decommitting releases an upstream thread that waits in GetBuffer.
  if (m_allocator) m_allocator->Decommit();
  m_flushing = false;
}

void CBaseInputPin::BreakConnect() { m_allocator.Reset(); }

HRESULT CBaseInputPin::CheckStreaming() const {
  if (m_filter.IsStopped()) return VFW_E_WRONG_STATE;
  if (m_flushing) return S_FALSE;
  if (m_endOfStream) return VFW_E_SAMPLE_REJECTED_EOS;
  return S_OK;
}

STDMETHODIMP CBaseInputPin::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  CAutoLock lock(m_filter.FilterLock());
  if (!m_allocator) {
    const HRESULT hr = CreateMemAllocator(m_allocator.Put());
    if (FAILED(hr)) return hr;
  }
  m_allocator.CopyTo(allocator);
  return S_OK;
}

STDMETHODIMP CBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL) {
  if (!allocator) return E_POINTER;
  CAutoLock lock(m_filter.FilterLock());
  m_allocator = allocator;
  return S_OK;
}

STDMETHODIMP CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

STDMETHODIMP CBaseInputPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  AM_MEDIA_TYPE* carried = nullptr;
  if (sample->GetMediaType(&carried) == S_OK && carried) {
    const HRESULT hr = TakeSampleType(*carried);
    DeleteMediaType(carried);
    if (hr != S_OK) return hr;
  }
  CAutoLock streaming(m_filter.StreamLock());
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return OnReceive(sample);
}

// Under the filter lock, which ConnectionMediaType copies under; taken before the streaming
// lock, in the kit's lock order.
HRESULT CBaseInputPin::TakeSampleType(const AM_MEDIA_TYPE& type) {
  CAutoLock lock(m_filter.FilterLock());
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  if (SameMediaType(type, ConnectionType())) return S_OK;
  if (CheckMediaType(type) != S_OK) return VFW_E_INVALIDMEDIATYPE;
  return SetConnectionType(type) ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CBaseInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
  if (!samples || !processed) return E_POINTER;
  *processed = 0;
  HRESULT hr = S_OK;
  while (*processed < count) {
    hr = Receive(samples[*processed]);
    if (hr != S_OK) break;
    ++*processed;
  }
  return hr;
}

STDMETHODIMP CBaseInputPin::ReceiveCanBlock() { return S_OK; }

STDMETHODIMP CBaseInputPin::EndOfStream() {
  CAutoLock streaming(m_filter.StreamLock());
  if (m_filter.IsStopped()) return VFW_E_WRONG_STATE;
  if (m_flushing) return S_FALSE;
  if (m_endOfStream) return S_OK;
  m_endOfStream = true;
  return OnEndOfStream();
}

STDMETHODIMP CBaseInputPin::BeginFlush() {
  CAutoLock lock(m_filter.FilterLock());
  m_flushing = true;
  OnBeginFlush();
  return S_OK;
}

STDMETHODIMP CBaseInputPin::EndFlush() {
  CAutoLock lock(m_filter.FilterLock());
  {
    CAutoLock streaming(m_filter.StreamLock());
    OnEndFlush();
    m_endOfStream = false;
  }
  m_flushing = false;
  return S_OK;
}

STDMETHODIMP CBaseInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  CAutoLock streaming(m_filter.StreamLock());
  OnNewSegment(start, stop, rate);
  return S_OK;
}
