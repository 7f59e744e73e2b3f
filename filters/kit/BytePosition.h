#pragma once
// Byte positions of encoded data on its way to the file.
//
// A filter whose output is the bytes of a file (the MP3 encoder) may place a sample at a
// position of its own choosing, to rewrite something it wrote earlier (the tag frame at
// the start of the stream): it sets the sample's media times to the byte range, start =
// offset, stop = offset + length. Other DirectShow filters use media times for other
// things (sample positions, or times copied through), so the convention holds only between
// two filters that have agreed on it: a writer that honours positions offers
// IBytePositionSink on its input pin, and an upstream pin that stamps them announces it
// there once it is connected. The WAV writer honours positions only from a peer that
// announced them and appends everything else in arrival order; the encoder stamps positions
// and rewrites its tag only into a writer that took the announcement. The WAV writer passes
// positions on to the File Writer as sample times, which is how the File Writer (Windows'
// and Wine's) places bytes.
#include <strmif.h>

#include "filters/kit/ComPtr.h"

// Offered by the input pin of a writer that can place samples at byte positions.
struct IBytePositionSink : public IUnknown {
  // The connected upstream pin `from` stamps every sample with its byte range from now on,
  // for as long as this connection lasts. VFW_E_NOT_CONNECTED when `from` is not the peer.
  virtual HRESULT STDMETHODCALLTYPE UseBytePositions(IPin* from) = 0;
};
__CRT_UUID_DECL(IBytePositionSink, 0xff8225ea, 0x666f, 0x45ba, 0x8a, 0x49, 0x25, 0xc5, 0x83, 0xb8, 0x6c, 0xd6)

// Tells the writer behind `peer` that `self` stamps byte positions; true when it honours
// them (called once `self` is connected to `peer`).
inline bool AnnounceBytePositions(IPin* self, IPin* peer) {
  CComPtr<IBytePositionSink> sink = ComQuery<IBytePositionSink>(peer);
  return sink && sink->UseBytePositions(self) == S_OK;
}

// Marks a sample as the bytes [offset, offset + its actual data length).
inline HRESULT SetBytePosition(IMediaSample* sample, LONGLONG offset) {
  LONGLONG stop = offset + sample->GetActualDataLength();
  return sample->SetMediaTime(&offset, &stop);
}

// The sample's byte offset, or false when it carries none.
inline bool GetBytePosition(IMediaSample* sample, LONGLONG& offset) {
  LONGLONG start = 0;
  LONGLONG stop = 0;
  if (sample->GetMediaTime(&start, &stop) != S_OK) return false;
  offset = start;
  return true;
}
