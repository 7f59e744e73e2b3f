#pragma once
// What the MP3 encoder is asked for, and the step that turns any request into one the
// MPEG audio format can carry. Users pick bit rates and qualities from lists that do not
// know the output rate, so a request is never refused: each value moves to the nearest
// usable one.

#include "filters/PcmFormat.h"

// 8 or 16 bits, mono or stereo, 8000 to 96000 samples per second: libmp3lame resamples any
// of them to the output rate.
bool IsEncodablePcm(const PcmFormat& format);

struct Mp3Settings {
  unsigned sampleRate = 0;  // output rate in Hz; 0 keeps the input's rate
  bool variable = false;    // variable bit rate between vbrMin and vbrMax
  unsigned bitRate = 128;   // kbit/s, constant bit rate
  unsigned vbrMin = 32;     // kbit/s
  unsigned vbrMax = 320;    // kbit/s
  unsigned vbrQuality = 4;  // 0 (best) to 9
  unsigned quality = 5;     // encoding effort, 0 (best, slowest) to 9 (fastest)
};

// The settings the encoder runs with for input at `inputRate`: an MPEG output rate, bit
// rates that exist at it, a VBR minimum not above the maximum (the minimum gives way), and
// qualities within 0 to 9.
Mp3Settings UsableSettings(const Mp3Settings& wanted, unsigned inputRate);
