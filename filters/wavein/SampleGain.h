#pragma once
// The capture line's mix level applied to captured PCM: a linear amplitude gain on 8-bit
// unsigned or 16-bit signed little-endian samples. Portable: no Windows types.
#include <cstddef>
#include <cstdint>

// Copies `bytes` of samples from `from` to `to`, each multiplied by `gain` (0.0 to 1.0),
// rounded to the nearest value. A gain of 1.0 copies the bytes unchanged; 0.0 gives
// silence (0, or 128 for 8-bit samples).
void CopyWithGain(const uint8_t* from, uint8_t* to, size_t bytes, uint16_t bitsPerSample, double gain);
