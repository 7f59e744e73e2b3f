#include "filters/kit/MediaType.h"

#include <objbase.h>
#include <uuids.h>

#include <cstring>
#include <utility>

CMediaType::CMediaType() : AM_MEDIA_TYPE{} {}

CMediaType::CMediaType(const AM_MEDIA_TYPE& other) : AM_MEDIA_TYPE{} { Set(other); }

CMediaType::CMediaType(const CMediaType& other) : AM_MEDIA_TYPE{} { Set(other); }

CMediaType::CMediaType(CMediaType&& other) noexcept : AM_MEDIA_TYPE(other) {
  static_cast<AM_MEDIA_TYPE&>(other) = AM_MEDIA_TYPE{};
}

CMediaType& CMediaType::operator=(const CMediaType& other) {
  if (this != &other) Set(other);
  return *this;
}

CMediaType& CMediaType::operator=(CMediaType&& other) noexcept {
  if (this != &other) {
    Clear();
    static_cast<AM_MEDIA_TYPE&>(*this) = other;
    static_cast<AM_MEDIA_TYPE&>(other) = AM_MEDIA_TYPE{};
  }
  return *this;
}

CMediaType::~CMediaType() { FreeMediaTypeContents(*this); }

void CMediaType::Clear() {
  FreeMediaTypeContents(*this);
  static_cast<AM_MEDIA_TYPE&>(*this) = AM_MEDIA_TYPE{};
}

bool CMediaType::Set(const AM_MEDIA_TYPE& other) {
  if (&other == this) return true;
  Clear();
  static_cast<AM_MEDIA_TYPE&>(*this) = other;
  pbFormat = nullptr;
  cbFormat = 0;
  if (pUnk) pUnk->AddRef();
  if (!SetFormat(other.cbFormat ? other.pbFormat : nullptr, other.pbFormat ? other.cbFormat : 0)) {
    Clear();
    return false;
  }
  return true;
}

bool CMediaType::SetFormat(const void* format, ULONG size) {
  if (pbFormat) ::CoTaskMemFree(pbFormat);
  pbFormat = nullptr;
  cbFormat = 0;
  if (!format || size == 0) return true;
  pbFormat = static_cast<BYTE*>(::CoTaskMemAlloc(size));
  if (!pbFormat) return false;
  std::memcpy(pbFormat, format, size);
  cbFormat = size;
  return true;
}

const WAVEFORMATEX* CMediaType::WaveFormat() const {
  if (formattype != FORMAT_WaveFormatEx || !pbFormat || cbFormat < sizeof(PCMWAVEFORMAT)) return nullptr;
  return reinterpret_cast<const WAVEFORMATEX*>(pbFormat);
}

bool CMediaType::CopyTo(AM_MEDIA_TYPE& out) const {
  CMediaType owned;
  if (!owned.Set(*this)) return false;
  out = owned;
  static_cast<AM_MEDIA_TYPE&>(owned) = AM_MEDIA_TYPE{};
  return true;
}

AM_MEDIA_TYPE* CMediaType::CreateCopy() const {
  auto* copy = static_cast<AM_MEDIA_TYPE*>(::CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (copy && !CopyTo(*copy)) {
    ::CoTaskMemFree(copy);
    return nullptr;
  }
  return copy;
}

void FreeMediaTypeContents(AM_MEDIA_TYPE& type) {
  if (type.pbFormat) ::CoTaskMemFree(type.pbFormat);
  type.pbFormat = nullptr;
  type.cbFormat = 0;
  if (type.pUnk) type.pUnk->Release();
  type.pUnk = nullptr;
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return;
  FreeMediaTypeContents(*type);
  ::CoTaskMemFree(type);
}

bool SameMediaType(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
  if (a.majortype != b.majortype || a.subtype != b.subtype || a.formattype != b.formattype) return false;
  if (a.cbFormat != b.cbFormat) return false;
  return a.cbFormat == 0 || std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

bool MatchesPartialType(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE& pattern) {
  if (pattern.majortype != GUID_NULL && pattern.majortype != type.majortype) return false;
  if (pattern.subtype != GUID_NULL && pattern.subtype != type.subtype) return false;
  if (pattern.formattype != GUID_NULL) {
    if (pattern.formattype != type.formattype || pattern.cbFormat != type.cbFormat) return false;
    if (pattern.cbFormat && std::memcmp(pattern.pbFormat, type.pbFormat, pattern.cbFormat) != 0) return false;
  }
  return true;
}

bool IsFullySpecified(const AM_MEDIA_TYPE& type) {
  return type.majortype != GUID_NULL && type.subtype != GUID_NULL && type.formattype != GUID_NULL;
}

bool PcmFormatOf(const AM_MEDIA_TYPE& type, PcmFormat& format) {
  if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM) return false;
  if (type.formattype != FORMAT_WaveFormatEx || !type.pbFormat || type.cbFormat < sizeof(PCMWAVEFORMAT)) return false;
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
  if (wave->wFormatTag != WAVE_FORMAT_PCM) return false;
  format = PcmFormat{wave->nChannels, wave->nSamplesPerSec, wave->wBitsPerSample};
  return format.IsSupported() && wave->nBlockAlign == format.BlockAlign();
}

WAVEFORMATEX MakePcmFormat(DWORD samplesPerSec, WORD channels, WORD bitsPerSample) {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = channels;
  format.nSamplesPerSec = samplesPerSec;
  format.wBitsPerSample = bitsPerSample;
  format.nBlockAlign = static_cast<WORD>(channels * bitsPerSample / 8);
  format.nAvgBytesPerSec = samplesPerSec * format.nBlockAlign;
  return format;
}

CMediaType PcmMediaType(const WAVEFORMATEX& format) {
  CMediaType type;
  type.majortype = MEDIATYPE_Audio;
  type.subtype = MEDIASUBTYPE_PCM;
  type.formattype = FORMAT_WaveFormatEx;
  type.bFixedSizeSamples = TRUE;
  type.lSampleSize = format.nBlockAlign;
  WAVEFORMATEX pcm = format;
  pcm.cbSize = 0;
  type.SetFormat(&pcm, sizeof(pcm));
  return type;
}
