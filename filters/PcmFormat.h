#pragma once
// Uncompressed audio as Sondrel's filters take it: 8-bit unsigned or 16-bit signed
// little-endian samples, interleaved when there are two channels. Portable: no Windows types.
#include <cstdint>

struct PcmFormat {
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;

  uint16_t BlockAlign() const { return static_cast<uint16_t>(channels * bitsPerSample / 8); }
  uint32_t ByteRate() const { return sampleRate * BlockAlign(); }
  // 8 or 16 bits, 1 or 2 channels, any positive rate.
  bool IsSupported() const {
    return (channels == 1 || channels == 2) && (bitsPerSample == 8 || bitsPerSample == 16) && sampleRate > 0;
  }
  bool operator==(const PcmFormat& other) const {
    return channels == other.channels && sampleRate == other.sampleRate && bitsPerSample == other.bitsPerSample;
  }
};
