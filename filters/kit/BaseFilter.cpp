#include "filters/kit/BaseFilter.h"

#include <objbase.h>
#include <vfwmsgs.h>

#include <cstring>

#include "filters/kit/BasePin.h"
#include "filters/kit/Enumerators.h"

CBaseFilter::CBaseFilter(const CLSID& clsid) : m_clsid(clsid) {}

CBaseFilter::~CBaseFilter() = default;

void* CBaseFilter::FindInterface(REFIID iid) {
  if (iid == IID_IPersist) return static_cast<IPersist*>(this);
  if (iid == IID_IMediaFilter) return static_cast<IMediaFilter*>(this);
  return CComObjectBase::FindInterface(iid);
}

STDMETHODIMP CBaseFilter::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = m_clsid;
  return S_OK;
}

HRESULT CBaseFilter::ActivatePins() {
  for (int i = 0; i < GetPinCount(); ++i) {
    CBasePin* pin = GetPin(i);
    if (!pin->IsConnected()) continue;
    HRESULT hr = pin->Active();
    if (FAILED(hr)) {
      DeactivatePins();
      return hr;
    }
  }
  return S_OK;
}

void CBaseFilter::DeactivatePins() {
  for (int i = 0; i < GetPinCount(); ++i) {
    CBasePin* pin = GetPin(i);
    if (pin->IsConnected()) pin->Inactive();
  }
}

STDMETHODIMP CBaseFilter::Stop() {
  CAutoLock lock(m_filterLock);
  if (m_state == State_Stopped) return S_OK;
  if (m_state == State_Running) {
    CAutoLock streaming(m_streamLock);
    OnLeaveRunning();
    m_state = State_Paused;
  }
  // Decommitting first releases a streaming thread that waits for a buffer, so that it can
  // leave Receive and free the streaming lock.
  DeactivatePins();
  CAutoLock streaming(m_streamLock);
  m_state = State_Stopped;
  OnStopStreaming();
  return S_OK;
}

STDMETHODIMP CBaseFilter::Pause() {
  CAutoLock lock(m_filterLock);
  if (m_state == State_Paused) return S_OK;
  if (m_state == State_Stopped) {
    HRESULT hr = ActivatePins();
    if (FAILED(hr)) return hr;
    CAutoLock streaming(m_streamLock);
    m_state = State_Paused;
    hr = OnStartStreaming();
    if (FAILED(hr)) {
      m_state = State_Stopped;
      DeactivatePins();
      return hr;
    }
    return S_OK;
  }
  CAutoLock streaming(m_streamLock);
  m_state = State_Paused;
  OnLeaveRunning();
  return S_OK;
}

STDMETHODIMP CBaseFilter::Run(REFERENCE_TIME start) {
  CAutoLock lock(m_filterLock);
  if (m_state == State_Running) return S_OK;
  if (m_state == State_Stopped) {
    HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  CAutoLock streaming(m_streamLock);
  m_start = start;
  m_state = State_Running;
  OnRun(start);
  return S_OK;
}

STDMETHODIMP CBaseFilter::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  CAutoLock lock(m_filterLock);
  *state = m_state;
  return StateResult(*state);
}

STDMETHODIMP CBaseFilter::SetSyncSource(IReferenceClock* clock) {
  CAutoLock lock(m_filterLock);
  m_clock = clock;
  return S_OK;
}

STDMETHODIMP CBaseFilter::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  CAutoLock lock(m_filterLock);
  m_clock.CopyTo(clock);
  return S_OK;
}

STDMETHODIMP CBaseFilter::EnumPins(IEnumPins** pins) {
  if (!pins) return E_POINTER;
  return CreateComObject<CEnumPins>(IID_IEnumPins, reinterpret_cast<void**>(pins), this, 0);
}

STDMETHODIMP CBaseFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  *pin = nullptr;
  for (int i = 0; i < GetPinCount(); ++i) {
    CBasePin* candidate = GetPin(i);
    if (candidate->Name() == id) {
      *pin = candidate;
      candidate->AddRef();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

STDMETHODIMP CBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  CAutoLock lock(m_filterLock);
  *info = FILTER_INFO{};
  lstrcpynW(info->achName, m_name.c_str(), static_cast<int>(sizeof(info->achName) / sizeof(WCHAR)));
  info->pGraph = m_graph;
  if (m_graph) m_graph->AddRef();
  return S_OK;
}

STDMETHODIMP CBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  CAutoLock lock(m_filterLock);
  m_graph = graph;
  m_name = name ? name : L"";
  m_eventSink = nullptr;
  if (graph) {
    // Kept without a reference: the graph holds this filter and outlives its membership.
    CComPtr<IMediaEventSink> sink = ComQuery<IMediaEventSink>(graph);
    m_eventSink = sink.Get();
  }
  return S_OK;
}

STDMETHODIMP CBaseFilter::QueryVendorInfo(LPWSTR* info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT CBaseFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
  IMediaEventSink* sink = m_eventSink;
  if (!sink) return S_FALSE;
  return sink->Notify(code, param1, param2);
}
