#pragma once
// Byte positions of encoded data on its way to the file.
//
// A filter whose output is the bytes of a file (the MP3 encoder) may place a sample at a
// position of its own choosing, to rewrite something it wrote earlier (the tag frame at
// the start of the stream): it sets the sample's media times to the byte range, start =
// offset, stop = offset + length. The WAV writer writes such a sample at that offset; a
// sample without media times goes after the furthest byte written so far. The WAV writer
// passes positions on to the File Writer as sample times, which is how the File Writer
// (Windows' and Wine's) places bytes.
#include <strmif.h>

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
