#include "filters/mp3/Mp3EncoderFilter.h"

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "filters/kit/BytePosition.h"
#include "filters/mp3/Mp3MediaType.h"

const wchar_t kLameMp3Name[] = L"Lame MP3";

namespace {
const REGPINTYPES kInputTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};
const REGPINTYPES kOutputTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_MP3}};
const REGFILTERPINS kPins[] = {
    {const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kInputTypes},
    {const_cast<LPWSTR>(L"Output"), FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kOutputTypes},
};
}  // namespace

// Never picked by intelligent connect: an encoder is added on purpose.
const REGFILTER2 kLameMp3Registration = {1, MERIT_DO_NOT_USE, {{2, kPins}}};

HRESULT CreateLameMp3Encoder(REFIID iid, void** out) { return CreateComObject<CMp3EncoderFilter>(iid, out); }

CMp3EncoderFilter::CMp3EncoderFilter()
    : CWithInterfaces(CLSID_LameMp3Encoder), m_input(*this), m_output(*this) {}

CBasePin* CMp3EncoderFilter::GetPin(int index) {
  if (index == 0) return &m_input;
  if (index == 1) return &m_output;
  return nullptr;
}

Mp3Settings CMp3EncoderFilter::EffectiveSettings() {
  CAutoLock lock(FilterLock());
  return m_input.IsConnected() ? UsableSettings(m_requested, m_input.Format().sampleRate) : m_requested;
}

HRESULT CMp3EncoderFilter::OutputType(CMediaType& type) {
  CAutoLock lock(FilterLock());
  if (!m_input.IsConnected()) return VFW_E_NOT_CONNECTED;
  type = Mp3MediaType(EffectiveSettings(), m_input.Format().channels);
  return type.IsEmpty() ? E_OUTOFMEMORY : S_OK;
}

void CMp3EncoderFilter::FollowInput() {
  CMediaType type;
  if (!IsStopped() || !m_output.IsConnected() || FAILED(OutputType(type))) return;
  const WAVEFORMATEX* now = m_output.ConnectionType().WaveFormat();
  const WAVEFORMATEX* wanted = type.WaveFormat();
  if (now && now->nSamplesPerSec == wanted->nSamplesPerSec && now->nChannels == wanted->nChannels) return;
  CComPtr<IFilterGraph2> graph = ComQuery<IFilterGraph2>(Graph());
  if (graph) graph->ReconnectEx(&m_output, nullptr);
}

HRESULT CMp3EncoderFilter::Fail(HRESULT hr) {
  if (m_failure == S_OK) {
    m_failure = hr;
    NotifyEvent(EC_ERRORABORT, hr, 0);
  }
  return hr;
}

template <class Step>
HRESULT CMp3EncoderFilter::Guarded(Step&& step) {
  if (FAILED(m_failure)) return m_failure;
  try {
    return step();
  } catch (const std::bad_alloc&) {
    return Fail(E_OUTOFMEMORY);
  }
}

HRESULT CMp3EncoderFilter::OnStartStreaming() {
  m_encoded.clear();
  m_bytesOut = 0;
  m_timeOut = 0;
  m_leftRunning = false;
  m_discontinuity = true;
  m_typeChanged = false;
  m_failure = S_OK;
  m_positioned = m_output.WriterTakesPositions();
  if (!m_input.IsConnected()) return S_OK;
  const PcmFormat input = m_input.Format();
  if (!m_encoder.Start(input, m_requested, m_positioned)) return E_FAIL;
  m_nextTagAt = input.sampleRate;
  CMediaType type;
  if (m_output.IsConnected() && SUCCEEDED(OutputType(type))) m_typeChanged = m_output.ChangeType(type);
  return S_OK;
}

void CMp3EncoderFilter::OnRun(REFERENCE_TIME) { m_leftRunning = false; }

void CMp3EncoderFilter::OnLeaveRunning() {
  // Pausing or stopping: the file must hold everything now, as nothing can be delivered
  // once the filter stops.
  m_leftRunning = true;
  Guarded([this] { return FlushEncoder(); });
}

void CMp3EncoderFilter::OnStopStreaming() { m_encoder.Close(); }

