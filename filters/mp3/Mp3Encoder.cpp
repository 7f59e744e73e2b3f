#include "filters/mp3/Mp3Encoder.h"

#include <lame/lame.h>

#include <algorithm>

namespace {

// The overlap a decoder needs after the last audio sample before that sample is complete
// (libmp3lame keeps the same margin at the end of a stream).
constexpr unsigned kDecoderOverlap = 576;

// Silence is fed in blocks this small when a flush completes the last frame, so that it
// adds no more than the frame needs.
constexpr size_t kSilenceBlock = 32;

// libmp3lame's bound for the output of `samples` sample frames.
size_t OutputBound(size_t samples) { return samples + samples / 4 + 7200; }

// In the LAME extension of a tag frame, offsets from its "LAME" signature.
constexpr size_t kLameDelayPadding = 21;
constexpr size_t kLameTagCrc = 34;
// From the Xing/Info signature to the LAME one: flags, frames, bytes, seek table, scale.
constexpr size_t kXingToLame = 4 + 4 + 4 + 4 + 100 + 4;

uint16_t Crc16(const uint8_t* data, size_t size) {
  uint16_t crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
  }
  return crc;
}

bool SignatureAt(const std::vector<uint8_t>& frame, size_t at, const char* signature) {
  for (size_t i = 0; i < 4; ++i) {
    if (at + i >= frame.size() || frame[at + i] != uint8_t(signature[i])) return false;
  }
  return true;
}

}  // namespace

bool SetTagPadding(std::vector<uint8_t>& frame, unsigned padding) {
  // The Xing/Info block follows the side information, whose length depends on the frame.
  for (size_t xing = 4; xing + kXingToLame + kLameTagCrc + 2 <= frame.size() && xing <= 40; ++xing) {
    if (!SignatureAt(frame, xing, "Xing") && !SignatureAt(frame, xing, "Info")) continue;
    size_t lame = xing + kXingToLame;
    if (!SignatureAt(frame, lame, "LAME")) return false;
    padding = padding > 0xFFF ? 0xFFF : padding;
    uint8_t* field = &frame[lame + kLameDelayPadding];
    field[1] = uint8_t((field[1] & 0xF0) | (padding >> 8));
    field[2] = uint8_t(padding);
    uint16_t crc = Crc16(frame.data(), lame + kLameTagCrc);
    frame[lame + kLameTagCrc] = uint8_t(crc >> 8);
    frame[lame + kLameTagCrc + 1] = uint8_t(crc);
    return true;
  }
  return false;
}

CMp3Encoder::~CMp3Encoder() { Close(); }

void CMp3Encoder::Close() {
  if (m_lame) lame_close(m_lame);
  m_lame = nullptr;
}

bool CMp3Encoder::Start(const PcmFormat& input, const Mp3Settings& wanted, bool tagFrame) {
  Close();
  m_samplesIn = m_flushedUpTo = 0;
  m_padding = 0;
  m_partial.clear();
  if (!IsEncodablePcm(input)) return false;
  m_input = input;
  m_settings = UsableSettings(wanted, input.sampleRate);

  m_lame = lame_init();
  if (!m_lame) return false;
  lame_set_num_channels(m_lame, int(input.channels));
  lame_set_in_samplerate(m_lame, int(input.sampleRate));
  lame_set_out_samplerate(m_lame, int(m_settings.sampleRate));
  lame_set_mode(m_lame, input.channels == 1 ? MONO : JOINT_STEREO);
  lame_set_quality(m_lame, int(m_settings.quality));
  if (m_settings.variable) {
    lame_set_VBR(m_lame, vbr_default);
    lame_set_VBR_q(m_lame, int(m_settings.vbrQuality));
    lame_set_VBR_min_bitrate_kbps(m_lame, int(m_settings.vbrMin));
    lame_set_VBR_max_bitrate_kbps(m_lame, int(m_settings.vbrMax));
  } else {
    lame_set_VBR(m_lame, vbr_off);
    lame_set_brate(m_lame, int(m_settings.bitRate));
  }
  lame_set_bWriteVbrTag(m_lame, tagFrame ? 1 : 0);
  lame_set_write_id3tag_automatic(m_lame, 0);
  if (lame_init_params(m_lame) < 0) {
    Close();
    return false;
  }
  return true;
}

