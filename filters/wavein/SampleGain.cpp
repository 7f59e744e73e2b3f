#include "filters/wavein/SampleGain.h"

#include <cmath>
#include <cstring>

void CopyWithGain(const uint8_t* from, uint8_t* to, size_t bytes, uint16_t bitsPerSample, double gain) {
  if (gain >= 1.0) {
    std::memcpy(to, from, bytes);
    return;
  }
  if (gain < 0.0) gain = 0.0;
  if (bitsPerSample == 8) {
    for (size_t i = 0; i < bytes; ++i) {
      to[i] = static_cast<uint8_t>(128 + std::lround((static_cast<int>(from[i]) - 128) * gain));
    }
    return;
  }
  // A gain below 1.0 can never leave the 16-bit range: no clamping is needed.
  for (size_t i = 0; i + 1 < bytes; i += 2) {
    const auto sample = static_cast<int16_t>(from[i] | (from[i + 1] << 8));
    const auto scaled = static_cast<uint16_t>(static_cast<int16_t>(std::lround(sample * gain)));
    to[i] = static_cast<uint8_t>(scaled);
    to[i + 1] = static_cast<uint8_t>(scaled >> 8);
  }
}
