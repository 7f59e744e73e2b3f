#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "filters/wavdest/WaveHeader.h"
#include "support/LinuxCommand.h"
#include "support/TempDir.h"

namespace {

uint32_t U32(const WaveHeader& h, size_t at) {
  return h[at] | h[at + 1] << 8 | h[at + 2] << 16 | static_cast<uint32_t>(h[at + 3]) << 24;
}
uint64_t U64(const WaveHeader& h, size_t at) { return U32(h, at) | static_cast<uint64_t>(U32(h, at + 4)) << 32; }
std::string Tag(const WaveHeader& h, size_t at) { return std::string(reinterpret_cast<const char*>(&h[at]), 4); }

constexpr uint64_t k4GiB = 0x100000000ull;

struct SizeCase {
  uint64_t dataBytes;
  bool rf64;
};

class WaveHeaderSizes : public testing::TestWithParam<SizeCase> {};

// Sizes are exact up to the 32-bit limit; one byte more and the header is RF64, never a
// wrapped-around size. The RIFF size counts the pad byte after an odd number of data bytes.
TEST_P(WaveHeaderSizes, AreExactOrSixtyFourBit) {
  const PcmFormat format{2, 44100, 16};
  const uint64_t data = GetParam().dataBytes;
  const uint64_t riff = kWaveHeaderSize - 8 + data + data % 2;
  WaveHeader h = MakeWaveHeader(format, data);
  EXPECT_EQ(Tag(h, 8), "WAVE");
  EXPECT_EQ(Tag(h, 48), "fmt ");
  EXPECT_EQ(Tag(h, 72), "data");
  EXPECT_EQ(U32(h, 16), 28u);
  if (GetParam().rf64) {
    EXPECT_EQ(Tag(h, 0), "RF64");
    EXPECT_EQ(Tag(h, 12), "ds64");
    EXPECT_EQ(U32(h, 4), 0xFFFFFFFFu);
    EXPECT_EQ(U32(h, 76), 0xFFFFFFFFu);
    EXPECT_EQ(U64(h, 20), riff);
    EXPECT_EQ(U64(h, 28), data);
    EXPECT_EQ(U64(h, 36), data / 4);
    EXPECT_EQ(U32(h, 44), 0u);
  } else {
    EXPECT_EQ(Tag(h, 0), "RIFF");
    EXPECT_EQ(Tag(h, 12), "JUNK");
    EXPECT_EQ(U32(h, 4), riff);
    EXPECT_EQ(U32(h, 76), data);
    for (size_t i = 20; i < 48; ++i) EXPECT_EQ(h[i], 0) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Boundaries, WaveHeaderSizes,
                         testing::Values(SizeCase{0, false}, SizeCase{1000, false}, SizeCase{1001, false},
                                         SizeCase{k4GiB - 2 - (kWaveHeaderSize - 8), false},
                                         SizeCase{k4GiB - 1 - (kWaveHeaderSize - 8), true},  // by its pad byte
                                         SizeCase{k4GiB - (kWaveHeaderSize - 8), true}, SizeCase{k4GiB, true},
                                         SizeCase{5 * k4GiB + 7, true}));

TEST(WaveHeader, DescribesThePcmFormat) {
  struct {
    PcmFormat format;
    uint32_t byteRate;
    uint16_t blockAlign;
  } cases[] = {{{1, 8000, 8}, 8000, 1}, {{2, 8000, 8}, 16000, 2}, {{1, 22050, 16}, 44100, 2}, {{2, 44100, 16}, 176400, 4}};
  for (const auto& c : cases) {
    WaveHeader h = MakeWaveHeader(c.format, 0);
    EXPECT_EQ(U32(h, 52), 16u);
    EXPECT_EQ(h[56] | h[57] << 8, 1);  // PCM
    EXPECT_EQ(h[58] | h[59] << 8, c.format.channels);
    EXPECT_EQ(U32(h, 60), c.format.sampleRate);
    EXPECT_EQ(U32(h, 64), c.byteRate);
    EXPECT_EQ(h[68] | h[69] << 8, c.blockAlign);
    EXPECT_EQ(h[70] | h[71] << 8, c.format.bitsPerSample);
  }
}

TEST(WaveHeader, SupportsTheWriterFormatsOnly) {
  EXPECT_TRUE((PcmFormat{1, 8000, 8}.IsSupported()));
  EXPECT_TRUE((PcmFormat{2, 96000, 16}.IsSupported()));
  EXPECT_FALSE((PcmFormat{3, 44100, 16}.IsSupported()));
  EXPECT_FALSE((PcmFormat{2, 44100, 24}.IsSupported()));
  EXPECT_FALSE((PcmFormat{2, 0, 16}.IsSupported()));
}

#ifndef _WIN32
// The readers are the host's: run natively (under Wine, growing a file writes every byte).

// Writes a header, then the last bytes of the data at their place (sparse in between).
void WriteSparseWave(const std::string& path, const PcmFormat& format, uint64_t dataBytes, const std::string& tail) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  WaveHeader h = MakeWaveHeader(format, dataBytes);
  std::fwrite(h.data(), 1, h.size(), file);
  ASSERT_EQ(fseeko(file, static_cast<off_t>(kWaveHeaderSize + dataBytes - tail.size()), SEEK_SET), 0);
  std::fwrite(tail.data(), 1, tail.size(), file);
  if (dataBytes % 2 != 0) std::fputc(0, file);  // the pad byte
  ASSERT_EQ(std::fclose(file), 0);
}

std::string HostOutput(const std::string& command) {
  LinuxCommandResult result = RunLinuxCommand(command);
  std::string text = result.output;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// Both forms, read by the host's readers: the sample count of the header, and the last
// samples of a file past 4 GiB (sparse: nothing is written in between).
TEST(WaveHeaderReaders, SoxAndFfmpegReadBothFormsToTheEnd) {
  TempDir folder;
  const PcmFormat format{1, 8000, 8};
  const std::string tail = "\x10\x20\x30\x40";
  struct {
    const char* name;
    uint64_t dataBytes;
  } cases[] = {{"small.wav", 1000}, {"odd.wav", 1001}, {"large.wav", 5 * k4GiB / 4 + 1001}};
  for (const auto& c : cases) {
    std::string path = folder.File(c.name);
    WriteSparseWave(path, format, c.dataBytes, tail);
    std::string file = ShellQuote(UnixPath(path));
    // sox reads an RF64 file through to count it (minutes for 5 GiB): the small one only.
    if (c.dataBytes < k4GiB) {
      EXPECT_EQ(HostOutput("soxi -s " + file), std::to_string(c.dataBytes)) << c.name;
    }
    EXPECT_EQ(HostOutput("ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 " + file), std::to_string(c.dataBytes))
        << c.name;
    double lastSecond = static_cast<double>(c.dataBytes) / format.sampleRate - 0.01;
    EXPECT_EQ(HostOutput("ffmpeg -v error -ss " + std::to_string(lastSecond) + " -i " + file +
                  " -f u8 - | tail -c 4 | od -An -tx1 | tr -d ' \\n'"),
              "10203040")
        << c.name;
  }
}

#endif

}  // namespace