unsigned CMp3Encoder::FrameSamples() const { return m_settings.sampleRate >= 32000 ? 1152 : 576; }

bool CMp3Encoder::Encode(const uint8_t* pcm, size_t bytes, std::vector<uint8_t>& out) {
  if (!m_lame) return false;
  // A sample frame split between two blocks is completed from the next one.
  const size_t blockAlign = m_input.BlockAlign();
  m_pcm.clear();
  if (!m_partial.empty()) {
    const size_t take = std::min(bytes, blockAlign - m_partial.size());
    m_partial.insert(m_partial.end(), pcm, pcm + take);
    pcm += take;
    bytes -= take;
    if (m_partial.size() < blockAlign) return true;
    AppendSamples(m_partial.data(), blockAlign);
    m_partial.clear();
  }
  const size_t whole = bytes - bytes % blockAlign;
  AppendSamples(pcm, whole);
  m_partial.assign(pcm + whole, pcm + bytes);
  return EncodeSamples(m_pcm.data(), m_pcm.size() / m_input.channels, out);
}

void CMp3Encoder::AppendSamples(const uint8_t* pcm, size_t bytes) {
  const size_t first = m_pcm.size();
  const size_t count = bytes * 8 / m_input.bitsPerSample;
  m_pcm.resize(first + count);
  int16_t* to = m_pcm.data() + first;
  if (m_input.bitsPerSample == 16) {
    for (size_t i = 0; i < count; ++i) to[i] = int16_t(uint16_t(pcm[2 * i] | (pcm[2 * i + 1] << 8)));
  } else {
    for (size_t i = 0; i < count; ++i) to[i] = int16_t((pcm[i] - 128) * 256);
  }
}

bool CMp3Encoder::EncodeSamples(const int16_t* interleaved, size_t frames, std::vector<uint8_t>& out) {
  size_t used = out.size();
  out.resize(used + OutputBound(frames));
  int written;
  if (m_input.channels == 2) {
    written = lame_encode_buffer_interleaved(m_lame, const_cast<short*>(interleaved), int(frames),
                                             out.data() + used, int(out.size() - used));
  } else {
    written = lame_encode_buffer(m_lame, interleaved, interleaved, int(frames), out.data() + used,
                                 int(out.size() - used));
  }
  out.resize(used + (written > 0 ? size_t(written) : 0));
  m_samplesIn += frames;
  return written >= 0;
}

uint64_t CMp3Encoder::OutputEnd() const {
  return uint64_t(lame_get_encoder_delay(m_lame)) +
         m_samplesIn * m_settings.sampleRate / m_input.sampleRate;
}

bool CMp3Encoder::Flush(std::vector<uint8_t>& out) {
  if (!m_lame) return false;
  if (m_samplesIn == m_flushedUpTo) return true;
  uint64_t audioEnd = OutputEnd();
  uint64_t frameSamples = FrameSamples();
  const std::vector<int16_t> silence(kSilenceBlock * m_input.channels, 0);
  while (uint64_t(lame_get_frameNum(m_lame)) * frameSamples < audioEnd + kDecoderOverlap) {
    if (!EncodeSamples(silence.data(), kSilenceBlock, out)) return false;
  }
  // The frames are complete; what the bit reservoir still holds goes out now.
  size_t used = out.size();
  out.resize(used + OutputBound(0));
  int written = lame_encode_flush_nogap(m_lame, out.data() + used, int(out.size() - used));
  out.resize(used + (written > 0 ? size_t(written) : 0));
  if (written < 0) return false;
  m_padding = unsigned(uint64_t(lame_get_frameNum(m_lame)) * frameSamples - audioEnd);
  m_flushedUpTo = m_samplesIn;
  return true;
}

std::vector<uint8_t> CMp3Encoder::TagFrame() const {
  std::vector<uint8_t> frame;
  if (!m_lame) return frame;
  size_t size = lame_get_lametag_frame(m_lame, nullptr, 0);
  if (size == 0) return frame;
  frame.resize(size);
  if (lame_get_lametag_frame(m_lame, frame.data(), frame.size()) != size) return {};
  // libmp3lame only knows the padding of a stream it ended itself.
  if (m_flushedUpTo != 0 && m_samplesIn == m_flushedUpTo) SetTagPadding(frame, m_padding);
  return frame;
}
