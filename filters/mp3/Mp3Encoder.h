#pragma once
// PCM in, MPEG audio layer III frames out, over libmp3lame. Portable: no Windows types.
//
// A stream starts with a tag frame (Xing/Info with the LAME extension) that tells players
// the number of frames, the bytes and, for variable bit rates, the seek table. It belongs
// at the very start of the output and describes the stream only as far as it has gone, so
// whoever writes the stream replaces it with TagFrame() from time to time; a file whose
// writing was cut off then still shows a duration close to what it holds.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "filters/mp3/Mp3Settings.h"

struct lame_global_struct;

class CMp3Encoder {
 public:
  CMp3Encoder() = default;
  ~CMp3Encoder();
  CMp3Encoder(const CMp3Encoder&) = delete;
  CMp3Encoder& operator=(const CMp3Encoder&) = delete;

  // Begins a new stream (ending any earlier one) with `wanted` made usable for `input`.
  // Without `tagFrame` the stream is nothing but audio frames, for a writer that cannot put
  // a renewed tag in place: TagFrame() is then always empty. False when the input is not
  // encodable PCM or libmp3lame cannot start.
  bool Start(const PcmFormat& input, const Mp3Settings& wanted, bool tagFrame = true);
  bool IsStarted() const { return m_lame != nullptr; }
  // Ends the stream and frees libmp3lame's state.
  void Close();

  // Encodes `bytes` of PCM (a sample frame may be split across calls) and appends the MPEG bytes that became ready to `out`, which may stay empty: the encoder
  // holds back about two frames of audio to look ahead.
  bool Encode(const uint8_t* pcm, size_t bytes, std::vector<uint8_t>& out);

  // Completes the frames of all audio given so far, filling the last one with silence, and
  // appends them to `out`, so that the output then holds every sample. Encoding may go on
  // afterwards in the same stream; each flush that had new audio to finish leaves that
  // silence at its place in the stream: the rest of the last frame and the look-ahead
  // libmp3lame needed to complete it (1328 samples): 30 to 57 ms at 44100 Hz, 120 to 175 ms
  // at 11025 Hz.
  bool Flush(std::vector<uint8_t>& out);

  // The tag frame for the stream so far (empty before the first frame is complete). Its
  // end padding is that of the last flush when nothing was encoded after it, else zero:
  // the stream then ends wherever its writing stops.
  std::vector<uint8_t> TagFrame() const;

  // The settings in use, the input format, and the sample frames consumed so far.
  const Mp3Settings& Settings() const { return m_settings; }
  const PcmFormat& Input() const { return m_input; }
  uint64_t SamplesIn() const { return m_samplesIn; }
  // Samples per channel in one MPEG frame: 1152 at 32000 Hz and above, else 576.
  unsigned FrameSamples() const;

 private:
  void AppendSamples(const uint8_t* pcm, size_t bytes);  // whole sample frames to m_pcm
  bool EncodeSamples(const int16_t* interleaved, size_t frames, std::vector<uint8_t>& out);
  // The end of the audio encoded so far, as a sample position of the decoded output.
  uint64_t OutputEnd() const;

  lame_global_struct* m_lame = nullptr;
  PcmFormat m_input;
  Mp3Settings m_settings;
  uint64_t m_samplesIn = 0;  // sample frames given to libmp3lame: audio and flush silence
  uint64_t m_flushedUpTo = 0;  // m_samplesIn when the last flush completed
  unsigned m_padding = 0;      // silence the last flush added after the audio, output samples
  std::vector<int16_t> m_pcm;     // the block being encoded, as 16-bit samples
  std::vector<uint8_t> m_partial;  // the start of a sample frame the last block cut off
};

// Writes `padding` (output samples of silence at the end) into a tag frame produced by
// libmp3lame and renews the tag's checksum. False when `frame` carries no LAME tag.
bool SetTagPadding(std::vector<uint8_t>& frame, unsigned padding);
