#include "bench/BenchFilters.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>

#include "filters/kit/MediaType.h"

namespace {
const CLSID kDiscardSinkClass = {0x3f0b9c62, 0x8d1e, 0x4c55, {0xa2, 0x7e, 0x51, 0x9d, 0x40, 0x6b, 0x22, 0x01}};
const CLSID kStreamSourceClass = {0x3f0b9c62, 0x8d1e, 0x4c55, {0xa2, 0x7e, 0x51, 0x9d, 0x40, 0x6b, 0x22, 0x02}};
}  // namespace

CDiscardSink::CDiscardSink() : CBaseFilter(kDiscardSinkClass), m_pin(*this) {}

HRESULT CDiscardSink::CPin::OnReceive(IMediaSample* sample) {
  m_sink.m_bytes += uint64_t(std::max(0L, sample->GetActualDataLength()));
  return S_OK;
}

CStreamSource::CStreamSource(long bufferBytes, long buffers)
    : CBaseFilter(kStreamSourceClass), m_bufferBytes(bufferBytes), m_buffers(buffers), m_pin(*this) {}

HRESULT CStreamSource::CPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return type.majortype == MEDIATYPE_Stream ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CStreamSource::CPin::GetMediaType(int index, CMediaType& type) {
  if (index != 0) return VFW_S_NO_MORE_ITEMS;
  type.Clear();
  type.majortype = MEDIATYPE_Stream;
  type.subtype = MEDIASUBTYPE_NULL;
  type.formattype = FORMAT_None;
  type.lSampleSize = 1;
  return S_OK;
}

HRESULT CStreamSource::CPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) {
  request.cBuffers = std::max(request.cBuffers, m_source.m_buffers);
  request.cbBuffer = std::max(request.cbBuffer, m_source.m_bufferBytes);
  request.cbAlign = std::max(request.cbAlign, 1L);
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(&request, &actual);
}

HRESULT CStreamSource::Push(uint64_t offset, long bytes, bool deliver) {
  CComPtr<IMediaSample> sample;
  HRESULT hr = m_pin.GetDeliveryBuffer(sample);
  if (FAILED(hr) || !deliver) return hr;
  sample->SetActualDataLength(std::min(bytes, sample->GetSize()));
  REFERENCE_TIME start = REFERENCE_TIME(offset);
  REFERENCE_TIME stop = start + sample->GetActualDataLength();
  sample->SetTime(&start, &stop);
  return m_pin.Deliver(sample.Get());
}
