#include "ui/dialogs/AudioSettingsLists.h"

#include "app/SettingsStore.h"

namespace {

constexpr BitRateTable k44100BitRates = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr BitRateTable kLowRateBitRates = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

constexpr std::array<const char*, 10> kEncodingQualityLabels = {
    "High", "High", "High", "High", "High", "Medium", "Medium", "Low", "Low", "Fast mode"};

}  // namespace

const std::array<const char*, 10> kVbrQualityTexts = {
    "0 - ~1:4", "1 - ~1:5", "2 - ~1:6",  "3 - ~1:7",  "4 - ~1:9",
    "5 - ~1:9", "6 - ~1:10", "7 - ~1:11", "8 - ~1:12", "9 - ~1:14"};

const BitRateTable& BitRatesForRateIndex(int rateIndex) { return rateIndex == 0 ? k44100BitRates : kLowRateBitRates; }

std::string BitRateText(uint32_t kbps) { return std::to_string(kbps) + " kbps"; }

int BitRateIndexFor(const BitRateTable& table, uint32_t stored) {
  int index = 0;
  while (index + 1 < static_cast<int>(table.size()) && table[static_cast<size_t>(index) + 1] <= stored) ++index;
  return index;
}

int SampleRateIndexFor(uint32_t stored) {
  for (size_t i = 1; i < kListedSampleRates.size(); ++i) {
    if (kListedSampleRates[i] == stored) return static_cast<int>(i);
  }
  return 0;
}

uint32_t SampleRateForIndex(int index) {
  const bool listed = index > 0 && static_cast<size_t>(index) < kListedSampleRates.size();
  return listed ? kListedSampleRates[static_cast<size_t>(index)] : kListedSampleRates[0];
}

std::string EncodingQualityLabel(int64_t quality) {
  if (quality < 0 || quality >= static_cast<int64_t>(kEncodingQualityLabels.size())) return {};
  return kEncodingQualityLabels[static_cast<size_t>(quality)];
}

uint32_t LeadingNumber(const std::string& text) { return static_cast<uint32_t>(ParseDecimal(text)); }
