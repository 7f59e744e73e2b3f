// What the audio settings dialog, the player and the about box compute, without windows:
// list choices from stored values, time labels, volume attenuation and version text.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ui/dialogs/AudioSettingsLists.h"
#include "ui/dialogs/PlayerDisplay.h"
#include "ui/dialogs/VersionText.h"

namespace {

TEST(AudioSettingsLists, BitRateIsTheLargestEntryNotAboveTheStoredValue) {
  const struct {
    int rateIndex;
    uint32_t stored;
    uint32_t shown;
  } cases[] = {
      {0, 128, 128}, {1, 128, 128},         // in both tables
      {3, 320, 160},                         // above the low table: its last entry
      {0, 20, 32},   {1, 20, 16},            // below the 44100 table: its first entry
      {0, 0, 32},    {2, 7, 8},              // below either table
      {0, 129, 128}, {0, 4294967295u, 320},  // between entries, and the largest value
      {-1, 150, 144},                        // nothing selected: the low table
  };
  for (const auto& c : cases) {
    const BitRateTable& table = BitRatesForRateIndex(c.rateIndex);
    const int index = BitRateIndexFor(table, c.stored);
    ASSERT_GE(index, 0);
    ASSERT_LT(index, 14);
    EXPECT_EQ(table[static_cast<size_t>(index)], c.shown) << "rate " << c.rateIndex << ", stored " << c.stored;
  }
  EXPECT_EQ(BitRatesForRateIndex(0).front(), 32u);
  EXPECT_EQ(BitRatesForRateIndex(0).back(), 320u);
  EXPECT_EQ(BitRatesForRateIndex(1).front(), 8u);
  EXPECT_EQ(BitRatesForRateIndex(1).back(), 160u);
  EXPECT_EQ(BitRateText(128), "128 kbps");
}

TEST(AudioSettingsLists, SampleRatesBothWays) {
  const struct {
    uint32_t stored;
    int index;
  } cases[] = {{44100, 0}, {22050, 1}, {11025, 2}, {8000, 3}, {48000, 0}, {0, 0}};
  for (const auto& c : cases) EXPECT_EQ(SampleRateIndexFor(c.stored), c.index) << c.stored;
  const uint32_t byIndex[] = {44100, 22050, 11025, 8000};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(SampleRateForIndex(i), byIndex[i]) << i;
  EXPECT_EQ(SampleRateForIndex(-1), 44100u);
  EXPECT_EQ(SampleRateForIndex(4), 44100u);
}

TEST(AudioSettingsLists, QualityLabelsAndLeadingNumbers) {
  const char* labels[] = {"High", "High", "High", "High", "High", "Medium", "Medium", "Low", "Low", "Fast mode"};
  for (int position = 0; position < 10; ++position) EXPECT_EQ(EncodingQualityLabel(position), labels[position]);
  for (const int64_t outside : {int64_t{-1}, int64_t{10}, int64_t{4294967295}}) {
    EXPECT_EQ(EncodingQualityLabel(outside), "") << outside;
  }
  for (size_t quality = 0; quality < kVbrQualityTexts.size(); ++quality) {
    EXPECT_EQ(LeadingNumber(kVbrQualityTexts[quality]), quality) << kVbrQualityTexts[quality];
  }
  EXPECT_EQ(std::string(kVbrQualityTexts[4]), "4 - ~1:9");
  EXPECT_EQ(LeadingNumber("160 kbps"), 160u);
  EXPECT_EQ(LeadingNumber(""), 0u) << "no selection";
}

constexpr int64_t kSecond = 10000000;  // 100-ns units

TEST(PlayerDisplay, TimeLabelIsMinutesAndSeconds) {
  const struct {
    int64_t position;
    const char* text;
  } cases[] = {
      {0, "00:00"},
      {kSecond - 1, "00:00"},
      {187 * kSecond + kSecond / 2, "03:07"},
      {75 * 60 * kSecond, "75:00"},  // not folded into hours
      {100 * 60 * kSecond + 59 * kSecond, "100:59"},
      {-kSecond, "00:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatPlayingTime(c.position), c.text) << c.position;
}

TEST(PlayerDisplay, VolumeAttenuation) {
  const struct {
    int position;
    long attenuation;
  } cases[] = {{100, 0}, {60, -1109}, {10, -5000}, {1, -10000}, {50, -1505}, {0, -10000}, {-5, -10000}, {101, 0}};
  for (const auto& c : cases) EXPECT_EQ(VolumeToAttenuation(c.position), c.attenuation) << c.position;
}

TEST(PlayerDisplay, PercentOfTheDurationAndBack) {
  int percent = -1;
  EXPECT_FALSE(PositionPercent(5 * kSecond, 0, percent)) << "unknown duration";
  EXPECT_EQ(percent, -1);
  ASSERT_TRUE(PositionPercent(2 * kSecond, 3 * kSecond, percent));
  EXPECT_EQ(percent, 66) << "truncated";
  ASSERT_TRUE(PositionPercent(3 * kSecond, 3 * kSecond, percent));
  EXPECT_EQ(percent, 100);
  EXPECT_EQ(PositionAtPercent(3 * kSecond, 50), 3 * kSecond / 2);
  EXPECT_EQ(PositionAtPercent(75 * 60 * kSecond, 100), 75 * 60 * kSecond);
  EXPECT_EQ(PositionAtPercent(0, 70), 0);
}

TEST(VersionText, CommaSeparatedNumbersBecomeFourDottedFields) {
  const struct {
    const char* productVersion;
    const char* shown;
  } cases[] = {
      {"1, 0, 1, 1", "1.0.1.1"},
      {"1,0,0,0", "1.0.0.0"},
      {"2, 5", "2.5.0.0"},                  // missing parts are 0
      {"1, 2, 3, 4, 5", "1.2.3.4"},         // parts after the fourth are ignored
      {"1.2.3.4", "1.0.0.0"},               // dots: one part, only its leading number
      {"", "0.0.0.0"},
      {"beta, 3", "0.3.0.0"},
      {"\t7 ,  8,9 ,10", "7.8.9.10"},
      {"99999999999, 1", "2147483647.1.0.0"},  // saturated, never undefined
  };
  for (const auto& c : cases) EXPECT_EQ(FormatProductVersion(c.productVersion), c.shown) << c.productVersion;
}

}  // namespace
