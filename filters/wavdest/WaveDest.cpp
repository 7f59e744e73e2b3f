#include "filters/wavdest/WaveDest.h"

#include <mmreg.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <evcode.h>

#include <algorithm>
#include <cstring>

#include "filters/kit/BytePosition.h"

const wchar_t kWaveDestName[] = L"Wave Dest";

namespace {

constexpr long kBufferSize = 64 * 1024;
constexpr long kBufferCount = 4;

const REGPINTYPES kInputTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM},
                                   {&MEDIATYPE_Audio, &MEDIASUBTYPE_MPEG1AudioPayload}};
const REGPINTYPES kOutputTypes[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_NULL}};
const REGFILTERPINS2 kPins[] = {
    {0, 1, 2, kInputTypes, 0, nullptr, &GUID_NULL},
    {REG_PINFLAG_B_OUTPUT, 1, 1, kOutputTypes, 0, nullptr, &GUID_NULL},
};

// The subtype that stands for a wave format tag ({tag-0000-0010-8000-00AA00389B71}).
bool IsWaveTagSubtype(const GUID& subtype, WORD tag) {
  GUID expected = MEDIASUBTYPE_PCM;
  expected.Data1 = tag;
  return subtype == expected;
}

}  // namespace

const REGFILTER2 kWaveDestRegistration = [] {
  REGFILTER2 registration{};
  registration.dwVersion = 2;
  registration.dwMerit = MERIT_DO_NOT_USE;
  registration.cPins2 = 2;
  registration.rgPins2 = kPins;
  return registration;
}();

HRESULT CreateWaveDest(REFIID iid, void** out) { return CreateComObject<CWaveDest>(iid, out); }

CWaveDestInputPin::CWaveDestInputPin(CWaveDest& owner) : CWithInterfaces(owner, L"In"), m_owner(owner) {}

void CWaveDestInputPin::BreakConnect() {
  m_peerStampsPositions = false;
  CBaseInputPin::BreakConnect();
}

STDMETHODIMP CWaveDestInputPin::UseBytePositions(IPin* from) {
  CAutoLock lock(m_filter.FilterLock());
  if (!from || from != Peer()) return VFW_E_NOT_CONNECTED;
  if (!m_filter.IsStopped()) return VFW_E_NOT_STOPPED;
  m_peerStampsPositions = true;
  return S_OK;
}

HRESULT CWaveDestInputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  PcmFormat format;
  bool acceptable = PcmFormatOf(type, format) || CWaveDest::IsMpegAudio(type);
  if (!acceptable) return VFW_E_TYPE_NOT_ACCEPTED;
  // One file has one format: while streaming, a sample may not bring another.
  if (!m_owner.IsStopped() && IsConnected() && !SameMediaType(type, ConnectionType())) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT CWaveDestInputPin::OnReceive(IMediaSample* sample) { return m_owner.Receive(sample); }

HRESULT CWaveDestInputPin::OnEndOfStream() { return m_owner.EndOfStream(); }

void CWaveDestInputPin::OnBeginFlush() { m_owner.m_output.DeliverBeginFlush(); }

void CWaveDestInputPin::OnEndFlush() { m_owner.m_output.DeliverEndFlush(); }

CWaveDestOutputPin::CWaveDestOutputPin(CWaveDest& owner) : CBaseOutputPin(owner, L"Out") {}

HRESULT CWaveDestOutputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return type.majortype == MEDIATYPE_Stream ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CWaveDestOutputPin::GetMediaType(int index, CMediaType& type) {
  if (index != 0) return VFW_S_NO_MORE_ITEMS;
  type.Clear();
  type.majortype = MEDIATYPE_Stream;
  type.subtype = MEDIASUBTYPE_NULL;
  type.formattype = FORMAT_None;
  type.bFixedSizeSamples = FALSE;
  type.bTemporalCompression = FALSE;
  type.lSampleSize = 1;
  return S_OK;
}

HRESULT CWaveDestOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) {
  request.cBuffers = std::max(request.cBuffers, kBufferCount);
  request.cbBuffer = std::max(request.cbBuffer, kBufferSize);
  ALLOCATOR_PROPERTIES actual{};
  HRESULT hr = allocator->SetProperties(&request, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < static_cast<long>(kWaveHeaderSize) ? E_FAIL : S_OK;
}

CWaveDest::CWaveDest() : CWithInterfaces(CLSID_WaveDest), m_input(*this), m_output(*this) {}

CBasePin* CWaveDest::GetPin(int index) {
  if (index == 0) return &m_input;
  if (index == 1) return &m_output;
  return nullptr;
}

bool CWaveDest::IsMpegAudio(const AM_MEDIA_TYPE& type) {
  if (type.majortype != MEDIATYPE_Audio) return false;
  if (type.subtype == MEDIASUBTYPE_MPEG1AudioPayload || type.subtype == MEDIASUBTYPE_MPEG1Packet ||
      type.subtype == MEDIASUBTYPE_MPEG1Audio || IsWaveTagSubtype(type.subtype, WAVE_FORMAT_MPEGLAYER3)) {
    return true;
  }
  if (type.formattype == FORMAT_WaveFormatEx && type.pbFormat && type.cbFormat >= sizeof(WAVEFORMATEX)) {
    WORD tag = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat)->wFormatTag;
    return tag == WAVE_FORMAT_MPEGLAYER3 || tag == WAVE_FORMAT_MPEG;
  }
  return false;
}

