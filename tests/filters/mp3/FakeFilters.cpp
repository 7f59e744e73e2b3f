#include "FakeFilters.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <cstring>

#include "filters/kit/BytePosition.h"
#include "filters/mp3/Mp3MediaType.h"

namespace {
const CLSID kSourceClsid = {0x6d1f3a10, 0x51b4, 0x4f0e, {0x9a, 0x31, 0x2e, 0x55, 0x0c, 0x7a, 0x11, 0x01}};
const CLSID kSinkClsid = {0x6d1f3a10, 0x51b4, 0x4f0e, {0x9a, 0x31, 0x2e, 0x55, 0x0c, 0x7a, 0x11, 0x02}};
}  // namespace

CPcmSource::CPcmSource(const WAVEFORMATEX& format) : CBaseFilter(kSourceClsid), m_format(format), m_pin(*this) {}

HRESULT CPcmSource::CPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return SameMediaType(type, PcmMediaType(m_source.m_format)) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CPcmSource::CPin::GetMediaType(int index, CMediaType& type) {
  if (index != 0) return VFW_S_NO_MORE_ITEMS;
  type = PcmMediaType(m_source.m_format);
  return S_OK;
}

HRESULT CPcmSource::CPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) {
  request.cBuffers = 4;
  request.cbBuffer = long(m_source.m_format.nAvgBytesPerSec);  // a second of audio
  request.cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(&request, &actual);
}

HRESULT CPcmSource::Push(const std::vector<uint8_t>& pcm, size_t blockBytes) {
  for (size_t at = 0; at < pcm.size(); at += blockBytes) {
    CComPtr<IMediaSample> sample;
    HRESULT hr = m_pin.GetDeliveryBuffer(sample);
    if (FAILED(hr)) return hr;
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    const size_t size = std::min({blockBytes, pcm.size() - at, size_t(sample->GetSize())});
    std::memcpy(buffer, pcm.data() + at, size);
    sample->SetActualDataLength(long(size));
    hr = m_pin.Deliver(sample.Get());
    if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
  }
  return S_OK;
}

CByteSink::CByteSink() : CBaseFilter(kSinkClsid), m_pin(*this) {}

HRESULT CByteSink::CPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return IsMp3MediaType(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CByteSink::CPin::OnReceive(IMediaSample* sample) {
  SinkSample record;
  record.size = size_t(sample->GetActualDataLength());
  record.timed = sample->GetTime(&record.start, &record.stop) == S_OK;
  AM_MEDIA_TYPE* type = nullptr;
  if (sample->GetMediaType(&type) == S_OK && type) {
    record.newType = true;
    record.typeBytesPerSecond = reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat)->nAvgBytesPerSec;
    DeleteMediaType(type);
  }
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  CAutoLock lock(m_sink.m_dataLock);
  if (!GetBytePosition(sample, record.position)) record.position = -1;
  const size_t at = record.position < 0 ? m_sink.m_bytes.size() : size_t(record.position);
  if (m_sink.m_bytes.size() < at + record.size) m_sink.m_bytes.resize(at + record.size);
  std::memcpy(&m_sink.m_bytes[at], data, record.size);
  m_sink.m_samples.push_back(record);
  return S_OK;
}

HRESULT CByteSink::CPin::OnEndOfStream() {
  CAutoLock lock(m_sink.m_dataLock);
  ++m_sink.m_endOfStreams;
  return S_OK;
}

std::string CByteSink::Bytes() {
  CAutoLock lock(m_dataLock);
  return m_bytes;
}

std::vector<SinkSample> CByteSink::Samples() {
  CAutoLock lock(m_dataLock);
  return m_samples;
}

int CByteSink::EndOfStreams() {
  CAutoLock lock(m_dataLock);
  return m_endOfStreams;
}
