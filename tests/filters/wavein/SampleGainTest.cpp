// The capture line's mix level on captured samples.
#include "filters/wavein/SampleGain.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<uint8_t> Samples16(const std::vector<int16_t>& values) {
  std::vector<uint8_t> bytes;
  for (int16_t v : values) {
    bytes.push_back(static_cast<uint8_t>(v & 0xFF));
    bytes.push_back(static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF));
  }
  return bytes;
}

std::vector<uint8_t> Apply(const std::vector<uint8_t>& in, uint16_t bits, double gain) {
  std::vector<uint8_t> out(in.size(), 0xAA);
  CopyWithGain(in.data(), out.data(), out.size(), bits, gain);
  return out;
}

struct GainCase {
  const char* what;
  uint16_t bits;
  double gain;
  std::vector<uint8_t> in;
  std::vector<uint8_t> expected;
};

TEST(SampleGain, ScalesEachSampleAroundItsZero) {
  const std::vector<uint8_t> full16 = Samples16({32767, -32768, 1000, -1000, 3, -3, 0});
  const std::vector<GainCase> cases = {
      {"16-bit, 1.0 copies", 16, 1.0, full16, full16},
      {"16-bit, 0.5 halves and rounds half away from zero", 16, 0.5, full16,
       Samples16({16384, -16384, 500, -500, 2, -2, 0})},
      {"16-bit, 0.25", 16, 0.25, Samples16({32767, -32768, 400}), Samples16({8192, -8192, 100})},
      {"16-bit, 0.0 is silence", 16, 0.0, full16, Samples16({0, 0, 0, 0, 0, 0, 0})},
      {"8-bit, 1.0 copies", 8, 1.0, {0, 255, 128, 200}, {0, 255, 128, 200}},
      {"8-bit, 0.5 around 128", 8, 0.5, {0, 255, 128, 200, 56}, {64, 192, 128, 164, 92}},
      {"8-bit, 0.0 is silence", 8, 0.0, {0, 255, 17}, {128, 128, 128}},
      {"a gain below 0 counts as 0", 16, -1.0, Samples16({1234}), Samples16({0})},
  };
  for (const GainCase& c : cases) {
    EXPECT_EQ(Apply(c.in, c.bits, c.gain), c.expected) << c.what;
  }
}

TEST(SampleGain, RatioOfLevelsFollowsTheGains) {
  std::vector<int16_t> tone;
  for (int i = 0; i < 1000; ++i) tone.push_back(static_cast<int16_t>((i % 200 - 100) * 300));
  const std::vector<uint8_t> in = Samples16(tone);
  const std::vector<uint8_t> full = Apply(in, 16, 1.0);
  const std::vector<uint8_t> quarter = Apply(in, 16, 0.25);
  double sumFull = 0, sumQuarter = 0;
  for (size_t i = 0; i + 1 < in.size(); i += 2) {
    sumFull += std::abs(static_cast<int16_t>(full[i] | (full[i + 1] << 8)));
    sumQuarter += std::abs(static_cast<int16_t>(quarter[i] | (quarter[i + 1] << 8)));
  }
  EXPECT_NEAR(sumFull / sumQuarter, 4.0, 0.01);
}

}  // namespace
