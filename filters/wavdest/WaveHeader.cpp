#include "filters/wavdest/WaveHeader.h"

#include <cstring>

namespace {

constexpr uint64_t kMax32 = 0xFFFFFFFFu;
constexpr uint32_t kReservedSize = 28;  // the ds64 chunk's fields without a table

class CHeaderWriter {
 public:
  explicit CHeaderWriter(WaveHeader& header) : m_header(header) {}

  void Tag(const char* fourcc) { Bytes(fourcc, 4); }
  void U16(uint16_t value) { Little(value, 2); }
  void U32(uint32_t value) { Little(value, 4); }
  void U64(uint64_t value) { Little(value, 8); }
  void Zeros(size_t count) {
    std::memset(&m_header[m_position], 0, count);
    m_position += count;
  }
  size_t Position() const { return m_position; }

 private:
  void Bytes(const char* bytes, size_t count) {
    std::memcpy(&m_header[m_position], bytes, count);
    m_position += count;
  }
  void Little(uint64_t value, size_t count) {
    for (size_t i = 0; i < count; ++i) m_header[m_position++] = static_cast<uint8_t>(value >> (8 * i));
  }

  WaveHeader& m_header;
  size_t m_position = 0;
};

}  // namespace

WaveHeader MakeWaveHeader(const PcmFormat& format, uint64_t dataBytes) {
  WaveHeader header{};
  CHeaderWriter out(header);
  const uint64_t riffSize = kWaveHeaderSize - 8 + dataBytes + dataBytes % 2;
  const bool large = riffSize > kMax32;

  out.Tag(large ? "RF64" : "RIFF");
  out.U32(large ? static_cast<uint32_t>(kMax32) : static_cast<uint32_t>(riffSize));
  out.Tag("WAVE");
  out.Tag(large ? "ds64" : "JUNK");
  out.U32(kReservedSize);
  if (large) {
    out.U64(riffSize);
    out.U64(dataBytes);
    out.U64(format.BlockAlign() ? dataBytes / format.BlockAlign() : 0);
    out.U32(0);
  } else {
    out.Zeros(kReservedSize);
  }
  out.Tag("fmt ");
  out.U32(16);
  out.U16(1);  // PCM
  out.U16(format.channels);
  out.U32(format.sampleRate);
  out.U32(format.ByteRate());
  out.U16(format.BlockAlign());
  out.U16(format.bitsPerSample);
  out.Tag("data");
  out.U32(large ? static_cast<uint32_t>(kMax32) : static_cast<uint32_t>(dataBytes));
  return header;
}
