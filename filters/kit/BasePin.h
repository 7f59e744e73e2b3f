#pragma once
// Pins of the filter kit; the rules (threads, locks, back pointers, buffer lifetime) are
// written at the top of BaseFilter.h.
#include <windows.h>
#include <strmif.h>

#include <atomic>
#include <string>

#include "filters/kit/BaseFilter.h"
#include "filters/kit/ComObject.h"
#include "filters/kit/ComPtr.h"
#include "filters/kit/MediaType.h"

// What every pin has: identity, connection and media type negotiation. Its reference count
// is its filter's.
class CBasePin : public IPin {
 public:
  CBasePin(CBaseFilter& filter, const wchar_t* name, PIN_DIRECTION direction);
  virtual ~CBasePin();
  CBasePin(const CBasePin&) = delete;
  CBasePin& operator=(const CBasePin&) = delete;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // IPin
  STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** pin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
  STDMETHODIMP QueryId(LPWSTR* id) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
  STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // To be supplied: S_OK when the pin can take this type.
  virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) = 0;
  // The pin's preferred types, from index 0: S_OK, or VFW_S_NO_MORE_ITEMS past the last.
  virtual HRESULT GetMediaType(int index, CMediaType& type);

  // Optional: called under the filter lock when a connection is made (a failure undoes it)
  // and when it is broken; when the filter leaves Stopped and when it stops.
  virtual HRESULT CompleteConnect(IPin* peer);
  virtual void BreakConnect() {}
  virtual HRESULT Active() { return S_OK; }
  virtual void Inactive() {}

  bool IsConnected() const { return static_cast<bool>(m_peer); }
  // Valid while connected; changes only under the filter lock: while the filter is stopped,
  // or on a streaming thread when a sample carries a new type.
  const CMediaType& ConnectionType() const { return m_type; }
  IPin* Peer() const { return m_peer.Get(); }
  const std::wstring& Name() const { return m_name; }
  PIN_DIRECTION Direction() const { return m_direction; }
  CBaseFilter& Filter() const { return m_filter; }

 protected:
  virtual void* FindInterface(REFIID iid);
  // Checks the type, takes the peer and completes the connection, or leaves none.
  HRESULT SetConnection(IPin* peer, const AM_MEDIA_TYPE& type);
  // False (and no type) when memory runs out.
  bool SetConnectionType(const AM_MEDIA_TYPE& type) { return m_type.Set(type); }
  void ClearConnection();

  CBaseFilter& m_filter;  // not counted: the filter owns the pin

 private:
  const std::wstring m_name;
  const PIN_DIRECTION m_direction;
  CComPtr<IPin> m_peer;
  CMediaType m_type;
};

// An input pin that receives samples through IMemInputPin. It offers the platform's memory
// allocator when upstream has none, refuses samples while stopped, flushing or after end of
// stream, and runs the hooks under the filter's streaming lock.
class CBaseInputPin : public CWithInterfaces<CBasePin, IMemInputPin> {
 public:
  CBaseInputPin(CBaseFilter& filter, const wchar_t* name);

  // IPin
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
  // IMemInputPin
  STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
  STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
  STDMETHODIMP Receive(IMediaSample* sample) override;
  STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
  STDMETHODIMP ReceiveCanBlock() override;

  // To be supplied: process one sample (streaming lock held).
  virtual HRESULT OnReceive(IMediaSample* sample) = 0;
  // Optional, with the streaming lock held (OnBeginFlush: filter lock only, so that a
  // blocked streaming thread can be released by it).
  virtual HRESULT OnEndOfStream() { return S_OK; }
  virtual void OnBeginFlush() {}
  virtual void OnEndFlush() {}
  virtual void OnNewSegment(REFERENCE_TIME /*start*/, REFERENCE_TIME /*stop*/, double /*rate*/) {}

  HRESULT Active() override;
  void Inactive() override;
  void BreakConnect() override;

  bool IsFlushing() const { return m_flushing; }
  bool AtEndOfStream() const { return m_endOfStream; }

 private:
  // S_OK when a sample may be taken now; else what Receive returns.
  HRESULT CheckStreaming() const;
  // Makes a type that a sample carries the connection's, if it differs and is acceptable.
  HRESULT TakeSampleType(const AM_MEDIA_TYPE& type);

  CComPtr<IMemAllocator> m_allocator;
  std::atomic<bool> m_flushing{false};
  std::atomic<bool> m_endOfStream{false};
};

// An output pin that delivers samples to a peer's IMemInputPin. It negotiates the allocator
// (the kit's own, MemAllocator.h, else the peer's if the peer refuses it; DecideBufferSize
// sets the sizes) and commits it while the filter is not stopped.
class CBaseOutputPin : public CBasePin {
 public:
  CBaseOutputPin(CBaseFilter& filter, const wchar_t* name);

  // IPin
  STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;

  // To be supplied: ask the allocator for buffers (SetProperties); the request holds what
  // the peer asked for, if anything.
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) = 0;

  HRESULT CompleteConnect(IPin* peer) override;
  void BreakConnect() override;
  HRESULT Active() override;
  void Inactive() override;

  // Streaming side (streaming lock held, or the filter's own worker thread).
  HRESULT GetDeliveryBuffer(CComPtr<IMediaSample>& sample);
  HRESULT Deliver(IMediaSample* sample);
  HRESULT DeliverEndOfStream();
  HRESULT DeliverBeginFlush();
  HRESULT DeliverEndFlush();
  HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
  // The allocator agreed on at connection (null while unconnected).
  IMemAllocator* Allocator() const { return m_allocator.Get(); }

 private:
  HRESULT TryConnection(IPin* receivePin, const AM_MEDIA_TYPE& type);
  HRESULT DecideAllocator(IMemInputPin* input);
  // Sizes `allocator` and has the peer take it; on success it is this pin's.
  HRESULT UseAllocator(IMemInputPin* input, IMemAllocator* allocator, ALLOCATOR_PROPERTIES request);

  CComPtr<IMemInputPin> m_input;
  CComPtr<IMemAllocator> m_allocator;
};
