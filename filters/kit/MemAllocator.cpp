#include "filters/kit/MemAllocator.h"

#include <windows.h>
#include <vfwmsgs.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "filters/kit/ComObject.h"
#include "filters/kit/MediaType.h"

namespace {

class CMemAllocator;

// A slim reader/writer lock held exclusively for a scope.
class CSlimLock {
 public:
  explicit CSlimLock(SRWLOCK& lock) : m_lock(lock) { ::AcquireSRWLockExclusive(&m_lock); }
  ~CSlimLock() { ::ReleaseSRWLockExclusive(&m_lock); }
  CSlimLock(const CSlimLock&) = delete;
  CSlimLock& operator=(const CSlimLock&) = delete;

 private:
  SRWLOCK& m_lock;
};

// A sample of the allocator's memory. It is owned by its allocator, not by its count: the
// last Release gives it back instead of deleting it.
class CMediaSample final : public IMediaSample {
 public:
  CMediaSample(CMemAllocator& allocator, BYTE* data, long size)
      : m_allocator(allocator), m_data(data), m_size(size) {}
  CMediaSample(const CMediaSample&) = delete;
  CMediaSample& operator=(const CMediaSample&) = delete;

  // As GetBuffer hands it out: one reference, no times, flags or type, all of it data.
  void Prepare() {
    m_refs = 1;
    m_actual = m_size;
    m_timeSet = m_stopSet = m_mediaTimeSet = false;
    m_syncPoint = m_preroll = m_discontinuity = false;
    m_type.Clear();
    m_hasType = false;
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IMediaSample) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IMediaSample*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetPointer(BYTE** data) override {
    if (!data) return E_POINTER;
    *data = m_data;
    return S_OK;
  }
  STDMETHODIMP_(long) GetSize() override { return m_size; }
  STDMETHODIMP GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override {
    if (!start || !stop) return E_POINTER;
    if (!m_timeSet) return VFW_E_SAMPLE_TIME_NOT_SET;
    *start = m_start;
    *stop = m_stopSet ? m_stop : m_start + 1;
    return m_stopSet ? S_OK : VFW_S_NO_STOP_TIME;
  }
  STDMETHODIMP SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override {
    m_timeSet = start != nullptr;
    m_stopSet = m_timeSet && stop != nullptr;
    if (m_timeSet) m_start = *start;
    if (m_stopSet) m_stop = *stop;
    return S_OK;
  }
  STDMETHODIMP IsSyncPoint() override { return m_syncPoint ? S_OK : S_FALSE; }
  STDMETHODIMP SetSyncPoint(BOOL value) override {
    m_syncPoint = value != FALSE;
    return S_OK;
  }
  STDMETHODIMP IsPreroll() override { return m_preroll ? S_OK : S_FALSE; }
  STDMETHODIMP SetPreroll(BOOL value) override {
    m_preroll = value != FALSE;
    return S_OK;
  }
  STDMETHODIMP_(long) GetActualDataLength() override { return m_actual; }
  STDMETHODIMP SetActualDataLength(long length) override {
    if (length < 0 || length > m_size) return VFW_E_BUFFER_OVERFLOW;
    m_actual = length;
    return S_OK;
  }
  STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** type) override {
    if (!type) return E_POINTER;
    *type = nullptr;
    if (!m_hasType) return S_FALSE;
    *type = m_type.CreateCopy();
    return *type ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP SetMediaType(AM_MEDIA_TYPE* type) override {
    m_hasType = false;
    m_type.Clear();
    if (!type) return S_OK;
    if (!m_type.Set(*type)) return E_OUTOFMEMORY;
    m_hasType = true;
    return S_OK;
  }
  STDMETHODIMP IsDiscontinuity() override { return m_discontinuity ? S_OK : S_FALSE; }
  STDMETHODIMP SetDiscontinuity(BOOL value) override {
    m_discontinuity = value != FALSE;
    return S_OK;
  }
  STDMETHODIMP GetMediaTime(LONGLONG* start, LONGLONG* stop) override {
    if (!start || !stop) return E_POINTER;
    if (!m_mediaTimeSet) return VFW_E_MEDIA_TIME_NOT_SET;
    *start = m_mediaStart;
    *stop = m_mediaStop;
    return S_OK;
  }
  STDMETHODIMP SetMediaTime(LONGLONG* start, LONGLONG* stop) override {
    m_mediaTimeSet = start != nullptr && stop != nullptr;
    if (m_mediaTimeSet) {
      m_mediaStart = *start;
      m_mediaStop = *stop;
    }
    return S_OK;
  }

 private:
  CMemAllocator& m_allocator;
  BYTE* const m_data;
  const long m_size;
  std::atomic<ULONG> m_refs{0};
  long m_actual = 0;
  bool m_timeSet = false, m_stopSet = false, m_mediaTimeSet = false;
  bool m_syncPoint = false, m_preroll = false, m_discontinuity = false;
  bool m_hasType = false;
  REFERENCE_TIME m_start = 0, m_stop = 0;
  LONGLONG m_mediaStart = 0, m_mediaStop = 0;
  CMediaType m_type;
};

class CMemAllocator : public CComObjectBase<IMemAllocator> {
 public:
  CMemAllocator() = default;
  ~CMemAllocator() override = default;

  STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
    if (!request || !actual) return E_POINTER;
    if (request->cbAlign <= 0 || (request->cbAlign & (request->cbAlign - 1)) != 0) return VFW_E_BADALIGN;
    if (request->cBuffers <= 0 || request->cbBuffer <= 0 || request->cbPrefix < 0) return E_INVALIDARG;
    CSlimLock lock(m_lock);
    if (m_committed) return VFW_E_ALREADY_COMMITTED;
    if (m_out > 0) return VFW_E_BUFFERS_OUTSTANDING;
    FreeMemory();
    m_properties = *request;
    *actual = m_properties;
    return S_OK;
  }
  STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES* properties) override {
    if (!properties) return E_POINTER;
    CSlimLock lock(m_lock);
    *properties = m_properties;
    return S_OK;
  }
  STDMETHODIMP Commit() override {
    CSlimLock lock(m_lock);
    if (m_properties.cBuffers <= 0) return VFW_E_SIZENOTSET;
    // Memory still there from before a Decommit, with samples out, is used again.
    if (m_samples.empty() && !AllocateMemory()) return E_OUTOFMEMORY;
    m_committed = true;
    return S_OK;
  }
  STDMETHODIMP Decommit() override {
    CSlimLock lock(m_lock);
    m_committed = false;
    if (m_out == 0) FreeMemory();
    ::WakeAllConditionVariable(&m_returned);
    return S_OK;
  }
  STDMETHODIMP GetBuffer(IMediaSample** out, REFERENCE_TIME*, REFERENCE_TIME*, DWORD flags) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    CMediaSample* sample = nullptr;
    {
      CSlimLock lock(m_lock);
      for (;;) {
        if (!m_committed) return VFW_E_NOT_COMMITTED;
        if (!m_free.empty()) break;
        if (flags & AM_GBF_NOWAIT) return VFW_E_TIMEOUT;
        ::SleepConditionVariableSRW(&m_returned, &m_lock, INFINITE, 0);
      }
      sample = m_free.back();
      m_free.pop_back();
      ++m_out;
    }
    AddRef();  // given back by the sample's return
    sample->Prepare();
    *out = sample;
    return S_OK;
  }
  STDMETHODIMP ReleaseBuffer(IMediaSample*) override { return E_NOTIMPL; }

  // A sample's last Release: it is free again.
  void Return(CMediaSample* sample) {
    {
      CSlimLock lock(m_lock);
      m_free.push_back(sample);
      --m_out;
      if (!m_committed && m_out == 0) FreeMemory();
      ::WakeConditionVariable(&m_returned);
    }
    Release();
  }

 private:
  bool AllocateMemory() {
    const size_t align = size_t(m_properties.cbAlign);
    const size_t prefix = size_t(m_properties.cbPrefix);
    const size_t stride = (prefix + size_t(m_properties.cbBuffer) + align - 1) / align * align;
    const size_t count = size_t(m_properties.cBuffers);
    if (stride > (SIZE_MAX - 2 * align) / count) return false;
    try {
      m_memory.resize(stride * count + align);
      // Each buffer starts aligned, its prefix before it.
      const uintptr_t start = reinterpret_cast<uintptr_t>(m_memory.data());
      BYTE* data = m_memory.data() + ((start + prefix + align - 1) / align * align - start);
      for (size_t i = 0; i < count; ++i) {
        m_samples.push_back(std::make_unique<CMediaSample>(*this, data + i * stride, m_properties.cbBuffer));
        m_free.push_back(m_samples.back().get());
      }
    } catch (const std::bad_alloc&) {
      FreeMemory();
      return false;
    }
    return true;
  }
  void FreeMemory() {
    m_free.clear();
    m_samples.clear();
    m_memory = {};
  }

  SRWLOCK m_lock = SRWLOCK_INIT;
  CONDITION_VARIABLE m_returned = CONDITION_VARIABLE_INIT;
  ALLOCATOR_PROPERTIES m_properties{};
  bool m_committed = false;
  long m_out = 0;
  std::vector<BYTE> m_memory;
  std::vector<std::unique_ptr<CMediaSample>> m_samples;
  std::vector<CMediaSample*> m_free;
};

STDMETHODIMP_(ULONG) CMediaSample::Release() {
  const ULONG refs = --m_refs;
  // The allocator may end with this return, and this sample with it.
  if (refs == 0) m_allocator.Return(this);
  return refs;
}

}  // namespace

HRESULT CreateMemAllocator(IMemAllocator** out) {
  return CreateComObject<CMemAllocator>(IID_IMemAllocator, reinterpret_cast<void**>(out));
}
