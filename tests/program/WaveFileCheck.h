#pragma once
// Strict checks of a WAV file the program wrote, read in pieces so that files beyond 4 GiB
// fit: our own header check, which forgives no size that disagrees with another or with
// the file, the counter signal of the virtual device in its samples, and the host's sox
// and ffmpeg reading it to the end.
#include <cstdint>
#include <string>

#include "filters/PcmFormat.h"

struct WaveFileCheck {
  std::string error;  // the first fault of the header; empty when there is none
  bool rf64 = false;
  uint64_t dataBytes = 0;            // what the header says
  uint64_t firstCounterMismatch = 0;  // index of the first data byte off the counter; dataBytes if none
};

// The header must be the program's 80-byte form (RIFF or RF64) for `format`, its sizes must
// agree with each other, and the file must hold every byte they count.
WaveFileCheck CheckWaveFile(const std::string& path, const PcmFormat& format);

// What sox (warnings included) and ffmpeg (errors, which end its decoding) say while reading
// the whole file; empty when both read it in silence and succeed.
std::string StrictReaderComplaints(const std::string& path);
