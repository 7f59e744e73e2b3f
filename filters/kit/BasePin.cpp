#include "filters/kit/BasePin.h"

#include <objbase.h>
#include <vfwmsgs.h>

#include <cstring>

#include "filters/kit/Enumerators.h"

CBasePin::CBasePin(CBaseFilter& filter, const wchar_t* name, PIN_DIRECTION direction)
    : m_filter(filter), m_name(name), m_direction(direction) {}

CBasePin::~CBasePin() = default;

void* CBasePin::FindInterface(REFIID iid) {
  if (iid == IID_IUnknown || iid == IID_IPin) return static_cast<IPin*>(this);
  return nullptr;
}

STDMETHODIMP CBasePin::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = FindInterface(iid);
  if (!*out) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CBasePin::AddRef() { return m_filter.AddRef(); }

STDMETHODIMP_(ULONG) CBasePin::Release() { return m_filter.Release(); }

HRESULT CBasePin::GetMediaType(int, CMediaType&) { return VFW_S_NO_MORE_ITEMS; }

HRESULT CBasePin::CompleteConnect(IPin*) { return S_OK; }

STDMETHODIMP CBasePin::Connect(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

HRESULT CBasePin::SetConnection(IPin* peer, const AM_MEDIA_TYPE& type) {
  if (CheckMediaType(type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  m_peer = peer;
  if (!m_type.Set(type)) {
    ClearConnection();
    return E_OUTOFMEMORY;
  }
  HRESULT hr = CompleteConnect(peer);
  if (FAILED(hr)) {
    BreakConnect();
    ClearConnection();
  }
  return hr;
}

void CBasePin::ClearConnection() {
  m_peer.Reset();
  m_type.Clear();
}

STDMETHODIMP CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (!connector || !type) return E_POINTER;
  if (m_direction != PINDIR_INPUT) return E_UNEXPECTED;
  CAutoLock lock(m_filter.FilterLock());
  if (m_peer) return VFW_E_ALREADY_CONNECTED;
  if (!m_filter.IsStopped()) return VFW_E_NOT_STOPPED;
  PIN_DIRECTION peerDirection;
  if (FAILED(connector->QueryDirection(&peerDirection)) || peerDirection == m_direction) {
    return VFW_E_INVALID_DIRECTION;
  }
  return SetConnection(connector, *type);
}

STDMETHODIMP CBasePin::Disconnect() {
  CAutoLock lock(m_filter.FilterLock());
  if (!m_filter.IsStopped()) return VFW_E_NOT_STOPPED;
  if (!m_peer) return S_FALSE;
  BreakConnect();
  ClearConnection();
  return S_OK;
}

STDMETHODIMP CBasePin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  CAutoLock lock(m_filter.FilterLock());
  m_peer.CopyTo(pin);
  return m_peer ? S_OK : VFW_E_NOT_CONNECTED;
}

STDMETHODIMP CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  CAutoLock lock(m_filter.FilterLock());
  *type = AM_MEDIA_TYPE{};
  if (!m_peer) return VFW_E_NOT_CONNECTED;
  return m_type.CopyTo(*type) ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CBasePin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  *info = PIN_INFO{};
  info->pFilter = &m_filter;
  m_filter.AddRef();
  info->dir = m_direction;
  lstrcpynW(info->achName, m_name.c_str(), static_cast<int>(sizeof(info->achName) / sizeof(WCHAR)));
  return S_OK;
}

STDMETHODIMP CBasePin::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = m_direction;
  return S_OK;
}

STDMETHODIMP CBasePin::QueryId(LPWSTR* id) {
  if (!id) return E_POINTER;
  size_t bytes = (m_name.size() + 1) * sizeof(wchar_t);
  *id = static_cast<LPWSTR>(::CoTaskMemAlloc(bytes));
  if (!*id) return E_OUTOFMEMORY;
  std::memcpy(*id, m_name.c_str(), bytes);
  return S_OK;
}

STDMETHODIMP CBasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  return CheckMediaType(*type) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP CBasePin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (!types) return E_POINTER;
  return CreateComObject<CEnumMediaTypes>(IID_IEnumMediaTypes, reinterpret_cast<void**>(types), this, 0);
}

STDMETHODIMP CBasePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

STDMETHODIMP CBasePin::EndOfStream() { return E_UNEXPECTED; }

STDMETHODIMP CBasePin::BeginFlush() { return E_UNEXPECTED; }

STDMETHODIMP CBasePin::EndFlush() { return E_UNEXPECTED; }

STDMETHODIMP CBasePin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }
