#include "FakeFilters.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <cstring>

#include "filters/kit/ComObject.h"
#include "filters/mp3/Mp3MediaType.h"

namespace {
const CLSID kSourceClsid = {0x6d1f3a10, 0x51b4, 0x4f0e, {0x9a, 0x31, 0x2e, 0x55, 0x0c, 0x7a, 0x11, 0x01}};
const CLSID kSinkClsid = {0x6d1f3a10, 0x51b4, 0x4f0e, {0x9a, 0x31, 0x2e, 0x55, 0x0c, 0x7a, 0x11, 0x02}};
const CLSID kEncoderClsid = {0x6d1f3a10, 0x51b4, 0x4f0e, {0x9a, 0x31, 0x2e, 0x55, 0x0c, 0x7a, 0x11, 0x03}};

// A media sample whose buffer cannot be read; everything else answers as for an empty one.
class CUnreadableSample : public CComObjectBase<IMediaSample> {
 public:
  STDMETHODIMP GetPointer(BYTE** buffer) override {
    if (buffer) *buffer = nullptr;
    return E_FAIL;
  }
  STDMETHODIMP_(long) GetSize() override { return 0; }
  STDMETHODIMP GetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return VFW_E_SAMPLE_TIME_NOT_SET; }
  STDMETHODIMP SetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return S_OK; }
  STDMETHODIMP IsSyncPoint() override { return S_OK; }
  STDMETHODIMP SetSyncPoint(BOOL) override { return S_OK; }
  STDMETHODIMP IsPreroll() override { return S_FALSE; }
  STDMETHODIMP SetPreroll(BOOL) override { return S_OK; }
  STDMETHODIMP_(long) GetActualDataLength() override { return 4096; }
  STDMETHODIMP SetActualDataLength(long) override { return S_OK; }
  STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** type) override {
    if (type) *type = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP SetMediaType(AM_MEDIA_TYPE*) override { return S_OK; }
  STDMETHODIMP IsDiscontinuity() override { return S_FALSE; }
  STDMETHODIMP SetDiscontinuity(BOOL) override { return S_OK; }
  STDMETHODIMP GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
  STDMETHODIMP SetMediaTime(LONGLONG*, LONGLONG*) override { return S_OK; }
};

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

HRESULT CPcmSource::PushUnreadable() {
  CComPtr<CUnreadableSample> sample = MakeComObject<CUnreadableSample>();
  return m_pin.Deliver(sample.Get());
}

CByteSink::CByteSink(Positions positions) : CBaseFilter(kSinkClsid), m_positions(positions), m_pin(*this) {}

HRESULT CByteSink::CPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return IsMp3MediaType(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

void* CByteSink::CPin::FindInterface(REFIID iid) {
  if (iid == __uuidof(IBytePositionSink) && m_sink.m_positions == Positions::Ignored) return nullptr;
  return CWithInterfaces::FindInterface(iid);
}

STDMETHODIMP CByteSink::CPin::UseBytePositions(IPin* from) {
  if (from != Peer()) return VFW_E_NOT_CONNECTED;
  m_announced = true;
  return S_OK;
}

void CByteSink::CPin::BreakConnect() {
  m_announced = false;
  CBaseInputPin::BreakConnect();
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
  const bool placed = m_announced && record.position >= 0;
  const size_t at = placed ? size_t(record.position) : m_sink.m_bytes.size();
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

CSamplePositionEncoder::CSamplePositionEncoder() : CBaseFilter(kEncoderClsid), m_input(*this), m_output(*this) {}

CBasePin* CSamplePositionEncoder::GetPin(int index) {
  if (index == 0) return &m_input;
  return index == 1 ? &m_output : nullptr;
}

PcmFormat CSamplePositionEncoder::InputFormat() const {
  PcmFormat format;
  return PcmFormatOf(m_input.ConnectionType(), format) ? format : PcmFormat{};
}

HRESULT CSamplePositionEncoder::OnStartStreaming() {
  m_position = 0;
  return m_encoder.Start(InputFormat(), {}, false) ? S_OK : E_FAIL;
}

HRESULT CSamplePositionEncoder::Deliver(const std::vector<uint8_t>& bytes, uint64_t end) {
  LONGLONG start = LONGLONG(m_position);
  LONGLONG stop = LONGLONG(end);
  m_position = end;
  if (bytes.empty()) return S_OK;
  CComPtr<IMediaSample> sample;
  HRESULT hr = m_output.GetDeliveryBuffer(sample);
  if (FAILED(hr)) return hr;
  BYTE* buffer = nullptr;
  sample->GetPointer(&buffer);
  if (long(bytes.size()) > sample->GetSize()) return E_FAIL;
  std::memcpy(buffer, bytes.data(), bytes.size());
  sample->SetActualDataLength(long(bytes.size()));
  sample->SetMediaTime(&start, &stop);
  return m_output.Deliver(sample.Get());
}

HRESULT CSamplePositionEncoder::CInput::CheckMediaType(const AM_MEDIA_TYPE& type) {
  PcmFormat format;
  return PcmFormatOf(type, format) && IsEncodablePcm(format) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CSamplePositionEncoder::CInput::OnReceive(IMediaSample* sample) {
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  std::vector<uint8_t> encoded;
  if (!m_owner.m_encoder.Encode(data, size_t(sample->GetActualDataLength()), encoded)) return E_FAIL;
  return m_owner.Deliver(encoded, m_owner.m_encoder.SamplesIn());
}

HRESULT CSamplePositionEncoder::CInput::OnEndOfStream() {
  std::vector<uint8_t> encoded;
  if (!m_owner.m_encoder.Flush(encoded)) return E_FAIL;
  HRESULT hr = m_owner.Deliver(encoded, m_owner.m_encoder.SamplesIn());
  return FAILED(hr) ? hr : m_owner.m_output.DeliverEndOfStream();
}

HRESULT CSamplePositionEncoder::COutput::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return IsMp3MediaType(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CSamplePositionEncoder::COutput::GetMediaType(int index, CMediaType& type) {
  const PcmFormat input = m_owner.InputFormat();
  if (index != 0 || input.channels == 0) return VFW_S_NO_MORE_ITEMS;
  type = Mp3MediaType(UsableSettings({}, input.sampleRate), input.channels);
  return S_OK;
}

HRESULT CSamplePositionEncoder::COutput::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) {
  request.cBuffers = std::max(request.cBuffers, 4L);
  request.cbBuffer = std::max(request.cbBuffer, 64L * 1024);
  request.cbAlign = std::max(request.cbAlign, 1L);
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(&request, &actual);
}
