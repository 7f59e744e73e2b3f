#pragma once
// The header of the WAV files Sondrel writes. Portable: no Windows types.
//
// Layout (80 bytes, then the samples):
//   0  "RIFF" size "WAVE"
//   12 "JUNK" 28 bytes of zeros: room for the 64-bit sizes, so that a file that outgrows
//      the 32-bit sizes can become RF64 without moving its samples
//   48 "fmt " 16: PCM format
//   72 "data" size
// then the samples, and a pad byte after an odd number of them, which the RIFF size counts.
// Up to 4 GiB this is a standard RIFF WAVE file (readers skip the JUNK chunk). Beyond it,
// the header becomes the 64-bit form (RF64): "RF64", the JUNK chunk becomes "ds64" with the
// RIFF size, data size and sample count, and both 32-bit sizes read 0xFFFFFFFF. sox and
// ffmpeg read both forms to the last sample.
#include <array>
#include <cstddef>
#include <cstdint>

#include "filters/PcmFormat.h"

constexpr size_t kWaveHeaderSize = 80;
using WaveHeader = std::array<uint8_t, kWaveHeaderSize>;

// The header of a file holding dataBytes bytes of samples of that format.
WaveHeader MakeWaveHeader(const PcmFormat& format, uint64_t dataBytes);
