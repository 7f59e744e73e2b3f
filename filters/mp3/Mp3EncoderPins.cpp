#include "filters/mp3/Mp3EncoderFilter.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>

#include "filters/kit/BytePosition.h"
#include "filters/kit/MediaType.h"
#include "filters/mp3/Mp3MediaType.h"

CMp3InputPin::CMp3InputPin(CMp3EncoderFilter& filter) : CBaseInputPin(filter, L"Input"), m_encoder(filter) {}

HRESULT CMp3InputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  PcmFormat pcm;
  if (!PcmFormatOf(type, pcm) || !IsEncodablePcm(pcm)) return VFW_E_TYPE_NOT_ACCEPTED;
  // A stream in progress keeps its format: the encoder was set up for it.
  if (!m_filter.IsStopped() && IsConnected() && !(pcm == Format())) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT CMp3InputPin::CompleteConnect(IPin* peer) {
  HRESULT hr = CBaseInputPin::CompleteConnect(peer);
  if (SUCCEEDED(hr)) m_encoder.FollowInput();
  return hr;
}

PcmFormat CMp3InputPin::Format() const {
  PcmFormat pcm;
  return PcmFormatOf(ConnectionType(), pcm) ? pcm : PcmFormat{};
}

HRESULT CMp3InputPin::OnReceive(IMediaSample* sample) { return m_encoder.Encode(sample); }

HRESULT CMp3InputPin::OnEndOfStream() { return m_encoder.Finish(); }

void CMp3InputPin::OnBeginFlush() { m_encoder.BeginFlush(); }

void CMp3InputPin::OnEndFlush() { m_encoder.EndFlush(); }

CMp3OutputPin::CMp3OutputPin(CMp3EncoderFilter& filter) : CBaseOutputPin(filter, L"Output"), m_encoder(filter) {}

HRESULT CMp3OutputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  CMediaType ours;
  HRESULT hr = m_encoder.OutputType(ours);
  if (FAILED(hr)) return hr;
  if (!IsMp3MediaType(type)) return VFW_E_TYPE_NOT_ACCEPTED;
  const auto& theirs = *reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
  const WAVEFORMATEX& expected = *ours.WaveFormat();
  return theirs.nSamplesPerSec == expected.nSamplesPerSec && theirs.nChannels == expected.nChannels
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CMp3OutputPin::GetMediaType(int index, CMediaType& type) {
  if (index != 0) return VFW_S_NO_MORE_ITEMS;
  HRESULT hr = m_encoder.OutputType(type);
  return FAILED(hr) ? VFW_S_NO_MORE_ITEMS : S_OK;
}

HRESULT CMp3OutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) {
  // Encoded data is delivered in pieces of whatever size the buffers have.
  request.cBuffers = std::max(request.cBuffers, kBufferCount);
  request.cbBuffer = std::max(request.cbBuffer, kBufferSize);
  request.cbAlign = std::max(request.cbAlign, 1L);
  ALLOCATOR_PROPERTIES actual{};
  HRESULT hr = allocator->SetProperties(&request, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer > 0 && actual.cBuffers > 0 ? S_OK : E_FAIL;
}

HRESULT CMp3OutputPin::CompleteConnect(IPin* peer) {
  HRESULT hr = CBaseOutputPin::CompleteConnect(peer);
  if (SUCCEEDED(hr)) m_writerTakesPositions = AnnounceBytePositions(this, peer);
  return hr;
}

void CMp3OutputPin::BreakConnect() {
  m_writerTakesPositions = false;
  CBaseOutputPin::BreakConnect();
}

bool CMp3OutputPin::ChangeType(const CMediaType& type) {
  if (SameMediaType(type, ConnectionType())) return false;
  IPin* peer = Peer();
  if (!peer || peer->QueryAccept(&type) != S_OK) return false;
  SetConnectionType(type);
  return true;
}
