#pragma once
// The filter kit: a small base for DirectShow filters (there are no DirectShow base classes
// for this toolchain). A filter derives from CBaseFilter and owns its pins, which derive from
// CBaseInputPin, CBaseOutputPin or CBasePin (pins that never stream, like a capture
// device's analog inputs).
//
// Rules of the kit
// - Threads. Application threads (the graph's caller) change state, connect and query.
//   Streaming threads (an upstream filter's, or a source filter's own) call Receive,
//   EndOfStream, NewSegment and Deliver*. BeginFlush/EndFlush come from any thread.
// - Two locks per filter. The filter lock guards state, connections and graph membership;
//   every IBaseFilter/IMediaFilter/IPin method that changes them takes it. The streaming
//   lock serialises the filter's processing: input pins hold it through Receive, EndOfStream
//   and the flush end, and the state hooks below run under it.
//   Lock order: filter lock first, then streaming lock. A thread that holds the streaming
//   lock (a streaming thread inside Receive) never takes the filter lock; a filter's own
//   worker thread takes neither, so a state change can wait for it. A sample that carries a
//   media type is the one exception to "streaming threads stay out of the filter lock":
//   Receive takes it briefly, before the streaming lock, to replace the connection's type.
// - State hooks, each called with both locks held, in this order through a run:
//     OnStartStreaming   Stopped -> Paused, after the pins' allocators are committed.
//     OnRun              Paused -> Running.
//     OnLeaveRunning     Running -> Paused, and Running -> Stopped (a graph pauses first).
//                        Still able to deliver: the last data of a run goes out here.
//     OnStopStreaming    -> Stopped, after the allocators are decommitted. Nothing can be
//                        delivered any more: a graph stops downstream filters first.
// - Back pointers that hold no reference: a pin's pointer to its filter (the filter owns
//   its pins and their AddRef/Release are the filter's), and the filter's pointers to the
//   graph and the graph's event sink (the graph holds the filter; holding it back would
//   make a cycle). Everything else held is a CComPtr.
// - Pins are created with the filter and live as long as it; the pin list never changes.
// - Buffers. A sample given to Receive is valid until Receive returns; keep it longer only
//   by AddRef. A sample from GetDeliveryBuffer belongs to the caller until Deliver has
//   returned and the caller has released it; its bytes must not be touched after that.
// - Interfaces. CBaseFilter answers IUnknown, IPersist, IMediaFilter and IBaseFilter; add
//   more with CWithInterfaces<CBaseFilter, IExtra...> (ComObject.h) and __uuidof-capable
//   interface declarations (mingw headers have them; declare your own with
//   __CRT_UUID_DECL).
// - No C++ exception leaves a COM method: the kit allocates with new (std::nothrow) and
//   reports E_OUTOFMEMORY.
#include <windows.h>
#include <strmif.h>

#include <atomic>
#include <string>

#include "filters/kit/ComObject.h"
#include "filters/kit/ComPtr.h"
#include "filters/kit/Lock.h"

class CBasePin;

class CBaseFilter : public CComObjectBase<IBaseFilter> {
 public:
  explicit CBaseFilter(const CLSID& clsid);
  ~CBaseFilter() override;

  // IPersist
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  // IMediaFilter
  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
  STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  STDMETHODIMP EnumPins(IEnumPins** pins) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

  // To be supplied: the pins, in their fixed order.
  virtual int GetPinCount() = 0;
  virtual CBasePin* GetPin(int index) = 0;

  FILTER_STATE State() const { return m_state; }
  bool IsStopped() const { return m_state == State_Stopped; }
  CCritSec& FilterLock() { return m_filterLock; }
  CCritSec& StreamLock() { return m_streamLock; }
  // Not counted (see the rules above); null outside a graph.
  IFilterGraph* Graph() const { return m_graph; }
  // The clock and the stream start time of the current run (under the filter lock).
  CComPtr<IReferenceClock> Clock() const { return m_clock; }
  REFERENCE_TIME StartTime() const { return m_start; }
  // Posts an event to the graph's event sink; S_FALSE outside a graph.
  HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);

 protected:
  void* FindInterface(REFIID iid) override;

  // Optional hooks (see the rules above). A failing OnStartStreaming fails the Pause.
  virtual HRESULT OnStartStreaming() { return S_OK; }
  virtual void OnRun(REFERENCE_TIME /*start*/) {}
  virtual void OnLeaveRunning() {}
  virtual void OnStopStreaming() {}
  // What GetState returns for a state: live sources return VFW_S_CANT_CUE when paused.
  virtual HRESULT StateResult(FILTER_STATE /*state*/) { return S_OK; }

 private:
  HRESULT ActivatePins();
  void DeactivatePins();

  const CLSID m_clsid;
  CCritSec m_filterLock;
  CCritSec m_streamLock;
  std::atomic<FILTER_STATE> m_state{State_Stopped};
  REFERENCE_TIME m_start = 0;
  CComPtr<IReferenceClock> m_clock;
  IFilterGraph* m_graph = nullptr;
  std::atomic<IMediaEventSink*> m_eventSink{nullptr};
  std::wstring m_name;
};
