#include "filters/mp3/Mp3Settings.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

namespace {

// The sample rates of MPEG-2.5, MPEG-2 and MPEG-1.
constexpr unsigned kSampleRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

constexpr unsigned kMpeg1BitRates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr unsigned kMpeg2BitRates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
// libmp3lame goes no higher at the MPEG-2.5 rates (8000, 11025 and 12000 Hz).
constexpr unsigned kMpeg25BitRates[] = {8, 16, 24, 32, 40, 48, 56, 64};

// The entry of an ascending table nearest to `value`, the lower one on a tie.
template <size_t N>
unsigned Nearest(const unsigned (&table)[N], unsigned value) {
  unsigned best = table[0];
  for (unsigned candidate : table) {
    if (std::labs(long(candidate) - long(value)) < std::labs(long(best) - long(value))) {
      best = candidate;
    }
  }
  return best;
}

unsigned NearestMpegSampleRate(unsigned rate) { return Nearest(kSampleRates, rate); }

// Each MPEG version, chosen by the sample rate, has a bit-rate table of its own.
unsigned NearestMpegBitRate(unsigned kbps, unsigned sampleRate) {
  if (sampleRate >= 32000) return Nearest(kMpeg1BitRates, kbps);
  if (sampleRate >= 16000) return Nearest(kMpeg2BitRates, kbps);
  return Nearest(kMpeg25BitRates, kbps);
}

}  // namespace

bool IsEncodablePcm(const PcmFormat& format) {
  return format.IsSupported() && format.sampleRate >= 8000 && format.sampleRate <= 96000;
}

Mp3Settings UsableSettings(const Mp3Settings& wanted, unsigned inputRate) {
  Mp3Settings usable = wanted;
  usable.sampleRate = NearestMpegSampleRate(wanted.sampleRate != 0 ? wanted.sampleRate : inputRate);
  usable.bitRate = NearestMpegBitRate(wanted.bitRate, usable.sampleRate);
  usable.vbrMax = NearestMpegBitRate(wanted.vbrMax, usable.sampleRate);
  usable.vbrMin = std::min(NearestMpegBitRate(wanted.vbrMin, usable.sampleRate), usable.vbrMax);
  usable.vbrQuality = std::min(wanted.vbrQuality, 9u);
  usable.quality = std::min(wanted.quality, 9u);
  return usable;
}