STDMETHODIMP CWaveDest::CheckWritesTo(LPCOLESTR path) {
  CAutoLock lock(FilterLock());
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  m_checkedPath = path ? path : L"";
  return S_OK;
}

HRESULT CWaveDest::OnStartStreaming() {
  // The File Writer, downstream, made the file before this filter leaves Stopped.
  if (!m_checkedPath.empty()) {
    const HANDLE file = ::CreateFileW(m_checkedPath.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      0, nullptr);
    m_checkedFile.Reset(file == INVALID_HANDLE_VALUE ? nullptr : file);
  }
  m_pcm = m_input.IsConnected() && PcmFormatOf(m_input.ConnectionType(), m_format);
  m_positioned = m_input.PeerStampsPositions();
  m_dataBytes = 0;
  m_end = 0;
  m_failure = S_OK;
  // An empty but valid file from the start; a File Writer that takes nothing yet while
  // paused gets the header again with the first samples.
  if (m_pcm && m_output.IsConnected()) {
    WriteHeader();
    m_failure = S_OK;
  }
  return S_OK;
}

// A header that no longer reaches the file tells of a folder that failed since the last
// sample (a pause or a stop just after a drive was pulled): reported as any failed write.
void CWaveDest::OnLeaveRunning() {
  if (!m_pcm || m_failure != S_OK) return;
  const HRESULT hr = WriteHeader();
  if (FAILED(hr)) Fail(hr);
}

void CWaveDest::OnStopStreaming() { m_checkedFile.Reset(); }

bool CWaveDest::FileReaches(uint64_t end) const {
  if (!m_checkedFile) return true;
  // A file whose size can no longer be read went with its folder (a pulled drive, a share
  // that went away): nothing written now reaches it.
  LARGE_INTEGER size{};
  return ::GetFileSizeEx(m_checkedFile.Get(), &size) && static_cast<uint64_t>(size.QuadPart) >= end;
}

HRESULT CWaveDest::Receive(IMediaSample* sample) {
  if (FAILED(m_failure)) return m_failure;
  BYTE* data = nullptr;
  HRESULT hr = sample->GetPointer(&data);
  if (FAILED(hr)) return hr;
  long length = sample->GetActualDataLength();
  if (length <= 0) return S_OK;
  if (m_pcm) {
    hr = WriteSamples(data, length);
  } else {
    LONGLONG position = 0;
    const bool placed = m_positioned && GetBytePosition(sample, position) && position >= 0;
    hr = Write(placed ? static_cast<uint64_t>(position) : m_end, data, length);
  }
  return FAILED(hr) ? Fail(hr) : S_OK;
}

// Each step leaves a complete file: the header, written last, never counts bytes that are
// not there yet, and the next samples go over the pad byte.
HRESULT CWaveDest::WriteSamples(const BYTE* data, long length) {
  HRESULT hr = Write(kWaveHeaderSize + m_dataBytes, data, length);
  if (FAILED(hr)) return hr;
  m_dataBytes += static_cast<uint64_t>(length);
  if (m_dataBytes % 2 != 0) {
    const BYTE pad = 0;
    hr = Write(kWaveHeaderSize + m_dataBytes, &pad, 1);
    if (FAILED(hr)) return hr;
  }
  return WriteHeader();
}

HRESULT CWaveDest::EndOfStream() {
  if (m_pcm && m_failure == S_OK) WriteHeader();
  return m_output.DeliverEndOfStream();
}

HRESULT CWaveDest::Write(uint64_t offset, const BYTE* data, long length) {
  while (length > 0) {
    CComPtr<IMediaSample> buffer;
    HRESULT hr = m_output.GetDeliveryBuffer(buffer);
    if (FAILED(hr)) return hr;
    BYTE* target = nullptr;
    hr = buffer->GetPointer(&target);
    if (FAILED(hr)) return hr;
    long chunk = std::min(length, buffer->GetSize());
    std::memcpy(target, data, chunk);
    buffer->SetActualDataLength(chunk);
    REFERENCE_TIME start = static_cast<REFERENCE_TIME>(offset);
    REFERENCE_TIME stop = start + chunk;
    buffer->SetTime(&start, &stop);
    buffer->SetMediaTime(nullptr, nullptr);
    hr = m_output.Deliver(buffer.Get());
    if (FAILED(hr)) return hr;
    if (!FileReaches(offset + static_cast<uint64_t>(chunk))) return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
    offset += static_cast<uint64_t>(chunk);
    data += chunk;
    length -= chunk;
    m_end = std::max(m_end, offset);
  }
  return S_OK;
}

HRESULT CWaveDest::WriteHeader() {
  WaveHeader header = MakeWaveHeader(m_format, m_dataBytes);
  return Write(0, header.data(), static_cast<long>(header.size()));
}

HRESULT CWaveDest::Fail(HRESULT hr) {
  if (m_failure == S_OK) {
    m_failure = hr;
    NotifyEvent(EC_ERRORABORT, hr, 0);
  }
  return hr;
}
