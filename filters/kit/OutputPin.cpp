#include <objbase.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "filters/kit/BasePin.h"
#include "filters/kit/MemAllocator.h"

CBaseOutputPin::CBaseOutputPin(CBaseFilter& filter, const wchar_t* name)
    : CBasePin(filter, name, PINDIR_OUTPUT) {}

STDMETHODIMP CBaseOutputPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (!receivePin) return E_POINTER;
  CAutoLock lock(m_filter.FilterLock());
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (!m_filter.IsStopped()) return VFW_E_NOT_STOPPED;
  if (type && IsFullySpecified(*type)) return TryConnection(receivePin, *type);

  const AM_MEDIA_TYPE anyType{};
  const AM_MEDIA_TYPE& pattern = type ? *type : anyType;
  // Our own preferences first, then the peer's.
  CMediaType candidate;
  for (int i = 0; GetMediaType(i, candidate) == S_OK; ++i) {
    if (MatchesPartialType(candidate, pattern) && SUCCEEDED(TryConnection(receivePin, candidate))) return S_OK;
  }
  CComPtr<IEnumMediaTypes> types;
  if (SUCCEEDED(receivePin->EnumMediaTypes(types.Put())) && types) {
    AM_MEDIA_TYPE* offered = nullptr;
    while (types->Next(1, &offered, nullptr) == S_OK && offered) {
      bool connected = MatchesPartialType(*offered, pattern) && SUCCEEDED(TryConnection(receivePin, *offered));
      DeleteMediaType(offered);
      offered = nullptr;
      if (connected) return S_OK;
    }
  }
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CBaseOutputPin::TryConnection(IPin* receivePin, const AM_MEDIA_TYPE& type) {
  if (CheckMediaType(type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  HRESULT hr = receivePin->ReceiveConnection(this, &type);
  if (FAILED(hr)) return hr;
  hr = SetConnection(receivePin, type);
  if (FAILED(hr)) receivePin->Disconnect();
  return hr;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin* peer) {
  HRESULT hr = peer->QueryInterface(IID_IMemInputPin, m_input.PutVoid());
  if (FAILED(hr)) return VFW_E_NO_TRANSPORT;
  return DecideAllocator(m_input.Get());
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* input) {
  ALLOCATOR_PROPERTIES request{};
  input->GetAllocatorRequirements(&request);
  if (request.cbAlign == 0) request.cbAlign = 1;
  // The kit's own allocator also where the peer offers the platform's, which costs kernel
  // calls for every sample; the peer's serves a peer that will not take it.
  CComPtr<IMemAllocator> allocator;
  HRESULT hr = CreateMemAllocator(allocator.Put());
  if (SUCCEEDED(hr)) hr = UseAllocator(input, allocator.Get(), request);
  if (SUCCEEDED(hr)) return hr;
  allocator.Reset();
  if (FAILED(input->GetAllocator(allocator.Put())) || !allocator) return hr;
  return UseAllocator(input, allocator.Get(), request);
}

HRESULT CBaseOutputPin::UseAllocator(IMemInputPin* input, IMemAllocator* allocator, ALLOCATOR_PROPERTIES request) {
  HRESULT hr = DecideBufferSize(allocator, request);
  if (FAILED(hr)) return hr;
  hr = input->NotifyAllocator(allocator, FALSE);
  if (FAILED(hr)) return hr;
  m_allocator = allocator;
  return S_OK;
}

void CBaseOutputPin::BreakConnect() {
  if (m_allocator) m_allocator->Decommit();
  m_allocator.Reset();
  m_input.Reset();
}

HRESULT CBaseOutputPin::Active() { return m_allocator ? m_allocator->Commit() : VFW_E_NO_ALLOCATOR; }

void CBaseOutputPin::Inactive() {
  if (m_allocator) m_allocator->Decommit();
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(CComPtr<IMediaSample>& sample) {
  if (!m_allocator) return VFW_E_NOT_CONNECTED;
  return m_allocator->GetBuffer(sample.Put(), nullptr, nullptr, 0);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample) {
  if (!m_input) return VFW_E_NOT_CONNECTED;
  return m_input->Receive(sample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
  IPin* peer = Peer();
  return peer ? peer->EndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverBeginFlush() {
  IPin* peer = Peer();
  return peer ? peer->BeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverEndFlush() {
  IPin* peer = Peer();
  return peer ? peer->EndFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  IPin* peer = Peer();
  return peer ? peer->NewSegment(start, stop, rate) : VFW_E_NOT_CONNECTED;
}
