#pragma once
// The media type of MPEG audio layer III as the encoder delivers it: MEDIATYPE_Audio, the
// subtype of wave format tag 0x55 and an MPEGLAYER3WAVEFORMAT describing the frames.
#include <windows.h>
#include <mmreg.h>
#include <strmif.h>

#include "filters/kit/MediaType.h"
#include "filters/mp3/Mp3Settings.h"

// {00000055-0000-0010-8000-00AA00389B71}
extern const GUID MEDIASUBTYPE_MP3;

// The type of frames encoded with `settings` (already usable) from `channels` channels.
CMediaType Mp3MediaType(const Mp3Settings& settings, unsigned channels);

// True for MPEG layer III audio with a wave format block (whatever its rate or bit rate).
bool IsMp3MediaType(const AM_MEDIA_TYPE& type);
