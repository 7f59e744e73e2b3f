#pragma once
#include <windows.h>
#include <mmreg.h>
#include <strmif.h>

#include "filters/PcmFormat.h"

// An AM_MEDIA_TYPE that owns its format block and its object reference. Media types that
// leave through COM (enumerators, GetFormat) are copies made with CreateCopy, freed by the
// receiver with DeleteMediaType.
class CMediaType : public AM_MEDIA_TYPE {
 public:
  CMediaType();
  explicit CMediaType(const AM_MEDIA_TYPE& other);
  CMediaType(const CMediaType& other);
  CMediaType(CMediaType&& other) noexcept;
  CMediaType& operator=(const CMediaType& other);
  CMediaType& operator=(CMediaType&& other) noexcept;
  ~CMediaType();

  // False (and an empty type) when memory for the format block runs out.
  bool Set(const AM_MEDIA_TYPE& other);
  bool SetFormat(const void* format, ULONG size);
  void Clear();

  bool IsEmpty() const { return majortype == GUID_NULL; }
  // The format block as a WAVEFORMATEX, or null when it is not one.
  const WAVEFORMATEX* WaveFormat() const;
  // Fills a caller's record with a copy it then owns; false when memory runs out.
  bool CopyTo(AM_MEDIA_TYPE& out) const;
  // A copy allocated with CoTaskMemAlloc, or null when memory runs out.
  AM_MEDIA_TYPE* CreateCopy() const;
};

// Frees the format block and object reference of a type (the record itself stays).
void FreeMediaTypeContents(AM_MEDIA_TYPE& type);
// Frees a type allocated with CoTaskMemAlloc, as enumerators and GetFormat hand them out.
void DeleteMediaType(AM_MEDIA_TYPE* type);
// Same major type, subtype, format type and format bytes.
bool SameMediaType(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);
// True when type fits pattern, where GUID_NULL in the pattern matches anything.
bool MatchesPartialType(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE& pattern);
// True when no GUID of the type is GUID_NULL.
bool IsFullySpecified(const AM_MEDIA_TYPE& type);
// An uncompressed PCM audio type for that wave format.
CMediaType PcmMediaType(const WAVEFORMATEX& format);
// The PCM format of an uncompressed audio type that Sondrel's filters take (8/16 bits, 1 or 2
// channels, consistent block alignment); false for anything else.
bool PcmFormatOf(const AM_MEDIA_TYPE& type, PcmFormat& format);
// A PCM wave format; block alignment and byte rate follow from the other fields.
WAVEFORMATEX MakePcmFormat(DWORD samplesPerSec, WORD channels, WORD bitsPerSample);
