#include "filters/mp3/Mp3MediaType.h"

#include <uuids.h>

const GUID MEDIASUBTYPE_MP3 = {WAVE_FORMAT_MPEGLAYER3, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

CMediaType Mp3MediaType(const Mp3Settings& settings, unsigned channels) {
  const unsigned frameSamples = settings.sampleRate >= 32000 ? 1152 : 576;
  // A variable bit rate is described by its maximum, the most a second can take.
  const unsigned kbps = settings.variable ? settings.vbrMax : settings.bitRate;
  MPEGLAYER3WAVEFORMAT format{};
  format.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  format.wfx.nChannels = WORD(channels);
  format.wfx.nSamplesPerSec = settings.sampleRate;
  format.wfx.nAvgBytesPerSec = kbps * 1000 / 8;
  format.wfx.nBlockAlign = 1;
  format.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  format.wID = MPEGLAYER3_ID_MPEG;
  format.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
  format.nBlockSize = WORD(frameSamples / 8 * kbps * 1000 / settings.sampleRate);
  format.nFramesPerBlock = 1;

  CMediaType type;
  type.majortype = MEDIATYPE_Audio;
  type.subtype = MEDIASUBTYPE_MP3;
  type.formattype = FORMAT_WaveFormatEx;
  type.bFixedSizeSamples = FALSE;
  type.bTemporalCompression = FALSE;
  type.lSampleSize = 0;
  type.SetFormat(&format, sizeof(format));
  return type;
}

bool IsMp3MediaType(const AM_MEDIA_TYPE& type) {
  if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_MP3 ||
      type.formattype != FORMAT_WaveFormatEx || !type.pbFormat || type.cbFormat < sizeof(WAVEFORMATEX)) {
    return false;
  }
  return reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat)->wFormatTag == WAVE_FORMAT_MPEGLAYER3;
}
