#pragma once
// Independent checks of the audio files the program writes: decoding with the host's
// ffmpeg (which honours the encoder delay and padding in an MP3 tag frame), the duration
// ffprobe reports, a tone's frequency, and a walk over MPEG audio frame headers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DecodedAudio {
  std::string error;  // empty when the file decoded
  unsigned sampleRate = 0;
  unsigned channels = 0;
  std::vector<int16_t> samples;  // the first channel

  double Seconds() const { return sampleRate ? double(samples.size()) / sampleRate : 0.0; }
};

DecodedAudio DecodeWithFfmpeg(const std::string& path);

// The duration ffprobe reports for the file's audio stream, in seconds; negative on failure.
double ProbedDuration(const std::string& path);

// `seconds` of a sine tone at half of full scale as PCM: 8-bit unsigned or 16-bit signed
// little-endian samples, the same in every channel.
std::vector<uint8_t> TonePcm(unsigned sampleRate, unsigned channels, unsigned bitsPerSample, double hz,
                             double seconds);

// The frequency of a steady tone, from the first and last of its rising zero crossings.
double ToneFrequency(const std::vector<int16_t>& samples, unsigned sampleRate);
// The frequency of a tone that may have gaps (what a loaded machine's sound output gives):
// from the median spacing of its rising zero crossings, which a few long gaps do not move.
double ToneFrequencyAcrossGaps(const std::vector<int16_t>& samples, unsigned sampleRate);

// Where a tone sounds in otherwise silent audio: from the first to the last sample whose
// magnitude reaches `threshold`. `longestQuiet` is the longest run of samples below it
// inside the span (a gap or a glitch; a steady tone has only its zero crossings there).
struct ToneSpan {
  bool found = false;
  size_t first = 0, last = 0;
  double seconds = 0;       // (last - first + 1) / sample rate
  double longestQuiet = 0;  // seconds
};
ToneSpan FindToneSpan(const std::vector<int16_t>& samples, unsigned sampleRate, int threshold);

// The root mean square of samples[first..last].
double Rms(const std::vector<int16_t>& samples, size_t first, size_t last);

struct MpegFrameHeader {
  size_t offset = 0;
  size_t size = 0;
  unsigned bitRate = 0;  // kbit/s
  unsigned sampleRate = 0;
  unsigned channels = 0;
};

// The layer III frames of `bytes` from `offset`, following each header's frame length; the
// walk ends at the first position that holds no complete frame.
std::vector<MpegFrameHeader> MpegFrames(const std::string& bytes, size_t offset = 0);