HRESULT CMp3EncoderFilter::Encode(IMediaSample* sample) {
  return Guarded([&] {
    if (!m_encoder.IsStarted()) return VFW_E_WRONG_STATE;
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr)) return Fail(hr);
    m_encoded.clear();
    if (!m_encoder.Encode(data, size_t(std::max(0L, sample->GetActualDataLength())), m_encoded)) return Fail(E_FAIL);
    hr = DeliverEncoded();
    if (FAILED(hr)) return hr;
    if (m_encoder.SamplesIn() >= m_nextTagAt) {
      m_nextTagAt = m_encoder.SamplesIn() + m_encoder.Input().sampleRate;
      hr = DeliverTag();
      if (FAILED(hr)) return hr;
    }
    // Upstream may still deliver between this filter's pause and its own.
    return m_leftRunning ? FlushEncoder() : S_OK;
  });
}

HRESULT CMp3EncoderFilter::Finish() {
  return Guarded([this] {
    HRESULT hr = FlushEncoder();
    if (FAILED(hr)) return hr;
    return m_output.DeliverEndOfStream();
  });
}

void CMp3EncoderFilter::BeginFlush() { m_output.DeliverBeginFlush(); }

void CMp3EncoderFilter::EndFlush() { m_output.DeliverEndFlush(); }

HRESULT CMp3EncoderFilter::FlushEncoder() {
  if (!m_encoder.IsStarted()) return S_OK;
  m_encoded.clear();
  if (!m_encoder.Flush(m_encoded)) return Fail(E_FAIL);
  HRESULT hr = DeliverEncoded();
  if (FAILED(hr)) return hr;
  return DeliverTag();
}

REFERENCE_TIME CMp3EncoderFilter::TimeOfSamples(uint64_t samples) const {
  return REFERENCE_TIME(samples * 10000000 / m_encoder.Input().sampleRate);
}

HRESULT CMp3EncoderFilter::DeliverEncoded() {
  if (m_encoded.empty()) return S_OK;
  const REFERENCE_TIME start = m_timeOut;
  const REFERENCE_TIME stop = TimeOfSamples(m_encoder.SamplesIn());
  HRESULT hr = DeliverBytes(m_encoded.data(), m_encoded.size(), m_bytesOut, &start, &stop);
  if (FAILED(hr)) return hr;
  m_bytesOut += LONGLONG(m_encoded.size());
  m_timeOut = stop;
  return S_OK;
}

HRESULT CMp3EncoderFilter::DeliverTag() {
  if (!m_positioned) return S_OK;
  const std::vector<uint8_t> tag = m_encoder.TagFrame();
  // The tag replaces the empty frame the stream began with, once that is out.
  if (tag.empty() || LONGLONG(tag.size()) > m_bytesOut) return S_OK;
  return DeliverBytes(tag.data(), tag.size(), 0, nullptr, nullptr);
}

HRESULT CMp3EncoderFilter::DeliverBytes(const uint8_t* bytes, size_t size, LONGLONG position,
                                        const REFERENCE_TIME* start, const REFERENCE_TIME* stop) {
  for (size_t done = 0; done < size;) {
    CComPtr<IMediaSample> sample;
    HRESULT hr = m_output.GetDeliveryBuffer(sample);
    if (FAILED(hr)) return hr;
    BYTE* buffer = nullptr;
    hr = sample->GetPointer(&buffer);
    if (FAILED(hr)) return hr;
    const size_t piece = std::min(size - done, size_t(std::max(1L, sample->GetSize())));
    std::memcpy(buffer, bytes + done, piece);
    sample->SetActualDataLength(long(piece));
    // Times are shared out over the pieces by their bytes, so that they stay continuous.
    if (start && stop) {
      REFERENCE_TIME pieceStart = *start + (*stop - *start) * LONGLONG(done) / LONGLONG(size);
      REFERENCE_TIME pieceStop = *start + (*stop - *start) * LONGLONG(done + piece) / LONGLONG(size);
      sample->SetTime(&pieceStart, &pieceStop);
    } else {
      sample->SetTime(nullptr, nullptr);
    }
    if (m_positioned) {
      SetBytePosition(sample.Get(), position + LONGLONG(done));
    } else {
      sample->SetMediaTime(nullptr, nullptr);
    }
    sample->SetSyncPoint(TRUE);
    if (m_discontinuity) sample->SetDiscontinuity(TRUE);
    if (m_typeChanged) sample->SetMediaType(const_cast<CMediaType*>(&m_output.ConnectionType()));
    hr = m_output.Deliver(sample.Get());
    if (FAILED(hr)) return hr;
    m_discontinuity = false;
    m_typeChanged = false;
    done += piece;
  }
  return S_OK;
}
